// Zebra labels on printers that fail, on names that are no ports at all, and on printers of the spooler: the
// kitchen order with label rows through the C ABI, the labels' failures logged once per routine with the
// destination and the reason, the order's tickets printed whole, the next order printed with `cs` free.
#include "drill_fixture.h"
#include "support/private_spooler.h"

namespace imp::test {
namespace {

const std::string kSmall = "UPDATE PARAVEND SET IDETIQZEBRA = 'P';";
const std::string kLarge = "UPDATE PARAVEND SET IDETIQZEBRA = 'G';";
const std::string kSale = "UPDATE LOJA SET DSENDEZEBRA = 'ZEBRA01';";

// The good order and its labels: a promotion's juice, three of them, on the small-label printer (model 12 on
// `small_port`), or a single product of group 001 on the large-label printer (model 15 on LPT4).
json order_with_labels(bool large = false, const std::string& small_port = "LPT3") {
  json order = good_order();
  json label = order["rows"][0];
  if (large)
    label.update({{"NMPRODUTO", "Feijoada completa"},
                  {"CDPRODUTO", "2004"},
                  {"CDPORIMPPROD", "LPT4"},
                  {"IDMODEIMPRES", "15"},
                  {"NRSEQ", "001"}});
  else
    label.update({{"NMPRODUTO", "Suco de laranja"},
                  {"CDPRODUTO", "4004"},
                  {"CDPORIMPPROD", small_port},
                  {"IDMODEIMPRES", "12"},
                  {"IDPROMOCAO", "S"},
                  {"QTPRODCOMVEN", 3}});
  label["NRSEQITEM"] = 90;
  order["rows"].push_back(label);
  return order;
}

using LabelDrills = FaultDrills;

// A label printer that is missing, refuses writes or has no reader: its routine logs it once (three juices cost
// one failure), the sale labels too; every ticket of the order prints, and so does the next order.
TEST_F(LabelDrills, DeadLabelPrinters) {
  struct Device {
    const char* name;
    std::function<std::string(FaultDrills&)> path;  // the device, made after the folder is prepared
    const char* reason;                             // after the device; {device} stands for its path
  };
  const std::vector<Device> devices = {
      {"missing device", [](FaultDrills&) { return std::string("/dev/imp-drill-no-such-label-printer"); },
       "impressora não conectada"},
      {"device refuses writes", [](FaultDrills&) { return std::string("/dev/full"); }, "erro de escrita"},
      {"FIFO without reader",
       [](FaultDrills& t) {
         const fs::path fifo = t.dir.path() / "etiquetas.fifo";
         fs::remove(fifo);
         EXPECT_EQ(mkfifo(fifo.c_str(), 0644), 0);
         return fifo.string();
       },
       "Arquivo \"{device}\": não foi possível abrir"},
  };
  struct Layout {
    const std::string& sql;
    bool large;
    const char* port;
    const char* routine;
  };
  const std::vector<Layout> layouts = {{kSmall, false, "LPT3", "ImpEtiqZebra45x25"},
                                       {kLarge, true, "LPT4", "ImpEtiqZebra95x70"}};
  for (const Device& device : devices)
    for (const Layout& layout : layouts) {
      const std::string path = device.path(*this), port = layout.port;
      std::string reason = device.reason;
      if (const auto at = reason.find("{device}"); at != std::string::npos) reason.replace(at, 8, path);
      auto failed = [&](const std::string& p) {
        return "Etiqueta não enviada a " + p + ": Porta " + p + " (" + path + "): " + reason;
      };
      run({std::string(device.name) + " for " + layout.routine,
           [&](FaultDrills& t) {
             t.prepare({{"LPT3", path}, {"LPT4", path}, {"ZEBRA01", path}}, layout.sql + kSale);
             t.dados1 = order_with_labels(layout.large).dump();
           },
           {failed(port), std::string("Funcao:") + layout.routine, failed("ZEBRA01"), "Funcao:ImpZebraZd220"},
           Drill::Printout::Whole,
           true});
    }
}

// Names that a command interpreter would have run are port names like any other: unmapped, logged, and nothing
// runs.
TEST_F(LabelDrills, PortNamesAreNeverCommands) {
  run({"command lines as label printers",
       [](FaultDrills& t) {
         t.prepare({}, kSmall + "UPDATE LOJA SET DSENDEZEBRA = '$(touch x)';");
         t.dados1 = order_with_labels(false, "LPT1 & touch x").dump();
       },
       {"Etiqueta não enviada a LPT1 & touch x: Porta sem mapeamento: LPT1 & touch x",
        "Etiqueta não enviada a $(touch x): Porta sem mapeamento: $(touch x)"},
       Drill::Printout::Whole,
       true});
  EXPECT_FALSE(fs::exists(dir.path() / "x"));
  EXPECT_FALSE(fs::exists(fs::current_path() / "x"));
}

// The small labels on an LPT port the mapping table redirects to a share, the sale labels on a share: each
// label one finished document of its capture queue, byte for byte what a port file receives.
TEST_F(LabelDrills, MappedAndSharedLabelPrintersPrintThroughTheSpooler) {
  prepare({{"LPT3", "printers/LPT3.prn"}, {"ZEBRA01", "printers/ZEBRA01.prn"}}, kSmall + kSale);
  dispatch(order_job(order_with_labels().dump()));
  ASSERT_EQ(wait_idle(30000), 1);
  const Files files = printed();
  ASSERT_TRUE(files.count("LPT3.prn") && files.count("ZEBRA01.prn")) << module_log();
  const std::string labels = files.at("LPT3.prn"), sale = files.at("ZEBRA01.prn");

  prepare({}, kSmall + "UPDATE LOJA SET DSENDEZEBRA = '127.0.0.1\\ZEBRA';");
  json table = json::parse(read_file(dir.path() / "Dados" / "Cadastros" / "cdsMapeamento.cds"));
  table["rows"].push_back({{"CDPORTAIMPR", "LPT3"}, {"DSENDPORTA", "127.0.0.1\\ETIQUETAS"}});
  write_file(dir.path() / "Dados" / "Cadastros" / "cdsMapeamento.cds", table.dump());
  const fs::path spooled = dir.path() / "spooled";
  fs::create_directories(spooled);
  PrivateSpooler cups(dir.path());
  cups.add("ETIQUETAS", "capture:" + (spooled / "ETIQUETAS.prn").string());
  cups.add("ZEBRA", "capture:" + (spooled / "ZEBRA.prn").string());
  dispatch(order_job(order_with_labels().dump()));
  ASSERT_EQ(wait_idle(30000), 1);

  const std::string log = module_log();
  EXPECT_EQ(PrivateSpooler::captured(spooled / "ETIQUETAS.prn", labels.size()), labels) << log;
  EXPECT_EQ(PrivateSpooler::captured(spooled / "ZEBRA.prn", sale.size()), sale) << log;
  EXPECT_EQ(cups.job_titles("ETIQUETAS"), std::vector<std::string>(3, "QuivaneDoc"));
  EXPECT_EQ(cups.job_titles("ZEBRA"), std::vector<std::string>(occurrences(sale, "^XA"), "ZebraZd220.zpl"));
  EXPECT_EQ(printed().count("LPT3.prn"), 0u);
  EXPECT_EQ(log.find("Funcao:"), std::string::npos) << log;
}

}  // namespace
}  // namespace imp::test
