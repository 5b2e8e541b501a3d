#include "app/windows/input_monitor_window.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPushButton>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>

#include "app/app_options.h"
#include "app/user_dialog.h"
#include "app/windows/choice_combo.h"
#include "app/windows/session.h"

namespace {

struct indicator_def {
  const char *name, *object, *label;
};
constexpr indicator_def kIndicators[5] = {
    {"LKTO", "lktoIndicator", "Lock Timeout"}, {"LOS", "losIndicator", "Loss of Signal"},
    {"SCVAL", "scvalIndicator", "Input Monitor"}, {"VAL", "valIndicator", ""},
    {"VALT", "valtIndicator", ""},
};

const QColor kSeriesColor[4] = {QColor(0x1f, 0x77, 0xb4), QColor(0x2c, 0xa0, 0x2c), QColor(0x94, 0x67, 0xbd),
                                QColor(0xd6, 0x27, 0x28)};
const char *const kSeriesName[4] = {"IC1 (ppm)", "IC2 (ppm)", "IC3 (ppm)", "DPLL phase (ns)"};

// Green for a good state, orange for a bad one.
void show_state(QLabel *label, bool good) {
  label->setProperty("good", good);
  label->setStyleSheet(good ? "background-color: #2e9d3a; color: white; padding: 2px 6px;"
                            : "background-color: #f08a00; color: black; padding: 2px 6px;");
}

QString ic(int n) { return QString("IC%1").arg(n + 1); }

}  // namespace

InputRefMonitorForm::InputRefMonitorForm(KovaSession *session, QWidget *parent) : QWidget(parent), session_(session) {
  setObjectName("InputRefMonitorForm");
  clock_.start();

  inputGroup_ = new QGroupBox(this);
  inputGroup_->setObjectName("inputGroup");
  losCombo_ = new QComboBox(inputGroup_);
  losCombo_->setObjectName("losSourceCombo");
  choice_combo_load(losCombo_, choice_los_source_list());
  latencySpin_ = new MonitorNumberField(inputGroup_);
  latencySpin_->setObjectName("latencySpin");
  latencySpin_->setRange(0, 100000);
  latencySpin_->setSingleStep(1000);
  valwaitCombo_ = new QComboBox(inputGroup_);
  valwaitCombo_->setObjectName("valwaitCombo");
  valwaitCombo_->setPlaceholderText(INPUT_VALWAIT_NO_MATCH);
  valwaitCombo_->setMinimumContentsLength(12);
  valwaitSpin_ = new MonitorNumberField(inputGroup_);
  valwaitSpin_->setObjectName("valwaitSpin");
  valwaitSpin_->setRange(0, 100000);
  valwaitSpin_->setSingleStep(10);
  valwaitSpin_->setEnabled(!isInCustomerMode());
  valwaitSpin_->setToolTip("Validation wait in ms (super-user)");
  baseRateLabel_ = new QLabel(inputGroup_);
  baseRateLabel_->setObjectName("baseRateLabel");

  auto *valwaitRow = new QHBoxLayout;
  valwaitRow->addWidget(valwaitCombo_, 1);
  valwaitRow->addWidget(valwaitSpin_);
  auto *inputForm = new QFormLayout(inputGroup_);
  inputForm->addRow("LOS Source", losCombo_);
  inputForm->addRow("Loss-of-Signal Latency (us):", latencySpin_);
  inputForm->addRow("Validation Timer (ms)", valwaitRow);
  inputForm->addRow("", baseRateLabel_);

  statusGroup_ = new QGroupBox(this);
  statusGroup_->setObjectName("statusGroup");
  auto *statusGrid = new QGridLayout(statusGroup_);
  for (int i = 0; i < 5; ++i) {
    indicators_[i] = new QLabel(kIndicators[i].name, statusGroup_);
    indicators_[i]->setObjectName(kIndicators[i].object);
    indicators_[i]->setAlignment(Qt::AlignCenter);
    indicators_[i]->setMinimumWidth(60);
    statusGrid->addWidget(indicators_[i], i, 0);
    statusGrid->addWidget(new QLabel(kIndicators[i].label, statusGroup_), i, 1);
  }
  validLabel_ = new QLabel(statusGroup_);
  validLabel_->setObjectName("validLabel");
  validLabel_->setAlignment(Qt::AlignCenter);
  QFont bold = validLabel_->font();
  bold.setBold(true);
  validLabel_->setFont(bold);
  statusGrid->addWidget(validLabel_, 0, 2, 2, 1);
  clearButton_ = new QPushButton("Clear Lock Timeout", statusGroup_);
  clearButton_->setObjectName("clearLockTimeoutButton");
  statusGrid->addWidget(clearButton_, 3, 2, 2, 1);
  statusGrid->setColumnStretch(1, 1);

  refreshCombo_ = new QComboBox(this);
  refreshCombo_->setObjectName("refreshRateCombo");
  choice_list_s rates;
  ComboBoxUtil_LoadCharArray(&rates, __dev_FormRefreshOptionsStr, choice_count(__dev_FormRefreshOptionsStr));
  rates.selected = 0;
  choice_combo_load(refreshCombo_, rates);
  refreshButton_ = new QPushButton("Refresh", this);
  refreshButton_->setObjectName("refreshButton");
  refreshButton_->setEnabled(false);
  auto *refreshRow = new QHBoxLayout;
  refreshRow->addWidget(new QLabel("Refresh Rate", this));
  refreshRow->addWidget(refreshCombo_);
  refreshRow->addWidget(refreshButton_);
  refreshRow->addStretch();

  buildChart();

  auto *groups = new QHBoxLayout;
  groups->addWidget(inputGroup_, 3);
  groups->addWidget(statusGroup_, 2);
  auto *top = new QVBoxLayout(this);
  top->addLayout(groups);
  top->addLayout(refreshRow);
  top->addWidget(chartView_, 1);
  resize(760, 640);

  connect(losCombo_, &QComboBox::activated, this, [this](int i) {
    rec_.extLos = losCombo_->itemData(i).toInt();
    apply();
  });
  connect(latencySpin_, &QSpinBox::valueChanged, this, [this](int v) {
    rec_.losLatency = v;
    apply();
  });
  connect(valwaitSpin_, &QSpinBox::valueChanged, this, [this](int v) {
    rec_.validationWait = v;
    apply();
  });
  connect(valwaitCombo_, &QComboBox::activated, this, [this](int i) {
    const int32_t k = valwaitCombo_->itemData(i).toInt();
    rec_.validationWait = input_valwait_ms(rec_.validationTimerRate, k);
    apply();
  });
  connect(refreshCombo_, &QComboBox::activated, this, &InputRefMonitorForm::refreshChoice);
  connect(refreshButton_, &QPushButton::clicked, this, &InputRefMonitorForm::fetchStatus);
  connect(&timer_, &QTimer::timeout, this, &InputRefMonitorForm::fetchStatus);
  connect(clearButton_, &QPushButton::clicked, this, &InputRefMonitorForm::clearLockTimeout);
  connect(session_, &KovaSession::configurationChanged, this, &InputRefMonitorForm::refresh);
  connect(session_, &KovaSession::connectionChanged, this, &InputRefMonitorForm::refresh);
  connect(session_, &KovaSession::statusRefreshed, this, &InputRefMonitorForm::statusRefreshed);

  selectChannel(0);
}

void InputRefMonitorForm::selectChannel(int index) {
  if (index < 0 || index > 2) return;
  channel_ = index;
  memo_ = input_valwait_memo_s{};
  setWindowTitle(ic(index) + " Status and Monitoring");
  inputGroup_->setTitle(ic(index) + " Input");
  statusGroup_->setTitle(ic(index) + " Status");
  refresh();
  updateChart();
}

void InputRefMonitorForm::refresh() {
  refreshControls();
  refreshStatus();
}

void InputRefMonitorForm::refreshControls() {
  __dev_ConvertHalToApiInputConfigS(channel_, session_->hal(), &session_->gui()->inputClock[channel_]);
  rec_ = session_->gui()->inputClock[channel_];
  loading_ = true;
  choice_combo_select_value(losCombo_, rec_.extLos);
  latencySpin_->showValue(rec_.losLatency);
  valwaitSpin_->showValue(rec_.validationWait);
  baseRateLabel_->setText(QString("Base Freq: %1 Hz").arg(rec_.validationTimerRate, 0, 'f', 3));
  const choice_list_s waits =
      input_valwait_list(rec_.validationTimerRate, rec_.monitorRange, rec_.ppm.mode, rec_.validationWait);
  if (input_valwait_needs_rebuild(&memo_, rec_.validationTimerRate, rec_.monitorRange, rec_.ppm.mode))
    choice_combo_load(valwaitCombo_, waits);
  {
    // The selection follows the wait the object holds, also when the calculation changed it.
    const QSignalBlocker block(valwaitCombo_);
    valwaitCombo_->setCurrentIndex(waits.selected);
  }
  valwaitCombo_->setEnabled(rec_.monitorRange != 0);
  clearButton_->setEnabled(session_->connected());
  loading_ = false;
}

void InputRefMonitorForm::refreshStatus() {
  const input_status_s st = input_monitor_status(session_->hal(), channel_);
  const bool states[5] = {st.lock_timeout_good, st.loss_of_signal_good, st.monitor_good, st.val_good, st.valt_good};
  for (int i = 0; i < 5; ++i) show_state(indicators_[i], states[i]);
  validLabel_->setText(st.valid ? "VALID" : "INVALID");
  show_state(validLabel_, st.valid);
}

void InputRefMonitorForm::statusRefreshed() {
  input_offset_sample_s s{};
  if (input_history_sample(session_->hal(), static_cast<double>(clock_.elapsed()) / 1000.0, &s)) {
    input_history_add(&history_, s);
    updateChart();
  }
  if (input_monitor_refresh_follows_main(refreshChoice_)) refresh();
}

void InputRefMonitorForm::fetchStatus() {
  if (main_status_refresh(&session_->state)) session_->notifyStatusRefreshed();
  refresh();
}

void InputRefMonitorForm::apply() {
  if (loading_) return;
  const int n = channel_;
  session_->gui()->inputClock[n] = rec_;
  const __dev_InputClockConfigS rec = rec_;
  session_->change([n, rec](hal_api_s *hal) { __dev_ConvertApiToHalInputConfigS(n, &rec, hal); });
  // change() is refused while another window loads its controls: show the object again.
  refresh();
}

void InputRefMonitorForm::refreshChoice(int choice) {
  refreshChoice_ = choice;
  timer_.stop();
  const int32_t period = input_monitor_refresh_period_ms(choice);
  if (period > 0) timer_.start(period);
  refreshButton_->setEnabled(input_monitor_refresh_manual(choice));
}

void InputRefMonitorForm::clearLockTimeout() {
  if (!input_monitor_clear_lock_timeout(session_->gui(), session_->hal(), channel_)) {
    MessageError("Unable to clear the lock timeout of " + ic(channel_).toStdString() + ".",
                 (ic(channel_) + " Status and Monitoring").toStdString());
    return;
  }
  if (session_->connected()) fetchStatus();
}

// ---------------------------------------------------------------------------------------
// The chart

void InputRefMonitorForm::buildChart() {
  chart_ = new QChart;
  chart_->setObjectName("offsetChart");
  chart_->legend()->setAlignment(Qt::AlignBottom);
  timeAxis_ = new QValueAxis(chart_);
  timeAxis_->setTitleText("Time (s)");
  timeAxis_->setLabelFormat("%.0f");
  freqAxis_ = new QValueAxis(chart_);
  freqAxis_->setTitleText("Frequency offset (ppm)");
  phaseAxis_ = new QValueAxis(chart_);
  phaseAxis_->setTitleText("Phase offset (ns)");
  chart_->addAxis(timeAxis_, Qt::AlignBottom);
  chart_->addAxis(freqAxis_, Qt::AlignLeft);
  chart_->addAxis(phaseAxis_, Qt::AlignRight);
  for (int k = 0; k < 4; ++k) {
    series_[k] = new QLineSeries(chart_);
    series_[k]->setName(kSeriesName[k]);
    series_[k]->setColor(kSeriesColor[k]);
    chart_->addSeries(series_[k]);
    series_[k]->attachAxis(timeAxis_);
    series_[k]->attachAxis(k == INPUT_HISTORY_PHASE_SERIES ? phaseAxis_ : freqAxis_);
  }
  chartView_ = new QChartView(chart_, this);
  chartView_->setObjectName("offsetChartView");
  chartView_->setRenderHint(QPainter::Antialiasing);
  chartView_->setMinimumHeight(300);
}

void InputRefMonitorForm::updateChart() {
  for (QLineSeries *s : gapSeries_) {
    chart_->removeSeries(s);
    delete s;
  }
  gapSeries_.clear();
  const bool dpll = session_->hal()->kova_mode_e == kova_mode_ja_e;
  chart_->setTitle(dpll ? "Offsets over the last " + QString::number(history_.span_s / 60.0, 'f', 0) + " minutes"
                        : "No DPLL status outside jitter attenuation");
  for (int k = 0; k < 4; ++k) {
    QPen pen(kSeriesColor[k]);
    pen.setWidthF(k == channel_ || k == INPUT_HISTORY_PHASE_SERIES ? 2.5 : 1.2);
    const std::vector<input_history_run> runs = input_history_runs(history_, k);
    for (size_t r = 0; r < std::max<size_t>(runs.size(), 1); ++r) {
      QList<QPointF> points;
      if (r < runs.size())
        for (const auto &p : runs[r]) points.append(QPointF(p.first, p.second));
      QLineSeries *s = series_[k];
      if (r > 0) {
        // A run after a gap is a line of its own in the same colour, without a legend entry.
        s = new QLineSeries;
        chart_->addSeries(s);
        s->attachAxis(timeAxis_);
        s->attachAxis(k == INPUT_HISTORY_PHASE_SERIES ? phaseAxis_ : freqAxis_);
        for (QLegendMarker *m : chart_->legend()->markers(s)) m->setVisible(false);
        gapSeries_.push_back(s);
      }
      s->setPen(pen);
      s->replace(points);
    }
  }
  const double last = history_.samples.empty() ? 0.0 : history_.samples.back().t_s;
  const double first = std::max(0.0, last - history_.span_s);
  timeAxis_->setRange(first, std::max(first + 60.0, last));
  const auto fr = input_history_value_range(history_, {0, 1, 2});
  freqAxis_->setRange(fr.first, fr.second);
  const auto pr = input_history_value_range(history_, {INPUT_HISTORY_PHASE_SERIES});
  phaseAxis_->setRange(pr.first, pr.second);
  freqAxis_->applyNiceNumbers();
  phaseAxis_->applyNiceNumbers();
}
