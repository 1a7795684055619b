// The MP-100 unit: the data module of the MP-100 receipt printer (model 7), written line by line on its serial
// port, with its own connection and datasets and three tickets: the bill check, the cancelled items and the
// cancelled sale. Every line ends with CR LF and goes out in its own serial write; the first write the line
// does not take ends the ticket (logged with the port and the reason).
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "platform/database.h"
#include "platform/dataset.h"
#include "platform/variant.h"
#include "tickets/cancellation.h"

namespace imp {

class TrdmBematechMP100 {
 public:
  TrdmBematechMP100() = default;
  TrdmBematechMP100(const TrdmBematechMP100&) = delete;
  TrdmBematechMP100& operator=(const TrdmBematechMP100&) = delete;

  // ---- connection adcBematechMP100: opened on the first query ----
  db::Connection& adcBematechMP100();
  // The connection string from the host; "212" for the host programs listed in connection212Executables.
  void adcBematechMP100BeforeConnect();
  void adcBematechMP100AfterConnect();
  // adqDadosFilial: the branch with its principal address.
  db::ResultSet adqDadosFilial(std::string_view branch);

  ClientDataSet cdsCupom, cdsConferencia, cdsProduto, cdsMovFecha, cdsProdVend;
  std::string port;  // the printer port of the ticket being printed

  // One piece of text to `port`; "" when it was written, else the reason.
  std::string Formata_Bematech_MP100(std::string_view text);

  // texts[1..22] as the host numbers them (texts[1] the port; [0] unused), amounts[1..7] likewise.
  void ImpConta_Bematech_MP100(const std::array<std::string, 23>& texts, const Variant& items,
                               const std::array<double, 8>& amounts);
  void ImpCancelamento_Bematech_MP100(const Variant& packet, const CancTexts& texts);
  // The 24 values of setCupomCancelado; true once the whole ticket went out.
  bool setCupomCancelado_MP100(const VariantArray& args);

 private:
  std::unique_ptr<db::Connection> connection_;
  std::string connectionString_;
};

// The unit's instance for the host's direct calls: null until first needed.
TrdmBematechMP100* rdmBematechMP100();
TrdmBematechMP100& EnsureBematechMP100();

// The cancellation job and setCupomCancelado print on an instance of their own, freed after the call.
void ImpCancelamento_Bematech_MP100(const Variant& packet, const CancTexts& texts);
bool setCupomCancelado_MP100(const VariantArray& args);

}  // namespace imp
