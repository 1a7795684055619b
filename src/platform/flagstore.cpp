#include "platform/flagstore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/hostdir.h"
#include "platform/safefile.h"

namespace imp::flagstore {
namespace {

using Json = nlohmann::ordered_json;
std::mutex g_mutex;

// Holds the store's lock file, shared with other processes (flock).
class FileLock {
 public:
  explicit FileLock(const std::filesystem::path& store) {
    auto lock = store;
    lock += ".lock";
    try {
      fd_ = safefile::open_file(lock, O_RDWR | O_CREAT, false);
    } catch (const std::exception& e) {
      throw Error("Registro: "_cp + e.what());
    }
    ::flock(fd_.get(), LOCK_EX);
  }
  ~FileLock() { ::flock(fd_.get(), LOCK_UN); }

 private:
  safefile::Fd fd_;
};

std::filesystem::path store_path() {
  return hostdir::resolve("imp-registry.json");
}

Json load(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return Json::object();
  if (!std::filesystem::is_regular_file(path, ec)) throw Error("Registro inválido: "_cp + path.string());
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error("Registro: não foi possível ler "_cp + path.string());
  std::stringstream ss;
  ss << in.rdbuf();
  try {
    Json j = Json::parse(ss.str());
    if (!j.is_object()) throw Error("Registro inválido: "_cp + path.string());
    return j;
  } catch (const nlohmann::json::exception& e) {
    throw Error("Registro inválido: "_cp + path.string() + ": " + e.what());
  }
}

std::string utf8(std::string_view s) {
  return cp1252::to_utf8(s);
}

}  // namespace

std::optional<bool> read_bool(std::string_view key, std::string_view name) {
  std::lock_guard lk(g_mutex);
  auto path = store_path();
  FileLock lock(path);
  Json j = load(path);
  auto k = j.find(utf8(key));
  if (k == j.end() || !k->is_object()) return std::nullopt;
  auto v = k->find(utf8(name));
  if (v == k->end() || !v->is_boolean()) return std::nullopt;
  return v->get<bool>();
}

void write_bool(std::string_view key, std::string_view name, bool value) {
  std::lock_guard lk(g_mutex);
  auto path = store_path();
  FileLock lock(path);
  Json j = load(path);
  Json& k = j[utf8(key)];
  if (!k.is_object()) k = Json::object();
  k[utf8(name)] = value;
  try {
    safefile::write_atomic(path, j.dump(2) + '\n', false);
  } catch (const std::exception& e) {
    throw Error("Registro: "_cp + e.what());
  }
}

}  // namespace imp::flagstore
