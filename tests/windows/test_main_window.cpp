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
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/main_view.h"
#include "app/windows/input_config_window.h"
#include "app/windows/main_window.h"
#include "app/windows/output_config_window.h"
#include "gui_test_support.h"

namespace {

struct main_window_test : gui_fixture {
  std::unique_ptr<MainWindow> w;
  QTemporaryDir dir;

  void SetUp() override {
    gui_fixture::SetUp();
    QStandardPaths::setTestModeEnabled(true);
    w = std::make_unique<MainWindow>();
    app_set_dialog(&dialog);  // the window installed its own message boxes
    w->show();
  }
  void TearDown() override {
    w.reset();
    gui_fixture::TearDown();
  }

  hal_api_s *hal() { return w->session()->hal(); }
  template <class T>
  T *find(const char *name) {
    T *c = w->findChild<T *>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
  QString path(const char *name) { return dir.filePath(name); }

  // Types into a field and presses a key (Enter applies, Escape takes back).
  void type(const char *field, const QString &text, Qt::Key key = Qt::Key_Return) {
    QLineEdit *e = find<QLineEdit>(field);
    e->setFocus();
    e->selectAll();
    QTest::keyClicks(e, text);
    QTest::keyClick(e, key);
  }
  void choose(const char *combo, const QString &text) {
    QComboBox *c = find<QComboBox>(combo);
    const int i = c->findText(text);
    ASSERT_GE(i, 0) << text.toStdString();
    c->setCurrentIndex(i);
    emit c->activated(i);
  }
  // Runs a menu command whose file dialog is answered with path.
  void command_with_file(const char *action, const QString &file) {
    on_next_modal([file](QWidget *m) {
      auto *fd = qobject_cast<QFileDialog *>(m);
      ASSERT_NE(fd, nullptr);
      fd->selectFile(file);
      static_cast<QDialog *>(fd)->accept();
    });
    find<QAction>(action)->trigger();
  }
  std::vector<uint8_t> image() {
    std::vector<uint8_t> r(KOVA_REG_COUNT);
    for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) r[a] = static_cast<uint8_t>(get_reg(hal(), a));
    return r;
  }
  // Connects to the emulated board through the connection window (Refresh, the first
  // line, Connect) and answers the start-up query with the given action ("" closes it).
  void connect_board(const char *action, std::function<void(QWidget *)> then = nullptr) {
    QWidget *c = w->openWindow("ConnectionConfigForm");
    ASSERT_NE(c, nullptr);
    QTest::mouseClick(c->findChild<QPushButton *>("refreshButton"), Qt::LeftButton);
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
    QTest::mouseClick(c->findChild<QPushButton *>("connectButton"), Qt::LeftButton);
  }
  // Leaves the initial-configuration window through its button; the choice is applied once
  // the window has closed.
  void finish_initial_config() {
    QWidget *init = w->childWindow("InitialConfigForm");
    ASSERT_NE(init, nullptr);
    QTest::mouseClick(init->findChild<QPushButton *>("doneButton"), Qt::LeftButton);
    QTest::qWait(20);
  }
  static std::vector<uint8_t> chip() { return {kxemu_chip_regs(0), kxemu_chip_regs(0) + KOVA_REG_COUNT}; }
};

const uint32_t kWritten[] = {0x100, 0x106, 0x107, 0x108, 0x109, 0x10A, 0x10B, 0x200, 0x201, 0x202, 0x203, 0x204, 0x205};

TEST_F(main_window_test, StartsOnKX40089WithItsDefaults) {
  EXPECT_EQ(hal()->kova_device_e, kova_device_40089_e);
  EXPECT_EQ(hal()->kova_mode_e, kova_mode_ja_e);
  EXPECT_TRUE(w->session()->state.hal_status);
  EXPECT_TRUE(w->windowTitle().contains("KX40089")) << w->windowTitle().toStdString();
  // Customer mode hides the super-user group.
  EXPECT_FALSE(find<QGroupBox>("superUserGroup")->isVisible());
}

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
  ASSERT_FALSE(dialog.messages.empty());
  EXPECT_EQ(dialog.messages.back().second, "Configuration Error");
  EXPECT_EQ(find<QLineEdit>("oc1Freq")->text(), "0.000000");
}

TEST_F(main_window_test, ModeIsAKeyChangeWithTheModeDefaults) {
  choose("deviceMode", "Frequency Synthesis (APLL-only)");
  EXPECT_EQ(hal()->kova_mode_e, kova_mode_syn_e);
  EXPECT_EQ(hal()->sysclk_mode_e, sysclk_mode_ro_e);
  EXPECT_EQ(hal()->apllcr3_apllmux_u3, 0u);
  choose("deviceMode", "Jitter Attenuation (DPLL+APLL)");
  EXPECT_EQ(hal()->kova_mode_e, kova_mode_ja_e);
  EXPECT_EQ(hal()->sysclk_mode_e, sysclk_mode_xa_e);
  EXPECT_EQ(hal()->apllcr3_apllmux_u3, 6u);
}

TEST_F(main_window_test, SaveAndLoadTheConfigurationTextFile) {
  type("oc2Freq", "125");
  ASSERT_EQ(hal()->oc2_freq_s.f, 125000000u);
  const std::vector<uint8_t> img = image();
  command_with_file("actionSaveConfig", path("a.txt"));
  EXPECT_TRUE(dialog.saw("GUI Config file successfully saved!"));
  type("oc2Freq", "100");
  ASSERT_NE(image(), img);
  command_with_file("actionLoadConfig", path("a.txt"));
  EXPECT_TRUE(dialog.saw("GUI Config file successfully loaded!"));
  EXPECT_EQ(hal()->oc2_freq_s.f, 125000000u);
  EXPECT_EQ(image(), img);
  EXPECT_TRUE(w->windowTitle().contains("a.txt"));
}

// A register dump without any frequency asks for one before it is read back.
TEST_F(main_window_test, DumpWithoutFrequenciesAsksForOne) {
  type("oc1Freq", "156.25");
  const std::vector<uint8_t> img = image();
  command_with_file("actionDumpRegs", path("d.txt"));
  // Take out the frequency comment lines: the dump then names no frequency.
  std::ifstream in(path("d.txt").toStdString());
  std::stringstream kept;
  for (std::string line; std::getline(in, line);)
    if (line.find("Frequency") == std::string::npos) kept << line << "\n";
  in.close();
  std::ofstream(path("d.txt").toStdString()) << kept.str();

  bool asked = false;
  on_next_modal([&](QWidget *m) {
    auto *fd = qobject_cast<QFileDialog *>(m);
    ASSERT_NE(fd, nullptr);
    fd->selectFile(path("d.txt"));
    static_cast<QDialog *>(fd)->accept();
    on_next_modal([&](QWidget *k) {
      asked = k->objectName() == "InverseIOFreqForm";
      auto *clock = k->findChild<QComboBox *>("clockCombo");
      clock->setCurrentIndex(clock->findText("OC1"));
      auto *f = k->findChild<QLineEdit *>("freqEdit");
      f->setText("156.25");
      QTest::keyClick(f, Qt::Key_Return);
      QTest::mouseClick(k->findChild<QPushButton *>("doneButton"), Qt::LeftButton);
    });
  });
  find<QAction>("actionLoadDump")->trigger();
  EXPECT_TRUE(asked);
  EXPECT_EQ(fprec_s_2_double_mhz(hal()->oc1_freq_s), 156.25);
  for (uint32_t a : kWritten) EXPECT_EQ(image()[a], img[a]) << std::hex << a;
}

// Answers the known-frequency window with one output frequency.
void answer_known(QWidget *k, const char *clock_name, const char *mhz) {
  ASSERT_EQ(k->objectName(), "InverseIOFreqForm");
  auto *clock = k->findChild<QComboBox *>("clockCombo");
  clock->setCurrentIndex(clock->findText(clock_name));
  auto *f = k->findChild<QLineEdit *>("freqEdit");
  f->setText(mhz);
  QTest::keyClick(f, Qt::Key_Return);
  QTest::mouseClick(k->findChild<QPushButton *>("doneButton"), Qt::LeftButton);
}

// Connected: the configuration written to the chip, an ordinary change sent at once, then
// the chip read back into a changed configuration.
TEST_F(main_window_test, ConnectWriteChangeAndReadBack) {
  type("oc1Freq", "156.25");
  choose("deviceMode", "Frequency Synthesis (APLL-only)");  // a key change: now initialised and written
  install_board("40089");
  connect_board("Write GUI configuration to DUT");
  ASSERT_TRUE(w->session()->connected());
  for (uint32_t a : kWritten) EXPECT_EQ(chip()[a], get_reg(hal(), a)) << std::hex << a;

  const std::vector<uint8_t> before = chip();
  type("oc1Freq", "100");
  EXPECT_NE(chip(), before);
  for (uint32_t a : kWritten) EXPECT_EQ(chip()[a], get_reg(hal(), a)) << std::hex << a;

  // Offline the object moves on; reading the chip back brings its configuration.
  kxKovaIo_EvalBoardClose(&w->session()->gui()->ioHandle);
  type("oc1Freq", "125");
  connect_board("Read DUT configuration into GUI", [](QWidget *k) { answer_known(k, "OC1", "100"); });
  EXPECT_EQ(hal()->kova_mode_e, kova_mode_syn_e);
  EXPECT_EQ(fprec_s_2_double_mhz(hal()->oc1_freq_s), 100.0);
  for (uint32_t a : kWritten) EXPECT_EQ(chip()[a], get_reg(hal(), a)) << std::hex << a;
}

// Closing the start-up query without a choice initialises the chip to defaults: the
// initial-configuration window's choice is applied and written to the chip.
TEST_F(main_window_test, ConnectDefaultsThenInitialConfiguration) {
  install_board("40110");
  connect_board("");
  EXPECT_EQ(hal()->kova_device_e, kova_device_40110_e);
  QWidget *init = w->childWindow("InitialConfigForm");
  ASSERT_NE(init, nullptr);
  auto *mode = init->findChild<QComboBox *>("modeCombo");
  mode->setCurrentIndex(mode->findText("Spread Spectrum"));
  emit mode->activated(mode->currentIndex());
  auto *xa = init->findChild<QLineEdit *>("xaFreqEdit");
  xa->setFocus();
  xa->selectAll();
  QTest::keyClicks(xa, "100");
  QTest::keyClick(xa, Qt::Key_Return);
  finish_initial_config();
  EXPECT_EQ(hal()->kova_mode_e, kova_mode_ss_e);
  EXPECT_EQ(hal()->xa_freq_s.f, 100000000u);
  EXPECT_EQ(w->session()->gui()->halConfigured, 1);
  for (uint32_t a : kWritten) EXPECT_EQ(chip()[a], get_reg(hal(), a)) << std::hex << a;
}

// A configuration file for another device is refused while connected, with its three
// messages, and the configuration stays as it was.
TEST_F(main_window_test, FileForAnotherDeviceRefused) {
  choose("deviceMode", "Frequency Synthesis (APLL-only)");
  command_with_file("actionSaveConfig", path("kx40089.txt"));
  install_board("40112");
  connect_board("Initialize DUT to Defaults");
  finish_initial_config();
  const int32_t dev = hal()->kova_device_e;
  ASSERT_EQ(dev, kova_device_40112_e);
  const std::vector<uint8_t> img = image();
  dialog.messages.clear();
  command_with_file("actionLoadConfig", path("kx40089.txt"));
  ASSERT_GE(dialog.messages.size(), 3u);
  EXPECT_EQ(dialog.messages[0].first, "File does not match connected device or revision!");
  EXPECT_EQ(dialog.messages[1].first, "Orig ID = 40112, Config ID = 40089");
  EXPECT_EQ(dialog.messages[2].first, "Orig rev = 1, Config rev = 1");
  EXPECT_EQ(dialog.messages[0].second, "GUI Config Load");
  EXPECT_EQ(hal()->kova_device_e, dev);
  EXPECT_EQ(image(), img);
}

// A block opens its configuration window once; the three inputs share one window, which
// switches to the input clicked. A configuration file dropped on the main window is loaded.
TEST_F(main_window_test, BlockWindowsOnceAndDroppedFile) {
  QTest::mouseClick(find<QToolButton>("block_IC1_open"), Qt::LeftButton);
  auto *ic = qobject_cast<InputConfigForm *>(w->childWindow("InputConfigForm"));
  ASSERT_NE(ic, nullptr);
  EXPECT_EQ(ic->channel(), 0);
  QTest::mouseClick(find<QToolButton>("block_IC3_open"), Qt::LeftButton);
  EXPECT_EQ(w->childWindow("InputConfigForm"), ic);
  EXPECT_EQ(ic->channel(), 2);
  QTest::mouseClick(find<QToolButton>("block_OC2_open"), Qt::LeftButton);
  auto *oc = qobject_cast<OutputConfigForm *>(w->childWindow("OutputConfigForm"));
  ASSERT_NE(oc, nullptr);
  EXPECT_EQ(oc->channel(), 1);
  QTest::mouseClick(find<QToolButton>("block_DPLL_open"), Qt::LeftButton);
  EXPECT_NE(w->childWindow("DpllConfigForm"), nullptr);

  type("oc3Freq", "125");
  command_with_file("actionSaveConfig", path("drop.txt"));
  type("oc3Freq", "100");
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(path("drop.txt"))});
  EXPECT_TRUE(w->loadDropped(&mime));
  EXPECT_EQ(hal()->oc3_freq_s.f, 125000000u);
}

// The board goes away: the next status refresh says so, stops polling and leaves the
// window offline with the configuration in place.
TEST_F(main_window_test, BoardLostOnStatusRefresh) {
  connect_board("");
  finish_initial_config();
  ASSERT_TRUE(w->session()->connected());
  choose("pollingRate", "1 second");
  auto *timer = w->findChild<QTimer *>("refreshTimer");
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(timer->isActive());
  const std::vector<uint8_t> img = image();
  kxemu_unplug(0);
  QTest::mouseClick(find<QPushButton>("refreshButton"), Qt::LeftButton);
  EXPECT_TRUE(dialog.saw("Board connection lost!"));
  EXPECT_FALSE(w->session()->connected());
  EXPECT_FALSE(timer->isActive());
  EXPECT_EQ(image().size(), img.size());
  EXPECT_EQ(hal()->kova_device_e, kova_device_40112_e);
}

// The EEPROM commands name the board's EEPROM for the products that boot from it.
TEST_F(main_window_test, EepromWordingFollowsTheProduct) {
  const struct {
    const char *device, *dump, *verify;
  } cases[] = {
      {"40110", "Dump Board EEPROM to File", "Verify Board EEPROM against File"},
      {"40112", "Dump Board EEPROM to File", "Verify Board EEPROM against File"},
      {"40113", "Dump DUT EEPROM to File", "Verify DUT EEPROM against File"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.device);
    kxKovaIo_EvalBoardClose(&w->session()->gui()->ioHandle);
    install_board(c.device);
    connect_board("");
    finish_initial_config();
    EXPECT_EQ(find<QAction>("actionEepromDump")->text(), c.dump);
    EXPECT_EQ(find<QAction>("actionEepromVerify")->text(), c.verify);
    EXPECT_TRUE(find<QAction>("actionEepromDump")->isEnabled());
  }
}

}  // namespace
