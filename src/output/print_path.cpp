#include "output/print_path.h"

#include <cctype>
#include <map>
#include <mutex>
#include <set>

#include "host/consiste.h"
#include "host/database_config.h"
#include "host/parameters.h"
#include "host/port_config.h"
#include "host/services.h"
#include "module/catalogue.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "output/bitmap_page.h"
#include "output/device_ops.h"
#include "output/kept_tickets.h"
#include "output/models.h"
#include "output/mp100_line.h"
#include "output/printer_choice.h"
#include "output/spool.h"
#include "output/vendor_libs.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/dataset.h"
#include "platform/error.h"
#include "platform/hostdir.h"
#include "platform/log.h"
#include "platform/port.h"
#include "platform/rtl.h"

namespace imp {
namespace {

void Log(const std::string& text) {
  log::LogErroImpNaoFiscal(text);
}

using models::bitmap_model;
using models::code_of;
using models::contains;
using models::one_of;
using models::starts_with;

// The state of the legacy direct port (cPorta): the port it is assigned to, and the LPT ports that a mapping
// redirected to a network share for the rest of the process (per host folder).
std::mutex g_mutex;
std::string g_cPorta;
std::map<std::string, std::string> g_redirected;  // host folder + "|" + upper-cased port -> share

std::string upper(std::string_view s) {
  std::string r(s);
  for (auto& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

// A redirection belongs to the host folder whose mapping table made it: another folder's LPT1 is its own.
std::string redirection_key(std::string_view port) {
  return hostdir::root().string() + "|" + upper(port);
}

std::string direct_port() {
  std::lock_guard lk(g_mutex);
  return g_cPorta;
}

// One "rewrite, write, close" of a port. A port redirected to a share sends what is written as one spooler
// document to that share ("QuivaneDoc", finished); an empty write sends no job.
void write_port_unrecorded(const std::string& port, std::string_view bytes) {
  std::string share;
  {
    std::lock_guard lk(g_mutex);
    if (auto it = g_redirected.find(redirection_key(port)); it != g_redirected.end()) share = it->second;
  }
  if (!share.empty()) {
    if (bytes.empty()) return;
    if (SendSpool(share, "", "", "QuivaneDoc", bytes, false, true) < 1)
      throw Error("Porta " + port + " mapeada para \\\\" + share + ": o spooler não recebeu a impressão"_cp);
    return;
  }
  if (port.empty()) throw Error("Porta da impressora não informada"_cp);
  port::write(host::PortConfig(), port, bytes);
}

// The same, and the ticket being printed (when a print path records one) keeps what was sent and whether it
// failed.
void write_port(const std::string& port, std::string_view bytes) {
  try {
    write_port_unrecorded(port, bytes);
  } catch (const std::exception& e) {
    kept::record_write(port, bytes, e.what());
    throw;
  }
  kept::record_write(port, bytes, nullptr);
}

// The device route: one open-close span of the device operations. True only when the open and the format
// succeeded.
bool device_route(std::string_view model, std::string_view port, std::string_view text) {
  const int opened = IniciaPorta_DLL(model, port);
  const int formatted = FormataTX_DLL(model, text, 2, 0, 0, 0, 0);
  AcionaGuilhotina_DLL(model, 0);
  FechaPorta_DLL(model, port);
  return opened > 0 && formatted > 0;
}

// The mapping table \Dados\Cadastros\cdsMapeamento.cds, on the record of `port`; false when it is missing.
bool locate_mapping(ClientDataSet& table, std::string_view port) {
  auto path = hostdir::resolve("\\Dados\\Cadastros\\cdsMapeamento.cds");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  table.LoadFromFile(path);
  table.First();
  if (!table.FindField("CDPORTAIMPR")) return false;
  return table.Locate("CDPORTAIMPR", {Variant(std::string(port))}, LocateOptions{.caseInsensitive = true});
}

std::string field_text(ClientDataSet& table, std::string_view name) {
  if (!table.Active() || table.IsEmpty()) return {};
  Field* f = table.FindField(name);
  return f ? f->AsString() : std::string();
}

}  // namespace

std::string ModeloImpressora(std::string_view code) {
  switch (code_of(code)) {
    case 4: return "4_Bematech_MP-4000";
    case 13: return "13_Bematech_MP-4200_MP-4200_ADV";
    case 14: return "14_Epson_TM-T88V";
    case 16: return "16_Epson_TM-T20";
    case 18: return "18_Elgin_I9";
    case 19: return "19_Epson_TM-T88IV_Ethernet";
    case 21: return "21_Bematech_MP-4200_Compartilhada";
    case 22: return "22_Daruma_DR_800";
    case 28: return "28_Bematech_MP-5100_TH";
    case 29: return "29_Custom_PLUS2";
    case 30: return "Tanca TP-650";
    case 32: return "Control iD - Print iD";
    case 33: return "Control iD - Print iD Rede";
    case 35: return "35_Epson_TM-T81";
    case 41: return "Zjiang ZJ-8220";
    case 42: return "Zjiang ZJ-8220 Rede";
    case 43: return "ZKTeco";
    case 44: return "Sweda SI300 SIX";
    case 45: return "Sweda SI300 SIX Rede";
    case 53: return "Gertec G250/G250W";
    case 54: return "Bematech 4200 HS";
    default: return std::string(code);
  }
}

int IniciaPorta(std::string_view port) {
  std::string p(port);
  if (globals::stTipoImpressora == "6") return call_entry<vendor::Text>("IniciaPorta_Bema", p.c_str());
  {
    std::lock_guard lk(g_mutex);
    g_cPorta = p;
  }
  globals::cPorta.store(&g_cPorta);
  write_port(p, {});  // rewrite and close: the port exists and takes writes (raises on an I/O error)
  globals::stPortaDireta.set(p);
  return 1;
}

int AbrePortaDireta(std::string_view port) {
  try {
    return IniciaPorta(port);
  } catch (const std::exception& e) {
    Log(std::string("IniciaPorta_") + e.what());
    return 0;
  }
}

namespace {
// What Formata sends for a model: ESC SI DC2 (none for models 18, 53, 54) and the text.
std::string formata_bytes(std::string_view model, std::string_view text) {
  std::string bytes = one_of(code_of(model), {18, 53, 54}) ? std::string() : std::string("\x1b\x0f\x12");
  bytes.append(text);
  return bytes;
}

// What ResetImpressora sends to a port for a model.
std::string reset_bytes(std::string_view model, std::string_view port) {
  if (port == "USB" || one_of(code_of(model), {24, 29, 41, 44})) return {};
  return "\x1b@";
}

}  // namespace

int FormataModelo(std::string_view model, std::string_view text, int letterType, int italic, int underline,
                  int expanded, int bold) {
  try {
    if (model == "6") {
      // The library takes the five flags; the port file ignores them.
      const std::string t(text);
      call_entry<vendor::Format>("FormataTX_Bema", t.c_str(), letterType, italic, underline, expanded, bold);
      return 1;
    }
    write_port(direct_port(), formata_bytes(model, text));
    return 1;
  } catch (const std::exception& e) {
    Log(std::string("Formata_") + e.what());
    return 0;
  }
}

int Formata(std::string_view text, int letterType, int italic, int underline, int expanded, int bold) {
  return FormataModelo(globals::stTipoImpressora.get(), text, letterType, italic, underline, expanded, bold);
}

int EnviaComando(std::string_view command) {
  return EnviaComandoModelo(globals::stTipoImpressora.get(), command);
}

int EnviaComandoModelo(std::string_view tipo, std::string_view command) {
  if (tipo == "24") return 1;
  if (tipo == "6") {
    const std::string c(command);
    call_entry<vendor::TextInt>("ComandoTX_Bema", c.c_str(), static_cast<int32_t>(c.size()));
    return 1;
  }
  try {
    write_port(direct_port(), command);
    return 1;
  } catch (const std::exception& e) {
    Log(std::string("EnviaComando_") + e.what());
    return 0;
  }
}

int ResetImpressora(std::string_view model, std::string_view port) {
  Log("ResetImpressora_" + ModeloImpressora(model));
  if (port == "USB" || one_of(code_of(model), {24, 29, 41, 44})) return 1;
  try {
    // ESC @ goes to the port of this job, never to whichever port was opened last.
    write_port(std::string(port), "\x1b@");
    return 1;
  } catch (const std::exception& e) {
    Log(std::string("ResetImpressora_Erro: ") + e.what());
    return 0;
  }
}

int FechaP_Bematech_MP2032() {
  if (globals::stTipoImpressora == "6") call_entry<vendor::Void>("FechaPorta_Bema");
  return 1;
}

bool DoPortMapping(std::string_view model, std::string_view port) {
  if (!contains(port, "LPT")) return true;
  ClientDataSet table;
  bool found = false;
  try {
    found = locate_mapping(table, port);
  } catch (const std::exception& e) {
    Log(e.what());
  }
  if (!found && code_of(model) != 24) {
    Log("Mapeamento NÃO realizado"_cp);
    return false;
  }
  std::string cdPorta = field_text(table, "CDPORTAIMPR");
  std::string endereco = field_text(table, "DSENDPORTA");
  Log(" Impress: " + std::string(model));
  Log("   Porta: " + cdPorta);
  Log("Endereco: " + endereco);
  if (endereco.empty()) {
    // The table decides at every call: a port whose address was cleared prints directly again.
    {
      std::lock_guard lk(g_mutex);
      g_redirected.erase(redirection_key(cdPorta));
    }
    Log("Mapeamento NÃO realizado"_cp);
    return true;
  }
  // No shell: the LPT port is redirected to the share for the rest of the process.
  Log("/C NET USE " + cdPorta + " \\\\" + endereco + " /PERSISTENT:YES");
  {
    std::lock_guard lk(g_mutex);
    g_redirected[redirection_key(cdPorta)] = endereco;
  }
  clock::pause_ms(1000);
  Log("Mapeaemento realizado");
  return true;
}

bool VersaoWindows7ouSuperior() {
  return true;
}

void AjustaImpressaoDireta(std::string_view report, std::string_view model, std::string_view port, int32_t& columns) {
  if (!VersaoWindows7ouSuperior()) return;
  auto params = host::Parameters::Load();
  std::string caixa, porta(port);
  if (!params.IsEmpty()) {
    caixa = params.AsString("CDCAIXA");
    if (porta.empty()) porta = params.AsString("CDPORTIMPNF3");
  } else {
    ClientDataSet quivane;
    auto path = hostdir::resolve("\\Quivane.cds");
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) {
      quivane.LoadFromFile(path);
      quivane.First();
      caixa = field_text(quivane, "CDCAIXA");
    }
  }
  // A connection of its own, the till code bound as a parameter.
  auto connection = host::Connect(host::GetStringConexZel(""));
  auto rs = catalogue::run(*connection, catalogue::get("adqTpEmissaoZel"), {{"P_CDCAIXA", Variant(caixa)}});
  std::string emissao = rs.rows.empty() ? std::string() : rs.rows[0][0].to_text();
  if ((emissao == "FNC" || emissao == "SAT") && contains(porta, "LPT") && one_of(code_of(model), {13, 21, 42, 45})) {
    if (report == "REDUCAOZ" || report == "RelMotResumido")
      columns -= 4;
    else if (report == "RelFechNFCeSAT" || report == "RelMesaComanda")
      columns -= 6;
    else
      columns -= 5;
  }
}

bool Envia_Dados_Impressora(std::string_view model, std::string_view port, std::string_view text,
                            std::string_view lineFeed, std::string_view closing, std::string_view noExtraFeed,
                            std::string_view share) {
  int code = code_of(model);
  std::string sModel(model), sPort(port), lf(lineFeed), close(closing);
  // 1. the port mapping of LPT ports
  if (share.empty() && !DoPortMapping(model, port)) {
    Log("Exit DoPortMapping");
    return false;
  }
  // 2. printers without an accented character set
  std::string doc = RemoveAcentos(text);

  // 3. a spooler share
  if (!share.empty()) {
    Log("Imp Backup. " + sPort + " " + sModel + " " + std::string(share));
    if (one_of(code, {13, 14, 16, 17, 18, 19, 21, 28, 34, 35, 36, 41, 42, 44, 45, 53, 54}))
      doc += Replicate(lf, 3) + close;
    std::string caixa;
    if (auto params = host::Parameters::Load(); !params.IsEmpty()) caixa = params.AsString("CDCAIXA");
    if (caixa.empty()) caixa = "000";
    const std::string document =
        caixa + "_0000000000_" + "00000" + "_" + FormatDateTime("dd_mm_yyyy_hh_nn_ss_zzz", clock::Now()) + ".txt";
    const bool sent = SendSpool(share, "", "", document, doc, true, true) >= 1;
    if (!sent) Log("Falha ao enviar impressão "_cp);
    IniciaPorta_BitMap(model, port);
    FormataTX_BitMap(model, doc, 0, 0, 0, 0, 0);
    FechaPorta_BitMap(model);
    FechaP_Bematech_MP2032();
    return sent;
  }

  // 4. the device route: libraries, Windows printers, bitmap pages, network addresses
  bool device = port == "USB" || port.size() >= 5 || code == 24 || (code == 10 && starts_with(port, "COM")) ||
                bitmap_model(code) || ((code == 17 || code == 36) && !starts_with(port, "LPT"));
  if (device) {
    int feeds = one_of(code, {18, 30, 34, 43, 53, 54}) ? 4 : code == 32 ? 2 : one_of(code, {42, 45}) ? 6 : 0;
    doc += Replicate(lf, feeds);
    if (noExtraFeed != "S") doc += lf;
    bool sent = device_route(model, port, doc);
    FechaP_Bematech_MP2032();
    return sent;
  }

  // 5. the MP-100 unit
  if (code == 7) {
    doc += lf;
    bool sent = FormataBematech_MP100(doc, port).empty();
    FechaP_Bematech_MP2032();
    return sent;
  }

  // 6. a mapped LPT port sent through the spooler
  if (globals::stIDUTILFONTEXP == "S" && one_of(code, {4, 13, 16, 18, 21, 28, 30, 34, 42, 45, 53, 54}) &&
      contains(port, "LPT")) {
    ClientDataSet table;
    std::string endereco;
    try {
      if (locate_mapping(table, port)) endereco = field_text(table, "DSENDPORTA");
    } catch (const std::exception& e) {
      Log(e.what());
    }
    if (!endereco.empty()) {
      Log("Utiliza spool: " + endereco + " - stIDUTILFONTEXP: " + globals::stIDUTILFONTEXP.get());
      clock::pause_ms(1000);
      if (SendSpool(endereco, "", "", "QuivaneDoc", doc + "\r\n\r\n\r\n" + close + "\x1b@", false, true) >= 1)
        return true;
      Log("Falha ao enviar impressão "_cp);
    }
  }

  // 7. the legacy direct route; a ticket the port does not take is kept, never lost
  kept::TicketRecorder ticket(port, model);
  ResetImpressora(model, port);
  const int opened = AbrePortaDireta(port);
  if (noExtraFeed != "S") doc += lf;
  if (code == 1) doc += lf;
  const bool resetFirst = code == 34;
  if (one_of(code, {10, 13, 14, 16, 17, 18, 19, 20, 21, 28, 30, 32, 33, 35, 36, 42, 43, 45, 53, 54}))
    doc += "\r\n\r\n";
  else if (code == 34)
    doc += "\n\n\n";
  if (opened < 1 && port != "USB" && port.size() < 5) {
    ticket.unsent((resetFirst ? reset_bytes(model, port) : std::string()) + formata_bytes(model, doc) +
                  reset_bytes(model, port) + (code != 10 ? close : std::string()));
    ticket.finish();
    FechaP_Bematech_MP2032();
    return false;
  }
  if (resetFirst) ResetImpressora(model, port);
  const int formatted = FormataModelo(model, doc);
  ResetImpressora(model, port);
  bool sent = formatted >= 1;
  if (sent && code != 10) {
    sent = EnviaComando(close) >= 1;
  } else if (code != 10) {
    ticket.unsent(close);
  }
  ticket.finish();
  FechaP_Bematech_MP2032();
  return sent;
}

bool ReimprimePendente(std::string_view id, std::string& error) {
  try {
    std::string port;
    for (const kept::Pending& p : kept::list())
      if (p.id == id) port = p.port;
    const std::string bytes = kept::bytes_of(id);
    if (port.empty()) throw Error("ImpPendentes: impressão "_cp + std::string(id) + " sem porta");
    write_port_unrecorded(port, bytes);
    kept::drop(id);
    Log("Impressão pendente "_cp + std::string(id) + " reimpressa na porta " + port);
    return true;
  } catch (const std::exception& e) {
    error = e.what();
    Log("Impressão pendente "_cp + std::string(id) + " não reimpressa: "_cp + error);
    return false;
  }
}

bool ImprimePadrao(std::string_view port, std::string_view model, std::string_view text) {
  std::unique_lock<std::recursive_mutex> lock = globals::lock_cs();
  std::string sPort(port), sModel(model);
  bool result = false;
  bool printed = false;
  try {
    Log("INICIO ImprimePadrao_" + sPort + "_" + ModeloImpressora(model));
    EnsureDataModule();
    if (!DoPortMapping(model, port)) {
      Log("EXIT ImprimePadrao_" + sPort + "_" + sModel);
    } else {
      StartBitMap(model);
      EnsureDataModule().TrimAppMemorySize();
      auto params = host::Parameters::Load();
      if (!params.IsEmpty()) globals::boSistemaZelSat.store(params.AsFlag("SISTEMAZELSAT"));
      std::string doc = RemoveAcentos(text);
      int code = code_of(model);
      if (!starts_with(port, "LPT")) {
        if (code == 17 || code == 36)
          doc = (globals::boUtilizaDLL.load() ? std::string("</c>") : std::string("\x1bM0\x1b\x33\x10")) + doc;
        result = printed = device_route(model, port, doc);
      } else {
        kept::TicketRecorder ticket(port, model);  // a ticket the port does not take is kept, never lost
        std::string closing;
        try {
          Log("PropiedadesImpNF");
          host::PrinterProperties props = host::PropriedadesImpNF(model);
          closing = code == 10 ? std::string() : props.closing;
          if (code == 14 || code == 35) doc += Replicate(props.lineFeed, 6);
          ResetImpressora(model, port);
          if (IniciaPorta(port) >= 1) {
            const int formatted = FormataModelo(model, doc);
            Log("Formata: " + std::to_string(formatted));
            ResetImpressora(model, port);
            if (formatted >= 1) {
              bool closed = code == 10 || EnviaComando(props.closing) >= 1;
              result = printed = closed;
            } else {
              ticket.unsent(closing);
            }
          }
        } catch (const std::exception& e) {
          Log(std::string(e.what()) + " - Imp00000 - Funcao:ImprimePadrao");
          ticket.unsent(formata_bytes(model, doc) + reset_bytes(model, port) + closing);
        }
        ticket.finish();
      }
      if (printed) StopAndPrintBitMap();
    }
  } catch (const std::exception& e) {
    Log(std::string(e.what()) + " - Imp00000 - Funcao:ImprimePadrao");
  }
  ReleaseOpenSpans();
  Log("FIM ImprimePadrao_" + sPort + "_" + sModel);
  Log("");
  // The data module goes while the lock is still held, so no job that waits for it finds it half freed.
  if (!globals::boPulaFree.load()) FreeDataModule();
  globals::boPulaFree.store(false);
  if (lock.owns_lock()) lock.unlock();
  return result;
}

void ImprimeNF(std::string_view port, std::string_view model, std::string_view text, std::string& result) {
  try {
    host::PrinterProperties props = host::PropriedadesImpNF(model);
    (void)props;
    int32_t columns = 0;
    std::string lf, closing, tipo, porta;
    DefineParametrosImpressora("EMITECUPOM", columns, lf, closing, tipo, porta, model, model, port, "", "", "", "");
    if (!text.empty() && !Envia_Dados_Impressora(tipo, porta, text, lf, closing, "N", ""))
      throw Error("Erro na impressão da impressora não fiscal"_cp);
    clock::pause_ms(2000);
    result = "Ok";
  } catch (const std::exception& e) {
    Log(std::string(e.what()) + " - Imp00000 - Funcao:ImprimeNF");
    result = "Erro na impressão da impressora não fiscal"_cp;
  }
}

}  // namespace imp
