#include "platform/port.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/hostdir.h"
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

}  // namespace
}  // namespace imp
