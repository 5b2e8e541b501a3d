// The whole recalculation after a user edit: frequency plan, register field values,
// register image and the changes-only write sequence, for a jitter-attenuation
// configuration with three inputs and three outputs.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "hal/calc_expert.h"
#include "hal/calc_hal.h"
#include "hal/hal_api.h"
#include "regs/build_regs.h"
#include "regs/seq.h"

namespace {

struct RecalcHal {
  hal_api_s h{};
  std::string error;
  RecalcHal() {
    h.kova_device_e = kova_device_40000_e;
    h.kova_device_rev_e = 1;
    h.kova_mode_e = kova_mode_ja_e;
    h.xa_mode_e = xa_mode_xo_e;
    h.sysclk_mode_e = sysclk_mode_xa_e;
    h.init_api_mode_e = init_api_full_e;
    init_api(&h);
    set_fprec_s(&h.ic1_freq_s, 10000000, 1, 1);
    set_fprec_s(&h.ic2_freq_s, 25000000, 1, 1);
    set_fprec_s(&h.ic3_freq_s, 19440000, 1, 1);
    h.icen_ic1en_u1 = h.icen_ic2en_u1 = h.icen_ic3en_u1 = 1;
    h.ic2_mon_ppm_mode_e = 0;
    set_fprec_s(&h.oc1_freq_s, 156250000, 1, 1);
    set_fprec_s(&h.oc2_freq_s, 100000000, 1, 1);
    set_fprec_s(&h.oc3_freq_s, 25000000, 1, 1);
    h.oc3_pw_ns_u16 = 10;
    h.phlkto_ms = 100;
    h.lkato_ms = 1000;
    if (!recalc()) return;
    get_seq_s rec;
    get_seq(&h, get_seq_mark_written_e, &rec);
    drain();
  }
  ~RecalcHal() { delete_api(&h); }
  bool drain() {
    bool ok = true;
    while (const char *m = get_msg(&h)) {
      if (std::strstr(m, "ERROR") && error.empty()) error = m;
      if (std::strstr(m, "ERROR")) ok = false;
    }
    return ok;
  }
  bool recalc() {
    calc_expert(&h);
    bool ok = drain();
    calc_hal(&h);
    ok = drain() && ok;
    build_regs(&h);
    return drain() && ok;
  }
};

// Every pass changes the loop bandwidth (50 <-> 100 Hz), so the plan, the DPLL words and
// the registers that carry them change and the write sequence has real work.
void BM_RecalcJaThreeInputsThreeOutputs(benchmark::State &state) {
  RecalcHal b;
  if (!b.error.empty()) {
    state.SkipWithError(b.error.c_str());
    return;
  }
  get_seq_s rec;
  uint64_t writes = 0;
  for (auto _ : state) {
    b.h.dpll_bw_hz = b.h.dpll_bw_hz == 50 ? 100 : 50;
    if (!b.recalc()) {
      state.SkipWithError(b.error.c_str());
      return;
    }
    while (get_seq(&b.h, get_seq_changes_e, &rec)) {
      benchmark::DoNotOptimize(rec);
      ++writes;
    }
  }
  state.counters["writes"] = benchmark::Counter(static_cast<double>(writes), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_RecalcJaThreeInputsThreeOutputs)->Unit(benchmark::kMicrosecond);

// The register calculation alone on the same configuration.
void BM_CalcHalJa(benchmark::State &state) {
  RecalcHal b;
  if (!b.error.empty()) {
    state.SkipWithError(b.error.c_str());
    return;
  }
  for (auto _ : state) {
    calc_hal(&b.h);
    while (get_msg(&b.h)) {
    }
    benchmark::DoNotOptimize(b.h.prop_ro_u32_10);
  }
}
BENCHMARK(BM_CalcHalJa)->Unit(benchmark::kMicrosecond);

}  // namespace
