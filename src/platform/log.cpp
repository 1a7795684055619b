#include "platform/log.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/hostdir.h"
#include "platform/rtl.h"

namespace imp::log {
namespace {

// One writer at a time, so lines of two threads never interleave.
std::mutex g_mutex;

bool append_line(const std::filesystem::path& file, double now, std::string_view text, std::string* error) {
  std::string line = cp1252::to_utf8(DateTimeToStr(now) + " - " + std::string(text));
  line.push_back('\n');
  std::ofstream out(file, std::ios::binary | std::ios::app);
  if (!out) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  out.write(line.data(), static_cast<std::streamsize>(line.size()));
  out.flush();
  if (!out) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  return true;
}

std::filesystem::path daily_path(double now) {
  return hostdir::resolve("\\dados\\LogImp00000NF\\LogImp00000NF" + FormatDateTime("YYYY", now) + "\\LogImp00000NF" +
                          FormatDateTime("DDMMYY", now) + ".txt");
}

std::filesystem::path monthly_path(double now) {
  return hostdir::resolve("\\Dados\\ImpNaoFiscal\\LogImpressoraNFiscal" + FormatDateTime("MMYY", now) + ".txt");
}

void write_daily(double now, std::string_view text) {
  try {
    auto file = daily_path(now);
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    append_line(file, now, text, nullptr);
  } catch (...) {
    // The log is the last resort: nothing to report to.
  }
}

}  // namespace

void LogErroImpNaoFiscal(std::string_view text) {
  std::lock_guard lk(g_mutex);
  write_daily(clock::Now(), text);
}

void LogImpNFiscal(std::string_view text) {
  std::lock_guard lk(g_mutex);
  double now = clock::Now();
  std::string error;
  std::filesystem::path file;
  try {
    file = monthly_path(now);
    if (append_line(file, now, text, &error)) return;
  } catch (const std::exception& e) {
    error = e.what();
  }
  write_daily(now, cp1252::from_utf8_lossy(file.string()) + ": " + error + " - Imp00000 - Funcao:LogImpNFiscal");
}

namespace {
using KeySet = std::vector<std::string>;
thread_local KeySet* t_job_keys = nullptr;
}  // namespace

JobLogScope::JobLogScope() : saved_(t_job_keys) {
  t_job_keys = new KeySet;
}
JobLogScope::~JobLogScope() {
  delete t_job_keys;
  t_job_keys = static_cast<KeySet*>(saved_);
}

void LogOncePerJob(std::string_view key, std::string_view text) {
  if (t_job_keys) {
    for (const auto& k : *t_job_keys)
      if (k == key) return;
    t_job_keys->emplace_back(key);
  }
  LogErroImpNaoFiscal(text);
}

void NoteReplacedCharacters(std::string_view where) {
  LogOncePerJob("cp1252", std::string(where) +
                              ": caracteres sem forma em Windows-1252 impressos como \"?\" (NUL como espaço)"_cp);
}

std::filesystem::path daily_log_path() {
  return daily_path(clock::Now());
}
std::filesystem::path print_log_path() {
  return monthly_path(clock::Now());
}

}  // namespace imp::log
