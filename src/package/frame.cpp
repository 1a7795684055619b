#include "package/frame.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "host/services.h"
#include "module/globals.h"
#include "package/workers.h"
#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/hostdir.h"
#include "platform/log.h"

namespace imp::package {
namespace {

std::mutex g_mutex;
std::condition_variable g_idle;
int g_calls = 0;            // entry-point calls in progress
int g_jobs = 0;             // job threads running
bool g_closing = false;     // the last unload refuses new calls
bool g_finalizing = false;  // ... and is waiting for running ones before it frees cs
int g_cli_imp00000 = 0, g_cli_imp00400 = 0, g_pkg_imp00000 = 0;  // per-unit load counters

bool loaded_locked() {
  return globals::cs.load() != nullptr && !g_closing;
}

}  // namespace

void cli_imp00000_initialization() {
  std::unique_lock lk(g_mutex);
  g_idle.wait(lk, [] { return !g_finalizing; });  // a load during the last unload waits for it to finish
  if (g_cli_imp00000++ != 0) return;
  // The main unit creates the job lock and nothing else: the data module and the makers' libraries are
  // created when first needed.
  globals::cs.store(new std::recursive_mutex);
  g_closing = false;
}

void cli_imp00000_finalization() {
  std::unique_lock lk(g_mutex);
  if (g_cli_imp00000 == 0 || --g_cli_imp00000 != 0) return;
  // Last unload: refuse new calls, let the running ones and every job thread finish, then free `cs`.
  g_closing = true;
  g_finalizing = true;
  g_idle.wait(lk, [] { return g_calls == 0 && g_jobs == 0; });
  stop_workers();  // every job has ended: the warm threads go, so no code of ours runs after the unload
  delete globals::cs.exchange(nullptr);
  // The Spanish number-word tables are constants here: nothing to release.
  globals::clear_at_unload();
  g_finalizing = false;
  g_idle.notify_all();
}

void cli_imp00400_initialization() {
  std::lock_guard lk(g_mutex);
  ++g_cli_imp00400;
}
void cli_imp00400_finalization() {
  std::lock_guard lk(g_mutex);
  if (g_cli_imp00400 > 0) --g_cli_imp00400;
}
void pkg_imp00000_initialization() {
  std::lock_guard lk(g_mutex);
  ++g_pkg_imp00000;
}
void pkg_imp00000_finalization() {
  std::lock_guard lk(g_mutex);
  if (g_pkg_imp00000 > 0) --g_pkg_imp00000;
}

void initialize() {
  cli_imp00000_initialization();
  cli_imp00400_initialization();
  pkg_imp00000_initialization();
  try {
    host::refresh_format();
  } catch (const std::exception& e) {
    log::LogErroImpNaoFiscal(std::string(e.what()) + " - Imp00000 - Funcao:Initialize");
  }
}

void finalize() {
  pkg_imp00000_finalization();
  cli_imp00400_finalization();
  cli_imp00000_finalization();
}

std::string package_info() {
  return "Package: Pkg_imp00000\n"
         "Requires: rtl, vcl, dbrtl, adortl, dsnap, Pkg_Rev10000, Pkg_Gpe00002, _dll\n"
         "Contains: Pkg_imp00000, Cli_imp00000, Cli_imp00400\n";
}

bool loaded() {
  std::lock_guard lk(g_mutex);
  return loaded_locked();
}

EntryScope::EntryScope(const char* entry) {
  {
    std::lock_guard lk(g_mutex);
    ok_ = loaded_locked();
    if (ok_) ++g_calls;
  }
  if (!job::current()) job_.emplace(job::Context{hostdir::root(), entry, {}, {}, current_format(), {}});
  if (!ok_)
    log::LogErroImpNaoFiscal(std::string(entry) +
                             ": Imp00000 não carregado (Initialize não chamado ou Finalize já executado)"_cp);
}

EntryScope::~EntryScope() {
  job_.reset();
  if (!ok_) return;
  std::lock_guard lk(g_mutex);
  if (--g_calls == 0) g_idle.notify_all();
}

SetupCall::SetupCall() {
  std::unique_lock lk(g_mutex);
  g_idle.wait(lk, [] { return !g_finalizing; });
  counted_ = loaded_locked();
  if (counted_) ++g_calls;
}

SetupCall::~SetupCall() {
  if (!counted_) return;
  std::lock_guard lk(g_mutex);
  if (--g_calls == 0) g_idle.notify_all();
}

bool job_begin() {
  std::lock_guard lk(g_mutex);
  if (!loaded_locked()) return false;
  ++g_jobs;
  return true;
}

void job_end() {
  std::lock_guard lk(g_mutex);
  if (--g_jobs == 0) g_idle.notify_all();
}

bool wait_idle(int timeout_ms) {
  std::unique_lock lk(g_mutex);
  auto idle = [] { return g_jobs == 0; };
  if (timeout_ms < 0) {
    g_idle.wait(lk, idle);
    return true;
  }
  return g_idle.wait_for(lk, std::chrono::milliseconds(timeout_ms), idle);
}

void log_failure(const char* routine, const std::exception_ptr& error) {
  std::string message;
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "Erro desconhecido";
  }
  log::LogErroImpNaoFiscal(message + " - Imp00000 - Funcao:" + routine);
}

}  // namespace imp::package
