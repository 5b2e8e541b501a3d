// The layer through which the front ends run the engine: one wrapper per stage (log, run,
// drain, report), recalculation and re-initialisation in their fixed order, register reads
// and writes that go to the chip when a board is connected and to the image when not, the
// burst write sequence, the status fetch, the NCO offset and the disable-calculation switch.
#pragma once
#include <cstdint>
#include <functional>

#include "app/app_log.h"
#include "hal/hal_api.h"
#include "regs/seq.h"

// The super-user switch that disables calculation (run-wide, initially off).
extern bool SUDisableCalcChkBxIsChecked;
// The requested NCO frequency offset in ppm (run-wide, initially 0).
extern double NCOOffsetValue;

bool HalUtil_CalcExpert(__dev_GuiParamS *pGuiS, hal_api_s *hal);
bool HalUtil_CalcHal(__dev_GuiParamS *pGuiS, hal_api_s *hal);
bool HalUtil_BuildReg(__dev_GuiParamS *pGuiS, hal_api_s *hal);
bool HalStruct_Recalculate(hal_api_s *hal);
bool HalStruct_Reinitialize(hal_api_s *hal, int32_t initMode);
bool HalStruct_RegisterSeqSet(hal_api_s *hal, int32_t seq_mode);
bool HalStruct_StatusGet(hal_api_s *hal);

// Progress of a write sequence: bytes written so far (the total is not known in advance).
using write_progress_fn = std::function<void(uint32_t bytes_written)>;

// Sends the write sequence to the chip in bursts of consecutive addresses (or logs it when
// no board is connected, returning false). A burst that fails ends the sequence with false:
// its registers, and every later one, stay marked as not written, so the next changes-only
// write sends them again.
bool HalUtil_WriteSequence(__dev_GuiParamS *pGuiS, hal_api_s *hal, bool bDiffOnly,
                           const write_progress_fn &progress = nullptr);
bool WriteHalChangesToDevice(hal_api_s *hal, bool bDiffOnly);

// Gathers write-sequence entries into bursts of consecutive addresses of at most 1024 bytes;
// an entry with a wait ends its burst (on_wait follows the write). next gives the entries in
// order (false when there are none); write sends one burst and tells whether it arrived.
// Stops at the first failed write and returns false.
bool seq_write_bursts(const std::function<bool(get_seq_s *)> &next,
                      const std::function<bool(uint32_t start, const uint8_t *bytes, uint32_t count)> &write,
                      const std::function<void(uint32_t wait)> &on_wait);

// Reads numBytes registers from regAddr: from the chip when a board is connected and the
// read succeeds (storing them into the image when halBackFill), else from the image.
bool __dev_GuiReadReg(__dev_GuiParamS *pGuiS, hal_api_s *hal, uint32_t regAddr, uint32_t numBytes, uint8_t *regValue,
                      bool halBackFill = true);
// Writes numBytes registers from regAddr to the chip (and the image when halBackFill) or,
// offline, to the image; logs each byte as a register-write line.
void __dev_GuiWriteReg(__dev_GuiParamS *pGuiS, hal_api_s *hal, uint32_t regAddr, uint32_t numBytes,
                       const uint8_t *regValue, bool halBackFill = false);
// The same, telling whether the chip took the bytes (true offline).
bool gui_write_reg_checked(__dev_GuiParamS *pGuiS, hal_api_s *hal, uint32_t regAddr, uint32_t numBytes,
                           const uint8_t *regValue, bool halBackFill);

bool GuiUtil_EvalBoardConnected(__dev_GuiParamS *pGuiS, const hal_api_s *hal);

// 0 success, -1 missing object, -2 offset outside -1000 to +1000 ppm.
int32_t __dev_NcoOffsetSet(__dev_GuiParamS *pGuiS, hal_api_s *hal, double ncoOffsetPpm);
// 0, or -1 (with 0.0) when the object or the output is missing.
int32_t __dev_NcoOffsetGet(__dev_GuiParamS *pGuiS, const hal_api_s *hal, double *ncoOffsetPpm);

// Turning the switch off recalculates and writes everything edited meanwhile.
void SUDisableCalcSet(hal_api_s *hal, bool on);
