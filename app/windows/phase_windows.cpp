#include "app/windows/phase_windows.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/choice_texts.h"
#include "app/user_dialog.h"
#include "app/windows/field_edit.h"
#include "app/windows/session.h"

namespace {

constexpr const char *kMeasureTitle = "Phase Measurement";
constexpr const char *kAdjustTitle = "Phase Adjustment";
constexpr const char *kNoAnswer = "No answer from the chip: the phase registers could not be read or written.";

// A phase read or write the chip did not answer: while the window opens it is only noted,
// so that the opening reads end in one message; afterwards it is told at once.
bool answered(bool ok, bool opening, bool *openFailed, const char *title) {
  if (ok) return true;
  if (opening)
    *openFailed = true;
  else
    MessageError(kNoAnswer, title);
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Phase measurement

PhaseMeasureForm::PhaseMeasureForm(KovaSession *session, QWidget *parent) : QWidget(parent), session_(session) {
  setObjectName("PhaseMeasureForm");
  setWindowTitle(kMeasureTitle);

  auto *form = new QGridLayout;
  const char *labels[2] = {"Signal A:", "Signal B:"};
  const uint32_t regs[2] = {PHASE_REG_MABCR2, PHASE_REG_MABCR3};
  for (int w = 0; w < 2; ++w) {
    source_[w] = new QComboBox(this);
    source_[w]->setObjectName(w == 0 ? "sourceA" : "sourceB");
    for (const phase_signal_s &s : PHASE_METER_SIGNALS) source_[w]->addItem(s.text, s.code);
    invert_[w] = new QCheckBox("Invert", this);
    invert_[w]->setObjectName(w == 0 ? "invertA" : "invertB");
    form->addWidget(new QLabel(labels[w], this), w, 0);
    form->addWidget(source_[w], w, 1);
    form->addWidget(invert_[w], w, 2);
    // The chip's current sources: bit 7 inverts, bits 4..0 the source (no choice for a code
    // outside the list).
    uint8_t v = 0;
    told(io().read(regs[w], &v));
    source_[w]->setCurrentIndex(phase_signal_index(v & 0x1F));
    invert_[w]->setChecked(v & 0x80);
    connect(source_[w], &QComboBox::activated, this, [this, w]() { sourceChosen(w); });
    connect(invert_[w], &QCheckBox::toggled, this, [this, w]() { invertToggled(w); });
  }

  timeBase_ = new QComboBox(this);
  timeBase_->setObjectName("timeBase");
  period_ = new QLabel(this);
  period_->setObjectName("periodLabel");
  form->addWidget(new QLabel("Time Base:", this), 2, 0);
  form->addWidget(timeBase_, 2, 1);
  form->addWidget(period_, 2, 2);
  const std::vector<phase_timebase_s> bases = phase_timebase_list(session_->hal());
  for (const phase_timebase_s &b : bases) timeBase_->addItem(b.text, b.tbsrc);
  uint8_t cr1 = 0;
  told(io().read(PHASE_REG_MABCR1, &cr1));
  const int tb = timeBase_->findData(cr1 & 7);
  timeBase_->setCurrentIndex(tb < 0 ? 0 : tb);
  // A time base the list does not offer is replaced by the first offered one, so the period
  // shown is the one the chip measures with.
  if (tb < 0)
    timeBaseChosen();
  else
    periodNs_ = phase_period_ns(bases[static_cast<size_t>(tb)].freq);
  period_->setText(QString::fromStdString(phase_period_text(periodNs_)));
  connect(timeBase_, &QComboBox::activated, this, &PhaseMeasureForm::timeBaseChosen);

  result_ = new QLabel(this);
  result_->setObjectName("resultLabel");
  result_->setMinimumWidth(120);
  form->addWidget(new QLabel("Measurement (ns):", this), 3, 0);
  form->addWidget(result_, 3, 1);

  auto *resetButton = new QPushButton("Reset", this);
  resetButton->setObjectName("resetButton");
  start_ = new QPushButton("Start", this);
  start_->setObjectName("startButton");
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(resetButton);
  buttons->addWidget(start_);

  auto *top = new QVBoxLayout(this);
  top->addLayout(form);
  top->addLayout(buttons);
  top->addStretch();

  connect(resetButton, &QPushButton::clicked, this, &PhaseMeasureForm::reset);
  connect(start_, &QPushButton::clicked, this, &PhaseMeasureForm::start);
  reset();
  opening_ = false;
  told(!openFailed_);
}

phase_io_s PhaseMeasureForm::io() const { return {session_->gui(), session_->hal()}; }

bool PhaseMeasureForm::told(bool ok) { return answered(ok, opening_, &openFailed_, kMeasureTitle); }

void PhaseMeasureForm::sourceChosen(int which) {
  if (source_[which]->currentIndex() < 0) return;
  told(phase_meter_source_set(io(), which, static_cast<uint8_t>(source_[which]->currentData().toInt())));
}

void PhaseMeasureForm::invertToggled(int which) {
  told(phase_meter_invert_set(io(), which, invert_[which]->isChecked()));
}

void PhaseMeasureForm::timeBaseChosen() {
  const int i = timeBase_->currentIndex();
  const std::vector<phase_timebase_s> bases = phase_timebase_list(session_->hal());
  if (i < 0 || static_cast<size_t>(i) >= bases.size()) return;
  told(phase_meter_timebase_set(io(), bases[static_cast<size_t>(i)].tbsrc));
  periodNs_ = phase_period_ns(bases[static_cast<size_t>(i)].freq);
  period_->setText(QString::fromStdString(phase_period_text(periodNs_)));
}

void PhaseMeasureForm::reset() {
  result_->setText("Ready");
  told(phase_meter_reset(io()));
  start_->setEnabled(true);
}

void PhaseMeasureForm::start() {
  const phase_meter_result_s r = phase_meter_start(io(), periodNs_);
  result_->setText(QString::fromStdString(r.text));
  // One measurement per reset.
  start_->setEnabled(false);
  if (r.outcome == phase_meter_timeout_e)
    MessageError("Timeout: the phase meter was still busy after " + std::to_string(r.polls) +
                     " reads; the measurement was stopped.",
                 kMeasureTitle);
  else if (r.outcome == phase_meter_no_answer_e)
    told(false);
}

// ---------------------------------------------------------------------------------------
// Phase adjustment

PhaseAdjustForm::PhaseAdjustForm(KovaSession *session, QWidget *parent) : QWidget(parent), session_(session) {
  setObjectName("PhaseAdjustForm");
  setWindowTitle(kAdjustTitle);

  auto *outputs = new QGroupBox("Output Phase", this);
  auto *grid = new QGridLayout(outputs);
  grid->addWidget(new QLabel("Adjust (ns)", this), 0, 2);
  grid->addWidget(new QLabel("Applied (ns)", this), 0, 3);
  const uint32_t cr1[3] = {0x200, 0x210, 0x220};
  for (int n = 0; n < 3; ++n) {
    grid->addWidget(new QLabel(__dev_OutputClockStr[n], this), n + 1, 0);
    enable_[n] = new QCheckBox("Enable", this);
    enable_[n]->setObjectName(QString("enable%1").arg(n));
    uint8_t v = 0;
    told(io().read(cr1[n], &v));
    enable_[n]->setChecked(v & 0x80);
    adjust_[n] = new FieldEdit(this);
    adjust_[n]->setObjectName(QString("adjust%1").arg(n));
    adjust_[n]->showValue("0");
    adjusted_[n] = new QLabel("0.000", this);
    adjusted_[n]->setObjectName(QString("adjusted%1").arg(n));
    adjusted_[n]->setMinimumWidth(80);
    grid->addWidget(enable_[n], n + 1, 1);
    grid->addWidget(adjust_[n], n + 1, 2);
    grid->addWidget(adjusted_[n], n + 1, 3);
    connect(enable_[n], &QCheckBox::toggled, this, [this, n]() { enableToggled(n); });
    connect(adjust_[n], &FieldEdit::applied, this, [this, n](const QString &t) { adjustApplied(n, t); });
  }

  arm_ = new QComboBox(this);
  arm_->setObjectName("armSource");
  for (const char *t : __dev_PhaseAdjustArmSourceStr) arm_->addItem(t);
  trigger_ = new QComboBox(this);
  trigger_->setObjectName("triggerSource");
  for (const char *t : __dev_PhaseAdjustTriggerSrcStr) trigger_->addItem(t);
  triggerInvert_ = new QCheckBox("Trigger Inverted", this);
  triggerInvert_->setObjectName("triggerInvert");
  relative_ = new QCheckBox("Relative to Current Phase", this);
  relative_->setObjectName("relativeMode");
  // Sources and switches as the chip holds them: PACR2 holds the arm source (1 to 7, list
  // position + 1) over the trigger source (0 to 7); PACR1 bit 1 TINV, bit 0 MODE.
  uint8_t pacr1 = 0, pacr2 = 0;
  told(io().read(PHASE_REG_PACR1, &pacr1) && io().read(PHASE_REG_PACR2, &pacr2));
  const int armPos = (pacr2 >> 4) - 1, trigPos = pacr2 & 0x0F;
  arm_->setCurrentIndex(armPos >= 0 && armPos < arm_->count() ? armPos : 0);
  trigger_->setCurrentIndex(trigPos < trigger_->count() ? trigPos : 0);
  triggerInvert_->setChecked(pacr1 & 0x02);
  relative_->setChecked(pacr1 & 0x01);

  auto *resetButton = new QPushButton("Reset", this);
  resetButton->setObjectName("resetButton");
  armButton_ = new QPushButton("Arm", this);
  armButton_->setObjectName("armButton");
  triggerButton_ = new QPushButton("Trigger", this);
  triggerButton_->setObjectName("triggerButton");

  auto *control = new QGroupBox("Arm and Trigger", this);
  auto *form = new QFormLayout(control);
  form->addRow("Arm Source:", arm_);
  form->addRow("Trigger Source:", trigger_);
  form->addRow(triggerInvert_);
  form->addRow(relative_);
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(resetButton);
  buttons->addWidget(armButton_);
  buttons->addWidget(triggerButton_);
  form->addRow(buttons);

  auto *top = new QVBoxLayout(this);
  top->addWidget(outputs);
  top->addWidget(control);
  top->addStretch();

  connect(arm_, &QComboBox::activated, this, &PhaseAdjustForm::sourcesChosen);
  connect(trigger_, &QComboBox::activated, this, &PhaseAdjustForm::sourcesChosen);
  connect(resetButton, &QPushButton::clicked, this, [this]() { command(PHASE_CMD_RESET); });
  connect(armButton_, &QPushButton::clicked, this, [this]() { command(PHASE_CMD_ARM); });
  connect(triggerButton_, &QPushButton::clicked, this, [this]() { command(PHASE_CMD_TRIGGER); });
  armButton_->setEnabled(arm_->currentIndex() == 0);
  triggerButton_->setEnabled(trigger_->currentIndex() == 0);
  opening_ = false;
  told(!openFailed_);
}

phase_io_s PhaseAdjustForm::io() const { return {session_->gui(), session_->hal()}; }

bool PhaseAdjustForm::told(bool ok) { return answered(ok, opening_, &openFailed_, kAdjustTitle); }

void PhaseAdjustForm::enableToggled(int n) { told(phase_adjust_enable(io(), n, enable_[n]->isChecked())); }

void PhaseAdjustForm::adjustApplied(int n, const QString &text) {
  bool parsed = false;
  const double d = text.trimmed().toDouble(&parsed);
  if (!parsed) {
    adjust_[n]->showValue(adjust_[n]->shownValue());
    return;
  }
  bool ok = false;
  const double made = phase_adjust_set(io(), n, d, &ok);
  if (!told(ok)) return;
  adjust_[n]->showValue(text.trimmed());
  adjusted_[n]->setText(QString::number(made, 'f', 3));
}

void PhaseAdjustForm::sourcesChosen() {
  const int arm = arm_->currentIndex(), trig = trigger_->currentIndex();
  // Arm source 1 is the "Arm" button, trigger source 0 the "Trigger" button.
  told(phase_adjust_sources_set(io(), arm < 0 ? 0 : arm + 1, trig));
  armButton_->setEnabled(arm == 0);
  triggerButton_->setEnabled(trig == 0);
  if (trig == 0) triggerInvert_->setChecked(false);
}

void PhaseAdjustForm::command(uint8_t cmd) {
  told(phase_adjust_command(io(), cmd, triggerInvert_->isChecked(), relative_->isChecked()));
}

void PhaseAdjustForm::closeEvent(QCloseEvent *event) {
  told(phase_adjust_close(io()));
  session_->notifyConfigurationChanged();
  QWidget::closeEvent(event);
}
