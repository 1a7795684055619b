// The makers' printer libraries: each one loaded by its start routine into its module handle
// (DLLMp2032 ...), its entries bound by name into the entry variables (IniciaPorta_Bema ...), and released by
// its stop routine, which clears every entry first. A library that is missing or lacks an entry is left
// unloaded with all its entries cleared; the start says so with 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "module/globals.h"

namespace imp {

int StartMp2032();
void StopMp2032();
int StartDarumaFrameWork();
void StopDarumaFrameWork();
int StartInterfaceEpsonNF(std::string_view port);
void StopInterfaceEpsonNF();
// `model` 17 or 36 opens and closes the port once; "evita loop" (from IniciaPorta_DLL) does not.
int StartSI300(std::string_view model, std::string_view port);
void StopSI300();
int StartKioskDll();
void StopKioskDll();

// The QR generator of the Daruma framework: the entry from the framework when that is loaded, else from
// its own library (loaded into a handle of its own, so a later StartDarumaFrameWork still loads the
// framework). Bound into GerarQrCodeBMP_Daruma; nullptr when neither has it.
void* BindDarumaQrGenerator();

// The four version parts of the loaded SI300 library (0.0.0.0 when none is loaded or its file has none).
long long SI300VersionNumber();

// The entry variable `name` as a function of type Fn; nullptr while it is not bound.
template <class Fn>
Fn bound_entry(const char* name) {
  GlobalHandle* h = globals::entry(name);
  void* p = h ? h->load() : nullptr;
  return reinterpret_cast<Fn>(p);
}

// Logs that an operation needed an entry that is not bound.
void log_unbound(const char* entry);

// A call through the entry `name`; an entry that is not bound is logged and answers 0, never called.
template <class Fn, class... Args>
int32_t call_entry(const char* name, Args... args) {
  Fn fn = bound_entry<Fn>(name);
  if (!fn) {
    log_unbound(name);
    return 0;
  }
  return fn(args...);
}

namespace vendor {
// Function types of the entries, by their arguments (every result is a 32-bit integer).
using Void = int32_t (*)();
using Int = int32_t (*)(int32_t);
using IntPtr = int32_t (*)(int32_t*);
using Text = int32_t (*)(const char*);
using TextInt = int32_t (*)(const char*, int32_t);
using Text2 = int32_t (*)(const char*, const char*);
using Format = int32_t (*)(const char*, int32_t, int32_t, int32_t, int32_t, int32_t);
using Int5 = int32_t (*)(int32_t, int32_t, int32_t, int32_t, int32_t);
using Qr = int32_t (*)(int32_t, int32_t, int32_t, int32_t, int32_t, const char*);
using Int2 = int32_t (*)(int32_t, int32_t);
using KioskOpen = int32_t (*)();
using KioskHandle = int32_t (*)(int32_t);
using KioskText = int32_t (*)(int32_t, int32_t, const char*, int32_t, int32_t, int32_t, int32_t, int32_t);
using KioskBarcode = int32_t (*)(int32_t, int32_t, const char*, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                 int32_t);
using KioskInt3 = int32_t (*)(int32_t, int32_t, int32_t);
using KioskInt4 = int32_t (*)(int32_t, int32_t, int32_t, int32_t);
using KioskWrite = int32_t (*)(int32_t, int32_t, const char*, int32_t);
}  // namespace vendor

}  // namespace imp
