// Print jobs that run on worker threads: the general dispatcher (orders, sale tickets, fiscal printouts, partial
// bills), the delivery dispatcher and the cancellation dispatcher, with their thread classes and the dispatch on
// job kind, country and the kind of the sale's first cash movement.
//
// A dispatcher returns as soon as its job thread is started. Each thread owns a copy of its job: the data
// packets, the texts and the two flags of the caller (`boImprCupom`, `boReimpressaoPedido`), which it writes
// into the globals only once it holds `cs`, so two quick calls never swap one job's flags into another. Job
// threads take `cs` in the order in which they were started, hold it for their whole body, and are counted by
// the package frame so that Finalize and imp_wait_idle wait for them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/variant.h"

namespace imp::package {

// The job of TImpressaoNaoFiscalThread and TImpNaoFiscalDlvThread.
struct NaoFiscalJob {
  std::string kind;  // "PEDIDO", "CUPOM", "VENDA_NFCe" ...
  Variant dados1, dados2, dados3, dados4;
  std::string texto;  // handed to the fiscal document routines
  // The caller's flags, written into the globals by the thread under `cs`; unset leaves the global alone.
  std::optional<bool> imprCupom;    // the user confirmed the fiscal printout
  std::optional<bool> reimpressao;  // order jobs only: the order is a reprint
  // Order jobs only: this job prints the rows that have a second production printer, re-addressed to it.
  bool secondPrinterRun = false;
};

// The job of TImpCancelamentoThread: texts T1..T7 and T9..T15 (index 0 and 8 unused) and the packet of the
// cancelled items.
struct CancelamentoJob {
  std::string t[16];
  Variant dados;
};

// ---- the dispatchers (job arrays; the caller's result variant is never written) ----
// Each logs and refuses an array shorter than its layout.
void DisparaImpressaoNaoFiscal(const VariantArray& items);
void DisparaImpNaoFiscalDlv(const VariantArray& items);
void DisparaImprimeCancProduto(const VariantArray& items);
void LogImpNFiscal(const VariantArray& items);
// Logs that an entry's job array is shorter than its layout: "<entry>: lista de dados com N elemento(s) ...".
void refuse_job_array(const char* entry, std::size_t count, std::size_t needed);

// ---- thread classes: the constructor starts a thread that owns the job; false when it could not start
// (logged) ----
bool TImpressaoNaoFiscalThread(NaoFiscalJob job);
bool TImpNaoFiscalDlvThread(NaoFiscalJob job);
bool TImpCancelamentoThread(CancelamentoJob job);

// ---- the thread bodies; each takes `cs` itself and never throws ----
void onImpressaoNaoFiscal_Execute(const NaoFiscalJob& job);
void onImpNaoFiscalDlv_Execute(const NaoFiscalJob& job);
void OnImpCancelamento_Execute(const CancelamentoJob& job);

}  // namespace imp::package
