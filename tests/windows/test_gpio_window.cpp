// GPIO configuration window on the emulated board: pin functions and status routing reach
// the chip's GPIOCR1/GPIOCR2 and GPIOkSS; the pin levels at the main window's status refresh
// and at the window's own refresh.
#include <QLabel>
#include <tuple>

#include "app/windows/gpio_window.h"
#include "gui_test_support.h"

namespace {

struct gpio_window_test : gui_fixture {
  void SetUp() override {
    gui_fixture::SetUp();
    start("40112", true, kova_mode_ja_e);
    open<GpioConfigForm>();
  }
  // The 4-bit function field of a pin as the chip holds it.
  uint32_t chip_function(int pin) { return ((chip()[0x00F] << 8 | chip()[0x00E]) >> (4 * pin)) & 0xF; }
};

TEST_F(gpio_window_test, StatusRoutingReachesTheChip) {
  // Pin, function; status register and bit routed; GPIOkSS.
  for (const auto &[pin, function, reg, bit, ss] : {std::tuple{1, 4, 0x040, 6, 0x06}, {0, 5, 0x051, 2, 0x8A},
                                                    {3, 7, 0x05E, 7, 0xF7}, {2, 6, 0x04B, 3, 0x5B}}) {
    SCOPED_TRACE(pin);
    uint32_t functions[4];
    for (int k = 0; k < 4; ++k) functions[k] = chip_function(k);
    functions[pin] = static_cast<uint32_t>(function);
    choose(QString("function%1").arg(pin), function);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(chip_function(k), functions[k]) << "pin " << k;
    EXPECT_TRUE(find<QComboBox>(QString("register%1").arg(pin))->isEnabled());
    choose_data(QString("register%1").arg(pin), reg);
    choose(QString("bit%1").arg(pin), bit);
    EXPECT_EQ(chip()[0x012 + pin], ss);
    EXPECT_EQ(get_reg(hal(), 0x012 + pin), static_cast<uint32_t>(ss));
  }
  // A general-purpose function leaves nothing to route: register and bit greyed out.
  choose("function2", 3);
  EXPECT_EQ(chip()[0x00F] & 0x0F, 3);
  EXPECT_FALSE(find<QComboBox>("register2")->isEnabled());
  EXPECT_FALSE(find<QComboBox>("bit2")->isEnabled());
  EXPECT_EQ(find<QComboBox>("bit2")->count(), 1);
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

}  // namespace
