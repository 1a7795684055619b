// The print spooler: the printers the system has installed or connected, and raw documents sent to them. On
// Linux it is CUPS: a printer is a queue, its port the queue's device URI, its driver the make and model.
// Every call opens its own connection to the server with a timeout, so a spooler that does not answer costs
// seconds, never a job that holds the job lock for good.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace imp::spooler {

struct Settings {
  std::string server;  // "HOST[:PORT]" or a socket path; empty: $CUPS_SERVER, else the system's
  int timeoutSeconds = 10;
};

// What the spooler tells of one printer.
struct Printer {
  std::string server;  // "\\HOST" for a connection to another computer's printer, else empty
  std::string name;    // the queue
  std::string share;   // the name it is shared under (the queue's name)
  std::string port;    // the device URI ("socket://127.0.0.1:9100", "serial:/dev/ttyS0" ...)
  std::string driver;  // make and model
  bool busy = false;   // printing a job right now
};

// Paper width in tenths of a millimetre and vertical resolution in dots per inch, from the queue's default
// media and resolution; a raw queue without them has 577 and 100.
struct Paper {
  int width = 577;
  int yResolution = 100;
};

// A raw document being sent: begun, written in pieces, then finished or cancelled. Destroying one that is
// still open finishes it.
class Document {
 public:
  virtual ~Document() = default;
  virtual const std::string& printer() const = 0;
  virtual int job() const = 0;
  virtual void write(std::string_view bytes) = 0;  // imp::Error on failure
  virtual void finish() = 0;                       // imp::Error when the spooler does not take the end
  virtual void cancel() = 0;                       // never throws
};

class Spooler {
 public:
  virtual ~Spooler() = default;
  // The printers, in the spooler's order. imp::Error when the spooler cannot be reached.
  virtual std::vector<Printer> printers() = 0;
  // The default printer's name ("" when there is none).
  virtual std::string default_printer() = 0;
  virtual Paper paper(const std::string& printer) = 0;
  // Begins a document on a printer (format "application/vnd.cups-raw" unless given). imp::Error when the
  // printer does not take jobs.
  virtual std::unique_ptr<Document> begin(const std::string& printer, const std::string& title,
                                          const std::string& format = {}) = 0;
  // Connects the printer NAME shared by SERVER: once SERVER answers for it, a raw queue SERVER_NAME whose
  // device URI is ipp://SERVER/printers/NAME. Returns the new queue's name; imp::Error when it cannot.
  virtual std::string connect_printer(const std::string& server, const std::string& name) = 0;
};

// The CUPS spooler of the given settings.
std::unique_ptr<Spooler> Cups(const Settings& settings);

// The settings' server as CUPS is asked for it: the given one, else $CUPS_SERVER, else the system's.
std::string ServerOf(const Settings& settings);

}  // namespace imp::spooler
