#include "app/windows/eeprom_window.h"
#include "app/windows/widget_util.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include "app/app_options.h"
#include "app/device_settings.h"
#include "app/user_dialog.h"
#include "files/eeprom_image.h"

namespace {

const char *const kScriptFilter = "Script File (*.mfg);;Show All Files (*)";
const char *const kImageFilter =
    "EEPROM Image File (*.hex *.rec *.txt);;Intel HEX (*.hex);;S-Record (*.rec);;Byte List (*.txt);;Show All Files (*)";
const char *const kEepromDirKey = "eeprom/lastDirectory";

std::string s(const QLineEdit *e) { return e->text().trimmed().toStdString(); }


}  // namespace

// ---------------------------------------------------------------------------------------

EepromProgressDialog::EepromProgressDialog(QWidget *parent) : QDialog(parent) {
  setObjectName("eepromProgress");
  setWindowTitle("EEPROM");
  setWindowModality(Qt::ApplicationModal);
  label_ = new QLabel(this);
  label_->setObjectName("progressLabel");
  label_->setMinimumWidth(360);
  bar_ = new QProgressBar(this);
  bar_->setObjectName("progressBar");
  cancel_ = new QPushButton("Cancel", this);
  cancel_->setObjectName("cancelButton");
  connect(cancel_, &QPushButton::clicked, this, &EepromProgressDialog::reject);
  auto *lay = new QVBoxLayout(this);
  lay->addWidget(label_);
  lay->addWidget(bar_);
  auto *row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(cancel_);
  lay->addLayout(row);
}

void EepromProgressDialog::start(const QString &what) {
  what_ = what;
  cancelled_ = false;
  cancel_->setEnabled(true);
  bar_->setRange(0, 1);
  bar_->setValue(0);
  label_->setText(what + "...");
  show();
  QCoreApplication::processEvents();
}

bool EepromProgressDialog::step(uint32_t done, uint32_t total) {
  if (!cancelled_) label_->setText(q(eeprom_window_progress_text(what_.toStdString(), done, total)));
  bar_->setRange(0, static_cast<int>(total));
  bar_->setValue(static_cast<int>(done));
  // The only place the user's Cancel can come in: the operation runs on this thread.
  QCoreApplication::processEvents();
  return !cancelled_;
}

void EepromProgressDialog::finish() { hide(); }

void EepromProgressDialog::reject() {
  // The dialog stays up until the operation has stopped after its page.
  cancelled_ = true;
  cancel_->setEnabled(false);
  label_->setText(what_ + ": cancelling after this page...");
}

// ---------------------------------------------------------------------------------------

EEPROMForm::EEPROMForm(KovaSession *session, QWidget *parent) : QWidget(parent), session_(session) {
  setObjectName("EEPROMForm");
  setWindowTitle("EEPROM");

  targetLabel_ = new QLabel(this);
  targetLabel_->setObjectName("targetLabel");
  targetLabel_->setWordWrap(true);

  // The EEPROM itself: size, page size of the board EEPROM, reserved bytes.
  auto *eeBox = new QGroupBox("EEPROM", this);
  auto *eeGrid = new QGridLayout(eeBox);
  sizeCombo_ = new QComboBox(eeBox);
  sizeCombo_->setObjectName("sizeCombo");
  for (int i = 0; i < EEPROM_WINDOW_SIZES; ++i) sizeCombo_->addItem(eeprom_window_size_text(i));
  sizeCombo_->setCurrentIndex(EEPROM_WINDOW_SIZE_DEFAULT);
  pageCombo_ = new QComboBox(eeBox);
  pageCombo_->setObjectName("pageCombo");
  for (int i = 0; i < EEPROM_WINDOW_PAGES; ++i) pageCombo_->addItem(eeprom_window_page_text(i));
  pageCombo_->setCurrentIndex(eeprom_window_page_index(EEPROMPageSize));
  connect(pageCombo_, &QComboBox::activated, this, [](int i) { EEPROMPageSize = kxKovaIo_EepromPageSizeChoice(i); });
  reserveCheck_ = new QCheckBox("Treat last 12 bytes as Reserved", eeBox);
  reserveCheck_->setObjectName("reserveCheck");
  eeGrid->addWidget(new QLabel("EEPROM size:", eeBox), 0, 0);
  eeGrid->addWidget(sizeCombo_, 0, 1);
  eeGrid->addWidget(new QLabel("Board EEPROM page size:", eeBox), 0, 2);
  eeGrid->addWidget(pageCombo_, 0, 3);
  eeGrid->addWidget(reserveCheck_, 1, 0, 1, 4);
  eeGrid->setColumnStretch(4, 1);

  // Creating an image file from scripts.
  auto *createBox = new QGroupBox("Create EEPROM Image File", this);
  auto *cGrid = new QGridLayout(createBox);
  for (int b = 0; b < EEPROM_WINDOW_SCRIPTS; ++b) {
    scriptCheck_[b] = new QCheckBox(QString("Script %1:").arg(b + 1), createBox);
    scriptCheck_[b]->setObjectName(QString("scriptCheck%1").arg(b));
    scriptCheck_[b]->setChecked(b == 0);
    scriptCheck_[b]->setToolTip(QString("Use this script as branch %1 of the image").arg(b));
    scriptEdit_[b] = new QLineEdit(createBox);
    scriptEdit_[b]->setObjectName(QString("scriptEdit%1").arg(b));
    scriptEdit_[b]->setMinimumWidth(320);
    scriptEdit_[b]->setEnabled(b == 0);
    auto *browseBtn = new QPushButton("Browse...", createBox);
    browseBtn->setObjectName(QString("scriptBrowse%1").arg(b));
    browseBtn->setEnabled(b == 0);
    QLineEdit *edit = scriptEdit_[b];
    connect(scriptCheck_[b], &QCheckBox::toggled, edit, &QLineEdit::setEnabled);
    connect(scriptCheck_[b], &QCheckBox::toggled, browseBtn, &QPushButton::setEnabled);
    connect(browseBtn, &QPushButton::clicked, this,
            [this, edit] { browse(edit, false, "Select DUT Config File", kScriptFilter); });
    cGrid->addWidget(scriptCheck_[b], b, 0);
    cGrid->addWidget(scriptEdit_[b], b, 1, 1, 2);
    cGrid->addWidget(browseBtn, b, 3);
  }
  clockCombo_ = new QComboBox(createBox);
  clockCombo_->setObjectName("clockCombo");
  for (int i = 0; i < EEPROM_WINDOW_CLOCKS; ++i) clockCombo_->addItem(eeprom_window_clock_text(i));
  clockCombo_->setCurrentIndex(EEPROM_WINDOW_CLOCK_DEFAULT);
  cGrid->addWidget(new QLabel("SPI clock:", createBox), 4, 0);
  auto *clockRow = new QHBoxLayout;
  clockRow->addWidget(clockCombo_);
  clockRow->addStretch();
  cGrid->addLayout(clockRow, 4, 1, 1, 3);
  outputEdit_ = new QLineEdit(createBox);
  outputEdit_->setObjectName("outputEdit");
  outputEdit_->setToolTip("Ending .hex: Intel HEX; .rec: S-record; any other name: one byte per line");
  auto *outBrowse = new QPushButton("Browse...", createBox);
  outBrowse->setObjectName("outputBrowse");
  connect(outBrowse, &QPushButton::clicked, this,
          [this] { browse(outputEdit_, true, "Save EEPROM Image File", kImageFilter); });
  cGrid->addWidget(new QLabel("Output file:", createBox), 5, 0);
  cGrid->addWidget(outputEdit_, 5, 1, 1, 2);
  cGrid->addWidget(outBrowse, 5, 3);
  createButton_ = new QPushButton("Create Image File", createBox);
  createButton_->setObjectName("createButton");
  connect(createButton_, &QPushButton::clicked, this, &EEPROMForm::createImage);
  auto *createRow = new QHBoxLayout;
  createRow->addStretch();
  createRow->addWidget(createButton_);
  cGrid->addLayout(createRow, 6, 0, 1, 4);
  cGrid->setColumnStretch(1, 1);

  // The board's EEPROM: write, dump, verify.
  auto *boardBox = new QGroupBox("Write, Dump and Verify", this);
  auto *bGrid = new QGridLayout(boardBox);
  imageEdit_ = new QLineEdit(boardBox);
  imageEdit_->setObjectName("imageEdit");
  imageEdit_->setToolTip("The image file to write, or the image or dump file to verify against");
  auto *imgBrowse = new QPushButton("Browse...", boardBox);
  imgBrowse->setObjectName("imageBrowse");
  connect(imgBrowse, &QPushButton::clicked, this,
          [this] { browse(imageEdit_, false, "Select EEPROM Image File", kImageFilter); });
  bGrid->addWidget(new QLabel("Image file:", boardBox), 0, 0);
  bGrid->addWidget(imageEdit_, 0, 1);
  bGrid->addWidget(imgBrowse, 0, 2);
  writeDutButton_ = new QPushButton("Write Image to DUT EEPROM", boardBox);
  writeDutButton_->setObjectName("writeDutButton");
  connect(writeDutButton_, &QPushButton::clicked, this, [this] { writeImage(false); });
  writeBoardButton_ = new QPushButton("Write Image to Board EEPROM", boardBox);
  writeBoardButton_->setObjectName("writeBoardButton");
  connect(writeBoardButton_, &QPushButton::clicked, this, [this] { writeImage(true); });
  verifyButton_ = new QPushButton(boardBox);
  verifyButton_->setObjectName("verifyButton");
  connect(verifyButton_, &QPushButton::clicked, this, &EEPROMForm::verifyEeprom);
  auto *writeRow = new QHBoxLayout;
  writeRow->addWidget(writeDutButton_);
  writeRow->addWidget(writeBoardButton_);
  writeRow->addWidget(verifyButton_);
  writeRow->addStretch();
  bGrid->addLayout(writeRow, 1, 1, 1, 2);
  dumpEdit_ = new QLineEdit(boardBox);
  dumpEdit_->setObjectName("dumpEdit");
  dumpEdit_->setToolTip("Ending .hex: Intel HEX; .rec: S-record; any other name: one byte per line");
  auto *dumpBrowse = new QPushButton("Browse...", boardBox);
  dumpBrowse->setObjectName("dumpBrowse");
  connect(dumpBrowse, &QPushButton::clicked, this,
          [this] { browse(dumpEdit_, true, "EEPROM Memory Dump File", kImageFilter); });
  bGrid->addWidget(new QLabel("Dump file:", boardBox), 2, 0);
  bGrid->addWidget(dumpEdit_, 2, 1);
  bGrid->addWidget(dumpBrowse, 2, 2);
  dumpButton_ = new QPushButton(boardBox);
  dumpButton_->setObjectName("dumpButton");
  connect(dumpButton_, &QPushButton::clicked, this, &EEPROMForm::dumpEeprom);
  auto *dumpRow = new QHBoxLayout;
  dumpRow->addWidget(dumpButton_);
  dumpRow->addStretch();
  bGrid->addLayout(dumpRow, 3, 1, 1, 2);
  bGrid->setColumnStretch(1, 1);

  auto *lay = new QVBoxLayout(this);
  lay->addWidget(targetLabel_);
  lay->addWidget(eeBox);
  lay->addWidget(createBox);
  lay->addWidget(boardBox);
  lay->addStretch();

  progress_ = new EepromProgressDialog(this);

  connect(session_, &KovaSession::configurationChanged, this, &EEPROMForm::reload);
  connect(session_, &KovaSession::connectionChanged, this, &EEPROMForm::reload);
  reload();
}

eeprom_window_target_s EEPROMForm::target() const {
  return eeprom_window_target(__dev_ConvertHalToApiPartNumber(session_->hal()->kova_device_e));
}

eeprom_io_s EEPROMForm::io() const {
  return eeprom_window_io(&session_->gui()->ioHandle, target(), sizeCombo_->currentIndex(), reserveCheck_->isChecked());
}

void EEPROMForm::reload() {
  const int32_t product = __dev_ConvertHalToApiPartNumber(session_->hal()->kova_device_e);
  const eeprom_window_target_s t = eeprom_window_target(product);
  // The reserve flag follows the product; in super-user mode the user may change it after.
  if (product != product_) reserveCheck_->setChecked(t.reserve12);
  product_ = product;
  reserveCheck_->setVisible(!isInCustomerMode());

  const bool online = session_->connected();
  const QString part = t.part_number.empty() ? QString("This device") : q(t.part_number);
  QString text = t.board ? part + " boots from the board EEPROM." : part + " boots from its own EEPROM (DUT EEPROM).";
  text += online ? " Board connected." : " Offline: image files can be created; writing, dumping and verifying need a board.";
  targetLabel_->setText(text);

  dumpButton_->setText(q(t.dump_text));
  verifyButton_->setText(q(t.verify_text));
  const QString offline_tip = EEPROM_WINDOW_OFFLINE_TIP;
  const QString other_tip = q(eeprom_window_other_target_tip(t));
  writeDutButton_->setEnabled(online && t.chip_write);
  writeDutButton_->setToolTip(!online ? offline_tip : t.chip_write ? QString("Write the image file to the DUT EEPROM") : other_tip);
  writeBoardButton_->setEnabled(online && t.board_write);
  writeBoardButton_->setToolTip(!online ? offline_tip : t.board_write ? QString("Write the image file to the board EEPROM") : other_tip);
  for (QPushButton *b : {dumpButton_, verifyButton_}) {
    b->setEnabled(online);
    b->setToolTip(online ? QString() : offline_tip);
  }
  pageCombo_->setEnabled(t.board);
  pageCombo_->setToolTip(t.board ? QString("Page size of the board EEPROM's writes")
                                 : QString("The DUT EEPROM is always written in pages of 32 bytes"));
}

void EEPROMForm::browse(QLineEdit *edit, bool save, const QString &title, const QString &filter) {
  QSettings settings;
  QString dir = edit->text().trimmed();
  if (dir.isEmpty()) dir = settings.value(kEepromDirKey).toString();
  const QString name = save ? QFileDialog::getSaveFileName(this, title, dir, filter)
                            : QFileDialog::getOpenFileName(this, title, dir, filter);
  if (name.isEmpty()) return;
  settings.setValue(kEepromDirKey, QFileInfo(name).absolutePath());
  edit->setText(name);
}

void EEPROMForm::createImage() {
  std::vector<std::string> inputs(EEPROM_WINDOW_SCRIPTS);
  for (int b = 0; b < EEPROM_WINDOW_SCRIPTS; ++b)
    if (scriptCheck_[b]->isChecked()) inputs[b] = s(scriptEdit_[b]);
  const std::string out = s(outputEdit_);
  if (out.empty()) {
    MessageError("No EEPROM image file specified!", "File Save Error!");
    return;
  }
  kova_eeprom_create_s c;
  const bool written = kova_eeprom_create_file(inputs, out, eeprom_window_clock_ns(clockCombo_->currentIndex()),
                                               eeprom_window_size_bytes(sizeCombo_->currentIndex()),
                                               reserveCheck_->isChecked() ? 1 : 0, &c);
  MessageError(c.text, c.title);
  // The image just made is the one the user will write or verify next.
  if (written) imageEdit_->setText(q(out));
}

void EEPROMForm::runOperation(const QString &what,
                              const std::function<eeprom_result_s(const eeprom_progress_fn &)> &op) {
  if (busy_) return;
  busy_ = true;
  // No status refresh between two pages: it would talk to the chip in the middle of a write.
  main_ui_s *ui = session_->state.ui;
  const bool timer_was_running = ui ? ui->timer_stop() : false;
  progress_->start(what);
  const eeprom_result_s r =
      op([this](uint32_t done, uint32_t total) { return progress_->step(done, total); });
  progress_->finish();
  if (ui) ui->timer_restore(timer_was_running);
  busy_ = false;
  show_file_message(r.msg);
}

void EEPROMForm::writeImage(bool board) {
  const eeprom_window_target_s t = target();
  if (!session_->connected() || board != t.board) return;
  const eeprom_io_s e = io();
  const std::string path = s(imageEdit_);
  runOperation(board ? "Writing board EEPROM" : "Writing DUT EEPROM", [&](const eeprom_progress_fn &progress) {
    return eeprom_program_file(
        e, path, [](const std::string &text, const std::string &title) { return app_dialog().ask_yes_no(text, title); },
        progress);
  });
}

void EEPROMForm::dumpEeprom() {
  if (!session_->connected()) return;
  const eeprom_io_s e = io();
  const std::string path = s(dumpEdit_);
  runOperation(target().board ? "Reading board EEPROM" : "Reading DUT EEPROM",
               [&](const eeprom_progress_fn &progress) { return eeprom_dump_file(e, path, progress); });
}

void EEPROMForm::verifyEeprom() {
  if (!session_->connected()) return;
  const eeprom_io_s e = io();
  const std::string path = s(imageEdit_);
  runOperation(target().board ? "Verifying board EEPROM" : "Verifying DUT EEPROM",
               [&](const eeprom_progress_fn &progress) { return eeprom_verify_file(e, path, progress); });
}

void EEPROMForm::closeEvent(QCloseEvent *e) {
  if (busy_) {
    // Closing in the middle of an operation cancels it; the window goes once it has stopped.
    progress_->reject();
    e->ignore();
    return;
  }
  QWidget::closeEvent(e);
}
