// The connection window against the emulated board: the board list, connect (routed to the
// chip or to the external DUT), double-click, disconnect with its save question, work
// offline, the device and emulation choices by user mode and the super-user diagnostics.
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>

#include "app/app_options.h"
#include "app/windows/connection_window.h"
#include "gui_test_support.h"

namespace {

struct connection_window : gui_fixture {
  ConnectionConfigForm *conn = nullptr;

  void SetUp() override {
    gui_fixture::SetUp();
    SuperUserModeSet(false);
    BoardMode = kxKovaIo_BoardModeNone;
    session = std::make_unique<KovaSession>();
    ASSERT_TRUE(main_startup(&session->state));
    open_form();
  }
  void TearDown() override {
    gui_fixture::TearDown();
    SuperUserModeSet(false);
  }
  void open_form() {
    form.reset(conn = new ConnectionConfigForm(session.get()));
    conn->chooseSavePath = [this](const QString &, const QString &name, const QString &) {
      return dir.filePath(name);
    };
    conn->show();
  }
  bool routed_to_eeprom() {
    kxemu_pins_s pins{};
    EXPECT_TRUE(kxemu_pins(0, 0, &pins));
    return (pins.lo_data & KX_PIN_ROUTE) != 0;
  }
};

// Connect routes the bus to the chip or, when asked, to the external DUT; a double-click
// opens the board without routing.
TEST_F(connection_window, ConnectFromTheListRoutesTheBus) {
  for (const auto &[double_click, external] : {std::pair{false, false}, {false, true}, {true, false}}) {
    SCOPED_TRACE(double_click ? "double-click" : external ? "external DUT" : "chip");
    kxKovaIo_EvalBoardClose(&session->gui()->ioHandle);
    BoardMode = kxKovaIo_BoardModeNone;
    open_form();
    auto *list = find<QListWidget>("boardList");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "0: Kova Emulated Board A");
    find<QCheckBox>("externalDutCheck")->setChecked(external);
    QSignalSpy connected(conn, &ConnectionConfigForm::boardConnected);
    if (double_click) {
      emit list->itemDoubleClicked(list->item(0));
    } else {
      click("connectButton");
    }
    EXPECT_EQ(connected.count(), 1);
    EXPECT_TRUE(session->connected());
    EXPECT_EQ(kxKovaIo_GetBoardMode(), double_click ? kxKovaIo_BoardModeNone : kxKovaIo_BoardModeRouted);
    if (!double_click) {
      EXPECT_EQ(routed_to_eeprom(), external);
      EXPECT_FALSE(conn->isVisible());
    }
  }
  EXPECT_TRUE(dialog.shown.empty());
}

TEST_F(connection_window, ConnectWithoutSelectionOrUnpluggedBoard) {
  QSignalSpy connected(conn, &ConnectionConfigForm::boardConnected);
  find<QListWidget>("boardList")->setCurrentRow(-1);
  click("connectButton");
  EXPECT_TRUE(dialog.saw("No eval board selected!"));

  find<QListWidget>("boardList")->setCurrentRow(0);
  kxemu_unplug(0);
  click("connectButton");
  ASSERT_FALSE(dialog.shown.empty());
  EXPECT_EQ(dialog.shown.back().second, "Connect");
  EXPECT_EQ(dialog.shown.back().first.rfind("Failed connecting to selected eval board: Error code 0x", 0), 0u);
  EXPECT_EQ(connected.count(), 0);
  EXPECT_FALSE(session->connected());
}

TEST_F(connection_window, DisconnectAsksToSaveTheConfiguration) {
  for (bool save : {true, false}) {
    SCOPED_TRACE(save ? "saved" : "not saved");
    QFile::remove(dir.filePath("GUI_Config"));
    click("connectButton");
    ASSERT_TRUE(session->connected());
    dialog.shown.clear();
    dialog.answer = save;
    QSignalSpy disconnected(conn, &ConnectionConfigForm::boardDisconnected);
    click("disconnectButton");
    ASSERT_EQ(dialog.shown.size(), save ? 2u : 1u);  // the question, then "... successfully saved!"
    EXPECT_EQ(dialog.shown[0], std::make_pair(std::string("Save Existing Configuration?"),
                                                 std::string("Evaluation Board Disconnect")));
    EXPECT_EQ(QFile::exists(dir.filePath("GUI_Config")), save);
    EXPECT_FALSE(session->connected());
    EXPECT_EQ(disconnected.count(), 1);
  }
}

TEST_F(connection_window, WorkOffline) {
  QSignalSpy offline(conn, &ConnectionConfigForm::workOffline);
  find<QComboBox>("deviceCombo")->setCurrentIndex(-1);
  click("workOfflineButton");
  EXPECT_EQ(dialog.shown.back(), std::make_pair(std::string("INVALID Variant (-1)"), std::string("Work-Offline")));
  EXPECT_EQ(offline.count(), 0);

  // A connected board is let go first; the chosen product index is handed on.
  click("connectButton");
  open_form();
  QSignalSpy offline2(conn, &ConnectionConfigForm::workOffline);
  dialog.answer = false;
  auto *device = find<QComboBox>("deviceCombo");
  device->setCurrentIndex(device->findText("KX40110"));
  click("workOfflineButton");
  ASSERT_EQ(offline2.count(), 1);
  EXPECT_EQ(offline2[0][0].toInt(), 0);
  EXPECT_FALSE(session->connected());
}

// The super-user has the development device besides the products, the emulation choice and
// the diagnostics.
TEST_F(connection_window, DeviceAndEmulationChoicesByUserMode) {
  for (bool super : {false, true}) {
    SCOPED_TRACE(super ? "super-user" : "customer");
    SuperUserModeSet(super);
    open_form();
    EXPECT_EQ(find<QComboBox>("deviceCombo")->findText("KX40000") >= 0, super);
    EXPECT_EQ(find<QComboBox>("emulationCombo")->isVisible(), super);
    EXPECT_EQ(find<QWidget>("diagnosticsGroup")->isVisible(), super);
  }
  // The emulation list: "Use DUT", then the products in order (KX40113 is product 3); back
  // in customer mode the chip on the board is used again.
  choose_text(conn, "emulationCombo", "KX40113");
  EXPECT_EQ(session->state.emulation_product, 3);
  SuperUserModeSet(false);
  conn->applyUserMode();
  EXPECT_EQ(session->state.emulation_product, -1);
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
  EXPECT_TRUE(dialog.shown.empty());

  // Out of range or a byte count that does not match: refused before the board is touched.
  set("regAddrEdit", "7FF");
  click("regReadButton");
  set("eepromCountEdit", "3");
  click("eepromWriteButton");
  EXPECT_EQ(dialog.shown.size(), 2u);
  EXPECT_EQ(ee[0x1FE], 0xDE);
}

}  // namespace
