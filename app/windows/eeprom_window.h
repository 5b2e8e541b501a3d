// The EEPROM window: builds a boot image file from up to four configuration scripts, writes
// an image file to the EEPROM the product boots from (the chip's own, or the board's),
// dumps that EEPROM to a file and verifies it against a file. Writing, dumping and verifying
// show their progress in a modal progress window whose Cancel button stops the operation
// between two pages.
#pragma once
#include <QDialog>
#include <QWidget>
#include <array>
#include <functional>

#include "app/eeprom_window_ops.h"
#include "app/windows/session.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The progress of one long EEPROM operation. Cancel (or closing it) asks the operation to
// stop after the page in flight.
class EepromProgressDialog : public QDialog {
  Q_OBJECT
 public:
  explicit EepromProgressDialog(QWidget *parent = nullptr);
  void start(const QString &what);
  // Shows done of total and lets the user's clicks through; false once Cancel was pressed.
  bool step(uint32_t done, uint32_t total);
  void finish();
  bool cancelled() const { return cancelled_; }

 public slots:
  void reject() override;

 private:
  QString what_;
  QLabel *label_;
  QProgressBar *bar_;
  QPushButton *cancel_;
  bool cancelled_ = false;
};

class EEPROMForm : public QWidget {
  Q_OBJECT
 public:
  explicit EEPROMForm(KovaSession *session, QWidget *parent = nullptr);

 protected:
  void closeEvent(QCloseEvent *e) override;

 private:
  void reload();
  void createImage();
  void writeImage(bool board);
  void dumpEeprom();
  void verifyEeprom();
  // Runs a board operation behind the progress window and shows its message.
  void runOperation(const QString &what, const std::function<eeprom_result_s(const eeprom_progress_fn &)> &op);
  void browse(QLineEdit *edit, bool save, const QString &title, const QString &filter);
  eeprom_window_target_s target() const;
  eeprom_io_s io() const;

  KovaSession *session_;
  int32_t product_ = -2;  // product the controls were loaded for
  bool busy_ = false;
  QLabel *targetLabel_;
  QComboBox *sizeCombo_, *pageCombo_, *clockCombo_;
  QCheckBox *reserveCheck_;
  std::array<QCheckBox *, EEPROM_WINDOW_SCRIPTS> scriptCheck_{};
  std::array<QLineEdit *, EEPROM_WINDOW_SCRIPTS> scriptEdit_{};
  QLineEdit *outputEdit_, *imageEdit_, *dumpEdit_;
  QPushButton *createButton_, *writeDutButton_, *writeBoardButton_, *dumpButton_, *verifyButton_;
  EepromProgressDialog *progress_;
};
