#include "app/windows/known_freq_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/freq_entry.h"
#include "app/user_dialog.h"
#include "app/windows/freq_calc_window.h"

namespace {

const char *const kClocks[] = {"IC1", "IC2", "IC3", "OC1", "OC2", "OC3", "XA"};

fprec_s *clock_field(hal_api_s *hal, int index) {
  switch (index) {
    case 0: return &hal->ic1_freq_s;
    case 1: return &hal->ic2_freq_s;
    case 2: return &hal->ic3_freq_s;
    case 3: return &hal->oc1_freq_s;
    case 4: return &hal->oc2_freq_s;
    case 5: return &hal->oc3_freq_s;
    case 6: return &hal->xa_freq_s;
    default: return nullptr;
  }
}

}  // namespace

InverseIOFreqForm::InverseIOFreqForm(hal_api_s *hal, QWidget *parent) : QDialog(parent), hal_(hal) {
  setObjectName("InverseIOFreqForm");
  setWindowTitle("Information Needed");

  auto *prompt = new QLabel("Please specify the frequency of one input or output clock.", this);
  prompt->setObjectName("promptLabel");
  clock_ = new QComboBox(this);
  clock_->setObjectName("clockCombo");
  for (const char *c : kClocks) clock_->addItem(c);
  clock_->setCurrentIndex(0);

  edit_ = new FieldEdit(this);
  edit_->setObjectName("freqEdit");
  edit_->setValidator(new EntryCharValidator(field_frequency_e, edit_));
  edit_->setMinimumWidth(140);
  edit_->showValue("");

  auto *frac = new QPushButton("Frac", this);
  frac->setObjectName("fracButton");
  frac->setToolTip("Enter the frequency as base x numerator / denominator");
  auto *doneButton = new QPushButton("Done", this);
  doneButton->setObjectName("doneButton");
  // Enter applies the frequency field; only Done closes.
  frac->setAutoDefault(false);
  doneButton->setAutoDefault(false);

  auto *grid = new QGridLayout;
  grid->addWidget(new QLabel("Clock Signal:", this), 0, 0);
  grid->addWidget(clock_, 0, 1);
  grid->addWidget(new QLabel("Frequency (MHz):", this), 1, 0);
  grid->addWidget(edit_, 1, 1);
  grid->addWidget(frac, 1, 2);

  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(doneButton);

  auto *top = new QVBoxLayout(this);
  top->addWidget(prompt);
  top->addLayout(grid);
  top->addLayout(buttons);

  connect(edit_, &FieldEdit::applied, this, &InverseIOFreqForm::typed);
  connect(frac, &QPushButton::clicked, this, &InverseIOFreqForm::openCalculator);
  connect(doneButton, &QPushButton::clicked, this, &InverseIOFreqForm::done);
}

void InverseIOFreqForm::showFrequency() {
  const double mhz = freq_.m ? static_cast<double>(freq_.f) * 0.000001 * freq_.n / freq_.m : 0.0;
  edit_->showValue(QString::fromStdString(DoubleTextBox_Format(mhz, 6)));
}

void InverseIOFreqForm::typed(const QString &text) {
  // Entered like the calculator's base, so that a frequency above the 32-bit range of
  // hertz becomes an exact factored triple instead of wrapping round.
  freq_calc_s calc{0, 1, 1};
  if (freq_calc_set_base(&calc, text.toStdString())) set_fprec_s(&freq_, calc.base_hz, calc.numerator, calc.denominator);
  showFrequency();
}

void InverseIOFreqForm::openCalculator() {
  FrequencyCalcForm calc("Calculate IO Frequency", freq_, this);
  if (calc.exec() != QDialog::Accepted) return;
  freq_ = calc.value();
  showFrequency();
}

void InverseIOFreqForm::done() {
  if (edit_->isModified()) emit edit_->returnPressed();
  fprec_s *field = hal_ ? clock_field(hal_, clock_->currentIndex()) : nullptr;
  const bool has_frequency = freq_.m != 0 && freq_.f != 0 && freq_.n != 0;
  if (!field || !has_frequency) {
    MessageError("Please select an IO and frequency", "");
    return;
  }
  *field = freq_;
  accept();
}
