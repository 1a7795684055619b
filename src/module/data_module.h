// The print data module TrdmImpressoras: the database connection adcImpPedido, the queries of the catalogue
// with their providers, the client datasets every document works on, the caption tables and the routines
// that prepare delivery orders. One instance, rdmImpressoras, is shared by every job: it is created without
// owner by whichever code needs it first, used under `cs`, and freed by the routines that end a print job.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "host/messages.h"
#include "platform/database.h"
#include "platform/dataset.h"
#include "platform/variant.h"

namespace imp {

class TrdmImpressoras {
 public:
  TrdmImpressoras();  // builds every component and runs DataModuleCreate; opens nothing
  ~TrdmImpressoras();
  TrdmImpressoras(const TrdmImpressoras&) = delete;
  TrdmImpressoras& operator=(const TrdmImpressoras&) = delete;

  // ---- connection adcImpPedido: opened on the first query, not before ----
  db::Connection& adcImpPedido();
  bool Connected() const { return connection_ != nullptr; }
  const std::string& ConnectionString() const { return connectionString_; }
  void DataModuleCreate();
  void adcImpPedidoBeforeConnect();  // takes the connection string from the host
  void adcImpPedidoAfterConnect();   // hands the open connection to the host's session set-up

  // ---- queries and providers ----
  // Runs the catalogue query `name` ("adqRecebimento") with its parameters.
  db::ResultSet Open(std::string_view name, const db::Params& params);
  // adq<suffix> -> dsp<suffix> -> cds<suffix>: runs the query and loads its packet into the client dataset.
  ClientDataSet& Provide(std::string_view suffix, const db::Params& params);

  // ---- client datasets, by name ("cdsPedido"; any case) ----
  ClientDataSet& cds(std::string_view name);
  bool HasDataSet(std::string_view name) const;

  // ---- caption tables ----
  const TMessages& msgPadrao() const;
  const TMessages& msgPadraoBrasil() const;
  const TMessages& msgPadraoAmericano() const;
  const TMessages& msgPadraoPeru() const;
  const TMessages& msgPadraoMexico() const;
  const TMessages& msgPadraoColombia() const;
  // The caption of `key` in the table of the country ("01"/"05" Colombia, "02" Peru, "03" Mexico,
  // "04" United States layout, anything else Brazil).
  std::string MensagemPadrao(std::string_view country, std::string_view key) const;

  // ---- routines ----
  // A persistent flag "CtrlImp_" + name: op 1 writes it (true when the store could be opened); any other op
  // reads it, writing false when it does not exist yet. False when the store cannot be opened.
  bool CtrlImpress(int op, std::string_view name, bool value);
  Variant getPrxVendaConsumidor(std::string_view a_utf8, std::string_view b_utf8);
  Variant getSenhaCupom(std::string_view outlet_utf8, double date);
  std::string formataCPFCNPJ(std::string_view digits);
  // cdsProdLoja from \Dados\Cadastros\ProdLoja.cds when that file exists (closed otherwise).
  void LoadProdLoja();
  // Rebuilds cdsImprimePedidoDlv from the sale items in cdsVendas.
  void PreencheImprimePedido();
  // Rebuilds cdsParamImpCupNF with one record. `kind` and `extra` are not used.
  void PreencheParamImpCupNF(std::string_view kind, std::string_view nrNaoFiscal, std::string_view vendaRealizada,
                             std::string_view nrSeqVenda, double totalPago, std::string_view extra);
  // Gives freed memory back to the system.
  void TrimAppMemorySize();

  // Names of the client datasets that switch change logging off when they open (their after-open handlers).
  static const std::vector<std::string>& AfterOpenDataSets();

  // The host folder the module was created for: its database, files and settings are that folder's.
  const std::filesystem::path& HostDir() const { return hostDir_; }

  // The kiosk printer's handle from its USB open, passed to every later kiosk call.
  int32_t kioskHandle = 0;

 private:
  void create_stored(std::string_view name);
  std::filesystem::path hostDir_;
  std::unique_ptr<db::Connection> connection_;
  std::string connectionString_;
  std::map<std::string, std::unique_ptr<ClientDataSet>, std::less<>> datasets_;  // upper-cased name
};

// The module's instance: null until first needed.
TrdmImpressoras* rdmImpressoras();
// The instance, created when there is none.
TrdmImpressoras& EnsureDataModule();
// Frees the instance (the next job creates a new one).
void FreeDataModule();

// The registry key of the printer control flags.
inline constexpr const char* kCtrlImpKey = "SOFTWARE\\VELMORA\\Sistemas Integrados Velmora\\WebSrv";

}  // namespace imp
