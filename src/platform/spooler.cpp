#include "platform/spooler.h"

#include <cups/cups.h>
#include <cups/pwg.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/cp1252.h"
#include "platform/error.h"

namespace imp::spooler {
namespace {

struct HttpCloser {
  void operator()(http_t* h) const { httpClose(h); }
};
using Http = std::unique_ptr<http_t, HttpCloser>;

struct IppDeleter {
  void operator()(ipp_t* p) const { ippDelete(p); }
};
using Ipp = std::unique_ptr<ipp_t, IppDeleter>;

std::string last_error() {
  const char* s = cupsLastErrorString();
  return cp1252::from_utf8_lossy(s ? s : "erro do spooler");
}

// A connection to `server` ("/path/to/socket", "HOST" or "HOST:PORT") within the timeout, its later reads and
// writes bounded by the same timeout.
Http open_http(const std::string& server, int timeoutSeconds) {
  std::string host = server;
  int port = ippPort();
  if (!host.empty() && host[0] != '/') {
    const auto colon = host.rfind(':');
    if (colon != std::string::npos && host.find(']') == std::string::npos && host.find(':') == colon) {
      port = std::atoi(host.c_str() + colon + 1);
      host.resize(colon);
    }
  }
  http_t* h = httpConnect2(host.c_str(), port, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_IF_REQUESTED, 1,
                           timeoutSeconds * 1000, nullptr);
  if (!h) throw Error("Spooler " + cp1252::from_utf8_lossy(server) + " não responde"_cp);
  httpSetTimeout(h, timeoutSeconds, nullptr, nullptr);  // no callback: a read or write past it fails
  return Http(h);
}

std::string printer_uri(const std::string& name) {
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s", name.c_str());
  return uri;
}

// "ipp://HOST[:PORT]/printers/NAME" -> HOST, or "".
std::string connection_host(const std::string& uri) {
  char scheme[32], user[256], host[256], resource[1024];
  int port = 0;
  if (httpSeparateURI(HTTP_URI_CODING_ALL, uri.c_str(), scheme, sizeof scheme, user, sizeof user, host, sizeof host,
                      &port, resource, sizeof resource) < HTTP_URI_STATUS_OK)
    return {};
  if (std::strcmp(scheme, "ipp") != 0 && std::strcmp(scheme, "ipps") != 0) return {};
  if (std::strncmp(resource, "/printers/", 10) != 0) return {};
  return host;
}

bool failed(ipp_t* response) {
  return !response || cupsLastError() > IPP_STATUS_OK_CONFLICTING;
}

class CupsDocument : public Document {
 public:
  CupsDocument(Http http, std::string printer, int job, Settings settings)
      : http_(std::move(http)), printer_(std::move(printer)), job_(job), settings_(std::move(settings)) {}
  ~CupsDocument() override {
    if (!http_) return;
    try {
      finish();
    } catch (...) {
      cancel();
    }
  }
  const std::string& printer() const override { return printer_; }
  int job() const override { return job_; }

  void write(std::string_view bytes) override {
    if (!http_) throw Error("Documento do spooler já encerrado"_cp);
    if (bytes.empty()) return;
    if (cupsWriteRequestData(http_.get(), bytes.data(), bytes.size()) != HTTP_STATUS_CONTINUE)
      throw Error("Spooler: falha ao enviar dados para "_cp + printer_ + ": " + last_error());
  }

  void finish() override {
    if (!http_) return;
    const ipp_status_t status = cupsFinishDocument(http_.get(), printer_.c_str());
    http_.reset();
    if (status > IPP_STATUS_OK_CONFLICTING)
      throw Error("Spooler: documento não concluído em "_cp + printer_ + ": " + last_error());
  }

  void cancel() override {
    if (!http_) return;
    http_.reset();  // the unfinished request goes with its connection
    try {
      Http h = open_http(ServerOf(settings_), settings_.timeoutSeconds);
      cupsCancelJob2(h.get(), printer_.c_str(), job_, 0);
    } catch (...) {
      // a spooler that went away has no job to cancel
    }
  }

 private:
  Http http_;
  std::string printer_;
  int job_;
  Settings settings_;
};

class CupsSpooler : public Spooler {
 public:
  explicit CupsSpooler(Settings s) : settings_(std::move(s)) {}

  std::vector<Printer> printers() override {
    Http h = connect();
    ipp_t* req = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    static const char* const kAttrs[] = {"printer-name", "device-uri", "printer-make-and-model", "printer-state"};
    ippAddStrings(req, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 4, nullptr, kAttrs);
    Ipp resp(cupsDoRequest(h.get(), req, "/"));
    std::vector<Printer> out;
    if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) return out;  // no printer at all
    if (failed(resp.get())) throw Error("Spooler: lista de impressoras indisponível: "_cp + last_error());
    Printer p;
    bool any = false;
    auto flush = [&] {
      if (any && !p.name.empty()) {
        p.share = p.name;
        const std::string host = connection_host(p.port);
        p.server = host.empty() ? std::string() : "\\\\" + cp1252::from_utf8_lossy(host);
        out.push_back(p);
      }
      p = Printer{};
      any = false;
    };
    for (ipp_attribute_t* a = ippFirstAttribute(resp.get()); a; a = ippNextAttribute(resp.get())) {
      if (ippGetGroupTag(a) != IPP_TAG_PRINTER || !ippGetName(a)) {
        flush();
        continue;
      }
      any = true;
      const std::string name = ippGetName(a);
      if (name == "printer-state") {
        p.busy = ippGetInteger(a, 0) == IPP_PSTATE_PROCESSING;
        continue;
      }
      const char* value = ippGetString(a, 0, nullptr);
      const std::string v = cp1252::from_utf8_lossy(value ? value : "");
      if (name == "printer-name") p.name = v;
      if (name == "device-uri") p.port = v;
      if (name == "printer-make-and-model") p.driver = v;
    }
    flush();
    return out;
  }

  std::string default_printer() override {
    Http h = connect();
    Ipp resp(cupsDoRequest(h.get(), ippNewRequest(IPP_OP_CUPS_GET_DEFAULT), "/"));
    if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) return {};
    if (failed(resp.get())) throw Error("Spooler: impressora padrão indisponível: "_cp + last_error());
    ipp_attribute_t* a = ippFindAttribute(resp.get(), "printer-name", IPP_TAG_NAME);
    const char* name = a ? ippGetString(a, 0, nullptr) : nullptr;
    return cp1252::from_utf8_lossy(name ? name : "");
  }

  Paper paper(const std::string& printer) override {
    Paper paper;
    Http h = connect();
    ipp_t* req = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    const std::string uri = printer_uri(cp1252::to_utf8(printer));
    ippAddString(req, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    static const char* const kAttrs[] = {"media-default", "printer-resolution-default"};
    ippAddStrings(req, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr, kAttrs);
    Ipp resp(cupsDoRequest(h.get(), req, "/"));
    if (failed(resp.get())) return paper;
    if (ipp_attribute_t* m = ippFindAttribute(resp.get(), "media-default", IPP_TAG_ZERO)) {
      const char* kw = ippGetString(m, 0, nullptr);
      if (pwg_media_t* media = kw ? pwgMediaForPWG(kw) : nullptr) paper.width = media->width / 10;
    }
    if (ipp_attribute_t* r = ippFindAttribute(resp.get(), "printer-resolution-default", IPP_TAG_RESOLUTION)) {
      int y = 0;
      ipp_res_t units;
      ippGetResolution(r, 0, &y, &units);
      if (units == IPP_RES_PER_CM) y = y * 254 / 100;
      if (y > 0) paper.yResolution = y;
    }
    return paper;
  }

  std::unique_ptr<Document> begin(const std::string& printer, const std::string& title,
                                  const std::string& format) override {
    Http h = connect();
    const std::string queue = cp1252::to_utf8(printer);
    const std::string name = cp1252::to_utf8(title);
    const int job = cupsCreateJob(h.get(), queue.c_str(), name.c_str(), 0, nullptr);
    if (job <= 0) throw Error("Spooler: a impressora "_cp + printer + " não aceitou o documento: "_cp + last_error());
    if (cupsStartDocument(h.get(), queue.c_str(), job, name.c_str(), format.empty() ? CUPS_FORMAT_RAW : format.c_str(),
                          1) != HTTP_STATUS_CONTINUE) {
      const std::string why = last_error();
      cupsCancelJob2(h.get(), queue.c_str(), job, 0);
      throw Error("Spooler: a impressora "_cp + printer + " não aceitou o documento: "_cp + why);
    }
    return std::make_unique<CupsDocument>(std::move(h), queue, job, settings_);
  }

  std::string connect_printer(const std::string& server, const std::string& name) override {
    // The other server must answer for its printer before a queue points at it.
    {
      Http remote = open_http(server, settings_.timeoutSeconds);
      ipp_t* req = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
      char uri[HTTP_MAX_URI];
      httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                       name.c_str());
      ippAddString(req, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
      ippAddString(req, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "printer-name");
      Ipp resp(cupsDoRequest(remote.get(), req, ("/printers/" + name).c_str()));
      if (failed(resp.get()))
        throw Error("Spooler: " + server + " não responde pela impressora "_cp + name + ": " + last_error());
    }
    std::string queue = server + "_" + name;
    for (char& c : queue)
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-' && c != '.') c = '_';
    char device[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, device, sizeof device, "ipp", nullptr, server.c_str(), 0, "/printers/%s",
                     name.c_str());
    if (server.find(':') != std::string::npos)  // HOST:PORT as given
      std::snprintf(device, sizeof device, "ipp://%s/printers/%s", server.c_str(), name.c_str());
    Http h = connect();
    ipp_t* req = ippNewRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER);
    const std::string uri = printer_uri(queue);
    ippAddString(req, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippAddString(req, IPP_TAG_OPERATION, IPP_TAG_NAME, "ppd-name", nullptr, "raw");
    ippAddString(req, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, device);
    ippAddString(req, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-info", nullptr, ("\\\\" + server + "\\" + name).c_str());
    ippAddBoolean(req, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
    ippAddInteger(req, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
    Ipp resp(cupsDoRequest(h.get(), req, "/admin/"));
    if (failed(resp.get()))
      throw Error("Spooler: conexão com \\\\"_cp + server + "\\" + name + " não criada: "_cp + last_error());
    // A new queue starts stopped and rejecting: it takes and prints jobs from now on.
    for (ipp_op_t op : {IPP_OP_CUPS_ACCEPT_JOBS, IPP_OP_RESUME_PRINTER}) {
      ipp_t* enable = ippNewRequest(op);
      ippAddString(enable, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
      Ipp r(cupsDoRequest(h.get(), enable, "/admin/"));
      if (failed(r.get()))
        throw Error("Spooler: conexão com \\\\"_cp + server + "\\" + name + " não ativada: "_cp + last_error());
    }
    return cp1252::from_utf8_lossy(queue);
  }

 private:
  Http connect() { return open_http(ServerOf(settings_), settings_.timeoutSeconds); }

  Settings settings_;
};

}  // namespace

std::string ServerOf(const Settings& settings) {
  if (!settings.server.empty()) return settings.server;
  if (const char* env = std::getenv("CUPS_SERVER"); env && *env) return env;
  const char* system = cupsServer();
  return system ? system : "localhost";
}

std::unique_ptr<Spooler> Cups(const Settings& settings) {
  return std::make_unique<CupsSpooler>(settings);
}

}  // namespace imp::spooler
