#include "host/https.h"

#include <curl/curl.h>

#include <cctype>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>

#include "host/reference_host.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/hostdir.h"
#include "platform/rtl.h"

namespace imp::host::reference {
namespace {

using Json = nlohmann::json;

void global_init() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::size_t collect(char* data, std::size_t size, std::size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

// A "name=value" header as an HTTP header line.
std::string header_line(const std::string& header) {
  const auto eq = header.find('=');
  return eq == std::string::npos ? header : header.substr(0, eq) + ": " + header.substr(eq + 1);
}

// Header lines as they go to a log: the authorisation never.
std::string loggable(const std::string& header) {
  const auto colon = header.find(':');
  std::string name = header.substr(0, colon == std::string::npos ? 0 : colon);
  for (auto& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (name == "authorization") return header.substr(0, colon) + ": ***";
  return header;
}

void log_line(std::string_view logFile, const std::string& text) {
  if (logFile.empty()) return;
  try {
    const auto path = hostdir::resolve(logFile);
    hostdir::create_folders(path.parent_path());
    std::ofstream out(path, std::ios::app | std::ios::binary);
    out << cp1252::to_utf8(FormatDateTime("dd/mm/yyyy hh:nn:ss", clock::Now())) << " - " << text << "\n";
  } catch (const std::exception&) {
    // A log that cannot be written never costs the request.
  }
}

Json to_json(const Variant& v) {
  switch (v.type()) {
    case Variant::Type::Empty:
    case Variant::Type::Null: return nullptr;
    case Variant::Type::Bool: return v.to_bool();
    case Variant::Type::Int: return v.to_int();
    case Variant::Type::Double: return v.to_double();
    case Variant::Type::DateTime: return Json{{"date", FormatIsoDateTime(v.to_double())}};
    case Variant::Type::Text: return cp1252::to_utf8(v.text());
    case Variant::Type::Bytes: return Json{{"packet", Json::parse(v.bytes_value(), nullptr, false)}};
    case Variant::Type::Array: {
      Json a = Json::array();
      for (const Variant& item : v.items()) a.push_back(to_json(item));
      return a;
    }
  }
  return nullptr;
}

Variant from_json(const Json& j) {
  if (j.is_null()) return Variant::null();
  if (j.is_boolean()) return Variant(j.get<bool>());
  if (j.is_number_integer()) return Variant(static_cast<double>(j.get<long long>()));
  if (j.is_number()) return Variant(j.get<double>());
  if (j.is_string()) return Variant(cp1252::from_utf8_lossy(j.get<std::string>()));
  if (j.is_object() && j.contains("packet")) return Variant::bytes(j["packet"].dump());
  if (j.is_object() && j.contains("date") && j["date"].is_string())
    if (auto dt = ParseIsoDateTime(j["date"].get<std::string>())) return Variant::date_time(*dt);
  throw Error("resposta do serviço com um valor que não se converte"_cp);
}

}  // namespace

std::string RequisicaoHTTPS(std::string_view url, std::string_view body, std::string_view method,
                            const std::vector<std::string>& headers, std::string_view timeout,
                            std::string_view logFile) {
  global_init();
  long seconds = HttpTimeoutSeconds();
  if (seconds == 0) {
    const auto t = TryStrToFloat(timeout, current_format());
    seconds = t && *t >= 1 ? static_cast<long>(*t) : 30;
  }
  CURL* curl = curl_easy_init();
  if (!curl) throw Error("RequisicaoHTTPS: libcurl não iniciou"_cp);
  const std::string u = cp1252::to_utf8(url), m = std::string(method), b = cp1252::to_utf8(body);
  curl_slist* list = nullptr;
  std::string logged = m + " " + u;
  for (const std::string& h : headers) {
    const std::string line = header_line(h);
    list = curl_slist_append(list, cp1252::to_utf8(line).c_str());
    logged += " | " + loggable(line);
  }
  log_line(logFile, cp1252::from_utf8_lossy(logged) + " | " + std::string(body));
  std::string response;
  char error[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_URL, u.c_str());
  curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, m.c_str());
  if (m != "GET") {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, b.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(b.size()));
  }
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, seconds);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, seconds);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
  const CURLcode rc = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_slist_free_all(list);
  curl_easy_cleanup(curl);
  if (rc != CURLE_OK) {
    const std::string why = "RequisicaoHTTPS " + cp1252::from_utf8_lossy(u) + ": " +
                            cp1252::from_utf8_lossy(error[0] ? error : curl_easy_strerror(rc));
    log_line(logFile, why);
    throw Error(why);
  }
  log_line(logFile, "HTTP " + std::to_string(status) + " | " + cp1252::from_utf8_lossy(response));
  if (status < 200 || status > 299)
    throw Error("RequisicaoHTTPS " + cp1252::from_utf8_lossy(u) + ": HTTP " + std::to_string(status));
  return cp1252::from_utf8_lossy(response);
}

bool ConsumerService(std::string_view service, std::string_view url, const VariantArray& args, VariantArray& result) {
  if (url.empty()) throw Error(std::string(service) + ": endereço do serviço não configurado"_cp);
  Json arguments = Json::array();
  for (const Variant& a : args) arguments.push_back(to_json(a));
  const Json request = {{"servico", std::string(service)}, {"argumentos", arguments}};
  const std::string answer = RequisicaoHTTPS(url, cp1252::from_utf8_lossy(request.dump()), "POST",
                                             {"Content-Type=application/json"}, "30", "");
  const Json reply = Json::parse(cp1252::to_utf8(answer), nullptr, false);
  if (!reply.is_object() || !reply.contains("ok") || !reply["ok"].is_boolean())
    throw Error(std::string(service) + ": resposta inválida do serviço"_cp);
  if (reply.contains("resultado") && reply["resultado"].is_array()) {
    const Json& items = reply["resultado"];
    for (std::size_t i = 0; i < items.size() && i < result.size(); ++i) result[i] = from_json(items[i]);
  }
  return reply["ok"].get<bool>();
}

}  // namespace imp::host::reference
