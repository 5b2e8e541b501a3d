// Write sequence throughput: a full pass of every register, and a changes-only pass after
// one register changed (the common case after a user edit).
#include <benchmark/benchmark.h>

#include "hal/hal_api.h"
#include "regs/build_regs.h"
#include "regs/seq.h"

namespace {

// A jitter-attenuation configuration whose register image was built and marked written.
struct SeqBenchHal {
  hal_api_s h{};
  SeqBenchHal() {
    h.kova_device_e = kova_device_40000_e;
    h.kova_mode_e = kova_mode_ja_e;
    h.xa_mode_e = xa_mode_xo_e;
    h.sysclk_mode_e = sysclk_mode_xa_e;
    h.init_api_mode_e = init_api_full_e;
    init_api(&h);
    build_regs(&h);
    get_seq_s rec;
    get_seq(&h, get_seq_mark_written_e, &rec);
    while (get_msg(&h)) {
    }
  }
  ~SeqBenchHal() { delete_api(&h); }
};

void BM_SeqAllRegisters(benchmark::State &state) {
  SeqBenchHal b;
  get_seq_s rec;
  uint64_t records = 0;
  for (auto _ : state) {
    while (get_seq(&b.h, get_seq_all_e, &rec)) {
      benchmark::DoNotOptimize(rec);
      ++records;
    }
  }
  state.counters["records"] =
      benchmark::Counter(static_cast<double>(records), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SeqAllRegisters);

void BM_SeqChangesOneRegister(benchmark::State &state) {
  SeqBenchHal b;
  get_seq_s rec;
  uint64_t records = 0;
  uint32_t value = 0x55;
  for (auto _ : state) {
    value ^= 0xFF;  // IC1CR2 alternates, so every pass has exactly one change
    put_reg(&b.h, 0x301, value);
    while (get_seq(&b.h, get_seq_changes_e, &rec)) {
      benchmark::DoNotOptimize(rec);
      ++records;
    }
  }
  state.counters["records"] =
      benchmark::Counter(static_cast<double>(records), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SeqChangesOneRegister);

}  // namespace
