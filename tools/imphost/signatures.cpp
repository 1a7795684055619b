// The signature table: one row per exported name. An entry exported under two names (plain and full)
// takes two rows. To teach imphost a new entry, add its row here; nothing else changes.
#include "signatures.h"

namespace imphost {

namespace {
using enum Param;
using R = Result;

// A job-array entry under its plain name and its full name.
void add_job_array(std::vector<Signature>& table, std::string_view plain, std::string_view full) {
  table.push_back({plain, {JobArray}, R::None});
  table.push_back({full, {JobArray}, R::None});
}

std::vector<Signature> build_table() {
  std::vector<Signature> t = {
      // Package frame and module globals.
      {"GetPackageInfoTable", {}, R::Text},
      {"imp_global_get", {Text, VariantOut}, R::Int},
      {"imp_global_set", {Text, Variant}, R::Int},
      {"imp_pending_list", {}, R::Text},
      {"imp_pending_reprint", {Text, Text, VarText}, R::Int},
      {"imp_pending_drop", {Text}, R::Int},

      // Logs.
      {"Cli_imp00000_LogErroImpNaoFiscal", {Text}, R::None},

      // Number and document utilities.
      {"Cli_imp00000_NumeroEnLetras", {Double}, R::Text},
      {"Cli_imp00000_MDC", {Int, Int}, R::Int},
      {"Cli_imp00000_TrdmImpressoras_formataCPFCNPJ", {Text}, R::Text},
      {"Cli_imp00000_TrdmImpressoras_getSenhaCupom", {WideText, DateTime}, R::Variant},

      // The print data module.
      {"imp_dataset_set", {Text, Variant}, R::Int},
      {"imp_dataset_get", {Text, VariantOut}, R::Int},
      {"Cli_imp00000_TrdmImpressoras_DataModuleCreate", {Variant}, R::None},
      {"Cli_imp00000_TrdmImpressoras_adcImpPedidoBeforeConnect", {Variant}, R::None},
      {"Cli_imp00000_TrdmImpressoras_adcImpPedidoAfterConnect", {Variant}, R::None},
      {"Cli_imp00000_TrdmImpressoras_DefineParametrosImpressora",
       {Text, VarInt, VarText, VarText, VarText, VarText, Text, Text, Text, Text, Text, Text, Text},
       R::None},
      {"Cli_imp00000_TrdmImpressoras_CtrlImpress", {Int, Text, Bool}, R::Bool},
      {"Cli_imp00000_TrdmImpressoras_getPrxVendaConsumidor", {WideText, WideText}, R::Variant},
      {"Cli_imp00000_TrdmImpressoras_PreencheImprimePedido", {}, R::None},
      {"Cli_imp00000_TrdmImpressoras_PreencheParamImpCupNF", {Text, Text, Text, Text, Double, Text}, R::None},
      {"Cli_imp00000_TrdmImpressoras_TrimAppMemorySize", {}, R::None},
      {"Cli_imp00000_TrdmImpressoras_MensagemPadrao", {Text, Text}, R::Text},
  };

  // Orders and sale tickets.
  const std::vector<Param> order_header = {Text, Text, Text, Text, Text, Text, Text, Text, Text, Int};
  const std::vector<Param> sale_ticket = {Variant, Variant, Variant, Variant};
  t.push_back({"Cli_imp00000_ImpPedido_Brasil", {Variant, Variant, Bool}, R::None});
  t.push_back({"Cli_imp00000_ImpPedido_Colombia", {Variant, Variant}, R::None});
  t.push_back({"Cli_imp00000_ImpPedido_Peru", {Variant, Variant}, R::None});
  t.push_back({"Cli_imp00000_ImpPedido_Mexico", {Variant, Variant}, R::None});
  t.push_back({"Cli_imp00000_ImpPedido_Americano", {Variant, Variant}, R::None});
  t.push_back(
      {"Cli_imp00000_Cabecalho_Pedido_Brasil",
       {Text, Text, Text, Text, Text, Text, Text, Text, Text, Text, Text, Text, Text, Int, Bool, Text, Text, Text},
       R::Text});
  t.push_back({"Cli_imp00000_Cabecalho_Pedido_Colombia", order_header, R::Text});
  t.push_back({"Cli_imp00000_Cabecalho_Pedido_Peru", order_header, R::Text});
  t.push_back({"Cli_imp00000_Cabecalho_Pedido_Mexico", order_header, R::Text});
  t.push_back({"Cli_imp00000_Cabecalho_Pedido_Americano", order_header, R::Text});
  t.push_back({"Cli_imp00000_TrdmImpressoras_ConvertFracionario", {Double}, R::Text});
  t.push_back({"Cli_imp00000_ImpCupom_Brasil", {Variant, Variant, Variant, Variant, Text}, R::None});
  t.push_back({"Cli_imp00000_ImpCupom_Colombia", sale_ticket, R::None});
  t.push_back({"Cli_imp00000_ImpCupom_Peru", sale_ticket, R::None});
  t.push_back({"Cli_imp00000_ImpCupom_Mexico", sale_ticket, R::None});
  t.push_back({"Cli_imp00000_ImpCupom_Americano", sale_ticket, R::None});

  // The print spooler.
  t.push_back({"Cli_imp00000_TrdmImpressoras_SendSpool", {Text, Text, Text, Text, Text, Bool, Bool}, R::Int});
  t.push_back({"Cli_imp00000_GetHost", {}, R::Text});
  t.push_back({"Cli_imp00000_GetIpAddress", {}, R::Text});

  // The makers' libraries and the device operations.
  t.push_back({"StartMp2032", {}, R::Int});
  t.push_back({"Cli_imp00000_StartMp2032", {}, R::Int});
  t.push_back({"StartDarumaFrameWork", {}, R::Int});
  t.push_back({"Cli_imp00000_StartDarumaFrameWork", {}, R::Int});
  t.push_back({"StartKioskDll", {}, R::Int});
  t.push_back({"Cli_imp00000_StartKioskDll", {}, R::Int});
  t.push_back({"StartInterfaceEpsonNF", {Text}, R::Int});
  t.push_back({"Cli_imp00000_StartInterfaceEpsonNF", {Text}, R::Int});
  t.push_back({"StartSI300", {Text, Text}, R::Int});
  t.push_back({"Cli_imp00000_StartSI300", {Text, Text}, R::Int});
  for (const char* stop : {"Cli_imp00000_StopMp2032", "Cli_imp00000_StopDarumaFrameWork",
                           "Cli_imp00000_StopInterfaceEpsonNF", "Cli_imp00000_StopSI300", "Cli_imp00000_StopKioskDll"})
    t.push_back({stop, {}, R::None});
  const std::vector<Param> format_tx = {Text, Text, Int, Int, Int, Int, Int};
  t.push_back({"Cli_imp00000_TrdmImpressoras_IniciaPorta_DLL", {Text, Text}, R::Int});
  t.push_back({"Cli_imp00000_TrdmImpressoras_FormataTX_DLL", format_tx, R::Int});
  t.push_back({"Cli_imp00000_TrdmImpressoras_EnviaTX_DLL", format_tx, R::Int});
  t.push_back({"Cli_imp00000_TrdmImpressoras_ConfCodBarras_DLL", {Text, Int, Int, Int, Int, Int}, R::Int});
  t.push_back({"Cli_imp00000_TrdmImpressoras_ImprimeCODE128_DLL", {Text, Text}, R::Int});
  t.push_back({"Cli_imp00000_TrdmImpressoras_ImprimeQRCode_DLL", {Text, Text, Text}, R::Int});
  t.push_back({"Cli_imp00000_TrdmImpressoras_AcionaGaveta_DLL", {Text}, R::Int});
  t.push_back({"Cli_imp00000_TrdmImpressoras_AcionaGuilhotina_DLL", {Text, Int}, R::Int});
  t.push_back({"Cli_imp00000_TrdmImpressoras_ComandoTX_DLL", {Text, Text}, R::Int});
  t.push_back({"Cli_imp00000_TrdmImpressoras_PrintNVBitmap_DLL", {Text, Text, Text, Text}, R::Int});
  t.push_back({"Cli_imp00000_TrdmImpressoras_FechaPorta_DLL", {Text, Text}, R::Int});
  t.push_back({"Cli_imp00000_TrdmImpressoras_StatusGaveta", {Text, Text}, R::Int});
  t.push_back({"VerificaStatusGaveta", {Text, Text}, R::Int});
  t.push_back({"Cli_imp00000_VerificaStatusGaveta", {Text, Text}, R::Int});
  t.push_back({"AbreGaveta", {Text, Text}, R::None});
  t.push_back({"Cli_imp00000_AbreGaveta", {Text, Text}, R::None});

  // Bitmap pages and the capture of printed documents.
  t.push_back({"Cli_imp00000_StartBitMap", {Text}, R::None});
  t.push_back({"Cli_imp00000_SaveTextBitMap", {Text, Text, Text, Text}, R::Int});
  t.push_back({"Cli_imp00000_SaveQrCodeBitMap", {Text}, R::Int});
  t.push_back({"Cli_imp00000_SaveBarCodeBitMap", {Text}, R::Int});
  t.push_back({"Cli_imp00000_StopAndPrintBitMap", {}, R::Int});
  t.push_back({"Cli_imp00000_ResizeBitMap", {}, R::None});
  t.push_back({"Cli_imp00000_ResizeBitMap2", {}, R::None});
  t.push_back({"Cli_imp00000_GerarCodigo", {Text, Text}, R::Int});
  t.push_back({"Cli_imp00000_IniciaPorta_BitMap", {Text, Text}, R::None});
  t.push_back({"Cli_imp00000_FormataTX_BitMap", format_tx, R::None});
  t.push_back({"Cli_imp00000_ImprimeCODE128_BitMap", {Text, Text}, R::None});
  t.push_back({"Cli_imp00000_ImprimeQRCode_BitMap", {Text, Text, Text}, R::None});
  t.push_back({"Cli_imp00000_FechaPorta_BitMap", {Text, Text}, R::None});
  t.push_back({"Cli_imp00000_FormataTexto_BitMap", {Text, Text}, R::Int});

  // Print jobs and direct routines that take an array of values.
  add_job_array(t, "DisparaImpressaoNaoFiscal", "Cli_imp00000_DisparaImpressaoNaoFiscal");
  add_job_array(t, "DisparaImpNaoFiscalDlv", "Cli_imp00000_DisparaImpNaoFiscalDlv");
  add_job_array(t, "DisparaImprimeCancProduto", "Cli_imp00000_DisparaImprimeCancProduto");
  add_job_array(t, "LogImpNFiscal", "Cli_imp00000_LogImpNFiscal");

  // The job thread classes: Create starts the job's thread, Execute runs the job on the caller's thread.
  const std::vector<Param> nao_fiscal = {Bool, Text, Variant, Variant, Variant, Variant, Text};
  const std::vector<Param> cancelamento = {Bool,    Text, Text, Text, Text, Text, Text, Text,
                                           Variant, Text, Text, Text, Text, Text, Text, Text};
  t.push_back({"Cli_imp00000_TImpressaoNaoFiscalThread_Create", nao_fiscal, R::None});
  t.push_back({"Cli_imp00000_TImpNaoFiscalDlvThread_Create", nao_fiscal, R::None});
  t.push_back({"Cli_imp00000_TImpCancelamentoThread_Create", cancelamento, R::None});
  t.push_back({"Cli_imp00000_onImpressaoNaoFiscal_Execute", nao_fiscal, R::None});
  t.push_back({"Cli_imp00000_onImpNaoFiscalDlv_Execute", nao_fiscal, R::None});
  t.push_back({"Cli_imp00000_OnImpCancelamento_Execute", cancelamento, R::None});
  add_job_array(t, "FechaCaixa_Reducaoz", "Cli_imp00000_FechaCaixa_Reducaoz");
  add_job_array(t, "setCupomCancelado", "Cli_imp00000_setCupomCancelado");
  add_job_array(t, "Comp_DebitoCons_Bematech_NaoFiscal", "Cli_imp00000_Comp_DebitoCons_Bematech_NaoFiscal");
  add_job_array(t, "Imp_Compr_Cred", "Cli_imp00000_Imp_Compr_Cred");
  add_job_array(t, "setNFCeCancelado", "Cli_imp00000_setNFCeCancelado");
  add_job_array(t, "Imp_Extrato_SAT_Canc", "Cli_imp00000_Imp_Extrato_SAT_Canc");
  add_job_array(t, "Imp_Extrato_SAT_Ger", "Cli_imp00000_Imp_Extrato_SAT_Ger");

  // Cancellations, partial bill, delivery ticket and the MP-100 unit.
  const std::vector<Param> thirteen(13, Text);
  std::vector<Param> canc_produto = {Variant};
  canc_produto.insert(canc_produto.end(), thirteen.begin(), thirteen.end());
  t.push_back({"Cli_imp00000_ImpCancProduto", canc_produto, R::None});
  t.push_back({"Cli_imp00000_ImpParcialConta_Brasil", {Text}, R::None});
  t.push_back({"ImprimeEntrega", {Text, Text, Text, Text}, R::Int});
  t.push_back({"Cli_imp00000_ImprimeEntrega", {Text, Text, Text, Text}, R::Int});
  t.push_back({"Cli_imp00000_TrdmImpressoras_FormataBematech_MP100", {Text, Text}, R::Text});
  std::vector<Param> canc_mp100(14, WideText);
  canc_mp100.push_back(Bool);
  canc_mp100.insert(canc_mp100.end(), 8, WideText);
  canc_mp100.insert(canc_mp100.end(), {Variant, VarInt});
  t.push_back({"Cli_imp00400_TrdmBematechMP100_setCupomCancelado_MP100", canc_mp100, R::None});
  std::vector<Param> conta(5, Text);
  conta.push_back(Variant);
  conta.insert(conta.end(), 7, Double);
  conta.insert(conta.end(), 17, Text);
  t.push_back({"Cli_imp00400_TrdmBematechMP100_ImpConta_Bematech_MP100", conta, R::None});
  t.push_back({"Cli_imp00400_TrdmBematechMP100_ImpCancelamento_Bematech_MP100", canc_produto, R::None});
  t.push_back({"Cli_imp00400_TrdmBematechMP100_Formata_Bematech_MP100", {Text}, R::Text});
  t.push_back({"Cli_imp00400_TrdmBematechMP100_adcBematechMP100BeforeConnect", {}, R::None});
  t.push_back({"Cli_imp00400_TrdmBematechMP100_adcBematechMP100AfterConnect", {}, R::None});

  // Zebra labels.
  t.push_back({"Cli_imp00000_TrdmImpressoras_ImpEtiqZebra45x25", {Variant, Text, Text}, R::None});
  t.push_back({"Cli_imp00000_TrdmImpressoras_ImpEtiqZebra95x70", {Variant, Text, Text}, R::None});
  t.push_back({"Cli_imp00000_TrdmImpressoras_ImpZebraZd220", {Text, Text, Text, Text, Text}, R::None});
  t.push_back({"Cli_imp00000_LogZebra", {Text}, R::None});

  // Consumer accounts, loyalty and the payment QR code (the receipts are job arrays, above).
  t.push_back({"Cli_imp00000_TrdmImpressoras_RetornaSaldoConsumidor", std::vector<Param>(6, Text), R::None});
  t.push_back({"Cli_imp00000_TrdmImpressoras_getConsumo", std::vector<Param>(5, Text), R::Double});
  t.push_back({"Cli_imp00000_TrdmImpressoras_getSaldoExcedente", {Text, Text, Text}, R::Double});
  t.push_back({"Cli_imp00000_TrdmImpressoras_ImprimirConsumidor", {Text, Text}, R::Bool});
  t.push_back({"Cli_imp00000_TrdmImpressoras_cupomEnviadoEmail", {Text, Text, Text}, R::Bool});
  t.push_back({"Cli_imp00000_TrdmImpressoras_getCampanha", {Text}, R::Variant});
  t.push_back({"Cli_imp00000_TrdmImpressoras_getDescSaldoFid", std::vector<Param>(5, Text), R::Variant});
  t.push_back({"Cli_imp00000_TrdmImpressoras_criaOrdemCRMBONUS", {}, R::Bool});
  t.push_back({"Cli_imp00000_TrdmImpressoras_retornaCampoJSONCRMBONUS", {Text}, R::Text});
  t.push_back({"imprimeQRCodeAME", {Text, Text}, R::None});
  t.push_back({"Cli_imp00000_imprimeQRCodeAME", {Text, Text}, R::None});
  return t;
}
}  // namespace

const std::vector<Signature>& signatures() {
  static const std::vector<Signature> table = build_table();
  return table;
}

const Signature* find_signature(std::string_view name) {
  for (const Signature& s : signatures())
    if (s.name == name) return &s;
  return nullptr;
}

}  // namespace imphost
