#include "regs/seq.h"

#include <cstring>
#include "hal/hal_api.h"
#include "hal/hal_obj.h"

static_assert(seq_words_used < KOVA_SEQ_WORDS, "sequencing words exceed the HAL object's");

namespace {

constexpr uint32_t REG_MCR1 = 0x009;
constexpr uint32_t REG_PLLEN = 0x00B;
constexpr uint32_t REG_OCEN = 0x00D;
constexpr uint32_t REG_PACR1 = 0x01B;
constexpr uint32_t REG_PACR2 = 0x01C;
constexpr uint32_t REG_AFBDIV1 = 0x106;
constexpr uint32_t REG_AFBDIV5 = 0x10A;
constexpr uint32_t REG_AFBREM4 = 0x113;
constexpr uint32_t REG_DCO1 = 0x120;
constexpr uint32_t REG_DPLLCR1 = 0x40B;
constexpr uint32_t REG_DFREQZ1 = 0x420;
constexpr uint32_t REG_DFREQZ5 = 0x424;
constexpr uint32_t REG_DPHOFF1 = 0x428;
constexpr uint32_t REG_DPHOFF4 = 0x42B;

// PACR1 bits 7..5 (RST, TRIG, ARM) act once and are never held by the chip.
constexpr uint8_t PACR1_HELD = 0x1F;

// The phases that walk an address range, with the phase that follows each.
struct range_phase_s {
  uint32_t first;
  uint32_t last;
  uint32_t next;
};

constexpr range_phase_s NO_RANGE = {0, 0, seq_phase_done};
constexpr range_phase_s k_order[15] = {
    /* 0 start    */ NO_RANGE,
    /* 1 master   */ {0x009, 0x00A, seq_phase_test},
    /* 2 test     */ {0x600, 0x632, seq_phase_apll},
    /* 3 apll     */ {0x100, 0x12C, seq_phase_control},
    /* 4 control  */ {0x00E, 0x01F, seq_phase_inputs},
    /* 5 dpll     */ {0x400, 0x467, seq_phase_dpllcr1},  // DPLLCR1 skipped here
    /* 6 dpllcr1  */ {0x40B, 0x40B, seq_phase_outputs},
    /* 7 inputs   */ {0x300, 0x35C, seq_phase_dpll},
    /* 8 outputs  */ {0x200, 0x228, seq_phase_icen},
    /* 9 pllen    */ {0x00B, 0x00B, seq_phase_ocen},
    /* 10 ocen    */ {0x00D, 0x00D, seq_phase_check},
    /* 11 align   */ NO_RANGE,
    /* 12 icen    */ {0x00C, 0x00C, seq_phase_pllen},
    /* 13 check   */ NO_RANGE,
    /* 14 done    */ NO_RANGE,
};

bool is_range_phase(uint32_t phase) {
  return phase != seq_phase_start && phase < seq_phase_done && phase != seq_phase_align &&
         phase != seq_phase_check;
}

// DCO calibration: register and value of each step. Steps 0, 10 and 11 also save or use
// the save area (see run_dco_step).
struct proc_step_s {
  uint16_t reg;
  uint8_t value;
};

constexpr uint32_t DCO_LAST_STEP = 13;
constexpr proc_step_s k_dco_steps[DCO_LAST_STEP + 1] = {
    {REG_DCO1, 0x06},     // 0: after saving DCO1, AFBDIV1..5 and PLLEN
    {0x61A, 0x08},        // 1: TRAN2
    {0x61C, 0x0D},        // 2: PLLTCR13
    {REG_AFBDIV5, 0xFE},  // 3
    {0x106, 0x00},        // 4: AFBDIV1
    {0x107, 0x00},        // 5: AFBDIV2
    {0x108, 0x00},        // 6: AFBDIV3
    {0x109, 0x00},        // 7: AFBDIV4
    {REG_AFBDIV5, 0x40},  // 8
    {REG_AFBDIV5, 0x00},  // 9
    {REG_PLLEN, 0x00},    // 10: saved PLLEN with the APLL enable nibble cleared
    {REG_DCO1, 0x00},     // 11: everything saved is restored; DCO1 goes out
    {0x61A, 0x00},        // 12
    {0x61C, 0x00},        // 13: the calibration is done
};

// Registers kept in the save area while the calibration runs, in save-area order.
constexpr uint16_t k_dco_saved[7] = {REG_DCO1, 0x106, 0x107, 0x108, 0x109, 0x10A, REG_PLLEN};

// Output alignment: per step the output that must qualify (0 = always) and the register.
struct align_step_s {
  uint8_t output;
  uint16_t reg;
};

constexpr uint32_t ALIGN_LAST_STEP = 8;
constexpr align_step_s k_align_steps[ALIGN_LAST_STEP + 1] = {
    {1, 0x200}, {1, 0x207}, {2, 0x210}, {2, 0x217}, {3, 0x220},
    {3, 0x227}, {0, REG_PACR2}, {0, REG_PACR1}, {0, REG_PACR1},
};

struct seq_ctx_s {
  hal_api_s *hal;
  uint8_t *img;  // register image
  uint8_t *wr;   // written image
  uint32_t *w;   // sequencing words
};

void reset_state(seq_ctx_s &c) {
  c.w[seq_phase_w] = seq_phase_start;
  c.w[seq_cursor_w] = 0;
  c.w[seq_apll_restart_w] = 0;
  c.w[seq_dco_pending_w] = 0;
  c.w[seq_dco_step_w] = 0;
  c.w[seq_align_step_w] = 0;
}

void alignment_fields(const hal_api_s *h, uint32_t out[6]) {
  out[0] = h->oc1_align_nsx10_u16;
  out[1] = h->oc1_align_en;
  out[2] = h->oc2_align_nsx10_u16;
  out[3] = h->oc2_align_en;
  out[4] = h->oc3_align_nsx10_u16;
  out[5] = h->oc3_align_en;
}

void take_snapshot(seq_ctx_s &c) { alignment_fields(c.hal, c.w + seq_align_snap_w); }

bool snapshot_differs(const seq_ctx_s &c) {
  uint32_t now[6];
  alignment_fields(c.hal, now);
  return std::memcmp(now, c.w + seq_align_snap_w, sizeof now) != 0;
}

uint32_t align_enable(const hal_api_s *h, uint32_t output) {
  return output == 1 ? h->oc1_align_en : output == 2 ? h->oc2_align_en : h->oc3_align_en;
}

// An output takes part in the alignment when enabled for it and its medium-speed
// divider is at least 2.
bool output_qualifies(const hal_api_s *h, uint32_t output) {
  uint32_t msdiv = output == 1 ? h->oc1_msdiv_u8 : output == 2 ? h->oc2_msdiv_u8 : h->oc3_msdiv_u8;
  return align_enable(h, output) == 1 && msdiv >= 2;
}

void decide_alignment(seq_ctx_s &c) {
  const hal_api_s *h = c.hal;
  uint32_t qualified = 0, enabled = 0;
  for (uint32_t n = 1; n <= 3; ++n) {
    qualified += output_qualifies(h, n) ? 1 : 0;
    enabled += align_enable(h, n) == 1 ? 1 : 0;
  }
  bool align = h->kova_device_rev_e == 0 ? qualified == 3 : (qualified >= 1 && enabled >= 2);
  if (align) c.w[seq_align_pending_w] = 1;
}

// Output settings whose change calls for a new alignment; the phase adjust registers
// count only while PACR1 selects the adjust mode that uses them (MODE = 0).
bool affects_alignment(const seq_ctx_s &c, uint32_t a) {
  if (a == REG_OCEN) return true;
  if (a < 0x200 || a > 0x227) return false;
  uint32_t off = a & 0x0F;  // register within the output's block of 16
  if (off == 0x00 || (off >= 0x02 && off <= 0x06)) return true;
  return off == 0x07 && (c.img[REG_PACR1] & 0x01) == 0;
}

void run_dco_step(seq_ctx_s &c, uint32_t step) {
  uint32_t *save = c.w + seq_dco_save_w;
  const proc_step_s &s = k_dco_steps[step];
  if (step == 0) {
    for (int i = 0; i < 7; ++i) save[i] = c.img[k_dco_saved[i]];
    c.img[s.reg] = s.value;
  } else if (step == 10) {
    c.img[REG_PLLEN] = static_cast<uint8_t>(save[6] & 0xF0);
  } else if (step == 11) {
    for (int i = 0; i < 7; ++i) c.img[k_dco_saved[i]] = static_cast<uint8_t>(save[i]);
  } else {
    c.img[s.reg] = s.value;
  }
  if (step == DCO_LAST_STEP) c.w[seq_dco_pending_w] = 0;
  c.w[seq_dco_step_w] = step;
  c.w[seq_cursor_w] = s.reg;
}

void run_align_step(seq_ctx_s &c, uint32_t step) {
  const hal_api_s *h = c.hal;
  uint32_t reg = k_align_steps[step].reg;
  switch (step) {
    case 0: case 2: case 4:
      c.img[reg] = static_cast<uint8_t>(c.img[reg] | 0x80);  // PHEN
      break;
    case 1: c.img[reg] = static_cast<uint8_t>(h->oc1ph_phadj_i8); break;
    case 3: c.img[reg] = static_cast<uint8_t>(h->oc2ph_phadj_i8); break;
    case 5: c.img[reg] = static_cast<uint8_t>(h->oc3ph_phadj_i8); break;
    case 6: c.img[reg] = 0x10; break;
    case 7: c.img[reg] = 0x20; break;  // ARM
    default:
      c.img[reg] = 0x40;  // TRIG
      c.w[seq_align_pending_w] = 0;
      break;
  }
  c.w[seq_align_step_w] = step;
  c.w[seq_cursor_w] = reg;
}

// Enters the first alignment step from `step` on whose output qualifies (steps 6 to 8
// always run, so one is always found).
void enter_align_step(seq_ctx_s &c, uint32_t step) {
  while (k_align_steps[step].output != 0 && !output_qualifies(c.hal, k_align_steps[step].output))
    ++step;
  c.w[seq_phase_w] = seq_phase_align;
  run_align_step(c, step);
}

void enter_phase(seq_ctx_s &c, uint32_t phase) {
  c.w[seq_phase_w] = phase;
  if (is_range_phase(phase)) c.w[seq_cursor_w] = k_order[phase].first;
}

// Moves to the next position of the sequence order, running the DCO calibration or
// alignment step found there.
void advance(seq_ctx_s &c) {
  uint32_t phase = c.w[seq_phase_w];
  uint32_t cursor = c.w[seq_cursor_w];
  if (phase == seq_phase_start) {
    uint32_t step = c.w[seq_dco_step_w];
    if (cursor == 0x000) {
      if (c.w[seq_dco_pending_w]) run_dco_step(c, 0);
      else enter_phase(c, seq_phase_master);
    } else if (step < DCO_LAST_STEP) {
      run_dco_step(c, step + 1);
    } else {
      c.w[seq_dco_step_w] = 0;
      enter_phase(c, seq_phase_master);
    }
    return;
  }
  if (phase == seq_phase_align) {
    uint32_t step = c.w[seq_align_step_w];
    if (step < ALIGN_LAST_STEP) {
      enter_align_step(c, step + 1);
    } else {
      c.w[seq_align_step_w] = 0;
      enter_phase(c, seq_phase_check);
    }
    return;
  }
  if (!is_range_phase(phase)) return;  // check and done are resolved by settle()
  const range_phase_s &r = k_order[phase];
  if (cursor >= r.first && cursor < r.last) {
    ++cursor;
    if (phase == seq_phase_dpll && cursor == REG_DPLLCR1) ++cursor;
    c.w[seq_cursor_w] = cursor;
  } else {
    enter_phase(c, r.next);
  }
}

// Resolves the positions that hold no address: the check after the enables goes on with
// an alignment when one is pending (it may have been triggered by the last record), else
// the sequence is finished. State out of range also finishes it.
void settle(seq_ctx_s &c) {
  uint32_t &phase = c.w[seq_phase_w];
  if (phase > seq_phase_done || c.w[seq_cursor_w] >= KOVA_REG_COUNT ||
      c.w[seq_dco_step_w] > DCO_LAST_STEP || c.w[seq_align_step_w] > ALIGN_LAST_STEP)
    phase = seq_phase_done;
  if (phase == seq_phase_check) {
    if (c.w[seq_align_pending_w]) enter_align_step(c, 0);
    else phase = seq_phase_done;
  }
}

bool any_differs(const seq_ctx_s &c, uint32_t first, uint32_t last) {
  for (uint32_t a = first; a <= last; ++a)
    if (c.img[a] != c.wr[a]) return true;
  return false;
}

bool apll_restart_due(const seq_ctx_s &c) {
  return c.w[seq_cursor_w] == REG_PLLEN && c.w[seq_apll_restart_w] &&
         (c.img[REG_PLLEN] & 0x01) && (c.wr[REG_PLLEN] & 0x01);
}

bool output_restart_due(const seq_ctx_s &c) {
  return c.w[seq_cursor_w] == REG_OCEN && c.w[seq_out_restart_w] &&
         (c.img[REG_OCEN] & 0x07) && (c.wr[REG_OCEN] & 0x07);
}

// Group rule: a DPLL frequency or phase offset is written as all of its bytes when any of
// them changed. Looking at the first byte decides, looking at the last ends the group.
bool group_due(seq_ctx_s &c, uint32_t a, uint32_t first, uint32_t last, int word) {
  if (a < first || a > last) return false;
  if (a == first) c.w[word] = any_differs(c, first, last) ? 1 : 0;
  bool due = c.w[word] != 0;
  if (a == last) c.w[word] = 0;
  return due;
}

bool cursor_due(seq_ctx_s &c) {
  uint32_t a = c.w[seq_cursor_w];
  bool group = group_due(c, a, REG_DFREQZ1, REG_DFREQZ5, seq_freq_group_w) ||
               group_due(c, a, REG_DPHOFF1, REG_DPHOFF4, seq_phoff_group_w);
  return group || apll_restart_due(c) || output_restart_due(c) || c.img[a] != c.wr[a];
}

// Restart and alignment triggers, waits, and the written image after a record.
void bookkeeping(seq_ctx_s &c, get_seq_s &rec) {
  uint32_t a = rec.address;
  bool output_changed = false;
  if (c.img[a] != c.wr[a]) {
    if (a >= REG_AFBDIV1 && a <= REG_AFBREM4 && (c.wr[REG_PLLEN] & 0x01))
      c.w[seq_apll_restart_w] = 1;
    if (a == REG_PLLEN && (c.wr[REG_OCEN] & 0x07)) c.w[seq_out_restart_w] = 1;
    output_changed = affects_alignment(c, a);
  }
  if (output_changed || snapshot_differs(c)) {
    decide_alignment(c);
    take_snapshot(c);
  }

  if (a == REG_MCR1) {
    // Switching the XA/XB pins to a crystal needs it to settle; with the doubler on, the
    // crystal is started first without it and MCR1 is written once more in full.
    if ((rec.value & 0x03) == 0x01 && (c.wr[REG_MCR1] & 0x03) != 0x01) {
      rec.wait = KOVA_SEQ_WAIT;
      if (rec.value & 0x04) {
        rec.value &= ~0x04u;
        c.w[seq_phase_w] = seq_phase_master;
        c.w[seq_cursor_w] = REG_MCR1;
      }
    }
  } else if (a == REG_PLLEN) {
    if ((rec.value & 0x01) && !(c.wr[REG_PLLEN] & 0x01)) rec.wait = KOVA_SEQ_WAIT;
  }
  c.wr[a] = static_cast<uint8_t>(a == REG_PACR1 ? rec.value & PACR1_HELD : rec.value);
}

uint32_t seq_all(seq_ctx_s &c, get_seq_s &rec) {
  settle(c);
  if (c.w[seq_phase_w] == seq_phase_done) {
    reset_state(c);
    return 0;
  }
  rec.address = c.w[seq_cursor_w];
  rec.value = c.img[rec.address];
  advance(c);
  bookkeeping(c, rec);
  return 1;
}

uint32_t seq_changes(seq_ctx_s &c, get_seq_s &rec) {
  if (c.w[seq_phase_w] == seq_phase_start) {
    // A feedback divider change on a chip whose divider is not at its reset value needs
    // the DCO calibrated first.
    bool changed = false, configured = false;
    for (uint32_t a = REG_AFBDIV1; a <= REG_AFBDIV5; ++a) {
      changed = changed || c.img[a] != c.wr[a];
      configured = configured || c.wr[a] != kova_regs_defaults(a);
    }
    if (changed && configured) c.w[seq_dco_pending_w] = 1;
  }
  settle(c);
  while (c.w[seq_phase_w] != seq_phase_done && !cursor_due(c)) {
    advance(c);
    settle(c);
  }
  if (c.w[seq_phase_w] == seq_phase_done) {
    reset_state(c);
    return 0;
  }
  uint32_t a = c.w[seq_cursor_w];
  rec.address = a;
  if (apll_restart_due(c)) {
    // Switch the APLL off; the next call switches it on again with the full value.
    rec.value = c.img[a] & ~0x01u;
    c.wr[a] = static_cast<uint8_t>(rec.value);
    c.w[seq_apll_restart_w] = 0;
  } else if (output_restart_due(c)) {
    // Switch all outputs off; the next call switches them on again.
    rec.value = c.img[a] & ~0x07u;
    c.wr[a] = static_cast<uint8_t>(rec.value);
    c.w[seq_out_restart_w] = 0;
  } else {
    rec.value = c.img[a];
    advance(c);
  }
  bookkeeping(c, rec);
  return 1;
}

}  // namespace

uint32_t get_seq(hal_api_s *hal, int32_t mode, get_seq_s *record) {
  hal_obj_s *obj = hal_obj(hal);
  if (!obj) return 0;
  if (!record) {
    put_msg(hal, "ERROR: HAL object not initialized.");
    return 0;
  }
  *record = get_seq_s{};
  seq_ctx_s c{hal, obj->regs, obj->written, obj->seq};
  switch (mode) {
    case get_seq_mark_written_e:
      c.img[REG_PACR1] &= PACR1_HELD;
      std::memcpy(c.wr, c.img, KOVA_REG_COUNT);
      take_snapshot(c);
      reset_state(c);
      return 0;
    case get_seq_chip_reset_e:
      c.img[REG_PACR1] &= PACR1_HELD;
      for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a)
        c.wr[a] = static_cast<uint8_t>(kova_regs_defaults(a));
      take_snapshot(c);
      reset_state(c);
      return 0;
    case get_seq_all_e:
      return seq_all(c, *record);
    case get_seq_changes_e:
      return seq_changes(c, *record);
    default:
      reset_state(c);
      return 0;
  }
}

bool seq_written_get(const hal_api_s *hal, uint8_t *bytes) {
  const hal_obj_s *obj = hal_obj(hal);
  if (!obj || !bytes) return false;
  std::memcpy(bytes, obj->written, KOVA_REG_COUNT);
  return true;
}

bool seq_written_set(hal_api_s *hal, const uint8_t *bytes) {
  hal_obj_s *obj = hal_obj(hal);
  if (!obj || !bytes) return false;
  seq_ctx_s c{hal, obj->regs, obj->written, obj->seq};
  std::memcpy(c.wr, bytes, KOVA_REG_COUNT);
  c.wr[REG_PACR1] &= PACR1_HELD;  // the one-shot bits are never held
  reset_state(c);
  return true;
}
