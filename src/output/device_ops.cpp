#include "output/device_ops.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>

#include "host/database_config.h"
#include "host/services.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "output/bitmap_page.h"
#include "output/models.h"
#include "output/print_path.h"
#include "output/spool.h"
#include "output/vendor_libs.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/hostdir.h"
#include "platform/log.h"
#include "platform/spooler.h"

namespace imp {
namespace {

using models::code_of;
using models::contains;
using models::Family;
using models::one_of;

void Log(const std::string& text) {
  log::LogErroImpNaoFiscal(text);
}

std::string S(std::string_view s) {
  return std::string(s);
}

// The model's family; "" is "00", and codes above 54 select nothing.
Family family(std::string_view model) {
  const int code = code_of(model);
  return code < 0 || code > 54 ? Family::None : models::family_of(code);
}

int logged(const std::string& operation, std::string_view model, int result) {
  Log(operation + "_" + S(model) + ": " + std::to_string(result));
  return result;
}

int32_t bema_command(std::string_view bytes) {
  const std::string b(bytes);
  return call_entry<vendor::TextInt>("ComandoTX_Bema", b.c_str(), static_cast<int32_t>(b.size()));
}
int32_t epson_command(std::string_view bytes) {
  const std::string b(bytes);
  return call_entry<vendor::TextInt>("ComandoTX_Epson", b.c_str(), static_cast<int32_t>(b.size()));
}
int32_t daruma_print(std::string_view text) {
  const std::string t(text);
  return call_entry<vendor::TextInt>("iImprimirTexto_DUAL_DarumaFramework", t.c_str(), 0);
}
int32_t si300_print(std::string_view text) {
  const std::string t(text);
  return call_entry<vendor::TextInt>("SI300_iImprimirTexto", t.c_str(), 0);
}

// ---- spans ----

thread_local int t_spans = 0;
thread_local std::recursive_mutex* t_spanLock = nullptr;

void enter_span() {
  std::recursive_mutex* cs = globals::cs.load();
  if (!cs) return;
  if (t_spans > 0 && t_spanLock != cs) return;  // a stale span of a finalized package: never mix locks
  cs->lock();
  t_spanLock = cs;
  ++t_spans;
}

void leave_span() {
  if (t_spans == 0 || !t_spanLock) return;  // a close without an open releases nothing
  --t_spans;
  t_spanLock->unlock();
  if (t_spans == 0) t_spanLock = nullptr;
}

// ---- SI300 routes ----

enum class Si300Route { Direct, Spool, Library };

Si300Route si300_route() {
  if (globals::boUtilizaDLL.load()) return Si300Route::Library;
  return globals::stPortaSpool.get().empty() ? Si300Route::Direct : Si300Route::Spool;
}

// The bytes on the direct port or, kept open, on the spooler's document.
int si300_raw(std::string_view bytes, bool finish = false) {
  if (si300_route() == Si300Route::Direct) return Formata(bytes, 0, 0, 0, 0, 0);
  return SendSpool("", globals::stPortaSpool.get(), "SWEDA", "QuivaneDoc", bytes, false, finish);
}

// A marker file of the host folder whose name begins with `prefix`.
bool marker(std::string_view prefix) {
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(hostdir::root(), ec)) {
    std::string name = e.path().filename().string();
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

int si300_open(std::string_view port) {
  globals::stPortaDireta.clear();
  globals::stPortaSpool.clear();
  const std::string p(port);
  std::string route;
  bool ok = false;
  if (contains(port, "COM") && port.size() <= 6 && marker("utilizadireta")) {
    StopSI300();
    route = "Direta";
    ok = AbrePortaDireta(p) >= 1;
  } else if (marker("utilizaspool")) {
    route = "Spool";
    ok = SendSpool("", p, "SWEDA", "QuivaneDoc", "", false, false) >= 1;
  }
  if (!route.empty() && ok) {
    globals::boUtilizaDLL.store(false);
    Log("Utilizando comunicação "_cp + route);
    StopSI300();
    return 1;
  }
  globals::stPortaDireta.clear();
  globals::stPortaSpool.clear();
  globals::boUtilizaDLL.store(true);
  if (!bound_entry<vendor::Void>("SI300_eBuscarPortaVelocidade")) StartSI300("evita loop", port);
  Log("Utilizando comunicação DLL"_cp);
  // 0 is the search's success: without the library there is nothing that could have found the printer.
  if (!bound_entry<vendor::Void>("SI300_eBuscarPortaVelocidade"))
    return call_entry<vendor::Void>("SI300_eBuscarPortaVelocidade");
  if (call_entry<vendor::Void>("SI300_eBuscarPortaVelocidade") == 0) return 1;  // the library found its printer
  if (p.size() >= 6 && bound_entry<vendor::Text>("SI300_setIP_Porta")) {
    call_entry<vendor::Void>("SI300_Criar_NovoDispositivo");
    const std::string address = p + ":6001";
    return call_entry<vendor::Text>("SI300_setIP_Porta", address.c_str()) > 0 ? 1 : 0;
  }
  return 0;
}

// ---- Epson ----

int epson_open(std::string_view port) {
  int result = 1;
  const std::string p(port);
  if (contains(port, "COM")) result = call_entry<vendor::Int>("ConfiguraTaxaSerial_Epson", 9600);
  if (port == "USB" && !globals::boPortaFechada.load()) return result;  // left open and untouched
  auto close = [] { Log("FechaPorta_Epson: " + std::to_string(call_entry<vendor::Void>("FechaPorta_Epson"))); };
  if (port != "USB" && !globals::boPortaFechada.load()) close();
  Log("IniciaPorta_Epson v2");
  if (!bound_entry<vendor::Text>("IniciaPorta_Epson")) {  // no library: nothing to retry
    globals::boPortaFechada.store(true);
    return call_entry<vendor::Text>("IniciaPorta_Epson", p.c_str());
  }
  // The five seconds are counted on the module's pause clock (the pauses as asked for, plus the time the
  // library calls take), so a test without pauses makes the same calls at once.
  using namespace std::chrono;
  milliseconds elapsed{0};
  auto timed = [&](auto&& fn) {
    const auto t0 = steady_clock::now();
    auto r = fn();
    elapsed += duration_cast<milliseconds>(steady_clock::now() - t0);
    return r;
  };
  int opened = timed([&] { return call_entry<vendor::Text>("IniciaPorta_Epson", p.c_str()); });
  while (opened == 0 && duration_cast<seconds>(elapsed).count() <= 5) {
    clock::pause_ms(1000);
    elapsed += milliseconds(1000);
    Log("Porta nao iniciada");
    timed([&] {
      close();
      return 0;
    });
    opened = timed([&] { return call_entry<vendor::Text>("IniciaPorta_Epson", p.c_str()); });
  }
  globals::boPortaFechada.store(opened == 0);
  return opened == 0 ? 0 : result;
}

// ---- Windows printers (on the spooler) ----

std::mutex g_windowsMutex;
std::string g_currentPrinter;

std::unique_ptr<spooler::Spooler> spooler_now() {
  return spooler::Cups(host::SpoolerSettings());
}

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string details(const spooler::Printer& p) {
  return p.server + " - " + p.name + " - " + p.share + " - " + p.port + " - " + p.driver;
}

void set_paper(int code, spooler::Spooler& sp, const std::string& printer) {
  spooler::Paper paper;
  try {
    if (!printer.empty()) paper = sp.paper(printer);
  } catch (const std::exception& e) {
    Log(e.what());
  }
  globals::itPaperWidth.store(paper.width);
  globals::itYResolution.store(paper.yResolution);
  if (code == 29)
    globals::itCanvasWidth.store(paper.width < 600 ? 500 : 380);
  else
    globals::itCanvasWidth.store(paper.width < 600 ? 380 : 570);
}

int windows_open(int code, std::string_view model, std::string_view port) {
  const std::string stars(40, '*');
  std::unique_ptr<spooler::Spooler> sp = spooler_now();
  std::vector<spooler::Printer> list = sp->printers();
  std::string def = sp->default_printer();
  Log(stars);
  bool found = false;
  for (std::size_t i = 0; i < list.size() && !found; ++i)
    if (list[i].name == def) {
      Log("Impressora Padrao: " + std::to_string(i) + " - " + def);
      Log(details(list[i]));
      found = true;
    }
  if (!found) Log("not OpenPrinter");
  Log(stars);
  globals::stPrinterName.set(def);

  // A printer busy printing is waited for once (a second), never in a loop that our own open document
  // would keep going; model 44 does not switch to a busy printer at all.
  bool waited = false;
  auto make_current = [&](const spooler::Printer& p) {
    if (p.busy) {
      if (code == 44) return false;
      if (!waited) clock::pause_ms(1000);
      waited = true;
    }
    std::lock_guard lk(g_windowsMutex);
    g_currentPrinter = p.name;
    return true;
  };

  int result = -1;
  const char* driver = code == 18   ? "ELGIN"
                       : code == 30 ? "TANCA"
                       : code == 53 ? "G250"
                       : code == 54 ? "Bematech MP-4200 HS"
                                    : nullptr;
  if (driver) {
    Log("Busca pela porta:" + S(port) + " - " + S(model));
    const std::string wanted = upper(S(port)), filter = upper(driver);
    for (std::size_t i = 0; i < list.size(); ++i) {
      const std::string uri = upper(list[i].port), make = upper(list[i].driver);
      const bool portMatch = !wanted.empty() && !uri.empty() && (contains(uri, wanted) || contains(wanted, uri));
      const bool driverMatch = !make.empty() && (contains(make, filter) || contains(filter, make));
      if (!portMatch || !driverMatch) continue;
      Log("Porta encontrada:" + std::to_string(i) + " - " + details(list[i]));
      if (make_current(list[i])) result = 1;  // found at index i (0 included): the open succeeded
      break;
    }
    if (result == -1) Log("Porta não encontrada"_cp);
  }
  if (result == -1) {
    Log("Busca pela impressora padrão"_cp);
    list = sp->printers();
    def = sp->default_printer();
    for (const spooler::Printer& p : list)
      if (p.name == def) {
        if (make_current(p)) {
          Log("Impressora padrão selecionada:"_cp + def);
          result = 1;
        }
        break;
      }
  }
  if (models::bitmap_model(code)) {
    set_paper(code, *sp, CurrentWindowsPrinter());
    StartBitMap(model);
  }
  return result;
}

// One RAW document on the current Windows printer.
int windows_raw(std::string_view bytes) {
  try {
    PrintOnWindowsPrinter(bytes);
    return 1;
  } catch (const std::exception& e) {
    Log(std::string("Impressora do Windows: ") + e.what());
    return 0;
  }
}

// The ESC ! prefix of a raw Windows printer: the letter type as its mode byte.
std::string windows_prefix(int code, int letterType, bool withG250) {
  if (code == 23) return std::string("\x1b\x21\x01", 3);
  if (one_of(code, {18, 30, 32, 43, 54}) || (withG250 && code == 53))
    return std::string("\x1b\x21") + static_cast<char>(letterType);
  return {};
}

// ---- kiosk ----

int32_t& kiosk_handle() {
  return EnsureDataModule().kioskHandle;
}

// ---- byte sequences ----

std::string bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

// GS ( k: store the symbol's data (function 180: cn 49, fn 80, m 48)
std::string qr_store(std::string_view data, int m = 0x30) {
  const std::size_t L = data.size() + 3;
  return bytes({0x1d, 0x28, 0x6b, static_cast<int>(L % 256), static_cast<int>((L / 256) % 256), 0x31, 0x50, m}) +
         S(data);
}

// Centre, model 2, module size, error correction L, the data, print, left again.
std::string qr_plain(std::string_view data, int module) {
  return bytes({0x1b, 0x61, 0x01, 0x1d, 0x28, 0x6b,   0x04, 0x00, 0x31, 0x41, 0x32, 0x00, 0x1d, 0x28,
                0x6b, 0x03, 0x00, 0x31, 0x43, module, 0x1d, 0x28, 0x6b, 0x03, 0x00, 0x31, 0x45, 0x30}) +
         qr_store(data) + bytes({0x1d, 0x28, 0x6b, 0x03, 0x00, 0x31, 0x51, 0x30, 0x1b, 0x61, 0x00});
}

// The SI300's page with the QR code and the side text side by side.
std::string si300_qr_page(std::string_view data, std::string_view side) {
  const int m = contains(side, "Pendente de Autorizacao") ? 3 : 4;
  int w = 160, v = 20;
  if (!contains(side, "CONSUMIDOR NAO IDENTIFICADO")) {
    w = 180;
    if (contains(side, "Protocolo de Autorizacao")) w = 210, v = 40;
  }
  return bytes({0x1b, 0x4c, 0x1b, 0x57, 0x00, 0x00, v,    0x00, 0xc8, 0x01, w,    0x01, 0x1d, 0x28, 0x6b,
                0x03, 0x00, 0x31, 0x41, 0x32, 0x00, 0x1d, 0x28, 0x6b, 0x03, 0x00, 0x31, 0x43, m}) +
         qr_store(data) + bytes({0x1d, 0x28, 0x6b, 0x03, 0x00, 0x31, 0x51, 0x30, 0x1d, 0x28, 0x6b, 0x03,
                                 0x00, 0x31, 0x52, 0x30, 0x1b, 0x57, 0xc8, 0x00, 0x00, 0x00, 0xc8, 0x01,
                                 w,    0x01, 0x1b, 0x54, 0x00, 0x1b, 0x4d, 0x01, 0x1b, 0x33, 0x28}) +
         S(side) + "\x0c";
}

// A raw Windows printer's page: the side text from x 255, the QR code from x 0.
std::string windows_qr_page(std::string_view data, std::string_view side, bool large) {
  const bool pending = contains(side, "Pendente de Autorizacao");
  const int m = pending ? 5 : large ? 8 : 6;
  int y = pending ? 0 : 40;
  if (!contains(side, "CONSUMIDOR NAO IDENTIFICADO")) y = contains(side, "Protocolo de Autorizacao") ? 40 : 0;
  return bytes({0x1b, 0x4c, 0x1b, 0x57, 0xff, 0x00, 0x00, 0x00, 0x00, 0x04, 0x7e, 0x02, 0x1b, 0x54, 0x30}) + S(side) +
         bytes({0x1b, 0x57, 0x00, 0x00, y, 0x00, 0x00, 0x04, 0x7e, 0x02, 0x1b, 0x54, 0x30}) + qr_plain(data, m) +
         "\x0c";
}

std::string model23_qr(std::string_view data) {
  return bytes({0x1b, 0x61, 0x01, 0x1d, 0x28, 0x6b, 0x03, 0x00, 0x31, 0x41, 0x00, 0x1d,
                0x28, 0x6b, 0x03, 0x00, 0x31, 0x42, 0x04, 0x1d, 0x28, 0x6b, 0x03, 0x00,
                0x31, 0x43, 0x00, 0x1d, 0x28, 0x6b, 0x03, 0x00, 0x31, 0x45, 0x00}) +
         qr_store(data, 0x31) + bytes({0x1d, 0x28, 0x6b, 0x03, 0x00, 0x31, 0x51, 0x31, 0x1b, 0x61, 0x00});
}

// CODE128 centred, no readable text, font A, height 50, module width 2, then left again.
std::string code128_centred(std::string_view prefixed) {
  return bytes({0x1b, 0x61, 0x01, 0x1d, 0x48, 0x00, 0x1d, 0x66, 0x00, 0x1d, 0x68, 0x32, 0x1d, 0x77, 0x02, 0x1d, 0x6b,
                0x49, static_cast<int>(prefixed.size() % 256)}) +
         S(prefixed) + bytes({0x1b, 0x61, 0x00});
}

// Model 10's text in pieces of whole lines (each up to and including its LF), lines added while the piece is
// shorter than 500 characters.
std::vector<std::string> daruma_pieces(std::string_view text) {
  std::vector<std::string> pieces;
  std::size_t at = 0;
  while (at < text.size()) {
    std::string piece;
    while (piece.size() < 500 && at < text.size()) {
      const auto lf = text.find('\n', at);
      const std::size_t end = lf == std::string_view::npos ? text.size() : lf + 1;
      piece.append(text.substr(at, end - at));
      at = end;
    }
    pieces.push_back(std::move(piece));
  }
  return pieces;
}

int daruma_format(int code, std::string_view text) {
  if (code == 22) return daruma_print("<c>" + S(text) + "</c>");
  int result = 1;
  for (const std::string& piece : daruma_pieces(text)) {
    const std::string sent = "\x1b\x0f" + piece;
    result = daruma_print(sent);
    if (result == 0) {
      // The framework stopped answering: reloaded, and the piece sent once more.
      clock::pause_ms(200);
      StopDarumaFrameWork();
      StartDarumaFrameWork();
      result = daruma_print(sent);
      if (result == 0) return 0;
    }
    clock::pause_ms(100);
    if (piece.size() > 250)
      clock::pause_ms(300);
    else if (piece.size() > 1)
      clock::pause_ms(100);
  }
  return result;
}

int mp2032_format(std::string_view text, int lt, int it, int un, int ex, int bo) {
  auto piece = [&](std::size_t from, std::size_t n) {
    const std::string t(text.substr(from, n));
    return call_entry<vendor::Format>("FormataTX_Bema", t.c_str(), lt, it, un, ex, bo);
  };
  if (text.empty()) return 1;
  if (text.size() > 4000) {
    piece(0, 2000);
    piece(2000, 2000);
    return piece(4000, std::string_view::npos);
  }
  if (text.size() > 2000) {
    piece(0, 2000);
    return piece(2000, std::string_view::npos);
  }
  return piece(0, std::string_view::npos);
}

template <class F>
int guarded(const char* operation, F&& body) {
  try {
    return body();
  } catch (const std::exception& e) {
    Log(std::string(operation) + ": " + e.what());
    return 0;
  }
}

}  // namespace

std::string CurrentWindowsPrinter() {
  std::lock_guard lk(g_windowsMutex);
  return g_currentPrinter;
}

void PrintOnWindowsPrinter(std::string_view bytes, const std::string& format) {
  std::unique_ptr<spooler::Spooler> sp = spooler_now();
  std::string printer = CurrentWindowsPrinter();
  if (printer.empty()) printer = sp->default_printer();
  if (printer.empty()) throw Error("nenhuma impressora do Windows selecionada"_cp);
  std::unique_ptr<spooler::Document> doc = sp->begin(printer, "Quivane (Velmora-Brask)", format);
  try {
    doc->write(bytes);
    doc->finish();
  } catch (...) {
    doc->cancel();  // a half-sent document never holds the queue
    throw;
  }
}

void ReleaseOpenSpans() {
  if (t_spans == 0) return;
  Log("Porta de impressora deixada aberta: " + std::to_string(t_spans) + " abertura(s) encerrada(s)");
  while (t_spans > 0) leave_span();
}

int IniciaPorta_DLL(std::string_view model, std::string_view port) {
  enter_span();
  const int code = code_of(model);
  const int result = guarded("IniciaPorta_DLL", [&]() -> int {
    const std::string p(port);
    switch (family(model)) {
      case Family::Mp2032: {
        const int opened = call_entry<vendor::Text>("IniciaPorta_Bema", p.c_str());
        if (code == 34 || opened <= 0) return opened;  // a port that did not open takes no commands
        bema_command("\x1d\xf9\x35\x30");
        bema_command("\x1d\xf9\x37\x38");
        return bema_command("\x1b\x33\x12");
      }
      case Family::Daruma: return 1;
      case Family::Epson: return epson_open(port);
      case Family::SI300: return si300_open(port);
      case Family::Windows: return windows_open(code, model, port);
      case Family::Kiosk: {
        const int32_t handle = call_entry<vendor::KioskOpen>("KIOSK_OpenUsb");
        kiosk_handle() = handle;
        return handle;
      }
      case Family::IT433TD: globals::stPortaAux.set(p); return host::IniciaPorta_IT433TD(p);
      case Family::None: return 0;
    }
    return 0;
  });
  IniciaPorta_BitMap(model, port);
  Log("IniciaPorta_DLL_" + ModeloImpressora(model) + "_" + S(port) + ": " + std::to_string(result));
  return result;
}

int FormataTX_DLL(std::string_view model, std::string_view text, int lt, int it, int un, int ex, int bo) {
  const int code = code_of(model);
  const int result = guarded("FormataTX_DLL", [&]() -> int {
    switch (family(model)) {
      case Family::Mp2032: return mp2032_format(text, lt, it, un, ex, bo);
      case Family::Daruma: return daruma_format(code, text);
      case Family::Epson: {
        auto fn = bound_entry<vendor::Format>("FormataTX_Epson");
        if (!fn) return call_entry<vendor::Format>("FormataTX_Epson", "", 0, 0, 0, 0, 0);  // logged, 0
        try {
          Log("FormataTx_Epson text: " + std::to_string(text.size()));
          const std::string t(text);
          const int r = fn(t.c_str(), lt, it, un, ex, bo);
          Log("FormataTx_Epson result: " + std::to_string(r));
          if (code == 33) clock::pause_ms(200);
          return r;
        } catch (const std::exception& e) {
          Log(std::string("FormataTx_Epson except: ") + e.what());
          return 0;
        }
      }
      case Family::SI300:
        if (si300_route() == Si300Route::Library) return si300_print("\x1b\x33\x09<c>" + S(text));
        return si300_raw("\x1b\x33\x0d" + S(text));
      case Family::Windows:
        if (models::bitmap_model(code)) return SaveTextBitMap(model, text, "", "");
        return windows_raw(windows_prefix(code, lt, false) + S(text));
      case Family::Kiosk: {
        const int32_t h = kiosk_handle();
        const std::string t(text);
        return call_entry<vendor::KioskText>("KIOSK_S_Textout", h, 2, t.c_str(), 0, 1, 1, 1, 0) > 0 ? h : 0;
      }
      case Family::IT433TD: return host::FormataTX_IT433TD(globals::stPortaAux.get(), text);
      case Family::None: return 0;
    }
    return 0;
  });
  FormataTX_BitMap(model, text, lt, it, un, ex, bo);
  return logged("FormataTX_DLL", model, result);
}

int EnviaTX_DLL(std::string_view model, std::string_view data, int lt, int it, int un, int ex, int bo) {
  (void)it, (void)un, (void)ex, (void)bo;  // a raw printer renders the letter type only
  const int code = code_of(model);
  const int result = guarded("EnviaTX_DLL", [&]() -> int {
    if (family(model) != Family::Windows) return 0;
    if (models::bitmap_model(code)) return SaveTextBitMap(model, data, "", "");
    return windows_raw(windows_prefix(code, lt, true) + S(data));
  });
  Log("EnviaTX_DLL" + S(model) + ": " + std::to_string(result));
  return result;
}

int ConfCodBarras_DLL(std::string_view model, int height, int width, int position, int font, int margin) {
  const int code = code_of(model);
  const int result = guarded("ConfCodBarras_DLL", [&]() -> int {
    switch (family(model)) {
      case Family::Mp2032:
        if (code == 34) return 0;
        return call_entry<vendor::Int5>("ConfiguraCodigoBarras_Bema", height, width, position, font, margin);
      case Family::Epson:
        if (code == 35) return 0;
        return call_entry<vendor::Int5>("ConfiguraCodigoBarras_Epson", 40, 0, position, font, 0);
      case Family::SI300:
        if (si300_route() == Si300Route::Library) return si300_print("\x1d\x68\x28");
        return si300_raw("\x1d\x68\x23");
      case Family::Daruma:
      case Family::Windows:
      case Family::Kiosk:
      case Family::IT433TD: return 1;
      case Family::None: return 0;
    }
    return 0;
  });
  return logged("ConfCodBarras_DLL", model, result);
}

int ImprimeCODE128_DLL(std::string_view model, std::string_view data) {
  const int code = code_of(model);
  const int result = guarded("ImprimeCODE128_DLL", [&]() -> int {
    const std::string d(data), prefixed = "{A" + d;
    switch (family(model)) {
      case Family::Mp2032:
        if (code == 34) return bema_command(code128_centred(prefixed));
        return call_entry<vendor::Text>("ImprimeCodigoBarrasCODE128_Bema", d.c_str());
      case Family::Epson: return call_entry<vendor::Text>("ImprimeCodigoBarrasCODE128_Epson", d.c_str());
      case Family::SI300: {
        if (si300_route() != Si300Route::Library) return si300_raw(code128_centred(prefixed) + "\n");
        const std::filesystem::path image = hostdir::root() / "BARCODE.bmp";
        GerarCodigo(d, image);
        return si300_print("<ce><ibmp>" + image.string() + "</ibmp></ce>");
      }
      case Family::Windows:
        if (one_of(code, {23, 30, 32, 43})) return EnviaTX_DLL(model, code128_centred(prefixed), 1, 0, 0, 0, 0);
        // The page never draws ESC/POS bytes: a bitmap model gets the CODE128 drawn as one.
        if (models::bitmap_model(code)) return SaveCode128BitMap(model, d);
        return 0;  // 18, 53 and 54 print no CODE128
      case Family::Kiosk: {
        const int32_t h = kiosk_handle();
        const std::string b = "{B" + d;
        call_entry<vendor::KioskInt3>("KIOSK_S_SetAlignMode", h, 2, 1);
        const int r = call_entry<vendor::KioskBarcode>("KIOSK_S_PrintBarcode", h, 2, b.c_str(), 5, 73, 2, 50, 1, 0,
                                                       static_cast<int32_t>(b.size()));
        call_entry<vendor::KioskInt3>("KIOSK_FeedLines", h, 2, 1);
        call_entry<vendor::KioskInt3>("KIOSK_S_SetAlignMode", h, 2, 0);
        return r;
      }
      case Family::Daruma:
        // The framework's tag text goes to EnviaTX_DLL, which sends nothing for this family: Daruma prints
        // no CODE128.
        EnviaTX_DLL(model, "<ce><code128>" + d + "</code128><ce>", 2, 0, 0, 0, 0);
        clock::pause_ms(200);
        return 0;
      case Family::IT433TD: return host::ImprimeCODE128_IT433TD(globals::stPortaAux.get(), d);
      case Family::None: return 0;
    }
    return 0;
  });
  ImprimeCODE128_BitMap(model, data);
  return logged("ImprimeCODE128_DLL", model, result);
}

int ImprimeQRCode_DLL(std::string_view model, std::string_view data, std::string_view side) {
  const int code = code_of(model);
  const bool large = globals::stImpQrCodeG.get() == "S";
  const int result = guarded("ImprimeQRCode_DLL", [&]() -> int {
    const std::string d(data);
    switch (family(model)) {
      case Family::Mp2032:
        if (code == 34) return bema_command(qr_plain(d, 5) + "\n");
        return call_entry<vendor::Qr>("ImprimeCodigoQRCODE_Bema", 1, large ? 6 : 4, 0, 10, 1, d.c_str());
      case Family::Daruma: {
        const int r =
            daruma_print("<ce><qrcode>" + d + "<lmodulo>" + (code == 10 ? "3" : "4") + "</lmodulo></qrcode></ce>");
        clock::pause_ms(500);
        return r;
      }
      case Family::Epson: {
        if (code == 14) {
          const std::string tag = "<ce><qrcode>" + d + "</qrcode></ce>";
          return call_entry<vendor::Text>("ImprimeTextoTag_Epson", tag.c_str());
        }
        if (large) return call_entry<vendor::Qr>("ImprimeCodigoQRCODE_Epson", 1, 64, 0, 25, 1, d.c_str());
        return call_entry<vendor::Qr>("ImprimeCodigoQRCODE_Epson", 1, 4, 0, 10, 1, d.c_str());
      }
      case Family::SI300: {
        if (si300_route() == Si300Route::Library) {
          if (bound_entry<vendor::Int>("SI300_setSize_Qrcode"))
            call_entry<vendor::Int>("SI300_setSize_Qrcode", large ? 7 : d.size() < 151 ? 4 : 3);
          if (!side.empty() && !large) {
            const std::string text = "<c>" + S(side);
            return call_entry<vendor::Text2>("SI300_iImprimeQRCode_TextoDireita", d.c_str(), text.c_str());
          }
          return si300_print("<ce><qrcode>" + d + "</qrcode></ce>");
        }
        if (side.empty()) return si300_raw(qr_plain(d, 4));
        const std::string page = si300_qr_page(d, side);
        if (si300_route() == Si300Route::Direct) {
          const int r = Formata(page, 0, 0, 0, 0, 0);
          return Formata("\x1b\x53\x1b\x40", 0, 0, 0, 0, 0) > 0 ? r : 0;
        }
        const int r = si300_raw(page);
        return si300_raw("\x1b\x53\x1b\x40") > 0 ? r : 0;
      }
      case Family::Windows:
        if (models::bitmap_model(code)) return SaveTextBitMap(model, "", d, "");
        if (code == 23) return EnviaTX_DLL(model, model23_qr(d), 1, 0, 0, 0, 0);
        if (side.empty()) return EnviaTX_DLL(model, qr_plain(d, 3) + "\n", 1, 0, 0, 0, 0);
        return EnviaTX_DLL(model, windows_qr_page(d, side, large), 1, 0, 0, 0, 0);
      case Family::Kiosk: {
        const int32_t h = kiosk_handle();
        call_entry<vendor::KioskInt3>("KIOSK_S_SetAlignMode", h, 2, 1);
        const std::string head = bytes({0x1d, 0x6f, 0x00, 0x04, 0x00, 0x02});
        call_entry<vendor::KioskWrite>("KIOSK_WriteData", h, 2, head.data(), 6);
        const std::string symbol = bytes({0x1d, 0x6b, 0x0b, 0x4c, 0x41, 0x2c}) + d + bytes({0x00, 0x00, 0x0a});
        const int r =
            call_entry<vendor::KioskWrite>("KIOSK_WriteData", h, 2, symbol.data(), static_cast<int32_t>(symbol.size()));
        call_entry<vendor::KioskInt3>("KIOSK_S_SetAlignMode", h, 2, 0);
        return r;
      }
      case Family::IT433TD: return host::ImprimeQRCode_IT433TD(globals::stPortaAux.get(), d, side);
      case Family::None: return 0;
    }
    return 0;
  });
  ImprimeQRCode_BitMap(model, data, side);
  return logged("ImprimeQRCode_DLL", model, result);
}

int AcionaGaveta_DLL(std::string_view model) {
  const int code = code_of(model);
  const int result = guarded("AcionaGaveta_DLL", [&]() -> int {
    switch (family(model)) {
      case Family::Mp2032: return code == 34 ? 0 : bema_command("\x1b\x76\x8c");
      case Family::Daruma: return daruma_print("<g></g>");
      case Family::Epson: return call_entry<vendor::Void>("AcionaGaveta_Epson");
      case Family::SI300:
        if (si300_route() == Si300Route::Library) return call_entry<vendor::Void>("SI300_iAcionarGaveta");
        return si300_raw(std::string("\x1b\x70\x00\x96\xff", 5));
      case Family::Windows:
        if (code == 29) return 1;
        return EnviaTX_DLL(model, std::string("\x1b\x70\x00\x64\xc8", 5), 1, 0, 0, 0, 0);
      case Family::Kiosk:
      case Family::IT433TD: return 1;
      case Family::None: return 0;
    }
    return 0;
  });
  return logged("AcionaGaveta_DLL", model, result);
}

int AcionaGuilhotina_DLL(std::string_view model, int mode) {
  const int code = code_of(model);
  const int result = guarded("AcionaGuilhotina_DLL", [&]() -> int {
    switch (family(model)) {
      case Family::Mp2032: return call_entry<vendor::Int>("AcionaGuilhotina_Bema", mode);
      case Family::Daruma: return code == 10 ? FormataTX_DLL(model, " ", 2, 0, 0, 0, 0) : daruma_print("<gui></gui>");
      case Family::Epson: return call_entry<vendor::Int>("AcionaGuilhotina_Epson", mode);
      case Family::SI300:
        switch (si300_route()) {
          case Si300Route::Library: return si300_print("<gui></gui>");
          case Si300Route::Direct: return Formata("\x1d\x56\x42\x05", 0, 0, 0, 0, 0);
          case Si300Route::Spool: return 1;  // the queue's driver cuts at the document's end
        }
        return 0;
      case Family::Windows:
        if (code == 29) return 1;
        return EnviaTX_DLL(model, "\x1b\x69", 1, 0, 0, 0, 0);
      case Family::Kiosk: return call_entry<vendor::KioskInt4>("KIOSK_CutPaper", kiosk_handle(), 2, 1, 0);
      case Family::IT433TD: return host::AcionaGuilhotina_IT433TD(globals::stPortaAux.get());
      case Family::None: return 0;
    }
    return 0;
  });
  return logged("AcionaGuilhotina_DLL", model, result);
}

namespace {
// Families that take raw commands and stored images without doing anything: 1.
bool no_action_ok(std::string_view model) {
  const Family f = family(model);
  return f == Family::Daruma || f == Family::SI300 || f == Family::Kiosk || f == Family::IT433TD ||
         (f == Family::Windows && code_of(model) != 54);
}
}  // namespace

int ComandoTX_DLL(std::string_view model, std::string_view data) {
  const int result = guarded("ComandoTX_DLL", [&]() -> int {
    switch (family(model)) {
      case Family::Mp2032: return bema_command(data);
      case Family::Epson: return epson_command(data);
      default: return no_action_ok(model) ? 1 : 0;
    }
  });
  return logged("ComandoTX_DLL", model, result);
}

int PrintNVBitmap_DLL(std::string_view model, std::string_view image, std::string_view key1, std::string_view key2) {
  const int result = guarded("PrintNVBitmap_DLL", [&]() -> int {
    auto number = [](std::string_view t) {
      try {
        return std::stoi(std::string(t));
      } catch (const std::exception&) {
        return 0;
      }
    };
    switch (family(model)) {
      case Family::Mp2032: return call_entry<vendor::Int2>("PrintNVBitmap_Bema", number(image), 0);
      case Family::Epson:
        epson_command("\x1b\x61\x31");
        epson_command(
            bytes({0x1d, 0x28, 0x4c, 0x06, 0x00, 0x30, 0x45, number(key1) & 0xff, number(key2) & 0xff, 0x01, 0x01}));
        return epson_command("\x1b\x61\x30");
      default: return no_action_ok(model) ? 1 : 0;
    }
  });
  Log("PrintNVBitmap_DLL" + S(model) + ": " + std::to_string(result));
  return result;
}

int FechaPorta_DLL(std::string_view model, std::string_view port) {
  const int code = code_of(model);
  const int result = guarded("FechaPorta_DLL", [&]() -> int {
    switch (family(model)) {
      case Family::Mp2032: return call_entry<vendor::Void>("FechaPorta_Bema");
      case Family::Epson: {
        if (port == "USB") return 1;  // the USB port stays open
        const int r = call_entry<vendor::Void>("FechaPorta_Epson");
        Log("FechaPorta_Epson: " + std::to_string(r));
        globals::boPortaFechada.store(true);
        return r;
      }
      case Family::Daruma: return 1;
      case Family::SI300:
        switch (si300_route()) {
          case Si300Route::Direct: return ResetImpressora(model, port);
          case Si300Route::Spool: return si300_raw("\x1b\x40", true);
          case Si300Route::Library: return call_entry<vendor::Void>("SI300_fecharPorta");
        }
        return 0;
      case Family::Windows: return models::bitmap_model(code) ? StopAndPrintBitMap() : 1;
      case Family::Kiosk: return call_entry<vendor::KioskHandle>("KIOSK_CloseUsb", kiosk_handle());
      case Family::IT433TD: return host::FechaPorta_IT433TD(globals::stPortaAux.get());
      case Family::None: return 0;
    }
    return 0;
  });
  FechaPorta_BitMap(model);
  logged("FechaPorta_DLL", model, result);
  leave_span();
  return result;
}

int StatusGaveta(std::string_view model, std::string_view port) {
  const int code = code_of(model);
  const int result = guarded("StatusGaveta", [&]() -> int {
    if (family(model) == Family::Mp2032) {
      const std::string p(port);
      call_entry<vendor::Text>("IniciaPorta_Bema", p.c_str());
      const int status = call_entry<vendor::Void>("Le_Status_Gaveta");
      call_entry<vendor::Void>("FechaPorta_Bema");
      return status;
    }
    if (code == 10) {
      int32_t status = 0;
      call_entry<vendor::IntPtr>("rStatusGaveta_DUAL_DarumaFramework", &status);
      return status;
    }
    return 0;
  });
  Log("Le_Status_Gaveta" + S(model) + ": " + std::to_string(result));
  return result;
}

int VerificaStatusGaveta(std::string_view model, std::string_view port) {
  std::unique_lock<std::recursive_mutex> lock = globals::lock_cs();
  try {
    EnsureDataModule();
    const int status = StatusGaveta(model, port);
    Log("VerificaStatusGaveta");
    return status;
  } catch (const std::exception& e) {
    Log(std::string("VerificaStatusGaveta - ") + e.what());
    Log("Imp00000 - Funcao: VerificaStatusGaveta");
    return 0;
  }
}

void AbreGaveta(std::string_view model, std::string_view port) {
  std::unique_lock<std::recursive_mutex> lock = globals::lock_cs();
  const int code = code_of(model);
  try {
    Log("INICIO AbreGaveta " + S(model) + " - " + S(port));
    try {
      EnsureDataModule().adcImpPedido();
    } catch (const std::exception& e) {
      Log(std::string("AbreGaveta - ") + e.what());  // the drawer opens without the database
    }
    if (port.empty()) {
    } else if (port == "USB" || port.size() >= 5) {
      if (code == 41 || code == 44) globals::stAbreGaveta.set("S");
      Log("setAbreGaveta");
      IniciaPorta_DLL(model, port);
      AcionaGaveta_DLL(model);
      FechaPorta_DLL(model, port);
      if (code == 41 || code == 44) globals::stAbreGaveta.set("N");
    } else if (one_of(code, {1, 3, 4, 13, 28})) {
      if (IniciaPorta(port) >= 1) EnviaComando("\x1b\x76\x8c");
    } else if (one_of(code, {16, 19, 33})) {
      IniciaPorta_DLL(model, port);
      call_entry<vendor::Void>("AcionaGaveta_Epson");
      FechaPorta_DLL(model, port);
    } else if (code == 17 || code == 36) {
      IniciaPorta_DLL(model, port);
      AcionaGaveta_DLL(model);
      FechaPorta_DLL(model, port);
    } else {
      // The pulse goes to the given port, never to whichever port was opened last.
      if (IniciaPorta(port) >= 1) EnviaComando(std::string("\x1b\x70\x00\x3c\x78", 5));
    }
  } catch (const std::exception& e) {
    Log(std::string("AbreGaveta - ") + e.what());
  }
  try {
    FechaP_Bematech_MP2032();
  } catch (const std::exception& e) {
    Log(std::string("AbreGaveta - ") + e.what());
  }
  ReleaseOpenSpans();
  FreeDataModule();
  Log("FIM AbreGaveta");
}

}  // namespace imp
