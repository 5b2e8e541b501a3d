// Chip access over SPI: the frames on the wire, and the chip's registers, EEPROM and DSP
// RAM as the emulated chip keeps them.
#include <functional>
#include <regex>
#include <string>

#include "hal/hal_api.h"
#include "tests/board/board_fixture.h"

namespace {

// Channel A's SPI frames as tokens: S status read, E write enable, W<addr>/<n> write,
// R<addr>/<n> read, X anything else. (The bytes of each kind are the trace test's.)
std::string frames() {
  std::string out;
  char t[32];
  for (const auto &f : board_fixture::wire(0, 0)) {
    const uint8_t command = f.size() >= 11 && f[0] == 0x80 && f[3] == 0x11 ? f[6] : 0;
    if (command == 0x02 || command == 0x03) {
      const uint32_t n = command == 0x02 ? (f[4] | f[5] << 8) + 1 - 3 : (f[10] | f[11] << 8) + 1;
      std::snprintf(t, sizeof t, "%c%04X/%u", command == 0x02 ? 'W' : 'R', f[7] << 8 | f[8], n);
    } else {
      std::snprintf(t, sizeof t, "%s", command == 0x05 ? "S" : command == 0x06 ? "E" : "X");
    }
    out += (out.empty() ? "" : " ") + std::string(t);
  }
  return out;
}

// The data bytes of a write frame, between its address and the chip select going high.
bytes_t data_of(const bytes_t &frame) { return bytes_t(frame.begin() + 9, frame.end() - 4); }

using BoardDevice = open_board_fixture;

// One line per transfer, in the order sent: the access select first (status, write enable,
// 0x00 to register 0x000), then the sixteen-byte read frame and the register's byte.
TEST_F(BoardDevice, ARegisterReadOfOneByteIsTracedTransferByTransfer) {
  const std::string path = temp_path("usb_trace");
  ASSERT_TRUE(ft_trace_open(path.c_str()));
  uint8_t v = 0;
  ASSERT_EQ(kxKovaIo_DutRegRead(&h, 0x031, 1, &v), 0u);
  ft_trace_close();
  EXPECT_EQ(v, 0x81);
  EXPECT_EQ(take_lines(path), (std::vector<std::string>{
                                  "A W 80 86 FB 11 00 00 05 20 00 00 80 8E FB 87",
                                  "A R 00",
                                  "A W 80 86 FB 11 00 00 06 80 8E FB 87",
                                  "A W 80 86 FB 11 03 00 02 00 00 00 80 8E FB 87",
                                  "A W 80 86 FB 11 02 00 03 00 31 20 00 00 80 8E FB 87",
                                  "A R 81",
                              }));
  EXPECT_EQ(std::pair(kxemu_stats(0).writes, kxemu_stats(0).reads), (std::pair<uint64_t, uint64_t>(4, 2)));
}

TEST_F(BoardDevice, AChipEepromWriteGoesInPagesEachAfterABusyWaitAndWriteEnable) {
  const bytes_t data = pattern(100, 1);
  ASSERT_EQ(kxkovaio_DutEepromWrite(&h.chA, 0x100, 100, data.data(), 32), FT_OK);
  const std::string f = frames();
  EXPECT_TRUE(std::regex_match(f, std::regex("S E W0000/1 (S )+E W0100/32 (S ){2,}E W0120/32 (S ){2,}E W0140/32 (S ){2,}E W0160/4")))
      << f;
  EXPECT_TRUE(std::equal(data.begin(), data.end(), kxemu_chip_eeprom(0) + 0x100));
  // Busy-waiting polls without pauses: each page keeps the EEPROM busy for several polls,
  // its emulated write time passing during them.
  EXPECT_TRUE(sleeps.empty());
  uint8_t back[100];
  ASSERT_EQ(kxKovaIo_DutEepromRead(&h, 0x100, 100, back), 0u);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), back));
}

TEST_F(BoardDevice, RegistersAreWrittenInOneFrameAndReadBack) {
  bytes_t image = pattern(2048, 2);
  image[0x000] = 0x00;                               // EESEL stays on the register map
  image[0x00A] &= static_cast<uint8_t>(~0x10);        // MCR2.AINCDIS off: the address counts up
  if (image[0x40B] >= 0x0C && image[0x40B] <= 0x0F) image[0x40B] = 0x00;  // no DSP access mode
  ASSERT_EQ(kxKovaIo_DutRegWrite(&h, 0, 2048, image.data()), 0u);
  EXPECT_EQ(frames(), "S E W0000/1 S E W0000/2048");
  EXPECT_EQ(wire(0, 0).back().size(), 13u + 2048u);
  bytes_t back(2048);
  // The emulated clock runs at the SPI rate the board set, 1 MHz: eight microseconds per
  // byte, plus a USB turnaround per transfer and the frames' few bytes.
  const uint64_t before = kxemu_clock_us();
  ASSERT_EQ(kxKovaIo_DutRegRead(&h, 0, 2048, back.data()), 0u);
  EXPECT_GE(kxemu_clock_us() - before, 2048u * 8);
  EXPECT_LT(kxemu_clock_us() - before, 2048u * 8 + 2000);
  for (uint32_t a = 0; a < 2048; ++a) {
    if (a >= 0x030 && a <= 0x033) continue;  // identity and DSP identifier are read-only
    ASSERT_EQ(back[a], image[a]) << "register 0x" << std::hex << a;
  }
  EXPECT_EQ(back[0x030], 0x19);
  EXPECT_EQ(back[0x031], 0x81);
}

TEST_F(BoardDevice, AResetRestoresTheDefaults) {
  const uint8_t values[3] = {0x12, 0x34, 0x56};
  ASSERT_EQ(kxKovaIo_DutRegWrite(&h, 0x200, 3, values), 0u);
  kxemu_wire_clear(0);
  ASSERT_EQ(kxKovaIo_DutReset(&h), 0u);
  EXPECT_EQ(wire(0, 0), (std::vector<bytes_t>{{0x80, 0x0E, 0xFB}, {0x80, 0x8E, 0xFB}}));
  EXPECT_EQ(sleeps, (std::vector<uint32_t>{300, 1000}));
  EXPECT_EQ(h.chA.gpio.lo.data, 0x8E);
  bytes_t back(2048);
  ASSERT_EQ(kxKovaIo_DutRegRead(&h, 0, 2048, back.data()), 0u);
  for (uint32_t a = 0; a < 2048; ++a) {
    const uint32_t expected = a == 0x031 ? 0x81 : kova_regs_defaults(a);
    ASSERT_EQ(back[a], expected) << "register 0x" << std::hex << a;
  }
  kxKovaIo_EvalBoardClose(&h);
  EXPECT_EQ(kxKovaIo_DutReset(&h), 1u);
  EXPECT_EQ(FT_ERRNO, 1u);
}

TEST_F(BoardDevice, TheDspIdentifierLeadsOnlyALoadFromAddressZero) {
  const uint32_t words[3] = {0x123456, 0xABCDEF, 0x000001};
  ASSERT_EQ(kxkovaio_DspRamWrite(&h, 0, 3, words, 0xBEEF), 0u);
  EXPECT_EQ(frames(),
            "S E W0000/1 S E W040B/1 S E W0000/1 S E W040E/2 S E W0000/1 S E W040B/1 S E W0000/1 S E W000A/1 "
            "S E W0000/1 S E W040E/11 S E W0000/1 S E W000A/1 S E W0000/1 S E W040B/1");
  EXPECT_EQ(data_of(wire(0, 0)[29]), (bytes_t{0xEF, 0xBE, 0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x01, 0x00, 0x00}));
  EXPECT_EQ(data_of(wire(0, 0)[11]), (bytes_t{0x00, 0x00}));
  EXPECT_EQ(std::vector<uint32_t>(kxemu_dsp_ram(0), kxemu_dsp_ram(0) + 3), std::vector<uint32_t>(words, words + 3));
  EXPECT_EQ(chip_regs(0, {0x032, 0x033}), (bytes_t{0xEF, 0xBE}));

  kxemu_wire_clear(0);
  ASSERT_EQ(kxkovaio_DspRamWrite(&h, 0x10, 3, words, 0xBEEF), 0u);
  EXPECT_EQ(data_of(wire(0, 0)[29]), (bytes_t{0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x01, 0x00, 0x00}));
  EXPECT_EQ(data_of(wire(0, 0)[11]), (bytes_t{0x10, 0x00}));
  EXPECT_EQ(kxemu_dsp_ram(0)[0x11], 0xABCDEFu);
  EXPECT_EQ(chip_regs(0, {0x40B, 0x00A}), (bytes_t{0, 0}));  // normal mode
}

TEST_F(BoardDevice, AFullDspProgramGoesInOneFrameAndReadsBack) {
  std::vector<uint32_t> program(320);
  std::mt19937 rng(3);
  for (auto &w : program) w = rng() & 0xFFFFFF;
  ASSERT_EQ(kxkovaio_DspRamWrite(&h, 0, 320, program.data(), 0x0102), 0u);
  size_t longest = 0;
  for (const auto &f : wire(0, 0)) longest = std::max(longest, f.size());
  EXPECT_EQ(longest, 13u + 962u);
  std::vector<uint32_t> back(320);
  kxemu_wire_clear(0);
  ASSERT_EQ(kxkovaio_DspRamRead(&h, 0, 320, back.data()), 0u);
  EXPECT_EQ(back, program);
  EXPECT_NE(frames().find("R040F/960"), std::string::npos);
  EXPECT_EQ(chip_regs(0, {0x40B, 0x00A}), (bytes_t{0, 0}));
  std::vector<uint32_t> part(5);  // a slice from the middle
  ASSERT_EQ(kxkovaio_DspRamRead(&h, 100, 5, part.data()), 0u);
  EXPECT_TRUE(std::equal(part.begin(), part.end(), program.begin() + 100));
}

TEST_F(BoardDevice, WriteBlocksAreLimitedTo4000Bytes) {
  const bytes_t data = pattern(4001, 4);
  EXPECT_EQ(kxkovaio_DutWrite(&h.chA, 0x1000, 4001, data.data(), 4001), FT_INVALID_PARAMETER);
  EXPECT_EQ(messages(), (messages_t{{"Write block size of 4001 exceeds 4000 bytes!", "Write Error"}}));
  EXPECT_EQ(kxemu_wire_count(0, 0), 0u);

  ASSERT_EQ(kxkovaio_DutWrite(&h.chA, 0x1000, 4001, data.data(), 4000), FT_OK);
  EXPECT_EQ(frames(), "S E W1000/4000 S E W1FA0/1");
  EXPECT_EQ(wire(0, 0)[2].size(), 4013u);
  EXPECT_TRUE(messages().empty());
}

TEST_F(BoardDevice, BadArgumentsGiveTheirStatuses) {
  uint8_t b[4] = {};
  kxKovaIo_ChannelS closed{};
  EXPECT_EQ(kxkovaio_DutRead(&closed, 0, 1, b), FT_INVALID_HANDLE);
  EXPECT_EQ(kxkovaio_DutWrite(&closed, 0, 1, b, 4001), FT_INVALID_HANDLE);  // before the block-size check
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(kxkovaio_DutRead(nullptr, 0, 1, b), FT_INVALID_HANDLE);
  EXPECT_EQ(kxkovaio_DutRead(&h.chA, 0, 0, b), FT_INVALID_PARAMETER);
  EXPECT_EQ(kxkovaio_DutRead(&h.chA, 0, 1, nullptr), FT_INVALID_PARAMETER);
  EXPECT_EQ(kxkovaio_DutRead(&h.chA, 0, 65537, b), FT_INVALID_PARAMETER);  // more than a frame can count
  EXPECT_EQ(kxkovaio_DutWrite(&h.chA, 0, 0, b, 100), FT_INVALID_PARAMETER);
  EXPECT_EQ(kxkovaio_DutWrite(&h.chA, 0, 4, nullptr, 100), FT_INVALID_PARAMETER);
  EXPECT_EQ(kxkovaio_DutWrite(&h.chA, 0, 4, b, 0), FT_INVALID_PARAMETER);         // would never end
  EXPECT_EQ(kxkovaio_DutWrite(&h.chA, 0xFFFE, 4, b, 100), FT_INVALID_PARAMETER);  // past 16-bit addresses
  EXPECT_EQ(kxemu_wire_count(0, 0), 0u);

  // The board calls fail with 1 and say why in FT_ERRNO: 1 for no board, 6 for a bad
  // argument (DSP transfers above 320 words or of none, no data); the argument checks come
  // before the board mode.
  std::vector<uint32_t> words(321);
  kxKovaIo_HandleS none{};
  BoardMode = kxKovaIo_BoardModeNone;
  const struct {
    const char *call;
    std::function<uint32_t()> run;
    uint32_t errno_;
  } calls[] = {
      {"DspRamWrite 321", [&] { return kxkovaio_DspRamWrite(&h, 0, 321, words.data(), 0); }, 6},
      {"DspRamRead 321", [&] { return kxkovaio_DspRamRead(&h, 0, 321, words.data()); }, 6},
      {"DspRamRead 0", [&] { return kxkovaio_DspRamRead(&h, 0, 0, words.data()); }, 6},
      {"DspRamWrite 0", [&] { return kxkovaio_DspRamWrite(&h, 5, 0, words.data(), 0); }, 6},
      {"DutRegRead", [&] { return kxKovaIo_DutRegRead(nullptr, 0, 1, b); }, 1},
      {"DutRegWrite 0", [&] { return kxKovaIo_DutRegWrite(&h, 0, 0, b); }, 6},
      {"DutEepromRead", [&] { return kxKovaIo_DutEepromRead(&h, 0, 1, nullptr); }, 6},
      {"DutEepromWrite", [&] { return kxKovaIo_DutEepromWrite(&none, 0, 1, b); }, 1},
      {"EvalBrdEepromRead 0", [&] { return kxKovaIo_EvalBrdEepromRead(&h, 0, 0, b); }, 6},
      {"EvalBrdEepromWrite", [&] { return kxKovaIo_EvalBrdEepromWrite(&h, 0, 4, nullptr, 32); }, 6},
  };
  for (const auto &c : calls) {
    FT_ERRNO = 0;
    EXPECT_EQ(c.run(), 1u) << c.call;
    EXPECT_EQ(FT_ERRNO, c.errno_) << c.call;
  }
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(kxemu_wire_count(0, 0), 0u);
  // Before any routing the board EEPROM is off-board.
  EXPECT_EQ(kxKovaIo_EvalBrdEepromRead(&h, 0, 4, b), 1u);
  EXPECT_EQ(messages(), (messages_t{{"Cannot access an external EEPROM that is off-board!", "EEPROM Error"}}));
}

TEST_F(BoardDevice, BootAndConfigurationStatusesOrTheirRegisters) {
  EXPECT_EQ(kxkovaio_DutEepromBootedStatus(&h), 0);
  EXPECT_EQ(kxkovaio_DutConfigurationStatus(&h), 0);
  EXPECT_EQ(frames(), "S E W0000/1 R0001/8 S E W0000/1 R0106/6 S E W0000/1 R0100/1");
  kxemu_chip_regs(0)[0x008] = 0x10;
  EXPECT_EQ(kxkovaio_DutEepromBootedStatus(&h), 0x10);
  kxemu_chip_regs(0)[0x10B] = 0x02;
  kxemu_chip_regs(0)[0x100] = 0x40;
  EXPECT_EQ(kxkovaio_DutConfigurationStatus(&h), 0x42);
  kxKovaIo_EvalBoardClose(&h);
  EXPECT_EQ(kxkovaio_DutEepromBootedStatus(&h), -1);
  EXPECT_EQ(kxkovaio_DutConfigurationStatus(&h), -1);
  EXPECT_EQ(FT_ERRNO, 1u);
}

}  // namespace
