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
  hostdir::set("");
}

}  // namespace
}  // namespace imp
