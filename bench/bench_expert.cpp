// Frequency plan (calc_expert with the input and output clock solvers) for typical and
// heavy configurations.
#include <benchmark/benchmark.h>

#include <cstring>

#include "hal/calc_expert.h"
#include "hal/hal_api.h"

namespace {

struct plan_case_s {
  int32_t mode;
  int32_t xa_mode;
  int32_t sysclk;
  fprec_s ic[3];
  fprec_s oc[3];
  uint32_t pw_ns[3];
};

// Runs calc_expert on a configuration built from the case; reports a setup that fails.
void run_plan(benchmark::State &state, const plan_case_s &c) {
  hal_api_s hal{};
  hal.kova_device_e = kova_device_40000_e;
  hal.kova_device_rev_e = 0;
  hal.kova_mode_e = c.mode;
  hal.xa_mode_e = c.xa_mode;
  hal.sysclk_mode_e = c.sysclk;
  hal.init_api_mode_e = init_api_full_e;
  init_api(&hal);
  hal.ic1_freq_s = c.ic[0];
  hal.ic2_freq_s = c.ic[1];
  hal.ic3_freq_s = c.ic[2];
  hal.oc1_freq_s = c.oc[0];
  hal.oc2_freq_s = c.oc[1];
  hal.oc3_freq_s = c.oc[2];
  hal.oc1_pw_ns_u16 = c.pw_ns[0];
  hal.oc2_pw_ns_u16 = c.pw_ns[1];
  hal.oc3_pw_ns_u16 = c.pw_ns[2];
  if (c.mode == kova_mode_ja_e) hal.dpll_bw_hz = 100;

  calc_expert(&hal);
  bool failed = false;
  while (const char *m = get_msg(&hal)) failed = failed || std::strstr(m, "ERROR") != nullptr;
  if (failed) {
    state.SkipWithError("the configuration does not solve");
    delete_api(&hal);
    return;
  }
  for (auto _ : state) {
    calc_expert(&hal);
    benchmark::DoNotOptimize(hal.vco_freq_s);
  }
  delete_api(&hal);
}

constexpr fprec_s kNone = {0, 1, 1};

void BM_CalcExpert_OneOutput(benchmark::State &state) {
  run_plan(state, {kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e, {kNone, kNone, kNone},
                   {{156250000, 1, 1}, kNone, kNone}, {0, 0, 0}});
}

void BM_CalcExpert_ThreeUnrelatedOutputs(benchmark::State &state) {
  run_plan(state, {kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e, {kNone, kNone, kNone},
                   {{156250000, 1, 1}, {125000000, 1, 1}, {100000000, 1, 3}}, {0, 0, 0}});
}

void BM_CalcExpert_JaTwoInputsThreeOutputs(benchmark::State &state) {
  run_plan(state, {kova_mode_ja_e, xa_mode_xo_e, sysclk_mode_xa_e, {{19440000, 1, 1}, {25000000, 1, 1}, kNone},
                   {{156250000, 1, 1}, {125000000, 1, 1}, {100000000, 1, 3}}, {0, 0, 0}});
}

// Low output frequencies with many divisors fill the option table (several thousand
// options, all 100 sets full), and every output asks for alignment and a pulse width.
void BM_CalcExpert_Worst(benchmark::State &state) {
  run_plan(state, {kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e, {kNone, kNone, kNone},
                   {{6, 1, 1}, {20, 1, 1}, {720, 1, 1}}, {100, 1000, 50}});
}

}  // namespace

BENCHMARK(BM_CalcExpert_OneOutput);
BENCHMARK(BM_CalcExpert_ThreeUnrelatedOutputs);
BENCHMARK(BM_CalcExpert_JaTwoInputsThreeOutputs);
BENCHMARK(BM_CalcExpert_Worst);
