#include "package/jobs.h"

#include <malloc.h>

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "host/parameters.h"
#include "host/services.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "output/device_ops.h"
#include "output/spool.h"
#include "package/frame.h"
#include "package/workers.h"
#include "platform/cp1252.h"
#include "platform/dataset.h"
#include "platform/error.h"
#include "platform/hostdir.h"
#include "platform/job.h"
#include "platform/log.h"
#include "platform/packet.h"
#include "tickets/bill_delivery.h"
#include "tickets/cancellation.h"
#include "tickets/mp100.h"
#include "tickets/order_brasil.h"
#include "tickets/order_others.h"
#include "tickets/sale_ticket.h"

namespace imp::package {
namespace {

void Log(std::string_view text) {
  log::LogErroImpNaoFiscal(text);
}

// ---- document routines reached from the dispatch -------------------------------------------------------
// Each call site is one small function, so the routine is wired here when it exists. A routine that does not
// exist yet logs one line naming it and prints nothing.
namespace documents {

void missing(const char* routine) {
  Log(std::string(routine) + ": rotina não disponível"_cp);
}

void ImpDANFE_NFCe(const Variant&, const std::string&, const std::string&) {
  missing("ImpDANFE_NFCe");
}
void ImpCompNFiscalNFSe(const Variant&) {
  missing("ImpCompNFiscalNFSe");
}
void ImpDANFE_Signature(const Variant&) {
  missing("ImpDANFE_Signature");
}
void ImpExtrato_SAT(const Variant&, const std::string&) {
  missing("ImpExtrato_SAT");
}
void ImpExtrato_SAT_Canc() {
  missing("ImpExtrato_SAT_Canc");
}
void ImpDANFE_NFE(const Variant&, const std::string&, const std::string&) {
  missing("ImpDANFE_NFE");
}
void ImpCupom_Brasil(const Variant& d1, const Variant& d2, const Variant& d3, const Variant& d4,
                     const std::string& kind) {
  imp::ImpCupom_Brasil(d1, d2, d3, d4, kind);
}
void ImpCupom_Colombia(const Variant& d1, const Variant& d2, const Variant& d3, const Variant& d4) {
  imp::ImpCupom_Colombia(d1, d2, d3, d4);
}
void ImpCupom_Peru(const Variant& d1, const Variant& d2, const Variant& d3, const Variant& d4) {
  imp::ImpCupom_Peru(d1, d2, d3, d4);
}
void ImpCupom_Mexico(const Variant& d1, const Variant& d2, const Variant& d3, const Variant& d4) {
  imp::ImpCupom_Mexico(d1, d2, d3, d4);
}
void ImpCupom_Americano(const Variant& d1, const Variant& d2, const Variant& d3, const Variant& d4) {
  imp::ImpCupom_Americano(d1, d2, d3, d4);
}
void ImpPedido_Brasil(const Variant& dados1, const Variant& dados4, bool puxa, OrderRun run = OrderRun::Main) {
  imp::ImpPedido_Brasil(dados1, dados4, puxa, run);
}
void ImpPedido_Colombia(const Variant& dados1, const Variant& dados4) {
  imp::ImpPedido_Colombia(dados1, dados4);
}
void ImpPedido_Peru(const Variant& dados1, const Variant& dados4) {
  imp::ImpPedido_Peru(dados1, dados4);
}
void ImpPedido_Mexico(const Variant& dados1, const Variant& dados4) {
  imp::ImpPedido_Mexico(dados1, dados4);
}
void ImpPedido_Americano(const Variant& dados1, const Variant& dados4) {
  imp::ImpPedido_Americano(dados1, dados4);
}
void ImpParcialConta_Brasil(const std::string& text) {
  imp::ImpParcialConta_Brasil(text);
}
// The cancellation routines take the items and thirteen texts, in the order the cancellation job hands them.
void ImpCancProduto(const Variant& packet, const CancTexts& texts) {
  imp::ImpCancProduto(packet, texts);
}
void ImpCancelamento_Bematech_MP100(const Variant& packet, const CancTexts& texts) {
  imp::ImpCancelamento_Bematech_MP100(packet, texts);
}

}  // namespace documents

// ---- turns: job threads enter `cs` in the order in which they were handed in ------------------------------
class Turns {
 public:
  void wait(uint64_t ticket) {
    std::unique_lock lk(m_);
    if (serving_ == ticket) return;
    // Each waiter sleeps on its own condition, so an ended job wakes only the next one, not the whole queue.
    std::condition_variable cv;
    waiting_[ticket] = &cv;
    cv.wait(lk, [&] { return serving_ == ticket; });
    waiting_.erase(ticket);
  }
  // The ticket's job has ended, or never started.
  void finish(uint64_t ticket) {
    std::lock_guard lk(m_);
    if (ticket == serving_) {
      ++serving_;
      while (passed_.erase(serving_) != 0) ++serving_;
    } else {
      passed_.insert(ticket);
    }
    if (auto it = waiting_.find(serving_); it != waiting_.end()) it->second->notify_one();
  }

 private:
  std::mutex m_;
  uint64_t serving_ = 0;
  std::set<uint64_t> passed_;                             // tickets that ended before their turn came
  std::map<uint64_t, std::condition_variable*> waiting_;  // tickets whose thread waits for its turn
};

// Never destroyed: a worker may still wait on it while the process exits.
Turns& turns() {
  static Turns* t = new Turns;
  return *t;
}

// Hands `job` to a job thread, counted by the package frame and run in its turn. The job keeps the host
// folder it was dispatched with, whatever the host sets meanwhile.
// `prepare`, when given, runs on the job's thread before it waits for its turn (so the till does not wait for
// it); when it returns false the job ends there, printing and logging nothing, and its turn passes.
template <typename Job>
bool start_thread(const char* name, Job job, std::string kind, void (*body)(const Job&),
                  bool (*prepare)(Job&) = nullptr) {
  if (!job_begin()) {
    // A derived job (one with `prepare`) follows the job it derives from, which already said so.
    if (prepare == nullptr) Log(std::string(name) + ": Imp00000 em finalização, job não iniciado"_cp);
    return false;
  }
  job::Context context{hostdir::root(), std::move(kind), {}, {}, current_format(), {}};
  // A job derived from another reads the same packets: what they held was already told in the first one.
  if (prepare != nullptr) context.loggedOnce.push_back("cp1252");
  auto owned = std::make_shared<Job>(std::move(job));
  try {
    submit_job([owned, body, prepare, context = std::move(context)](uint64_t ticket) mutable noexcept {
      try {
        job::Scope scope(std::move(context));
        bool run = true;
        try {
          run = prepare == nullptr || prepare(*owned);
        } catch (...) {
          run = false;  // what cannot be prepared is logged by the job it derives from
        }
        if (run) {
          turns().wait(ticket);
          try {
            body(*owned);
          } catch (...) {
            // the bodies log their own failures
          }
          FinishOpenSpoolDocument();  // a document the job left open never holds its queue
          ReleaseOpenSpans();         // nor a device span the job left open the job lock
        }
      } catch (...) {
        // the bodies log their own failures
      }
      owned.reset();
      turns().finish(ticket);
      job_end();  // last: once the count drops, the package may be unloaded
    });
  } catch (...) {
    job_end();
    Log(std::string(name) + ": não foi possível criar a thread do job"_cp);
    return false;
  }
  return true;
}

// ---- data packets ---------------------------------------------------------------------------------------
std::string packet_text(const Variant& v, const char* what) {
  return PacketJson(v, what);
}

// The first record of a job's packet; each field is read separately and a missing one gives its fallback.
// An unassigned packet has no fields.
class Record {
 public:
  Record(const Variant& packet, const char* what) {
    if (packet.is_unassigned()) return;
    ds_.LoadFromPacket(packet_text(packet, what));
    ds_.First();
  }
  bool has(std::string_view field) { return ds_.Active() && ds_.FindField(field) != nullptr; }
  std::string text(std::string_view field, const std::string& fallback) {
    if (!has(field)) return fallback;
    try {
      return ds_.IsEmpty() ? std::string() : ds_.FieldByName(field).AsVariant().to_text();
    } catch (const Error&) {
      return fallback;
    }
  }
  double number(std::string_view field, double fallback) {
    if (!has(field)) return fallback;
    try {
      return ds_.IsEmpty() ? 0.0 : ds_.FieldByName(field).AsVariant().to_double();
    } catch (const Error&) {
      return fallback;
    }
  }

 private:
  ClientDataSet ds_;
};

// ---- what a job reads of the host's parameter record -------------------------------------------------
struct Station {
  std::string cdFilial, cdCaixa, idImpCompDebCon, idImpCompCupVen, idPaisIntegra, idImpPedProd, idUtlIntFacEle,
      idIntBoletChile, idUtlNfsVenCons, stSistemaPrin;
};

// Reads the station switches and copies the ones every non-fiscal job shares into the globals.
Station read_station() {
  host::Parameters p = host::Parameters::Load();
  Station s;
  if (p.IsEmpty()) return s;
  s.cdFilial = p.AsString("CDFILIAL");
  s.cdCaixa = p.AsString("CDCAIXA");
  s.idImpCompDebCon = p.AsString("IDIMPCOMPDEBCON");
  s.idImpCompCupVen = p.AsString("IDIMPCOMPCUPVEN");
  s.idPaisIntegra = p.AsString("IDPAISINTEGRA");
  s.idImpPedProd = p.AsString("IDIMPPEDPROD");
  s.idUtlIntFacEle = p.AsString("IDUTLINTFACELE");
  s.idIntBoletChile = p.AsString("IDINTBOLETCHILE");
  s.idUtlNfsVenCons = p.AsString("IDUTLNFSVENCONS");
  s.stSistemaPrin = p.AsString("STSISTEMAPRIN");
  globals::stEnviaCupomEmail = p.AsString("IDENVCUPOMEMAIL");
  globals::stIdImpPuxAntPed = p.AsString("IDIMPPUXANTPED");
  globals::stIdDebConsCentral = p.AsString("IDDEBCONSCENTRAL");
  globals::stDtAbertur = p.AsString("DTABERCAIX");
  globals::Rev_stIdEsquema = p.AsString("IDESQUEMA");
  return s;
}

// The header the fiscal document routines receive: eleven values from the sale record and the station.
Variant fiscal_header(Record& sale, const Station& s) {
  const std::string saleTill = sale.text("CDCAIXA", "");
  VariantArray h(11);
  h[0] = !s.cdFilial.empty() ? s.cdFilial : sale.text("CDFILIAL", "");
  h[1] = !saleTill.empty() ? saleTill : s.cdCaixa;
  h[2] = sale.text("NRSEQVENDA", "");
  h[3] = sale.text("IDREIMPRNFCE", "N");
  h[4] = sale.text("SENHACUPOM", "");
  h[5] = sale.number("VRTOTCONSUMODIA", 0);
  h[6] = sale.text("STIBPT", "");
  h[7] = sale.text("STIBPTES", "");
  h[8] = sale.text("QRCODENFCe", "");
  h[9] = !s.cdCaixa.empty() ? s.cdCaixa : saleTill;
  h[10] = sale.text("STSISTEMAPRIN", s.stSistemaPrin);
  return Variant::array(std::move(h));
}

// IDTIPOMOVIVE of the sale's first cash movement ("T": charged to a consumer account), empty when the sale has
// none. A job without a sale number has no movement to look for.
std::string first_movement(const std::string& nrSeqVenda, const Station& s) {
  if (nrSeqVenda.empty()) return {};
  db::ResultSet rs = EnsureDataModule().Open(
      "adqRecebimento", {{"P_NRSEQVENDA", nrSeqVenda}, {"P_CDFILIAL", s.cdFilial}, {"P_CDCAIXA", s.cdCaixa}});
  if (rs.rows.empty()) return {};
  for (std::size_t c = 0; c < rs.fields.size(); ++c)
    if (rs.fields[c].name == "IDTIPOMOVIVE") return rs.rows[0][c].to_text();
  return {};
}

// rdmImpressoras when it is missing; a failed creation is tried once more.
void create_data_module() {
  if (rdmImpressoras() != nullptr) return;
  Log("Assigned(rdmImpressoras)");
  try {
    EnsureDataModule();
    Log("TrdmImpressoras.create");
  } catch (...) {
    log_failure("TrdmImpressoras.create", std::current_exception());
    if (rdmImpressoras() == nullptr) {
      Log("Recria datamodule inicio");
      EnsureDataModule();
      Log("Recria datamodule fim");
    }
  }
}

void trim_memory() {
  if (TrdmImpressoras* rdm = rdmImpressoras())
    rdm->TrimAppMemorySize();
  else
    malloc_trim(0);
}

// ---- dispatch ---------------------------------------------------------------------------------------------
bool is_brazil(const std::string& country) {
  return country != "01" && country != "02" && country != "03" && country != "04";
}

int copies(const std::string& setting) {
  return setting == "1" ? 1 : setting == "2" ? 2 : 0;
}

void sale_ticket(const std::string& country, const NaoFiscalJob& j) {
  if (country == "01")
    documents::ImpCupom_Colombia(j.dados1, j.dados2, j.dados3, j.dados4);
  else if (country == "02")
    documents::ImpCupom_Peru(j.dados1, j.dados2, j.dados3, j.dados4);
  else if (country == "03")
    documents::ImpCupom_Mexico(j.dados1, j.dados2, j.dados3, j.dados4);
  else if (country == "04")
    documents::ImpCupom_Americano(j.dados1, j.dados2, j.dados3, j.dados4);
  else
    documents::ImpCupom_Brasil(j.dados1, j.dados2, j.dados3, j.dados4, j.kind);
}

void order(const std::string& country, const NaoFiscalJob& j) {
  if (country == "01") {
    documents::ImpPedido_Colombia(j.dados1, j.dados4);
  } else if (country == "02") {
    documents::ImpPedido_Peru(j.dados1, j.dados4);
  } else if (country == "03") {
    documents::ImpPedido_Mexico(j.dados1, j.dados4);
  } else if (country == "04") {
    documents::ImpPedido_Americano(j.dados1, j.dados4);
  } else {
    const OrderRun run = j.secondPrinterRun ? OrderRun::SecondPrinter : OrderRun::Main;
    if (globals::stIdImpPuxAntPed == "S") documents::ImpPedido_Brasil(j.dados1, j.dados4, true, run);  // puxa first
    documents::ImpPedido_Brasil(j.dados1, j.dados4, false, run);
  }
}

void dispatch(const NaoFiscalJob& j, const std::string& country, const std::string& movement, const Station& s,
              const Variant& header) {
  const std::string& kind = j.kind;
  const bool brazil = is_brazil(country);
  const bool account = movement == "T";  // the sale was charged to a consumer account
  if (kind == "VENDA_NFCe") {
    if (account) {
      if (brazil && s.idUtlIntFacEle == "N") documents::ImpDANFE_NFCe(header, kind, j.texto);
    } else if (brazil && s.idUtlIntFacEle != "S" && s.idUtlNfsVenCons != "S") {
      documents::ImpDANFE_NFCe(header, kind, j.texto);
    } else if (s.idUtlNfsVenCons == "S") {
      documents::ImpCompNFiscalNFSe(header);
    } else if (s.idUtlIntFacEle == "S" && s.idIntBoletChile == "3") {
      documents::ImpDANFE_Signature(header);
    }
  } else if (kind == "EXTRATO_SAT") {
    if (brazil) documents::ImpExtrato_SAT(header, j.texto);
  } else if (kind == "EXTRATO_SAT_CANC") {
    if (brazil) documents::ImpExtrato_SAT_Canc();
  } else if (kind == "VENDA_NFE") {
    if (brazil && !account) documents::ImpDANFE_NFE(header, kind, j.texto);
  } else if (kind == "CUPOM" || kind == "CUPOM_PEDIDO") {
    const int n = copies(account ? s.idImpCompDebCon : s.idImpCompCupVen);
    for (int i = 0; i < n; ++i) sale_ticket(country, j);
    if (kind == "CUPOM_PEDIDO" && s.idImpPedProd == "S") order(country, j);
  } else if (kind == "PEDIDO") {
    order(country, j);
  } else if (kind == "PEDIDO_PUXA") {
    if (!account) documents::ImpPedido_Brasil(j.dados1, j.dados4, false);  // every country
  } else if (kind == "PARCIALCONTA") {
    documents::ImpParcialConta_Brasil(j.dados1.to_text());
  }
  // "CANCCUPOM" and any other kind print nothing.
}

// The second production run of an order: the rows that have a second production printer, re-addressed to it
// (without the expediting printer, which prints in the first run only). Unassigned when no row has one.
Variant second_production_run(const Variant& dados1) {
  if (dados1.is_unassigned()) return {};
  ClientDataSet ds;
  ds.LoadFromPacket(packet_text(dados1, "Dados1"));
  Field* port2 = ds.FindField("CDPORIMPPROD2");
  if (port2 == nullptr) return {};
  Field* port = ds.FindField("CDPORIMPPROD");
  Field* model = ds.FindField("IDMODEIMPRES");
  Field* model2 = ds.FindField("IDMODEIMPRES2");
  Field* puxaModel = ds.FindField("MODELOPUXA");
  Field* puxaPort = ds.FindField("PORTAPUXA");
  ds.First();
  while (!ds.Eof()) {
    if (port2->AsString().empty()) {
      ds.Delete();
      continue;
    }
    ds.Edit();
    if (port) port->SetAsString(port2->AsString());
    if (model && model2) model->SetAsString(model2->AsString());  // a packet without the column keeps the model
    if (puxaModel) puxaModel->SetAsString("");
    if (puxaPort) puxaPort->SetAsString("");
    ds.Post();
    ds.Next();
  }
  if (ds.IsEmpty()) return {};
  return Variant::bytes(ds.SavePacket());
}

void refuse(const char* entry, std::size_t count, std::size_t needed) {
  Log(std::string(entry) + ": lista de dados com " + std::to_string(count) + " elemento(s); são necessários "_cp +
      std::to_string(needed) + ". Job recusado.");
}

NaoFiscalJob read_job(const VariantArray& items) {
  // [0] is read and not used.
  NaoFiscalJob j;
  j.kind = items[1].to_text();
  j.dados1 = items[2];
  j.dados2 = items[3];
  j.dados3 = items[4];
  j.dados4 = items[5];
  j.texto = items[6].to_text();
  return j;
}

// The user's answer to the fiscal printout question; nullopt when the job does not ask.
std::optional<bool> confirm_fiscal_printout(const NaoFiscalJob& j) {
  if (j.kind != "VENDA_NFCe" && j.kind != "EXTRATO_SAT") return std::nullopt;
  host::Parameters p = host::Parameters::Load();
  if (p.IsEmpty() || p.AsString("IDSOLIMPCUPFIS") != "S") return std::nullopt;
  std::string reprint = "N";
  try {
    Record sale(j.dados4, "Dados4");
    reprint = sale.has("IDREIMPRNFCE") ? sale.text("IDREIMPRNFCE", "N") : "N";
  } catch (const std::exception&) {
    reprint = "N";
  }
  if (reprint == "S") return std::nullopt;  // a reprint is not asked for
  return host::Mensagem("IMPRIMIR CUPOM FISCAL?", p.AsString("IDBTNIMPCUPFIS"));
}

}  // namespace

void refuse_job_array(const char* entry, std::size_t count, std::size_t needed) {
  refuse(entry, count, needed);
}

// ---- thread bodies ------------------------------------------------------------------------------------------

void onImpressaoNaoFiscal_Execute(const NaoFiscalJob& job) {
  try {
    std::lock_guard lock(*globals::cs.load());
    const std::string& kind = job.kind;
    try {
      Log("INICIO THREAD_" + kind);
      if (job.imprCupom) globals::boImprCupom = *job.imprCupom;
      if (job.reimpressao) globals::boReimpressaoPedido = *job.reimpressao;
      create_data_module();
      Log("Assigned(cdsParametrosZel)");
      Log("cdsParametrosZel TClientDataSet.Create");
      Station s = read_station();
      std::string country = s.idPaisIntegra;
      std::string nrSeqVenda;
      Variant header;
      if (kind != "PEDIDO") {
        Record sale(job.dados4, "Dados4");
        nrSeqVenda = sale.text("NRSEQVENDA", "");
        header = fiscal_header(sale, s);
        if (sale.has("STIDPAISINTEGRA")) country = sale.text("STIDPAISINTEGRA", country);
      }
      const std::string movement = first_movement(nrSeqVenda, s);
      dispatch(job, country, movement, s, header);
    } catch (...) {
      log_failure(("Thread.Execute_" + kind).c_str(), std::current_exception());
    }
    trim_memory();
    Log("TERMINATE THREAD_" + kind);
    Log("");
  } catch (...) {
    // nothing leaves a job thread
  }
}

void onImpNaoFiscalDlv_Execute(const NaoFiscalJob& job) {
  try {
    std::lock_guard lock(*globals::cs.load());
    try {
      TrdmImpressoras* rdm = &EnsureDataModule();
      host::Parameters p = host::Parameters::Load();
      std::string cdFilial, cdCaixa;
      if (!p.IsEmpty()) {
        cdFilial = p.AsString("CDFILIAL");
        cdCaixa = p.AsString("CDCAIXA");
        globals::stIdTipoImpNF1 = p.AsString("IDTIPOIMPNF1");
        globals::stCdPortImpNF1 = p.AsString("CDPORTIMPNF1");
        globals::stIdTipoImpNF2 = p.AsString("IDTIPOIMPNF2");
        globals::stCdPortImpNF2 = p.AsString("CDPORTIMPNF2");
        globals::stIdVendImpNF1 = p.AsString("IDTPVENDIMPNF1");
        globals::stIdVendImpNF2 = p.AsString("IDTPVENDIMPNF2");
        globals::stIdImpCompCupVen = p.AsString("IDIMPCOMPCUPVEN");
        globals::stNrSeqImprLoja2 = p.AsString("NRSEQIMPRLOJA2");
        globals::stIdOrdemImpObs = p.AsString("IDPOSOBSPED");
      }
      rdm->LoadProdLoja();

      std::string nrSeqVenda;
      try {
        Record sale(job.dados4, "Dados4");
        nrSeqVenda = sale.text("NRSEQVENDA", "");
      } catch (const std::exception&) {
        nrSeqVenda.clear();
      }
      if (!nrSeqVenda.empty())
        rdm->Provide("Recebimento", {{"P_NRSEQVENDA", nrSeqVenda}, {"P_CDFILIAL", cdFilial}, {"P_CDCAIXA", cdCaixa}});
      else
        rdm->cds("cdsRecebimento").Close();

      ClientDataSet& comandas = rdm->cds("cdsComandaVen");
      if (job.dados1.is_unassigned())
        comandas.Close();
      else
        comandas.LoadFromPacket(packet_text(job.dados1, "Dados1"));
      rdm->PreencheParamImpCupNF("PEDIDO", "", "", "", 0, "");

      // The outlet of the sale lookup: the host's auxiliary parameters when it loaded them, else the station's.
      std::string outlet = cdFilial;
      ClientDataSet& aux = rdm->cds("cdsParametrosZelAux");
      if (aux.Active() && !aux.IsEmpty() && aux.FindField("CDFILIAL")) {
        aux.First();
        std::string auxOutlet = aux.FieldByName("CDFILIAL").AsString();
        if (!auxOutlet.empty()) outlet = auxOutlet;
      }

      // The order pads are read first: the order routine frees the data module after each ticket.
      std::vector<std::pair<Variant, Variant>> bills;
      if (comandas.Active())
        for (comandas.First(); !comandas.Eof(); comandas.Next())
          bills.emplace_back(comandas.FieldByName("NRCOMANDA").AsVariant(),
                             comandas.FieldByName("NRVENDAREST").AsVariant());

      for (const auto& [nrComanda, nrVendaRest] : bills) {
        rdm = &EnsureDataModule();
        if (!rdm->cds("cdsParamImpCupNF").Active()) {  // a new module: its work tables are built again
          rdm->LoadProdLoja();
          rdm->PreencheParamImpCupNF("PEDIDO", "", "", "", 0, "");
        }
        VariantArray sale = host::BuscaVenda({Variant(outlet), nrComanda, nrVendaRest});
        ClientDataSet& vendas = rdm->cds("cdsVendas");
        if (sale.empty() || sale[0].is_unassigned())
          vendas.Close();
        else
          vendas.LoadFromPacket(packet_text(sale[0], "BuscaVenda"));
        rdm->PreencheImprimePedido();
        if (job.kind != "PEDIDO_PUXA") continue;
        ClientDataSet& rows = rdm->cds("cdsImprimePedidoDlv");
        if (rows.IsEmpty()) {
          Log("onImpNaoFiscalDlv: a venda " + nrVendaRest.to_text() + " da comanda " + nrComanda.to_text() +
              " (filial " + outlet + ") não tem itens; nada a imprimir"_cp);
          continue;
        }
        documents::ImpPedido_Brasil(Variant::bytes(rows.SavePacket()),
                                    Variant::bytes(rdm->cds("cdsParamImpCupNF").SavePacket()), false);
      }
    } catch (...) {
      log_failure(("onImpNaoFiscalDlv.Execute_" + job.kind).c_str(), std::current_exception());
    }
    trim_memory();
  } catch (...) {
    // nothing leaves a job thread
  }
}

void OnImpCancelamento_Execute(const CancelamentoJob& job) {
  try {
    std::lock_guard lock(*globals::cs.load());
    try {
      const auto& t = job.t;
      const CancTexts texts = {"", t[3], t[4], t[5], t[6], t[2], t[1], t[9], t[10], t[11], t[12], t[13], t[14]};
      if (t[1] == "7")  // the Bematech MP-100 prints through its own unit
        documents::ImpCancelamento_Bematech_MP100(job.dados, texts);
      else
        documents::ImpCancProduto(job.dados, texts);
    } catch (...) {
      log_failure("OnImpCancelamento.Execute", std::current_exception());
    }
    trim_memory();
  } catch (...) {
    // nothing leaves a job thread
  }
}

// ---- thread classes -------------------------------------------------------------------------------------------

bool TImpressaoNaoFiscalThread(NaoFiscalJob job) {
  std::string kind = job.kind;
  return start_thread("TImpressaoNaoFiscalThread", std::move(job), std::move(kind), &onImpressaoNaoFiscal_Execute);
}

bool TImpNaoFiscalDlvThread(NaoFiscalJob job) {
  std::string kind = job.kind;
  return start_thread("TImpNaoFiscalDlvThread", std::move(job), std::move(kind), &onImpNaoFiscalDlv_Execute);
}

bool TImpCancelamentoThread(CancelamentoJob job) {
  return start_thread("TImpCancelamentoThread", std::move(job), "CANCPRODUTO", &OnImpCancelamento_Execute);
}

// ---- dispatchers --------------------------------------------------------------------------------------------

void DisparaImpressaoNaoFiscal(const VariantArray& items) {
  Log("ArrayLength: " + std::to_string(items.size()));
  if (items.size() < 7) return refuse("DisparaImpressaoNaoFiscal", items.size(), 7);
  NaoFiscalJob job = read_job(items);
  job.imprCupom = false;
  if (std::optional<bool> answer = confirm_fiscal_printout(job)) {
    if (!*answer) return;  // the user declined: no job
    job.imprCupom = true;
  }
  if (job.kind != "PEDIDO") {
    TImpressaoNaoFiscalThread(std::move(job));
    return;
  }
  // An order: element [7] says it is a reprint; missing or not a boolean counts as false.
  job.reimpressao = false;
  if (items.size() > 7) {
    try {
      job.reimpressao = items[7].to_bool();
    } catch (const Error&) {
      job.reimpressao = false;
    }
  }
  TImpressaoNaoFiscalThread(job);
  // Items with a second production printer print there too, in a second job. Its turn is taken now, so it
  // prints right after this order; which rows it carries is worked out on its own thread, so the till never
  // waits for the order to be decoded. When no row has a second printer it ends without a trace.
  job.secondPrinterRun = true;
  start_thread(
      "TImpressaoNaoFiscalThread", std::move(job), "PEDIDO", &onImpressaoNaoFiscal_Execute, +[](NaoFiscalJob& j) {
        Variant second = second_production_run(j.dados1);
        if (second.is_unassigned()) return false;
        j.dados1 = std::move(second);
        return true;
      });
}

void DisparaImpNaoFiscalDlv(const VariantArray& items) {
  if (items.size() < 7) return refuse("DisparaImpNaoFiscalDlv", items.size(), 7);
  TImpNaoFiscalDlvThread(read_job(items));
}

void DisparaImprimeCancProduto(const VariantArray& items) {
  if (items.size() < 18) return refuse("DisparaImprimeCancProduto", items.size(), 18);
  // [0] is read and not used; [16] and [17] are not used either.
  CancelamentoJob job;
  for (int i = 1; i <= 15; ++i)
    if (i != 8) job.t[i] = items[static_cast<std::size_t>(i)].to_text();
  job.dados = items[8];
  TImpCancelamentoThread(std::move(job));
}

void LogImpNFiscal(const VariantArray& items) {
  if (items.empty()) return refuse("LogImpNFiscal", 0, 1);
  log::LogImpNFiscal(items[0].to_text());
}

}  // namespace imp::package
