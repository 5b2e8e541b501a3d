// Saving a file without ever destroying the previous one, and knowing that it was saved.
//
// A regular file (or a new name) is written to a temporary file beside it, which replaces
// it only once it is completely written, flushed and synced; a symbolic link is followed
// and the file it names is replaced, the link stays. A target that is not a regular file (a
// character device such as /dev/null or /dev/full, a pipe) is written directly, since it
// cannot be replaced. Every step is checked to the end: a failure names the path and the
// system's reason ("out.cfg: No space left on device") and leaves an existing file as it was.
#pragma once
#include <cstdio>
#include <string>

struct atomic_file_s {
  FILE *fp = nullptr;
  std::string path;      // the name given
  std::string target;    // the file replaced (the name given, or the file a link names)
  std::string tmp_path;  // the temporary file beside it; empty when written directly
};

// Opens the temporary file (or the device) for writing. False with *error set ("PATH:
// reason") when it cannot be created.
bool atomic_open(atomic_file_s *f, const char *path, std::string *error);
// Flushes, syncs and closes the temporary file and renames it over the target. On any
// failure (disk full, no permission) the temporary file is removed, the target is left as it
// was, and *error says why ("PATH: reason").
bool atomic_commit(atomic_file_s *f, std::string *error);
// Drops the temporary file.
void atomic_abort(atomic_file_s *f);

// atomic_open, the whole text, atomic_commit.
bool atomic_write_text(const std::string &path, const std::string &text, std::string *error);

// Largest file and longest line the readers take: anything beyond is not a file of this
// tool (a device, a binary file, a mistyped name).
constexpr size_t KOVA_READ_MAX_BYTES = 16u << 20;
constexpr size_t KOVA_READ_MAX_LINE = 4096;

// Reads a whole file into *text. Refuses what is not a regular file (a directory, a device
// such as /dev/zero, a pipe), a file larger than KOVA_READ_MAX_BYTES and a line longer than
// KOVA_READ_MAX_LINE characters. False with *error set ("PATH: reason", or "PATH:LINE:
// reason" for a long line); *missing tells a file that does not exist.
bool file_read_text(const std::string &path, std::string *text, std::string *error, bool *missing = nullptr);
