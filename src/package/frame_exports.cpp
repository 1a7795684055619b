// Exported package frame, host installation and access to the globals by name.
#include "host/services.h"
#include "imp00000.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "package/frame.h"
#include "platform/abi_variant.h"
#include "platform/hostdir.h"

using namespace imp;

extern "C" {

IMP_API void Initialize(void) {
  try {
    package::initialize();
  } catch (...) {
  }
}
IMP_API void Finalize(void) {
  try {
    package::finalize();
  } catch (...) {
  }
}
IMP_API void Pkg_imp00000_PackageLoad(void) {
  Initialize();
}
IMP_API void Pkg_imp00000_PackageUnload(void) {
  Finalize();
}

IMP_API void Cli_imp00000_initialization(void) {
  try {
    package::cli_imp00000_initialization();
  } catch (...) {
  }
}
IMP_API void Cli_imp00000_Finalization(void) {
  try {
    package::cli_imp00000_finalization();
  } catch (...) {
  }
}
IMP_API void Cli_imp00400_initialization(void) {
  try {
    package::cli_imp00400_initialization();
  } catch (...) {
  }
}
IMP_API void Cli_imp00400_Finalization(void) {
  try {
    package::cli_imp00400_finalization();
  } catch (...) {
  }
}
IMP_API void Pkg_imp00000_initialization(void) {
  try {
    package::pkg_imp00000_initialization();
  } catch (...) {
  }
}
IMP_API void Pkg_imp00000_Finalization(void) {
  try {
    package::pkg_imp00000_finalization();
  } catch (...) {
  }
}

IMP_API char* GetPackageInfoTable(void) {
  try {
    return abi::dup_text(package::package_info());
  } catch (...) {
    return nullptr;
  }
}

IMP_API void imp_set_host(const imp_host* host) {
  try {
    package::SetupCall call;
    host::install(host);
  } catch (...) {
  }
}

IMP_API void imp_set_host_dir(const char* path_utf8) {
  try {
    package::SetupCall call;  // the last Finalize waits for it, so `cs` is never freed under it
    // A new host folder may name another database: the data module starts afresh there. Jobs already handed
    // in keep the folder they were dispatched with.
    if (std::recursive_mutex* cs = call.counted() ? globals::cs.load() : nullptr) {
      std::lock_guard lock(*cs);
      FreeDataModule();
    } else {
      FreeDataModule();
    }
    hostdir::set(path_utf8 ? path_utf8 : "");
    host::refresh_format();
  } catch (...) {
  }
}

IMP_API int32_t imp_wait_idle(int32_t timeout_ms) {
  try {
    return package::wait_idle(timeout_ms) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

IMP_API int32_t imp_global_get(const char* name, imp_variant* out) {
  if (!name || !out) return 0;
  try {
    package::SetupCall call;
    Variant v;
    if (!globals::get(name, v)) return 0;
    abi::to_abi(v, out);
    return 1;
  } catch (...) {
    return 0;
  }
}

IMP_API int32_t imp_global_set(const char* name, const imp_variant* value) {
  if (!name || !value) return 0;
  try {
    package::SetupCall call;
    return globals::set(name, abi::from_abi(*value)) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
