#include "host/port_config.h"

#include <cctype>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/hostdir.h"

namespace imp::host {

port::PortMap PortConfig() {
  port::PortMap map;
  auto path = hostdir::resolve("imphost.json");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return map;
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  nlohmann::json cfg;
  try {
    cfg = nlohmann::json::parse(ss.str());
  } catch (const std::exception& e) {
    throw Error("imphost.json inválido: "_cp + cp1252::from_utf8_lossy(e.what()));
  }
  if (cfg.contains("portTimeoutSeconds")) {
    const auto& t = cfg["portTimeoutSeconds"];
    if (!t.is_number() || t.get<double>() < 1 || t.get<double>() > 3600)
      throw Error("imphost.json: portTimeoutSeconds deve ser um número de 1 a 3600"_cp);
    map.timeoutSeconds = static_cast<int>(t.get<double>());
  }
  if (cfg.contains("ports") && !cfg["ports"].is_object()) throw Error("imphost.json: ports deve ser um objeto");
  if (cfg.contains("ports") && cfg["ports"].is_object()) {
    for (auto it = cfg["ports"].begin(); it != cfg["ports"].end(); ++it) {
      if (!it.value().is_string()) throw Error("imphost.json: a porta " + it.key() + " deve ser um texto");
      std::string name = it.key();
      for (auto& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      while (!name.empty() && (name.back() == ':' || name.back() == ' ')) name.pop_back();
      std::filesystem::path target = it.value().get<std::string>();
      map.names[name] = target.is_absolute() ? target : hostdir::resolve(target.string());
    }
  }
  return map;
}

}  // namespace imp::host
