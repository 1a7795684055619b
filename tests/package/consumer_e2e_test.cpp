// Consumer accounts and loyalty through the C ABI: the debit receipt's job array, the points services'
// arrays, and the AME payment QR code on the stand-in MP2032 library (its calls in the driver trace).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "ticket_host.h"

namespace imp::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class ConsumerAbi : public TicketHost {
 protected:
  static imp_variant number(double d) {
    imp_variant v{};
    v.type = IMP_VT_DOUBLE;
    v.v.d = d;
    return v;
  }
};

TEST_F(ConsumerAbi, DebitReceiptAndPoints) {
  prepare("debit", merged(brasil(), {{"IDPARIMPRLIMVDC", "D"}, {"CDOPERADORLOGIN", "0007"}}), brazilian_format(), "");
  const json products = {{"fields",
                          {{{"name", "NMPRODUTO"}, {"type", "string"}},
                           {{"name", "QTPRODCOMVEN"}, {"type", "float"}},
                           {{"name", "VRPRECCOMVEN"}, {"type", "float"}}}},
                         {"rows", {{{"NMPRODUTO", "Prato do dia"}, {"QTPRODCOMVEN", 1}, {"VRPRECCOMVEN", 24.9}}}}};
  std::vector<imp_variant> args(25, text(""));
  args[0] = packet(products.dump());
  args[1] = number(24.9);
  args[3] = text("00458");
  args[5] = text("0000001");
  args[8] = number(100);
  args[9] = number(0);
  args[12] = text("4");
  args[24] = null();
  lib.fn<JobFn>("Comp_DebitoCons_Bematech_NaoFiscal")(args.data(), static_cast<int32_t>(args.size()), nullptr);
  const std::string got = read_file(folder / "printers" / "LPT1.prn");
  for (const char* line :
       {"Venda - Debito Consumidor", "Prato do dia", "Saldo Final : R$ 75,10\n", "Limite Diario: R$ 35,10\n"})
    EXPECT_NE(got.find(line), std::string::npos) << line << "\n" << readable(got);
  lib.fn<JobFn>("Cli_imp00000_Comp_DebitoCons_Bematech_NaoFiscal")(args.data(), 24, nullptr);
  EXPECT_NE(module_log().find("lista de dados com 24 elemento(s)"), std::string::npos);

  imp_variant out{};
  lib.fn<void (*)(const char*, const char*, const char*, const char*, const char*, imp_variant*)>(
      "Cli_imp00000_TrdmImpressoras_getDescSaldoFid")("0000001", "00458", "0001", "001", "0000000310", &out);
  ASSERT_EQ(out.type, IMP_VT_ARRAY);
  ASSERT_EQ(out.v.array.count, 3);
  EXPECT_DOUBLE_EQ(out.v.array.items[0].v.d, 125.0);
  lib.fn<void (*)(imp_variant*)>("imp_variant_clear")(&out);
}

TEST_F(ConsumerAbi, PaymentQrCodeOnTheThirdPrinter) {
  setenv("IMP_DRIVER_PATH", IMP_DRIVERS_DIR, 1);
  prepare("ame", merged(brasil(), {{"IDTIPOIMPNF3", "13"}, {"CDPORTIMPNF3", "USB"}}), brazilian_format(), "",
          {{"USB", "printers/USB.prn"}});
  const fs::path trace = folder / "trace.txt";
  setenv("IMP_DRIVER_TRACE", trace.c_str(), 1);
  ASSERT_EQ(lib.fn<int32_t (*)()>("StartMp2032")(), 1);
  lib.fn<void (*)(const char*, const char*)>("imprimeQRCodeAME")("13", "AME-PAGAMENTO-0042");
  std::vector<std::string> calls;
  std::istringstream in(read_file(trace));
  for (std::string line; std::getline(in, line);)
    if (line.find("imp_driver_configure") == std::string::npos) calls.push_back(line.substr(0, line.find('(')));
  EXPECT_EQ(calls, (std::vector<std::string>{"Mp2032 IniciaPorta", "Mp2032 ComandoTX", "Mp2032 ComandoTX",
                                             "Mp2032 ComandoTX", "Mp2032 FormataTX", "Mp2032 FormataTX",
                                             "Mp2032 ConfiguraCodigoBarras", "Mp2032 ImprimeCodigoQRCODE",
                                             "Mp2032 FormataTX", "Mp2032 AcionaGuilhotina", "Mp2032 FechaPorta"}));
  EXPECT_NE(read_file(trace).find("ConfiguraCodigoBarras(60, 1, 2, 0, 174)"), std::string::npos);
  const std::string usb = read_file(folder / "printers" / "USB.prn");
  EXPECT_NE(usb.find("AME-PAGAMENTO-0042"), std::string::npos);
  EXPECT_NE(usb.find("QR CODE - AME DIGITAL"), std::string::npos);
  lib.fn<void (*)()>("Cli_imp00000_StopMp2032")();
  unsetenv("IMP_DRIVER_TRACE");
  unsetenv("IMP_DRIVER_PATH");
}

}  // namespace
}  // namespace imp::test
