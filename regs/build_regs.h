// Packing of the register field values of a configuration into its register image.
#pragma once

struct hal_api_s;

// Writes every register that the configuration's fields determine into the register image,
// one whole byte each, in the chip's table order; other registers keep their image bytes.
// Posts "ERROR: init_api modes changed or invalid" and leaves the image alone when a mode
// field changed since the last init_api.
void build_regs(hal_api_s *hal);
