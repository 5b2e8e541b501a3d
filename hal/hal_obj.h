// The private HAL object owned by hal_api_s::hal_obj_p. Engine-internal: only the engine
// layers (hal, regs, files) include this header.
#pragma once
#include <cstdint>
#include "hal/hal_api.h"
#include "hal/oc_solver_store.h"

// Index of each mode field in the snapshot.
enum : int {
  hal_snap_device_e = 0,
  hal_snap_rev_e,
  hal_snap_mode_e,
  hal_snap_xa_mode_e,
  hal_snap_sysclk_e,
  hal_snap_jitter_e,
  hal_snap_count_e,
};

constexpr int KOVA_SEQ_WORDS = 24;

struct hal_obj_s {
  // Mode fields validated by the last init_api; -1 in all six when none was validated.
  int32_t snapshot[hal_snap_count_e];
  // Register image (what the configuration asks for) and written image (what the chip holds).
  uint8_t regs[KOVA_REG_COUNT];
  uint8_t written[KOVA_REG_COUNT];
  // Message log.
  char msgs[KOVA_MSG_MAX][KOVA_MSG_LEN];
  uint32_t msg_count;
  uint32_t msg_level;  // 0 none, 1 warning posted, 2 error posted; never falls until the log empties
  uint32_t msg_read;
  // Sequencing and status state: words 0 to 22 belong to the write sequences, word 23
  // to the status decode.
  uint32_t seq[KOVA_SEQ_WORDS];
  // Output clock solver storage.
  oc_solver_store_s solver;
};

static_assert(std::is_trivially_copyable_v<hal_obj_s>);

// The HAL object of a configuration, or null before the first init_api.
inline hal_obj_s *hal_obj(hal_api_s *hal) { return hal ? hal->hal_obj_p : nullptr; }
inline const hal_obj_s *hal_obj(const hal_api_s *hal) { return hal ? hal->hal_obj_p : nullptr; }
