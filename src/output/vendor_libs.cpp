#include "output/vendor_libs.h"

#include <mutex>
#include <nlohmann/json.hpp>
#include <vector>

#include "host/port_config.h"
#include "output/device_ops.h"
#include "platform/cp1252.h"
#include "platform/dynlib.h"
#include "platform/hostdir.h"
#include "platform/log.h"

namespace imp {
namespace {

void Log(const std::string& text) {
  log::LogErroImpNaoFiscal(text);
}

struct Binding {
  const char* entry;     // the name the library exports
  const char* variable;  // the entry variable it is bound into
};

struct Library {
  const char* file;  // the Windows file name ("Mp2032.dll")
  GlobalHandle& handle;
  std::vector<Binding> entries;  // bound in this order; the first missing one fails the start
};

// Starts and stops may come from the host and from a job at once; one at a time.
std::recursive_mutex& libs_mutex() {
  static std::recursive_mutex m;
  return m;
}

Library& mp2032() {
  static Library lib{"Mp2032.dll",
                     globals::DLLMp2032,
                     {{"IniciaPorta", "IniciaPorta_Bema"},
                      {"FormataTX", "FormataTX_Bema"},
                      {"ConfiguraCodigoBarras", "ConfiguraCodigoBarras_Bema"},
                      {"ImprimeCodigoQRCODE", "ImprimeCodigoQRCODE_Bema"},
                      {"ImprimeCodigoBarrasCODE128", "ImprimeCodigoBarrasCODE128_Bema"},
                      {"AcionaGuilhotina", "AcionaGuilhotina_Bema"},
                      {"ComandoTX", "ComandoTX_Bema"},
                      {"DefineNVBitmap", "DefineNVBitmap_Bema"},
                      {"PrintNVBitmap", "PrintNVBitmap_Bema"},
                      {"FechaPorta", "FechaPorta_Bema"},
                      {"Le_Status_Gaveta", "Le_Status_Gaveta"}}};
  return lib;
}

Library& daruma() {
  static Library lib{"DarumaFrameWork.dll",
                     globals::DLLDarumaFrameWork,
                     {{"eDefinirProduto_Daruma", "eDefinirProduto_Daruma"},
                      {"iImprimirTexto_DUAL_DarumaFramework", "iImprimirTexto_DUAL_DarumaFramework"},
                      {"rStatusGaveta_DUAL_DarumaFramework", "rStatusGaveta_DUAL_DarumaFramework"}}};
  return lib;
}

Library& epson() {
  static Library lib{"InterfaceEpsonNF.dll",
                     globals::DLLInterfaceEpsonNF,
                     {{"ConfiguraTaxaSerial", "ConfiguraTaxaSerial_Epson"},
                      {"IniciaPorta", "IniciaPorta_Epson"},
                      {"FormataTX", "FormataTX_Epson"},
                      {"ConfiguraCodigoBarras", "ConfiguraCodigoBarras_Epson"},
                      {"ImprimeCodigoQRCODE", "ImprimeCodigoQRCODE_Epson"},
                      {"ImprimeTextoTag", "ImprimeTextoTag_Epson"},
                      {"ImprimeCodigoBarrasCODE128", "ImprimeCodigoBarrasCODE128_Epson"},
                      {"AcionaGaveta", "AcionaGaveta_Epson"},
                      {"AcionaGuilhotina", "AcionaGuilhotina_Epson"},
                      {"ComandoTX", "ComandoTX_Epson"},
                      {"FechaPorta", "FechaPorta_Epson"}}};
  return lib;
}

// The SI300 library's five base entries; the three later ones come with version 3.0.11.0.
Library& si300() {
  static Library lib{"SI300.dll",
                     globals::DLLSI300,
                     {{"SI300_eBuscarPortaVelocidade", "SI300_eBuscarPortaVelocidade"},
                      {"SI300_iImprimirTexto", "SI300_iImprimirTexto"},
                      {"SI300_iAcionarGaveta", "SI300_iAcionarGaveta"},
                      {"SI300_fecharPorta", "SI300_fecharPorta"},
                      {"SI300_iImprimeQRCode_TextoDireita", "SI300_iImprimeQRCode_TextoDireita"}}};
  return lib;
}
const std::vector<Binding>& si300_late() {
  static const std::vector<Binding> late = {{"SI300_setIP_Porta", "SI300_setIP_Porta"},
                                            {"SI300_Criar_NovoDispositivo", "SI300_Criar_NovoDispositivo"},
                                            {"SI300_setSize_Qrcode", "SI300_setSize_Qrcode"}};
  return late;
}
constexpr dynlib::Version kSI300Late = {3, 0, 11, 0};

Library& kiosk() {
  static Library lib{"KIOSKDLL.dll", globals::DLLKiosk, {}};
  if (lib.entries.empty())
    for (const char* e :
         {"KIOSK_OpenCom", "KIOSK_SetComTimeOuts", "KIOSK_CloseCom", "KIOSK_OpenLptByDrv", "KIOSK_CloseDrvLPT",
          "KIOSK_OpenUsb", "KIOSK_OpenUsbByID", "KIOSK_SetUsbTimeOuts", "KIOSK_CloseUsb", "KIOSK_S_Textout",
          "KIOSK_S_PrintBarcode", "KIOSK_CutPaper", "KIOSK_FeedLines", "KIOSK_S_SetAlignMode", "KIOSK_WriteData"})
      lib.entries.push_back({e, e});
  return lib;
}

// The QR generator's own library, when the framework is not there to lend its entry.
GlobalHandle g_qrLibrary{nullptr};

void clear(const std::vector<Binding>& entries) {
  for (const Binding& b : entries)
    if (GlobalHandle* v = globals::entry(b.variable)) v->store(nullptr);
}

// Every entry variable cleared first, then the library released.
void stop(Library& lib, const std::vector<Binding>& extra = {}) {
  std::lock_guard lk(libs_mutex());
  clear(lib.entries);
  clear(extra);
  if (void* h = lib.handle.exchange(nullptr)) dynlib::unload(h);
}

bool bind_entries(Library& lib, const std::vector<Binding>& entries) {
  for (const Binding& b : entries) {
    void* fn = dynlib::symbol(lib.handle.load(), b.entry);
    if (!fn) {
      Log(std::string(lib.file) + ": entrada " + b.entry + " não encontrada"_cp);
      return false;
    }
    globals::entry(b.variable)->store(fn);
  }
  return true;
}

// The stand-ins of this platform take the host's port map and the host folder once loaded.
void configure(void* handle) {
  using Configure = int32_t (*)(const char*);
  auto fn = reinterpret_cast<Configure>(dynlib::symbol(handle, "imp_driver_configure"));
  if (!fn) return;
  try {
    nlohmann::json j;
    j["hostDir"] = hostdir::root().string();
    const port::PortMap map = host::PortConfig();
    j["timeoutSeconds"] = map.timeoutSeconds;
    j["ports"] = nlohmann::json::object();
    for (const auto& [name, device] : map.names) j["ports"][cp1252::from_utf8_lossy(name)] = device.string();
    fn(j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
  } catch (const std::exception& e) {
    Log(std::string("imp_driver_configure: ") + e.what());
  }
}

// Steps 1 to 3 of every start: load when not loaded, then bind. False leaves the library stopped.
bool load_and_bind(Library& lib, bool emptyLineAfterLog = false) {
  std::lock_guard lk(libs_mutex());
  bool fresh = false;
  if (!lib.handle.load()) {
    Log(std::string("LoadLibrary ") + lib.file);
    if (emptyLineAfterLog) Log("");
    lib.handle.store(dynlib::load(lib.file));
    fresh = true;
  }
  if (!lib.handle.load()) return false;
  if (!bind_entries(lib, lib.entries)) {
    stop(lib, &lib == &si300() ? si300_late() : std::vector<Binding>{});
    return false;
  }
  if (fresh) configure(lib.handle.load());
  return true;
}

}  // namespace

void log_unbound(const char* entry) {
  Log(std::string(entry) + ": entrada da biblioteca não carregada"_cp);
}

int StartMp2032() {
  return load_and_bind(mp2032(), true) ? 1 : 0;
}
void StopMp2032() {
  stop(mp2032());
}

int StartDarumaFrameWork() {
  std::lock_guard lk(libs_mutex());
  if (!load_and_bind(daruma())) return 0;
  if (auto define = bound_entry<vendor::Text>("eDefinirProduto_Daruma")) define("DUAL");
  if (auto print = bound_entry<vendor::TextInt>("iImprimirTexto_DUAL_DarumaFramework")) print(" ", 0);
  return 1;
}
void StopDarumaFrameWork() {
  // All three entries go, and the QR entry when it came from the framework.
  std::lock_guard lk(libs_mutex());
  if (!g_qrLibrary.load()) clear({{"GerarQrCodeBMP_Daruma", "GerarQrCodeBMP_Daruma"}});
  stop(daruma());
}

int StartInterfaceEpsonNF(std::string_view port) {
  std::lock_guard lk(libs_mutex());
  if (!load_and_bind(epson())) return 0;
  const std::string p(port);
  Log("StartInterfaceEpsonNF_" + p);
  Log("IniciaPorta_Epson: " + std::to_string(bound_entry<vendor::Text>("IniciaPorta_Epson")(p.c_str())));
  Log("FechaPorta_Epson: " + std::to_string(bound_entry<vendor::Void>("FechaPorta_Epson")()));
  globals::boPortaFechada.store(true);
  return 1;
}
void StopInterfaceEpsonNF() {
  stop(epson());
}

int StartSI300(std::string_view model, std::string_view port) {
  std::lock_guard lk(libs_mutex());
  if (!load_and_bind(si300())) return 0;
  const dynlib::Version v = dynlib::version_of(dynlib::real_file(globals::DLLSI300.load()));
  // The parts compare in order: 4.0.0.0 is later than 3.0.11.0 although 4000 < 30110.
  if (v >= kSI300Late && !bind_entries(si300(), si300_late())) {
    stop(si300(), si300_late());
    return 0;
  }
  if (model == "17" || model == "36") {
    const std::string m(model), p(port);
    IniciaPorta_DLL(m, p);
    FechaPorta_DLL(m, p);
  }
  return 1;
}
void StopSI300() {
  stop(si300(), si300_late());
}

long long SI300VersionNumber() {
  void* h = globals::DLLSI300.load();
  return h ? dynlib::version_number(dynlib::version_of(dynlib::real_file(h))) : 0;
}

int StartKioskDll() {
  return load_and_bind(kiosk()) ? 1 : 0;
}
void StopKioskDll() {
  stop(kiosk());
}

void* BindDarumaQrGenerator() {
  std::lock_guard lk(libs_mutex());
  GlobalHandle* entry = globals::entry("GerarQrCodeBMP_Daruma");
  void* fn = nullptr;
  if (void* framework = globals::DLLDarumaFrameWork.load()) fn = dynlib::symbol(framework, "GerarQrCodeBMP_Daruma");
  if (!fn) {
    if (!g_qrLibrary.load()) {
      Log("LoadLibrary QrCode_DarumaFramework.dll");
      g_qrLibrary.store(dynlib::load("QrCode_DarumaFramework.dll"));
    }
    fn = dynlib::symbol(g_qrLibrary.load(), "GerarQrCodeBMP_Daruma");
  }
  entry->store(fn);
  return fn;
}

}  // namespace imp
