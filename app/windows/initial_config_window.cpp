#include "app/windows/initial_config_window.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/choice_texts.h"
#include "app/freq_entry.h"
#include "app/user_dialog.h"
#include "app/windows/choice_combo.h"
#include "app/windows/freq_calc_window.h"
#include "app/windows/session.h"

namespace {

constexpr int kXaDecimals = 7;

QString xa_label(int32_t mode) {
  return QString(mode >= 0 && mode < 4 ? __dev_XaXbLabelStr[mode] : __dev_XaXbLabelStr[0]) + ":";
}

}  // namespace

InitialConfigForm::InitialConfigForm(KovaSession *session, QWidget *parent) : QDialog(parent), session_(session) {
  setObjectName("InitialConfigForm");
  setWindowTitle("Initial Configuration");
  // No close box: the window is left through "Done".
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

  const hal_api_s *hal = session_->hal();
  const int32_t product = __dev_ConvertHalToApiPartNumber(hal->kova_device_e);
  const QString part = product >= 0 ? KovaProduct[product].partNumber : QString("KX%1").arg(hal->kova_device_e);

  auto *device = new QLabel("Selected Device: " + part, this);
  device->setObjectName("deviceLabel");
  QFont bold = device->font();
  bold.setBold(true);
  device->setFont(bold);

  modeCombo_ = new QComboBox(this);
  modeCombo_->setObjectName("modeCombo");
  xaCombo_ = new QComboBox(this);
  xaCombo_->setObjectName("xaCombo");
  xaLabel_ = new QLabel(this);
  xaLabel_->setObjectName("xaLabel");
  freq_ = new FieldEdit(this);
  freq_->setObjectName("xaFreqEdit");
  freq_->setValidator(new EntryCharValidator(field_frequency_e, freq_));

  auto *doneButton = new QPushButton("Done", this);
  doneButton->setObjectName("doneButton");
  doneButton->setAutoDefault(false);

  auto *form = new QFormLayout;
  form->addRow("Device Mode:", modeCombo_);
  form->addRow(xaLabel_, xaCombo_);
  form->addRow("Frequency (MHz):", freq_);

  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(doneButton);

  auto *top = new QVBoxLayout(this);
  top->addWidget(device);
  top->addLayout(form);
  top->addLayout(buttons);

  if (!__dev_DevicePartNumberValid(product))
    MessageError("Device Type ERROR: " + std::to_string(product), "Device Variant Check");

  const choice_list_s modes = choice_device_mode_list(product, hal->kova_mode_e);
  choice_combo_load(modeCombo_, modes);
  mode_ = ComboBoxUtil_GetSelectedValue(modes, 0);
  masterClock_ = __dev_XaModeToMasterClock(hal->xa_mode_e);
  fillMasterClock(false);

  xaMhz_ = fprec_s_2_double_mhz(hal->xa_freq_s);
  freq_->showValue(QString::fromStdString(DoubleTextBox_Format(xaMhz_, kXaDecimals)));

  connect(modeCombo_, &QComboBox::currentIndexChanged, this, &InitialConfigForm::modeChosen);
  connect(xaCombo_, &QComboBox::currentIndexChanged, this,
          [this]() { masterClock_ = choice_combo_value(xaCombo_, masterClock_); });
  connect(freq_, &FieldEdit::applied, this, &InitialConfigForm::frequencyApplied);
  connect(doneButton, &QPushButton::clicked, this, &InitialConfigForm::done);
}

void InitialConfigForm::fillMasterClock(bool tell) {
  bool kept = false;
  const choice_list_s list = choice_master_clock_list(mode_, masterClock_, &kept);
  choice_combo_load(xaCombo_, list);
  masterClock_ = ComboBoxUtil_GetSelectedValue(list, masterClock_);
  xaLabel_->setText(xa_label(mode_));
  if (tell && !kept) MessageError("Xa Pin was not updated by the Device Mode Change", "Initial Configuration");
}

void InitialConfigForm::modeChosen() {
  mode_ = choice_combo_value(modeCombo_, mode_);
  // The XA pin choice shown so far (the object's at opening) is kept when the new mode
  // offers it.
  fillMasterClock(true);
}

void InitialConfigForm::frequencyApplied(const QString &text) {
  DoubleTextBox_Validate(text.toStdString(), 0.0, KOVA_FREQ_MAX_MHZ, true, &xaMhz_);
  freq_->showValue(QString::fromStdString(DoubleTextBox_Format(xaMhz_, kXaDecimals)));
}

void InitialConfigForm::done() {
  if (freq_->isModified()) frequencyApplied(freq_->text());
  accept();
}

void InitialConfigForm::keyPressEvent(QKeyEvent *event) {
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}
