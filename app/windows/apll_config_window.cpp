#include "app/windows/apll_config_window.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/apll_window_ops.h"
#include "app/windows/choice_combo.h"
#include "app/windows/session.h"

namespace {

QLabel *value_label(const char *name, QWidget *parent) {
  auto *l = new QLabel(parent);
  l->setObjectName(name);
  l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  l->setMinimumWidth(90);
  return l;
}

}  // namespace

ApllConfigForm::ApllConfigForm(KovaSession *session, QWidget *parent) : QWidget(parent), session_(session) {
  setObjectName("ApllConfigForm");
  setWindowTitle("APLL Configuration");

  hsdiv1_ = value_label("hsdiv1Label", this);
  hsdiv2_ = value_label("hsdiv2Label", this);
  step_ = value_label("phaseStepLabel", this);
  incSource_ = new QComboBox(this);
  incSource_->setObjectName("incSourceCombo");
  decSource_ = new QComboBox(this);
  decSource_->setObjectName("decSourceCombo");
  increment_ = new QPushButton("Increment", this);
  increment_->setObjectName("incrementButton");
  decrement_ = new QPushButton("Decrement", this);
  decrement_->setObjectName("decrementButton");
  for (QPushButton *b : {increment_, decrement_}) b->setAutoDefault(false);

  auto *dividers = new QGroupBox("High-Speed Dividers", this);
  dividers->setObjectName("dividersGroup");
  auto *form = new QFormLayout(dividers);
  form->addRow("HSDIV1:", hsdiv1_);
  form->addRow("HSDIV2:", hsdiv2_);

  auto *phase = new QGroupBox("Phase Adjustment", this);
  phase->setObjectName("phaseGroup");
  form = new QFormLayout(phase);
  form->addRow("Phase Adjustment Step (1/8 VCO):", step_);
  form->addRow("Phase Increment Source:", incSource_);
  form->addRow("Phase Decrement Source:", decSource_);
  auto *clicks = new QHBoxLayout;
  clicks->addWidget(increment_);
  clicks->addWidget(decrement_);
  clicks->addStretch();
  form->addRow(clicks);

  auto *refreshButton = new QPushButton("Refresh", this);
  refreshButton->setObjectName("refreshButton");
  refreshButton->setAutoDefault(false);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(refreshButton);

  auto *top = new QVBoxLayout(this);
  top->addWidget(dividers);
  top->addWidget(phase);
  top->addLayout(buttons);

  connect(incSource_, &QComboBox::activated, this, [this](int i) {
    const uint32_t v = incSource_->itemData(i).toUInt();
    apply([v](hal_api_s *h) { h->apllcr4_piss_u3 = v; });
  });
  connect(decSource_, &QComboBox::activated, this, [this](int i) {
    const uint32_t v = decSource_->itemData(i).toUInt();
    apply([v](hal_api_s *h) { h->apllcr4_pdss_u3 = v; });
  });
  connect(increment_, &QPushButton::clicked, this, [this]() { apply([](hal_api_s *h) { apll_phase_click(h, true); }); });
  connect(decrement_, &QPushButton::clicked, this, [this]() { apply([](hal_api_s *h) { apll_phase_click(h, false); }); });
  connect(refreshButton, &QPushButton::clicked, this, &ApllConfigForm::refresh);
  connect(session_, &KovaSession::configurationChanged, this, &ApllConfigForm::refresh);
  connect(session_, &KovaSession::connectionChanged, this, &ApllConfigForm::refresh);
  connect(session_, &KovaSession::statusRefreshed, this, &ApllConfigForm::refreshStatus);
  refresh();
}

void ApllConfigForm::apply(const std::function<void(hal_api_s *)> &edit) {
  // The change reloads the controls (configurationChanged).
  if (!session_->refreshing) session_->change(edit);
}

void ApllConfigForm::refresh() {
  const hal_api_s *h = session_->hal();
  choice_combo_load(incSource_, apll_phase_source_list(true, h->apllcr4_piss_u3));
  choice_combo_load(decSource_, apll_phase_source_list(false, h->apllcr4_pdss_u3));
  increment_->setEnabled(apll_button_source(h->apllcr4_piss_u3));
  decrement_->setEnabled(apll_button_source(h->apllcr4_pdss_u3));
  refreshStatus();
}

void ApllConfigForm::refreshStatus() {
  const hal_api_s *h = session_->hal();
  hsdiv1_->setText(QString::fromStdString(apll_hsdiv_text(h, 1)));
  hsdiv2_->setText(QString::fromStdString(apll_hsdiv_text(h, 2)));
  step_->setText(QString::fromStdString(apll_phase_step_text(h->vco_freq_s)));
}
