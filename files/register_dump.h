// Register dumps (all chip registers, and the DSP code in jitter attenuation, with the
// frequency plan as comments) and register configuration files (named register values).
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>
#include "files/hal_config_file.h"
#include "hal/hal_api.h"

// Writes a dump of regs (2048 bytes, read from the chip or the image) to path. dsp_words
// (320 words of DSP RAM) is written in jitter attenuation mode and may be null otherwise.
// Register 0x031 is written with product_index in its upper four bits. *msg holds the
// message to show.
bool register_dump_write(const hal_api_s *hal, const char *path, const uint8_t *regs, const uint32_t *dsp_words,
                         int product_index, file_message_s *msg);

// Loads a dump into the register image, its comment lines into the object's device,
// revision and frequencies, and appends its DSP code words to dsp_code. *msg holds the
// message to show.
bool register_dump_load(hal_api_s *hal, const char *path, std::vector<uint32_t> *dsp_code, file_message_s *msg);
// The same on a dump's text (path only for the message).
void register_dump_load_text(hal_api_s *hal, const char *path, const std::string &text, std::vector<uint32_t> *dsp_code,
                             file_message_s *msg);

// Reads device type, revision and clock frequencies from one comment line of a script or dump.
void ScriptCommentLineParse(hal_api_s *hal, const std::string &line);

// Writes a register configuration file: every named register of regs (2048 bytes), or with
// save_only_diff only those that differ from their reset default.
bool register_config_write(const char *path, const uint8_t *regs, bool save_only_diff, file_message_s *msg);

// The mode line ("; MFG Mode : ...") and a frequency line for each set clock, as scripts and
// dumps carry them for the configuration they were made from.
void file_write_mode_and_frequencies(FILE *out, const hal_api_s *hal);

// The text that stands for "now" in file headers: the local date and time.
std::string file_date_text();
