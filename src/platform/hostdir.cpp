#include "platform/hostdir.h"

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/error.h"
#include "platform/job.h"
#include "platform/safefile.h"

namespace imp::hostdir {
namespace {

std::mutex g_mutex;
std::string g_set;

std::filesystem::path executable_folder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path(ec);
  return exe.parent_path();
}

bool iequal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::vector<std::string> split(std::string_view p) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : p) {
    if (c == '\\' || c == '/') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(c);
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

// A folder as an absolute path, taken against the working folder of the moment it is given: a host that
// changes its working folder later keeps the same host folder.
std::string absolute(const std::string& path) {
  std::error_code ec;
  auto abs = std::filesystem::absolute(path, ec);
  return ec ? path : abs.lexically_normal().string();
}

std::string g_env_seen, g_env_absolute;  // $IMP_HOST_DIR as last read, and as made absolute then

}  // namespace

void set(const std::string& path) {
  std::string abs = path.empty() ? std::string() : absolute(path);
  std::lock_guard lk(g_mutex);
  g_set = abs;
}

std::filesystem::path module_root() {
  {
    std::lock_guard lk(g_mutex);
    if (!g_set.empty()) return g_set;
    if (const char* env = std::getenv("IMP_HOST_DIR"); env && *env) {
      if (g_env_seen != env) {
        g_env_seen = env;
        g_env_absolute = absolute(env);
      }
      return g_env_absolute;
    }
  }
  return executable_folder();
}

std::filesystem::path root() {
  if (const job::Context* ctx = job::current(); ctx && !ctx->hostDir.empty()) return ctx->hostDir;
  return module_root();
}

std::filesystem::path resolve(std::string_view windows_path) {
  auto parts = split(windows_path);
  if (!parts.empty() && parts[0].size() == 2 && parts[0][1] == ':' &&
      std::isalpha(static_cast<unsigned char>(parts[0][0])))
    parts.erase(parts.begin());
  if (parts.size() >= 2 && iequal(parts[0], "Windows") && iequal(parts[1], "temp")) {
    parts.erase(parts.begin(), parts.begin() + 2);
    parts.insert(parts.begin(), "tmp");
  }
  std::filesystem::path p = root();
  bool exists = true;
  for (const auto& part : parts) {
    if (part == "..") throw Error("Caminho fora da pasta do sistema: " + std::string(windows_path));
    if (part == ".") continue;
    if (exists) {
      std::error_code ec;
      if (std::filesystem::exists(p / part, ec)) {
        p /= part;
        continue;
      }
      std::string found;
      for (auto it = std::filesystem::directory_iterator(p, ec); !ec && it != std::filesystem::directory_iterator();
           it.increment(ec)) {
        auto name = it->path().filename().string();
        if (iequal(name, part)) {
          found = name;
          break;
        }
      }
      if (!found.empty()) {
        p /= found;
        continue;
      }
      exists = false;
    }
    p /= part;
  }
  return p;
}

void create_folders(const std::filesystem::path& folder) {
  safefile::open_folder(folder, true);
}

std::string executable_name() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.filename().string();
}

}  // namespace imp::hostdir
