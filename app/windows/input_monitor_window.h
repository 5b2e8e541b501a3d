// The input status and monitoring window of one input (IC1 to IC3): the loss-of-signal
// source and latency, the validation timer, the input's monitor status bits and validity,
// the lock-timeout clear command, the window's own refresh rate, and a live chart of the
// inputs' frequency offsets and the DPLL phase offset over the last minutes of status
// refreshes, so that a lock can be watched settling.
#pragma once
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QWidget>
#include <array>
#include <vector>

#include "app/input_monitor_ops.h"

class KovaSession;
class QChart;
class QChartView;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineSeries;
class QPushButton;
class QValueAxis;

// A whole-number field of the monitor windows: applies on Enter, on leaving it or on a
// step (never while typing) and shows its last loaded value again on Escape.
class MonitorNumberField : public QSpinBox {
  Q_OBJECT
 public:
  explicit MonitorNumberField(QWidget *parent = nullptr) : QSpinBox(parent) { setKeyboardTracking(false); }
  // Shows a value loaded from the configuration (no change signal).
  void showValue(int v) {
    shown_ = v;
    const QSignalBlocker block(this);
    setValue(v);
  }

 protected:
  void keyPressEvent(QKeyEvent *e) override {
    if (e->key() == Qt::Key_Escape) {
      showValue(shown_);
      e->accept();
      return;
    }
    QSpinBox::keyPressEvent(e);
  }

 private:
  int shown_ = 0;
};

class InputRefMonitorForm : public QWidget {
  Q_OBJECT
 public:
  explicit InputRefMonitorForm(KovaSession *session, QWidget *parent = nullptr);
  int channel() const { return channel_; }
  // The offsets recorded at each status refresh since the window opened (the last minutes).
  const input_offset_history_s &history() const { return history_; }

 public slots:
  void selectChannel(int index);
  // Controls from the object, then the status from the register image.
  void refresh();

 private:
  void refreshControls();
  void refreshStatus();
  void statusRefreshed();
  // Fetches the chip's status (the window's own timer and "Refresh"), which every status
  // display then shows.
  void fetchStatus();
  void apply();
  void refreshChoice(int choice);
  void clearLockTimeout();
  void buildChart();
  void updateChart();

  KovaSession *session_;
  int channel_ = 0;
  __dev_InputClockConfigS rec_{};
  input_valwait_memo_s memo_;
  input_offset_history_s history_;
  QElapsedTimer clock_;
  QTimer timer_;
  int refreshChoice_ = 0;
  bool loading_ = false;

  QGroupBox *inputGroup_, *statusGroup_;
  QComboBox *losCombo_, *valwaitCombo_, *refreshCombo_;
  MonitorNumberField *latencySpin_, *valwaitSpin_;
  QLabel *baseRateLabel_, *validLabel_;
  std::array<QLabel *, 5> indicators_{};
  QPushButton *clearButton_, *refreshButton_;
  QChartView *chartView_;
  QChart *chart_;
  QValueAxis *timeAxis_, *freqAxis_, *phaseAxis_;
  std::array<QLineSeries *, 4> series_{};  // IC1..IC3 frequency offset, DPLL phase offset
  std::vector<QLineSeries *> gapSeries_;    // further runs of a series after a gap
};
