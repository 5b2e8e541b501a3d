// The phase tools of the chip: "Phase Measurement" runs the phase meter between two chosen
// signals, "Phase Adjustment" steps each output's phase with the arm and trigger logic.
// Both act on the chip's registers directly (on the register image offline).
#pragma once
#include <QWidget>

#include "app/phase_ops.h"

class KovaSession;
class FieldEdit;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

class PhaseMeasureForm : public QWidget {
  Q_OBJECT
 public:
  explicit PhaseMeasureForm(KovaSession *session, QWidget *parent = nullptr);

 private:
  void sourceChosen(int which);
  void invertToggled(int which);
  void timeBaseChosen();
  void reset();
  void start();
  phase_io_s io() const;
  bool told(bool ok);

  KovaSession *session_;
  bool opening_ = true, openFailed_ = false;  // one message for the reads made while opening
  QComboBox *source_[2]{};
  QCheckBox *invert_[2]{};
  QComboBox *timeBase_ = nullptr;
  QLabel *period_ = nullptr;
  QLabel *result_ = nullptr;
  QPushButton *start_ = nullptr;
  double periodNs_ = 0.0;
};

class PhaseAdjustForm : public QWidget {
  Q_OBJECT
 public:
  explicit PhaseAdjustForm(KovaSession *session, QWidget *parent = nullptr);

 protected:
  void closeEvent(QCloseEvent *event) override;

 private:
  void enableToggled(int n);
  void adjustApplied(int n, const QString &text);
  void sourcesChosen();
  void command(uint8_t cmd);
  phase_io_s io() const;
  bool told(bool ok);

  KovaSession *session_;
  bool opening_ = true, openFailed_ = false;
  QCheckBox *enable_[3]{};
  FieldEdit *adjust_[3]{};
  QLabel *adjusted_[3]{};
  QComboBox *arm_ = nullptr;
  QComboBox *trigger_ = nullptr;
  QCheckBox *triggerInvert_ = nullptr;
  QCheckBox *relative_ = nullptr;
  QPushButton *armButton_ = nullptr;
  QPushButton *triggerButton_ = nullptr;
};
