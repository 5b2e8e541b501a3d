#include "app/windows/connection_window.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "app/app_options.h"
#include "app/choice_texts.h"
#include "app/user_dialog.h"
#include "app/windows/choice_combo.h"
#include "app/windows/freq_calc_window.h"
#include "app/windows/session.h"

namespace {

// A file-type list "Text (*.txt)|*.txt|All (*.*)|*.*" as a file dialog's filter.
QString dialog_filter(const char *pipes) {
  const QStringList parts = QString(pipes).split('|');
  QStringList names;
  for (int i = 0; i < parts.size(); i += 2) names << parts[i];
  return names.join(";;");
}

constexpr const char *kConfigFilter = "Text File (*.txt)|*.txt|Show All Files (*.*)|*.*";
constexpr uint32_t kBoardEepromSize = 0x10000;
constexpr uint32_t kChipRegisterCount = 0x800;
constexpr uint32_t kDiagnosticMax = 4096;  // bytes shown at once

QString hex_bytes(const std::vector<uint8_t> &bytes) {
  QStringList out;
  for (uint8_t b : bytes) out << QString("%1").arg(b, 2, 16, QChar('0')).toUpper();
  return out.join(' ');
}

// Bytes typed as hexadecimal numbers separated by blanks; false on anything else.
bool parse_hex_bytes(const QString &text, std::vector<uint8_t> *out) {
  out->clear();
  for (const QString &t : text.split(' ', Qt::SkipEmptyParts)) {
    bool ok = false;
    const uint v = t.toUInt(&ok, 16);
    if (!ok || t.size() > 2 || v > 0xFF) return false;
    out->push_back(static_cast<uint8_t>(v));
  }
  return true;
}

QLineEdit *small_edit(QWidget *parent, const char *name, freq_field_kind_e kind, const char *text, int width) {
  auto *e = new QLineEdit(text, parent);
  e->setObjectName(name);
  e->setValidator(new EntryCharValidator(kind, e));
  e->setMaximumWidth(width);
  return e;
}

}  // namespace

ConnectionConfigForm::ConnectionConfigForm(KovaSession *session, QWidget *parent)
    : QWidget(parent), session_(session), list_(new kxKovaIo_BoardListS{}), log_(new kxKovaIo_UsbLogS{}) {
  setObjectName("ConnectionConfigForm");
  setWindowTitle("Evaluation Board Connection");
  chooseSavePath = [this](const QString &title, const QString &name, const QString &filter) {
    return QFileDialog::getSaveFileName(this, title, name, filter);
  };
  kxKovaIo_UsbLogOpen(log_.get());

  // Boards.
  auto *boardsBox = new QGroupBox("Evaluation Boards", this);
  boards_ = new QListWidget(boardsBox);
  boards_->setObjectName("boardList");
  boards_->setMinimumHeight(70);
  boards_->setMaximumHeight(110);
  auto *refresh = new QPushButton("Refresh", boardsBox);
  refresh->setObjectName("refreshButton");
  connect_ = new QPushButton("Connect", boardsBox);
  connect_->setObjectName("connectButton");
  disconnect_ = new QPushButton("Disconnect", boardsBox);
  disconnect_->setObjectName("disconnectButton");
  externalDut_ = new QCheckBox("Connect to external DUT through JP4 or JP6", boardsBox);
  externalDut_->setObjectName("externalDutCheck");
  status_ = new QLabel(boardsBox);
  status_->setObjectName("statusLabel");
  auto *boardButtons = new QHBoxLayout;
  boardButtons->addWidget(refresh);
  boardButtons->addWidget(connect_);
  boardButtons->addWidget(disconnect_);
  boardButtons->addStretch();
  auto *boardsLayout = new QVBoxLayout(boardsBox);
  boardsLayout->addWidget(boards_);
  boardsLayout->addLayout(boardButtons);
  boardsLayout->addWidget(externalDut_);
  boardsLayout->addWidget(status_);

  // Device and emulation choices, work offline.
  auto *deviceBox = new QGroupBox("Device", this);
  device_ = new QComboBox(deviceBox);
  device_->setObjectName("deviceCombo");
  device_->setMinimumWidth(110);
  auto *offline = new QPushButton("Work Offline", deviceBox);
  offline->setObjectName("workOfflineButton");
  emulation_ = new QComboBox(deviceBox);
  emulation_->setObjectName("emulationCombo");
  emulationLabel_ = new QLabel("Emulate Device:", deviceBox);
  auto *deviceLayout = new QGridLayout(deviceBox);
  deviceLayout->addWidget(new QLabel("Device Type:", deviceBox), 0, 0);
  deviceLayout->addWidget(device_, 0, 1);
  deviceLayout->addWidget(offline, 0, 2);
  deviceLayout->addWidget(emulationLabel_, 1, 0);
  deviceLayout->addWidget(emulation_, 1, 1);
  deviceLayout->setColumnStretch(3, 1);

  // USB connection log.
  auto *logBox = new QGroupBox("USB Connection Log", this);
  logView_ = new QPlainTextEdit(logBox);
  logView_->setObjectName("usbLog");
  logView_->setReadOnly(true);
  logView_->setMinimumSize(420, 110);
  auto *saveLog = new QPushButton("Save Log", logBox);
  saveLog->setObjectName("saveLogButton");
  auto *logLayout = new QVBoxLayout(logBox);
  logLayout->addWidget(logView_);
  auto *logButtons = new QHBoxLayout;
  logButtons->addStretch();
  logButtons->addWidget(saveLog);
  logLayout->addLayout(logButtons);

  auto *top = new QVBoxLayout(this);
  top->addWidget(boardsBox);
  top->addWidget(deviceBox);
  top->addWidget(logBox, 1);
  top->addWidget(buildDiagnostics());

  connect(refresh, &QPushButton::clicked, this, &ConnectionConfigForm::refreshBoards);
  connect(connect_, &QPushButton::clicked, this, &ConnectionConfigForm::connectBoard);
  connect(disconnect_, &QPushButton::clicked, this, [this]() { disconnectBoard(); });
  connect(boards_, &QListWidget::itemDoubleClicked, this, &ConnectionConfigForm::openWithoutRouting);
  connect(offline, &QPushButton::clicked, this, &ConnectionConfigForm::goOffline);
  connect(saveLog, &QPushButton::clicked, this, &ConnectionConfigForm::saveLog);
  connect(emulation_, &QComboBox::currentIndexChanged, this,
          [this]() { session_->state.emulation_product = choice_combo_value(emulation_, -1); });
  connect(session_, &KovaSession::connectionChanged, this, [this]() { updateButtons(); });

  applyUserMode();
  refreshBoards();
}

ConnectionConfigForm::~ConnectionConfigForm() = default;

QWidget *ConnectionConfigForm::buildDiagnostics() {
  diagnostics_ = new QGroupBox("Diagnostics", this);
  diagnostics_->setObjectName("diagnosticsGroup");
  auto *grid = new QGridLayout(diagnostics_);

  const QString hexTip = "Bytes as two-digit hexadecimal numbers separated by blanks";
  auto dataEdit = [this, &hexTip](const char *name) {
    auto *e = new QLineEdit(diagnostics_);
    e->setObjectName(name);
    e->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9A-Fa-f ]*"), e));
    e->setToolTip(hexTip);
    e->setMinimumWidth(300);
    return e;
  };

  eeAddr_ = small_edit(diagnostics_, "eepromAddrEdit", field_hex_e, "0000", 70);
  eeCount_ = small_edit(diagnostics_, "eepromCountEdit", field_whole_e, "16", 60);
  eeData_ = dataEdit("eepromDataEdit");
  auto *eeRead = new QPushButton("Read", diagnostics_);
  eeRead->setObjectName("eepromReadButton");
  auto *eeWrite = new QPushButton("Write", diagnostics_);
  eeWrite->setObjectName("eepromWriteButton");

  regAddr_ = small_edit(diagnostics_, "regAddrEdit", field_hex_e, "031", 70);
  regCount_ = small_edit(diagnostics_, "regCountEdit", field_whole_e, "1", 60);
  regData_ = dataEdit("regDataEdit");
  regData_->setReadOnly(true);
  auto *regRead = new QPushButton("Read", diagnostics_);
  regRead->setObjectName("regReadButton");

  grid->addWidget(new QLabel("Board EEPROM", diagnostics_), 0, 0);
  grid->addWidget(new QLabel("Address (hex):", diagnostics_), 0, 1);
  grid->addWidget(eeAddr_, 0, 2);
  grid->addWidget(new QLabel("Count:", diagnostics_), 0, 3);
  grid->addWidget(eeCount_, 0, 4);
  grid->addWidget(eeRead, 0, 5);
  grid->addWidget(eeWrite, 0, 6);
  grid->addWidget(eeData_, 1, 1, 1, 6);

  grid->addWidget(new QLabel("Chip Registers", diagnostics_), 2, 0);
  grid->addWidget(new QLabel("Address (hex):", diagnostics_), 2, 1);
  grid->addWidget(regAddr_, 2, 2);
  grid->addWidget(new QLabel("Count:", diagnostics_), 2, 3);
  grid->addWidget(regCount_, 2, 4);
  grid->addWidget(regRead, 2, 5);
  grid->addWidget(regData_, 3, 1, 1, 6);

  auto *gpio = new QHBoxLayout;
  const struct {
    const char *label, *name, *message;
  } kGpio[] = {{"GPIO A Read", "gpioAReadButton", "GPIO A read disabled."},
               {"GPIO B Read", "gpioBReadButton", "GPIO B read disabled."},
               {"GPIO A Write", "gpioAWriteButton", "GPIO A write disabled."},
               {"GPIO B Write", "gpioBWriteButton", "GPIO B write disabled."}};
  for (const auto &g : kGpio) {
    auto *b = new QPushButton(g.label, diagnostics_);
    b->setObjectName(g.name);
    const std::string message = g.message;
    connect(b, &QPushButton::clicked, this, [message]() { MessageError(message, "Error"); });
    gpio->addWidget(b);
  }
  gpio->addStretch();
  grid->addWidget(new QLabel("GPIO", diagnostics_), 4, 0);
  grid->addLayout(gpio, 4, 1, 1, 6);
  grid->setColumnStretch(6, 1);

  connect(eeRead, &QPushButton::clicked, this, &ConnectionConfigForm::boardEepromRead);
  connect(eeWrite, &QPushButton::clicked, this, &ConnectionConfigForm::boardEepromWrite);
  connect(regRead, &QPushButton::clicked, this, &ConnectionConfigForm::chipRegisterRead);
  return diagnostics_;
}

void ConnectionConfigForm::showEvent(QShowEvent *event) {
  applyUserMode();
  QWidget::showEvent(event);
}

void ConnectionConfigForm::applyUserMode() {
  const bool customer = isInCustomerMode();
  // Keep the user's device choice when the new list still offers it.
  const int32_t product = device_->count() ? choice_combo_value(device_, -1) : -1;
  const int32_t device = product >= 0 ? __dev_ConvertApiToHalPartNumber(product) : session_->hal()->kova_device_e;
  choice_combo_load(device_, choice_device_list(customer, device));
  if (emulation_->count() == 0) {
    choice_combo_load(emulation_, choice_emulation_list());
    choice_combo_select_value(emulation_, session_->state.emulation_product);
  }
  emulation_->setVisible(!customer);
  emulationLabel_->setVisible(!customer);
  const bool changed = diagnostics_->isHidden() != customer;
  diagnostics_->setVisible(!customer);
  // Back in customer mode the chip is the chip on the board.
  if (customer) {
    choice_combo_select_value(emulation_, -1);
    session_->state.emulation_product = -1;
  }
  if (changed) adjustSize();
}

void ConnectionConfigForm::showBoardMessages() {
  kxKovaIo_MessageS m;
  while (kxKovaIo_MessageGet(&m)) MessageError(m.text, m.title);
}

void ConnectionConfigForm::showLog() {
  QStringList lines;
  for (uint32_t i = 0; i < log_->count; ++i) lines << QString::fromUtf8(log_->lines[i]);
  logView_->setPlainText(lines.join('\n'));
  logView_->verticalScrollBar()->setValue(logView_->verticalScrollBar()->maximum());
}

void ConnectionConfigForm::updateButtons() {
  const bool connected = session_->connected();
  connect_->setEnabled(list_->connectEnabled);
  disconnect_->setEnabled(connected);
  if (connected && list_->selected >= 0)
    status_->setText("Connected to " + QString::fromUtf8(list_->lines[list_->selected]));
  else
    status_->setText(connected ? "Connected" : "Not connected");
}

void ConnectionConfigForm::refreshBoards() {
  kxKovaIo_BoardListRefresh(list_.get(), &session_->gui()->ioHandle, log_.get());
  boards_->clear();
  for (uint32_t i = 0; i < list_->count; ++i) boards_->addItem(QString::fromUtf8(list_->lines[i]));
  boards_->setCurrentRow(list_->selected);
  showBoardMessages();
  showLog();
  updateButtons();
}

void ConnectionConfigForm::connectBoard() {
  list_->selected = boards_->currentRow();
  const QString line = list_->selected >= 0 ? boards_->currentItem()->text() : QString();
  const uint32_t rc =
      kxKovaIo_BoardConnect(list_.get(), &session_->gui()->ioHandle, externalDut_->isChecked(), log_.get());
  showBoardMessages();
  if (rc != 0) {
    if (list_->selected >= 0)
      kxKovaIo_UsbLogAdd(log_.get(), ("Connect failed: " + line).toUtf8().constData());
    showLog();
    updateButtons();
    return;
  }
  kxKovaIo_UsbLogAdd(log_.get(), ("Connected: " + line).toUtf8().constData());
  refreshBoards();
  close();
  emit boardConnected();
}

void ConnectionConfigForm::openWithoutRouting(QListWidgetItem *item) {
  const int row = boards_->row(item);
  if (row < 0 || static_cast<uint32_t>(row) >= list_->count) return;
  const kxKovaIo_BoardEntryS entry = list_->boardInfo[row];
  kxKovaIo_HandleS *io = &session_->gui()->ioHandle;
  if (io->chA.handle || io->chB.handle) {
    kxKovaIo_EvalBoardClose(io);
    emit boardDisconnected();
  }
  if (kxKovaIo_EvalBoardOpen(entry.chanA, entry.chanB, io)) {
    showBoardMessages();
    MessageError(
        QString::asprintf("Failed connecting to selected eval board: Error code 0x%02X", kxKovaIo_UsbError())
            .toStdString(),
        "Connect");
    refreshBoards();
    return;
  }
  showBoardMessages();
  kxKovaIo_UsbLogAdd(log_.get(), ("Connected: " + item->text()).toUtf8().constData());
  refreshBoards();
  close();
  emit boardConnected();
}

bool ConnectionConfigForm::disconnectBoard() {
  kxKovaIo_HandleS *io = &session_->gui()->ioHandle;
  if (session_->connected() &&
      app_dialog().ask_yes_no("Save Existing Configuration?", "Evaluation Board Disconnect")) {
    const QString path = chooseSavePath("Configuration Save", "GUI_Config", dialog_filter(kConfigFilter));
    if (!path.isEmpty()) main_save_config(&session_->state, path.toStdString());
  }
  const bool was_open = io->chA.handle || io->chB.handle;
  if (kxKovaIo_EvalBoardClose(io) == 0 && was_open) kxKovaIo_UsbLogAdd(log_.get(), "Board disconnected");
  showBoardMessages();
  refreshBoards();
  if (was_open) emit boardDisconnected();
  return was_open;
}

void ConnectionConfigForm::goOffline() {
  const int32_t product = choice_combo_value(device_, -1);
  if (product < 0 || !__dev_DevicePartNumberValid(product)) {
    MessageError("INVALID Variant (-1)", "Work-Offline");
    return;
  }
  const kxKovaIo_HandleS *io = &session_->gui()->ioHandle;
  if (io->chA.handle || io->chB.handle) disconnectBoard();
  close();
  emit workOffline(product);
}

void ConnectionConfigForm::saveLog() {
  const QString path = chooseSavePath(KXKOVAIO_LOG_TITLE, KXKOVAIO_LOG_NAME, dialog_filter(KXKOVAIO_LOG_FILTER));
  if (path.isEmpty()) return;
  if (!kxKovaIo_UsbLogSave(log_.get(), path.toLocal8Bit().constData()))
    MessageError("Could not write " + path.toStdString() + ": " + std::strerror(errno), KXKOVAIO_LOG_TITLE);
}

bool ConnectionConfigForm::diagnosticRange(QLineEdit *addr, QLineEdit *count, uint32_t limit, uint32_t *a,
                                           uint32_t *n, const char *title) {
  bool okA = false, okN = false;
  *a = addr->text().toUInt(&okA, 16);
  *n = count->text().toUInt(&okN, 10);
  if (!okA || !okN || *n == 0 || *n > kDiagnosticMax || *a >= limit || *n > limit - *a) {
    MessageError(QString::asprintf("Address and count must lie within 0x000 to 0x%X, at most %u bytes.", limit - 1,
                                   kDiagnosticMax)
                     .toStdString(),
                 title);
    return false;
  }
  return true;
}

void ConnectionConfigForm::boardEepromRead() {
  uint32_t a = 0, n = 0;
  if (!diagnosticRange(eeAddr_, eeCount_, kBoardEepromSize, &a, &n, "Board EEPROM")) return;
  std::vector<uint8_t> bytes(n);
  const bool ok = kxKovaIo_EvalBrdEepromRead(&session_->gui()->ioHandle, a, n, bytes.data()) == 0;
  showBoardMessages();
  eeData_->setText(ok ? hex_bytes(bytes) : "ERROR");
}

void ConnectionConfigForm::boardEepromWrite() {
  uint32_t a = 0, n = 0;
  if (!diagnosticRange(eeAddr_, eeCount_, kBoardEepromSize, &a, &n, "Board EEPROM")) return;
  std::vector<uint8_t> bytes;
  if (!parse_hex_bytes(eeData_->text(), &bytes) || bytes.size() != n) {
    MessageError("Type " + std::to_string(n) + " bytes as two-digit hexadecimal numbers separated by blanks.",
                 "Board EEPROM");
    return;
  }
  // One write per EEPROM page: a write that ran over the end of a page would wrap round to
  // the page's start and overwrite what is there.
  const uint32_t page = EEPROMPageSize ? EEPROMPageSize : KX_CHIP_EEPROM_PAGE;
  bool ok = true;
  for (uint32_t done = 0; ok && done < n;) {
    const uint32_t at = a + done;
    const uint32_t len = std::min(n - done, page - at % page);
    ok = kxKovaIo_EvalBrdEepromWrite(&session_->gui()->ioHandle, at, len, bytes.data() + done, page) == 0;
    done += len;
  }
  showBoardMessages();
  if (!ok) eeData_->setText("ERROR");
}

void ConnectionConfigForm::chipRegisterRead() {
  uint32_t a = 0, n = 0;
  if (!diagnosticRange(regAddr_, regCount_, kChipRegisterCount, &a, &n, "Chip Registers")) return;
  std::vector<uint8_t> bytes(n);
  const bool ok = kxKovaIo_DutRegRead(&session_->gui()->ioHandle, a, n, bytes.data()) == 0;
  showBoardMessages();
  regData_->setText(ok ? hex_bytes(bytes) : "ERROR");
}
