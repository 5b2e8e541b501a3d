#include "app/phase_ops.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/choice_texts.h"
#include "app/run_control.h"
#include "arith/fprec.h"
#include "board/kxkovaio.h"

namespace {

constexpr uint32_t kOcCr1[3] = {0x200, 0x210, 0x220};
constexpr uint32_t kOcCr3[3] = {0x202, 0x212, 0x222};
constexpr uint32_t kOcPh[3] = {0x207, 0x217, 0x227};
constexpr uint8_t kBusy = 0x08, kOverflow = 0x40, kStart = 0x40, kReset = 0x80, kPhen = 0x80, kDivsel = 0x40;

bool valid_output(int n) { return n >= 0 && n < 3; }

// The HSDIV frequency (MHz) that clocks output n's divider: HSDIV2 when OCnCR3.DIVSEL is set.
double hsdiv_mhz(const hal_api_s *hal, uint8_t cr3) {
  return fprec_s_2_double_mhz((cr3 & kDivsel) ? hal->hsdiv2_freq_s : hal->hsdiv1_freq_s);
}

struct output_fields_s {
  uint32_t *align_en, *align_nsx10, *phen;
  double *align_ns;
};
output_fields_s output_fields(hal_api_s *h, int n) {
  switch (n) {
    case 0: return {&h->oc1_align_en, &h->oc1_align_nsx10_u16, &h->oc1cr1_phen_u1, &h->oc1_align_ns_r};
    case 1: return {&h->oc2_align_en, &h->oc2_align_nsx10_u16, &h->oc2cr1_phen_u1, &h->oc2_align_ns_r};
    default: return {&h->oc3_align_en, &h->oc3_align_nsx10_u16, &h->oc3cr1_phen_u1, &h->oc3_align_ns_r};
  }
}

}  // namespace

bool phase_io_s::read(uint32_t address, uint8_t *value) const {
  *value = 0;
  if (!hal) return false;
  if (GuiUtil_EvalBoardConnected(gui, hal)) return kxKovaIo_DutRegRead(&gui->ioHandle, address, 1, value) == 0;
  *value = static_cast<uint8_t>(get_reg(hal, address));
  return true;
}

bool phase_io_s::write(uint32_t address, uint8_t value, bool to_image) const {
  return hal && gui_write_reg_checked(gui, hal, address, 1, &value, to_image);
}

bool phase_io_s::modify(uint32_t address, uint8_t keep, uint8_t set, bool to_image) const {
  uint8_t v = 0;
  return read(address, &v) && write(address, static_cast<uint8_t>((v & keep) | set), to_image);
}

// ---------------------------------------------------------------------------------------

const phase_signal_s PHASE_METER_SIGNALS[10] = {{"IC1", 0},    {"IC2", 1},    {"IC3", 2},    {"GPIO0", 8},
                                                {"GPIO1", 9},  {"GPIO2", 10}, {"GPIO3", 11}, {"OC1", 16},
                                                {"OC2", 17},   {"OC3", 18}};

int phase_signal_index(uint8_t code) {
  for (int i = 0; i < 10; ++i)
    if (PHASE_METER_SIGNALS[i].code == code) return i;
  return -1;
}

std::vector<phase_timebase_s> phase_timebase_list(const hal_api_s *hal) {
  std::vector<phase_timebase_s> out;
  if (!hal) return out;
  const fprec_s freqs[4] = {hal->xa_freq_s, hal->oc1_msdiv_freq_s, hal->oc2_msdiv_freq_s, hal->oc3_msdiv_freq_s};
  // The crystal is a time base only when the DPLL runs from it (jitter attenuation).
  for (uint8_t i = hal->kova_mode_e == kova_mode_ja_e ? 0 : 1; i < 4; ++i)
    out.push_back({__dev_PhaseMeasureTimeBaseStr[i], i, freqs[i]});
  return out;
}

double phase_period_ns(fprec_s freq) {
  const double mhz = fprec_s_2_double_mhz(freq);
  return mhz > 0.0 ? 1000.0 / mhz : 0.0;
}

std::string phase_period_text(double period_ns) {
  if (!(period_ns > 0.0)) return " (not running)";
  char buf[64];
  std::snprintf(buf, sizeof buf, "= %.3f ns", period_ns);
  return buf;
}

bool phase_meter_reset(const phase_io_s &io) {
  const bool a = io.modify(PHASE_REG_MABSR1, 0xFF, 0x10);
  const bool b = io.modify(PHASE_REG_MABCR1, 0xFF, kReset);
  return a && b;
}

bool phase_meter_source_set(const phase_io_s &io, int which, uint8_t code) {
  return io.modify(which == 0 ? PHASE_REG_MABCR2 : PHASE_REG_MABCR3, 0xE0, code & 0x1F);
}

bool phase_meter_invert_set(const phase_io_s &io, int which, bool inverted) {
  return io.modify(which == 0 ? PHASE_REG_MABCR2 : PHASE_REG_MABCR3, 0x7F, inverted ? 0x80 : 0x00);
}

bool phase_meter_timebase_set(const phase_io_s &io, uint8_t tbsrc) {
  return io.modify(PHASE_REG_MABCR1, 0xF8, tbsrc & 7);
}

int32_t phase_meter_count(uint8_t mabsr1, uint8_t mabsr2) {
  const int32_t m = (mabsr1 & 7) * 256 + mabsr2;
  return m > 1023 ? m - 2048 : m;
}

phase_meter_result_s phase_meter_start(const phase_io_s &io, double period_ns) {
  phase_meter_result_s r{phase_meter_no_answer_e, 0, 0, 0.0, "No answer"};
  if (!io.modify(PHASE_REG_MABCR1, 0xFF, kStart)) return r;
  uint8_t sr1 = kBusy;
  while ((sr1 & kBusy) && r.polls < PHASE_METER_MAX_POLLS) {
    if (!io.read(PHASE_REG_MABSR1, &sr1)) return r;
    ++r.polls;
  }
  if (sr1 & kBusy) {
    r.outcome = phase_meter_timeout_e;
    r.text = "Timeout";
    return r;
  }
  uint8_t sr2 = 0;
  if (!io.read(PHASE_REG_MABSR1, &sr1)) return r;
  if (sr1 & kOverflow) {
    r.outcome = phase_meter_overflow_e;
    r.text = "Overflow";
    return r;
  }
  if (!io.read(PHASE_REG_MABSR2, &sr2)) return r;
  r.outcome = phase_meter_done_e;
  r.periods = phase_meter_count(sr1, sr2);
  r.ns = period_ns * r.periods;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.3f", r.ns);
  r.text = buf;
  return r;
}

// ---------------------------------------------------------------------------------------

bool phase_adjust_enable(const phase_io_s &io, int n, bool enabled) {
  if (!io.hal || !valid_output(n)) return false;
  io.hal->oc1_align_en = io.hal->oc2_align_en = io.hal->oc3_align_en = 0;
  *output_fields(io.hal, n).phen = enabled ? 1 : 0;
  return io.modify(kOcCr1[n], 0x7F, enabled ? kPhen : 0x00, true);
}

int32_t phase_adjust_steps(double d_ns, uint32_t msdiv_code, double f_mhz) {
  const int32_t c = static_cast<int32_t>(msdiv_code & 0x7F);
  // Any adjustment beyond a signed byte of steps ends at the bound: clamp before rounding so
  // that a huge or invalid entry cannot wrap around.
  const double q = d_ns * f_mhz / 500.0;
  if (!std::isfinite(q)) return 0;
  const int32_t s = static_cast<int32_t>(jround(std::clamp(q, -256.0, 256.0)));
  // The step count is a signed byte; an output divider too small to allow a move in one
  // direction gives 0 steps there, never a move the other way.
  if (s < 0) return std::max(s, std::min(0, (c & 1) ? 1 - c : 2 - c));
  if (s > 0) return std::min({s, (c & 1) ? 127 - c : 128 - c, 127});
  return 0;
}

double phase_adjust_set(const phase_io_s &io, int n, double d_ns, bool *ok) {
  *ok = false;
  if (!io.hal || !valid_output(n)) return 0.0;
  uint8_t cr1 = 0, cr3 = 0;
  if (!io.read(kOcCr1[n], &cr1) || !io.read(kOcCr3[n], &cr3)) return 0.0;
  const double f = hsdiv_mhz(io.hal, cr3);
  const int32_t s = phase_adjust_steps(d_ns, cr1 & 0x7F, f);
  *ok = io.write(kOcPh[n], static_cast<uint8_t>(s & 0xFF), true);
  return f > 0.0 ? s * 0.5 * 1000.0 / f : 0.0;
}

bool phase_adjust_sources_set(const phase_io_s &io, int32_t arm, int32_t trigger) {
  if (arm < 1 || arm > 15 || trigger < 0 || trigger > 15) return true;
  return io.write(PHASE_REG_PACR2, static_cast<uint8_t>(arm * 16 + trigger));
}

bool phase_adjust_command(const phase_io_s &io, uint8_t command, bool trigger_inverted, bool relative) {
  return io.write(PHASE_REG_PACR1,
                  static_cast<uint8_t>(command | (trigger_inverted ? 0x02 : 0x00) | (relative ? 0x01 : 0x00)));
}

bool phase_adjust_close(const phase_io_s &io) {
  hal_api_s *hal = io.hal;
  if (!hal) return false;
  // The adjustment registers as the chip holds them now, into the image.
  bool ok = true;
  auto take = [&](uint32_t a) {
    uint8_t v = 0;
    if (io.read(a, &v))
      put_reg(hal, a, v);
    else
      ok = false;
    return static_cast<uint8_t>(get_reg(hal, a));
  };
  const uint8_t pacr1 = take(PHASE_REG_PACR1);
  take(PHASE_REG_PACR2);
  for (int n = 0; n < 3; ++n) {
    const uint8_t ph = take(kOcPh[n]), cr1 = take(kOcCr1[n]), cr3 = take(kOcCr3[n]);
    const output_fields_s o = output_fields(hal, n);
    // Relative adjustments (MODE) move the phase from where it is: no alignment to keep.
    *o.align_en = (cr1 & kPhen) && !(pacr1 & 0x01) ? 1 : 0;
    const int8_t steps = static_cast<int8_t>(ph);
    const double f = hsdiv_mhz(hal, cr3);
    *o.align_ns = *o.align_en && steps >= 0 && f > 0.0 ? steps * 0.5 * (1000.0 / f) : 0.0;
    *o.align_nsx10 = static_cast<uint32_t>(jround(*o.align_ns * 10.0));
  }
  return ok;
}
