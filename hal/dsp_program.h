// The DSP program of the DPLL devices: 320 words of 24 bits. The tool ships a copy in which
// some words are marked unknown; a user can load a complete program from a file of the same
// format.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include "hal/hal_api.h"

struct dsp_program_s {
  uint32_t words[KOVA_DSP_WORDS];
  bool known[KOVA_DSP_WORDS];  // false where the text said "unknown" (the word is then 0)
};

// Parses program text. On failure returns false and sets *error to a one-line reason that
// starts with "<source>:<line>: ".
bool dsp_program_parse(const char *text, size_t len, const char *source, dsp_program_s *out,
                       std::string *error);
// Reads and parses a program file and makes it the program every configuration uses.
// The active program is unchanged on failure.
bool dsp_program_load_file(const char *path, std::string *error);
// Returns to the program shipped with the tool.
void dsp_program_use_embedded();
// The program in use.
const dsp_program_s *dsp_program_active();
// Number of words of the active program that are unknown.
uint32_t dsp_program_unknown_count();
