// Pieces shared by the two halves of the inverse configuration (inverse_cfg.cpp and
// inverse_cfg_ja.cpp): exact frequencies as 128-bit ratios, the APLL feedback ratio read from
// the registers, and the routes through the clock tree. Engine-internal.
#pragma once
#include <cstdint>

#include "arith/fprec.h"
#include "hal/hal_api.h"

namespace inv {

using u128 = unsigned __int128;

constexpr double kTwo33 = 8589934592.0;
// The DCO of NCO and SS runs this far below its PFD clock (dco_clk_offset_min_mhz_r).
constexpr double kDcoOffsetHz = 3.5e6;

// An exact frequency in Hz: num / den, reduced. den = 0 marks a frequency that could not be
// held exactly (a product past 128 bits); `approx` then holds its value in Hz.
struct xfreq {
  u128 num = 0;
  u128 den = 1;
  double approx = 0.0;
};

u128 gcd128(u128 a, u128 b);

inline bool exact(const xfreq &x) { return x.den != 0; }
double hz(const xfreq &x);

xfreq from_fprec(fprec_s p);
xfreq from_hz(uint64_t hz);
// x * mul / div, exact while the reduced terms fit 128 bits. A zero div gives 0 Hz.
xfreq scale(const xfreq &x, u128 mul, u128 div);

// The record of an exact frequency: f x n / m with 32-bit words. The base f is taken, where
// the value allows, as a common part with one of the `prefer` frequencies (the anchor's base,
// the usual reference clocks), so records read as that clock times a ratio. False when the
// value has no such record (it is then approximated to within 10^-9 of its value).
bool to_fprec(const xfreq &x, fprec_s *out, const uint32_t *prefer = nullptr, int prefer_count = 0);

// The six reference frequencies that rebuilt frequencies are expressed against, in the order
// they are tried.
constexpr uint32_t kReferenceHz[6] = {625000000u, 622080000u, 700000000u, 425000000u, 491520000u, 614400000u};

// The APLL feedback ratio as the register image programs it: AFBDIV (with 33 fraction bits,
// of which the low 33 - fraction bits are zero) refined by the remainder AFBREM / AFBDEN at
// the fraction-bit position. num / den, reduced; with AFBDEN 0 the remainder is left out.
// A ratio of 0 has num = 0.
struct ratio_s {
  u128 num = 0;
  u128 den = 1;
};
ratio_s apll_ratio(const hal_api_s *hal);

// The shift of AFBDIV's fraction: AFBBP, at most 33.
uint32_t afbdiv_shift(const hal_api_s *hal);

// The feedback ratio for display, formed from AFBDIV alone as the register calculation forms
// apll_fbdiv_s (integer part as the base, 2^30 as denominator).
fprec_s apll_fbdiv_display(const hal_api_s *hal);

// HSDIV x2 of an APLLCR2 code (code 0 divides by 4, code 15 by 15).
uint32_t hsdiv_x2_of_code(uint32_t code);

// Per-output and per-input views of the fields the routes use.
struct oc_fields_s {
  int n;
  fprec_s *freq, *msdiv_freq, *lsdiv_freq, *n_freq;
  uint32_t *msdiv, *lsdiv, *neg_lsdiv, *divsel, *lssel, *neglsd, *msdiv_code, *ocen;
  uint32_t *pw_ns, *ocdc, *align_en, *align_nsx10, *phen;
  int32_t *phadj;
};
oc_fields_s oc_fields(hal_api_s *hal, int n);

struct ic_fields_s {
  int n;
  fprec_s *freq, *hsdiv_freq;
  uint32_t *hsdiv, *div, *mondiv, *icen;
};
ic_fields_s ic_fields(hal_api_s *hal, int n);

// The clock tree rebuilt from the APLL input: VCO, the two HSDIV outputs and the outputs.
struct tree_s {
  xfreq apll_in;
  xfreq vco;
  xfreq hs1, hs2;
};

// Frequency at the HSDIV that feeds output k, from the output's known frequency.
xfreq output_to_hsdiv(hal_api_s *hal, int k, const xfreq &oc);
// The VCO and the APLL input behind HSDIV `sel` (1 or 2) at frequency `hs`.
void hsdiv_to_apll_input(const hal_api_s *hal, int sel, const xfreq &hs, const ratio_s &r, tree_s *t);
// VCO and HSDIVs from the APLL input; `bypass2` is what HSDIV2 carries when it is bypassed.
// `spread` multiplies the VCO by 2000 / (2000 - spread) (down spread lowers the ratio that
// the registers hold).
void apll_input_forward(const hal_api_s *hal, const ratio_s &r, const xfreq &bypass2, uint32_t spread, tree_s *t);
// Output frequencies from the HSDIVs (outputs whose OCEN bit is clear get 0).
void outputs_from_tree(hal_api_s *hal, const tree_s &t, const uint32_t *prefer, int prefer_count);

// Whether input n takes part in a JA configuration: the calculation programs an unused input
// with HSDIV 8 and the largest DIV.
bool input_used_ja(const hal_api_s *hal, int n);

// The derived-frequency record of x, approximated when it has no exact record.
void store(fprec_s *dst, const xfreq &x, const uint32_t *prefer = nullptr, int prefer_count = 0);

// XA frequency behind a DCO frequency (Hz, rounded), through the frequency word; 0 while
// the word is 0.
uint64_t xa_from_dco(const hal_api_s *hal, double dco_hz);
// DCO frequency behind an XA frequency (Hz, rounded); 0 without a feedback ratio.
uint64_t dco_from_xa(const hal_api_s *hal, const fprec_s &xa);

// The JA side of the reconstruction (inverse_cfg_ja.cpp).
// Frequencies of JA from the anchor; 1 after posting the anchor's error.
int32_t ja_frequencies(hal_api_s *hal, const fprec_s kept[7], bool *xa_flag);
// DPLL loop and monitor settings of JA in user units; 1 after posting the mode error.
int32_t ja_settings(hal_api_s *hal);
// Pulse width and alignment of the outputs in user units.
void output_settings(hal_api_s *hal);
// Clocks derived from the XA frequency (all modes but SYN).
void xa_derived_clocks(hal_api_s *hal);
// Input-monitor clocks of input n from its HSDIV-side frequency (0 when unused).
void monitor_clocks(hal_api_s *hal, int n, const xfreq &hsdiv_side, bool used);

}  // namespace inv
