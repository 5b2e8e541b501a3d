#include "app/script_board.h"

#include "app/app_log.h"

namespace {

kxKovaIo_HandleS *handle(void *ctx) { return static_cast<kxKovaIo_HandleS *>(ctx); }

}  // namespace

script_target_s script_board_target(kxKovaIo_HandleS *board) {
  script_target_s t;
  bool open = false;
  t.ctx = board;
  t.connected = board && kxKovaIo_EvalBoardConnected(board, &open) == 0 && open;
  t.reset_chip = [](void *c) { return kxKovaIo_DutReset(handle(c)) == 0; };
  t.write_regs = [](void *c, uint32_t a, const uint8_t *d, uint32_t n) {
    return kxKovaIo_DutRegWrite(handle(c), a, n, d) == 0;
  };
  t.read_regs = [](void *c, uint32_t a, uint8_t *d, uint32_t n) { return kxKovaIo_DutRegRead(handle(c), a, n, d) == 0; };
  t.write_dsp = [](void *c, uint32_t addr, const uint32_t *w, uint32_t n, uint32_t id) {
    return kxkovaio_DspRamWrite(handle(c), addr, n, w, id) == 0;
  };
  t.sleep_ms = [](void *, uint32_t ms) { kxKovaIo_Sleep(ms); };
  t.app_log = [](void *, const std::string &line, uint32_t module) {
    GuiLogMessage(&__dev_GuiParams, line.c_str(), module);
  };
  return t;
}
