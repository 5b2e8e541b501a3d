#include "app/run_control.h"

#include <cstring>
#include <vector>

#include "app/user_dialog.h"
#include "hal/calc_expert.h"
#include "hal/calc_hal.h"
#include "regs/build_regs.h"
#include "regs/seq.h"
#include "regs/status.h"

bool SUDisableCalcChkBxIsChecked = false;
double NCOOffsetValue = 0.0;

namespace {

constexpr uint32_t kBurstMax = 1024;
constexpr uint32_t kStatusFirst = 0x030, kStatusCount = 112;
constexpr uint32_t kFreqzFirst = 0x420, kFreqzCount = 5;

bool stage(__dev_GuiParamS *p, hal_api_s *hal, const char *name, uint32_t module, void (*fn)(hal_api_s *)) {
  if (SUDisableCalcChkBxIsChecked) return true;
  GuiLogMessage(p, (std::string(">>> ") + name).c_str(), module);
  bool ok = false;
  if (p && hal) {
    fn(hal);
    ok = HalUtil_GetMessage(p, hal, module);
  }
  GuiLogMessage(p, (std::string(">>> ") + name + (ok ? ": SUCCESS" : ": FAILED")).c_str(), module);
  return ok;
}

bool nco_mode(const hal_api_s *hal) {
  return hal && (hal->kova_mode_e == kova_mode_nco_e || hal->kova_mode_e == kova_mode_ss_e);
}

}  // namespace

bool GuiUtil_EvalBoardConnected(__dev_GuiParamS *p, const hal_api_s *hal) {
  if (!p || !hal) return false;
  bool open = false;
  return kxKovaIo_EvalBoardConnected(&p->ioHandle, &open) == 0 && open;
}

bool HalUtil_CalcExpert(__dev_GuiParamS *p, hal_api_s *hal) {
  return stage(p, hal, "CALC EXPERT", kova_log_expert_e, calc_expert);
}

bool HalUtil_CalcHal(__dev_GuiParamS *p, hal_api_s *hal) { return stage(p, hal, "CALC HAL", kova_log_hal_e, calc_hal); }

bool HalUtil_BuildReg(__dev_GuiParamS *p, hal_api_s *hal) {
  if (SUDisableCalcChkBxIsChecked) return true;
  if (!p || !hal) return false;
  build_regs(hal);
  return HalUtil_GetMessage(p, hal, kova_log_build_e);
}

bool HalStruct_Recalculate(hal_api_s *hal) {
  __dev_GuiParamS *p = &__dev_GuiParams;
  bool ok = HalUtil_CalcExpert(p, hal) && HalUtil_CalcHal(p, hal);
  if (ok && !SUDisableCalcChkBxIsChecked) ok = HalUtil_BuildReg(p, hal);
  if (nco_mode(hal)) __dev_NcoOffsetSet(p, hal, NCOOffsetValue);
  return ok;
}

bool HalStruct_Reinitialize(hal_api_s *hal, int32_t initMode) {
  __dev_GuiParamS *p = &__dev_GuiParams;
  GuiLogMessage(p, ">>> RE-INIT API", kova_log_init_e);
  bool ok = false;
  if (hal) {
    hal->init_api_mode_e = initMode;
    init_api(hal);
    ok = HalUtil_GetMessage(p, hal, kova_log_init_e) && HalUtil_CalcExpert(p, hal) && HalUtil_CalcHal(p, hal) &&
         (SUDisableCalcChkBxIsChecked || HalUtil_BuildReg(p, hal));
    if (ok) {
      get_seq_s rec;
      get_seq(hal, get_seq_chip_reset_e, &rec);
    }
  }
  GuiLogMessage(p, ok ? ">>> RE-INIT API: SUCCESS" : ">>> RE-INIT API: FAILED", kova_log_init_e);
  return ok;
}

bool HalStruct_RegisterSeqSet(hal_api_s *hal, int32_t seq_mode) {
  __dev_GuiParamS *p = &__dev_GuiParams;
  GuiLogMessage(p, ">>> INIT GET_SEQ", kova_log_init_e);
  if (!hal) {
    GuiLogMessage(p, ">>> INIT GET_SEQ: FAILED", kova_log_init_e);
    return false;
  }
  get_seq_s rec;
  get_seq(hal, seq_mode, &rec);
  GuiLogMessage(p, ">>> INIT GET_SEQ: SUCCESS", kova_log_init_e);
  return true;
}

bool __dev_GuiReadReg(__dev_GuiParamS *p, hal_api_s *hal, uint32_t regAddr, uint32_t numBytes, uint8_t *regValue,
                      bool halBackFill) {
  if (!regValue) return false;
  if (GuiUtil_EvalBoardConnected(p, hal) && kxKovaIo_DutRegRead(&p->ioHandle, regAddr, numBytes, regValue) == 0) {
    if (halBackFill)
      for (uint32_t i = 0; i < numBytes; ++i) put_reg(hal, regAddr + i, regValue[i]);
    return true;
  }
  for (uint32_t i = 0; i < numBytes; ++i) regValue[i] = static_cast<uint8_t>(get_reg(hal, regAddr + i));
  return true;
}

bool gui_write_reg_checked(__dev_GuiParamS *p, hal_api_s *hal, uint32_t regAddr, uint32_t numBytes,
                           const uint8_t *regValue, bool halBackFill) {
  if (!regValue) return false;
  bool ok = true;
  if (GuiUtil_EvalBoardConnected(p, hal)) {
    ok = kxKovaIo_DutRegWrite(&p->ioHandle, regAddr, numBytes, regValue) == 0;
    if (halBackFill)
      for (uint32_t i = 0; i < numBytes; ++i) put_reg(hal, regAddr + i, regValue[i]);
  } else {
    for (uint32_t i = 0; i < numBytes; ++i) put_reg(hal, regAddr + i, regValue[i]);
  }
  for (uint32_t i = 0; i < numBytes; ++i) GuiLogConfigCmd(p, static_cast<uint16_t>(regAddr + i), regValue[i], 0, nullptr);
  return ok;
}

void __dev_GuiWriteReg(__dev_GuiParamS *p, hal_api_s *hal, uint32_t regAddr, uint32_t numBytes, const uint8_t *regValue,
                       bool halBackFill) {
  gui_write_reg_checked(p, hal, regAddr, numBytes, regValue, halBackFill);
}

bool seq_write_bursts(const std::function<bool(get_seq_s *)> &next,
                      const std::function<bool(uint32_t, const uint8_t *, uint32_t)> &write,
                      const std::function<void(uint32_t)> &on_wait) {
  uint8_t buf[kBurstMax];
  uint32_t start = 0, count = 0;
  auto flush = [&]() {
    const bool ok = count == 0 || write(start, buf, count);
    count = 0;
    return ok;
  };
  get_seq_s rec;
  while (next(&rec)) {
    if (count > 0 && rec.address != start + count && !flush()) return false;
    if (count == 0) start = rec.address;
    buf[count++] = static_cast<uint8_t>(rec.value);
    if ((rec.wait || count == kBurstMax) && !flush()) return false;
    if (rec.wait && on_wait) on_wait(rec.wait);
  }
  return flush();
}

bool HalUtil_WriteSequence(__dev_GuiParamS *p, hal_api_s *hal, bool bDiffOnly, const write_progress_fn &progress) {
  const int32_t mode = bDiffOnly ? get_seq_changes_e : get_seq_all_e;
  if (SUDisableCalcChkBxIsChecked) return true;
  std::vector<uint8_t> confirmed(KOVA_REG_COUNT);
  if (!seq_written_get(hal, confirmed.data())) return false;
  get_seq_s rec;
  if (!GuiUtil_EvalBoardConnected(p, hal)) {
    while (get_seq(hal, mode, &rec))
      GuiLogConfigCmd(p, static_cast<uint16_t>(rec.address), static_cast<uint8_t>(rec.value), rec.wait, nullptr);
    return false;
  }
  // What the chip is known to hold: the written image before the sequence, updated only by
  // bursts that reached it. get_seq records every entry it hands out as written; after a
  // failed burst this copy is put back, so nothing counts as written that did not arrive and
  // the next changes-only write sends it again.
  uint32_t done = 0;
  const bool ok = seq_write_bursts(
      [&](get_seq_s *r) { return get_seq(hal, mode, r) != 0; },
      [&](uint32_t start, const uint8_t *bytes, uint32_t count) {
        if (!gui_write_reg_checked(p, hal, start, count, bytes, false)) return false;
        for (uint32_t i = 0; i < count && start + i < KOVA_REG_COUNT; ++i) confirmed[start + i] = bytes[i];
        done += count;
        if (progress) progress(done);
        return true;
      },
      [&](uint32_t wait) { GuiLogMessage(p, ("W , " + std::to_string(wait)).c_str(), kova_log_regwrite_e); });
  if (!ok) seq_written_set(hal, confirmed.data());
  return ok;
}

bool WriteHalChangesToDevice(hal_api_s *hal, bool bDiffOnly) {
  return HalUtil_WriteSequence(&__dev_GuiParams, hal, bDiffOnly);
}

bool HalStruct_StatusGet(hal_api_s *hal) {
  __dev_GuiParamS *p = &__dev_GuiParams;
  if (!hal) return false;
  uint8_t block[kStatusCount];
  __dev_GuiReadReg(p, hal, kStatusFirst, kStatusCount, block, true);
  bool supplied[kStatusCount] = {};
  hal->get_statuses_mode_e = 1;
  // The decode names at most 53 addresses; the bound only guards against a broken decode.
  for (int guard = 0; guard < 1000; ++guard) {
    const uint32_t a = get_statuses(hal);
    if (a == 0) break;
    if (a >= kStatusFirst && a < kStatusFirst + kStatusCount) {
      put_reg(hal, a, block[a - kStatusFirst]);
      supplied[a - kStatusFirst] = true;
    } else {
      app_dialog().message("Status Address outside of Range", "Get Device Status");
    }
  }
  for (uint32_t i = 0; i < kStatusCount; ++i)
    if (!supplied[i]) put_reg(hal, kStatusFirst + i, block[i]);
  if (nco_mode(hal)) {
    uint8_t w[kFreqzCount];
    __dev_GuiReadReg(p, hal, kFreqzFirst, kFreqzCount, w, true);
  }
  return true;
}

int32_t __dev_NcoOffsetSet(__dev_GuiParamS *p, hal_api_s *hal, double ppm) {
  if (!hal) return -1;
  if (!(ppm >= -1000.0 && ppm <= 1000.0)) return -2;
  const uint64_t f = hal->dfreqz1_freqz_u40;
  const uint64_t w = static_cast<uint64_t>(((static_cast<double>(f) * (ppm + 1000000.0) / 500000.0) + 1.0) * 0.5);
  uint8_t bytes[kFreqzCount];
  for (uint32_t i = 0; i < kFreqzCount; ++i) {
    bytes[i] = static_cast<uint8_t>(w >> (8 * i));
    put_reg(hal, kFreqzFirst + i, bytes[i]);
  }
  __dev_GuiWriteReg(p, hal, kFreqzFirst, kFreqzCount, bytes, false);
  return 0;
}

int32_t __dev_NcoOffsetGet(__dev_GuiParamS *, const hal_api_s *hal, double *ppm) {
  if (!ppm) return -1;
  *ppm = 0.0;
  if (!hal) return -1;
  uint64_t w = 0;
  for (uint32_t i = 0; i < kFreqzCount; ++i) w |= static_cast<uint64_t>(get_reg(hal, kFreqzFirst + i)) << (8 * i);
  const uint64_t f = hal->dfreqz1_freqz_u40;
  if (f != 0) *ppm = static_cast<double>(w * 1000000u) / static_cast<double>(f) - 1000000.0;
  return 0;
}

void SUDisableCalcSet(hal_api_s *hal, bool on) {
  if (on) {
    SUDisableCalcChkBxIsChecked = true;
    return;
  }
  SUDisableCalcChkBxIsChecked = false;
  HalStruct_Recalculate(hal);
  WriteHalChangesToDevice(hal, true);
}
