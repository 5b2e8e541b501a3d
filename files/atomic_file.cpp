#include "files/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

bool fail(std::string *error, const std::string &path, int e) {
  if (error) *error = path + ": " + std::strerror(e ? e : EIO);
  return false;
}

}  // namespace

bool atomic_open(atomic_file_s *f, const char *path, std::string *error) {
  *f = atomic_file_s{};
  f->path = path ? path : "";
  if (f->path.empty()) {
    if (error) *error = "no file name";
    return false;
  }
  f->target = f->path;
  struct stat st {};
  mode_t mode = 0;
  if (stat(f->path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return fail(error, f->path, EISDIR);
    if (!S_ISREG(st.st_mode)) {
      // A device or a pipe cannot be replaced: it takes the data itself.
      f->fp = std::fopen(f->path.c_str(), "w");
      return f->fp ? true : fail(error, f->path, errno);
    }
    char real[PATH_MAX];
    if (realpath(f->path.c_str(), real)) f->target = real;
    mode = st.st_mode & 07777;
  } else if (errno != ENOENT) {
    return fail(error, f->path, errno);
  } else {
    // A new file gets the usual permissions of a new file, not mkstemp's private ones.
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  f->tmp_path = f->target + ".tmp-XXXXXX";
  const int fd = mkstemp(f->tmp_path.data());
  if (fd < 0) {
    const int e = errno;
    f->tmp_path.clear();
    return fail(error, f->path, e);
  }
  fchmod(fd, mode);
  f->fp = fdopen(fd, "w");
  if (!f->fp) {
    const int e = errno;
    close(fd);
    unlink(f->tmp_path.c_str());
    f->tmp_path.clear();
    return fail(error, f->path, e);
  }
  // The files of this tool fit the buffer: what goes wrong goes wrong at the commit, where
  // the reason is known.
  setvbuf(f->fp, nullptr, _IOFBF, 1u << 18);
  return true;
}

bool atomic_commit(atomic_file_s *f, std::string *error) {
  if (!f->fp) {
    if (error) *error = f->path + ": not open";
    return false;
  }
  const bool direct = f->tmp_path.empty();
  int e = 0;
  if (std::ferror(f->fp)) {
    // An earlier write failed: one more byte asks the file for its reason.
    std::clearerr(f->fp);
    errno = 0;
    std::fputc('\n', f->fp);
    std::fflush(f->fp);
    e = errno ? errno : EIO;
  }
  if (!e && std::fflush(f->fp) != 0) e = errno;
  if (!e && !direct && fsync(fileno(f->fp)) != 0) e = errno;
  if (std::fclose(f->fp) != 0 && !e) e = errno;
  f->fp = nullptr;
  if (!e && !direct && std::rename(f->tmp_path.c_str(), f->target.c_str()) != 0) e = errno;
  if (!direct && e) unlink(f->tmp_path.c_str());
  f->tmp_path.clear();
  return e ? fail(error, f->path, e) : true;
}

void atomic_abort(atomic_file_s *f) {
  if (f->fp) std::fclose(f->fp);
  f->fp = nullptr;
  if (!f->tmp_path.empty()) unlink(f->tmp_path.c_str());
  f->tmp_path.clear();
}

bool atomic_write_text(const std::string &path, const std::string &text, std::string *error) {
  atomic_file_s f;
  if (!atomic_open(&f, path.c_str(), error)) return false;
  if (std::fwrite(text.data(), 1, text.size(), f.fp) != text.size()) {
    const int e = errno;
    atomic_abort(&f);
    return fail(error, path, e);
  }
  return atomic_commit(&f, error);
}

bool file_read_text(const std::string &path, std::string *text, std::string *error, bool *missing) {
  text->clear();
  if (missing) *missing = false;
  // Not blocking: opening a pipe without a writer would wait for ever.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (missing) *missing = errno == ENOENT;
    return fail(error, path, errno);
  }
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    const int e = errno;
    close(fd);
    return fail(error, path, e);
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    if (S_ISDIR(st.st_mode)) return fail(error, path, EISDIR);
    if (error) *error = path + ": not a regular file";
    return false;
  }
  if (static_cast<unsigned long long>(st.st_size) > KOVA_READ_MAX_BYTES) {
    close(fd);
    if (error) *error = path + ": larger than " + std::to_string(KOVA_READ_MAX_BYTES >> 20) + " MiB: not a file of this tool";
    return false;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  char buf[65536];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int e = errno;
      close(fd);
      text->clear();
      return fail(error, path, e);
    }
    if (n == 0) break;
    text->append(buf, static_cast<size_t>(n));
    if (text->size() > KOVA_READ_MAX_BYTES) {  // grew while being read
      close(fd);
      text->clear();
      if (error) *error = path + ": larger than " + std::to_string(KOVA_READ_MAX_BYTES >> 20) + " MiB: not a file of this tool";
      return false;
    }
  }
  close(fd);
  size_t start = 0, line = 1;
  while (start < text->size()) {
    size_t end = text->find('\n', start);
    if (end == std::string::npos) end = text->size();
    if (end - start > KOVA_READ_MAX_LINE) {
      text->clear();
      if (error)
        *error = path + ":" + std::to_string(line) + ": line longer than " + std::to_string(KOVA_READ_MAX_LINE) +
                 " characters: not a text file of this tool";
      return false;
    }
    start = end + 1;
    ++line;
  }
  return true;
}
