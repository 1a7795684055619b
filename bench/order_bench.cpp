// The order path measured: how long the till waits for DisparaImpressaoNaoFiscal, what composing an order
// costs, how an order's time grows with its size, and a burst of orders from many till threads. Every
// benchmark runs on the reference host of a temporary host folder (embedded SQLite, the production ports
// mapped to files) with IMP_PAUSE_SCALE=0, so the documents' own pauses do not hide the work.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "host/services.h"
#include "module/globals.h"
#include "platform/hostdir.h"
#include "platform/variant.h"
#include "tickets/order_brasil.h"

namespace imp::bench {
namespace {

using Clock = std::chrono::steady_clock;

// The host folder of the library's benchmarks (set up in main).
HostFolder* g_host = nullptr;

std::string senha_of(int n) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%06d", n % 1000000);
  return buf;
}

double percentile(std::vector<double> samples, double p) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const auto at = static_cast<std::size_t>(p * static_cast<double>(samples.size() - 1) + 0.5);
  return samples[std::min(at, samples.size() - 1)];
}

void set_alloc_counters(benchmark::State& state, const AllocCount& before, double orders) {
  const AllocCount after = alloc_count();
  state.counters["allocs/order"] = static_cast<double>(after.calls - before.calls) / orders;
  state.counters["alloc_bytes/order"] = static_cast<double>(after.bytes - before.bytes) / orders;
}

// ---- 1. the time DisparaImpressaoNaoFiscal keeps the till ----
// Arg 0: the module is idle at every call. Arg 1: the call comes while up to seven earlier orders still wait
// for the printers (each call is timed alone; the queue drains between rounds, outside the timing).
void BM_DispatchReturn(benchmark::State& state) {
  Library& lib = Library::get();
  const bool queued = state.range(0) == 1;
  const PedidoJob job(order_packet(20, senha_of(1)), order_parameters());
  std::vector<double> samples;
  int inRound = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    lib.dispatch(job.data(), job.size(), nullptr);
    const std::chrono::duration<double> took = Clock::now() - start;
    state.SetIterationTime(took.count());
    samples.push_back(took.count() * 1e6);
    if (!queued || ++inRound == 8) {
      lib.wait_idle(-1);
      g_host->clear_ports();
      inRound = 0;
    }
  }
  lib.wait_idle(-1);
  g_host->clear_ports();
  state.counters["median_us"] = percentile(samples, 0.5);
  state.counters["p99_us"] = percentile(samples, 0.99);
  state.counters["max_us"] = percentile(samples, 1.0);
}
BENCHMARK(BM_DispatchReturn)
    ->ArgName("queued")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(400)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// ---- 2. composing an order into its tickets, without the printers ----
// Drives the layout directly, in this process, against a host folder of its own.
void BM_ComposeOrder(benchmark::State& state) {
  HostFolder folder;
  hostdir::set(folder.path().string());
  host::install(nullptr);
  globals::stIdImpPuxAntPed.set("N");
  globals::stIDUTILFONTEXP.set("N");
  globals::boFimPedidoZebra = false;
  globals::boReimpressaoPedido = false;
  globals::boUtilizaDLL = false;

  const int items = static_cast<int>(state.range(0));
  const Variant order = Variant::bytes(order_packet(items, senha_of(1)));
  const Variant params = Variant::bytes(order_parameters());
  std::size_t bytes = 0, tickets = 0;
  const TicketSink sink = [&](const TicketSend& t) {
    bytes += t.text.size();
    ++tickets;
  };
  const AllocCount before = alloc_count();
  for (auto _ : state) ImpPedido_Brasil(order, params, false, OrderRun::Main, sink);
  const auto n = static_cast<double>(state.iterations());
  set_alloc_counters(state, before, n);
  state.counters["tickets/order"] = static_cast<double>(tickets) / n;
  state.counters["ticket_bytes/order"] = static_cast<double>(bytes) / n;
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  state.SetItemsProcessed(state.iterations() * items);
  hostdir::set("");
  if (tickets == 0) state.SkipWithError("the order composed no ticket");
}
// 20 items is the order of a busy table; the larger ones show how composing grows with the order.
BENCHMARK(BM_ComposeOrder)->ArgName("items")->Arg(20)->Arg(100)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);

// ---- 3. one order over both production printers, from the call to the last byte written ----
void BM_OrderToPrinters(benchmark::State& state) {
  Library& lib = Library::get();
  const int items = static_cast<int>(state.range(0));
  const PedidoJob job(order_packet(items, senha_of(1)), order_parameters());
  g_host->clear_ports();
  std::size_t written = 0;
  const AllocCount before = alloc_count();
  for (auto _ : state) {
    lib.dispatch(job.data(), job.size(), nullptr);
    lib.wait_idle(-1);
    state.PauseTiming();
    written += g_host->read_port(kKitchenPort).size() + g_host->read_port(kBarPort).size();
    g_host->clear_ports();
    state.ResumeTiming();
  }
  const auto n = static_cast<double>(state.iterations());
  set_alloc_counters(state, before, n);
  state.counters["port_bytes/order"] = static_cast<double>(written) / n;
  state.SetItemsProcessed(state.iterations() * items);
  if (written == 0) state.SkipWithError("nothing reached the printers");
}
BENCHMARK(BM_OrderToPrinters)
    ->ArgName("items")
    ->Arg(1)
    ->Arg(20)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// ---- 4. a burst of 1,000 orders from 8 till threads at once ----
// Each iteration is one burst; the second shows whether memory grows with the number of jobs. Afterwards
// every port file must hold each order's ticket exactly once, whole and never mixed with another.
constexpr int kBurstOrders = 1000;
constexpr int kTillThreads = 8;

void BM_Burst(benchmark::State& state) {
  Library& lib = Library::get();
  // The reference tickets: one order alone, with a call number no order of the burst uses.
  const std::string refSenha = "999999";
  {
    const PedidoJob ref(order_packet(20, refSenha), order_parameters());
    g_host->clear_ports();
    lib.dispatch(ref.data(), ref.size(), nullptr);
    lib.wait_idle(-1);
  }
  const TicketShape kitchen = ticket_shape(g_host->read_port(kKitchenPort), refSenha);
  const TicketShape bar = ticket_shape(g_host->read_port(kBarPort), refSenha);
  g_host->clear_ports();

  std::vector<std::unique_ptr<PedidoJob>> jobs;
  for (int k = 1; k <= kBurstOrders; ++k)
    jobs.push_back(std::make_unique<PedidoJob>(order_packet(20, senha_of(k)), order_parameters()));

  const long rssStart = resident_kib();
  const int64_t liveStart = alloc_count().live;
  std::vector<long> rssAfter;
  std::vector<int64_t> liveAfter;
  std::string fault;
  const AllocCount before = alloc_count();
  for (auto _ : state) {
    std::vector<std::thread> tills;
    for (int t = 0; t < kTillThreads; ++t)
      tills.emplace_back([&, t] {
        for (int k = t; k < kBurstOrders; k += kTillThreads)
          lib.dispatch(jobs[static_cast<std::size_t>(k)]->data(), jobs[static_cast<std::size_t>(k)]->size(), nullptr);
      });
    for (auto& t : tills) t.join();
    lib.wait_idle(-1);

    state.PauseTiming();
    rssAfter.push_back(resident_kib());
    liveAfter.push_back(alloc_count().live);
    for (const auto* shape : {&kitchen, &bar}) {
      const std::string port = shape == &kitchen ? kKitchenPort : kBarPort;
      std::string why;
      const auto seen = tickets_by_senha(g_host->read_port(port), *shape, why);
      int once = 0;
      for (const auto& [senha, count] : seen) once += count == 1;
      if (!why.empty())
        fault = port + ": " + why;
      else if (seen.size() != kBurstOrders || once != kBurstOrders)
        fault = port + ": " + std::to_string(seen.size()) + " orders printed, " + std::to_string(once) +
                " of them exactly once";
    }
    g_host->clear_ports();
    state.ResumeTiming();
  }
  const auto n = static_cast<double>(state.iterations()) * kBurstOrders;
  set_alloc_counters(state, before, n);
  state.counters["orders/s"] = benchmark::Counter(n, benchmark::Counter::kIsRate);
  state.counters["rss_start_MiB"] = static_cast<double>(rssStart) / 1024;
  state.counters["heap_start_MiB"] = static_cast<double>(liveStart) / (1 << 20);
  for (std::size_t i = 0; i < rssAfter.size(); ++i) {
    const std::string burst = "burst" + std::to_string(i + 1);
    state.counters["rss_after_" + burst + "_MiB"] = static_cast<double>(rssAfter[i]) / 1024;
    state.counters["heap_after_" + burst + "_MiB"] = static_cast<double>(liveAfter[i]) / (1 << 20);
  }
  state.counters["tickets_ok"] = fault.empty() ? 1 : 0;
  if (!fault.empty()) state.SkipWithError(fault.c_str());
}
BENCHMARK(BM_Burst)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace imp::bench

int main(int argc, char** argv) {
  using namespace imp::bench;
  set_environment();
  HostFolder host;
  g_host = &host;
  Library& lib = Library::get();
  lib.set_host_dir(host.path().string().c_str());
  lib.initialize();

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::AddCustomContext("IMP_PAUSE_SCALE", "0");
  benchmark::AddCustomContext("host folder", "temporary; SQLite demo database; LPT1/LPT2 mapped to files");
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  lib.wait_idle(-1);
  lib.finalize();
  return 0;
}
