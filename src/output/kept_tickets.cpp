#include "output/kept_tickets.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/hostdir.h"
#include "platform/job.h"
#include "platform/log.h"
#include "platform/rtl.h"
#include "platform/safefile.h"

namespace imp::kept {
namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

namespace {

thread_local TicketRecorder* t_recorder = nullptr;

const char* const kFolder = "\\Dados\\ImpPendentes";

bool iequal(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

// An id names two files: only letters, digits and '-' (never a path).
bool valid_id(std::string_view id) {
  if (id.empty() || id.size() > 64) return false;
  return std::all_of(id.begin(), id.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-'; });
}

fs::path folder() {
  return hostdir::resolve(kFolder);
}

std::string new_id() {
  static std::atomic<unsigned> counter{0};
  char seq[16];
  std::snprintf(seq, sizeof seq, "%06u", (counter.fetch_add(1) + 1) % 1000000);  // ids sort in order
  return FormatDateTime("yyyymmdd-hhnnss", clock::Now()) + "-" + std::to_string(::getpid()) + "-" + seq;
}

Pending read_sidecar(const fs::path& file) {
  Json j = Json::parse(safefile::read(file));
  auto text = [&](const char* key) {
    return j.contains(key) && j[key].is_string() ? cp1252::from_utf8_lossy(j[key].get<std::string>()) : std::string();
  };
  Pending p;
  p.id = text("id");
  p.port = text("port");
  p.model = text("model");
  p.kind = text("kind");
  p.time = text("time");
  p.failure = text("failure");
  p.bytes = j.contains("bytes") && j["bytes"].is_number_unsigned() ? j["bytes"].get<std::size_t>() : 0;
  return p;
}

}  // namespace

TicketRecorder::TicketRecorder(std::string_view port, std::string_view model)
    : port_(port), model_(model), saved_(t_recorder) {
  t_recorder = this;
}

TicketRecorder::~TicketRecorder() {
  t_recorder = saved_;
}

void TicketRecorder::unsent(std::string_view bytes) {
  bytes_.append(bytes);
}

std::string TicketRecorder::finish() {
  if (t_recorder == this) t_recorder = saved_;
  if (failure_.empty() || port_.empty()) return {};
  try {
    return keep(port_, model_, bytes_, failure_);
  } catch (const std::exception& e) {
    log::LogErroImpNaoFiscal("Impressão não guardada em ImpPendentes (porta "_cp + port_ + "): " + e.what());
    return {};
  }
}

void record_write(std::string_view port, std::string_view bytes, const char* failure) {
  TicketRecorder* r = t_recorder;
  if (!r || !iequal(port, r->port_)) return;
  r->bytes_.append(bytes);
  if (failure && r->failure_.empty()) r->failure_ = failure;
}

std::string keep(std::string_view port, std::string_view model, std::string_view bytes, std::string_view failure) {
  const fs::path dir = folder();
  hostdir::create_folders(dir);
  const job::Context* ctx = job::current();
  std::string id;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    id = new_id();
    std::error_code ec;
    if (!fs::exists(dir / (id + ".json"), ec) && !fs::exists(dir / (id + ".prn"), ec)) break;
  }
  Json j = {{"id", id},
            {"port", cp1252::to_utf8(port)},
            {"model", cp1252::to_utf8(model)},
            {"kind", cp1252::to_utf8(ctx ? ctx->kind : std::string())},
            {"time", FormatIsoDateTime(clock::Now())},
            {"failure", cp1252::to_utf8(failure)},
            {"bytes", bytes.size()},
            {"file", id + ".prn"}};
  // The bytes first, the sidecar last: a ticket is listed only once both are whole.
  safefile::write_atomic(dir / (id + ".prn"), bytes, false);
  safefile::write_atomic(dir / (id + ".json"), j.dump(2) + "\n", false);
  log::LogErroImpNaoFiscal("Impressão guardada em Dados\\ImpPendentes\\"_cp + id + ".prn (porta " + std::string(port) +
                           ", modelo " + std::string(model) + "): " + std::string(failure));
  return id;
}

std::vector<Pending> list() {
  std::vector<Pending> out;
  const fs::path dir = folder();
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return out;
  for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const fs::path& p = it->path();
    if (p.extension() != ".json" || !valid_id(p.stem().string())) continue;
    try {
      Pending one = read_sidecar(p);
      if (one.id != p.stem().string()) continue;
      out.push_back(std::move(one));
    } catch (const std::exception& e) {
      log::LogErroImpNaoFiscal("ImpPendentes: "_cp + cp1252::from_utf8_lossy(p.filename().string()) + ": " + e.what());
    }
  }
  std::sort(out.begin(), out.end(),
            [](const Pending& a, const Pending& b) { return a.time != b.time ? a.time < b.time : a.id < b.id; });
  return out;
}

std::string bytes_of(std::string_view id) {
  if (!valid_id(id)) throw Error("ImpPendentes: identificador inválido: "_cp + std::string(id));
  const fs::path file = folder() / (std::string(id) + ".prn");
  std::error_code ec;
  if (!fs::is_regular_file(folder() / (std::string(id) + ".json"), ec))
    throw Error("ImpPendentes: não há impressão "_cp + std::string(id));
  return safefile::read(file);  // never through a link planted in the folder
}

bool drop(std::string_view id) {
  if (!valid_id(id)) return false;
  std::error_code ec;
  const fs::path dir = folder();
  // The sidecar goes first: a ticket without it is no longer listed.
  bool removed = fs::remove(dir / (std::string(id) + ".json"), ec);
  fs::remove(dir / (std::string(id) + ".prn"), ec);
  return removed;
}

}  // namespace imp::kept
