// The reference host's HTTP(S) client and its consumer services against a loopback server of the test:
// what goes on the wire, what comes back, and every way a request fails.
#include "host/https.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>

#include "host/services.h"
#include "platform/error.h"
#include "platform/hostdir.h"
#include "support/http_server.h"
#include "support/loopback.h"
#include "support/test_support.h"

extern char** environ;

namespace imp {
namespace {

using Json = nlohmann::json;

// A loopback port nobody listens on at the moment.
int free_port() {
  int port = 0;
  ::close(test::listen_on_loopback(port, "free_port"));
  return port;
}

class Https : public ::testing::Test {
 protected:
  void SetUp() override {
    hostdir::set(dir.str());
    host::install(nullptr);
    test::write_file(dir.path() / "imphost.json", "{}");
  }
  void TearDown() override { hostdir::set(""); }
  test::TempDir dir;
  test::HttpServer server;
};

TEST_F(Https, ARequestGoesOutAsGivenAndItsAnswerComesBack) {
  server.answer({200, R"({"status":true})"});
  const std::string answer =
      host::RequisicaoHTTPS(server.url("/ordem"), R"({"phone":"1199"})", "POST",
                            {"Content-Type=application/json", "Authorization=segredo", "ec=42"}, "5", "Dados/api.log");
  EXPECT_EQ(answer, R"({"status":true})");
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].path, "/ordem");
  EXPECT_EQ(requests[0].body, R"({"phone":"1199"})");
  EXPECT_EQ(requests[0].headers.at("content-type"), "application/json");
  EXPECT_EQ(requests[0].headers.at("authorization"), "segredo");
  EXPECT_EQ(requests[0].headers.at("ec"), "42");
  const std::string log = test::read_file(dir.path() / "Dados" / "api.log");
  EXPECT_NE(log.find("Authorization: ***"), std::string::npos) << log;
  EXPECT_EQ(log.find("segredo"), std::string::npos) << "the log never holds the authorisation";
  EXPECT_NE(log.find("HTTP 200"), std::string::npos) << log;
}

TEST_F(Https, FailuresAreErrors) {
  server.answer({500, "erro"});
  EXPECT_THROW(host::RequisicaoHTTPS(server.url(), "", "POST", {}, "5", ""), Error) << "HTTP 500";
  // A server that answers after the time-out: httpTimeoutSeconds overrides the caller's 50 s.
  test::write_file(dir.path() / "imphost.json", R"({"httpTimeoutSeconds": 1})");
  server.answer({200, "{}", 2500});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(host::RequisicaoHTTPS(server.url(), "", "POST", {}, "50", ""), Error);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2400));
  EXPECT_THROW(host::RequisicaoHTTPS("http://127.0.0.1:1/", "", "POST", {}, "5", ""), Error) << "refused";
}

// An HTTPS server whose certificate nobody signed is refused.
TEST_F(Https, AnUnverifiedCertificateIsRefused) {
  const std::string key = (dir.path() / "key.pem").string(), cert = (dir.path() / "cert.pem").string();
  const std::string make = "openssl req -x509 -newkey rsa:2048 -nodes -keyout '" + key + "' -out '" + cert +
                           "' -days 1 -subj /CN=127.0.0.1 >/dev/null 2>&1";
  ASSERT_EQ(std::system(make.c_str()), 0);
  const int port = free_port();
  std::vector<std::string> args = {"openssl", "s_server", "-quiet", "-accept", "127.0.0.1:" + std::to_string(port),
                                   "-cert",   cert,       "-key",   key,       "-www"};
  const std::string address = "https://127.0.0.1:" + std::to_string(port) + "/";
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawnp(&pid, "openssl", nullptr, nullptr, argv.data(), environ), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  try {
    host::RequisicaoHTTPS(address, "", "GET", {}, "5", "");
    ADD_FAILURE() << "a self-signed certificate was accepted";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("certificate"), std::string::npos) << e.what();
  }
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
}

// A consumer service: the documented body, the packet and values of the answer, its "ok".
TEST_F(Https, ConsumerServicesPostTheirArgumentsAsJson) {
  server.answer({200, R"({"ok": true, "resultado": [{"packet": {"fields": [{"name": "VRSALDCONFAM", "type": "float"}],
                                                                "rows": [{"VRSALDCONFAM": 12.5}]}}]})"});
  VariantArray result(10);
  const VariantArray args = {Variant::bytes(R"({"fields":[],"rows":[]})"),
                             Variant(0),
                             Variant("0000001"),
                             Variant("00458"),
                             Variant("T"),
                             Variant(0),
                             Variant(server.url("/saldo")),
                             Variant("CONSULTA_SALDO")};
  EXPECT_TRUE(host::ExtratoConsOnline(args, result));
  ASSERT_EQ(result[0].type(), Variant::Type::Bytes);
  EXPECT_NE(result[0].bytes_value().find("12.5"), std::string::npos);
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/saldo");
  const Json body = Json::parse(requests[0].body);
  EXPECT_EQ(body["servico"], "ExtratoConsOnline");
  EXPECT_EQ(body["argumentos"][2], "0000001");
  EXPECT_EQ(body["argumentos"][0]["packet"]["rows"], Json::array());
  EXPECT_EQ(body["argumentos"][7], "CONSULTA_SALDO");

  server.answer({200, R"({"ok": false})"});
  EXPECT_FALSE(host::ExtratoConsOnline(args, result));
  server.answer({200, "nao e json"});
  EXPECT_THROW(host::ExtratoConsOnline(args, result), Error);
  // The central services need their address.
  EXPECT_THROW(host::MoviclieCentral({Variant("V")}, result), Error);
}

}  // namespace
}  // namespace imp
