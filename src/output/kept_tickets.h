// Kept tickets: a ticket that could not be written to its printer (port missing, write error, timeout) is
// never lost. Its bytes are kept in the host folder under Dados\ImpPendentes\ (one <id>.prn with the bytes and
// one <id>.json beside it: port, model, job kind, time and the failure, each written atomically, the sidecar
// last) and the module log names it. Nothing is reprinted by itself: the host (or imphost pending) lists,
// reprints and drops them; a reprint that reaches the printer removes the ticket.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace imp::kept {

// Collects, on its thread, every byte a print path sends to its port while it lives; when one of those writes
// fails, finish() keeps the whole ticket, the bytes that could not be tried included.
class TicketRecorder {
 public:
  TicketRecorder(std::string_view port, std::string_view model);
  ~TicketRecorder();
  TicketRecorder(const TicketRecorder&) = delete;
  TicketRecorder& operator=(const TicketRecorder&) = delete;

  // Bytes the route would have sent had it not given up.
  void unsent(std::string_view bytes);
  // Keeps the ticket when a write failed (and the port is named); the kept ticket's id, else "".
  std::string finish();

 private:
  friend void record_write(std::string_view, std::string_view, const char*);
  std::string port_, model_, bytes_, failure_;
  TicketRecorder* saved_;
};

// Called by the port writers of the print paths for each write (failure: nullptr when it went through).
void record_write(std::string_view port, std::string_view bytes, const char* failure);

struct Pending {
  std::string id, port, model, kind, time, failure;  // texts in Windows-1252; time "YYYY-MM-DDThh:mm:ss"
  std::size_t bytes = 0;
};

// Keeps a ticket and logs it; returns its id. imp::Error when it cannot be written.
std::string keep(std::string_view port, std::string_view model, std::string_view bytes, std::string_view failure);
// The kept tickets, oldest first.
std::vector<Pending> list();
// The bytes of a kept ticket; imp::Error when there is none with that id.
std::string bytes_of(std::string_view id);
// Removes a kept ticket; false when there is none with that id.
bool drop(std::string_view id);

}  // namespace imp::kept
