// The configuration text file: every field of hal_api_s, one per line, in thirteen sections,
// followed (when saved whole) by the register image as "0xADDR 0xDD NAME" lines.
#pragma once
#include <cstdio>
#include <string>
#include "hal/hal_api.h"

// Writes the version line and the thirteen sections of fields to an open text file.
void kova_hal_api_struct_rd(const hal_api_s *hal, FILE *file);
// Reads an open text file to its end and sets every field whose line it finds; returns 1
// (end of file reached).
int kova_hal_api_struct_wr(hal_api_s *hal, FILE *file);

// A message for the user: a text and a window title.
struct file_message_s {
  std::string text;
  std::string title;
};

// Saves the fields and the register part to path. The file is written beside the target
// and renamed into place, so a failed save never destroys the previous file. device_id is
// the product index that goes into the upper four bits of ID2 (0x031) in the file.
// Returns true when the file was written; *msg holds the text to show either way.
bool hal_config_save_file(const hal_api_s *hal, const char *path, int device_id, file_message_s *msg);

// Loads fields and register lines from path. Returns true when at least one register line
// was loaded. On failure *msg holds the text to show (empty when nothing is to be shown),
// and *detail says where (file and line) when a line stopped the load.
// Every line is checked first: a field line whose value does not convert, or a malformed
// register line, fails the load with *detail naming each such line ("FILE:LINE: why", one
// per line), and the object is left as it was. A path that is not a regular text file is
// refused (file_read_text).
bool hal_config_load_file(hal_api_s *hal, const char *path, file_message_s *msg, std::string *detail);
// The same on a file's text (path only for the messages).
bool hal_config_load_text(hal_api_s *hal, const char *path, const std::string &text, file_message_s *msg,
                          std::string *detail);

// The file-name limit of the save and load commands.
constexpr size_t KOVA_PATH_MAX = 1024;
