#include "files/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool atomic_open(atomic_file_s *f, const char *path, std::string *error) {
  f->fp = nullptr;
  f->path = path ? path : "";
  if (f->path.empty()) {
    if (error) *error = "no file name";
    return false;
  }
  f->tmp_path = f->path + ".tmp-XXXXXX";
  const int fd = mkstemp(f->tmp_path.data());
  if (fd < 0) {
    if (error) *error = f->path + ": " + std::strerror(errno);
    return false;
  }
  // The saved file gets the usual permissions of a new file, not mkstemp's private ones.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  f->fp = fdopen(fd, "w");
  if (!f->fp) {
    const int e = errno;
    close(fd);
    unlink(f->tmp_path.c_str());
    if (error) *error = f->path + ": " + std::strerror(e);
    return false;
  }
  return true;
}

bool atomic_commit(atomic_file_s *f, std::string *error) {
  if (!f->fp) {
    if (error) *error = f->path + ": not open";
    return false;
  }
  bool ok = std::ferror(f->fp) == 0;
  int e = ok ? 0 : EIO;
  if (ok && std::fflush(f->fp) != 0) ok = false, e = errno;
  if (ok && fsync(fileno(f->fp)) != 0) ok = false, e = errno;
  if (std::fclose(f->fp) != 0 && ok) ok = false, e = errno;
  f->fp = nullptr;
  if (ok && std::rename(f->tmp_path.c_str(), f->path.c_str()) != 0) ok = false, e = errno;
  if (!ok) {
    unlink(f->tmp_path.c_str());
    if (error) *error = f->path + ": " + std::strerror(e ? e : EIO);
  }
  return ok;
}

void atomic_abort(atomic_file_s *f) {
  if (f->fp) std::fclose(f->fp);
  f->fp = nullptr;
  if (!f->tmp_path.empty()) unlink(f->tmp_path.c_str());
}
