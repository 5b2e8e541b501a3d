// The board EEPROM behind the SPI routing.
#include <string>

#include "tests/board/board_fixture.h"

namespace {

struct BoardEeprom : open_board_fixture {
  // Data frames (command 0x02) channel A sent: address and data length.
  std::vector<std::pair<uint32_t, uint32_t>> data_frames() {
    std::vector<std::pair<uint32_t, uint32_t>> out;
    for (const auto &f : wire(0, 0))
      if (f.size() >= 13 && f[3] == 0x11 && f[6] == 0x02) out.emplace_back(f[7] << 8 | f[8], (f[4] | f[5] << 8) + 1 - 3);
    return out;
  }
  static bytes_t data(size_t n, uint8_t first) {
    bytes_t b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(first + i * 7);
    return b;
  }
};

TEST_F(BoardEeprom, WritesGoInPagesAndTheBusReturnsToTheChip) {
  const bytes_t d = data(100, 3);
  const bytes_t chip_before(kxemu_chip_eeprom(0), kxemu_chip_eeprom(0) + 200);
  ASSERT_EQ(kxKovaIo_EvalBrdEepromWrite(&h, 0, 100, d.data(), 64), 0u);
  EXPECT_EQ(data_frames(), (std::vector<std::pair<uint32_t, uint32_t>>{{0, 64}, {64, 36}}));
  EXPECT_TRUE(std::equal(d.begin(), d.end(), kxemu_board_eeprom(0)));
  EXPECT_TRUE(std::equal(chip_before.begin(), chip_before.end(), kxemu_chip_eeprom(0)));
  // Routed to the EEPROM first, back to the chip last; no access select (no EESEL there).
  const auto a = wire(0, 0), b = wire(0, 1);
  EXPECT_EQ(a.front(), (bytes_t{0x80, 0x9E, 0xFB}));
  EXPECT_EQ(a.back(), (bytes_t{0x80, 0x8E, 0xFB}));
  EXPECT_EQ(b, (std::vector<bytes_t>{{0x80, 0x0E, 0x7B}, {0x80, 0x0E, 0x7B}}));
  EXPECT_EQ(kxemu_chip_regs(0)[0x000], 0x00);
  bytes_t back(100);
  ASSERT_EQ(kxKovaIo_EvalBrdEepromRead(&h, 0, 100, back.data()), 0u);
  EXPECT_EQ(back, d);
  // Pages up to 256 bytes are taken.
  kxemu_wire_clear(0);
  const bytes_t big = data(600, 9);
  ASSERT_EQ(kxKovaIo_EvalBrdEepromWrite(&h, 0x1000, 600, big.data(), 256), 0u);
  EXPECT_EQ(data_frames(), (std::vector<std::pair<uint32_t, uint32_t>>{{0x1000, 256}, {0x1100, 256}, {0x1200, 88}}));
  EXPECT_TRUE(std::equal(big.begin(), big.end(), kxemu_board_eeprom(0) + 0x1000));
}

// Each way a write fails: its status, its message, nothing written that should not be, and
// the bus back on the chip.
TEST_F(BoardEeprom, FailedWritesSayWhy) {
  const struct {
    const char *name;
    kxemu_faults_s faults;
    uint32_t page, n, errno_;
    const char *message, *title;
  } cases[] = {
      {"page above 256", {}, 512, 100, 6, "EEPROM page size of 512 exceeds 256 bytes!", "Write Error"},
      {"stays busy", {.board_eeprom_stuck_busy = true}, 16, 16, 4, "EEPROM busy!", "Write Error"},
      // Writes: routing A, routing B, status, write enable, then the data frame cut to its
      // 9-byte head and 10 data bytes.
      {"short data frame", {.short_write_after = 4, .short_write_keep = 19}, 64, 64, 4,
       "Could only write 10 of 64 bytes", "Write Error!"},
      {"write enable lost", {.unplug_after = 4}, 32, 8, 4, "Write Enable failed!", "Write Error"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    kxKovaIo_EvalBoardClose(&h);
    install();
    open_board();
    arm(c.faults);
    const bytes_t d = data(c.n, 1);
    EXPECT_EQ(kxKovaIo_EvalBrdEepromWrite(&h, 0, c.n, d.data(), c.page), 1u);
    EXPECT_EQ(FT_ERRNO, c.errno_);
    const auto m = messages();
    ASSERT_GE(m.size(), 1u);
    EXPECT_EQ(m[0], (std::pair<std::string, std::string>(c.message, c.title)));
    if (c.page > 256 || c.faults.board_eeprom_stuck_busy) {
      EXPECT_TRUE(data_frames().empty());
      EXPECT_EQ(kxemu_board_eeprom(0)[0], 0xFF);
      EXPECT_EQ(h.chA.gpio.lo.data & 0x10, 0);  // back on the chip
    }
    if (c.faults.board_eeprom_stuck_busy) {
      EXPECT_EQ(kxemu_stats(0).reads, 101u);
    }
  }
}

}  // namespace
