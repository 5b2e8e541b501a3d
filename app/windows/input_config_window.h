// The input configuration window of one input (IC1 to IC3): the monitor state, the
// frequency range the product offers, the ppm monitor mode, the accept and reject
// thresholds (percent in the coarse range, ppm in the fine one) and the hysteresis, with
// the input's dividers. Each change goes through the ordinary editing flow at once.
#pragma once
#include <QWidget>

#include "app/input_monitor_ops.h"

class KovaSession;
class MonitorNumberField;
class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;

class InputConfigForm : public QWidget {
  Q_OBJECT
 public:
  explicit InputConfigForm(KovaSession *session, QWidget *parent = nullptr);
  int channel() const { return channel_; }

 public slots:
  void selectChannel(int index);
  void refresh();

 private:
  void apply();

  KovaSession *session_;
  int channel_ = 0;
  __dev_InputClockConfigS rec_{};
  bool loading_ = false;

  QFormLayout *form_;
  QLabel *freqLabel_, *hsdivLabel_, *divLabel_, *acceptLabel_;
  QComboBox *stateCombo_, *rangeCombo_, *ppmCombo_;
  MonitorNumberField *acceptSpin_, *rejectSpin_;
  QCheckBox *hysteresisCheck_;
};
