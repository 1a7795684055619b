// Zebra labels end to end: "PEDIDO" jobs through the C ABI on the reference host of a temporary host folder (the
// demo database with the outlet's label settings, every port mapped to a file of printers/), the label printers'
// ports compared byte for byte with the expected files of labels/<case>/expected/; the labels' exports called
// as a host calls them; the label log.
#include <atomic>
#include <set>
#include <thread>

#include "ticket_host.h"

namespace imp::test {
namespace {

const fs::path kLabels = fs::path(IMP_SOURCE_DIR) / "tests" / "package" / "labels";
// The outlet's label settings: small labels (45 x 25), large labels (95 x 70), the ZD220 of the sale labels.
const std::string kSmall = "UPDATE PARAVEND SET IDETIQZEBRA = 'P';";
const std::string kLarge = "UPDATE PARAVEND SET IDETIQZEBRA = 'G';";
const std::string kSale = "UPDATE LOJA SET DSENDEZEBRA = 'ZEBRA01';";

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

// A row of a counter order, with `fields` added or replacing columns.
json row(const json& fields) {
  json r = {{"NRCOMANDA", "0040"}, {"SENHACUPOM", "000081"}, {"DSCOMANDA", "BALCAO"}, {"IDIMPRODUVEZ", "N"},
            {"CDPRODUTO", "4004"}, {"NMPRODUTO", "Suco"},    {"QTPRODCOMVEN", 1},     {"VRPRECCOMVEN", 10},
            {"NMCONSVEND", "Bia"}, {"CDPORIMPPROD", ""},     {"IDMODEIMPRES", ""},    {"NRSEQITEM", 1}};
  for (auto it = fields.begin(); it != fields.end(); ++it) r[it.key()] = it.value();
  return r;
}
// A promotion item on the small-label printer (model 12 on LPT3).
json small(const json& fields) {
  json r = row({{"CDPORIMPPROD", "LPT3"}, {"IDMODEIMPRES", "12"}, {"IDPROMOCAO", "S"}});
  for (auto it = fields.begin(); it != fields.end(); ++it) r[it.key()] = it.value();
  return r;
}
// An item of label group `nrseq` on the large-label printer (model 15 on LPT4).
json large(const char* nrseq, const json& fields) {
  json r = row({{"CDPORIMPPROD", "LPT4"}, {"IDMODEIMPRES", "15"}, {"NRSEQ", nrseq}});
  for (auto it = fields.begin(); it != fields.end(); ++it) r[it.key()] = it.value();
  return r;
}

// The order packet of `rows`: a column for every field a row names.
std::string order_packet(const std::vector<json>& rows) {
  json fields = json::array();
  std::set<std::string> seen;
  for (const json& r : rows)
    for (auto it = r.begin(); it != r.end(); ++it)
      if (seen.insert(it.key()).second) {
        const std::string& f = it.key();
        const char* type = f == "NRSEQITEM"                                 ? "integer"
                           : f.rfind("QT", 0) == 0 || f.rfind("VR", 0) == 0 ? "float"
                                                                            : "string";
        fields.push_back({{"name", f}, {"type", type}});
      }
  return json{{"fields", fields}, {"rows", rows}}.dump();
}

const char* kParams = R"({"fields": [{"name": "TIPOVENDA", "type": "string"}, {"name": "NRSEQVENDA", "type": "string"},
                                     {"name": "STIMPPOSOBS", "type": "string"}],
                          "rows": [{"TIPOVENDA": "B", "NRSEQVENDA": "0000001043", "STIMPPOSOBS": "D"}]})";

class Labels : public TicketHost {
 protected:
  void prepare_labels(const std::string& host, const std::string& sql) {
    prepare(host, brasil(), brazilian_format(), sql, {{"ZEBRA01", "printers/ZEBRA01.prn"}});
  }
  void order(const std::vector<json>& rows) { run_job("PEDIDO", packet(order_packet(rows)), null(), packet(kParams)); }
  std::string port(const std::string& name) {
    const fs::path file = folder / "printers" / (name + ".prn");
    return fs::exists(file) ? read_file(file) : std::string();
  }
  fs::path label_folder() { return folder / "Dados" / "ImpNaoFiscal" / "ImpZebra"; }
  int global_bool(const char* name) {
    imp_variant v{};
    lib.fn<int32_t (*)(const char*, imp_variant*)>("imp_global_get")(name, &v);
    return v.type == IMP_VT_BOOL ? v.v.b : -1;
  }
  int32_t set_dataset(const char* name, const std::string& packet_text) {
    const imp_variant p = packet(packet_text);
    return lib.fn<int32_t (*)(const char*, const imp_variant*)>("imp_dataset_set")(name, &p);
  }
  json get_dataset(const char* name) {
    imp_variant out{};
    EXPECT_EQ(lib.fn<int32_t (*)(const char*, imp_variant*)>("imp_dataset_get")(name, &out), 1);
    json j = json::parse(std::string(reinterpret_cast<char*>(out.v.bytes.ptr), out.v.bytes.len));
    lib.fn<void (*)(imp_variant*)>("imp_variant_clear")(&out);
    return j;
  }
};

struct Case {
  std::string name;
  std::string sql;
  const char* epl2;  // the label printer whose last document ZebraTLP2844.txt keeps; nullptr: none
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

// 45 x 25: a combo's juice three times (its footer from the combo's priced row); 95 x 70: a combo group with a
// remark, a single product with a remark, the delivery reference; ZD220: a consumer of 30 characters, a button
// caption, a name on two lines, remarks that add, remove or neither, the observation product left out.
const std::vector<Case> kCases = {
    {"small_quantity_3", kSmall, "LPT3"},
    {"large_groups", kLarge, "LPT4"},
    {"sale_labels", kSale, nullptr},
};

class LabelCases : public Labels, public ::testing::WithParamInterface<std::tuple<Case, bool>> {};

TEST_P(LabelCases, LabelPrintersReceiveExactlyTheExpectedLabels) {
  const Case& c = std::get<0>(GetParam());
  over_odbc = std::get<1>(GetParam());
  prepare_labels(c.name, c.sql);
  run_case("PEDIDO", kLabels / c.name);

  // Label rows never print as tickets: the label printers are all that print.
  expect_same_files(kLabels / c.name / "expected", folder / "printers", "label_e2e_actual", c.name);
  const std::string log = module_log();
  EXPECT_EQ(log.find("Funcao:"), std::string::npos) << log;
  if (c.epl2) {
    const std::string sent = port(c.epl2);
    const std::string kept = read_file(label_folder() / "ZebraTLP2844.txt");
    ASSERT_LE(kept.size(), sent.size());
    EXPECT_EQ(kept, sent.substr(sent.size() - kept.size())) << "the last label document sent";
  }
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    EXPECT_NE(name, "ZebraZd220.zpl");
    EXPECT_NE(name, "Printlbl.bat");
  }
}

INSTANTIATE_TEST_SUITE_P(Orders, LabelCases, ::testing::Combine(::testing::ValuesIn(kCases), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<LabelCases::ParamType>& info) {
                           return std::get<0>(info.param).name + (std::get<1>(info.param) ? "_over_odbc" : "");
                         });

// Each row prints its whole units, at least one label (2.5 gives two; 0.5 and 0 one), on the small labels and on
// the sale labels alike, which count the same labels ("de 05"); the order ends.
TEST_F(Labels, EveryRowPrintsItsWholeUnitsAndTheOrderEnds) {
  prepare_labels("quantities", kSmall + kSale);
  const std::vector<std::pair<double, std::size_t>> quantities = {{2.5, 2}, {0.5, 1}, {0, 1}, {1, 1}};
  std::vector<json> rows;
  for (std::size_t i = 0; i < quantities.size(); ++i)
    rows.push_back(small({{"NMPRODUTO", "Copo " + std::to_string(i)},
                          {"QTPRODCOMVEN", quantities[i].first},
                          {"NRSEQITEM", static_cast<int>(i + 1)}}));
  order(rows);
  const std::string labels = port("LPT3"), sale = port("ZEBRA01");
  for (std::size_t i = 0; i < quantities.size(); ++i)
    EXPECT_EQ(count(labels, "N,\"Copo " + std::to_string(i) + "\"\r\n"), quantities[i].second)
        << "quantity " << quantities[i].first;
  EXPECT_EQ(count(labels, "Q180,001\r\n"), 5u);
  EXPECT_EQ(count(sale, "^XA\r\n"), 5u);
  EXPECT_EQ(count(sale, "^FT185,205^A0B,31,30^FH\\^CI28^FD05^FS"), 5u);
  for (const char* n : {"01", "02", "03", "04", "05"})
    EXPECT_EQ(count(sale, std::string("^FT185,315^A0B,31,30^FH\\^CI28^FD") + n + "^FS"), 1u) << n;
}

// Large labels take the groups present in ascending order, numbers as numbers ("1" and "001" are one group, a
// group that is not a number comes last), every row of a single product on a label of its own; the order ends.
TEST_F(Labels, LargeLabelGroupsInNumberOrder) {
  prepare_labels("groups", kLarge);
  order({large("2", {{"NMPRODUTO", "Chope"}, {"NRSEQITEM", 1}}),
         large("001", {{"NMPRODUTO", "Suco"}, {"NRSEQITEM", 2}}), large("A", {{"NMPRODUTO", "Agua"}, {"NRSEQITEM", 3}}),
         large("1", {{"NMPRODUTO", "Cafe"}, {"NRSEQITEM", 4}}),
         large("", {{"NMPRODUTO", "Sem grupo"}, {"NRSEQITEM", 5}})});
  std::vector<std::string> names;
  const std::string labels = port("LPT4"), title = "A65,95,0,4,1,2,N,\"    ";
  for (auto at = labels.find(title); at != std::string::npos; at = labels.find(title, at + 1)) {
    const auto from = at + title.size();
    names.push_back(labels.substr(from, labels.find('"', from) - from));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Suco", "Cafe", "Chope", "Agua"})) << labels;
}

// A combo split between the kitchen and the small-label printer: only the label printer's rows become labels,
// so the kitchen's ticket is the one it prints for the combo without them.
TEST_F(Labels, ACombosKitchenRowsStayOnTheKitchenTicket) {
  const json combo = {{"CDPRODPROMOCAO", "9100"}, {"NOMEPRODPAI", "Combo Executivo"}, {"NRSEQPRODCOM", "001"},
                      {"IDPROMOCAO", "N"},        {"CDPORIMPPROD", "LPT1"},           {"IDMODEIMPRES", "13"}};
  json burger = row(combo), fries = row(combo), juice = row(combo);
  burger.update({{"NMPRODUTO", "Hamburguer"}, {"CDPRODUTO", "2007"}, {"NRSEQITEM", 1}});
  fries.update({{"NMPRODUTO", "Batata frita"}, {"CDPRODUTO", "2103"}, {"NRSEQITEM", 2}});
  juice.update({{"NMPRODUTO", "Suco"}, {"CDPORIMPPROD", "LPT3"}, {"IDMODEIMPRES", "12"}, {"NRSEQITEM", 3}});

  prepare_labels("kitchen_only", kSmall);
  order({burger, fries});
  const std::string kitchen = port("LPT1");
  ASSERT_NE(kitchen.find("Batata frita"), std::string::npos) << kitchen;

  prepare_labels("kitchen_and_label", kSmall);
  order({burger, fries, juice});
  EXPECT_EQ(port("LPT1"), kitchen);
  EXPECT_EQ(count(port("LPT3"), "N,\"Suco\"\r\n"), 1u);
}

// Data never changes the label commands: EPL2 text escapes " and \, ZPL fields escape \ ^ ~, control characters
// print as blanks; the ZD220's UTF-8 fields carry UTF-8, its other fields Windows-1252.
TEST_F(Labels, DataNeverChangesTheCommands) {
  struct Escape {
    const char* data;  // UTF-8, as in the packet
    const char* epl2;
    const char* zpl;
  };
  const std::vector<Escape> cases = {
      {"Suco \"Del\"", "Suco \\\"Del\\\"", "Suco \"Del\""},
      {"C:\\pasta\\", "C:\\\\pasta\\\\", "C:\\5Cpasta\\5C"},
      {"^XZ^XA~JA", "^XZ^XA~JA", "\\5EXZ\\5EXA\\7EJA"},
      {"dois\nlinhas\x1b", "dois linhas ", "dois linhas"},
      {"Açaí", "Açaí", "Açaí"},
  };
  int n = 0;
  for (const Escape& c : cases) {
    SCOPED_TRACE(c.data);
    prepare_labels("escape" + std::to_string(++n), kSmall + kSale);
    order({small({{"NMPRODUTO", c.data}, {"DSOBSERVACAO", std::string(c.data) + ";"}})});
    const std::string epl2 = "A70,60,0,2,1,2,N,\"" + cp1252::from_utf8_lossy(c.epl2) + "\"\r\n";
    EXPECT_EQ(count(port("LPT3"), epl2), 1u) << readable(port("LPT3"));
    const std::string sale = port("ZEBRA01");
    const std::string name = std::string(c.zpl) + (std::string(c.epl2).back() == ' ' ? " " : "");
    EXPECT_EQ(count(sale, "^FT232,315^A0B,28,28^FH\\^CI28^FD" + name + "^FS^CI27\r\n"), 1u) << sale;
    EXPECT_EQ(count(sale, "^FT262,315^AFB,26,13^FH\\^FD " + cp1252::from_utf8_lossy(c.zpl) + "^FS\r\n"), 1u) << sale;
  }
}

// Two orders dispatched at once from two threads: every label arrives once and whole, never mixed with the other
// order's, and ZebraTLP2844.txt is always one whole label.
TEST_F(Labels, TwoOrdersAtOnceNeverMixTheirLabels) {
  prepare_labels("two_orders", kSmall);
  std::vector<std::string> orders;
  for (const char* name : {"Pedido A", "Pedido B"})
    orders.push_back(order_packet({small({{"NMPRODUTO", name}, {"QTPRODCOMVEN", 3}})}));
  const fs::path kept = label_folder() / "ZebraTLP2844.txt";
  std::atomic<bool> done = false;
  std::set<std::string> seen;
  std::thread reader([&] {
    while (!done) {
      std::error_code ec;
      if (fs::exists(kept, ec)) seen.insert(read_file(kept));
    }
  });
  std::vector<std::thread> tills;
  for (const std::string& o : orders)
    tills.emplace_back([&, o] {
      AbiValues values;
      const std::vector<imp_variant> job = {values.boolean(true), values.text("PEDIDO"), values.packet(o),
                                            values.null(),        values.null(),         values.packet(kParams),
                                            values.text("")};
      lib.fn<JobFn>("DisparaImpressaoNaoFiscal")(job.data(), static_cast<int32_t>(job.size()), nullptr);
    });
  for (auto& t : tills) t.join();
  ASSERT_EQ(lib.fn<int32_t (*)(int32_t)>("imp_wait_idle")(30000), 1);
  done = true;
  reader.join();

  const std::string all = port("LPT3");
  std::map<std::string, std::string> label;  // order -> its label
  std::map<std::string, int> labels;
  for (std::size_t at = 0; at < all.size();) {
    const std::size_t next = all.find("Q180,001", at + 1);
    const std::string one = all.substr(at, next == std::string::npos ? std::string::npos : next - at);
    const std::string which = one.find("Pedido A") != std::string::npos ? "A" : "B";
    EXPECT_EQ(count(one, "Pedido "), 1u) << one;
    if (!label.count(which)) label[which] = one;
    EXPECT_EQ(one, label[which]);
    ++labels[which];
    at = next == std::string::npos ? all.size() : next;
  }
  EXPECT_EQ(labels, (std::map<std::string, int>{{"A", 3}, {"B", 3}}));
  for (const std::string& s : seen) EXPECT_TRUE(s == label["A"] || s == label["B"]) << s;
}

// The exports as a host calls them, on the rows it loaded into cdsPedido: the small labels leave none of their
// rows behind; the large labels print once per order.
TEST_F(Labels, TheExportsReadTheRowsTheHostLoaded) {
  prepare_labels("exports", "");
  const imp_variant none = null();
  ASSERT_EQ(set_dataset("cdsPedido", read_file(kLabels / "small_quantity_3" / "pedido.json")), 1);
  lib.fn<void (*)(const imp_variant*, const char*, const char*)>("Cli_imp00000_TrdmImpressoras_ImpEtiqZebra45x25")(
      &none, "", "LPT3");
  EXPECT_EQ(port("LPT3"), read_file(kLabels / "small_quantity_3" / "expected" / "LPT3.prn"));
  const json left = get_dataset("cdsPedido");
  ASSERT_EQ(left["rows"].size(), 1u);
  EXPECT_EQ(left["rows"][0]["NMPRODUTO"], "Combo Executivo") << "the row the labels read, not a labelled one";

  ASSERT_EQ(set_dataset("cdsPedido", read_file(kLabels / "large_groups" / "pedido.json")), 1);
  const imp_variant no = boolean(false);
  lib.fn<int32_t (*)(const char*, const imp_variant*)>("imp_global_set")("boFimPedidoZebra", &no);
  auto large_labels =
      lib.fn<void (*)(const imp_variant*, const char*, const char*)>("Cli_imp00000_TrdmImpressoras_ImpEtiqZebra95x70");
  large_labels(&none, "", "LPT4");
  EXPECT_EQ(port("LPT4"), read_file(kLabels / "large_groups" / "expected" / "LPT4.prn"));
  EXPECT_EQ(global_bool("boFimPedidoZebra"), 1);
  large_labels(&none, "", "LPT4");
  EXPECT_EQ(port("LPT4"), read_file(kLabels / "large_groups" / "expected" / "LPT4.prn")) << "printed twice";
  EXPECT_EQ(module_log().find("Funcao:"), std::string::npos) << module_log();
}

// A label folder that cannot be made (a file stands in its way) is logged, and the labels still print.
TEST_F(Labels, LabelsPrintWhenTheirFolderCannotBeMade) {
  prepare_labels("no_folder", kSmall);
  write_file(folder / "Dados" / "ImpNaoFiscal", "not a folder");
  order({small({{"NMPRODUTO", "Copo"}})});
  EXPECT_EQ(count(port("LPT3"), "N,\"Copo\"\r\n"), 1u) << module_log();
  EXPECT_NE(module_log().find("Pasta das etiquetas não criada"), std::string::npos) << module_log();
}

// LogZebra: the date and time, " - " and the message on a line of Log<MMYY>.txt in the label folder, UTF-8; a
// missing folder is not created, and the failure goes to the module log.
TEST_F(Labels, TheLabelLog) {
  prepare_labels("label_log", "");
  auto log_zebra = lib.fn<void (*)(const char*)>("Cli_imp00000_LogZebra");
  const std::string message = cp1252::from_utf8_lossy("Etiqueta impressa à Zebra\r\nlinha");
  log_zebra(message.c_str());
  EXPECT_FALSE(fs::exists(label_folder()));
  EXPECT_NE(module_log().find("Log1226.txt"), std::string::npos) << module_log();
  EXPECT_NE(module_log().find("Funcao:LogZebra"), std::string::npos) << module_log();

  fs::create_directories(label_folder());
  log_zebra(message.c_str());
  log_zebra("segunda");
  EXPECT_EQ(read_file(label_folder() / "Log1226.txt"),
            "09/12/2026 12:30:00 - Etiqueta impressa à Zebra\\r\\nlinha\n09/12/2026 12:30:00 - segunda\n");
}

}  // namespace
}  // namespace imp::test
