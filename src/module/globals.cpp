#include "module/globals.h"

#include <map>

#include "platform/error.h"

namespace imp::globals {

std::atomic<std::recursive_mutex*> cs{nullptr};
GlobalHandle rdmImpressoras{nullptr}, rdmBematechMP100{nullptr};
GlobalHandle hPrinter{nullptr}, cPorta{nullptr}, BitMapCupom{nullptr};

GlobalBool boPulaFree{false}, boImprCupom{false}, boReimpressaoPedido{false}, boVendaDebCons{false},
    boVendaCredCons{false}, boFimPedidoZebra{false}, boSistemaZelSat{false}, Rev_boSistemaZelNFCe{false},
    boPortaFechada{true}, boUtilizaDLL{false};

GlobalInt itPaperWidth{0}, itYResolution{0}, itCanvasWidth{0};

GlobalVariant oleDadosConta, oleDadosPedido;

GlobalText Rev_stIdEsquema, stTipoImpressora, stIdTipoImpNF1, stCdPortImpNF1, stIdVendImpNF1, stIdTipoImpNF2,
    stCdPortImpNF2, stIdVendImpNF2, stIdTipoImpNF3, stCdPortImpNF3, stIdVendImpNF3, stNrSeqImprLoja2, stIdImpCompCupVen,
    stIdOrdemImpObs, stEnviaCupomEmail, stIdImpPuxAntPed, stIdDebConsCentral, stDtAbertur, stIdExtConsCentral, stFilial,
    stCaixa, stNmRazSocFili, stNmMunicipioFili, stSgEstadoFili, stDsEndeFili, stNmBairFili, stIdInscMuniFili,
    stCdInsJurEmpr, stCdInscEstaEmpr, stDsObsCup, stEnterSat, stCortaPapelSat, stImpressoraAuxSat, stPortaAuxSat,
    stImpSaldoCupom, stImpQrCodeG, stAbreGaveta, stIDUTILFONTEXP, stSaldoCRMBONUS, stUrlCRMBONUS, stAuthCRMBONUS,
    stCodeCRMBONUS, stCRMBONUSResult, stPortaAux, stTextoDocumento, stPrinterName, stPortaDireta, stPortaSpool,
    stIpAddress, stHostName, stImpressoraPLUS2, stNrCupom, stMsgCod, stMsgIncrMun, stMsgCxSerie, stMsgData, stMsgHora,
    stMsgDesc, stMsgQtdUni, stMsgSoma, stMsgSubtotal, stMsgAtencao, stMsgImposto, stMsgDesconto, stMsgAcrescimo,
    stMsgTotal;

GlobalHandle DLLMp2032{nullptr}, DLLDarumaFrameWork{nullptr}, DLLInterfaceEpsonNF{nullptr}, DLLSI300{nullptr},
    DLLKiosk{nullptr}, DLLMEGENCOM32{nullptr}, DLLP32GeCodeBar{nullptr};

namespace {

// Entry variables bound by the Start routines of the makers' libraries.
const char* const kEntryNames[] = {
    // MP2032
    "IniciaPorta_Bema", "FormataTX_Bema", "ConfiguraCodigoBarras_Bema", "ImprimeCodigoQRCODE_Bema",
    "ImprimeCodigoBarrasCODE128_Bema", "AcionaGuilhotina_Bema", "ComandoTX_Bema", "DefineNVBitmap_Bema",
    "PrintNVBitmap_Bema", "FechaPorta_Bema", "Le_Status_Gaveta",
    // Daruma framework and its QR generator
    "eDefinirProduto_Daruma", "iImprimirTexto_DUAL_DarumaFramework", "rStatusGaveta_DUAL_DarumaFramework",
    "GerarQrCodeBMP_Daruma",
    // Epson
    "ConfiguraTaxaSerial_Epson", "IniciaPorta_Epson", "FormataTX_Epson", "ConfiguraCodigoBarras_Epson",
    "ImprimeCodigoQRCODE_Epson", "ImprimeTextoTag_Epson", "ImprimeCodigoBarrasCODE128_Epson", "AcionaGaveta_Epson",
    "AcionaGuilhotina_Epson", "ComandoTX_Epson", "FechaPorta_Epson",
    // SI300
    "SI300_eBuscarPortaVelocidade", "SI300_iImprimirTexto", "SI300_iAcionarGaveta", "SI300_fecharPorta",
    "SI300_iImprimeQRCode_TextoDireita", "SI300_setIP_Porta", "SI300_Criar_NovoDispositivo", "SI300_setSize_Qrcode",
    // kiosk
    "KIOSK_OpenCom", "KIOSK_SetComTimeOuts", "KIOSK_CloseCom", "KIOSK_OpenLptByDrv", "KIOSK_CloseDrvLPT",
    "KIOSK_OpenUsb", "KIOSK_OpenUsbByID", "KIOSK_SetUsbTimeOuts", "KIOSK_CloseUsb", "KIOSK_S_Textout",
    "KIOSK_S_PrintBarcode", "KIOSK_CutPaper", "KIOSK_FeedLines", "KIOSK_S_SetAlignMode", "KIOSK_WriteData"};
constexpr std::size_t kEntryCount = sizeof kEntryNames / sizeof kEntryNames[0];
GlobalHandle g_entries[kEntryCount];

std::vector<Entry> build() {
  std::vector<Entry> e;
  auto obj = [&](const char* n, void* p) { e.push_back({n, Kind::Object, p}); };
  auto b = [&](const char* n, GlobalBool& g) { e.push_back({n, Kind::Bool, &g}); };
  auto i = [&](const char* n, GlobalInt& g) { e.push_back({n, Kind::Int, &g}); };
  auto v = [&](const char* n, GlobalVariant& g) { e.push_back({n, Kind::Variant, &g}); };
  auto t = [&](const char* n, GlobalText& g) { e.push_back({n, Kind::Text, &g}); };
  obj("cs", &cs);
  obj("rdmImpressoras", &rdmImpressoras);
  b("boPulaFree", boPulaFree);
  b("boImprCupom", boImprCupom);
  b("boReimpressaoPedido", boReimpressaoPedido);
  b("boVendaDebCons", boVendaDebCons);
  b("boVendaCredCons", boVendaCredCons);
  b("boFimPedidoZebra", boFimPedidoZebra);
  b("boSistemaZelSat", boSistemaZelSat);
  b("Rev_boSistemaZelNFCe", Rev_boSistemaZelNFCe);
  t("Rev_stIdEsquema", Rev_stIdEsquema);
  t("stTipoImpressora", stTipoImpressora);
  t("stIdTipoImpNF1", stIdTipoImpNF1);
  t("stCdPortImpNF1", stCdPortImpNF1);
  t("stIdVendImpNF1", stIdVendImpNF1);
  t("stIdTipoImpNF2", stIdTipoImpNF2);
  t("stCdPortImpNF2", stCdPortImpNF2);
  t("stIdVendImpNF2", stIdVendImpNF2);
  t("stIdTipoImpNF3", stIdTipoImpNF3);
  t("stCdPortImpNF3", stCdPortImpNF3);
  t("stIdVendImpNF3", stIdVendImpNF3);
  t("stNrSeqImprLoja2", stNrSeqImprLoja2);
  t("stIdImpCompCupVen", stIdImpCompCupVen);
  t("stIdOrdemImpObs", stIdOrdemImpObs);
  t("stEnviaCupomEmail", stEnviaCupomEmail);
  t("stIdImpPuxAntPed", stIdImpPuxAntPed);
  t("stIdDebConsCentral", stIdDebConsCentral);
  t("stDtAbertur", stDtAbertur);
  t("stIdExtConsCentral", stIdExtConsCentral);
  t("stFilial", stFilial);
  t("stCaixa", stCaixa);
  t("stNmRazSocFili", stNmRazSocFili);
  t("stNmMunicipioFili", stNmMunicipioFili);
  t("stSgEstadoFili", stSgEstadoFili);
  t("stDsEndeFili", stDsEndeFili);
  t("stNmBairFili", stNmBairFili);
  t("stIdInscMuniFili", stIdInscMuniFili);
  t("stCdInsJurEmpr", stCdInsJurEmpr);
  t("stCdInscEstaEmpr", stCdInscEstaEmpr);
  t("stDsObsCup", stDsObsCup);
  t("stEnterSat", stEnterSat);
  t("stCortaPapelSat", stCortaPapelSat);
  t("stImpressoraAuxSat", stImpressoraAuxSat);
  t("stPortaAuxSat", stPortaAuxSat);
  t("stImpSaldoCupom", stImpSaldoCupom);
  t("stImpQrCodeG", stImpQrCodeG);
  t("stAbreGaveta", stAbreGaveta);
  t("stIDUTILFONTEXP", stIDUTILFONTEXP);
  t("stSaldoCRMBONUS", stSaldoCRMBONUS);
  t("stUrlCRMBONUS", stUrlCRMBONUS);
  t("stAuthCRMBONUS", stAuthCRMBONUS);
  t("stCodeCRMBONUS", stCodeCRMBONUS);
  t("stCRMBONUSResult", stCRMBONUSResult);
  t("stPortaAux", stPortaAux);
  t("stTextoDocumento", stTextoDocumento);
  t("stPrinterName", stPrinterName);
  b("boPortaFechada", boPortaFechada);
  t("stPortaDireta", stPortaDireta);
  t("stPortaSpool", stPortaSpool);
  b("boUtilizaDLL", boUtilizaDLL);
  t("stIpAddress", stIpAddress);
  t("stHostName", stHostName);
  t("stImpressoraPLUS2", stImpressoraPLUS2);
  obj("hPrinter", &hPrinter);
  obj("cPorta", &cPorta);
  obj("BitMapCupom", &BitMapCupom);
  i("itPaperWidth", itPaperWidth);
  i("itYResolution", itYResolution);
  i("itCanvasWidth", itCanvasWidth);
  obj("DLLMp2032", &DLLMp2032);
  obj("DLLDarumaFrameWork", &DLLDarumaFrameWork);
  obj("DLLInterfaceEpsonNF", &DLLInterfaceEpsonNF);
  obj("DLLSI300", &DLLSI300);
  obj("DLLKiosk", &DLLKiosk);
  obj("DLLMEGENCOM32", &DLLMEGENCOM32);
  obj("DLLP32GeCodeBar", &DLLP32GeCodeBar);
  for (std::size_t k = 0; k < kEntryCount; ++k) obj(kEntryNames[k], &g_entries[k]);
  v("oleDadosConta", oleDadosConta);
  v("oleDadosPedido", oleDadosPedido);
  t("stNrCupom", stNrCupom);
  t("stMsgCod", stMsgCod);
  t("stMsgIncrMun", stMsgIncrMun);
  t("stMsgCxSerie", stMsgCxSerie);
  t("stMsgData", stMsgData);
  t("stMsgHora", stMsgHora);
  t("stMsgDesc", stMsgDesc);
  t("stMsgQtdUni", stMsgQtdUni);
  t("stMsgSoma", stMsgSoma);
  t("stMsgSubtotal", stMsgSubtotal);
  t("stMsgAtencao", stMsgAtencao);
  t("stMsgImposto", stMsgImposto);
  t("stMsgDesconto", stMsgDesconto);
  t("stMsgAcrescimo", stMsgAcrescimo);
  t("stMsgTotal", stMsgTotal);
  obj("rdmBematechMP100", &rdmBematechMP100);
  return e;
}

bool assigned(const Entry& e) {
  if (e.ptr == static_cast<void*>(&cs)) return cs.load() != nullptr;
  return static_cast<GlobalHandle*>(e.ptr)->load() != nullptr;
}

}  // namespace

GlobalHandle* entry(std::string_view name) {
  for (std::size_t k = 0; k < kEntryCount; ++k)
    if (name == kEntryNames[k]) return &g_entries[k];
  return nullptr;
}

const std::vector<Entry>& all() {
  static const std::vector<Entry> entries = build();
  return entries;
}

const Entry* find(std::string_view name) {
  static const std::map<std::string, const Entry*, std::less<>> index = [] {
    std::map<std::string, const Entry*, std::less<>> m;
    for (const auto& e : all()) m.emplace(e.name, &e);
    return m;
  }();
  auto it = index.find(name);
  return it == index.end() ? nullptr : it->second;
}

bool get(std::string_view name, Variant& out) {
  const Entry* e = find(name);
  if (!e) return false;
  switch (e->kind) {
    case Kind::Text: out = Variant(static_cast<GlobalText*>(e->ptr)->get()); break;
    case Kind::Bool: out = Variant(static_cast<GlobalBool*>(e->ptr)->load()); break;
    case Kind::Int: out = Variant(static_cast<int32_t>(static_cast<GlobalInt*>(e->ptr)->load())); break;
    case Kind::Variant: out = static_cast<GlobalVariant*>(e->ptr)->get(); break;
    case Kind::Object: out = Variant(assigned(*e)); break;
  }
  return true;
}

bool set(std::string_view name, const Variant& value) {
  const Entry* e = find(name);
  if (!e) return false;
  try {
    switch (e->kind) {
      case Kind::Text: static_cast<GlobalText*>(e->ptr)->set(value.to_text()); return true;
      case Kind::Bool: static_cast<GlobalBool*>(e->ptr)->store(value.to_bool()); return true;
      case Kind::Int: static_cast<GlobalInt*>(e->ptr)->store(value.to_int()); return true;
      case Kind::Variant: static_cast<GlobalVariant*>(e->ptr)->set(value); return true;
      case Kind::Object: return false;
    }
  } catch (const Error&) {
    return false;
  }
  return false;
}

void clear_at_unload() {
  for (GlobalText* g :
       {&Rev_stIdEsquema, &stCRMBONUSResult, &stCodeCRMBONUS, &stAuthCRMBONUS, &stUrlCRMBONUS, &stSaldoCRMBONUS,
        &stIdVendImpNF3, &stCdPortImpNF3, &stIdTipoImpNF3, &stIdOrdemImpObs, &stIdImpCompCupVen, &stIdVendImpNF2,
        &stIdVendImpNF1, &stCdPortImpNF2, &stIdTipoImpNF2, &stCdPortImpNF1, &stIdTipoImpNF1, &stNrSeqImprLoja2})
    g->clear();
  for (GlobalText* g :
       {&stImpQrCodeG,      &stDtAbertur,   &stIdExtConsCentral, &stIdDebConsCentral, &stIdImpPuxAntPed,
        &stEnviaCupomEmail, &stAbreGaveta,  &stImpSaldoCupom,    &stPortaAuxSat,      &stImpressoraAuxSat,
        &stCortaPapelSat,   &stEnterSat,    &stDsObsCup,         &stCdInscEstaEmpr,   &stCdInsJurEmpr,
        &stIdInscMuniFili,  &stNmBairFili,  &stDsEndeFili,       &stSgEstadoFili,     &stNmMunicipioFili,
        &stNmRazSocFili,    &stCaixa,       &stFilial,           &stTipoImpressora,   &stMsgTotal,
        &stMsgAcrescimo,    &stMsgDesconto, &stMsgImposto,       &stMsgAtencao,       &stMsgSubtotal,
        &stMsgSoma,         &stMsgQtdUni,   &stMsgDesc,          &stMsgHora,          &stMsgData,
        &stMsgCxSerie,      &stMsgIncrMun,  &stMsgCod,           &stNrCupom})
    g->clear();
  oleDadosPedido.set(Variant());
  oleDadosConta.set(Variant());
  for (GlobalText* g : {&stIDUTILFONTEXP, &stHostName, &stIpAddress, &stPortaSpool, &stPortaDireta, &stPrinterName,
                        &stTextoDocumento, &stImpressoraPLUS2, &stPortaAux})
    g->clear();
}

}  // namespace imp::globals
