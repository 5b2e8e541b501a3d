// Opening, closing and routing the board's channels: the driver calls and MPSSE bytes,
// the handle states and FT_ERRNO of every failure.
#include <functional>
#include <map>
#include <string>

#include "tests/board/board_fixture.h"

namespace {

// A driver that records every call but the transfers (name and arguments; the transfers are
// in the USB trace) and hands it to the emulator, answering with a chosen status for the
// calls named in `fail`.
struct spy_s {
  ft_backend_s inner;
  std::vector<std::string> calls;
  std::map<std::string, FT_STATUS> fail;
};
spy_s g_spy;

// The arguments as decimal numbers.
template <class... T>
std::string args(T... v) {
  std::string s;
  ((s += (s.empty() ? "" : " ") + std::to_string(+v)), ...);
  return s;
}

FT_STATUS spied(const char *name, const std::string &args, FT_STATUS real) {
  g_spy.calls.push_back(args.empty() ? name : name + (" " + args));
  auto it = g_spy.fail.find(name);
  return it != g_spy.fail.end() ? it->second : real;
}

const ft_backend_s &in() { return g_spy.inner; }

FT_STATUS s_open(void *x, uint32_t i, FT_HANDLE *h) { return spied("Open", args(i), in().open(x, i, h)); }
FT_STATUS s_reset(void *x, FT_HANDLE h) { return spied("ResetDevice", "", in().reset_device(x, h)); }
FT_STATUS s_usb(void *x, FT_HANDLE h, uint32_t a, uint32_t b) {
  return spied("SetUSBParameters", args(a, b), in().set_usb_parameters(x, h, a, b));
}
FT_STATUS s_purge(void *x, FT_HANDLE h, uint32_t m) { return spied("Purge", args(m), in().purge(x, h, m)); }
FT_STATUS s_chars(void *x, FT_HANDLE h, uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  return spied("SetChars", args(a, b, c, d), in().set_chars(x, h, a, b, c, d));
}
FT_STATUS s_timeouts(void *x, FT_HANDLE h, uint32_t r, uint32_t w) {
  return spied("SetTimeouts", args(r, w), in().set_timeouts(x, h, r, w));
}
FT_STATUS s_latency(void *x, FT_HANDLE h, uint8_t ms) {
  return spied("SetLatencyTimer", args(ms), in().set_latency_timer(x, h, ms));
}
FT_STATUS s_bits(void *x, FT_HANDLE h, uint8_t m, uint8_t mode) {
  return spied("SetBitMode", args(m, mode), in().set_bit_mode(x, h, m, mode));
}
FT_STATUS s_close(void *x, FT_HANDLE h) { return spied("Close", "", in().close(x, h)); }

ft_backend_s g_spy_backend;

struct BoardChannels : board_fixture {
  void spy() {
    g_spy = spy_s{};
    g_spy.inner = *kxemu_backend();
    g_spy_backend = g_spy.inner;
    g_spy_backend.name = "spy";
    g_spy_backend.open = s_open;
    g_spy_backend.reset_device = s_reset;
    g_spy_backend.set_usb_parameters = s_usb;
    g_spy_backend.purge = s_purge;
    g_spy_backend.set_chars = s_chars;
    g_spy_backend.set_timeouts = s_timeouts;
    g_spy_backend.set_latency_timer = s_latency;
    g_spy_backend.set_bit_mode = s_bits;
    g_spy_backend.close = s_close;
    ft_backend_use(&g_spy_backend);
  }
  void open() { ASSERT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &h), 0u); }
};

// Each channel: the driver set up, MPSSE mode synchronised with a bogus command (0xAA,
// answered 0xFA 0xAA), the master clock undivided with adaptive and three-phase clocking
// off, the pins and the clock divider set, loopback off, then purged.
TEST_F(BoardChannels, OpenMakesTheSetUpCallsAndSendsTheMpsseBytesInOrder) {
  const std::string trace = temp_path("open_trace");
  ASSERT_TRUE(ft_trace_open(trace.c_str()));
  spy();
  open();
  ft_trace_close();
  const std::vector<std::string> channel = {
      "ResetDevice", "SetUSBParameters 65536 65536", "Purge 3", "SetChars 0 0 0 0", "SetTimeouts 1000 1000",
      "SetLatencyTimer 16", "SetBitMode 0 0", "SetBitMode 0 2", "Purge 3"};
  std::vector<std::string> expected = {"Open 0"};
  expected.insert(expected.end(), channel.begin(), channel.end());
  expected.push_back("Open 1");
  expected.insert(expected.end(), channel.begin(), channel.end());
  EXPECT_EQ(g_spy.calls, expected);
  EXPECT_EQ(take_lines(trace), (std::vector<std::string>{"A W AA", "A R FA AA", "A W 8A 97 8D", "A W 80 8E FB",
                                                         "A W 82 00 00", "A W 86 1D 00", "A W 85", "B W AA",
                                                         "B R FA AA", "B W 8A 97 8D", "B W 80 6E 7B", "B W 82 30 30",
                                                         "B W 86 1D 00", "B W 85"}));
  EXPECT_EQ(sleeps, (std::vector<uint32_t>{100, 100}));
  EXPECT_TRUE(messages().empty());  // the engine answered 0xFA 0xAA

  // The bridge is in MPSSE mode at 1 MHz with the board's pin levels: chip select high,
  // clock low, chip reset high.
  kxemu_pins_s a, b;
  ASSERT_TRUE(kxemu_pins(0, 0, &a));
  ASSERT_TRUE(kxemu_pins(0, 1, &b));
  EXPECT_EQ(std::tuple(a.mpsse, +a.lo_data, +a.lo_dir, +a.hi_dir, a.divisor, a.div5, a.read_timeout_ms, +a.latency_ms),
            std::tuple(true, 0x8E, 0xFB, 0x00, 29u, false, 1000u, 16));
  EXPECT_EQ(std::tuple(b.mpsse, +b.lo_data, +b.lo_dir, +b.hi_data, +b.hi_dir), std::tuple(true, 0x6E, 0x7B, 0x30, 0x30));
  EXPECT_EQ(h.chA.gpio.lo.data, 0x8E);
  EXPECT_EQ(h.chB.gpio.hi.dir, 0x30);
  ASSERT_EQ(FT_SetLatencyTimer(h.chB.handle, 2), FT_OK);  // the emulated bridge keeps a latency it is given
  ASSERT_TRUE(kxemu_pins(0, 1, &b));
  EXPECT_EQ(b.latency_ms, 2);
  // Channel B's high pins written alone: its output pins 4 and 5 take the new levels.
  const uint8_t high_b = 0x10;
  ASSERT_EQ(kxKovaIo_GpioWrite(&h, nullptr, &high_b), 0u);
  ASSERT_TRUE(kxemu_pins(0, 1, &b));
  EXPECT_EQ(b.hi_data & 0x30, 0x10);
}

// Opening an open board fails with 6 without touching the driver; closing closes channel B
// then A, and the driver refuses the handles afterwards; the connected test tells open
// from closed.
TEST_F(BoardChannels, OpenCloseAndTheConnectedTest) {
  bool open = true;
  EXPECT_EQ(kxKovaIo_EvalBoardConnected(&h, &open), 0u);
  EXPECT_FALSE(open);
  BoardChannels::open();
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
  EXPECT_EQ(std::pair(h.chA.handle, h.chB.handle), (std::pair<FT_HANDLE, FT_HANDLE>(0, 0)));
  uint32_t w = 0;
  const uint8_t x = 0x87;
  EXPECT_EQ(FT_Write(a, &x, 1, &w), FT_INVALID_HANDLE);
  EXPECT_EQ(kxKovaIo_EvalBoardClose(nullptr), 1u);
  EXPECT_EQ(FT_ERRNO, 1u);
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
      {"no sync answer", [] { arm({.read_timeout_after = 0}); }, FT_OK,
       "Unexpected bogus command return code: 0x00 0x00.", "Channel Open"},
      // The third write, channel A's low pin byte, cut to one byte.
      {"pin set-up cut short", [] { arm({.short_write_after = 2, .short_write_keep = 1}); }, FT_OK,
       "Error configuring ADBUS: code 4", "Channel Open"},
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
    EXPECT_EQ(m[0], (std::pair<std::string, std::string>(c.message, c.title)));
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

TEST_F(BoardChannels, RoutingFailuresAreReportedPerChannel) {
  open();
  kxemu_unplug(0);
  EXPECT_EQ(kxkovaio_SelectFtdi2Dut(&h), FT_IO_ERROR);
  EXPECT_EQ(kxKovaIo_GetBoardMode(), 0u);
  EXPECT_EQ(messages(), (messages_t{{"Error configuring ADBUS: code 4", "SPI Bus Routing"},
                                    {"Error configuring BDBUS: code 4", "SPI Bus Routing"}}));
  EXPECT_EQ(kxkovaio_SelectFtdi2Eeprom(nullptr), FT_INVALID_HANDLE);
}

}  // namespace
