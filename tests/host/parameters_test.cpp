#include "host/parameters.h"

#include <gtest/gtest.h>

#include "host/services.h"
#include "platform/error.h"
#include "platform/hostdir.h"
#include "support/test_support.h"

namespace imp {
namespace {

TEST(HostParameters, FieldsTheRecordLacksReadEmpty) {
  test::TempDir dir;
  hostdir::set(dir.str());
  host::install(nullptr);
  test::write_file(dir.path() / "imphost.json",
                   R"({"parameters": {"CDFILIAL": "0001", "SISTEMAZELSAT": true, "VRCOMISVENDA": 10.5}})");
  auto p = host::Parameters::Load();
  EXPECT_FALSE(p.IsEmpty());
  EXPECT_EQ(p.AsString("cdfilial"), "0001");
  EXPECT_TRUE(p.AsBoolean("SISTEMAZELSAT"));
  EXPECT_DOUBLE_EQ(p.AsFloat("VRCOMISVENDA"), 10.5);
  EXPECT_FALSE(p.Has("IDPAISINTEGRA"));
  EXPECT_EQ(p.AsString("IDPAISINTEGRA"), "");

  test::write_file(dir.path() / "imphost.json", R"({"parameters": {}})");
  auto empty = host::Parameters::Load();
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(empty.AsString("CDFILIAL"), "");

  EXPECT_THROW(host::Parameters("not a packet"), Error);
  hostdir::set("");
}

}  // namespace
}  // namespace imp
