// imphost: a command-line host for libimp00000.so. It loads the library as a till does, calls its entry
// points from job files and shows what came back.
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <iostream>

#include "demo.h"
#include "network.h"
#include "pending.h"
#include "preview.h"
#include "runner.h"

#ifndef IMP_EXAMPLES_DIR
#define IMP_EXAMPLES_DIR "examples"
#endif
#ifndef IMP_DB_DIR
#define IMP_DB_DIR "db"
#endif

int main(int argc, char** argv) {
  CLI::App app{"imphost: runs entry points of libimp00000.so from job files"};
  app.require_subcommand(1);
  app.fallthrough();
  std::string lib_path;
  app.add_option("--lib", lib_path,
                 "the library to load (default: $IMP_LIBRARY, else libimp00000.so next to imphost, else the "
                 "library of imphost's own install or the system search path)");

  CLI::App* run = app.add_subcommand("run", "run job files, printing one JSON line per job");
  std::vector<std::string> job_files;
  std::string run_host_dir;
  run->add_option("JOB", job_files, "job files ({\"entry\": ..., \"args\": [...]})")->required();
  run->add_option("--host-dir", run_host_dir, "host folder (default: $IMP_HOST_DIR, else the current folder)");

  CLI::App* demo =
      app.add_subcommand("demo",
                         "set up a demo host folder, run the example jobs, preview the output (as text, and a "
                         "FILE.preview.png image beside each printed file)");
  std::string demo_host_dir = "demo-host";
  std::string examples_dir = IMP_EXAMPLES_DIR;
  std::string db_dir = IMP_DB_DIR;
  demo->add_option("--host-dir", demo_host_dir, "host folder to create")->capture_default_str();
  demo->add_option("--examples", examples_dir, "folder with demo-host/imphost.json and jobs/*.json")
      ->capture_default_str();
  demo->add_option("--db", db_dir, "folder with schema.sql and demo.sql for the demo database Dados/imp.db")
      ->capture_default_str();

  CLI::App* pending = app.add_subcommand("pending", "tickets a printer did not take, kept in Dados/ImpPendentes/");
  pending->require_subcommand(1);
  pending->fallthrough();
  std::string pending_host_dir;
  pending->add_option("--host-dir", pending_host_dir, "host folder (default: $IMP_HOST_DIR, else the current folder)");
  imphost::PendingCommand pending_cmd;
  pending->add_subcommand("list", "list the kept tickets")->callback([&] { pending_cmd.action = "list"; });
  CLI::App* reprint = pending->add_subcommand("reprint", "send kept tickets to their printers again");
  reprint->add_option("ID", pending_cmd.id, "the ticket to reprint (default: every one)");
  reprint->add_option("--port", pending_cmd.port, "reprint the tickets of this port");
  reprint->callback([&] { pending_cmd.action = "reprint"; });
  CLI::App* drop = pending->add_subcommand("drop", "remove a kept ticket without printing it");
  drop->add_option("ID", pending_cmd.id, "the ticket to remove")->required();
  drop->callback([&] { pending_cmd.action = "drop"; });

  CLI::App* printer = app.add_subcommand("printer", "a network printer on loopback (raw TCP, one job per connection)");
  printer->require_subcommand(1);
  int serve_port = 9100;
  std::string serve_out = "printed";
  CLI::App* serve =
      printer->add_subcommand("serve", "take jobs until interrupted; each one a job-NNNN.prn with a .txt preview");
  serve->add_option("--port", serve_port, "TCP port on 127.0.0.1 (0: any free one)")->capture_default_str();
  serve->add_option("--out", serve_out, "folder for the jobs")->capture_default_str();

  CLI::App* preview = app.add_subcommand(
      "preview", "draw the receipt a printer prints from the raw bytes a port or a spooler queue received, as a PNG");
  std::string preview_file, preview_png;
  int preview_width = imphost::kReceiptWidth;
  preview->add_option("FILE", preview_file, "the printed bytes (printers/LPT1.prn, a queue's capture file, ...)")
      ->required();
  preview->add_option("--png", preview_png, "the image to write (default: FILE.preview.png beside FILE)");
  preview->add_option("--width", preview_width, "page width in dots (576: 80 mm paper; 384: 58 mm)")
      ->capture_default_str()
      ->check(CLI::Range(imphost::kMinReceiptWidth, imphost::kMaxReceiptWidth));

  CLI::App* spooler = app.add_subcommand("spooler", "a private CUPS spooler below a host folder");
  spooler->require_subcommand(1);
  spooler->fallthrough();
  std::string spooler_action, spooler_host_dir, queue_name, queue_uri, queue_model;
  bool queue_default = false;
  spooler->add_option("--host-dir", spooler_host_dir, "host folder (default: $IMP_HOST_DIR, else the current folder)");
  spooler->add_subcommand("start", "start it (and record its socket in imphost.json)")->callback([&] {
    spooler_action = "start";
  });
  spooler->add_subcommand("stop", "stop it")->callback([&] { spooler_action = "stop"; });
  CLI::App* add = spooler->add_subcommand("add", "add a raw queue");
  add->add_option("NAME", queue_name, "queue name")->required();
  add->add_option("URI", queue_uri, "device: capture:/path, socket://127.0.0.1:9100, serial:/dev/ttyS0")->required();
  add->add_option("--model", queue_model, "make and model the queue reports (its driver)");
  add->add_flag("--default", queue_default, "make it the default printer");
  add->callback([&] { spooler_action = "add"; });

  CLI11_PARSE(app, argc, argv);

  if (*preview) return imphost::run_preview(preview_file, preview_png, preview_width, std::cout, std::cerr);
  if (*printer) return imphost::run_printer_serve(serve_port, serve_out, std::cout);
  if (*spooler)
    return imphost::run_spooler(spooler_action, imphost::choose_host_dir(spooler_host_dir), queue_name, queue_uri,
                                queue_model, queue_default, std::cout, std::cerr);

  try {
    imphost::Library lib(lib_path);
    if (*pending)
      return imphost::run_pending(lib, imphost::choose_host_dir(pending_host_dir), pending_cmd, std::cout, std::cerr);
    if (*run) {
      std::vector<imphost::Job> jobs;
      for (const auto& f : job_files) jobs.push_back({f, f});
      const int failed = imphost::run_session(lib, imphost::choose_host_dir(run_host_dir), jobs, std::cout, std::cerr);
      return failed == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
    }
    imphost::DemoOptions options{std::filesystem::absolute(demo_host_dir), examples_dir, db_dir};
    return imphost::run_demo(lib, options, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "imphost: " << e.what() << std::endl;
    return 2;
  }
}
