// imphost: a command-line host for libimp00000.so. It loads the library as a till does, calls its entry
// points from job files and shows what came back.
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <iostream>

#include "demo.h"
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
                 "build tree's, else the system search path)");

  CLI::App* run = app.add_subcommand("run", "run job files, printing one JSON line per job");
  std::vector<std::string> job_files;
  std::string run_host_dir;
  run->add_option("JOB", job_files, "job files ({\"entry\": ..., \"args\": [...]})")->required();
  run->add_option("--host-dir", run_host_dir, "host folder (default: $IMP_HOST_DIR, else the current folder)");

  CLI::App* demo = app.add_subcommand("demo", "set up a demo host folder, run the example jobs, preview the output");
  std::string demo_host_dir = "demo-host";
  std::string examples_dir = IMP_EXAMPLES_DIR;
  std::string db_dir = IMP_DB_DIR;
  demo->add_option("--host-dir", demo_host_dir, "host folder to create")->capture_default_str();
  demo->add_option("--examples", examples_dir, "folder with demo-host/imphost.json and jobs/*.json")
      ->capture_default_str();
  demo->add_option("--db", db_dir, "folder with schema.sql and demo.sql for the demo database Dados/imp.db")
      ->capture_default_str();

  CLI11_PARSE(app, argc, argv);

  try {
    imphost::Library lib(lib_path);
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
