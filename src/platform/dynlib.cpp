#include "platform/dynlib.h"

#include <dlfcn.h>
#include <link.h>

#include <cctype>
#include <cstdlib>
#include <vector>

namespace imp::dynlib {

namespace {

std::filesystem::path module_folder() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&module_folder), &info) == 0 || !info.dli_fname) return {};
  std::error_code ec;
  auto p = std::filesystem::weakly_canonical(info.dli_fname, ec);
  return ec ? std::filesystem::path() : p.parent_path();
}

}  // namespace

std::string file_name_of(std::string_view dll) {
  std::string base(dll);
  if (base.size() > 4) {
    std::string tail = base.substr(base.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (tail == ".dll") base.resize(base.size() - 4);
  }
  return "lib" + base + ".so";
}

void* load(std::string_view dll) {
  const std::string file = file_name_of(dll);
  std::vector<std::filesystem::path> folders;
  if (const char* path = std::getenv("IMP_DRIVER_PATH")) {
    std::string_view rest(path);
    while (!rest.empty()) {
      const auto colon = rest.find(':');
      const std::string_view folder = rest.substr(0, colon);
      if (!folder.empty()) folders.emplace_back(std::string(folder));
      rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
  }
  if (auto here = module_folder(); !here.empty()) folders.push_back(here);
  for (const auto& folder : folders) {
    std::error_code ec;
    const auto candidate = folder / file;
    if (!std::filesystem::exists(candidate, ec)) continue;
    if (void* h = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
  }
  return ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);  // the system's library path
}

void* symbol(void* handle, const char* name) {
  return handle ? ::dlsym(handle, name) : nullptr;
}

void unload(void* handle) {
  if (handle) ::dlclose(handle);
}

std::filesystem::path real_file(void* handle) {
  link_map* map = nullptr;
  if (!handle || ::dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return {};
  std::error_code ec;
  auto p = std::filesystem::canonical(map->l_name, ec);
  return ec ? std::filesystem::path(map->l_name) : p;
}

Version version_of(const std::filesystem::path& file) {
  Version v{0, 0, 0, 0};
  const std::string name = file.filename().string();
  const auto so = name.find(".so.");
  if (so == std::string::npos) return v;
  std::size_t at = so + 4;
  for (int& part : v) {
    if (at >= name.size() || !std::isdigit(static_cast<unsigned char>(name[at]))) break;
    long n = 0;
    while (at < name.size() && std::isdigit(static_cast<unsigned char>(name[at])) && n < 100000)
      n = n * 10 + (name[at++] - '0');
    part = static_cast<int>(n);
    if (at < name.size() && name[at] == '.') ++at;
  }
  return v;
}

long long version_number(const Version& v) {
  std::string digits;
  for (int part : v) digits += std::to_string(part);
  return digits.size() > 18 ? 0 : std::stoll(digits);
}

}  // namespace imp::dynlib
