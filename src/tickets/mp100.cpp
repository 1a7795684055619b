#include "tickets/mp100.h"

#include <algorithm>
#include <exception>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "host/consiste.h"
#include "host/database_config.h"
#include "host/reference_host.h"
#include "host/services.h"
#include "module/catalogue.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "output/mp100_line.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/hostdir.h"
#include "platform/log.h"
#include "platform/rtl.h"
#include "tickets/ticket_parts.h"

namespace imp {
namespace {

using tickets::dado;
using tickets::RowReader;

constexpr const char* kCrLf = "\r\n";
// The maker's support line under the footer of the bill check.
constexpr const char* kSupportPhone = "Suporte Velmora: (11) 3500-0000";

// A ticket sent line by line; after the first line the printer did not take, nothing more is sent.
class SerialTicket {
 public:
  explicit SerialTicket(TrdmBematechMP100& unit) : unit_(unit) {}
  bool ok() const { return ok_; }
  void send(const std::string& text) {
    if (ok_) ok_ = unit_.Formata_Bematech_MP100(text).empty();
  }
  void line(const std::string& s) { send(s + kCrLf); }
  void dashes(int n) { line(std::string(static_cast<std::size_t>(n), '-')); }
  void feeds(int n) { send(Replicate(kCrLf, n)); }

 private:
  TrdmBematechMP100& unit_;
  bool ok_ = true;
};

std::string money(double v) {
  return FormatCurrency(v, 2);
}

std::string arg(const VariantArray& a, std::size_t i) {
  return a[i].to_text();
}

std::string footer() {
  return EnsureDataModule().msgPadraoBrasil().Msg("VELMORA");
}

std::mutex g_unit_mutex;
std::unique_ptr<TrdmBematechMP100> g_unit;
std::filesystem::path g_unit_dir;

}  // namespace

// ---- connection --------------------------------------------------------------------------------------------

void TrdmBematechMP100::adcBematechMP100BeforeConnect() {
  const std::vector<std::string> listed = host::reference::Connection212Executables();
  std::string exe = hostdir::executable_name();
  for (auto& c : exe) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const bool sibling = !exe.empty() && std::find(listed.begin(), listed.end(), exe) != listed.end();
  connectionString_ = host::GetStringConexZel(sibling ? "212" : "");
}

void TrdmBematechMP100::adcBematechMP100AfterConnect() {
  host::SetADODBSession(connectionString_);
}

db::Connection& TrdmBematechMP100::adcBematechMP100() {
  if (!connection_) {
    adcBematechMP100BeforeConnect();
    auto connection = host::Connect(connectionString_);
    connection_ = std::move(connection);
    try {
      adcBematechMP100AfterConnect();
    } catch (...) {
      connection_.reset();
      throw;
    }
  }
  return *connection_;
}

db::ResultSet TrdmBematechMP100::adqDadosFilial(std::string_view branch) {
  return catalogue::run(adcBematechMP100(), catalogue::get("adqDadosFilialMP100"),
                        {{"P_CDFILIAL", std::string(branch)}});
}

std::string TrdmBematechMP100::Formata_Bematech_MP100(std::string_view text) {
  return EscreveSerial_MP100(port, text);
}

// ---- bill check ----------------------------------------------------------------------------------------------

void TrdmBematechMP100::ImpConta_Bematech_MP100(const std::array<std::string, 23>& t, const Variant& items,
                                                const std::array<double, 8>& a) {
  port = t[1];
  if (port.empty()) return;
  tickets::load_packet(cdsConferencia, items, "cdsConferencia");
  SerialTicket p(*this);
  p.dashes(36);
  p.line(Centraliza(t[8], 36));
  p.dashes(36);
  p.line(t[9] + " " + FormatDateTime("dd/mm/yyyy hh:nn:ss", clock::Now()));
  p.line(TamFixo(t[10] + " " + dado(t[4]), 36));
  p.line(t[11] + " " + dado(t[2]));
  p.line(t[12] + " " + dado(t[3]));
  p.dashes(36);
  const RowReader item(cdsConferencia);
  for (cdsConferencia.First(); !cdsConferencia.Eof() && p.ok(); cdsConferencia.Next()) {
    const double quantity = item.number("QTPRODCOMVEN"), price = item.number("VRPRECCOMVEN");
    p.line(TamFixo("-->" + item.text("NMPRODUTO"), 36));
    p.line(TamFixo(FormatFloat("0.000", quantity) + " X " + FormatFloat("0.00", price), 22) +
           TamFixoR(money(quantity * price), 14));
  }
  p.dashes(36);
  auto amount_line = [&](const std::string& caption, double amount) {
    if (amount > 0) p.line(TamFixo(caption, 22) + TamFixoR(money(amount), 14));
  };
  amount_line(t[22], a[4]);
  amount_line(t[14] + " " + FloatToStr(a[5]) + " " + t[19] + " ", a[3]);
  amount_line(t[13], a[2]);
  amount_line(t[15], a[1]);
  amount_line(t[16], a[7]);
  if (a[5] > 1) {
    p.line(TamFixo(t[17] + " " + money(a[6] / a[5]) + " " + t[18], 36));
    std::string people = FloatToStr(a[5]);
    people.insert(0, 1, '(');
    ((people += ' ') += t[19]) += ')';
    p.line(people);
  }
  p.line(t[20] + PadL(money(a[6]), 31));
  p.dashes(36);
  p.line(Centraliza(t[6], 36));
  p.line(footer());
  p.line(kSupportPhone);
  p.line(t[21]);
  p.feeds(10);
}

// ---- cancelled items -----------------------------------------------------------------------------------------

void TrdmBematechMP100::ImpCancelamento_Bematech_MP100(const Variant& packet, const CancTexts& t) {
  tickets::load_packet(cdsProduto, packet, "cdsProduto");
  if (cdsProduto.IsEmpty()) return;
  const RowReader row(cdsProduto);
  if (row.key("CDPORIMPPROD").empty()) return;
  const bool marked = row.has("IDIMPCANITEM");
  auto printed = [&] { return !marked || row.key("IDIMPCANITEM") == "S"; };

  // One ticket per production printer, in the order the printers first appear.
  std::vector<std::string> ports;
  for (cdsProduto.First(); !cdsProduto.Eof(); cdsProduto.Next()) {
    const std::string p = row.key("CDPORIMPPROD");
    if (printed() && !p.empty() && std::find(ports.begin(), ports.end(), p) == ports.end()) ports.push_back(p);
  }
  for (const std::string& ticketPort : ports) {
    port = ticketPort;
    auto first = [&] {
      for (cdsProduto.First(); !cdsProduto.Eof(); cdsProduto.Next())
        if (printed() && row.key("CDPORIMPPROD") == ticketPort) return;
    };
    first();
    SerialTicket p(*this);
    p.dashes(40);
    p.line(Centraliza(t[7], 40));
    p.dashes(40);
    p.line(Centraliza(FormatDateTime("dd/mm/yyyy hh:nn:ss", clock::Now()), 40));
    p.line(std::string(40, ' '));
    p.line(" " + t[10] + " " + dado(t[2]));
    p.line(" " + t[11] + " " + dado(t[5]));
    p.line(" " + t[12] + " " + dado(t[1]));
    if (t[1].empty()) p.line(t[8] + row.text("NRCUPOMFIS"));  // a packet without the column reads empty
    p.line(std::string(30, ' '));
    for (first(); !cdsProduto.Eof() && p.ok(); cdsProduto.Next())
      if (printed() && row.key("CDPORIMPPROD") == ticketPort)
        p.line("---> " + row.text("QTPRODCOMVEN") + " " + row.text("NMPRODUTO"));
    if (!t[4].empty()) {
      p.line(t[9]);
      p.line(dado(t[3]) + " " + dado(t[4]));
    }
    p.dashes(40);
    p.feeds(10);
  }
}

// ---- cancelled sale ------------------------------------------------------------------------------------------

bool TrdmBematechMP100::setCupomCancelado_MP100(const VariantArray& a) {
  const bool credit = arg(a, 4) == "C";
  port = credit ? arg(a, 3) : arg(a, 1);
  const std::string number = credit ? dado(arg(a, 11)) + "-" + dado(arg(a, 9)) : dado(arg(a, 9));
  // The flag says a cancelled sale is printing; it is cleared however the ticket ends.
  struct Printing {
    TrdmImpressoras& rdm;
    explicit Printing(TrdmImpressoras& r) : rdm(r) { rdm.CtrlImpress(1, "MP100", true); }
    ~Printing() { rdm.CtrlImpress(1, "MP100", false); }
  } printing(EnsureDataModule());
  {
    tickets::load_packet(cdsCupom, a[23], "cdsCupom");
    const db::ResultSet branch = adqDadosFilial(arg(a, 5));
    auto field = [&](const char* name) { return dado(tickets::first_text(branch, name)); };
    const double now = clock::Now();
    SerialTicket p(*this);
    auto centred = [&](const std::string& s) { p.line(Centraliza(s, 40)); };
    centred(field("NMRAZSOCFILI"));
    centred(dado(arg(a, 7)));
    centred(field("DSENDEFILI") + " - " + field("NMBAIRFILI"));
    centred(field("NMMUNICIPIO") + " - " + field("SGESTADO"));
    centred(arg(a, 15) + ": " + field("CDINSCMUNI"));
    p.dashes(36);
    p.send(Centraliza(arg(a, 21), 40) + kCrLf + kCrLf);
    p.line((arg(a, 16) + " " + dado(arg(a, 8))).substr(0, 36));
    p.line(arg(a, 17) + "  " + DateToStr(now) + "    " + arg(a, 18) + " " + TimeToStr(now));
    p.line(arg(a, 19) + ": " + number + "  ");
    p.dashes(36);
    const RowReader item(cdsCupom);
    double sum = 0;
    for (cdsCupom.First(); !cdsCupom.Eof() && p.ok(); cdsCupom.Next()) {
      const double quantity = item.number("QTPRODCOMVEN");
      const double price = item.number("VRPRECCOMVEN") + item.number("VRUNITVENDCL");
      p.line(TamFixo(item.text("NMPRODUTO"), 15) + "  " + FormatFloat("0", quantity) + " X " +
             FormatFloat("0.00", price) + "   " + PadL(FormatFloat("0.00", quantity * price), 7));
      sum += quantity * price;
    }
    p.dashes(36);
    p.line(arg(a, 20) + PadL(FormatFloat("0.00", sum), 25));
    p.dashes(36);
    centred(credit ? arg(a, 22) : arg(a, 10));
    centred(footer());
    p.feeds(10);
    return p.ok();
  }
}

// ---- instances -----------------------------------------------------------------------------------------------

TrdmBematechMP100* rdmBematechMP100() {
  std::lock_guard lk(g_unit_mutex);
  return g_unit && g_unit_dir == hostdir::root() ? g_unit.get() : nullptr;
}

TrdmBematechMP100& EnsureBematechMP100() {
  std::lock_guard lk(g_unit_mutex);
  if (!g_unit || g_unit_dir != hostdir::root()) {
    g_unit = std::make_unique<TrdmBematechMP100>();
    g_unit_dir = hostdir::root();
    globals::rdmBematechMP100.store(g_unit.get());
  }
  return *g_unit;
}

void ImpCancelamento_Bematech_MP100(const Variant& packet, const CancTexts& texts) {
  try {
    TrdmBematechMP100 unit;
    unit.ImpCancelamento_Bematech_MP100(packet, texts);
  } catch (const std::exception& e) {
    tickets::log_failure("ImpCancelamento_Bematech_MP100", e);
  }
}

bool setCupomCancelado_MP100(const VariantArray& args) {
  TrdmBematechMP100 unit;
  return unit.setCupomCancelado_MP100(args);
}

}  // namespace imp
