// The connection window against the emulated board: the board list, connect (routed to the
// chip or to the external DUT), double-click, disconnect with its save question, work
// offline, the device and emulation choices by user mode, the USB log file and the
// super-user diagnostics.
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/app_options.h"
#include "app/windows/connection_window.h"
#include "app/windows/session.h"
#include "gui_test_support.h"

namespace {

struct connection_window : gui_fixture {
  KovaSession session;
  QTemporaryDir dir;
  std::unique_ptr<ConnectionConfigForm> form;

  void SetUp() override {
    gui_fixture::SetUp();
    SuperUserModeSet(false);
    BoardMode = kxKovaIo_BoardModeNone;
    ASSERT_TRUE(main_startup(&session.state));
    open_form();
  }
  void TearDown() override {
    form.reset();
    SuperUserModeSet(false);
    gui_fixture::TearDown();
  }
  void open_form() {
    form = std::make_unique<ConnectionConfigForm>(&session);
    form->chooseSavePath = [this](const QString &, const QString &name, const QString &) {
      return dir.filePath(name);
    };
    form->show();
  }
  template <typename T>
  T *find(const char *name) {
    T *w = form->findChild<T *>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void click(const char *button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
  QStringList combo_texts(const char *name) {
    QStringList out;
    auto *c = find<QComboBox>(name);
    for (int i = 0; i < c->count(); ++i) out << c->itemText(i);
    return out;
  }
  bool routed_to_eeprom() {
    kxemu_pins_s pins{};
    EXPECT_TRUE(kxemu_pins(0, 0, &pins));
    return (pins.lo_data & KX_PIN_ROUTE) != 0;
  }
};

TEST_F(connection_window, ConnectFromTheListRoutesTheBus) {
  for (bool external : {false, true}) {
    SCOPED_TRACE(external ? "external DUT" : "chip");
    kxKovaIo_EvalBoardClose(&session.gui()->ioHandle);
    open_form();
    auto *list = find<QListWidget>("boardList");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "0: Kova Emulated Board A");
    find<QCheckBox>("externalDutCheck")->setChecked(external);
    QSignalSpy connected(form.get(), &ConnectionConfigForm::boardConnected);
    click("connectButton");
    EXPECT_EQ(connected.count(), 1);
    EXPECT_TRUE(session.connected());
    EXPECT_EQ(routed_to_eeprom(), external);
    EXPECT_EQ(kxKovaIo_GetBoardMode(), kxKovaIo_BoardModeRouted);
    EXPECT_FALSE(form->isVisible());
  }
  EXPECT_TRUE(dialog.messages.empty());
}

TEST_F(connection_window, DoubleClickOpensWithoutRouting) {
  auto *list = find<QListWidget>("boardList");
  QSignalSpy connected(form.get(), &ConnectionConfigForm::boardConnected);
  emit list->itemDoubleClicked(list->item(0));
  EXPECT_EQ(connected.count(), 1);
  EXPECT_TRUE(session.connected());
  EXPECT_EQ(kxKovaIo_GetBoardMode(), kxKovaIo_BoardModeNone);
}

TEST_F(connection_window, ConnectWithoutSelectionOrUnpluggedBoard) {
  QSignalSpy connected(form.get(), &ConnectionConfigForm::boardConnected);
  find<QListWidget>("boardList")->setCurrentRow(-1);
  click("connectButton");
  EXPECT_TRUE(dialog.saw("No eval board selected!"));

  find<QListWidget>("boardList")->setCurrentRow(0);
  kxemu_unplug(0);
  click("connectButton");
  ASSERT_FALSE(dialog.messages.empty());
  EXPECT_EQ(dialog.messages.back().second, "Connect");
  EXPECT_EQ(dialog.messages.back().first.rfind("Failed connecting to selected eval board: Error code 0x", 0), 0u);
  EXPECT_EQ(connected.count(), 0);
  EXPECT_FALSE(session.connected());
}

TEST_F(connection_window, DisconnectAsksToSaveTheConfiguration) {
  for (bool save : {true, false}) {
    SCOPED_TRACE(save ? "saved" : "not saved");
    QFile::remove(dir.filePath("GUI_Config"));
    click("connectButton");
    ASSERT_TRUE(session.connected());
    dialog.messages.clear();
    dialog.answer = save;
    QSignalSpy disconnected(form.get(), &ConnectionConfigForm::boardDisconnected);
    click("disconnectButton");
    ASSERT_EQ(dialog.messages.size(), save ? 2u : 1u);  // the question, then "... successfully saved!"
    EXPECT_EQ(dialog.messages[0], std::make_pair(std::string("Save Existing Configuration?"),
                                                 std::string("Evaluation Board Disconnect")));
    EXPECT_EQ(QFile::exists(dir.filePath("GUI_Config")), save);
    EXPECT_FALSE(session.connected());
    EXPECT_EQ(session.gui()->ioHandle.chA.handle, 0u);
    EXPECT_EQ(disconnected.count(), 1);
  }
}

TEST_F(connection_window, WorkOffline) {
  QSignalSpy offline(form.get(), &ConnectionConfigForm::workOffline);
  find<QComboBox>("deviceCombo")->setCurrentIndex(-1);
  click("workOfflineButton");
  EXPECT_TRUE(dialog.saw("INVALID Variant (-1)"));
  EXPECT_EQ(dialog.messages.back().second, "Work-Offline");
  EXPECT_EQ(offline.count(), 0);

  // A connected board is let go first; the chosen product index is handed on.
  click("connectButton");
  open_form();
  QSignalSpy offline2(form.get(), &ConnectionConfigForm::workOffline);
  dialog.answer = false;
  auto *device = find<QComboBox>("deviceCombo");
  device->setCurrentIndex(device->findText("KX40110"));
  click("workOfflineButton");
  ASSERT_EQ(offline2.count(), 1);
  EXPECT_EQ(offline2[0][0].toInt(), 0);
  EXPECT_FALSE(session.connected());
}

TEST_F(connection_window, DeviceAndEmulationChoicesByUserMode) {
  const QStringList customer{"KX40110", "KX40111", "KX40112", "KX40113", "KX40075", "KX40089"};
  for (bool super : {false, true}) {
    SCOPED_TRACE(super ? "super-user" : "customer");
    SuperUserModeSet(super);
    open_form();
    EXPECT_EQ(combo_texts("deviceCombo"), super ? customer + QStringList{"KX40000"} : customer);
    // Starts at the object's device.
    EXPECT_EQ(find<QComboBox>("deviceCombo")->currentText(), "KX40089");
    EXPECT_EQ(find<QComboBox>("emulationCombo")->isVisible(), super);
    EXPECT_EQ(find<QWidget>("diagnosticsGroup")->isVisible(), super);
  }
  EXPECT_EQ(combo_texts("emulationCombo"), QStringList{"Use DUT"} + customer + QStringList{"KX40000"});
  auto *emulation = find<QComboBox>("emulationCombo");
  emulation->setCurrentIndex(emulation->findText("KX40113"));
  EXPECT_EQ(session.state.emulation_product, 3);
  // Back in customer mode the chip on the board is used again.
  SuperUserModeSet(false);
  form->applyUserMode();
  EXPECT_EQ(session.state.emulation_product, -1);
}

TEST_F(connection_window, UsbLogIsSavedLineByLine) {
  click("refreshButton");
  click("saveLogButton");
  QFile f(dir.filePath("UsbConnLog"));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QStringList lines = QString(f.readAll()).split('\n', Qt::SkipEmptyParts);
  ASSERT_GE(lines.size(), 5);
  const QRegularExpression stamp("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d: ");
  for (const QString &l : lines) EXPECT_TRUE(stamp.match(l).hasMatch()) << l.toStdString();
  EXPECT_TRUE(lines[0].endsWith(": Form opened"));
  EXPECT_TRUE(lines[1].endsWith(": Board query: 2 FTDI channels found"));
  EXPECT_TRUE(lines[2].endsWith(": Channel 0: FT2232 A Channel"));
  EXPECT_EQ(lines.filter("Board query").size(), 2);
}

TEST_F(connection_window, DiagnosticsReachTheBoardEepromAndChip) {
  SuperUserModeSet(true);
  open_form();
  auto set = [this](const char *name, const char *text) { find<QLineEdit>(name)->setText(text); };
  // Not connected: every access fails.
  click("regReadButton");
  EXPECT_EQ(find<QLineEdit>("regDataEdit")->text(), "ERROR");

  click("connectButton");
  set("eepromAddrEdit", "1FE");
  set("eepromCountEdit", "4");
  set("eepromDataEdit", "de ad BE 0f");
  click("eepromWriteButton");
  const uint8_t *ee = kxemu_board_eeprom(0);
  EXPECT_EQ(std::vector<uint8_t>(ee + 0x1FE, ee + 0x202), (std::vector<uint8_t>{0xDE, 0xAD, 0xBE, 0x0F}));
  set("eepromDataEdit", "");
  click("eepromReadButton");
  EXPECT_EQ(find<QLineEdit>("eepromDataEdit")->text(), "DE AD BE 0F");

  set("regAddrEdit", "30");
  set("regCountEdit", "2");
  click("regReadButton");
  const uint8_t *regs = kxemu_chip_regs(0);
  EXPECT_EQ(find<QLineEdit>("regDataEdit")->text(),
            QString::asprintf("%02X %02X", regs[0x30], regs[0x31]));
  EXPECT_TRUE(dialog.messages.empty());

  // Out of range or a byte count that does not match: refused before the board is touched.
  set("regAddrEdit", "7FF");
  click("regReadButton");
  set("eepromCountEdit", "3");
  click("eepromWriteButton");
  EXPECT_EQ(dialog.messages.size(), 2u);
  EXPECT_EQ(ee[0x1FE], 0xDE);

  for (const char *b : {"gpioAReadButton", "gpioBReadButton", "gpioAWriteButton", "gpioBWriteButton"}) click(b);
  for (const char *m : {"GPIO A read disabled.", "GPIO B read disabled.", "GPIO A write disabled.",
                        "GPIO B write disabled."})
    EXPECT_TRUE(dialog.saw(m)) << m;
}

}  // namespace
