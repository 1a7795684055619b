// Pieces the sale tickets and the production orders of Colombia, Peru, Mexico and the United States share:
// reading packets and rows, the station record, the printer of a ticket and its sending.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "host/parameters.h"
#include "platform/database.h"
#include "platform/dataset.h"
#include "platform/variant.h"
#include "tickets/order_brasil.h"

namespace imp::tickets {

// A data value (a name, an observation, an address, a code) as a ticket prints it: control characters print
// as blanks, so what the till or the database holds can never reach the printer as a command. Every data
// value a ticket prints goes through here; captions, amounts and the layout's own bytes do not.
std::string dado(std::string_view value);

// Loads a data packet handed in as a variant into `ds`, from its first row; imp::Error naming `what` for anything
// that is not a packet, an absent one included.
void load_packet(ClientDataSet& ds, const Variant& packet, std::string_view what);

// The current row of a dataset, read by field name. A field the dataset lacks reads as empty (0 as a
// number), as does every field of an empty or closed dataset: an optional column never loses a ticket.
class RowReader {
 public:
  explicit RowReader(ClientDataSet& ds) : ds_(ds) {}
  bool has(std::string_view field) const;
  // The value as stored, for queries and comparisons.
  std::string key(std::string_view field) const;
  // The value as the ticket prints it (dado).
  std::string text(std::string_view field) const { return dado(key(field)); }
  double number(std::string_view field) const;

 private:
  ClientDataSet& ds_;
};

// The station record of the host's main form, read once per ticket (empty values when the host has none).
class Station {
 public:
  Station() : parameters_(host::Parameters::Load()), row_(parameters_.dataset()) {}
  std::string key(std::string_view field) const { return row_.key(field); }
  std::string text(std::string_view field) const { return row_.text(field); }

 private:
  host::Parameters parameters_;
  RowReader row_;
};

// The station's receipt printer for a job kind ("PEDIDO", "EMITECUPOM", "PARCIALCONTA") and sale type: printer
// 1 or 2 of the station with its model's properties.
struct Printer {
  int32_t columns = 48;
  std::string lineFeed, closing, model, port;
};
Printer choose_printer(const Station& station, std::string_view kind, std::string_view saleType);

// A ticket being composed in `columns` columns, every line ended by the printer's line feed.
class TicketText {
 public:
  TicketText(int columns, std::string lineFeed) : W_(columns), lf_(std::move(lineFeed)) {}
  int width() const { return W_; }
  const std::string& lineFeed() const { return lf_; }
  const std::string& str() const { return text_; }

  void line(std::string_view s) { (text_ += s) += lf_; }
  void piece(std::string_view s) { text_ += s; }  // no line end: the next line follows it directly
  void centred(std::string_view s);
  void dashes();
  void blanks();  // a line of W blanks
  // `caption` and the amount right-aligned to W; an amount wider than what is left is never cut.
  void right_aligned(std::string_view caption, std::string_view amount);

 private:
  int W_;
  std::string lf_;
  std::string text_;
};

// Hands a finished ticket to `sink` when one is given, else prints it; a ticket the print path could not send
// is logged under the routine's name.
void send(const TicketSend& ticket, std::string_view routine, const TicketSink* sink);

// The failure of a document routine in the module log: message, " - Imp00000 - Funcao:" and the routine.
void log_failure(std::string_view routine, const std::exception& error);

// The column of `field` in a query result; imp::Error when the result has no such column.
std::size_t column_of(const db::ResultSet& rs, std::string_view field);
// The first row's value of `field` in a query result ("" when there is no row).
std::string first_text(const db::ResultSet& rs, std::string_view field);

}  // namespace imp::tickets
