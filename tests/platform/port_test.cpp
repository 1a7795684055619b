#include "platform/port.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/hostdir.h"
#include "support/network_printer.h"
#include "support/silent_server.h"
#include "support/test_support.h"

namespace imp {
namespace {

TEST(Ports, NamesAndFiles) {
  test::TempDir host, outside;
  hostdir::set(host.str());
  port::PortMap map;
  map.names["LPT1"] = host.path() / "LPT1.prn";
  map.names["COM7"] = outside.path() / "missing" / "COM7.prn";
  EXPECT_EQ(port::device_of(map, "lpt1:"), host.path() / "LPT1.prn");
  EXPECT_EQ(port::device_of(map, "LPT3"), "/dev/lp2");
  EXPECT_EQ(port::device_of(map, "COM2"), "/dev/ttyS1");
  EXPECT_THROW(port::device_of(map, "PRN"), Error);

  // a capture file below the host folder is created and appended to
  port::write(map, "LPT1", "a");
  port::write(map, "LPT1", "b\x1b@");
  EXPECT_EQ(test::read_file(host.path() / "LPT1.prn"), "ab\x1b@");
  // a missing device outside the host folder is an error, never a new file
  EXPECT_THROW(port::write(map, "COM7", "x"), Error);
  map.names["COM7"] = outside.path() / "COM7.prn";
  EXPECT_THROW(port::touch(map, "COM7"), Error);
  EXPECT_FALSE(std::filesystem::exists(outside.path() / "COM7.prn"));

  // A capture file is never reached through a link planted at its name, dangling or not.
  std::filesystem::create_symlink(outside.path() / "LPT2.prn", host.path() / "LPT2.prn");
  map.names["LPT2"] = host.path() / "LPT2.prn";
  EXPECT_THROW(port::write(map, "LPT2", "x"), Error);
  EXPECT_FALSE(std::filesystem::exists(outside.path() / "LPT2.prn"));
  test::write_file(outside.path() / "existing.txt", "kept");
  map.names["LPT3"] = outside.path() / "existing.txt";  // a regular file outside the host folder is no printer
  EXPECT_THROW(port::write(map, "LPT3", "x"), Error);
  EXPECT_EQ(test::read_file(outside.path() / "existing.txt"), "kept");
  // A bad entry of the map fails its own port only.
  map.invalid["LPT4"] = "imphost.json: a porta LPT4 deve ser um texto";
  EXPECT_THROW(port::device_of(map, "LPT4"), Error);
  EXPECT_NO_THROW(port::write(map, "LPT1", "c"));
  hostdir::set("");
}

// "socket://HOST[:PORT]" is a printer on the network: each write is one connection holding exactly the bytes.
// A printer that takes the connection and never reads, or an address nobody listens on, fails within the
// port's timeout.
TEST(Ports, NetworkPrinters) {
  test::NetworkPrinter printer;
  port::PortMap map;
  map.timeoutSeconds = 1;
  map.names["LPT1"] = printer.uri();
  port::write(map, "LPT1", std::string("PEDIDO\x1b@\0fim", 12));
  port::write(map, "LPT1", "\x1bm");
  EXPECT_EQ(printer.jobs(2), (std::vector<std::string>{std::string("PEDIDO\x1b@\0fim", 12), "\x1bm"}));

  test::SilentServer stalled;
  const int closed = [] {  // a loopback port nobody listens on
    test::SilentServer s;
    return s.port();
  }();
  struct Case {
    const char* name;
    std::string uri;
    std::size_t bytes;
    const char* says;
  };
  const std::vector<Case> cases = {
      {"stalled printer", "socket://127.0.0.1:" + std::to_string(stalled.port()), 64u << 20, "tempo esgotado"},
      {"nobody listens", "socket://127.0.0.1:" + std::to_string(closed), 10, "não foi possível conectar"},
      {"not an address", "socket://127.0.0.1:porta", 10, "inválido"},
      {"no host", "socket://:9100", 10, "inválido"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    map.names["LPT2"] = c.uri;
    const auto start = std::chrono::steady_clock::now();
    try {
      port::write(map, "LPT2", std::string(c.bytes, 'x'));
      ADD_FAILURE() << "written";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(*cp1252::from_utf8(c.says)), std::string::npos) << e.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
  }
}

}  // namespace
}  // namespace imp
