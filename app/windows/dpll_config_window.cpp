#include "app/windows/dpll_config_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/freq_entry.h"
#include "app/windows/choice_combo.h"
#include "app/windows/field_edit.h"
#include "app/windows/freq_calc_window.h"
#include "app/windows/session.h"

namespace {

constexpr int kTipDurationMs = 10000;
const char *const kMarked = "background-color: #FFFFE0;";

const char *const kChoiceNames[dpll_choice_count_e] = {"feedbackCombo", "ic1PriorityCombo", "ic2PriorityCombo",
                                                       "ic3PriorityCombo", "holdoverModeCombo", "hitlessCombo"};

// Sets the refreshing flag of the session while controls load and puts it back after.
struct refresh_guard_s {
  KovaSession *s;
  bool was;
  explicit refresh_guard_s(KovaSession *session) : s(session), was(session->refreshing) { s->refreshing = true; }
  ~refresh_guard_s() { s->refreshing = was; }
};

QLabel *status_label(const char *name, QWidget *parent) {
  auto *l = new QLabel(parent);
  l->setObjectName(name);
  l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return l;
}

}  // namespace

DpllConfigForm::DpllConfigForm(KovaSession *session, QWidget *parent) : QWidget(parent), session_(session) {
  setObjectName("DpllConfigForm");
  setWindowTitle("DPLL Configuration");

  for (int i = 0; i < dpll_choice_count_e; ++i) {
    choices_[i] = new QComboBox(this);
    choices_[i]->setObjectName(kChoiceNames[i]);
    choice_combo_load(choices_[i], dpll_choice_list(static_cast<dpll_choice_e>(i), session_->hal()));
    connect(choices_[i], &QComboBox::activated, this, [this, i](int position) {
      apply([i, position](hal_api_s *h) { dpll_choice_store(static_cast<dpll_choice_e>(i), h, position); });
    });
  }
  extSwitch_ = new QComboBox(this);
  extSwitch_->setObjectName("extSwitchCombo");
  choice_combo_load(extSwitch_, choice_dpll_ext_switch_list());
  connect(extSwitch_, &QComboBox::activated, this,
          [this](int position) { apply([position](hal_api_s *h) { dpll_ext_switch_store(h, position); }); });
  extLabel_ = new QLabel(this);
  extLabel_->setObjectName("extSwitchLabel");
  revertive_ = new QCheckBox("Revertive Switching", this);
  revertive_->setObjectName("revertiveCheck");
  connect(revertive_, &QCheckBox::clicked, this,
          [this](bool on) { apply([on](hal_api_s *h) { h->icscr1_revert_u1 = on ? 1 : 0; }); });
  lock_ = new QCheckBox("Lock", this);
  lock_->setObjectName("lockCheck");
  connect(lock_, &QCheckBox::clicked, this, [this](bool on) { apply([on](hal_api_s *h) { dpll_lock_store(h, on); }); });

  for (int i = 0; i < DPLL_TEXT_FIELD_COUNT; ++i) {
    const dpll_text_field_s &f = DPLL_TEXT_FIELDS[i];
    auto *e = new FieldEdit(this);
    e->setObjectName(f.name);
    e->setValidator(new EntryCharValidator(field_frequency_e, e));
    e->setToolTip(f.tip);
    e->setToolTipDuration(kTipDurationMs);
    connect(e, &QLineEdit::textChanged, e,
            [e](const QString &t) { e->setStyleSheet(t == e->shownValue() ? QString() : QString(kMarked)); });
    connect(e, &FieldEdit::applied, this, [this, e, &f](const QString &text) {
      uint32_t v = 0;
      if (dpll_text_value(f, text.toStdString(), &v)) apply([&f, v](hal_api_s *h) { h->*f.field = v; });
      // Accepted or not, the field shows what the object holds now.
      e->showValue(QString::fromStdString(dpll_text_shown(f, session_->hal())));
    });
    texts_[i] = e;
  }
  for (int i = 0; i < DPLL_NUMBER_FIELD_COUNT; ++i) {
    const dpll_number_field_s &f = DPLL_NUMBER_FIELDS[i];
    QAbstractSpinBox *box;
    if (f.decimals > 0) {
      auto *d = new QDoubleSpinBox(this);
      d->setDecimals(f.decimals);
      d->setRange(f.min, f.max);
      d->setSingleStep(f.step);
      connect(d, &QDoubleSpinBox::valueChanged, this,
              [this, &f](double v) { apply([&f, v](hal_api_s *h) { dpll_number_store(f, h, v); }); });
      box = d;
    } else {
      auto *s = new QSpinBox(this);
      s->setRange(static_cast<int>(f.min), static_cast<int>(f.max));
      s->setSingleStep(static_cast<int>(f.step));
      connect(s, &QSpinBox::valueChanged, this,
              [this, &f](int v) { apply([&f, v](hal_api_s *h) { dpll_number_store(f, h, v); }); });
      box = s;
    }
    box->setObjectName(f.name);
    // Typing applies on Enter or when the field is left; the arrows apply each step.
    box->setKeyboardTracking(false);
    box->setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    numbers_[i] = box;
  }
  selected_ = status_label("selectedRefLabel", this);
  priority1_ = status_label("priority1Label", this);
  priority2_ = status_label("priority2Label", this);
  hoOffset_ = status_label("holdoverOffsetLabel", this);
  dspRate_ = status_label("dspRateLabel", this);
  notInUse_ = new QLabel("The DPLL is not used in this chip mode: these settings take effect in\n"
                         "Jitter Attenuation (DPLL+APLL).",
                         this);
  notInUse_->setObjectName("dpllNotInUseLabel");

  auto text_row = [this](QFormLayout *form, const char *name) {
    const dpll_text_field_s *f = dpll_text_field(name);
    form->addRow(f->label, texts_[f - DPLL_TEXT_FIELDS]);
  };
  auto number_row = [this](QFormLayout *form, const char *name) {
    const dpll_number_field_s *f = dpll_number_field(name);
    form->addRow(f->label, numbers_[f - DPLL_NUMBER_FIELDS]);
  };
  auto group = [this](const char *title, const char *name, QFormLayout **form) {
    auto *g = new QGroupBox(title, this);
    g->setObjectName(name);
    *form = new QFormLayout(g);
    return g;
  };

  QFormLayout *form;
  QGroupBox *inputs = group("Inputs", "inputsGroup", &form);
  form->addRow("Feedback Select:", choices_[dpll_choice_feedback_e]);
  auto *ext = new QHBoxLayout;
  ext->addWidget(extSwitch_);
  ext->addWidget(extLabel_);
  form->addRow("External Switching Mode Control Signal:", ext);
  form->addRow(revertive_);

  QGroupBox *table = group("Priority Table", "priorityTableGroup", &form);
  form->addRow("Selected Reference:", selected_);
  form->addRow("Priority 1:", priority1_);
  form->addRow("Priority 2:", priority2_);

  QGroupBox *user = group("User Priorities", "userPrioritiesGroup", &form);
  form->addRow("IC1:", choices_[dpll_choice_pri1_e]);
  form->addRow("IC2:", choices_[dpll_choice_pri2_e]);
  form->addRow("IC3:", choices_[dpll_choice_pri3_e]);

  QGroupBox *jitter = group("Jitter", "jitterGroup", &form);
  number_row(form, "jitterTolSpin");

  QGroupBox *holdover = group("Holdover", "holdoverGroup", &form);
  form->addRow("Mode:", choices_[dpll_choice_holdover_e]);
  text_row(form, "hoAvgEdit");
  text_row(form, "hoWaitEdit");
  form->addRow("Holdover Offset (ppm):", hoOffset_);

  QGroupBox *hitless = group("Hitless Switching", "hitlessGroup", &form);
  form->addRow("Behavior:", choices_[dpll_choice_hitless_e]);

  QGroupBox *phase = group("Phase and Phase Lock", "phaseGroup", &form);
  number_row(form, "phaseAdjustSpin");
  number_row(form, "lockCriteriaSpin");
  text_row(form, "lolSetEdit");
  text_row(form, "lolClrEdit");
  text_row(form, "phLockTimeoutEdit");
  text_row(form, "lockAlarmTimeoutEdit");
  text_row(form, "phAvgEdit");
  auto *rate = new QHBoxLayout;
  rate->addWidget(dspRate_, 1);
  rate->addWidget(lock_);
  form->addRow("DSP Rate (Hz):", rate);

  QGroupBox *special = group("Special Features", "specialFeaturesGroup", &form);
  number_row(form, "phaseSlopeSpin");
  number_row(form, "freqChangeSpin");
  number_row(form, "hoFreqChangeSpin");
  number_row(form, "freqOffsetSpin");

  holdoverGroups_ = {holdover, hitless, special};

  auto *left = new QVBoxLayout;
  for (QGroupBox *g : {inputs, table, user, holdover, hitless}) left->addWidget(g);
  left->addStretch();
  auto *right = new QVBoxLayout;
  for (QGroupBox *g : {phase, jitter, special}) right->addWidget(g);
  right->addStretch();
  auto *columns = new QHBoxLayout;
  columns->addLayout(left);
  columns->addLayout(right);

  auto *refreshButton = new QPushButton("Refresh", this);
  refreshButton->setObjectName("refreshButton");
  refreshButton->setAutoDefault(false);
  connect(refreshButton, &QPushButton::clicked, this, &DpllConfigForm::refresh);
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(notInUse_);
  buttons->addStretch();
  buttons->addWidget(refreshButton);

  auto *top = new QVBoxLayout(this);
  top->addLayout(columns);
  top->addLayout(buttons);

  connect(session_, &KovaSession::configurationChanged, this, &DpllConfigForm::refresh);
  connect(session_, &KovaSession::connectionChanged, this, &DpllConfigForm::refresh);
  // The status refresh updates the status lines; the controls follow the object's changes
  // (reloading them on every tick would overwrite a value being typed).
  connect(session_, &KovaSession::statusRefreshed, this, &DpllConfigForm::refreshStatus);
  refresh();
}

void DpllConfigForm::apply(const std::function<void(hal_api_s *)> &edit) {
  // The change reloads every control (configurationChanged), so each shows what the
  // calculation kept.
  if (!session_->refreshing) session_->change(edit);
}

void DpllConfigForm::adaptLayout() {
  const bool full = dpll_has_holdover_groups(session_->hal()->kova_device_e);
  bool changed = false;
  for (QGroupBox *g : holdoverGroups_) {
    changed = changed || g->isVisibleTo(this) != full;
    g->setVisible(full);
  }
  notInUse_->setVisible(!dpll_in_use(session_->hal()));
  if (changed) adjustSize();
}

void DpllConfigForm::refresh() {
  const hal_api_s *h = session_->hal();
  {
    refresh_guard_s guard(session_);
    for (int i = 0; i < dpll_choice_count_e; ++i)
      choice_combo_load(choices_[i], dpll_choice_list(static_cast<dpll_choice_e>(i), h));
    choice_combo_select_value(extSwitch_, dpll_ext_switch_position(h));
    extLabel_->setText(QString::fromStdString(dpll_ext_switch_label(h)));
    extLabel_->setVisible(dpll_ext_switch_position(h) != DPLL_EXT_SWITCH_DISABLED);
    {
      const QSignalBlocker b1(revertive_), b2(lock_);
      revertive_->setChecked(h->icscr1_revert_u1 != 0);
      lock_->setChecked(h->pfd_div_lock_u16 != 0);
    }
    for (int i = 0; i < DPLL_TEXT_FIELD_COUNT; ++i) {
      texts_[i]->showValue(QString::fromStdString(dpll_text_shown(DPLL_TEXT_FIELDS[i], h)));
      if (!texts_[i]->isModified()) texts_[i]->setStyleSheet(QString());
    }
    for (int i = 0; i < DPLL_NUMBER_FIELD_COUNT; ++i) {
      const QSignalBlocker block(numbers_[i]);
      const double v = dpll_number_shown(DPLL_NUMBER_FIELDS[i], h);
      if (auto *d = qobject_cast<QDoubleSpinBox *>(numbers_[i]))
        d->setValue(v);
      else
        static_cast<QSpinBox *>(numbers_[i])->setValue(static_cast<int>(v));
    }
    adaptLayout();
  }
  refreshStatus();
}

void DpllConfigForm::refreshStatus() {
  const dpll_status_s s = dpll_status(session_->hal());
  selected_->setText(QString::fromStdString(s.selected));
  priority1_->setText(QString::fromStdString(s.priority1));
  priority2_->setText(QString::fromStdString(s.priority2));
  hoOffset_->setText(QString::fromStdString(s.holdover_ppm));
  dspRate_->setText(QString::fromStdString(s.dsp_rate_hz));
}
