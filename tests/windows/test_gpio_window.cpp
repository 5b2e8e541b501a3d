// GPIO configuration window on the emulated board: pin functions and status routing reach
// the chip's GPIOCR1/GPIOCR2 and GPIOkSS; the register list per product; the bit texts; the
// pin levels at the main window's status refresh and at the window's own refresh.
#include <QLabel>

#include "app/windows/gpio_window.h"
#include "board_session_fixture.h"

namespace {

struct gpio_window_test : board_session_fixture {
  void SetUp() override {
    board_session_fixture::SetUp();
    start("40112", kova_mode_ja_e, true);
    open<GpioConfigForm>();
  }
  // The 4-bit function field of a pin as the chip holds it.
  uint32_t chip_function(int pin) { return ((chip()[0x00F] << 8 | chip()[0x00E]) >> (4 * pin)) & 0xF; }
};

TEST_F(gpio_window_test, StatusRoutingReachesTheChip) {
  struct route_case {
    int pin, function;
    uint32_t reg, bit;
    uint8_t ss;
  } cases[] = {{1, 4, 0x040, 6, 0x06}, {0, 5, 0x051, 2, 0x8A}, {3, 7, 0x05E, 7, 0xF7}, {2, 6, 0x04B, 3, 0x5B}};
  for (const route_case &c : cases) {
    SCOPED_TRACE(c.pin);
    uint32_t others[4];
    for (int k = 0; k < 4; ++k) others[k] = chip_function(k);
    choose(QString("function%1").arg(c.pin), c.function);
    others[c.pin] = static_cast<uint32_t>(c.function);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(chip_function(k), others[k]) << "pin " << k;
    EXPECT_TRUE(find<QComboBox>(QString("register%1").arg(c.pin))->isEnabled());
    choose_data(QString("register%1").arg(c.pin), static_cast<int>(c.reg));
    choose(QString("bit%1").arg(c.pin), static_cast<int>(c.bit));
    EXPECT_EQ(chip()[0x012 + c.pin], c.ss);
    EXPECT_EQ(get_reg(hal(), 0x012 + c.pin), c.ss);
  }
  // CFGSR's bits as GPIO1 offers them, bit 0 first, a 2-bit field split bit by bit.
  QComboBox *bits = find<QComboBox>("bit1");
  ASSERT_EQ(bits->count(), 8);
  const char *texts[] = {"0: AC[0]", "1: AC[1]", "2: IF[0]", "3: IF[1]", "4: -", "5: -", "6: XOFAIL", "7: TEST"};
  for (int b = 0; b < 8; ++b) EXPECT_EQ(bits->itemText(b).toStdString(), texts[b]);
  EXPECT_EQ(bits->currentIndex(), 6);
}

TEST_F(gpio_window_test, GeneralPurposeFunctionLeavesNoRouting) {
  choose("function2", 4);
  EXPECT_EQ(chip()[0x00F] & 0x0F, 4);
  choose("function2", 3);
  EXPECT_EQ(chip()[0x00F] & 0x0F, 3);
  QComboBox *bits = find<QComboBox>("bit2");
  EXPECT_FALSE(find<QComboBox>("register2")->isEnabled());
  EXPECT_FALSE(bits->isEnabled());
  ASSERT_EQ(bits->count(), 1);
  EXPECT_EQ(bits->itemText(0).toStdString(), "--");
}

TEST_F(gpio_window_test, PinLevelsAtEachRefresh) {
  auto levels = [this]() {
    std::string s;
    for (int k = 0; k < 4; ++k) s += find<QLabel>(QString("state%1").arg(k))->text().toStdString();
    return s;
  };
  chip()[0x041] = 0x05;
  ASSERT_TRUE(HalStruct_StatusGet(hal()));
  session->notifyStatusRefreshed();
  EXPECT_EQ(levels(), "1010");
  // Manual refresh reads the levels from the chip.
  chip()[0x041] = 0x0A;
  choose("refreshRate", 1);
  click("refreshButton");
  EXPECT_EQ(levels(), "0101");
}

TEST_F(gpio_window_test, RegisterListPerProduct) {
  // KX40110 and KX40111 have 16 of the 31 status registers less.
  const struct {
    const char *device;
    int entries;
  } cases[] = {{"40112", 31}, {"40110", 15}, {"40111", 15}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.device);
    form.reset();
    start(c.device, kova_mode_ja_e, false);
    open<GpioConfigForm>();
    QComboBox *regs = find<QComboBox>("register0");
    EXPECT_EQ(regs->count(), c.entries);
    EXPECT_EQ(regs->findData(0x049) >= 0, c.entries == 31);
    EXPECT_EQ(regs->itemText(0).toStdString(), "0x40; CFGSR");
    EXPECT_EQ(regs->itemText(regs->count() - 1).toStdString(), "0x5E; DSRB2");
  }
}

}  // namespace
