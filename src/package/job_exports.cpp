// Exported print jobs: the three dispatchers and the print log (job arrays, under their plain and full names),
// and the job thread classes: each constructor starts its thread; each Execute runs the job's body on the
// caller's thread.
#include "imp00000.h"
#include "module/globals.h"
#include "package/frame.h"
#include "package/jobs.h"
#include "platform/abi_variant.h"

using namespace imp;

namespace {

using package::job_array;

Variant arg(const imp_variant* v) {
  return v ? abi::from_abi(*v) : Variant();
}

std::string text(const char* s) {
  return std::string(abi::text_arg(s));
}

// The job of a thread constructor: the flags the dispatcher would set are left as the host set them.
package::NaoFiscalJob nao_fiscal_job(const char* kind, const imp_variant* d1, const imp_variant* d2,
                                     const imp_variant* d3, const imp_variant* d4, const char* texto) {
  package::NaoFiscalJob job;
  job.kind = text(kind);
  job.dados1 = arg(d1);
  job.dados2 = arg(d2);
  job.dados3 = arg(d3);
  job.dados4 = arg(d4);
  job.texto = text(texto);
  return job;
}

package::CancelamentoJob cancelamento_job(const char* t1, const char* t2, const char* t3, const char* t4,
                                          const char* t5, const char* t6, const char* t7, const imp_variant* dados,
                                          const char* t9, const char* t10, const char* t11, const char* t12,
                                          const char* t13, const char* t14, const char* t15) {
  package::CancelamentoJob job;
  const char* texts[16] = {nullptr, t1, t2, t3, t4, t5, t6, t7, nullptr, t9, t10, t11, t12, t13, t14, t15};
  for (int i = 1; i < 16; ++i)
    if (i != 8) job.t[i] = text(texts[i]);
  job.dados = arg(dados);
  return job;
}

void dispara_impressao_nao_fiscal(const imp_variant* items, int32_t count) {
  package::guarded_void("DisparaImpressaoNaoFiscal",
                        [&] { package::DisparaImpressaoNaoFiscal(job_array(items, count)); });
}
void dispara_imp_nao_fiscal_dlv(const imp_variant* items, int32_t count) {
  package::guarded_void("DisparaImpNaoFiscalDlv", [&] { package::DisparaImpNaoFiscalDlv(job_array(items, count)); });
}
void dispara_imprime_canc_produto(const imp_variant* items, int32_t count) {
  package::guarded_void("DisparaImprimeCancProduto",
                        [&] { package::DisparaImprimeCancProduto(job_array(items, count)); });
}
void log_imp_nfiscal(const imp_variant* items, int32_t count) {
  package::guarded_void("LogImpNFiscal", [&] { package::LogImpNFiscal(job_array(items, count)); });
}

}  // namespace

extern "C" {

IMP_API void DisparaImpressaoNaoFiscal(const imp_variant* items, int32_t count, imp_variant*) {
  dispara_impressao_nao_fiscal(items, count);
}
IMP_API void Cli_imp00000_DisparaImpressaoNaoFiscal(const imp_variant* items, int32_t count, imp_variant*) {
  dispara_impressao_nao_fiscal(items, count);
}
IMP_API void DisparaImpNaoFiscalDlv(const imp_variant* items, int32_t count, imp_variant*) {
  dispara_imp_nao_fiscal_dlv(items, count);
}
IMP_API void Cli_imp00000_DisparaImpNaoFiscalDlv(const imp_variant* items, int32_t count, imp_variant*) {
  dispara_imp_nao_fiscal_dlv(items, count);
}
IMP_API void DisparaImprimeCancProduto(const imp_variant* items, int32_t count, imp_variant*) {
  dispara_imprime_canc_produto(items, count);
}
IMP_API void Cli_imp00000_DisparaImprimeCancProduto(const imp_variant* items, int32_t count, imp_variant*) {
  dispara_imprime_canc_produto(items, count);
}
IMP_API void LogImpNFiscal(const imp_variant* items, int32_t count, imp_variant*) {
  log_imp_nfiscal(items, count);
}
IMP_API void Cli_imp00000_LogImpNFiscal(const imp_variant* items, int32_t count, imp_variant*) {
  log_imp_nfiscal(items, count);
}

IMP_API void Cli_imp00000_TImpressaoNaoFiscalThread_Create(int32_t, const char* kind, const imp_variant* dados1,
                                                           const imp_variant* dados2, const imp_variant* dados3,
                                                           const imp_variant* dados4, const char* texto) {
  package::guarded_void("TImpressaoNaoFiscalThread.Create", [&] {
    package::TImpressaoNaoFiscalThread(nao_fiscal_job(kind, dados1, dados2, dados3, dados4, texto));
  });
}
IMP_API void Cli_imp00000_TImpNaoFiscalDlvThread_Create(int32_t, const char* kind, const imp_variant* dados1,
                                                        const imp_variant* dados2, const imp_variant* dados3,
                                                        const imp_variant* dados4, const char* texto) {
  package::guarded_void("TImpNaoFiscalDlvThread.Create", [&] {
    package::TImpNaoFiscalDlvThread(nao_fiscal_job(kind, dados1, dados2, dados3, dados4, texto));
  });
}
IMP_API void Cli_imp00000_TImpCancelamentoThread_Create(int32_t, const char* t1, const char* t2, const char* t3,
                                                        const char* t4, const char* t5, const char* t6, const char* t7,
                                                        const imp_variant* dados, const char* t9, const char* t10,
                                                        const char* t11, const char* t12, const char* t13,
                                                        const char* t14, const char* t15) {
  package::guarded_void("TImpCancelamentoThread.Create", [&] {
    package::TImpCancelamentoThread(
        cancelamento_job(t1, t2, t3, t4, t5, t6, t7, dados, t9, t10, t11, t12, t13, t14, t15));
  });
}

IMP_API void Cli_imp00000_onImpressaoNaoFiscal_Execute(int32_t, const char* kind, const imp_variant* dados1,
                                                       const imp_variant* dados2, const imp_variant* dados3,
                                                       const imp_variant* dados4, const char* texto) {
  package::guarded_void("onImpressaoNaoFiscal.Execute", [&] {
    package::onImpressaoNaoFiscal_Execute(nao_fiscal_job(kind, dados1, dados2, dados3, dados4, texto));
  });
}
IMP_API void Cli_imp00000_onImpNaoFiscalDlv_Execute(int32_t, const char* kind, const imp_variant* dados1,
                                                    const imp_variant* dados2, const imp_variant* dados3,
                                                    const imp_variant* dados4, const char* texto) {
  package::guarded_void("onImpNaoFiscalDlv.Execute", [&] {
    package::onImpNaoFiscalDlv_Execute(nao_fiscal_job(kind, dados1, dados2, dados3, dados4, texto));
  });
}
IMP_API void Cli_imp00000_OnImpCancelamento_Execute(int32_t, const char* t1, const char* t2, const char* t3,
                                                    const char* t4, const char* t5, const char* t6, const char* t7,
                                                    const imp_variant* dados, const char* t9, const char* t10,
                                                    const char* t11, const char* t12, const char* t13, const char* t14,
                                                    const char* t15) {
  package::guarded_void("OnImpCancelamento.Execute", [&] {
    package::OnImpCancelamento_Execute(
        cancelamento_job(t1, t2, t3, t4, t5, t6, t7, dados, t9, t10, t11, t12, t13, t14, t15));
  });
}

}  // extern "C"
