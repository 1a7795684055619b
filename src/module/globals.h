// The module's exported globals: printer state, flags copied from the host parameters, library handles and
// entry variables. They are shared by every entry point and job thread and carry over from one job to the
// next; the jobs serialise on `cs`. Each value guards itself, so the host may read or write one by name
// (imp_global_get/imp_global_set) while a job runs without tearing it.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/variant.h"

namespace imp {

// A text global (Windows-1252).
class GlobalText {
 public:
  std::string get() const {
    std::lock_guard lk(m_);
    return v_;
  }
  void set(std::string v) {
    std::lock_guard lk(m_);
    v_ = std::move(v);
  }
  void clear() { set({}); }
  operator std::string() const { return get(); }
  GlobalText& operator=(std::string v) {
    set(std::move(v));
    return *this;
  }
  bool operator==(std::string_view s) const {
    std::lock_guard lk(m_);
    return v_ == s;
  }

 private:
  mutable std::mutex m_;
  std::string v_;
};

class GlobalVariant {
 public:
  Variant get() const {
    std::lock_guard lk(m_);
    return v_;
  }
  void set(Variant v) {
    std::lock_guard lk(m_);
    v_ = std::move(v);
  }

 private:
  mutable std::mutex m_;
  Variant v_;
};

using GlobalBool = std::atomic<bool>;
using GlobalInt = std::atomic<int32_t>;
// Objects, handles and entry variables: the host sees only whether they are assigned.
using GlobalHandle = std::atomic<void*>;

namespace globals {

// ---- objects ----
extern std::atomic<std::recursive_mutex*> cs;  // serialises print jobs; created by Initialize
extern GlobalHandle rdmImpressoras;            // the print data module; nil until first needed
extern GlobalHandle rdmBematechMP100;          // data module of the MP-100 unit
extern GlobalHandle hPrinter, cPorta, BitMapCupom;

// ---- booleans ----
extern GlobalBool boPulaFree, boImprCupom, boReimpressaoPedido, boVendaDebCons, boVendaCredCons, boFimPedidoZebra,
    boSistemaZelSat, Rev_boSistemaZelNFCe, boPortaFechada, boUtilizaDLL;

// ---- integers ----
extern GlobalInt itPaperWidth, itYResolution, itCanvasWidth;

// ---- variants exported for the host ----
extern GlobalVariant oleDadosConta, oleDadosPedido;

// ---- texts ----
extern GlobalText Rev_stIdEsquema, stTipoImpressora, stIdTipoImpNF1, stCdPortImpNF1, stIdVendImpNF1, stIdTipoImpNF2,
    stCdPortImpNF2, stIdVendImpNF2, stIdTipoImpNF3, stCdPortImpNF3, stIdVendImpNF3, stNrSeqImprLoja2, stIdImpCompCupVen,
    stIdOrdemImpObs, stEnviaCupomEmail, stIdImpPuxAntPed, stIdDebConsCentral, stDtAbertur, stIdExtConsCentral, stFilial,
    stCaixa, stNmRazSocFili, stNmMunicipioFili, stSgEstadoFili, stDsEndeFili, stNmBairFili, stIdInscMuniFili,
    stCdInsJurEmpr, stCdInscEstaEmpr, stDsObsCup, stEnterSat, stCortaPapelSat, stImpressoraAuxSat, stPortaAuxSat,
    stImpSaldoCupom, stImpQrCodeG, stAbreGaveta, stIDUTILFONTEXP, stSaldoCRMBONUS, stUrlCRMBONUS, stAuthCRMBONUS,
    stCodeCRMBONUS, stCRMBONUSResult, stPortaAux, stTextoDocumento, stPrinterName, stPortaDireta, stPortaSpool,
    stIpAddress, stHostName, stImpressoraPLUS2, stNrCupom, stMsgCod, stMsgIncrMun, stMsgCxSerie, stMsgData, stMsgHora,
    stMsgDesc, stMsgQtdUni, stMsgSoma, stMsgSubtotal, stMsgAtencao, stMsgImposto, stMsgDesconto, stMsgAcrescimo,
    stMsgTotal;

// ---- vendor library handles ----
extern GlobalHandle DLLMp2032, DLLDarumaFrameWork, DLLInterfaceEpsonNF, DLLSI300, DLLKiosk, DLLMEGENCOM32,
    DLLP32GeCodeBar;

// ---- entry variables of the vendor libraries, by name ----
GlobalHandle* entry(std::string_view name);  // nullptr for an unknown name

// The job lock `cs`, held until the returned lock goes (nothing held when the package has not created it).
inline std::unique_lock<std::recursive_mutex> lock_cs() {
  std::recursive_mutex* m = cs.load();
  return m ? std::unique_lock<std::recursive_mutex>(*m) : std::unique_lock<std::recursive_mutex>();
}

// ---- access by name ----
enum class Kind { Text, Bool, Int, Variant, Object };
struct Entry {
  const char* name;
  Kind kind;
  void* ptr;
};
// Every exported global, in declaration order.
const std::vector<Entry>& all();
const Entry* find(std::string_view name);
bool get(std::string_view name, Variant& out);
// False for an unknown name, an object global or a value that does not convert.
bool set(std::string_view name, const Variant& value);

// The texts and variants the main unit's finalisation clears, in its order.
void clear_at_unload();

}  // namespace globals
}  // namespace imp
