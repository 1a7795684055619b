#include "platform/hostdir.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "support/test_support.h"

namespace imp {
namespace {

class HostDir : public ::testing::Test {
 protected:
  void SetUp() override { hostdir::set(dir.str()); }
  void TearDown() override { hostdir::set(""); }
  test::TempDir dir;
};

TEST_F(HostDir, ResolvesWindowsPathsCaseInsensitively) {
  test::write_file(dir.path() / "dados" / "Cadastros" / "prodloja.cds", "{}");
  EXPECT_EQ(hostdir::resolve("\\Dados\\Cadastros\\ProdLoja.cds"), dir.path() / "dados" / "Cadastros" / "prodloja.cds");
  EXPECT_EQ(hostdir::resolve("C:\\DADOS\\cadastros\\PRODLOJA.CDS"),
            dir.path() / "dados" / "Cadastros" / "prodloja.cds");
  // Missing components keep the spelling given; nothing is created.
  EXPECT_EQ(hostdir::resolve("\\Dados\\Novo\\x.txt"), dir.path() / "dados" / "Novo" / "x.txt");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "dados" / "Novo"));
  EXPECT_EQ(hostdir::resolve("C:\\Windows\\temp\\a.bmp"), dir.path() / "tmp" / "a.bmp");
}

TEST_F(HostDir, ExactSpellingWins) {
  std::filesystem::create_directories(dir.path() / "Dados");
  std::filesystem::create_directories(dir.path() / "dados");
  EXPECT_EQ(hostdir::resolve("\\dados\\x"), dir.path() / "dados" / "x");
  EXPECT_EQ(hostdir::resolve("\\Dados\\x"), dir.path() / "Dados" / "x");
}

TEST_F(HostDir, RefusesEscapingTheFolder) {
  EXPECT_THROW(hostdir::resolve("\\Dados\\..\\..\\etc\\passwd"), Error);
  EXPECT_THROW(hostdir::resolve("../x"), Error);
}

TEST(HostDirRoot, FallsBackToEnvironmentThenExecutable) {
  hostdir::set("");
  setenv("IMP_HOST_DIR", "/tmp/imp-host-x", 1);
  EXPECT_EQ(hostdir::root(), std::filesystem::path("/tmp/imp-host-x"));
  unsetenv("IMP_HOST_DIR");
  EXPECT_EQ(hostdir::root(), std::filesystem::read_symlink("/proc/self/exe").parent_path());

  // A relative folder is taken against the working folder of the moment it is given (or first read).
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path("/tmp");
  hostdir::set("imp-rel");
  setenv("IMP_HOST_DIR", "imp-env", 1);
  const auto set = hostdir::root();
  hostdir::set("");
  const auto env = hostdir::root();
  std::filesystem::current_path("/");
  EXPECT_EQ(set, std::filesystem::path("/tmp/imp-rel"));
  EXPECT_EQ(env, std::filesystem::path("/tmp/imp-env"));
  EXPECT_EQ(hostdir::root(), std::filesystem::path("/tmp/imp-env"));
  unsetenv("IMP_HOST_DIR");
  std::filesystem::current_path(cwd);
}

}  // namespace
}  // namespace imp
