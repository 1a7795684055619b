// The package frame: unit initialisation and finalisation with their per-unit counters, and the bookkeeping
// that lets Finalize wait for running calls and job threads before it frees `cs`.
#pragma once

#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "module/globals.h"
#include "platform/abi_variant.h"
#include "platform/job.h"

namespace imp::package {

// Unit sections, in unit order: Cli_imp00000, Cli_imp00400, Pkg_imp00000. Each acts only on the first of
// nested loads and on the last unload.
void cli_imp00000_initialization();
void cli_imp00000_finalization();
void cli_imp00400_initialization();
void cli_imp00400_finalization();
void pkg_imp00000_initialization();
void pkg_imp00000_finalization();
void initialize();  // the three initialisations in unit order
void finalize();    // the three finalisations in reverse order

std::string package_info();

// True while the package is loaded and not being unloaded.
bool loaded();

// Counts one entry-point call. When the package is not loaded it logs one line naming the entry and
// `ok()` is false: the caller does nothing. A call made outside any job is a job of its own while it lasts
// (its host folder fixed at its start).
class EntryScope {
 public:
  explicit EntryScope(const char* entry);
  ~EntryScope();
  EntryScope(const EntryScope&) = delete;
  EntryScope& operator=(const EntryScope&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_;
  std::optional<job::Scope> job_;
};

// Counts a call of the host's set-up entries (host table, host folder, globals), which may come before
// Initialize: when the package is loaded, the last Finalize waits for the call; during the last unload the call
// waits for it to finish; otherwise it goes ahead uncounted (no job can be running).
class SetupCall {
 public:
  SetupCall();
  ~SetupCall();
  SetupCall(const SetupCall&) = delete;
  SetupCall& operator=(const SetupCall&) = delete;
  bool counted() const { return counted_; }

 private:
  bool counted_;
};

// Counts one job thread from its start to its end (Finalize and imp_wait_idle wait for it).
// Returns false when the package is not loaded: the job must not start.
bool job_begin();
void job_end();
// 1 once no job runs; 0 on timeout; a negative timeout waits forever.
bool wait_idle(int timeout_ms);

// Logs an exception the way document routines do: message, " - ", "Imp00000 - Funcao:" and the routine.
void log_failure(const char* routine, const std::exception_ptr& error);

// Runs an entry point's body: refused when the package is not loaded, every exception caught and logged.
template <typename R, typename F>
R guarded(const char* entry, R fallback, F&& body) {
  EntryScope scope(entry);
  if (!scope.ok()) return fallback;
  try {
    return std::forward<F>(body)();
  } catch (...) {
    log_failure(entry, std::current_exception());
    return fallback;
  }
}

template <typename F>
void guarded_void(const char* entry, F&& body) {
  EntryScope scope(entry);
  if (!scope.ok()) return;
  try {
    std::forward<F>(body)();
  } catch (...) {
    log_failure(entry, std::current_exception());
  }
}

// An entry point on the shared output state: guarded, and one caller at a time under the job lock.
template <typename R, typename F>
R under_cs(const char* entry, R fallback, F&& body) {
  return guarded<R>(entry, fallback, [&]() -> R {
    std::lock_guard lock(*globals::cs.load());
    return body();
  });
}

template <typename F>
void under_cs_void(const char* entry, F&& body) {
  guarded_void(entry, [&] {
    std::lock_guard lock(*globals::cs.load());
    body();
  });
}

// The caller's array of values, copied; nothing is read beyond `count`.
inline VariantArray job_array(const imp_variant* items, int32_t count) {
  VariantArray a;
  if (items == nullptr || count <= 0) return a;
  a.reserve(static_cast<std::size_t>(count));
  for (int32_t i = 0; i < count; ++i) a.push_back(abi::from_abi(items[i]));
  return a;
}

// A text result under the job lock, module-allocated; "" when the body fails.
template <typename F>
char* text_under_cs(const char* entry, F&& body) {
  char* r = under_cs<char*>(entry, nullptr, [&] { return abi::dup_text(body()); });
  return r ? r : abi::dup_text("");
}

}  // namespace imp::package
