// The window of a new configuration: the device mode the product offers, the XA pin mode
// allowed in that mode and the XA frequency. It only collects the three values; the main
// window applies them when the window is left through "Done".
#pragma once
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <cstdint>

#include "app/windows/field_edit.h"

class KovaSession;

class InitialConfigForm : public QDialog {
  Q_OBJECT
 public:
  explicit InitialConfigForm(KovaSession *session, QWidget *parent = nullptr);
  int32_t deviceMode() const { return mode_; }
  // The application's master-clock mode (the XA pin choice).
  int32_t masterClockMode() const { return masterClock_; }
  double xaMhz() const { return xaMhz_; }

 protected:
  // Left only through "Done": Escape reverts a field but never closes the window.
  void keyPressEvent(QKeyEvent *event) override;

 private:
  void modeChosen();
  void fillMasterClock(bool tell);
  void frequencyApplied(const QString &text);
  void done();

  KovaSession *session_;
  int32_t mode_ = 0;
  int32_t masterClock_ = 0;
  double xaMhz_ = 0.0;
  QLabel *xaLabel_;
  QComboBox *modeCombo_, *xaCombo_;
  FieldEdit *freq_;
};
