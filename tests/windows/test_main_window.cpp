// The main window driven as a user drives it: fields typed and applied with Enter or taken
// back with Escape, choices made, files chosen in the file dialog, the start-up query and
// the known-frequency window answered. Asserted on the configuration object, the emulated
// chip's registers, the files and the messages the user saw.
#include <QComboBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QListWidget>
#include <QMimeData>
#include <QToolButton>
#include <QUrl>
#include <QStandardPaths>

#include "app/main_view.h"
#include "app/windows/input_config_window.h"
#include "app/windows/main_window.h"
#include "app/windows/output_config_window.h"
#include "gui_test_support.h"

namespace {

// The APLL, OC1 and OC2 divider registers.
const uint32_t kWritten[] = {0x100, 0x106, 0x107, 0x108, 0x109, 0x10A, 0x10B, 0x200, 0x201, 0x202,
                             0x203, 0x204, 0x205, 0x210, 0x211, 0x212, 0x213, 0x214, 0x215};

struct main_window_test : gui_fixture {
  MainWindow *w = nullptr;

  void SetUp() override {
    gui_fixture::SetUp();
    QStandardPaths::setTestModeEnabled(true);
    form.reset(w = new MainWindow);
    app_set_dialog(&dialog);  // the window installed its own message boxes
    w->show();
  }

  hal_api_s *hal() { return w->session()->hal(); }
  std::vector<uint8_t> image() { return register_image(hal()); }
  void pick(const char *combo, const QString &text) { choose_text(w, combo, text); }
  // Runs a menu command whose file dialog is answered with path.
  void command_with_file(const char *action, const std::string &file) {
    on_next_modal([file](QWidget *m) {
      auto *fd = qobject_cast<QFileDialog *>(m);
      ASSERT_NE(fd, nullptr);
      fd->selectFile(QString::fromStdString(file));
      static_cast<QDialog *>(fd)->accept();
    });
    find<QAction>(action)->trigger();
  }
  // Connects to the emulated board through the connection window (Refresh, the first
  // line, Connect) and answers the start-up query with the given action ("" closes it).
  void connect_board(const char *action, std::function<void(QWidget *)> then = nullptr) {
    QWidget *c = w->openWindow("ConnectionConfigForm");
    ASSERT_NE(c, nullptr);
    click_on(c, "refreshButton");
    auto *list = c->findChild<QListWidget *>("boardList");
    ASSERT_GE(list->count(), 1);
    list->setCurrentRow(0);
    const QString answer = action;
    on_next_modal([answer, then](QWidget *m) {
      auto *q = qobject_cast<QInputDialog *>(m);
      ASSERT_NE(q, nullptr);
      EXPECT_EQ(q->windowTitle(), "DUT Connection");
      EXPECT_EQ(q->labelText(), "Action");
      if (answer.isEmpty()) {
        q->reject();
        return;
      }
      ASSERT_TRUE(q->comboBoxItems().contains(answer)) << answer.toStdString();
      q->setTextValue(answer);
      q->accept();
      if (then) on_next_modal(then);
    });
    click_on(c, "connectButton");
  }
  // Leaves the initial-configuration window through its button; the choice is applied once
  // the window has closed.
  void finish_initial_config() {
    QWidget *init = w->childWindow("InitialConfigForm");
    ASSERT_NE(init, nullptr);
    click_on(init, "doneButton");
    QTest::qWait(20);
  }
  void expect_chip_holds_the_object() {
    for (uint32_t a : kWritten) EXPECT_EQ(chip()[a], get_reg(hal(), a)) << std::hex << a;
  }
};

// An ordinary change offline: applied with Enter it reaches the register image; taken back
// with Escape, or refused by the calculation, it leaves the configuration as it was.
TEST_F(main_window_test, EnterAppliesEscapeRevertsAFailureTakesBack) {
  const uint32_t bw0 = hal()->dpll_bw_hz;
  const std::vector<uint8_t> img0 = image();
  type("dpllBandwidth", "777", Qt::Key_Escape);
  EXPECT_EQ(hal()->dpll_bw_hz, bw0);
  EXPECT_EQ(find<QLineEdit>("dpllBandwidth")->text(), QString::number(bw0));

  const uint32_t bw = bw0 == 100 ? 200 : 100;
  type("dpllBandwidth", QString::number(bw));
  EXPECT_EQ(hal()->dpll_bw_hz, bw);
  EXPECT_NE(image(), img0) << "the new bandwidth must change the DPLL loop registers";

  // An output the chip cannot make: the calculation's error is shown and the change is
  // taken back.
  const std::vector<uint8_t> img1 = image();
  type("oc1Freq", "2000");
  EXPECT_EQ(hal()->oc1_freq_s.f, 0u);
  EXPECT_EQ(hal()->dpll_bw_hz, bw);
  EXPECT_EQ(image(), img1);
  ASSERT_FALSE(dialog.shown.empty());
  EXPECT_EQ(dialog.shown.back().second, "Configuration Error");
  EXPECT_EQ(find<QLineEdit>("oc1Freq")->text(), "0.000000");
}

// The configuration file and the register dump, each saved and read back: the register
// dump's frequencies come from its comment lines.
TEST_F(main_window_test, SavedFilesLoadBack) {
  for (const auto &[save, load, name] :
       {std::tuple{"actionDumpRegs", "actionLoadDump", "d.txt"}, {"actionSaveConfig", "actionLoadConfig", "a.txt"}}) {
    SCOPED_TRACE(name);
    type("oc2Freq", "125");
    const std::vector<uint8_t> img = image();
    command_with_file(save, path(name));
    type("oc2Freq", "100");
    ASSERT_NE(image(), img);
    command_with_file(load, path(name));
    EXPECT_EQ(hal()->oc2_freq_s.f, 125000000u);
    for (uint32_t a : kWritten) EXPECT_EQ(image()[a], img[a]) << std::hex << a;
  }
  EXPECT_TRUE(dialog.saw("GUI Config file successfully saved!"));
  EXPECT_TRUE(dialog.saw("GUI Config file successfully loaded!"));
  EXPECT_TRUE(w->windowTitle().contains("a.txt")) << w->windowTitle().toStdString();
}

// Connected: the configuration written to the chip, an ordinary change sent at once, then
// the chip read back into a changed configuration.
TEST_F(main_window_test, ConnectWriteChangeAndReadBack) {
  type("oc1Freq", "156.25");
  // The mode is a key change: the configuration is initialised again (read back below).
  pick("deviceMode", "Frequency Synthesis (APLL-only)");
  install_board("40089");
  connect_board("Write GUI configuration to DUT");
  ASSERT_TRUE(w->session()->connected());
  expect_chip_holds_the_object();

  const std::vector<uint8_t> before = chip_image();
  type("oc1Freq", "100");
  EXPECT_NE(chip_image(), before);
  expect_chip_holds_the_object();

  // Offline the object moves on; reading the chip back brings its configuration.
  kxKovaIo_EvalBoardClose(&w->session()->gui()->ioHandle);
  type("oc1Freq", "125");
  connect_board("Read DUT configuration into GUI", [](QWidget *k) {  // the known-frequency window
    ASSERT_EQ(k->objectName(), "InverseIOFreqForm");
    choose_text(k, "clockCombo", "OC1");
    type_into(k, "freqEdit", "100");
    click_on(k, "doneButton");
  });
  EXPECT_EQ(hal()->kova_mode_e, kova_mode_syn_e);
  EXPECT_EQ(fprec_s_2_double_mhz(hal()->oc1_freq_s), 100.0);
  expect_chip_holds_the_object();
}

// Closing the start-up query without a choice initialises the chip to defaults: the
// initial-configuration window's choice is applied and written to the chip.
TEST_F(main_window_test, ConnectDefaultsThenInitialConfiguration) {
  install_board("40110");
  connect_board("");
  EXPECT_EQ(hal()->kova_device_e, kova_device_40110_e);
  QWidget *init = w->childWindow("InitialConfigForm");
  ASSERT_NE(init, nullptr);
  choose_text(init, "modeCombo", "Spread Spectrum");
  type_into(init, "xaFreqEdit", "100");
  finish_initial_config();
  EXPECT_EQ(hal()->kova_mode_e, kova_mode_ss_e);
  EXPECT_EQ(hal()->xa_freq_s.f, 100000000u);
  EXPECT_EQ(w->session()->gui()->halConfigured, 1);
  expect_chip_holds_the_object();
}

// Connected to a KX40112: a configuration file for another device is refused, with its three
// messages, and the configuration stays as it was; the EEPROM commands name the board's
// EEPROM, which the KX40112 boots from. Then the board goes away: the next status refresh
// says so, stops polling and leaves the window offline with the configuration in place.
TEST_F(main_window_test, FileForAnotherDeviceRefusedThenBoardLost) {
  pick("deviceMode", "Frequency Synthesis (APLL-only)");
  command_with_file("actionSaveConfig", path("kx40089.txt"));
  install_board("40112");
  connect_board("Initialize DUT to Defaults");
  finish_initial_config();
  ASSERT_EQ(hal()->kova_device_e, kova_device_40112_e);
  const std::vector<uint8_t> img = image();
  dialog.shown.clear();
  command_with_file("actionLoadConfig", path("kx40089.txt"));
  ASSERT_GE(dialog.shown.size(), 3u);
  EXPECT_EQ(dialog.shown[0], std::make_pair(std::string("File does not match connected device or revision!"),
                                               std::string("GUI Config Load")));
  EXPECT_EQ(dialog.shown[1].first + " / " + dialog.shown[2].first,
            "Orig ID = 40112, Config ID = 40089 / Orig rev = 1, Config rev = 1");
  EXPECT_EQ(hal()->kova_device_e, kova_device_40112_e);
  EXPECT_EQ(image(), img);
  EXPECT_EQ(find<QAction>("actionEepromDump")->text(), "Dump Board EEPROM to File");
  EXPECT_EQ(find<QAction>("actionEepromVerify")->text(), "Verify Board EEPROM against File");
  EXPECT_TRUE(find<QAction>("actionEepromDump")->isEnabled());

  pick("pollingRate", "1 second");
  auto *timer = w->findChild<QTimer *>("refreshTimer");
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(timer->isActive());
  kxemu_unplug(0);
  click("refreshButton");
  EXPECT_TRUE(dialog.saw("Board connection lost!"));
  EXPECT_FALSE(w->session()->connected());
  EXPECT_FALSE(timer->isActive());
  EXPECT_FALSE(find<QAction>("actionEepromDump")->isEnabled());
  EXPECT_EQ(image(), img);
  EXPECT_EQ(hal()->kova_device_e, kova_device_40112_e);
}

// A block opens its configuration window once; the three inputs share one window, which
// switches to the input clicked. A configuration file dropped on the main window is loaded.
TEST_F(main_window_test, BlockWindowsOnceAndDroppedFile) {
  click("block_IC1_open");
  auto *ic = qobject_cast<InputConfigForm *>(w->childWindow("InputConfigForm"));
  ASSERT_NE(ic, nullptr);
  EXPECT_EQ(ic->channel(), 0);
  click("block_IC3_open");
  EXPECT_EQ(w->childWindow("InputConfigForm"), ic);
  EXPECT_EQ(ic->channel(), 2);
  click("block_OC2_open");
  auto *oc = qobject_cast<OutputConfigForm *>(w->childWindow("OutputConfigForm"));
  ASSERT_NE(oc, nullptr);
  EXPECT_EQ(oc->channel(), 1);
  click("block_DPLL_open");
  EXPECT_NE(w->childWindow("DpllConfigForm"), nullptr);

  type("oc3Freq", "125");
  command_with_file("actionSaveConfig", path("drop.txt"));
  type("oc3Freq", "100");
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path("drop.txt")))});
  EXPECT_TRUE(w->loadDropped(&mime));
  EXPECT_EQ(hal()->oc3_freq_s.f, 125000000u);
}

}  // namespace
