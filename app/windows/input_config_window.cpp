#include "app/windows/input_config_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "app/windows/choice_combo.h"
#include "app/windows/input_monitor_window.h"
#include "app/windows/session.h"

InputConfigForm::InputConfigForm(KovaSession *session, QWidget *parent) : QWidget(parent), session_(session) {
  setObjectName("InputConfigForm");

  freqLabel_ = new QLabel(this);
  freqLabel_->setObjectName("frequencyLabel");
  hsdivLabel_ = new QLabel(this);
  hsdivLabel_->setObjectName("hsdivLabel");
  divLabel_ = new QLabel(this);
  divLabel_->setObjectName("divLabel");
  auto *clock = new QGroupBox("Input Clock", this);
  auto *clockForm = new QFormLayout(clock);
  clockForm->addRow("Frequency (MHz):", freqLabel_);
  clockForm->addRow("HSDIV:", hsdivLabel_);
  clockForm->addRow("DIV:", divLabel_);

  stateCombo_ = new QComboBox(this);
  stateCombo_->setObjectName("monitorStateCombo");
  choice_list_s states;
  ComboBoxUtil_LoadCharArray(&states, __dev_MonitorStateStr, choice_count(__dev_MonitorStateStr));
  choice_combo_load(stateCombo_, states);
  rangeCombo_ = new QComboBox(this);
  rangeCombo_->setObjectName("monitorRangeCombo");
  ppmCombo_ = new QComboBox(this);
  ppmCombo_->setObjectName("ppmModeCombo");
  acceptLabel_ = new QLabel(this);
  acceptLabel_->setObjectName("acceptLabel");
  acceptSpin_ = new MonitorNumberField(this);
  acceptSpin_->setObjectName("acceptSpin");
  rejectSpin_ = new MonitorNumberField(this);
  rejectSpin_->setObjectName("rejectSpin");
  rejectSpin_->setRange(0, INPUT_FINE_MAX_PPM);
  rejectSpin_->setSingleStep(INPUT_FINE_STEP_PPM);
  hysteresisCheck_ = new QCheckBox("Hysteresis Off", this);
  hysteresisCheck_->setObjectName("hysteresisCheck");

  auto *monitor = new QGroupBox("Input Monitor", this);
  form_ = new QFormLayout(monitor);
  form_->addRow("Monitor State:", stateCombo_);
  form_->addRow("Monitor Range:", rangeCombo_);
  form_->addRow("PPM Monitor Mode:", ppmCombo_);
  form_->addRow(acceptLabel_, acceptSpin_);
  form_->addRow("", hysteresisCheck_);
  form_->addRow("Reject Threshold (ppm)", rejectSpin_);

  auto *top = new QVBoxLayout(this);
  top->addWidget(clock);
  top->addWidget(monitor);
  top->addStretch();

  connect(stateCombo_, &QComboBox::activated, this, [this](int i) {
    input_config_choose_state(&rec_, stateCombo_->itemData(i).toInt());
    apply();
  });
  connect(rangeCombo_, &QComboBox::activated, this, [this](int i) {
    input_config_choose_range(&rec_, rangeCombo_->itemData(i).toInt());
    apply();
  });
  connect(ppmCombo_, &QComboBox::activated, this, [this](int i) {
    rec_.ppm.mode = ppmCombo_->itemData(i).toInt();
    apply();
  });
  connect(hysteresisCheck_, &QCheckBox::clicked, this, [this](bool checked) {
    input_config_set_hysteresis_off(&rec_, checked);
    apply();
  });
  connect(acceptSpin_, &QSpinBox::valueChanged, this, [this](int v) {
    input_config_set_accept(&rec_, v);
    apply();
  });
  connect(rejectSpin_, &QSpinBox::valueChanged, this, [this](int v) {
    input_config_set_reject(&rec_, v);
    apply();
  });
  connect(session_, &KovaSession::configurationChanged, this, &InputConfigForm::refresh);
  connect(session_, &KovaSession::statusRefreshed, this, &InputConfigForm::refresh);

  selectChannel(0);
}

void InputConfigForm::selectChannel(int index) {
  if (index < 0 || index > 2) return;
  channel_ = index;
  setWindowTitle(QString("IC%1 Input Configuration").arg(index + 1));
  refresh();
}

void InputConfigForm::refresh() {
  const hal_api_s *hal = session_->hal();
  __dev_ConvertHalToApiInputConfigS(channel_, hal, &session_->gui()->inputClock[channel_]);
  rec_ = session_->gui()->inputClock[channel_];
  loading_ = true;
  const double mhz = fprec_s_2_double_mhz(rec_.frequency);
  freqLabel_->setText(QString::number(mhz, 'f', 6));
  hsdivLabel_->setText(QString::number(rec_.hsdiv));
  divLabel_->setText(QString::number(rec_.div));

  choice_combo_select_value(stateCombo_, rec_.monitorMode);
  choice_combo_load(rangeCombo_,
                    input_config_range_list(__dev_ConvertHalToApiPartNumber(hal->kova_device_e), rec_.monitorRange));
  choice_combo_load(ppmCombo_, choice_ppm_monitor_list(mhz, rec_.ppm.mode));

  const input_config_layout_s l = input_config_layout(rec_);
  form_->setRowVisible(rangeCombo_, l.range_shown);
  form_->setRowVisible(ppmCombo_, l.ppm_shown);
  form_->setRowVisible(acceptSpin_, l.accept_shown);
  form_->setRowVisible(hysteresisCheck_, l.hysteresis_shown);
  form_->setRowVisible(rejectSpin_, l.reject_shown);
  acceptLabel_->setText(QString::fromStdString(l.accept_label));
  {
    const QSignalBlocker block(acceptSpin_);
    acceptSpin_->setRange(l.accept_min, l.accept_max);
    acceptSpin_->setSingleStep(l.accept_step);
  }
  acceptSpin_->showValue(l.accept_value);
  rejectSpin_->showValue(l.reject_value);
  {
    const QSignalBlocker block(hysteresisCheck_);
    hysteresisCheck_->setChecked(rec_.hysteresisOff != 0);
  }
  loading_ = false;
}

void InputConfigForm::apply() {
  if (loading_) return;
  const int n = channel_;
  session_->gui()->inputClock[n] = rec_;
  const __dev_InputClockConfigS rec = rec_;
  session_->change([n, rec](hal_api_s *hal) { __dev_ConvertApiToHalInputConfigS(n, &rec, hal); });
  refresh();
}
