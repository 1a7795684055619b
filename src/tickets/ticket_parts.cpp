#include "tickets/ticket_parts.h"

#include "host/consiste.h"
#include "output/print_path.h"
#include "output/printer_choice.h"
#include "platform/cp1252.h"
#include "platform/database.h"
#include "platform/error.h"
#include "platform/log.h"
#include "platform/packet.h"

namespace imp::tickets {

std::string dado(std::string_view value) {
  return cp1252::printable(value);
}

void load_packet(ClientDataSet& ds, const Variant& packet, std::string_view what) {
  ds.SetFiltered(false);
  ds.SetFilter("");
  ds.SetIndexName("");
  ds.LoadFromPacket(PacketJson(packet, what));
  ds.First();
}

bool RowReader::has(std::string_view field) const {
  return ds_.Active() && ds_.FindField(field) != nullptr;
}

std::string RowReader::key(std::string_view field) const {
  if (!has(field) || ds_.IsEmpty()) return {};
  return ds_.FieldByName(field).AsString();
}

double RowReader::number(std::string_view field) const {
  if (!has(field) || ds_.IsEmpty()) return 0;
  return ds_.FieldByName(field).AsFloat();
}

Printer choose_printer(const Station& station, std::string_view kind, std::string_view saleType) {
  Printer p;
  DefineParametrosImpressora(kind, p.columns, p.lineFeed, p.closing, p.model, p.port, station.key("IDTIPOIMPNF1"),
                             station.key("IDTIPOIMPNF2"), station.key("CDPORTIMPNF1"), station.key("CDPORTIMPNF2"),
                             station.key("IDTPVENDIMPNF1"), station.key("IDTPVENDIMPNF2"), saleType);
  return p;
}

void TicketText::centred(std::string_view s) {
  line(Centraliza(s, W_));
}

void TicketText::dashes() {
  line(Replicate('-', W_));
}

void TicketText::blanks() {
  line(Replicate(' ', W_));
}

void TicketText::right_aligned(std::string_view caption, std::string_view amount) {
  line(std::string(caption) + PadL(amount, W_ - static_cast<int>(caption.size())));
}

void send(const TicketSend& t, std::string_view routine, const TicketSink* sink) {
  if (sink) {
    (*sink)(t);
    return;
  }
  if (!Envia_Dados_Impressora(t.model, t.port, t.text, t.lineFeed, t.closing, t.noExtraFeed, t.share))
    log::LogErroImpNaoFiscal("Impressão não enviada à porta "_cp + t.port +
                             " - Imp00000 - Funcao:" + std::string(routine));
}

void log_failure(std::string_view routine, const std::exception& error) {
  log::LogErroImpNaoFiscal(std::string(error.what()) + " - Imp00000 - Funcao:" + std::string(routine));
}

std::size_t column_of(const db::ResultSet& rs, std::string_view field) {
  for (std::size_t c = 0; c < rs.fields.size(); ++c)
    if (CompareText(rs.fields[c].name, field, true) == 0) return c;
  throw Error("Field '" + std::string(field) + "' not found");
}

std::string first_text(const db::ResultSet& rs, std::string_view field) {
  return rs.rows.empty() ? std::string() : rs.rows.front()[column_of(rs, field)].to_text();
}

}  // namespace imp::tickets
