// The script window: loads a configuration script into an editable text area, checks it,
// runs it against the connected chip (or, offline, the register image), derives the
// configuration from the resulting register values, keeps a run log and saves it, and saves
// the current configuration as a script. In customer mode loading a file does all of it in
// one go and closes the window after a successful load; in super-user mode every step has
// its own button.
#pragma once
#include <QWidget>

#include "app/script_window_ops.h"
#include "app/windows/session.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class RunScriptForm : public QWidget {
  Q_OBJECT
 public:
  explicit RunScriptForm(KovaSession *session, QWidget *parent = nullptr);

 private:
  void reload();
  void selectFile();
  void load();
  void validate();
  void execute();
  void inverse();
  void runAll();
  void save();
  void saveAs();
  void saveLog();
  // The text area into the runner, and the runner's log and marked line back.
  void takeText();
  void showResult();
  script_window_ctx_s context();
  QString askSaveName(const QString &title, const QString &filter);

  KovaSession *session_;
  script_runner_s runner_;
  QString fileName_;  // the script the configuration was last saved to or loaded from
  QLabel *targetLabel_;
  QLineEdit *fileEdit_;
  QCheckBox *reinitCheck_;
  QPlainTextEdit *scriptText_, *logText_;
  QPushButton *loadButton_, *validateButton_, *executeButton_, *inverseButton_, *runButton_;
};
