// The configuration script (".mfg"): the ordered register writes and waits that take a chip
// from its reset defaults to the configuration, with a header of comments and, in jitter
// attenuation, the DSP code section.
#pragma once
#include <cstdio>
#include <string>
#include "files/hal_config_file.h"
#include "hal/hal_api.h"

// Result flags of kova_hal_api_to_mfg (0 = success).
enum : int32_t {
  mfg_no_file_e = 1,       // no output file: nothing written
  mfg_no_device_e = 4,     // kova_device_e is 0
  mfg_dsp_zero_e = 8,      // the DSP code section was written and its words add up to 0
  mfg_no_writes_e = 16,    // the register sequence produced no write
};

// The engine version number written into the header.
constexpr uint32_t KOVA_MFG_HAL_VERSION = 0x9111400u;

// Writes the whole script for the object; gui_ver is the application version (at most 63
// characters are used). The caller selects sequence mode 3 first so that every register
// that differs from its reset default is written. Returns the result flags.
int32_t kova_hal_api_to_mfg(hal_api_s *hal, FILE *fpo, const char *gui_ver);

// The local date and time in the C library's asctime form, without its line feed.
std::string get_mytime();

// Selects sequence mode 3 and writes the script to path (through a temporary file and a
// rename). Returns false when the file could not be created; *msg holds the message to show
// either way, and *code the writer's result.
bool mfg_save_file(hal_api_s *hal, const char *path, const char *gui_ver, int32_t *code, file_message_s *msg);
