#include "host/services.h"

#include <cctype>
#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>

#include "host/https.h"
#include "host/reference_host.h"
#include "platform/abi_variant.h"
#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/log.h"
#include "platform/packet.h"

namespace imp::host {
namespace {

std::mutex g_mutex;
std::shared_ptr<const imp_host> g_table;  // null: the reference host answers everything

std::shared_ptr<const imp_host> table() {
  std::lock_guard lk(g_mutex);
  return g_table;
}

// The member of the installed table, when the host's table is large enough to hold it and sets it.
template <typename F>
F member(const std::shared_ptr<const imp_host>& t, F imp_host::*m, std::size_t offset) {
  if (!t || offset + sizeof(F) > t->size) return nullptr;
  return (*t).*m;
}
#define IMP_MEMBER(t, name) member((t), &imp_host::name, offsetof(imp_host, name))

// A variant the host filled: copied, then handed back to the host for release.
class HostOut {
 public:
  explicit HostOut(std::shared_ptr<const imp_host> t) : t_(std::move(t)) { std::memset(&v_, 0, sizeof v_); }
  ~HostOut() {
    if (auto rel = IMP_MEMBER(t_, release)) rel(t_->context, &v_);
  }
  imp_variant* get() { return &v_; }
  Variant value() const { return abi::from_abi(v_); }

 private:
  std::shared_ptr<const imp_host> t_;
  imp_variant v_;
};

std::string z(std::string_view s) {
  return std::string(s);
}  // NUL-terminated copy

[[noreturn]] void failed(const char* service) {
  throw Error("Serviço do host falhou: "_cp + service);
}

[[noreturn]] void unavailable(const char* service) {
  throw Error(std::string(service) + ": serviço não disponível neste host"_cp);
}

// The result array holds empty elements that the host fills; each element it wrote goes back to the host's
// `release` (or is freed with free() when the host sets none); the array itself is the module's.
bool array_service(const std::shared_ptr<const imp_host>& t,
                   int32_t (*fn)(void*, const imp_variant*, int32_t, imp_variant*), const VariantArray& args,
                   VariantArray& result) {
  imp_variant in{};
  abi::to_abi(Variant::array(args), &in);
  std::vector<imp_variant> elements(result.size());
  for (auto& e : elements) std::memset(&e, 0, sizeof e);
  imp_variant out{};
  out.type = IMP_VT_ARRAY;
  out.v.array.items = elements.data();
  out.v.array.count = static_cast<int32_t>(elements.size());
  auto release = IMP_MEMBER(t, release);
  auto give_back = [&] {
    abi::clear(&in);
    for (auto& e : elements) {
      if (release)
        release(t->context, &e);
      else
        abi::clear(&e);
    }
  };
  int32_t ok = 0;
  try {
    ok = fn(t->context, in.v.array.items, in.v.array.count, &out);
    for (std::size_t i = 0; i < elements.size(); ++i) result[i] = abi::from_abi(elements[i]);
  } catch (...) {
    give_back();
    throw;
  }
  give_back();
  return ok != 0;
}

}  // namespace

void install(const imp_host* t) {
  std::shared_ptr<const imp_host> copy;
  if (t) {
    auto c = std::make_shared<imp_host>();
    std::memset(c.get(), 0, sizeof(imp_host));
    std::size_t n = t->size < sizeof(imp_host) ? t->size : sizeof(imp_host);
    std::memcpy(c.get(), t, n);
    c->size = static_cast<uint32_t>(n);
    copy = c;
  }
  {
    std::lock_guard lk(g_mutex);
    g_table = copy;
  }
  try {
    refresh_format();
  } catch (...) {
    // a bad format setting surfaces again at the next job, where it is logged
  }
}

std::string ParametersPacket() {
  auto t = table();
  if (auto fn = IMP_MEMBER(t, parameters)) {
    HostOut out(t);
    if (!fn(t->context, out.get())) failed("parameters");
    Variant v = out.value();
    if (v.is_unassigned()) return R"({"fields":[],"rows":[]})";
    return PacketJson(v, "Serviço do host parameters: o registro de parâmetros"_cp);
  }
  return reference::ParametersPacket();
}

FormatSettings Format() {
  auto t = table();
  if (auto fn = IMP_MEMBER(t, format_settings)) {
    // Every field starts at its default: a host that fills only the fields it knows keeps the others.
    FormatSettings fs;
    imp_format_settings s{};
    s.decimal_separator = fs.decimalSeparator;
    s.thousand_separator = fs.thousandSeparator;
    std::strncpy(s.currency_string, fs.currencyString.c_str(), sizeof s.currency_string - 1);
    s.currency_format = fs.currencyFormat;
    s.neg_curr_format = fs.negCurrFormat;
    s.currency_decimals = fs.currencyDecimals;
    if (!fn(t->context, &s)) failed("format_settings");
    fs.decimalSeparator = s.decimal_separator;
    fs.thousandSeparator = s.thousand_separator;
    s.short_date[sizeof s.short_date - 1] = '\0';
    s.short_time[sizeof s.short_time - 1] = '\0';
    s.currency_string[sizeof s.currency_string - 1] = '\0';
    if (s.short_date[0]) fs.shortDate = s.short_date;
    if (s.short_time[0]) fs.shortTime = s.short_time;
    fs.currencyString = s.currency_string;
    fs.currencyFormat = s.currency_format;
    fs.negCurrFormat = s.neg_curr_format;
    fs.currencyDecimals = s.currency_decimals;
    check_currency(fs, "Serviço do host format_settings"_cp);
    return fs;
  }
  return reference::Format();
}

void check_currency(const FormatSettings& fs, std::string_view source) {
  const char* wrong = fs.currencyString.size() > 15                         ? "currencyString"
                      : fs.currencyFormat < 0 || fs.currencyFormat > 3      ? "currencyFormat"
                      : fs.negCurrFormat < 0 || fs.negCurrFormat > 15       ? "negCurrFormat"
                      : fs.currencyDecimals < 0 || fs.currencyDecimals > 18 ? "currencyDecimals"
                                                                            : nullptr;
  if (wrong) throw Error(std::string(source) + ": " + wrong + " fora dos valores do formato de moeda"_cp);
}

void refresh_format() {
  set_current_format(Format());
}

namespace {
// A column count outside 1-255 (a host's callback or imphost.json gone wrong) would lay out tickets of
// gigabytes: it is refused, logged, and the model's built-in count is used.
PrinterProperties sane(std::string_view model, PrinterProperties p, int64_t columns) {
  if (columns >= 1 && columns <= 255) {
    p.columns = static_cast<int32_t>(columns);
    return p;
  }
  p.columns = reference::BuiltinProperties(model).columns;
  log::LogErroImpNaoFiscal("PropriedadesImpNF: número de colunas "_cp + std::to_string(columns) + " do modelo " +
                           std::string(model) + " fora de 1 a 255; usadas " + std::to_string(p.columns));
  return p;
}
}  // namespace

PrinterProperties PropriedadesImpNF(std::string_view model) {
  auto t = table();
  if (auto fn = IMP_MEMBER(t, printer_properties)) {
    PrinterProperties p;
    int32_t columns = p.columns;
    HostOut lf(t), closing(t);
    if (!fn(t->context, z(model).c_str(), &columns, lf.get(), closing.get())) failed("printer_properties");
    p.lineFeed = lf.value().to_text();
    p.closing = closing.value().to_text();
    return sane(model, p, columns);
  }
  PrinterProperties p = reference::PropriedadesImpNF(model);
  return sane(model, p, p.columns);
}

std::string GetStringConexZel(std::string_view system) {
  auto t = table();
  if (auto fn = IMP_MEMBER(t, connection_string)) {
    HostOut out(t);
    if (!fn(t->context, z(system).c_str(), out.get())) failed("connection_string");
    return out.value().to_text();
  }
  return reference::GetStringConexZel(system);
}

void SetADODBSession(std::string_view connection) {
  auto t = table();
  if (auto fn = IMP_MEMBER(t, set_session)) {
    if (!fn(t->context, z(connection).c_str())) failed("set_session");
  }
  // The reference host keeps no session.
}

bool Mensagem(std::string_view text, std::string_view defaultButton) {
  auto t = table();
  if (auto fn = IMP_MEMBER(t, question)) return fn(t->context, z(text).c_str(), z(defaultButton).c_str()) != 0;
  return reference::Mensagem(text, defaultButton);
}

void Trad(std::string_view formName) {
  auto t = table();
  if (auto fn = IMP_MEMBER(t, translate)) fn(t->context, z(formName).c_str());
  // The reference host does not translate: captions stay as stored.
}

std::string RequisicaoHTTPS(std::string_view url, std::string_view body, std::string_view method,
                            const std::vector<std::string>& headers, std::string_view timeout,
                            std::string_view logFile) {
  auto t = table();
  if (auto fn = IMP_MEMBER(t, https_request)) {
    VariantArray hs(headers.begin(), headers.end());
    imp_variant h{};
    abi::to_abi(Variant::array(hs), &h);
    HostOut out(t);
    int32_t ok = 0;
    try {
      ok = fn(t->context, z(url).c_str(), z(body).c_str(), z(method).c_str(), &h, z(timeout).c_str(),
              z(logFile).c_str(), out.get());
    } catch (...) {
      abi::clear(&h);
      throw;
    }
    abi::clear(&h);
    if (!ok) failed("https_request");
    return out.value().to_text();
  }
  return reference::RequisicaoHTTPS(url, body, method, headers, timeout, logFile);
}

VariantArray BuscaVenda(const VariantArray& args) {
  auto t = table();
  VariantArray result(10);
  if (auto fn = IMP_MEMBER(t, busca_venda)) {
    if (!array_service(t, fn, args, result)) failed("busca_venda");
    return result;
  }
  return reference::BuscaVenda(args);
}

#define IMP_IT433TD(Name, member_name, ...)                                       \
  do {                                                                            \
    auto t = table();                                                             \
    if (auto fn = IMP_MEMBER(t, member_name)) return fn(t->context, __VA_ARGS__); \
    unavailable(Name);                                                            \
  } while (0)

int32_t IniciaPorta_IT433TD(std::string_view port) {
  IMP_IT433TD("IniciaPorta_IT433TD", it433td_inicia_porta, z(port).c_str());
}
int32_t FormataTX_IT433TD(std::string_view port, std::string_view text) {
  IMP_IT433TD("FormataTX_IT433TD", it433td_formata_tx, z(port).c_str(), z(text).c_str());
}
int32_t ImprimeQRCode_IT433TD(std::string_view port, std::string_view data, std::string_view extra) {
  IMP_IT433TD("ImprimeQRCode_IT433TD", it433td_imprime_qrcode, z(port).c_str(), z(data).c_str(), z(extra).c_str());
}
int32_t ImprimeCODE128_IT433TD(std::string_view port, std::string_view data) {
  IMP_IT433TD("ImprimeCODE128_IT433TD", it433td_imprime_code128, z(port).c_str(), z(data).c_str());
}
int32_t AcionaGuilhotina_IT433TD(std::string_view port) {
  IMP_IT433TD("AcionaGuilhotina_IT433TD", it433td_aciona_guilhotina, z(port).c_str());
}
int32_t FechaPorta_IT433TD(std::string_view port) {
  IMP_IT433TD("FechaPorta_IT433TD", it433td_fecha_porta, z(port).c_str());
}

namespace {
// Where the reference host reaches a consumer service: the online ones at an address among their arguments,
// the central ones at imphost.json's consumerCentralUrl.
std::string service_url(std::string_view name, const VariantArray& args) {
  const std::size_t at = name == "ExtratoConsOnline" ? 6 : name == "FidelidadeOnline" ? 1 : args.size();
  if (at < args.size()) return args[at].is_unassigned() ? std::string() : args[at].to_text();
  return reference::ConsumerCentralUrl();
}
}  // namespace

#define IMP_CONSUMER(Name, member_name)                                                  \
  bool Name(const VariantArray& args, VariantArray& result) {                            \
    auto t = table();                                                                    \
    if (auto fn = IMP_MEMBER(t, member_name)) return array_service(t, fn, args, result); \
    return reference::ConsumerService(#Name, service_url(#Name, args), args, result);    \
  }
IMP_CONSUMER(ExtratoConsOnline, extrato_cons_online)
IMP_CONSUMER(ExtratoConsCentral, extrato_cons_central)
IMP_CONSUMER(MoviclieCentral, movi_clie_central)
IMP_CONSUMER(FidelidadeOnline, fidelidade_online)

namespace {
std::string sequence_value(const std::shared_ptr<const imp_host>& t, int32_t ok, HostOut& out, const char* name) {
  if (!ok) failed(name);
  (void)t;
  return out.value().to_text();
}
}  // namespace

std::string TdtmZelProxCodigo::PrxVendaDia(std::string_view outlet, double date) {
  auto t = table();
  if (auto fn = IMP_MEMBER(t, prx_venda_dia)) {
    HostOut out(t);
    return sequence_value(t, fn(t->context, z(outlet).c_str(), date, out.get()), out, "prx_venda_dia");
  }
  return reference::NextNumber("PrxVendaDia", outlet, FormatIsoDateTime(date).substr(0, 10), 999999);
}

std::string TdtmZelProxCodigo::PrxVendaConsumidor(std::string_view a, std::string_view b) {
  auto t = table();
  if (auto fn = IMP_MEMBER(t, prx_venda_consumidor)) {
    HostOut out(t);
    return sequence_value(t, fn(t->context, z(a).c_str(), z(b).c_str(), out.get()), out, "prx_venda_consumidor");
  }
  return reference::NextNumber("PrxVendaConsumidor", a, b, 0);
}

std::string TdtmZelProxCodigo::PrxRedZNFiscal(std::string_view outlet, std::string_view till) {
  auto t = table();
  if (auto fn = IMP_MEMBER(t, prx_red_z_nfiscal)) {
    HostOut out(t);
    return sequence_value(t, fn(t->context, z(outlet).c_str(), z(till).c_str(), out.get()), out, "prx_red_z_nfiscal");
  }
  return reference::NextNumber("PrxRedZNFiscal", outlet, till, 0);
}

std::string TdtmZelProxCodigo::PrxLeiXNFiscal(std::string_view outlet, std::string_view till) {
  auto t = table();
  if (auto fn = IMP_MEMBER(t, prx_lei_x_nfiscal)) {
    HostOut out(t);
    return sequence_value(t, fn(t->context, z(outlet).c_str(), z(till).c_str(), out.get()), out, "prx_lei_x_nfiscal");
  }
  return reference::NextNumber("PrxLeiXNFiscal", outlet, till, 0);
}

}  // namespace imp::host
