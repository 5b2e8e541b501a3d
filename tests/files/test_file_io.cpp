// Writing and reading files as a hardware engineer relies on them: a write that cannot be
// completed says why and leaves the old file as it was; a reader refuses what is not a text
// file of this tool instead of hanging.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <functional>

#include "files/atomic_file.h"
#include "files/bitfield_file.h"
#include "files/hal_config_file.h"
#include "files/mfg_script.h"
#include "files/register_dump.h"
#include "tests/files/eeprom_test_util.h"

using namespace eetest;

namespace {

// Every writer of the files layer, on one path; the message text of its outcome.
struct writer_s {
  const char *name;
  std::function<bool(const std::string &path, file_message_s *m)> write;
};

std::vector<writer_s> writers(hal_api_s *hal) {
  static uint8_t regs[KOVA_REG_COUNT] = {};
  static uint8_t ee[2048] = {};
  static int32_t code = 0;
  return {
      {"configuration", [hal](auto &p, auto *m) { return hal_config_save_file(hal, p.c_str(), 8, m); }},
      {"script", [hal](auto &p, auto *m) { return mfg_save_file(hal, p.c_str(), "1.0", &code, m); }},
      {"register dump", [hal](auto &p, auto *m) { return register_dump_write(hal, p.c_str(), regs, nullptr, 8, m); }},
      {"register configuration", [](auto &p, auto *m) { return register_config_write(p.c_str(), regs, false, m); }},
      {"EEPROM dump", [](auto &p, auto *m) { return eeprom_dump_file_write(p, ee, sizeof ee, true, "KX40000", m); }},
      {"EEPROM image", [](auto &p, auto *m) {
         kova_eeprom_create_s c;
         const bool ok = kova_eeprom_create_file({temp_path("w.mfg")}, p, 200, 2048, 1, &c);
         m->text = c.text;
         return ok;
       }},
  };
}

// Files stop growing at 1 kbyte, as on a full disk (the signal of the limit is ignored, so
// that the write fails with EFBIG instead of ending the program).
struct file_size_limit_s {
  rlimit old{};
  explicit file_size_limit_s(rlim_t bytes) {
    signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit lim = old;
    lim.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lim);
  }
  ~file_size_limit_s() {
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, SIG_DFL);
  }
};

}  // namespace

TEST(FileWrites, AFailedWriteSaysWhyAndKeepsTheOldFile) {
  Hal h;
  std::ofstream(temp_path("w.mfg")) << config_script(kova_mode_syn_e);
  const std::string dir = temp_path("dir");
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  for (const writer_s &w : writers(h.get())) {
    SCOPED_TRACE(w.name);
    file_message_s m;
    const std::string &text = m.text;
    // A device that takes nothing: the device stays, the reason is the system's.
    EXPECT_FALSE(w.write("/dev/full", &m));
    EXPECT_NE(text.find("/dev/full: No space left on device"), std::string::npos) << text;
    struct stat st {};
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    // A disk that fills up halfway: the previous file is left byte for byte, and no
    // temporary file behind it.
    const std::string path = dir + "/old.txt";
    const std::string previous(300, 'p');
    std::ofstream(path) << previous;
    {
      file_size_limit_s limit(1024);
      EXPECT_FALSE(w.write(path, &m));
    }
    EXPECT_NE(text.find(path + ": File too large"), std::string::npos) << text;
    EXPECT_EQ(read_all(path), previous);
    // A folder is no file to write.
    EXPECT_FALSE(w.write(::testing::TempDir(), &m));
    EXPECT_NE(text.find("Is a directory"), std::string::npos) << text;
    // And a write that succeeds replaces the file through a link, keeping the link.
    const std::string link = temp_path("link.txt");
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    EXPECT_TRUE(w.write(link, &m)) << text;
    EXPECT_NE(read_all(path), previous);
    struct stat ls {};
    ASSERT_EQ(lstat(link.c_str(), &ls), 0);
    EXPECT_TRUE(S_ISLNK(ls.st_mode));
    std::remove(link.c_str());
    std::remove(path.c_str());
    EXPECT_EQ(rmdir(dir.c_str()), 0) << "a temporary file was left behind";
    mkdir(dir.c_str(), 0755);
  }
  rmdir(dir.c_str());
  std::remove(temp_path("w.mfg").c_str());
}

TEST(FileReads, WhatIsNoTextFileOfThisToolIsRefused) {
  const std::string fifo = temp_path("fifo"), wide = temp_path("wide.txt");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::ofstream(wide) << "0x000 0x01 EESEL\n" << std::string(KOVA_READ_MAX_LINE + 1, 'x') << "\n";
  struct reader_s {
    const char *name;
    std::function<bool(const std::string &, std::string *)> read;
  };
  Hal h;
  file_message_s m;
  std::vector<bitfield_reg_s> regs;
  std::string text;
  const std::vector<reader_s> readers = {
      {"configuration", [&](auto &p, auto *why) { return hal_config_load_file(h.get(), p.c_str(), &m, why); }},
      {"register dump", [&](auto &p, auto *why) {
         const bool ok = register_dump_load(h.get(), p.c_str(), nullptr, &m);
         *why = m.text;
         return ok;
       }},
      {"image or script", [&](auto &p, auto *why) { return eeprom_file_load(p, &text, nullptr, why); }},
      {"bitfield description", [&](auto &p, auto *why) { return bitfield_file_load(p.c_str(), &regs, &m, why); }},
  };
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/dev/zero", "/dev/zero: not a regular file"},  // endless: must not hang
      {fifo, fifo + ": not a regular file"},           // no writer: must not block
      {::testing::TempDir(), "Is a directory"},
      {wide, wide + ":2: line longer than 4096 characters"},
  };
  for (const auto &r : readers)
    for (const auto &c : cases) {
      SCOPED_TRACE(std::string(r.name) + " " + c.first);
      std::string why;
      EXPECT_FALSE(r.read(c.first, &why));
      EXPECT_NE(why.find(c.second), std::string::npos) << why;
    }
  std::remove(fifo.c_str());
  std::remove(wide.c_str());
}
