// The query catalogue against the demo database: every query prepares and runs in SQLite, the SQL Server texts
// are the reference texts word for word, and the demo restaurant answers the way the printouts expect.
#include "module/catalogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/cp1252.h"
#include "platform/database.h"
#include "platform/error.h"
#include "platform/rtl.h"
#include "support/demo_db.h"
#include "support/test_support.h"

namespace imp {
namespace {

using test::create_demo_db;
using test::TempDir;

Variant at(const char* iso) {
  return Variant::date_time(*ParseIsoDateTime(iso));
}

// A sample value for every query parameter, consistent with db/demo.sql. A new query whose parameter is
// missing here fails EveryQueryRunsOnTheDemoDatabase until its sample is added.
const std::map<std::string, Variant>& samples() {
  static const std::map<std::string, Variant> values = {
      {"CDCAIXA", "001"},
      {"CDFILIAL", "0001"},
      {"CDPRODUTO", "2007"},
      {"P_CDARVPROD", "02.01.007"},
      {"P_CDCAIXA", "001"},
      {"P_CDCAMPANHA", "NATAL26"},
      {"P_CDCLIENTE", "0000001"},
      {"P_CDCONSUMIDOR", "00458"},
      {"P_CDEMPRESA", "0001"},
      {"P_CDIDENTBUTON", "3003"},
      {"P_CDFILIAL", "0001"},
      {"P_CDLOJA", "01"},
      {"P_CDOPERADOR", "0007"},
      {"P_CDPRODUTO", "2007"},
      {"P_CDTIPORECE", "002"},
      {"P_CDVENDEDOR", "0003"},
      {"P_DTABERCAIX", at("2026-12-09T08:00:00")},
      {"P_DTABERTUR", at("2026-12-09T08:00:00")},
      {"P_DSOCORR", "COM GRANOLA"},
      {"P_DATAHOJE", at("2026-12-09T00:00:00")},
      {"P_DTENTRVENDA", at("2026-11-25T23:59:59")},
      {"P_DTFIN", at("2026-12-09T23:59:59")},
      {"P_DTINI", at("2026-12-01T00:00:00")},
      {"P_DTMOVIMCLIE", at("2026-12-09T00:00:00")},
      {"P_NRCOMANDA", "0012"},
      {"P_NRMESA", "12"},
      {"P_NRSEQIMPRLOJA", "1"},
      {"P_NRSEQVENDA", "0000001042"},
      {"P_NRVENDAREST", "0000000087"},
  };
  return values;
}

// The SQL Server text of each query, exactly as the host database's queries are written.
const std::map<std::string, std::string>& reference_texts() {
  static const std::map<std::string, std::string> texts = {
      {"adqImpZebra", "select IDETIQZEBRA from PARAVEND where CDFILIAL = :CDFILIAL"},
      {"adqBuscaDescProd",
       "SELECT DSBUTTON FROM ITMENUCONFTE IT, CAIXA CX WHERE CX.NRCONFTELA = IT.NRCONFTELA AND CX.CDFILIAL = "
       ":P_CDFILIAL AND CX.CDCAIXA = :P_CDCAIXA AND IT.CDIDENTBUTON = :P_CDIDENTBUTON"},
      {"adqControleObs",
       "SELECT CDPRODUTO, DSOCORR, IDCONTROLAOBS FROM OBSITEMVENDA OB, OCORRENCIA OC WHERE OC.CDPRODUTO IS NOT NULL "
       "AND OB.NRSEQVENDA = :P_NRSEQVENDA AND OB.CDCAIXA    = :P_CDCAIXA AND OB.CDFILIAL   = :P_CDFILIAL AND "
       "OC.DSOCORR    = :P_DSOCORR AND OB.CDOCORR    = OC.CDOCORR AND OB.CDGRPOCOR  = OC.CDGRPOCOR"},
      {"adqImpQtCombo", "SELECT IDIMPQTCOMBO FROM PARAVEND WHERE CDFILIAL = :P_CDFILIAL"},
      {"adqControlaPos",
       "SELECT IDLUGARMESA,IDUTLCORTEPED, DSENDEZEBRA FROM LOJA WHERE CDFILIAL = :P_CDFILIAL AND CDLOJA = :P_CDLOJA"},
      {"adqAmbiente",
       "SELECT M.CDSALA, S.NMSALA FROM MESA M, SALA S WHERE (M.CDFILIAL = S.CDFILIAL) AND (M.CDSALA = S.CDSALA) AND "
       "(M.CDFILIAL = :P_CDFILIAL) AND (M.CDLOJA = :P_CDLOJA) AND (M.NRMESA = :P_NRMESA)"},
      {"adqGetProdPes", "SELECT IDPESAPROD FROM PRODUTO WHERE CDARVPROD = :P_CDARVPROD"},
      {"adqNomeCombo", "SELECT NMPRODUTO FROM PRODUTO WHERE CDPRODUTO = :CDPRODUTO"},
      {"adqObsCanc",
       "SELECT A.CDPRODUTO, A.NMPRODUTO, A.QTPRODVENDC FROM (SELECT PR.CDPRODUTO, PR.NMPRODUTO, SUM(IT.QTPRODVENDC) "
       "AS QTPRODVENDC FROM OBSITEMVENDA OB, OCORRENCIA OC, ITVENDACAN IT, PRODUTO PR WHERE OC.CDPRODUTO IS NOT NULL "
       "AND OB.CDFILIAL = :P_CDFILIAL AND OB.CDCAIXA = :P_CDCAIXA AND OB.NRSEQVENDA = :P_NRSEQVENDA AND OB.CDGRPOCOR "
       "= OC.CDGRPOCOR AND OB.CDOCORR = OC.CDOCORR AND IT.CDFILIAL = OB.CDFILIAL AND IT.CDCAIXA = OB.CDCAIXA AND "
       "IT.NRSEQVENDA = OB.NRSEQVENDA AND IT.CDPRODUTO = OC.CDPRODUTO AND IT.CDPRODUTO = PR.CDPRODUTO GROUP BY "
       "PR.CDPRODUTO, PR.NMPRODUTO) A"},
      {"adqObsProd",
       "SELECT CDPRODUTO FROM OBSITEMVENDA OB INNER JOIN OCORRENCIA OC ON OB.CDOCORR = OC.CDOCORR AND OB.CDGRPOCOR = "
       "OC.CDGRPOCOR WHERE OC.CDPRODUTO IS NOT NULL AND OB.NRSEQVENDA = :P_NRSEQVENDA AND OB.CDCAIXA = :P_CDCAIXA AND "
       "OB.CDFILIAL = :P_CDFILIAL UNION SELECT OC.CDPRODUTO FROM OBSITEMVENDAEST OB INNER JOIN OCORRENCIA OC ON "
       "OB.CDOCORR = OC.CDOCORR AND OB.CDGRPOCOR = OC.CDGRPOCOR WHERE OC.CDPRODUTO IS NOT NULL AND OB.NRSEQVENDA = "
       ":P_NRSEQVENDA AND OB.CDCAIXA = :P_CDCAIXA AND OB.CDFILIAL = :P_CDFILIAL"},
      {"adqObsProdVen",
       "SELECT CDPRODUTO FROM OBSITCOMANDAVEN OB INNER JOIN OCORRENCIA OC ON OB.CDOCORR = OC.CDOCORR AND OB.CDGRPOCOR "
       "= OC.CDGRPOCOR WHERE OC.CDPRODUTO IS NOT NULL AND OB.NRCOMANDA = :P_NRCOMANDA AND OB.CDFILIAL = :P_CDFILIAL "
       "UNION SELECT OC.CDPRODUTO FROM OBSITCOMANDAEST OB INNER JOIN OCORRENCIA OC ON OB.CDOCORR = OC.CDOCORR AND "
       "OB.CDGRPOCOR = OC.CDGRPOCOR WHERE OC.CDPRODUTO IS NOT NULL AND OB.NRCOMANDA = :P_NRCOMANDA AND OB.CDFILIAL = "
       ":P_CDFILIAL"},
      {"adqDadosDlv",
       "SELECT IDRETBALLOJA, IDORGCMDVENDA, DSPREVENTREGA FROM COMANDAVEN WHERE CDFILIAL = :P_CDFILIAL AND CDLOJA = "
       ":P_CDLOJA AND NRCOMANDA = :P_NRCOMANDA"},
      {"adqBuscaImpressora",
       "SELECT L.CDPORTAIMPR, I.IDMODEIMPRES FROM IMPRLOJA L, IMPRESSORA I WHERE L.CDIMPRESSORA = I.CDIMPRESSORA AND "
       "L.CDFILIAL = :P_CDFILIAL AND L.CDLOJA = :P_CDLOJA AND L.NRSEQIMPRLOJA = :P_NRSEQIMPRLOJA"},
      {"adqUtilFontExp", "SELECT IDUTILFONTEXP FROM CAIXA WHERE CDFILIAL = :P_CDFILIAL AND CDCAIXA = :P_CDCAIXA"},
      {"adqTpEmissaoZel", "select IDTPEMISSAOZEL from CAIXA where CDCAIXA = :P_CDCAIXA"},
      {"adqRecebimento",
       "SELECT TR.NMTIPORECE,MV.VRMOVIVEND, MV.IDTIPOMOVIVE FROM MOVCAIXA MV, TIPORECE TR WHERE MV.NRSEQVENDA = "
       ":P_NRSEQVENDA AND MV.CDFILIAL = :P_CDFILIAL AND MV.CDCAIXA = :P_CDCAIXA AND MV.CDTIPORECE = TR.CDTIPORECE"},
      {"adqParaVend",
       "SELECT P.CDSITUCRT, PV.IDIMPSALDOCUPOM, PV.IDCONSUBDESFOL, PV.IDIMPFLNOTA, PV.IDPARIMPRLIMVDC, "
       "PV.NRDIAFECHAFOLHA, PV.IDEXTCONSONLINE, PV.CDURLWSEXTCONS FROM FILIAL F, EMPRESA E, PARAMEMPRESA P, PARAVEND "
       "PV WHERE F.CDEMPRESA = E.CDEMPRESA AND E.CDEMPRESA = P.CDEMPRESA AND F.CDFILIAL = PV.CDFILIAL AND F.CDFILIAL "
       "= :P_CDFILIAL"},
      {"adqAliqProduto",
       "SELECT IM.SGIMPOSTO, AL.VRPEALIMPFIS FROM ALIQIMPFIS AL INNER JOIN IMPOSTO IM ON IM.CDIMPOSTO = AL.CDIMPOSTO "
       "WHERE AL.CDPRODUTO = :P_CDPRODUTO AND AL.CDFILIAL = :P_CDFILIAL ORDER BY AL.CDIMPOSTO"},
      {"adqImpostoVenda",
       "SELECT IM.SGIMPOSTO, P.VRPEALPRODIT, SUM(P.VRIMPOPRODIT) AS VRIMPOSTO, "
       "SUM(ROUND(I.QTPRODVEND*(I.VRUNITVEND+ISNULL(I.VRUNITVENDCL,0)),2,1)+ISNULL(I.VRACRITVEND,0)-ISNULL(I."
       "VRDESITVEND,0)) AS VALOR FROM ITEMVENDA I, ITVENDAIMPOS P, IMPOSTO IM WHERE I.CDFILIAL = P.CDFILIAL AND "
       "I.CDCAIXA = P.CDCAIXA AND I.NRSEQVENDA = P.NRSEQVENDA AND I.NRSEQUITVEND = P.NRSEQUITVEND AND P.CDIMPOSTO = "
       "IM.CDIMPOSTO AND I.NRSEQVENDA = :P_NRSEQVENDA AND I.CDFILIAL = :P_CDFILIAL AND I.CDCAIXA = :P_CDCAIXA GROUP "
       "BY IM.SGIMPOSTO, P.VRPEALPRODIT ORDER BY IM.SGIMPOSTO, P.VRPEALPRODIT"},
      {"adqConsumidor",
       "SELECT VRMAXDEBCONS, VRMAXCREDCONS, VRMESUBCONS FROM CONSUMIDOR WHERE CDCLIENTE = :P_CDCLIENTE AND C"
       "DCONSUMIDOR = :P_CDCONSUMIDOR"},
      {"adqConsumidorNFCe",
       "SELECT VE.CDFILIAL, VE.CDCAIXA, VE.NRSEQVENDA, VE.DTENTRVENDA, VE.NRNOTAFISCALCE, VE.NRACESSONFCE, V"
       "E.NRINSCRCONS, VE.NMCONSVEND, VE.SGESTADO, VE.CDINSCESTVND, VE.CDCLIENTE, VE.CDCONSUMIDOR, CO.NMCONS"
       "UMIDOR, CO.NRCPFRESPCON, CL.IDTPIJURCLIE, CL.NRINSJURCLIE, CO.VRMAXDEBCONS, CO.VRMAXCREDCONS, CO.VRM"
       "ESUBCONS, CL.NMFANTCLIE, CO.VRSUBSBASICO, CO.VRMAXCONSMENSAL, CO.VRLIMDEBCONS FROM VENDA VE LEFT JOI"
       "N CLIENTE CL ON VE.CDCLIENTE = CL.CDCLIENTE LEFT JOIN CONSUMIDOR CO ON VE.CDCLIENTE = CO.CDCLIENTE A"
       "ND VE.CDCONSUMIDOR = CO.CDCONSUMIDOR WHERE (VE.CDFILIAL = :P_CDFILIAL ) AND (VE.CDCAIXA = :P_CDCAIXA"
       " ) AND (VE.NRSEQVENDA = :P_NRSEQVENDA)"},
      {"adqGtTotCons",
       "SELECT SUM(M.VRMOVCLI) AS VRCONSUMO FROM MOVICLIE M WHERE (M.DTMOVIMCLIE BETWEEN :P_DTINI AND :P_DTF"
       "IN) AND (M.CDCLIENTE = :P_CDCLIENTE ) AND (M.CDCONSUMIDOR = :P_CDCONSUMIDOR) AND (M.IDTIPMOCVLI = 'D"
       "' )"},
      {"adqGtTotConsLoja",
       "SELECT SUM(M.VRMOVCLI) AS VRCONSUMO FROM MOVICLIE M, VENDA V WHERE (M.CDCLIENTE = :P_CDCLIENTE ) AND"
       " (M.CDCONSUMIDOR = :P_CDCONSUMIDOR) AND (M.DTMOVIMCLIE BETWEEN :P_DTINI AND :P_DTFIN) AND (V.IDSITUV"
       "ENDA = 'O' ) AND (V.CDFILIAL = :P_CDFILIAL ) AND (V.CDLOJA = :P_CDLOJA ) AND (V.CDFILIAL = M.CDFILIA"
       "L ) AND (V.CDCAIXA = M.CDCAIXA ) AND (V.NRSEQVENDA = M.NRSEQVENDA )"},
      {"adqGtTotConsSaldExtra",
       "SELECT SUM(ISNULL(VRMOVCLI,0)) AS TOTAL FROM CONSUMIDOR C LEFT JOIN MOVICLIE M ON C.CDCLIENTE = M.CD"
       "CLIENTE AND C.CDCONSUMIDOR = M.CDCONSUMIDOR AND M.IDTIPMOCVLI = 'D' AND M.DTMOVIMCLIE > :P_DTENTRVEN"
       "DA WHERE C.CDCONSUMIDOR = :P_CDCONSUMIDOR AND C.CDCLIENTE = :P_CDCLIENTE"},
      {"adqParamConsumidor",
       "select CX.IDIMPNMCONSVEN from CAIXA cx where cx.CDFILIAL = :CDFILIAL and cx.CDCAIXA = :CDCAIXA"},
      {"adqSaldoConsCred",
       "SELECT VRSALDCONFAM FROM (SELECT SUM(SC.VRSALDCONFAM) AS VRSALDCONFAM FROM SALDOCONS SC, FAMSALDOFIL"
       "I FA WHERE SC.CDCLIENTE = :P_CDCLIENTE AND SC.CDCONSUMIDOR = :P_CDCONSUMIDOR AND SC.CDFAMILISALD = F"
       "A.CDFAMILISALD AND FA.CDFILIAL = :P_CDFILIAL) A"},
      {"adqSaldoConsDeb",
       "SELECT VRSALDOCONS FROM MOVICLIE WHERE (CDCLIENTE = :P_CDCLIENTE ) AND (CDCONSUMIDOR = :P_CDCONSUMID"
       "OR) AND (DTMOVCLI = (SELECT MAX(DTMOVCLI) FROM MOVICLIE WHERE (CDCLIENTE = :P_CDCLIENTE ) AND (CDCON"
       "SUMIDOR = :P_CDCONSUMIDOR)))"},
      {"adqSaldoConsFamilia",
       "SELECT SC.VRSALDCONFAM, FS.NMFAMILISALD, FS.CDFAMILISALD FROM SALDOCONS SC, FAMILIASALDO FS WHERE SC"
       ".CDCLIENTE = :P_CDCLIENTE AND SC.CDCONSUMIDOR = :P_CDCONSUMIDOR AND SC.CDFAMILISALD = FS.CDFAMILISAL"
       "D"},
      {"adqSaldoExcedente",
       "SELECT C.NMCONSUMIDOR, SUM(ISNULL(VRMOVCLI,0)) - ISNULL(C.VRMESUBCONS,0) AS VRTOTAL FROM CONSUMIDOR "
       "C LEFT JOIN MOVICLIE M ON C.CDCLIENTE = M.CDCLIENTE AND C.CDCONSUMIDOR = M.CDCONSUMIDOR AND M.IDTIPM"
       "OCVLI = 'D' AND M.DTMOVIMCLIE > :P_DTENTRVENDA WHERE C.CDCONSUMIDOR = :P_CDCONSUMIDOR AND C.CDCLIENT"
       "E = :P_CDCLIENTE GROUP BY C.NMCONSUMIDOR, C.VRMESUBCONS"},
      {"adqTipoConsFili",
       "SELECT T.VRSALDOBASICO, T.VRSALDOEXTRA FROM TIPOCONSFILI T, CONSUMIDOR C WHERE C.CDCLIENTE = :P_CDCL"
       "IENTE AND C.CDCONSUMIDOR = :P_CDCONSUMIDOR AND T.CDFILIAL = :P_CDFILIAL AND T.CDTIPOCONS = C.CDTIPOC"
       "ONS"},
      {"adqTipoConsLoja",
       "SELECT VRMAXCONSDIAD, VRMAXCONSMESD FROM TIPOCONSLOJA T, CONSUMIDOR C WHERE C.CDCLIENTE = :P_CDCLIEN"
       "TE AND C.CDCONSUMIDOR = :P_CDCONSUMIDOR AND T.CDFILIAL = :P_CDFILIAL AND T.CDLOJA = :P_CDLOJA AND T."
       "CDTIPOCONS = C.CDTIPOCONS"},
      {"adqVrSubsBasicoCons",
       "SELECT VRSUBSBASICODIA FROM (SELECT SUM(M.VRMOVCLI) AS VRSUBSBASICODIA FROM MOVICLIE M WHERE M.DTMOV"
       "IMCLIE = :P_DTMOVIMCLIE AND M.IDTIPMOCVLI = 'D' AND M.CDCONSUMIDOR IS NULL AND EXISTS(SELECT 1 FROM "
       "MOVICLIE WHERE CDCLIENTE = :P_CDCLIENTE AND CDCONSUMIDOR = :P_CDCONSUMIDOR AND CDFILIAL = M.CDFILIAL"
       " AND CDCAIXA = M.CDCAIXA AND NRSEQVENDA = M.NRSEQVENDA AND DTMOVIMCLIE = :P_DTMOVIMCLIE AND IDTIPMOC"
       "VLI = 'D')) A"},
      {"adqCampanhaAtiva",
       "SELECT C.CDCAMPANHA FROM CAMPANHA C, FILICAMPANHA F WHERE C.IDCAMPANHA = 'S' AND C.CDCAMPANHA = F.CD"
       "CAMPANHA AND F.CDFILIAL = :P_CDFILIAL AND :P_DATAHOJE BETWEEN C.DTINIVIGCAMP AND C.DTFIMVIGCAMP"},
      {"adqDescCRMBONUS",
       "SELECT VRDESCCRM, NRTELCRM FROM VENDA WHERE CDCAIXA = :P_CDCAIXA AND CDFILIAL = :P_CDFILIAL AND NRSE"
       "QVENDA = :P_NRSEQVENDA"},
      {"adqDescSaldoFid",
       "SELECT M.CDCAMPANHA, O.NMCONSUMIDOR, SUM(ISNULL(M.VRSALDOCONS,0)) AS VRSALDOCONS FROM MOVPONTOCONS M"
       ", CAMPANHA C, CONSUMIDOR O WHERE M.CDCLIENTE = :P_CDCLIENTE AND M.CDCONSUMIDOR = :P_CDCONSUMIDOR AND"
       " M.IDTPMOVCONS = 'C' AND C.IDCAMPANHA = 'S' AND M.CDCAMPANHA = C.CDCAMPANHA AND M.CDCLIENTE = O.CDCL"
       "IENTE AND M.CDCONSUMIDOR = O.CDCONSUMIDOR AND ((M.DTVALIDAPONTO >= :P_DATAHOJE) OR (M.DTVALIDAPONTO "
       "IS NULL)) GROUP BY M.CDCAMPANHA, O.NMCONSUMIDOR"},
      {"adqDescVendaFid",
       "SELECT SUM(VRPONTOBRINDE) AS VRPONTOBRINDE FROM ITFIDELIDADE WHERE CDFILIAL = :P_CDFILIAL AND CDCAIX"
       "A = :P_CDCAIXA AND NRSEQVENDA = :P_NRSEQVENDA AND IDTPOPERITFIDEL = 'S'"},
      {"adqEnviaEmailCupom",
       "SELECT 1 AS EXISTE FROM VENDA WHERE CDFILIAL = :P_CDFILIAL AND CDCAIXA = :P_CDCAIXA AND NRSEQVENDA ="
       " :P_NRSEQVENDA AND IDSITENVCUPOM = 'A'"},
      {"adqGerParamGeral", "SELECT CDURLFIDONLINE FROM GERPARAMGERAL"},
      {"adqSaldoFidUtil",
       "SELECT SUM(VRPONTOBRINDE) AS VRPONTOBRINDE FROM ITFIDELIDADE WHERE CDCLIENTE = :P_CDCLIENTE AND CDCO"
       "NSUMIDOR = :P_CDCONSUMIDOR AND CDCAMPANHA = :P_CDCAMPANHA AND IDTPOPERITFIDEL = 'S' AND IDIMPTFIDEL "
       "= 'N'"},
      {"adqLojaCRMBONUS",
       "SELECT IDCRMBONUS, CDURLCRMBONUS, CDAUTHCRMBONUS, CDCODECRMBONUS FROM LOJA WHERE CDFILIAL = :P_CDFIL"
       "IAL AND CDLOJA = :P_CDLOJA"},
      {"adqDadosFilialMP100",
       "SELECT FI.CDFILIAL, FI.NMFILIAL, EF.DSENDEFILI, EF.SGESTADO, EF.NRTELEFILI, MU.NMMUNICIPIO, FI.NMRAZ"
       "SOCFILI, EF.NMBAIRFILI, FI.CDINSCMUNI FROM FILIAL FI, ENDEFILI EF, MUNICIPIO MU WHERE FI.CDFILIAL = "
       ":P_CDFILIAL AND EF.CDFILIAL = FI.CDFILIAL AND EF.IDTPENDEFILI = 'P' AND MU.SGESTADO = EF.SGESTADO AND "
       "MU.CDMUNICIPIO = EF.CDMUNICIPIO"},
      {"adqDadosFilial",
       "SELECT FI.CDFILIAL, FI.NMFILIAL, FI.NMRAZSOCFILI, FI.NRINSJURFILI, FI.CDINSCESTA, FI.CDINSCMUNI, "
       "EF.DSENDEFILI, EF.NMBAIRFILI, EF.SGESTADO, EF.NRTELEFILI, MU.NMMUNICIPIO, EF.IDCONSUPRELSANG, "
       "EF.NRENDEFILISEP FROM FILIAL FI, (SELECT DISTINCT FI.CDFILIAL, PV.IDAMBTRABNFCE, "
       "ISNULL(PV.IDCONSUPRELSANG,'S') AS IDCONSUPRELSANG, CASE WHEN IE.SGESTADO IS NULL THEN EF.SGESTADO ELSE "
       "IE.SGESTADO END SGESTADO, CASE WHEN IE.CDMUNICIPIO IS NULL THEN EF.CDMUNICIPIO ELSE IE.CDMUNICIPIO END "
       "CDMUNICIPIO, CASE WHEN IE.DSENDEIEST IS NULL THEN EF.DSENDEFILI ELSE IE.DSENDEIEST END DSENDEFILI, CASE WHEN "
       "IE.NMBAIRIEST IS NULL THEN EF.NMBAIRFILI ELSE IE.NMBAIRIEST END NMBAIRFILI, CASE WHEN IE.NRCEPIEST IS NULL "
       "THEN EF.NRCEPFILI ELSE IE.NRCEPIEST END NRCEPFILI, CASE WHEN IE.NRENDEIESTSEP IS NULL THEN EF.NRENDEFILISEP "
       "ELSE IE.NRENDEIESTSEP END NRENDEFILISEP, CASE WHEN IE.NRTELEIEST IS NULL THEN EF.NRTELEFILI ELSE "
       "IE.NRTELEIEST END NRTELEFILI FROM FILIAL FI INNER JOIN PARAVEND PV ON PV.CDFILIAL = FI.CDFILIAL LEFT JOIN "
       "ENDEFILI EF ON EF.CDFILIAL = FI.CDFILIAL AND EF.IDTPENDEFILI = FI.IDENDEMISFIL AND EF.IDTPENDEFILI IN "
       "('C','E','X','P') LEFT JOIN INSCRESTAD IE ON IE.CDINSCESTA = FI.CDINSCESTA AND FI.CDEMPRESA = IE.CDEMPRESA "
       "AND (FI.IDENDEMISFIL IN ('I') OR EF.CDFILIAL IS NULL)) EF, MUNICIPIO MU WHERE (FI.CDFILIAL = :P_CDFILIAL) "
       "AND (FI.CDFILIAL = EF.CDFILIAL) AND (EF.SGESTADO = MU.SGESTADO) AND (EF.CDMUNICIPIO = MU.CDMUNICIPIO)"},
  };
  return texts;
}

std::string utf8(const std::string& cp) {
  return cp1252::to_utf8(cp);
}

// The value of `field` in row `row`.
Variant value(const db::ResultSet& rs, std::size_t row, const std::string& field) {
  for (std::size_t c = 0; c < rs.fields.size(); ++c)
    if (rs.fields[c].name == field) return rs.rows.at(row).at(c);
  ADD_FAILURE() << "no field " << field;
  return {};
}
std::string text(const db::ResultSet& rs, std::size_t row, const std::string& field) {
  return value(rs, row, field).to_text();
}

class CatalogueTest : public ::testing::Test {
 protected:
  // A fresh demo database, changed by `extra_sql`, and a read-only connection to it.
  std::unique_ptr<db::Connection> open_demo(std::string_view extra_sql = {}) {
    create_demo_db(db_file_, extra_sql);
    return db::connect("sqlite:" + db_file_.string());
  }
  db::ResultSet run(db::Connection& c, const std::string& query, const db::Params& changed = {}) {
    db::Params params;
    for (const auto& [name, sample] : samples()) params.push_back({name, sample});
    for (const auto& p : changed)
      for (auto& q : params)
        if (q.name == p.name) q.value = p.value;
    return catalogue::run(c, catalogue::get(query), params);
  }

  TempDir dir_;
  std::filesystem::path db_file_ = dir_.path() / "Dados" / "imp.db";
};

TEST_F(CatalogueTest, EveryQueryRunsOnTheDemoDatabase) {
  auto connection = open_demo();
  ASSERT_FALSE(catalogue::all().empty());
  for (const auto& query : catalogue::all()) {
    SCOPED_TRACE(query.name);
    db::Params params;
    for (const auto& name : query.params) {
      auto it = samples().find(name);
      if (it == samples().end()) {
        ADD_FAILURE() << "query " << query.name << ": add a sample value for " << name
                      << " to samples() in tests/module/catalogue_test.cpp";
        continue;
      }
      params.push_back({name, it->second});
    }
    if (params.size() != query.params.size()) continue;
    try {
      catalogue::run(*connection, query, params);
    } catch (const Error& e) {
      ADD_FAILURE() << "query " << query.name << " does not run in SQLite: " << utf8(e.what());
    }
  }
}

TEST_F(CatalogueTest, SqlServerTextsAreTheReferenceTexts) {
  for (const auto& query : catalogue::all()) {
    auto it = reference_texts().find(query.name);
    if (it == reference_texts().end()) {
      ADD_FAILURE() << "query " << query.name
                    << ": add its SQL Server text to reference_texts() in tests/module/catalogue_test.cpp";
      continue;
    }
    EXPECT_EQ(utf8(query.mssql), it->second) << query.name;
  }
  for (const auto& [name, quoted] : reference_texts()) EXPECT_NO_THROW(catalogue::get(name)) << name;
}

TEST_F(CatalogueTest, DemoRestaurantAnswersAsThePrintoutsExpect) {
  auto c = open_demo();

  // Printers of shop 01 by sequence: kitchen, bar, cashier.
  const std::vector<std::pair<const char*, std::pair<const char*, const char*>>> printers = {
      {"1", {"LPT1", "13"}}, {"2", {"LPT2", "4"}}, {"3", {"COM1", "14"}}};
  for (const auto& [seq, want] : printers) {
    auto rs = run(*c, "adqBuscaImpressora", {{"P_NRSEQIMPRLOJA", seq}});
    ASSERT_EQ(rs.rows.size(), 1u) << "printer " << seq;
    EXPECT_EQ(text(rs, 0, "CDPORTAIMPR"), want.first);
    EXPECT_EQ(text(rs, 0, "IDMODEIMPRES"), want.second);
  }
  EXPECT_TRUE(run(*c, "adqBuscaImpressora", {{"P_NRSEQIMPRLOJA", "4"}}).rows.empty());

  EXPECT_EQ(text(run(*c, "adqUtilFontExp", {{"P_CDCAIXA", "001"}}), 0, "IDUTILFONTEXP"), "S");
  EXPECT_EQ(text(run(*c, "adqUtilFontExp", {{"P_CDCAIXA", "002"}}), 0, "IDUTILFONTEXP"), "N");

  // The closed sale was paid with two payments; their order is not defined by the query.
  auto pay = run(*c, "adqRecebimento");
  ASSERT_EQ(pay.rows.size(), 2u);
  std::map<std::string, std::pair<double, std::string>> seen;
  for (std::size_t r = 0; r < pay.rows.size(); ++r)
    seen[utf8(text(pay, r, "NMTIPORECE"))] = {value(pay, r, "VRMOVIVEND").to_double(), text(pay, r, "IDTIPOMOVIVE")};
  using Payment = std::pair<double, std::string>;
  EXPECT_EQ(seen, (std::map<std::string, Payment>{{"Crédito", {120.0, "E"}}, {"Pix", {59.19, "E"}}}));
  EXPECT_TRUE(run(*c, "adqRecebimento", {{"P_CDCAIXA", "002"}}).rows.empty());

  auto para = run(*c, "adqParaVend");
  ASSERT_EQ(para.rows.size(), 1u);
  EXPECT_EQ(text(para, 0, "CDSITUCRT"), "3");
  EXPECT_EQ(text(para, 0, "NRDIAFECHAFOLHA"), "25");

  auto outlet = run(*c, "adqDadosFilial");
  ASSERT_EQ(outlet.rows.size(), 1u);
  EXPECT_EQ(utf8(text(outlet, 0, "NMFILIAL")), "Restaurante Sabor da Praça");
  EXPECT_EQ(text(outlet, 0, "NRINSJURFILI"), "12345678000195");
  EXPECT_EQ(text(outlet, 0, "DSENDEFILI"), "Rua das Laranjeiras, 120");
  EXPECT_EQ(text(outlet, 0, "NMBAIRFILI"), "Centro");
  EXPECT_EQ(utf8(text(outlet, 0, "NMMUNICIPIO")), "São Paulo");
  EXPECT_EQ(text(outlet, 0, "SGESTADO"), "SP");
}

// The Colombian sale: each product's tax at the branch (none for water), and the sale's taxes per tax and rate,
// the base truncated per item as the host's ROUND(x, 2, 1) does.
TEST_F(CatalogueTest, ColombianTaxesPerProductAndPerSale) {
  auto c = open_demo(
      "UPDATE ITEMVENDA SET QTPRODVEND = 0.333, VRUNITVEND = 9999.99 WHERE NRSEQVENDA = "
      "'0000000315' AND NRSEQUITVEND = '0003';");
  auto rate = run(*c, "adqAliqProduto", {{"P_CDFILIAL", "0002"}, {"P_CDPRODUTO", "4001"}});
  ASSERT_EQ(rate.rows.size(), 1u);
  EXPECT_EQ(text(rate, 0, "SGIMPOSTO"), "IVA");
  EXPECT_EQ(value(rate, 0, "VRPEALIMPFIS").to_double(), 19);
  EXPECT_TRUE(run(*c, "adqAliqProduto", {{"P_CDFILIAL", "0002"}, {"P_CDPRODUTO", "4002"}}).rows.empty());
  EXPECT_TRUE(run(*c, "adqAliqProduto", {{"P_CDPRODUTO", "4001"}}).rows.empty());  // branch 0001 has none

  auto taxes = run(*c, "adqImpostoVenda", {{"P_CDFILIAL", "0002"}, {"P_NRSEQVENDA", "0000000315"}});
  ASSERT_EQ(taxes.rows.size(), 2u);
  EXPECT_EQ(text(taxes, 0, "SGIMPOSTO"), "INC");
  EXPECT_EQ(value(taxes, 0, "VRPEALPRODIT").to_double(), 8);
  EXPECT_DOUBLE_EQ(value(taxes, 0, "VRIMPOSTO").to_double(), 6437.03);
  EXPECT_DOUBLE_EQ(value(taxes, 0, "VALOR").to_double(), 80329.99);  // 77000 + 0.333 x 9999.99 = 3329.99(667)
  EXPECT_EQ(text(taxes, 1, "SGIMPOSTO"), "IVA");
  EXPECT_DOUBLE_EQ(value(taxes, 1, "VALOR").to_double(), 13500);
  EXPECT_TRUE(run(*c, "adqImpostoVenda", {{"P_CDFILIAL", "0002"}, {"P_CDCAIXA", "002"}, {"P_NRSEQVENDA", "0000000315"}})
                  .rows.empty());
}

// Where the outlet's header address comes from: its own address of the emission type, else the state
// registration; the cash-withdrawal flag defaults to "S".
TEST_F(CatalogueTest, OutletAddressFollowsTheEmissionAddressType) {
  const char* registration =
      "UPDATE INSCRESTAD SET DSENDEIEST = 'Av. Brasil, 500', NMBAIRIEST = 'Jardim América', "
      "CDMUNICIPIO = '3509502';";
  struct Case {
    const char* name;
    std::string extra_sql;
    const char* address;
    const char* city;
    const char* withdrawal_flag;
  };
  const std::vector<Case> cases = {
      {"own principal address", registration, "Rua das Laranjeiras, 120", "São Paulo", "S"},
      {"registration address", std::string(registration) + "UPDATE FILIAL SET IDENDEMISFIL = 'I';", "Av. Brasil, 500",
       "Campinas", "S"},
      {"no own address of that type", std::string(registration) + "UPDATE FILIAL SET IDENDEMISFIL = 'C';",
       "Av. Brasil, 500", "Campinas", "S"},
      {"withdrawal flag set", "UPDATE PARAVEND SET IDCONSUPRELSANG = 'N';", "Rua das Laranjeiras, 120", "São Paulo",
       "N"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    auto c = open_demo(k.extra_sql);
    auto rs = run(*c, "adqDadosFilial");
    ASSERT_EQ(rs.rows.size(), 1u);
    EXPECT_EQ(utf8(text(rs, 0, "DSENDEFILI")), k.address);
    EXPECT_EQ(utf8(text(rs, 0, "NMMUNICIPIO")), k.city);
    EXPECT_EQ(text(rs, 0, "IDCONSUPRELSANG"), k.withdrawal_flag);
  }
}

// A database that is missing, a folder or not a database fails the connection with a message naming it; once
// the database is put in place, the next connection works.
TEST_F(CatalogueTest, BadDatabaseFailsToConnectUntilFixed) {
  struct Case {
    const char* name;
    void (*make)(const std::filesystem::path&);
  };
  const std::vector<Case> cases = {
      {"missing", [](const std::filesystem::path&) {}},
      {"folder", [](const std::filesystem::path& p) { std::filesystem::create_directories(p / "sub"); }},
      {"not a database", [](const std::filesystem::path& p) { test::write_file(p, std::string(4096, 'x')); }},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    const auto file = dir_.path() / k.name / "imp.db";
    k.make(file);
    const std::string cs = "sqlite:" + file.string();
    try {
      db::connect(cs);
      ADD_FAILURE() << "connected to a bad database";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << utf8(e.what());
    }
    std::filesystem::remove_all(file);
    create_demo_db(file);
    auto c = db::connect(cs);
    EXPECT_EQ(text(run(*c, "adqUtilFontExp"), 0, "IDUTILFONTEXP"), "S");
  }
}

// The labels' queries: the button caption of a product on the till's sales screen, and whether a remark of the
// sale adds or removes an ingredient (remarks that are not products have no answer).
TEST_F(CatalogueTest, LabelCaptionsAndControlledRemarks) {
  auto c = open_demo();
  EXPECT_EQ(utf8(text(run(*c, "adqBuscaDescProd"), 0, "DSBUTTON")), "Açaí 500 ml");
  EXPECT_TRUE(run(*c, "adqBuscaDescProd", {{"P_CDIDENTBUTON", "4004"}}).rows.empty());
  EXPECT_TRUE(run(*c, "adqBuscaDescProd", {{"P_CDCAIXA", "009"}}).rows.empty());

  const db::Params sale = {{"P_NRSEQVENDA", "0000001043"}};
  auto control = [&](const char* remark) {
    db::Params p = sale;
    p.push_back({"P_DSOCORR", remark});
    auto rs = run(*c, "adqControleObs", p);
    return rs.rows.empty() ? std::string("none") : text(rs, 0, "IDCONTROLAOBS");
  };
  EXPECT_EQ(control("COM GRANOLA"), "A");
  EXPECT_EQ(control("SEM BANANA"), "R");
  EXPECT_EQ(control("SEM CEBOLA"), "none");
  EXPECT_TRUE(run(*c, "adqControleObs").rows.empty()) << "another sale";
}

}  // namespace
}  // namespace imp
