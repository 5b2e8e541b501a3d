#include "app/windows/script_window.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QTextBlock>
#include <QVBoxLayout>

#include "app/app_options.h"
#include "app/script_board.h"
#include "app/user_dialog.h"
#include "app/windows/known_freq_window.h"
#include "app/windows/widget_util.h"

namespace {

const char *const kScriptFilter = "Script File (*.mfg);;Show All Files (*)";
const char *const kLogFilter = "Text File (*.txt);;Log File (*.log);;Show All Files (*)";
const char *const kScriptDirKey = "script/lastDirectory";


}  // namespace

RunScriptForm::RunScriptForm(KovaSession *session, QWidget *parent) : QWidget(parent), session_(session) {
  setObjectName("RunScriptForm");
  setWindowTitle("Run Script");

  fileEdit_ = new QLineEdit(this);
  fileEdit_->setObjectName("scriptFileEdit");
  fileEdit_->setMinimumWidth(360);
  auto *selectButton = named_button("Select...", "selectButton", this);
  connect(selectButton, &QPushButton::clicked, this, &RunScriptForm::selectFile);
  loadButton_ = named_button("Load", "loadButton", this);
  connect(loadButton_, &QPushButton::clicked, this, &RunScriptForm::load);
  connect(fileEdit_, &QLineEdit::returnPressed, this, &RunScriptForm::load);
  reinitCheck_ = new QCheckBox("Re-initialize DUT prior to loading the file", this);
  reinitCheck_->setObjectName("reinitCheck");
  targetLabel_ = new QLabel(this);
  targetLabel_->setObjectName("targetLabel");

  auto *top = new QGridLayout;
  top->addWidget(new QLabel("Script file:", this), 0, 0);
  top->addWidget(fileEdit_, 0, 1);
  top->addWidget(selectButton, 0, 2);
  top->addWidget(loadButton_, 0, 3);
  top->addWidget(reinitCheck_, 1, 1, 1, 3);
  top->addWidget(targetLabel_, 2, 1, 1, 3);
  top->setColumnStretch(1, 1);

  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  auto *scriptBox = new QGroupBox("Script", this);
  scriptText_ = new QPlainTextEdit(scriptBox);
  scriptText_->setObjectName("scriptText");
  scriptText_->setFont(fixed);
  scriptText_->setLineWrapMode(QPlainTextEdit::NoWrap);
  (new QVBoxLayout(scriptBox))->addWidget(scriptText_);
  auto *logBox = new QGroupBox("Run Log", this);
  logText_ = new QPlainTextEdit(logBox);
  logText_->setObjectName("runLog");
  logText_->setFont(fixed);
  logText_->setReadOnly(true);
  logText_->setLineWrapMode(QPlainTextEdit::NoWrap);
  (new QVBoxLayout(logBox))->addWidget(logText_);
  auto *split = new QSplitter(Qt::Horizontal, this);
  split->addWidget(scriptBox);
  split->addWidget(logBox);
  split->setChildrenCollapsible(false);

  validateButton_ = named_button("Validate", "validateButton", this);
  validateButton_->setToolTip("Check every command line of the script");
  connect(validateButton_, &QPushButton::clicked, this, &RunScriptForm::validate);
  executeButton_ = named_button("Execute", "executeButton", this);
  executeButton_->setToolTip("Run the script's register writes and waits");
  connect(executeButton_, &QPushButton::clicked, this, &RunScriptForm::execute);
  inverseButton_ = named_button("Inverse", "inverseButton", this);
  inverseButton_->setToolTip("Derive the configuration from the register values");
  connect(inverseButton_, &QPushButton::clicked, this, &RunScriptForm::inverse);
  runButton_ = named_button("Run", "runButton", this);
  runButton_->setToolTip("Validate, run and derive the configuration from the script as shown");
  connect(runButton_, &QPushButton::clicked, this, &RunScriptForm::runAll);
  auto *saveButton = named_button("Save Config", "saveButton", this);
  saveButton->setToolTip("Save the current configuration as a script");
  connect(saveButton, &QPushButton::clicked, this, &RunScriptForm::save);
  auto *saveAsButton = named_button("Save Config As...", "saveAsButton", this);
  saveAsButton->setToolTip("Save the current configuration as a script under a new name");
  connect(saveAsButton, &QPushButton::clicked, this, &RunScriptForm::saveAs);
  auto *saveLogButton = named_button("Save Log...", "saveLogButton", this);
  connect(saveLogButton, &QPushButton::clicked, this, &RunScriptForm::saveLog);
  auto *buttons = new QHBoxLayout;
  for (QPushButton *b : {validateButton_, executeButton_, inverseButton_, runButton_}) buttons->addWidget(b);
  buttons->addStretch();
  for (QPushButton *b : {saveButton, saveAsButton, saveLogButton}) buttons->addWidget(b);

  auto *lay = new QVBoxLayout(this);
  lay->addLayout(top);
  lay->addWidget(split, 1);
  lay->addLayout(buttons);
  resize(900, 560);

  connect(session_, &KovaSession::connectionChanged, this, &RunScriptForm::reload);
  connect(session_, &KovaSession::configurationChanged, this, &RunScriptForm::reload);
  reload();
}

void RunScriptForm::reload() {
  const bool super_user = !isInCustomerMode();
  executeButton_->setVisible(super_user);
  inverseButton_->setVisible(super_user);
  targetLabel_->setText(session_->connected() ? "Board connected: the script runs on the chip."
                                              : "Offline: the script runs on the register image.");
}

script_window_ctx_s RunScriptForm::context() {
  script_window_ctx_s ctx;
  ctx.state = &session_->state;
  ctx.board = script_board_target(&session_->gui()->ioHandle);
  ctx.known_frequency = [this](hal_api_s *hal) {
    InverseIOFreqForm form(hal, this);
    return form.exec() == QDialog::Accepted;
  };
  return ctx;
}

void RunScriptForm::takeText() {
  script_load_text(&runner_, scriptText_->toPlainText().toStdString());
  runner_.reinit = reinitCheck_->isChecked();
}

void RunScriptForm::showResult() {
  QStringList lines;
  for (const auto &l : runner_.log) lines << QString::fromStdString(l);
  logText_->setPlainText(lines.join('\n'));
  logText_->moveCursor(QTextCursor::End);
  // The first bad line of the last step, marked in the script.
  QList<QTextEdit::ExtraSelection> marks;
  if (runner_.marked_line > 0) {
    const QTextBlock block = scriptText_->document()->findBlockByNumber(runner_.marked_line - 1);
    if (block.isValid()) {
      QTextEdit::ExtraSelection mark;
      mark.format.setBackground(QColor(255, 200, 200));
      mark.format.setProperty(QTextFormat::FullWidthSelection, true);
      mark.cursor = QTextCursor(block);
      marks << mark;
      scriptText_->setTextCursor(mark.cursor);
      scriptText_->ensureCursorVisible();
    }
  }
  scriptText_->setExtraSelections(marks);
}

void RunScriptForm::selectFile() {
  QSettings settings;
  QString dir = fileEdit_->text().trimmed();
  if (dir.isEmpty()) dir = settings.value(kScriptDirKey).toString();
  const QString name = QFileDialog::getOpenFileName(this, "Select Script", dir, kScriptFilter);
  if (name.isEmpty()) return;
  settings.setValue(kScriptDirKey, QFileInfo(name).absolutePath());
  fileEdit_->setText(name);
  load();
}

void RunScriptForm::load() {
  if (!isInCustomerMode() && !scriptText_->toPlainText().trimmed().isEmpty() &&
      app_dialog().ask_yes_no("Save existing Config file?", "DUT Config Load"))
    saveAs();
  file_message_s msg;
  if (!script_load_file(&runner_, fileEdit_->text().trimmed().toStdString(), &msg)) {
    show_file_message(msg);
    return;
  }
  fileName_ = QString::fromStdString(runner_.file_name);
  QStringList lines;
  for (const auto &l : runner_.lines) lines << QString::fromStdString(l);
  scriptText_->setPlainText(lines.join('\n'));
  showResult();
  if (!isInCustomerMode()) return;
  // Customer mode: the whole load in one go.
  runAll();
  if (runner_.run_ok) close();
}

void RunScriptForm::validate() {
  takeText();
  script_window_ctx_s ctx = context();
  script_window_validate(&ctx, &runner_);
  showResult();
}

void RunScriptForm::execute() {
  takeText();
  script_window_ctx_s ctx = context();
  script_window_execute(&ctx, &runner_);
  showResult();
  session_->notifyConfigurationChanged();
}

void RunScriptForm::inverse() {
  script_window_ctx_s ctx = context();
  script_window_inverse(&ctx, &runner_);
  showResult();
  session_->notifyConfigurationChanged();
}

void RunScriptForm::runAll() {
  takeText();
  script_window_ctx_s ctx = context();
  script_window_load_and_apply(&ctx, &runner_);
  showResult();
  session_->notifyConfigurationChanged();
}

QString RunScriptForm::askSaveName(const QString &title, const QString &filter) {
  QSettings settings;
  const QString name = QFileDialog::getSaveFileName(this, title, settings.value(kScriptDirKey).toString(), filter);
  if (!name.isEmpty()) settings.setValue(kScriptDirKey, QFileInfo(name).absolutePath());
  return name;
}

void RunScriptForm::save() {
  if (fileName_.isEmpty()) {
    saveAs();
    return;
  }
  file_message_s msg;
  script_save_file(session_->hal(), fileName_.toStdString(), KOVA_GUI_VERSION, &msg);
  show_file_message(msg);
}

void RunScriptForm::saveAs() {
  const QString name = askSaveName("Save DUT Config File", kScriptFilter);
  if (name.isEmpty()) return;
  fileName_ = name;
  save();
}

void RunScriptForm::saveLog() {
  const QString name = askSaveName("Save Run Log", kLogFilter);
  if (name.isEmpty()) return;
  file_message_s msg;
  script_log_save(name.toStdString(), runner_.log, &msg);
  show_file_message(msg);
}
