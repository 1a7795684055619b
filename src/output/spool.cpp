#include "output/spool.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "host/database_config.h"
#include "host/port_config.h"
#include "module/globals.h"
#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/hostdir.h"
#include "platform/log.h"
#include "platform/port.h"
#include "platform/safefile.h"
#include "platform/spooler.h"

namespace imp {
namespace {

void Log(const std::string& text) {
  log::LogErroImpNaoFiscal(text);
}

std::string upper(std::string_view s) {
  std::string r(s);
  for (auto& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

bool word_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
}

// `needle` in `text` where it starts a word (and, when `whole`, also ends one): port COM1 is not found in
// "XCOM1:", nor IP_127.0.0.2 in "IP_127.0.0.20".
bool has_word(const std::string& text, const std::string& needle, bool whole) {
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
    const bool starts = at == 0 || !word_char(text[at - 1]);
    const std::size_t end = at + needle.size();
    const bool ends = !whole || end >= text.size() || !word_char(text[end]);
    if (starts && ends) return true;
  }
  return false;
}

// What a printer is searched by.
enum class Mode { Default, Port, Share };

// The spooler state shared by every job: the document our hPrinter began and has not finished.
struct State {
  std::recursive_mutex mutex;
  std::unique_ptr<spooler::Document> document;
};
State& state() {
  static State* s = new State;  // never destroyed: a job may still end while the process exits
  return *s;
}

void clear_document(State& st) {
  st.document.reset();
  globals::hPrinter.store(nullptr);
}

// The target a device URI names: the host of a socket:, ipp: or lpd: URI, the path of a serial: or file: URI.
struct Target {
  std::string host, path;
};
Target target_of(const std::string& uri) {
  Target t;
  const auto colon = uri.find(':');
  if (colon == std::string::npos) return t;
  const std::string scheme = upper(uri.substr(0, colon));
  std::string rest = uri.substr(colon + 1);
  if (scheme != "SOCKET" && scheme != "IPP" && scheme != "IPPS" && scheme != "LPD" && scheme != "HTTP") {
    // serial:/dev/ttyS0?baud=9600, file:///var/..., a capture file: a device or file path
    if (rest.rfind("///", 0) == 0) rest = rest.substr(2);
    if (!rest.empty() && rest[0] == '/') t.path = rest.substr(0, rest.find('?'));
    return t;
  }
  if (scheme == "SOCKET" || scheme == "IPP" || scheme == "IPPS" || scheme == "LPD" || scheme == "HTTP") {
    if (rest.rfind("//", 0) != 0) return t;
    rest = rest.substr(2);
    std::string host = rest.substr(0, rest.find_first_of("/?"));
    if (auto at = host.rfind('@'); at != std::string::npos) host = host.substr(at + 1);
    if (!host.empty() && host.front() == '[') {
      host = host.substr(1, host.find(']') - 1);
    } else if (auto c = host.rfind(':'); c != std::string::npos) {
      host.resize(c);
    }
    t.host = host;
  }
  return t;
}

class Search {
 public:
  Search(spooler::Spooler& sp, Mode mode, std::string share, std::string port, std::string filter)
      : sp_(sp), share_(std::move(share)), port_(std::move(port)), filter_(upper(filter)) {
    if (mode == Mode::Port) {
      try {
        device_ = port::device_of(host::PortConfig(), port_).string();
      } catch (const std::exception&) {
        device_.clear();  // a port the map cannot name matches by its text only
      }
    }
  }

  // The matching printer, made the current one; nullopt when none matches. Refreshing the list makes the
  // default printer the current one, and the search starts there.
  std::optional<spooler::Printer> run(Mode mode) {
    const std::vector<spooler::Printer> printers = sp_.printers();
    const std::string currentName = sp_.default_printer();
    int current = -1;
    for (std::size_t i = 0; i < printers.size(); ++i)
      if (printers[i].name == currentName) current = static_cast<int>(i);
    std::vector<int> order;
    if (current >= 0) order.push_back(current);
    for (int i = 0; i < static_cast<int>(printers.size()); ++i) order.push_back(i);
    for (int i : order) {
      const spooler::Printer& p = printers[static_cast<std::size_t>(i)];
      if (matches(mode, p, i == current, currentName)) return p;
    }
    return std::nullopt;
  }

 private:
  bool driver_ok(const spooler::Printer& p) const { return upper(p.driver).find(filter_) != std::string::npos; }

  bool matches(Mode mode, const spooler::Printer& p, bool atCurrent, const std::string& currentName) const {
    switch (mode) {
      case Mode::Default: return atCurrent && p.name == currentName && (filter_.empty() || driver_ok(p));
      case Mode::Port: {
        if (!driver_ok(p)) return false;
        const std::string uri = upper(p.port);
        const std::string port = upper(port_);
        if (has_word(uri, port + ":", false) || has_word(uri, "IP_" + port, true)) return true;
        // The same target named the Linux way: the printer's address, or the device the port map gives.
        const Target t = target_of(p.port);
        if (!t.host.empty() && upper(t.host) == port) return true;
        return !t.path.empty() && !device_.empty() && t.path == device_;
      }
      case Mode::Share: {
        const std::string share = upper(p.share), name = upper(p.name);
        for (const std::string& self :
             {std::string("\\\\127.0.0.1"), upper(globals::stIpAddress.get()), upper(globals::stHostName.get())})
          if (share_ == self + "\\" + share || share_ == self + "\\" + name) return true;
        // A queue made for a share: its URI names that server's printer.
        const Target t = target_of(p.port);
        const auto res = p.port.find("/printers/");
        return !t.host.empty() && res != std::string::npos &&
               share_ == "\\\\" + upper(t.host) + "\\" + upper(p.port.substr(res + 10));
      }
    }
    return false;
  }

  spooler::Spooler& sp_;
  std::string share_, port_, filter_, device_;
};

// "\\SERVER\PRINTER" split into plain names, or nullopt when either part could carry anything else into a
// URI or a queue name.
std::optional<std::pair<std::string, std::string>> share_parts(const std::string& share) {
  if (share.rfind("\\\\", 0) != 0) return std::nullopt;
  const std::string rest = share.substr(2);
  const auto sep = rest.find('\\');
  if (sep == std::string::npos) return std::nullopt;
  std::string server = rest.substr(0, sep), printer = rest.substr(sep + 1);
  auto plain = [](const std::string& s, bool host) {
    if (s.empty() || s.size() > 127) return false;
    for (char c : s)
      if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || (!host && c == '_'))) return false;
    return s.find("..") == std::string::npos;
  };
  if (!plain(server, true) || !plain(printer, false)) return std::nullopt;
  return std::make_pair(server, printer);
}

// The backup copy's file name: the document's name with nothing that could leave the backup folder.
std::string backup_name(std::string_view document) {
  std::string n;
  for (char c : document) n.push_back(word_char(c) ? c : '_');
  while (n.find("..") != std::string::npos) n.replace(n.find(".."), 2, "_");
  if (n.empty() || n == "." || n == "_") n = "documento.txt";
  return n;
}

void set_paper(spooler::Spooler& sp, const std::string& printer) {
  const spooler::Paper paper = sp.paper(printer);
  globals::itPaperWidth.store(paper.width);
  globals::itYResolution.store(paper.yResolution);
  globals::itCanvasWidth.store(paper.width < 600 ? 380 : 500);
}

}  // namespace

std::string GetHost() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || !name[0]) return "127.0.0.1";
  std::string host(name);
  if (host.size() > 64) host.resize(64);
  return cp1252::from_utf8_lossy(host);
}

std::string GetIpAddress() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || !name[0]) return "127.0.0.1";
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (::getaddrinfo(name, nullptr, &hints, &list) != 0 || !list) return "127.0.0.1";
  char text[INET_ADDRSTRLEN] = {};
  const auto* a = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
  const bool ok = ::inet_ntop(AF_INET, &a->sin_addr, text, sizeof text) != nullptr;
  ::freeaddrinfo(list);
  return ok ? std::string(text) : std::string("127.0.0.1");
}

int SendSpool(std::string_view shareName, std::string_view portName, std::string_view driverFilter,
              std::string_view documentName, std::string_view data, bool keepBackup, bool finish) {
  State& st = state();
  std::lock_guard lk(st.mutex);
  int result = 0;
  try {
    std::string share(shareName), port(portName);
    Log("stShareName: " + share);
    if (!share.empty()) {
      share = upper(share);
      if (share.rfind("\\\\", 0) != 0 && share.find('\\') != std::string::npos) {
        share = "\\\\" + share;
        Log("stShareName2: " + share);
      }
    }
    if (keepBackup) {
      Log("bobackupFile: S");
      safefile::write_atomic(hostdir::resolve("\\Dados\\IMPBACKUP") / backup_name(documentName), data, true);
    }
    if (globals::stIpAddress.get().empty() || globals::stHostName.get().empty()) {
      globals::stIpAddress = "\\\\" + GetIpAddress();
      globals::stHostName = "\\\\" + GetHost();
      Log("stIpAddress: " + globals::stIpAddress.get() + " - stHostName: " + globals::stHostName.get());
    }
    Log("stPortName: " + port);
    if (!port.empty()) share.clear();
    const Mode mode = !port.empty() ? Mode::Port : !share.empty() ? Mode::Share : Mode::Default;
    std::optional<std::pair<std::string, std::string>> parts;
    if (mode == Mode::Share && !(parts = share_parts(share)))
      throw Error("compartilhamento inválido: "_cp + share + " (esperado \\\\SERVIDOR\\IMPRESSORA)");

    std::unique_ptr<spooler::Spooler> sp = spooler::Cups(host::SpoolerSettings());
    Search search(*sp, mode, share, port, std::string(driverFilter));
    std::optional<spooler::Printer> found = search.run(mode);
    if (!found && mode == Mode::Share) {
      // A share no queue stands for: connect it, then look again.
      try {
        sp->connect_printer(parts->first, parts->second);
      } catch (const std::exception& e) {
        Log(std::string("SendSpool: ") + e.what());
      }
      found = search.run(Mode::Share);
    } else if (!found && mode == Mode::Port) {
      found = search.run(Mode::Default);
    }
    if (!found) throw Error("impressora não encontrada no spooler"_cp);
    Log("SendSpool: impressora " + found->name + " (" + found->port + ")");
    set_paper(*sp, found->name);
    if (mode == Mode::Port) globals::stPortaSpool = port;

    // Write: into the document our hPrinter began, else a new one.
    Log("hPrinter: " + std::to_string(st.document ? st.document->job() : 0));
    if (st.document && st.document->printer() != cp1252::to_utf8(found->name)) {
      Log("SendSpool: documento aberto em "_cp + cp1252::from_utf8_lossy(st.document->printer()) + " concluído"_cp);
      st.document->finish();
      clear_document(st);
    }
    if (!st.document) {
      st.document = sp->begin(found->name, std::string(documentName));
      globals::hPrinter.store(st.document.get());
    }
    st.document->write(data);
    if (finish) {
      Log("boFinishDoc: S");
      st.document->finish();
      clear_document(st);
    }
    result = 1;
  } catch (const std::exception& e) {
    Log(std::string("SendSpool: ") + e.what());
    // A document half sent is cancelled, so the next one starts clean.
    if (st.document) st.document->cancel();
    clear_document(st);
    result = 0;
  }
  return result;
}

void FinishOpenSpoolDocument() {
  State& st = state();
  std::lock_guard lk(st.mutex);
  if (!st.document) return;
  Log("SendSpool: documento do spooler concluído ao fim do job sem o envio final"_cp);
  try {
    st.document->finish();
  } catch (const std::exception& e) {
    Log(std::string("SendSpool: ") + e.what());
    st.document->cancel();
  }
  clear_document(st);
}

}  // namespace imp
