// Client datasets under the work of a large order: deleting rows while walking them and emptying an indexed
// dataset from its first row, which must stay linear (tombstones) rather than quadratic.
#include <benchmark/benchmark.h>

#include "platform/dataset.h"

namespace imp::bench {
namespace {

void BM_DeleteWhileWalking(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    ClientDataSet ds;
    ds.AddFieldDef("CDPORIMPPROD", FieldType::String, 15);
    ds.AddFieldDef("NRLUGARMESA", FieldType::String, 4);
    ds.AddFieldDef("NRSEQITEM", FieldType::Integer);
    ds.CreateDataSet();
    for (int i = 0; i < n; ++i) ds.AppendRecord({i % 2 ? "P1" : "P2", "01", i});
    int visited = 0;
    for (ds.First(); !ds.Eof();) {
      if (++visited % 3)
        ds.Delete();
      else
        ds.Next();
    }
    ds.SetIndexFieldNames("CDPORIMPPROD;NRSEQITEM");
    while (!ds.IsEmpty()) {
      ds.First();
      ds.Delete();
    }
    benchmark::DoNotOptimize(visited);
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_DeleteWhileWalking)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace
}  // namespace imp::bench
