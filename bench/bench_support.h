// What the order benchmarks share: a host folder with the demo restaurant, orders of any size, the loaded
// library, the check of what reached the printers, and the process's memory figures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "imp00000.h"
#include "support/test_support.h"

namespace imp::bench {

// ---- allocation counting (every operator new of the process, the library's included) ----
struct AllocCount {
  uint64_t calls = 0;
  uint64_t bytes = 0;
  int64_t live = 0;  // bytes held by blocks not yet deleted
};
AllocCount alloc_count();

// Resident memory of the process in KiB (VmRSS), 0 when it cannot be read.
long resident_kib();

// ---- orders ----
// The two production printers of the demo outlet: the kitchen (model 13 on LPT1) and the bar (model 4 on LPT2).
inline constexpr const char* kKitchenPort = "LPT1";
inline constexpr const char* kBarPort = "LPT2";

// An order of `items` rows for table 12, in blocks of five: a plain kitchen dish with an observation on seat
// 01, a plain drink on seat 02, a two-part combo with the parent's observation (kitchen, seat 01) and a
// promotion item with an observation (bar, seat 02). `senha` is the call number printed on every ticket.
std::string order_packet(int items, const std::string& senha);
// The order parameters of a table order, observations after the item.
std::string order_parameters();

// ---- the host folder ----
// A temporary host folder for the reference host: imphost.json (the demo station, both production printers
// mapped to printers/<port>.prn), the port mapping table, and the demo database with the combo products.
class HostFolder {
 public:
  HostFolder();
  const std::filesystem::path& path() const { return dir_.path(); }
  std::filesystem::path port_file(const std::string& port) const;
  void clear_ports() const;  // empties the port files
  std::string read_port(const std::string& port) const;

 private:
  test::TempDir dir_;
};

// The environment every benchmark runs in: a fixed clock and no pauses.
void set_environment();

// ---- the library, loaded with dlopen as a till loads it ----
class Library {
 public:
  static Library& get();
  void* fn(const char* name) const;

  void (*set_host_dir)(const char*);
  void (*initialize)();
  void (*finalize)();
  int32_t (*wait_idle)(int32_t);
  void (*dispatch)(const imp_variant*, int32_t, imp_variant*);  // DisparaImpressaoNaoFiscal

 private:
  Library();
  void* handle_ = nullptr;
};

// A "PEDIDO" job array over packets the caller keeps alive.
class PedidoJob {
 public:
  PedidoJob(std::string order, std::string parameters);
  const imp_variant* data() const { return items_.data(); }
  int32_t size() const { return static_cast<int32_t>(items_.size()); }

 private:
  std::string order_, parameters_;
  std::vector<imp_variant> items_;
};

// ---- checking the port files ----
// The reference ticket of one printer (printed for call number `senha`), and where the call number sits in it.
struct TicketShape {
  std::string reference;
  std::string senha;
  std::vector<std::size_t> senhaAt;  // every offset of the call number in the reference
};
TicketShape ticket_shape(const std::string& reference, const std::string& senha);

// Splits a port file into tickets of the reference's shape. Returns how often each call number printed; any
// byte that does not belong to a whole ticket of that shape is a fault, described in `fault`.
std::map<std::string, int> tickets_by_senha(const std::string& file, const TicketShape& shape, std::string& fault);

}  // namespace imp::bench
