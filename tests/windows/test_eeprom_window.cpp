// The EEPROM window driven as a user drives it, on an emulated board: an image built from
// scripts, written, dumped and verified; a write cancelled from its progress window; the
// product's EEPROM and the wording of its commands. Asserted on the emulated EEPROMs, the
// files and the messages the user saw.
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <cstring>
#include <tuple>

#include "app/main_ops.h"
#include "app/windows/eeprom_window.h"
#include "files/image_files.h"
#include "gui_test_support.h"

namespace {

struct eeprom_window_test : gui_fixture {
  std::string script[2];

  // A board with the device, its configuration in the object, two scripts saved from it
  // (the second with another OC1 frequency), and the window; connected or offline.
  void begin(const char *device, bool connected) {
    restart();
    start(device, false);
    script[0] = path("a.mfg");
    ASSERT_TRUE(main_save_script(&session->state, script[0]));
    ASSERT_TRUE(session->change([](hal_api_s *hal) { hal->oc1_freq_s = {125000000, 1, 1}; }));
    script[1] = path("b.mfg");
    ASSERT_TRUE(main_save_script(&session->state, script[1]));
    if (connected) open_board();
    open<EEPROMForm>();
  }
  // A path typed into a field (read when a command runs).
  void fill(const QString &field, const std::string &text) {
    QLineEdit *e = find<QLineEdit>(field);
    e->clear();
    QTest::keyClicks(e, QString::fromStdString(text));
  }
  // Builds an image from the given scripts through the create command.
  void create(const std::vector<std::string> &scripts, const std::string &out) {
    for (int b = 0; b < EEPROM_WINDOW_SCRIPTS; ++b) {
      const bool used = b < static_cast<int>(scripts.size());
      find<QCheckBox>(QString("scriptCheck%1").arg(b))->setChecked(used);
      fill(QString("scriptEdit%1").arg(b), used ? scripts[b] : "");
    }
    fill("outputEdit", out);
    click("createButton");
    ASSERT_TRUE(dialog.saw("EEPROM image file save was successful.")) << last();
  }
  std::vector<uint8_t> file_bytes(const std::string &p) {
    std::string text;
    bool missing = false;
    EXPECT_TRUE(eeprom_file_load(p, &text, &missing)) << p;
    eeprom_file_data_s d;
    EXPECT_TRUE(eeprom_file_parse(text, eeprom_file_type_from_name(p), &d)) << p << ": " << d.error;
    return d.bytes;
  }
};

struct target_case {
  const char *device;
  bool board;            // the product boots from the board EEPROM
  int page_choice;       // board EEPROM page size choice
  uint32_t page;         // bytes of the first page written
};
const target_case kTargets[] = {
    {"40089", false, 1, 32},
    {"40112", true, 2, 64},
};

uint8_t *eeprom_of(const target_case &c) { return c.board ? kxemu_board_eeprom(0) : kxemu_chip_eeprom(0); }
// The EEPROM holds the first n bytes of the image. Address 0 of the chip's EEPROM space is
// its EEPROM selection register: the chip's memory holds the image from address 1 on.
bool holds(const target_case &c, const std::vector<uint8_t> &bytes, size_t n) {
  const size_t from = c.board ? 0 : 1;
  return std::memcmp(eeprom_of(c) + from, bytes.data() + from, n - from) == 0;
}

// An image of two scripts written, dumped and verified (also against another image); then
// written again and cancelled by the user as soon as the first page has gone out.
TEST_F(eeprom_window_test, ImageIsWrittenDumpedVerifiedAndCancelled) {
  for (const auto &c : kTargets) {
    SCOPED_TRACE(c.device);
    begin(c.device, true);
    const std::string image = path("image.hex"), other = path("other.rec"), dump = path("dump.rec");
    create({script[0], script[1]}, image);
    const std::vector<uint8_t> bytes = file_bytes(image);
    create({script[1]}, other);

    fill("imageEdit", image);
    click(c.board ? "writeBoardButton" : "writeDutButton");
    EXPECT_TRUE(holds(c, bytes, bytes.size())) << last();

    fill("dumpEdit", dump);
    click("dumpButton");
    EXPECT_EQ(file_bytes(dump), bytes) << last();

    click("verifyButton");
    EXPECT_EQ(dialog.shown.back().second, "EEPROM Verified") << last();

    fill("imageEdit", other);
    click("verifyButton");
    EXPECT_EQ(dialog.shown.back().second, "EEPROM Verification Error") << last();

    std::memset(eeprom_of(c), 0x5A, 8192);
    if (c.board) choose("pageCombo", c.page_choice);
    auto *progress = find<QDialog>("eepromProgress");
    auto *bar = progress->findChild<QProgressBar *>("progressBar");
    auto *cancel = progress->findChild<QPushButton *>("cancelButton");
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int v) {
      if (v > 0 && v < bar->maximum()) QTest::mouseClick(cancel, Qt::LeftButton);
    });
    fill("imageEdit", image);
    click(c.board ? "writeBoardButton" : "writeDutButton");
    const std::string told = "cancelled after " + std::to_string(c.page) + " of " + std::to_string(bytes.size()) + " bytes";
    EXPECT_NE(last().find(told), std::string::npos) << last();
    EXPECT_TRUE(holds(c, bytes, c.page));
    const uint8_t *ee = eeprom_of(c);
    for (uint32_t a = c.page; a < 8192; ++a) ASSERT_EQ(ee[a], 0x5A) << "address " << a;
    EXPECT_FALSE(progress->isVisible());
  }
}

// Products 0 (KX40110) and 2 (KX40112) boot from the board EEPROM; the others from their own.
TEST_F(eeprom_window_test, CommandsFollowTheProductsEeprom) {
  // Device, connected; the EEPROM the commands name; the DUT and board write commands enabled.
  const std::tuple<const char *, bool, const char *, bool, bool> cases[] = {
      {"40112", true, "Board", false, true},
      {"40113", true, "DUT", true, false},
      {"40112", false, "Board", false, false},
  };
  for (const auto &[device, connected, which, dut_write, board_write] : cases) {
    SCOPED_TRACE(std::string(device) + (connected ? " connected" : " offline"));
    begin(device, connected);
    auto *dump = find<QPushButton>("dumpButton");
    EXPECT_EQ(dump->text(), QString("Dump %1 EEPROM to File").arg(which));
    EXPECT_EQ(find<QPushButton>("verifyButton")->text(), QString("Verify %1 EEPROM against File").arg(which));
    EXPECT_EQ(std::make_pair(find<QPushButton>("writeDutButton")->isEnabled(), find<QPushButton>("writeBoardButton")->isEnabled()),
              std::make_pair(dut_write, board_write));
    EXPECT_EQ(std::make_pair(dump->isEnabled(), find<QPushButton>("verifyButton")->isEnabled()),
              std::make_pair(connected, connected));
    EXPECT_EQ(dump->toolTip().toStdString(), connected ? "" : EEPROM_WINDOW_OFFLINE_TIP);
  }
}

}  // namespace
