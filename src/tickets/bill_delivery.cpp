#include "tickets/bill_delivery.h"

#include <exception>
#include <mutex>
#include <string>

#include "host/consiste.h"
#include "host/parameters.h"
#include "host/services.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "output/device_ops.h"
#include "output/models.h"
#include "output/print_path.h"
#include "output/printer_choice.h"
#include "platform/cp1252.h"
#include "platform/log.h"
#include "tickets/ticket_parts.h"

namespace imp {
namespace {

using models::code_of;
using models::one_of;

void Log(const std::string& text) {
  log::LogErroImpNaoFiscal(text);
}

bool starts_with(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// The maker's library: the ticket, the order number as a caption and a barcode, six feeds and the cut.
bool delivery_on_library(const std::string& model, const std::string& port, std::string text, std::string_view number) {
  const int code = code_of(model);
  if ((code == 17 || code == 36) && globals::boUtilizaDLL.load()) text = "</c>" + text;
  bool whole = IniciaPorta_DLL(model, port) > 0;
  whole = FormataTX_DLL(model, text, 2, 0, 0, 0, 0) > 0 && whole;
  if (!number.empty())
    whole = FormataTX_DLL(model, Centraliza("Pedido: " + std::string(number), 47) + "\n", 2, 0, 0, 0, 0) > 0 && whole;
  ConfCodBarras_DLL(model, 90, 0, 0, 0, code == 13 ? 83 : 95);
  if (!number.empty()) whole = ImprimeCODE128_DLL(model, number) > 0 && whole;
  whole = FormataTX_DLL(model, std::string(6, '\n'), 2, 0, 0, 0, 0) > 0 && whole;
  if (one_of(code, {18, 30, 32, 53, 54})) FormataTX_DLL(model, "\x1b@", 2, 0, 0, 0, 0);
  AcionaGuilhotina_DLL(model, 0);
  FechaPorta_DLL(model, port);
  return whole;
}

// The direct port: the ticket alone, formatted for its own model, then the model's closing command.
bool delivery_on_port(const std::string& model, const std::string& port, const std::string& text) {
  const host::PrinterProperties props = host::PropriedadesImpNF(model);
  const int code = code_of(model);
  ResetImpressora(model, port);
  if (AbrePortaDireta(port) < 1) return false;
  int formatted;
  if (one_of(code, {10, 13, 16, 17, 18, 19, 20, 21, 28, 30, 32, 33, 36, 42, 43, 45, 53, 54})) {
    if (globals::stTipoImpressora.get().empty() && one_of(code, {18, 53, 54})) globals::stTipoImpressora.set(model);
    formatted = FormataModelo(model, text, 2, 0, 0, 0, 0);
  } else {
    formatted = FormataModelo(model, text, 3, 0, code == 14 || code == 35 ? 1 : 0, 0, 0);
  }
  ResetImpressora(model, port);
  if (formatted < 1) return false;
  return code == 10 || EnviaComandoModelo(model, props.closing) >= 1;
}

}  // namespace

void ImpParcialConta_Brasil(std::string_view text) {
  try {
    const tickets::Station station;
    EnsureDataModule();
    const host::Parameters params = host::Parameters::Load();
    const bool fiscal = !params.IsEmpty() && (params.AsFlag("SISTEMAZELSAT") || params.AsFlag("SISTEMAZELNFCE"));
    if (!params.IsEmpty()) {
      globals::boSistemaZelSat.store(params.AsFlag("SISTEMAZELSAT"));
      globals::Rev_boSistemaZelNFCe.store(params.AsFlag("SISTEMAZELNFCE"));
      globals::stIdTipoImpNF3.set(station.key("IDTIPOIMPNF3"));
      globals::stCdPortImpNF3.set(station.key("CDPORTIMPNF3"));
    }
    tickets::Printer printer;
    if (fiscal) {
      // An electronic fiscal system prints its bills on the station's third printer only.
      DefineParametrosImpressora("PARCIALCONTA", printer.columns, printer.lineFeed, printer.closing, printer.model,
                                 printer.port, globals::stIdTipoImpNF3.get(), "", globals::stCdPortImpNF3.get(), "",
                                 globals::stIdVendImpNF3.get(), "", "");
    } else {
      printer = tickets::choose_printer(station, "PARCIALCONTA", "");
    }
    if (!printer.port.empty()) {
      const int code = code_of(printer.model);
      std::string bill(text);
      if ((code == 17 || code == 36) && !globals::boUtilizaDLL.load()) bill = "\x1bM0\x1b\x33\x10" + bill;
      tickets::send(TicketSend{printer.model, printer.port, bill, printer.lineFeed, printer.closing, "N", ""},
                    "ImpParcialConta_Brasil", nullptr);
    }
  } catch (const std::exception& e) {
    tickets::log_failure("ImpParcialConta_Brasil", e);
  }
  ReleaseOpenSpans();
  FreeDataModule();
}

bool ImprimeEntrega(std::string_view port, std::string_view model, std::string_view text, std::string_view number) {
  std::unique_lock<std::recursive_mutex> lock = globals::lock_cs();
  const std::string sPort(port), sModel(model);
  bool result = false;
  try {
    Log("INICIO ImprimeEntrega_" + sPort + "_" + sModel);
    TrdmImpressoras& rdm = EnsureDataModule();
    Log("Length stRelat: " + std::to_string(text.size()));
    if (!DoPortMapping(model, port)) {
      Log("EXIT ImprimeEntrega_" + sPort + "_" + sModel);
      return false;
    }
    rdm.TrimAppMemorySize();
    const host::Parameters params = host::Parameters::Load();
    if (!params.IsEmpty()) globals::boSistemaZelSat.store(params.AsFlag("SISTEMAZELSAT"));
    const std::string ticket = RemoveAcentos(text);
    result = starts_with(port, "LPT") ? delivery_on_port(sModel, sPort, ticket)
                                      : delivery_on_library(sModel, sPort, ticket, number);
  } catch (const std::exception& e) {
    Log(e.what());
    result = false;
  }
  ReleaseOpenSpans();
  if (!result) Log("ImprimeEntrega_" + sPort + "_" + sModel + ": entrega não impressa"_cp);
  Log("FIM ImprimeEntrega_" + sPort + "_" + sModel);
  Log("");
  return result;
}

}  // namespace imp
