// The host folder: everything the module reads or writes lives below it (except what goes to printers).
// It is the folder given by the host (imp_set_host_dir), else $IMP_HOST_DIR, else the folder of the running
// executable. Windows-style paths such as \Dados\Cadastros\ProdLoja.cds resolve below it, each component
// matched case-insensitively against what exists (an exact spelling wins); resolving never creates anything.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace imp::hostdir {

// A relative folder is made absolute against the working folder of the moment (for $IMP_HOST_DIR: of the
// moment it is first read), so a host that changes its working folder keeps its host folder.
void set(const std::string& path);  // empty: back to $IMP_HOST_DIR / the executable's folder
// The host folder of the job running on this thread (the one it was dispatched with), else the module's.
std::filesystem::path root();
// The module's host folder, whatever job runs: what a new job is dispatched with.
std::filesystem::path module_root();

// Resolves a Windows-style or relative path below the host folder. A drive ("C:") is dropped and
// C:\Windows\temp\ resolves to tmp/. Components that do not exist keep the spelling given.
// ".." is refused (imp::Error): nothing may escape the host folder.
std::filesystem::path resolve(std::string_view windows_path);

// The file name of the running executable ("imphost"; the host program on a till).
std::string executable_name();

// Creates the folders of a resolved path that do not exist yet, with the spelling given.
void create_folders(const std::filesystem::path& folder);

}  // namespace imp::hostdir
