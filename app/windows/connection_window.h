// The connection window: the evaluation boards found on the USB (and the emulated board
// when the emulator is installed), connect, disconnect, work offline, the device and
// emulation choices, the USB connection log and, for the super-user, the board EEPROM,
// chip register and GPIO diagnostics.
#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <memory>

#include "board/kxkovaio.h"

class KovaSession;

class ConnectionConfigForm : public QWidget {
  Q_OBJECT
 public:
  explicit ConnectionConfigForm(KovaSession *session, QWidget *parent = nullptr);
  ~ConnectionConfigForm() override;

  // Asks for the name of a file to save (title, proposed name, filter); empty when the user
  // cancelled. A file dialog by default; tests put their own.
  std::function<QString(const QString &title, const QString &name, const QString &filter)> chooseSavePath;

  // Shows or hides the super-user controls and refills the device list for the current
  // user mode (also done each time the window is shown).
  void applyUserMode();
  // Rebuilds the board list ("Refresh").
  void refreshBoards();

 signals:
  // A board's channels were opened into the session's board handle.
  void boardConnected();
  // Work offline with this product index.
  void workOffline(int productIndex);
  void boardDisconnected();

 protected:
  void showEvent(QShowEvent *event) override;

 private:
  void connectBoard();
  void openWithoutRouting(QListWidgetItem *item);
  bool disconnectBoard();
  void goOffline();
  void saveLog();
  void showLog();
  void showBoardMessages();
  void updateButtons();
  void boardEepromRead();
  void boardEepromWrite();
  void chipRegisterRead();
  bool diagnosticRange(QLineEdit *addr, QLineEdit *count, uint32_t limit, uint32_t *a, uint32_t *n,
                       const char *title);
  QWidget *buildDiagnostics();

  KovaSession *session_;
  std::unique_ptr<kxKovaIo_BoardListS> list_;
  std::unique_ptr<kxKovaIo_UsbLogS> log_;
  QListWidget *boards_;
  QPushButton *connect_, *disconnect_;
  QCheckBox *externalDut_;
  QLabel *status_;
  QComboBox *device_, *emulation_;
  QLabel *emulationLabel_;
  QPlainTextEdit *logView_;
  QGroupBox *diagnostics_;
  QLineEdit *eeAddr_, *eeCount_, *eeData_;
  QLineEdit *regAddr_, *regCount_, *regData_;
};
