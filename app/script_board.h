// The script runner's target on a connected evaluation board: register writes and reads,
// the chip reset and DSP RAM loads through the board I/O; waits through the board I/O's
// wait; run lines into the application log.
#pragma once
#include "board/kxkovaio.h"
#include "files/script_runner.h"

// A target for the board (connected when both its channels are open). The handle must
// outlive the target. Messages and the known-frequency question are left to the caller.
script_target_s script_board_target(kxKovaIo_HandleS *board);
