// Saving a file without ever destroying the previous one: the content goes to a temporary
// file beside the target, which replaces the target only once it is completely written.
#pragma once
#include <cstdio>
#include <string>

struct atomic_file_s {
  FILE *fp = nullptr;
  std::string path;      // the target
  std::string tmp_path;  // the temporary file beside it
};

// Opens the temporary file for writing. False with *error set when it cannot be created.
bool atomic_open(atomic_file_s *f, const char *path, std::string *error);
// Flushes, syncs and closes the temporary file and renames it over the target. On any
// failure (disk full, no permission) the temporary file is removed, the target is left as it
// was, and *error says why.
bool atomic_commit(atomic_file_s *f, std::string *error);
// Drops the temporary file.
void atomic_abort(atomic_file_s *f);
