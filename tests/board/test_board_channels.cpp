// Opening, closing and routing the board's channels: the driver calls and MPSSE bytes,
// the handle states and FT_ERRNO of every failure.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <string>

#include "tests/board/board_fixture.h"

namespace {

// A driver that records every call (name and arguments) and hands it to the emulator,
// answering with a chosen status for the calls named in `fail`.
struct spy_s {
  const ft_backend_s *inner;
  std::vector<std::string> calls;
  std::map<std::string, FT_STATUS> fail;
  bool zero_handle = false;
};
spy_s g_spy;

std::string hex(const uint8_t *b, uint32_t n) {
  std::string s;
  char t[4];
  for (uint32_t i = 0; i < n; ++i) {
    std::snprintf(t, sizeof t, i ? " %02X" : "%02X", b[i]);
    s += t;
  }
  return s;
}

FT_STATUS spied(const std::string &name, const std::string &args, FT_STATUS real) {
  g_spy.calls.push_back(args.empty() ? name : name + " " + args);
  auto it = g_spy.fail.find(name);
  return it != g_spy.fail.end() ? it->second : real;
}

const ft_backend_s *in() { return g_spy.inner; }

FT_STATUS s_list(void *, uint32_t *n) { return in()->create_device_info_list(in()->ctx, n); }
FT_STATUS s_detail(void *, uint32_t i, ft_device_info_s *info) { return in()->get_device_info_detail(in()->ctx, i, info); }
FT_STATUS s_open(void *, uint32_t i, FT_HANDLE *h) {
  FT_STATUS st = in()->open(in()->ctx, i, h);
  if (g_spy.zero_handle) *h = 0;
  return spied("Open", std::to_string(i), st);
}
FT_STATUS s_reset(void *, FT_HANDLE h) { return spied("ResetDevice", "", in()->reset_device(in()->ctx, h)); }
FT_STATUS s_usb(void *, FT_HANDLE h, uint32_t a, uint32_t b) {
  return spied("SetUSBParameters", std::to_string(a) + " " + std::to_string(b), in()->set_usb_parameters(in()->ctx, h, a, b));
}
FT_STATUS s_purge(void *, FT_HANDLE h, uint32_t m) { return spied("Purge", std::to_string(m), in()->purge(in()->ctx, h, m)); }
FT_STATUS s_chars(void *, FT_HANDLE h, uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  return spied("SetChars", std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + " " + std::to_string(d),
               in()->set_chars(in()->ctx, h, a, b, c, d));
}
FT_STATUS s_timeouts(void *, FT_HANDLE h, uint32_t r, uint32_t w) {
  return spied("SetTimeouts", std::to_string(r) + " " + std::to_string(w), in()->set_timeouts(in()->ctx, h, r, w));
}
FT_STATUS s_latency(void *, FT_HANDLE h, uint8_t ms) {
  return spied("SetLatencyTimer", std::to_string(ms), in()->set_latency_timer(in()->ctx, h, ms));
}
FT_STATUS s_bits(void *, FT_HANDLE h, uint8_t m, uint8_t mode) {
  return spied("SetBitMode", std::to_string(m) + " " + std::to_string(mode), in()->set_bit_mode(in()->ctx, h, m, mode));
}
FT_STATUS s_write(void *, FT_HANDLE h, const uint8_t *b, uint32_t n, uint32_t *w) {
  return spied("Write", hex(b, n), in()->write(in()->ctx, h, b, n, w));
}
FT_STATUS s_read(void *, FT_HANDLE h, uint8_t *b, uint32_t n, uint32_t *got) {
  return spied("Read", std::to_string(n), in()->read(in()->ctx, h, b, n, got));
}
FT_STATUS s_close(void *, FT_HANDLE h) { return spied("Close", "", in()->close(in()->ctx, h)); }
void s_sleep(void *, uint32_t ms) { in()->sleep_ms(in()->ctx, ms); }
ft_open_failure_e s_failure(void *, char *t, size_t n) { return in()->open_failure(in()->ctx, t, n); }

const ft_backend_s kSpy = {"spy",    nullptr,   s_list,  s_detail, s_open,  s_reset, s_usb,   s_purge,  s_chars,
                           s_timeouts, s_latency, s_bits, s_write, s_read, s_close, s_sleep, s_failure};

struct BoardChannels : board_fixture {
  void spy() {
    g_spy = spy_s{};
    g_spy.inner = kxemu_backend();
    ft_backend_use(&kSpy);
  }
};

TEST_F(BoardChannels, OpenMakesTheSetUpCallsAndSendsTheMpsseBytesInOrder) {
  spy();
  ASSERT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &h), 0u);
  const std::vector<std::string> channel = {
      "ResetDevice", "SetUSBParameters 65536 65536", "Purge 3", "SetChars 0 0 0 0", "SetTimeouts 1000 1000",
      "SetLatencyTimer 16", "SetBitMode 0 0", "SetBitMode 0 2", "Write AA", "Read 2", "Write 8A 97 8D"};
  std::vector<std::string> expected = {"Open 0"};
  expected.insert(expected.end(), channel.begin(), channel.end());
  expected.insert(expected.end(), {"Write 80 8E FB", "Write 82 00 00", "Write 86 1D 00", "Write 85", "Purge 3", "Open 1"});
  expected.insert(expected.end(), channel.begin(), channel.end());
  expected.insert(expected.end(), {"Write 80 6E 7B", "Write 82 30 30", "Write 86 1D 00", "Write 85", "Purge 3"});
  EXPECT_EQ(g_spy.calls, expected);
  EXPECT_EQ(sleeps, (std::vector<uint32_t>{100, 100}));
  EXPECT_TRUE(messages().empty());  // the engine answered 0xFA 0xAA

  // The bridge is in MPSSE mode at 1 MHz with the board's pin levels: chip select high,
  // clock low, chip reset high.
  kxemu_pins_s a, b;
  ASSERT_TRUE(kxemu_pins(0, 0, &a));
  ASSERT_TRUE(kxemu_pins(0, 1, &b));
  EXPECT_TRUE(a.mpsse && b.mpsse);
  EXPECT_EQ(a.lo_data, 0x8E);
  EXPECT_EQ(a.lo_dir, 0xFB);
  EXPECT_EQ(a.hi_dir, 0x00);
  EXPECT_EQ(b.lo_data, 0x6E);
  EXPECT_EQ(b.lo_dir, 0x7B);
  EXPECT_EQ(b.hi_data, 0x30);
  EXPECT_EQ(b.hi_dir, 0x30);
  EXPECT_EQ(a.divisor, 29u);
  EXPECT_FALSE(a.div5);
  EXPECT_EQ(a.read_timeout_ms, 1000u);
  EXPECT_EQ(a.latency_ms, 16);
  EXPECT_EQ(h.chA.gpio.lo.data, 0x8E);
  EXPECT_EQ(h.chB.gpio.hi.dir, 0x30);
  // The emulated bridge keeps a latency it is given; 0 is refused.
  ASSERT_EQ(FT_SetLatencyTimer(h.chB.handle, 2), FT_OK);
  EXPECT_EQ(FT_SetLatencyTimer(h.chB.handle, 0), FT_INVALID_PARAMETER);
  ASSERT_TRUE(kxemu_pins(0, 1, &b));
  EXPECT_EQ(b.latency_ms, 2);
}

// Opening an open board fails with 6 without touching the driver; closing closes channel B
// then A, and the driver refuses the handles afterwards; the connected test tells open,
// closed and half open.
TEST_F(BoardChannels, OpenCloseAndTheConnectedTest) {
  bool open = true;
  EXPECT_EQ(kxKovaIo_EvalBoardConnected(&h, &open), 0u);
  EXPECT_FALSE(open);
  ASSERT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &h), 0u);
  EXPECT_EQ(kxKovaIo_EvalBoardConnected(&h, &open), 0u);
  EXPECT_TRUE(open);
  spy();
  EXPECT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &h), 1u);
  EXPECT_EQ(FT_ERRNO, 6u);
  kxKovaIo_HandleS half{};
  half.chB.handle = h.chB.handle;
  EXPECT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &half), 1u);
  EXPECT_EQ(FT_ERRNO, 6u);
  EXPECT_TRUE(g_spy.calls.empty());
  EXPECT_EQ(kxKovaIo_EvalBoardOpen(0, 1, nullptr), 1u);
  EXPECT_EQ(FT_ERRNO, 1u);
  kxKovaIo_ChannelS ch = h.chA;
  EXPECT_EQ(kxKovaIo_EvalBoardChannelOpen(0, &ch), FT_INVALID_PARAMETER);
  EXPECT_EQ(kxKovaIo_EvalBoardChannelOpen(0, nullptr), FT_INVALID_HANDLE);
  const FT_HANDLE a = h.chA.handle;
  EXPECT_EQ(kxKovaIo_EvalBoardClose(&h), 0u);
  EXPECT_EQ(g_spy.calls, (std::vector<std::string>{"Close", "Close"}));
  EXPECT_EQ(h.chA.handle, 0u);
  EXPECT_EQ(h.chB.handle, 0u);
  uint32_t w = 0;
  const uint8_t x = 0x87;
  EXPECT_EQ(FT_Write(a, &x, 1, &w), FT_INVALID_HANDLE);
  EXPECT_EQ(kxKovaIo_EvalBoardClose(nullptr), 1u);
  EXPECT_EQ(FT_ERRNO, 1u);
}

// Channel B failing to open leaves a half-open board: not connected (18), channel A kept
// until the board is closed.
TEST_F(BoardChannels, ChannelBFailingLeavesAHalfOpenBoard) {
  ASSERT_EQ(kxKovaIo_EvalBoardOpen(0, 9, &h), 1u);
  EXPECT_EQ(FT_ERRNO, FT_DEVICE_NOT_FOUND);
  EXPECT_NE(h.chA.handle, 0u);
  EXPECT_EQ(h.chB.handle, 0u);
  EXPECT_EQ(messages(), (std::vector<std::pair<std::string, std::string>>{{"Channel 9 FT_Open failed!", "FTDI Error"}}));
  bool open = true;
  EXPECT_EQ(kxKovaIo_EvalBoardConnected(&h, &open), 1u);
  EXPECT_FALSE(open);
  EXPECT_EQ(FT_ERRNO, 18u);
  EXPECT_EQ(kxKovaIo_EvalBoardClose(&h), 0u);
  EXPECT_EQ(h.chA.handle, 0u);
  EXPECT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &h), 0u);
}

// A channel set-up that fails gives its message; the failures of the bridge's answers are
// reported and the opening goes on, those of the driver end it with the channel closed.
TEST_F(BoardChannels, SetUpFailuresGiveTheirMessages) {
  const struct {
    const char *name;
    std::function<void()> arm;
    FT_STATUS status;
    const char *message, *title;
  } cases[] = {
      {"latency timer refused", [] { g_spy.fail["SetLatencyTimer"] = FT_IO_ERROR; }, FT_IO_ERROR,
       "Error in initializing MPSSE!", "Channel Open"},
      {"no handle", [] { g_spy.zero_handle = true; }, FT_INVALID_HANDLE, "Could not obtain handle for channel 0",
       "FTDI Error"},
      {"wrong sync answer", [] {
         kxemu_faults_s f;
         f.bad_sync_answer = true;
         kxemu_faults_set(0, &f);
       }, FT_OK, "Unexpected bogus command return code: 0xFA 0x00.", "Channel Open"},
      {"no sync answer", [] {
         kxemu_faults_s f;
         f.read_timeout_after = 0;
         kxemu_faults_set(0, &f);
       }, FT_OK, "Unexpected bogus command return code: 0x00 0x00.", "Channel Open"},
      {"pin set-up cut short", [] {  // the third write, channel A's low pin byte, cut to one byte
         kxemu_faults_s f;
         f.short_write_after = 2;
         f.short_write_keep = 1;
         kxemu_faults_set(0, &f);
       }, FT_OK, "Error configuring ADBUS: code 4", "Channel Open"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    install();
    spy();
    c.arm();
    const uint64_t before = kxemu_clock_us();
    kxKovaIo_ChannelS ch{};
    EXPECT_EQ(kxKovaIo_EvalBoardChannelOpen(0, &ch), c.status);
    EXPECT_EQ(ch.handle != 0, c.status == FT_OK);
    const auto m = messages();
    ASSERT_GE(m.size(), 1u);
    EXPECT_EQ(m[0].first, c.message);
    EXPECT_EQ(m[0].second, c.title);
    if (std::string(c.name) == "no sync answer") {
      EXPECT_GE(kxemu_clock_us() - before, 1000000u);  // a second of emulated time, not of real time
    }
    if (c.status == FT_IO_ERROR) {  // closed again, nothing stale left: it opens again
      g_spy.fail.clear();
      ASSERT_EQ(kxKovaIo_EvalBoardChannelOpen(0, &ch), FT_OK);
    }
    if (ch.handle) FT_Close(ch.handle);
  }
}

TEST_F(BoardChannels, RoutingDrivesBothChannelsAndSetsTheBoardMode) {
  ASSERT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &h), 0u);
  kxemu_wire_clear(0);
  EXPECT_EQ(kxKovaIo_GetBoardMode(), 0u);
  ASSERT_EQ(kxkovaio_SelectFtdi2Eeprom(&h), FT_OK);
  EXPECT_EQ(kxKovaIo_GetBoardMode(), 1u);
  EXPECT_EQ(wire(0, 0), (std::vector<bytes_t>{{0x80, 0x9E, 0xFB}}));
  EXPECT_EQ(wire(0, 1), (std::vector<bytes_t>{{0x80, 0x0E, 0x7B}}));
  EXPECT_EQ(h.chA.gpio.lo.data, 0x9E);
  EXPECT_EQ(h.chB.gpio.lo.data, 0x0E);
  // The bus now reaches the board EEPROM: a read frame returns its bytes.
  kxemu_board_eeprom(0)[0x31] = 0x5A;
  uint8_t v = 0;
  ASSERT_EQ(kxkovaio_DutRead(&h.chA, 0x031, 1, &v), FT_OK);
  EXPECT_EQ(v, 0x5A);

  kxemu_wire_clear(0);
  ASSERT_EQ(kxkovaio_SelectFtdi2Dut(&h), FT_OK);
  EXPECT_EQ(wire(0, 0), (std::vector<bytes_t>{{0x80, 0x8E, 0xFB}}));
  EXPECT_EQ(wire(0, 1), (std::vector<bytes_t>{{0x80, 0x0E, 0x7B}}));
  ASSERT_EQ(kxkovaio_DutRead(&h.chA, 0x031, 1, &v), FT_OK);
  EXPECT_EQ(v, 0x81);  // ID2 of the emulated KX40000 revision 1
}

TEST_F(BoardChannels, RoutingFailuresAreReportedPerChannel) {
  ASSERT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &h), 0u);
  kxemu_unplug(0);
  EXPECT_EQ(kxkovaio_SelectFtdi2Dut(&h), FT_IO_ERROR);
  EXPECT_EQ(kxKovaIo_GetBoardMode(), 0u);
  const auto m = messages();
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[0], std::make_pair(std::string("Error configuring ADBUS: code 4"), std::string("SPI Bus Routing")));
  EXPECT_EQ(m[1], std::make_pair(std::string("Error configuring BDBUS: code 4"), std::string("SPI Bus Routing")));
  EXPECT_EQ(kxkovaio_SelectFtdi2Eeprom(nullptr), FT_INVALID_HANDLE);
}

TEST_F(BoardChannels, HardwareSelectAndChannelCount) {
  ASSERT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &h), 0u);
  kxemu_wire_clear(0);
  // Bit five driven and released, the record left as it was.
  EXPECT_EQ(kxKovaIo_HwSel(&h, true), 0u);
  EXPECT_EQ(kxKovaIo_HwSel(&h, false), 0u);
  EXPECT_EQ(wire(0, 0), (std::vector<bytes_t>{{0x80, 0xAE, 0xFB}, {0x80, 0x8E, 0xFB}}));
  EXPECT_EQ(h.chA.gpio.lo.data, 0x8E);
  kxKovaIo_EvalBoardClose(&h);
  EXPECT_EQ(kxKovaIo_HwSel(&h, true), 1u);
  EXPECT_EQ(FT_ERRNO, 1u);
  uint32_t n = 7;
  EXPECT_EQ(kxKovaIo_ChannelCount(&n), 0u);
  EXPECT_EQ(n, 2u);
  kxemu_unplug(0);
  EXPECT_EQ(kxKovaIo_ChannelCount(&n), 0u);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(kxKovaIo_ChannelCount(nullptr), 1u);
}

TEST_F(BoardChannels, TheUsbTraceHasOneLinePerTransfer) {
  const std::string path = ::testing::TempDir() + "/usb_trace_" + std::to_string(getpid()) + ".txt";
  ASSERT_TRUE(ft_trace_open(path.c_str()));
  ASSERT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &h), 0u);
  uint8_t v;
  ASSERT_EQ(kxKovaIo_DutRegRead(&h, 0x031, 1, &v), 0u);
  ft_trace_close();
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  std::remove(path.c_str());
  ASSERT_GE(lines.size(), 20u);
  EXPECT_EQ(lines[0], "A W AA");
  EXPECT_EQ(lines[1], "A R FA AA");
  EXPECT_EQ(lines[2], "A W 8A 97 8D");
  EXPECT_EQ(lines[3], "A W 80 8E FB");
  EXPECT_EQ(lines[7], "B W AA");
  EXPECT_EQ(lines[10], "B W 80 6E 7B");
  EXPECT_EQ(lines[lines.size() - 2], "A W 80 86 FB 11 02 00 03 00 31 20 00 00 80 8E FB 87");
  EXPECT_EQ(lines.back(), "A R 81");
}

}  // namespace
