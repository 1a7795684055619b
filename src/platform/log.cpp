#include "platform/log.h"

#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/hostdir.h"
#include "platform/job.h"
#include "platform/rtl.h"
#include "platform/safefile.h"

namespace imp::log {
namespace {

// One writer at a time, so lines of two threads never interleave.
std::mutex g_mutex;

// CR and LF inside a text are shown as \r and \n: data can never forge a line of its own.
std::string one_line(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out.push_back(c);
  }
  return out;
}

bool append_line(const std::filesystem::path& file, double now, std::string_view text, bool create_folders,
                 std::string* error) {
  std::string line = cp1252::to_utf8(DateTimeToStr(now) + " - " + one_line(text));
  line.push_back('\n');
  try {
    safefile::append(file, line, create_folders);
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
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
    append_line(daily_path(now), now, text, true, nullptr);
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
    if (append_line(file, now, text, false, &error)) return;
  } catch (const std::exception& e) {
    error = e.what();
  }
  write_daily(now, cp1252::from_utf8_lossy(file.string()) + ": " + error + " - Imp00000 - Funcao:LogImpNFiscal");
}

void LogOncePerJob(std::string_view key, std::string_view text) {
  if (job::Context* ctx = job::current()) {
    for (const auto& k : ctx->loggedOnce)
      if (k == key) return;
    ctx->loggedOnce.emplace_back(key);
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
