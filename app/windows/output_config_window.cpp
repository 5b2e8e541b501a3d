#include "app/windows/output_config_window.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/choice_texts.h"
#include "app/freq_entry.h"
#include "app/windows/choice_combo.h"
#include "app/windows/freq_calc_window.h"
#include "app/windows/session.h"

namespace {

constexpr const char *kNoClock = "- - - -";

QString mhz7(const fprec_s &f) {
  const double v = fprec_s_2_double_mhz(f);
  return v > 0.0 ? QString::number(v, 'f', 7) : QString(kNoClock);
}

// The object's fields of output index i that the record does not carry.
struct output_extra_s {
  uint32_t hal_api_s::*phen, hal_api_s::*enable;
  fprec_s hal_api_s::*msdivFreq, hal_api_s::*lsdivFreq, hal_api_s::*nFreq, hal_api_s::*freq;
  uint32_t hal_api_s::*lssel;
  double hal_api_s::*pwActual, hal_api_s::*phaseActual;
};
#define KOVA_OC_EXTRA(N)                                                                                          \
  {&hal_api_s::oc##N##cr1_phen_u1,  &hal_api_s::ocen_oc##N##en_u1, &hal_api_s::oc##N##_msdiv_freq_s,             \
   &hal_api_s::oc##N##_lsdiv_freq_s, &hal_api_s::oc##N##n_freq_s,   &hal_api_s::oc##N##_freq_s,                   \
   &hal_api_s::oc##N##cr3_lssel_u1, &hal_api_s::oc##N##_pw_ns_r,    &hal_api_s::oc##N##_align_ns_r}
const output_extra_s kExtra[3] = {KOVA_OC_EXTRA(1), KOVA_OC_EXTRA(2), KOVA_OC_EXTRA(3)};
#undef KOVA_OC_EXTRA

QCheckBox *check(const QString &text, const QString &name, QWidget *parent) {
  auto *c = new QCheckBox(text, parent);
  c->setObjectName(name);
  return c;
}

QLabel *value_label(const QString &name, QWidget *parent) {
  auto *l = new QLabel(parent);
  l->setObjectName(name);
  l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return l;
}

void fill(QComboBox *box, const char *const *table, int n) {
  choice_list_s list;
  ComboBoxUtil_LoadCharArray(&list, table, n);
  choice_combo_load(box, list);
}

}  // namespace

// ---------------------------------------------------------------------------------------

DividerChainView::DividerChainView(QWidget *parent) : QWidget(parent) {
  setObjectName("dividerChain");
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void DividerChainView::setChain(const std::array<stage_s, 6> &stages, bool p_from_lsdiv, bool n_from_lsdiv) {
  stages_ = stages;
  pFromLsdiv_ = p_from_lsdiv;
  nFromLsdiv_ = n_from_lsdiv;
  update();
}

QSize DividerChainView::sizeHint() const {
  const QFontMetrics fm = fontMetrics();
  const int box = fm.horizontalAdvance("0000.0000000") + 16;
  const int bh = 3 * fm.height() + 10;
  return {5 * box + 4 * 28 + 8, 2 * (bh + 12) + 16};
}

void DividerChainView::paintEvent(QPaintEvent *) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QFontMetrics fm = fontMetrics();
  const int bw = fm.horizontalAdvance("0000.0000000") + 16, bh = 3 * fm.height() + 10, gap = 28;
  const int rowH = bh + 12;
  const int midY = 8 + rowH / 2 + rowH / 2;  // the chain runs between the P and N rows
  auto boxAt = [&](int col, int y) { return QRect(4 + col * (bw + gap), y, bw, bh); };
  QRect rects[6];
  for (int i = 0; i < 4; ++i) rects[i] = boxAt(i, midY - bh / 2);
  rects[4] = boxAt(4, 8);
  rects[5] = boxAt(4, 8 + 2 * rowH - bh);
  const QColor usedFill = palette().color(QPalette::Base), line = palette().color(QPalette::WindowText);
  const QColor off = palette().color(QPalette::Disabled, QPalette::WindowText);
  auto arrow = [&](const QRect &from, const QRect &to, bool used) {
    p.setPen(QPen(used ? line : off, 1.5));
    const QPoint a(from.right(), from.center().y()), b(to.left(), to.center().y());
    const QPoint m((a.x() + b.x()) / 2, a.y());
    p.drawLine(a, m);
    p.drawLine(m, QPoint(m.x(), b.y()));
    p.drawLine(QPoint(m.x(), b.y()), b);
    p.drawLine(b, b + QPoint(-6, -4));
    p.drawLine(b, b + QPoint(-6, 4));
  };
  for (int i = 0; i < 3; ++i) arrow(rects[i], rects[i + 1], stages_[i + 1].used);
  arrow(pFromLsdiv_ ? rects[3] : rects[2], rects[4], stages_[4].used);
  arrow(nFromLsdiv_ ? rects[3] : rects[2], rects[5], stages_[5].used);
  for (int i = 0; i < 6; ++i) {
    const stage_s &s = stages_[i];
    p.setPen(QPen(s.used ? line : off, 1.2));
    p.setBrush(s.used ? usedFill : palette().color(QPalette::Window));
    p.drawRoundedRect(rects[i], 5, 5);
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    const QRect r = rects[i].adjusted(4, 4, -4, -4);
    p.drawText(QRect(r.left(), r.top(), r.width(), fm.height()), Qt::AlignHCenter, s.name + (s.value.isEmpty() ? "" : "  " + s.value));
    p.setFont(font());
    p.drawText(QRect(r.left(), r.top() + fm.height() + 2, r.width(), fm.height()), Qt::AlignHCenter, s.freq);
    p.drawText(QRect(r.left(), r.top() + 2 * fm.height() + 2, r.width(), fm.height()), Qt::AlignHCenter,
               s.freq == kNoClock ? "" : "MHz");
  }
}

// ---------------------------------------------------------------------------------------

OutputConfigForm::OutputConfigForm(KovaSession *session, QWidget *parent) : QWidget(parent), session_(session) {
  setObjectName("OutputConfigForm");

  channelCombo_ = new QComboBox(this);
  channelCombo_->setObjectName("channelCombo");
  fill(channelCombo_, __dev_OutputClockStr, 3);
  formatText_ = value_label("formatText", this);
  auto *head = new QHBoxLayout;
  head->addWidget(new QLabel("Output:", this));
  head->addWidget(channelCombo_);
  head->addSpacing(16);
  head->addWidget(new QLabel("Signal Format:", this));
  head->addWidget(formatText_);
  head->addStretch();

  // Driver.
  auto *driver = new QGroupBox("Driver", this);
  auto *dl = new QGridLayout(driver);
  invert_ = check("Invert", "invertCheck", driver);
  squelch_ = check("Auto-Squelch", "autoSquelchCheck", driver);
  nLsdiv_ = check("Use Low-Speed Divider for OCxN", "nLsdivCheck", driver);
  lsdivStatus_ = check("Enable Low-Speed Divider Statuses", "lsdivStatusCheck", driver);
  drive_ = new QComboBox(driver);
  drive_->setObjectName("driveCombo");
  fill(drive_, __dev_OutputClockDriveStrengthStr, 4);
  driveLabel_ = new QLabel("CMOS/HSTL Drive Strength:", driver);
  dl->addWidget(invert_, 0, 0);
  dl->addWidget(squelch_, 0, 1);
  dl->addWidget(driveLabel_, 1, 0);
  dl->addWidget(drive_, 1, 1);
  dl->addWidget(nLsdiv_, 2, 0, 1, 2);
  dl->addWidget(lsdivStatus_, 3, 0, 1, 2);

  // Pulse width.
  auto *pw = new QGroupBox("Pulse Width", this);
  auto *pl = new QGridLayout(pw);
  duty50_ = check("Use 50% Duty Cycle", "duty50Check", pw);
  pulseWidth_ = new FieldEdit(pw);
  pulseWidth_->setObjectName("pulseWidthEdit");
  pulseWidth_->setValidator(new EntryCharValidator(field_whole_e, pulseWidth_));
  pulseWidthLabel_ = new QLabel("Requested (ns):", pw);
  actualPulseLabel_ = new QLabel("Actual (ns):", pw);
  actualPulse_ = value_label("actualPulseWidth", pw);
  pl->addWidget(duty50_, 0, 0, 1, 2);
  pl->addWidget(pulseWidthLabel_, 1, 0);
  pl->addWidget(pulseWidth_, 1, 1);
  pl->addWidget(actualPulseLabel_, 2, 0);
  pl->addWidget(actualPulse_, 2, 1);

  // Stop.
  auto *stop = new QGroupBox("Stop", this);
  auto *sl = new QGridLayout(stop);
  stop_ = check("Stop the Clock", "stopCheck", stop);
  highZ_ = check("High-Z When Stopped", "highZCheck", stop);
  stopMode_ = new QComboBox(stop);
  stopMode_->setObjectName("stopModeCombo");
  fill(stopMode_, __dev_OutputClockStopModeStr, 3);
  stopSource_ = new QComboBox(stop);
  stopSource_->setObjectName("stopSourceCombo");
  choice_combo_load(stopSource_, choice_stop_source_list(0));
  sl->addWidget(new QLabel("Stop Mode:", stop), 0, 0);
  sl->addWidget(stopMode_, 0, 1);
  sl->addWidget(new QLabel("Stop Source:", stop), 1, 0);
  sl->addWidget(stopSource_, 1, 1);
  sl->addWidget(stop_, 2, 0);
  sl->addWidget(highZ_, 2, 1);

  // Phase alignment.
  auto *align = new QGroupBox("Output Phase Alignment", this);
  auto *al = new QGridLayout(align);
  align_ = check("Enable", "alignCheck", align);
  phase_ = new FieldEdit(align);
  phase_->setObjectName("phaseEdit");
  phase_->setValidator(new EntryCharValidator(field_frequency_e, phase_));
  actualPhase_ = value_label("actualPhase", align);
  al->addWidget(align_, 0, 0, 1, 2);
  al->addWidget(new QLabel("Requested Phase (ns):", align), 1, 0);
  al->addWidget(phase_, 1, 1);
  al->addWidget(new QLabel("Actual Phase (ns):", align), 2, 0);
  al->addWidget(actualPhase_, 2, 1);

  // Divider status and the drawn chain.
  auto *status = new QGroupBox("Divider Chain", this);
  auto *st = new QGridLayout(status);
  source_ = value_label("sourceText", status);
  hsdivFreq_ = value_label("hsdivFreqText", status);
  pFreqLabel_ = new QLabel(status);
  pFreqLabel_->setObjectName("pFreqLabel");
  pFreq_ = value_label("pFreqText", status);
  nFreqLabel_ = new QLabel(status);
  nFreqLabel_->setObjectName("nFreqLabel");
  nFreq_ = value_label("nFreqText", status);
  msdiv_ = value_label("msdivText", status);
  lsdiv_ = value_label("lsdivText", status);
  chain_ = new DividerChainView(status);
  st->addWidget(new QLabel("Source:", status), 0, 0);
  st->addWidget(source_, 0, 1);
  st->addWidget(new QLabel("HSDIV Frequency (MHz):", status), 0, 2);
  st->addWidget(hsdivFreq_, 0, 3);
  st->addWidget(new QLabel("Medium-Speed Divider:", status), 1, 0);
  st->addWidget(msdiv_, 1, 1);
  st->addWidget(new QLabel("Low-Speed Divider:", status), 1, 2);
  st->addWidget(lsdiv_, 1, 3);
  st->addWidget(pFreqLabel_, 2, 0);
  st->addWidget(pFreq_, 2, 1);
  st->addWidget(nFreqLabel_, 2, 2);
  st->addWidget(nFreq_, 2, 3);
  st->addWidget(chain_, 3, 0, 1, 4);

  // Two columns whose groups keep their natural height.
  auto *left = new QVBoxLayout;
  left->addWidget(driver);
  left->addWidget(pw);
  left->addStretch();
  auto *right = new QVBoxLayout;
  right->addWidget(stop);
  right->addWidget(align);
  right->addStretch();
  auto *columns = new QHBoxLayout;
  columns->addLayout(left);
  columns->addLayout(right);
  auto *top = new QVBoxLayout(this);
  top->addLayout(head);
  top->addLayout(columns);
  top->addWidget(status);
  top->addStretch();

  // Every control stores into the record and applies at once.
  auto onCheck = [this](QCheckBox *box, int32_t __dev_OutputClockConfigS::*field) {
    connect(box, &QCheckBox::toggled, this, [this, field](bool on) {
      apply([field, on](__dev_OutputClockConfigS *r) { r->*field = on ? 1 : 0; });
    });
  };
  onCheck(invert_, &__dev_OutputClockConfigS::polarity);
  onCheck(squelch_, &__dev_OutputClockConfigS::autoSquelch);
  onCheck(nLsdiv_, &__dev_OutputClockConfigS::nUsesLowSpeedDivider);
  onCheck(lsdivStatus_, &__dev_OutputClockConfigS::lowSpeedDividerStatus);
  onCheck(stop_, &__dev_OutputClockConfigS::stop);
  onCheck(highZ_, &__dev_OutputClockConfigS::stopHighImpedance);
  connect(align_, &QCheckBox::toggled, this, [this](bool on) {
    apply([on](__dev_OutputClockConfigS *r) { r->alignEnable = on ? 1 : 0; }, true);
  });
  connect(drive_, qOverload<int>(&QComboBox::activated), this, [this]() {
    const int32_t v = choice_combo_value(drive_, 0);
    apply([v](__dev_OutputClockConfigS *r) { r->driveStrength = v; });
  });
  connect(stopMode_, qOverload<int>(&QComboBox::activated), this, [this]() {
    const int32_t v = choice_combo_value(stopMode_, 0);
    apply([v](__dev_OutputClockConfigS *r) { r->stopMode = v; });
  });
  connect(stopSource_, qOverload<int>(&QComboBox::activated), this, [this](int row) {
    const uint32_t v = choice_stop_source_value(row);
    // A GPIO stops the clock from its pin: the check box is hidden and cleared.
    apply([v](__dev_OutputClockConfigS *r) {
      r->stopSource = static_cast<int32_t>(v);
      if (!choice_stop_source_uses_checkbox(v)) r->stop = 0;
    });
  });
  connect(pulseWidth_, &FieldEdit::applied, this, [this](const QString &t) {
    double ns = 0.0;
    if (!DoubleTextBox_Validate(t.toStdString(), 0.0, 65535.0, true, &ns)) {
      pulseWidth_->setText(pulseWidth_->shownValue());
      return;
    }
    apply([ns](__dev_OutputClockConfigS *r) { r->pulseWidth = static_cast<int32_t>(ns); });
  });
  connect(duty50_, &QCheckBox::toggled, this, [this](bool on) {
    if (loading_) return;
    if (on) {
      pulseWidth_->setText("0");
      pulseWidth_->setModified(true);
      emit pulseWidth_->returnPressed();  // applied through the number field
    }
    refreshStatus();
  });
  connect(phase_, &FieldEdit::applied, this, [this](const QString &t) {
    double ns = 0.0;
    if (!DoubleTextBox_Validate(t.toStdString(), 0.0, 6553.5, true, &ns)) {
      phase_->setText(phase_->shownValue());
      return;
    }
    // Stored in tenths of a nanosecond, truncated.
    const auto x10 = static_cast<int32_t>(ns * 10.0 + 1e-9);
    apply([x10](__dev_OutputClockConfigS *r) { r->alignPhase = x10; });
  });
  connect(channelCombo_, qOverload<int>(&QComboBox::activated), this, &OutputConfigForm::selectChannel);
  connect(session_, &KovaSession::configurationChanged, this, &OutputConfigForm::refreshControls);
  connect(session_, &KovaSession::statusRefreshed, this, &OutputConfigForm::refreshStatus);

  selectChannel(0);
}

void OutputConfigForm::selectChannel(int index) {
  if (index < 0 || index > 2) return;
  channel_ = index;
  setWindowTitle(QString("OC%1 Configuration").arg(index + 1));
  {
    const QSignalBlocker block(channelCombo_);
    channelCombo_->setCurrentIndex(index);
  }
  // A fresh look at an output: the 50 % box stands for a pulse width of 0.
  const QSignalBlocker block(duty50_);
  __dev_ConvertHalToApiOutputConfigS(index, session_->hal(), &record_);
  duty50_->setChecked(record_.pulseWidth == 0);
  refreshControls();
}

void OutputConfigForm::apply(const std::function<void(__dev_OutputClockConfigS *)> &edit, bool phase_enable_too) {
  if (loading_ || session_->refreshing) return;
  const int i = channel_;
  __dev_ConvertHalToApiOutputConfigS(i, session_->hal(), &record_);
  edit(&record_);
  const __dev_OutputClockConfigS r = record_;
  session_->change([i, r, phase_enable_too](hal_api_s *hal) {
    if (phase_enable_too) hal->*kExtra[i].phen = static_cast<uint32_t>(r.alignEnable);
    __dev_ConvertApiToHalOutputConfigS(i, &r, hal);
  });
}

void OutputConfigForm::refreshControls() {
  const hal_api_s *hal = session_->hal();
  __dev_ConvertHalToApiOutputConfigS(channel_, hal, &record_);
  loading_ = true;
  const __dev_OutputClockConfigS &r = record_;
  auto set = [](QCheckBox *box, int32_t v) {
    const QSignalBlocker block(box);
    box->setChecked(v != 0);
  };
  set(invert_, r.polarity);
  set(squelch_, r.autoSquelch);
  set(nLsdiv_, r.nUsesLowSpeedDivider);
  set(lsdivStatus_, r.lowSpeedDividerStatus);
  set(stop_, r.stop);
  set(highZ_, r.stopHighImpedance);
  set(align_, r.alignEnable);
  if (r.pulseWidth != 0) set(duty50_, 0);
  choice_combo_select_value(drive_, r.driveStrength);
  choice_combo_select_value(stopMode_, r.stopMode);
  choice_combo_load(stopSource_, choice_stop_source_list(static_cast<uint32_t>(r.stopSource)));
  pulseWidth_->showValue(QString::number(r.pulseWidth));
  phase_->showValue(QString::number(r.alignPhase / 10.0, 'f', 1));
  loading_ = false;
  refreshStatus();
}

void OutputConfigForm::refreshStatus() {
  const hal_api_s *hal = session_->hal();
  const output_extra_s &x = kExtra[channel_];
  const __dev_OutputClockConfigS &r = record_;
  const int n = channel_ + 1;
  const auto format = static_cast<uint32_t>(r.signalFormat);
  const bool twoOutputs = choice_signal_format_has_n(r.signalFormat);
  const bool cml = format == 1 || format == 2;
  formatText_->setText(format < 8 ? __dev_OutputClockSignalFormatStr[format] : "?");
  driveLabel_->setVisible(!cml);
  drive_->setVisible(!cml);
  stop_->setVisible(choice_stop_source_uses_checkbox(static_cast<uint32_t>(r.stopSource)));
  const bool duty50 = duty50_->isChecked();
  pulseWidth_->setVisible(!duty50);
  pulseWidthLabel_->setVisible(!duty50);
  actualPulse_->setVisible(!duty50);
  actualPulseLabel_->setVisible(!duty50);
  actualPulse_->setText(QString::number(hal->*x.pwActual, 'f', 1));
  actualPhase_->setText(QString::number(hal->*x.phaseActual, 'f', 1));

  const fprec_s &hs = r.hsdivSelect ? hal->hsdiv2_freq_s : hal->hsdiv1_freq_s;
  source_->setText(QString("HSDIV%1").arg(r.hsdivSelect + 1));
  hsdivFreq_->setText(mhz7(hs));
  msdiv_->setText(QString::number(r.msdiv));
  lsdiv_->setText(QString::number(r.lsdiv));
  pFreqLabel_->setText(twoOutputs ? QString("OC%1P Frequency (MHz)").arg(n) : QString("Frequency (MHz)"));
  pFreq_->setText(mhz7(hal->*x.freq));
  nFreqLabel_->setText(QString("OC%1N Frequency (MHz)").arg(n));
  nFreq_->setText(mhz7(hal->*x.nFreq));
  nFreqLabel_->setVisible(twoOutputs);
  nFreq_->setVisible(twoOutputs);

  // The chain: the LSDIV feeds P when it is selected for P, and N when either side uses it.
  const bool on = hal->*x.enable && fprec_s_2_double_mhz(hal->*x.freq) > 0.0;
  const bool pLs = on && hal->*x.lssel == 1 && r.lsdiv > 1;
  const bool nLs = on && (pLs || (r.nUsesLowSpeedDivider == 1 && r.lsdiv > 1));
  std::array<DividerChainView::stage_s, 6> s;
  s[0] = {"VCO", "", mhz7(hal->vco_freq_s), true};
  s[1] = {QString("HSDIV%1").arg(r.hsdivSelect + 1),
          QString("/ %1").arg(0.5 * (r.hsdivSelect ? hal->vco_hsdiv2x2_u8 : hal->vco_hsdiv1x2_u8), 0, 'f', 1),
          mhz7(hs), on};
  s[2] = {"MSDIV", QString("/ %1").arg(r.msdiv), on ? mhz7(hal->*x.msdivFreq) : kNoClock, on};
  s[3] = {"LSDIV", QString("/ %1").arg(r.lsdiv), pLs || nLs ? mhz7(hal->*x.lsdivFreq) : kNoClock, pLs || nLs};
  s[4] = {QString("OC%1P").arg(n), "", on ? mhz7(hal->*x.freq) : kNoClock, on};
  s[5] = {QString("OC%1N").arg(n), "", on && twoOutputs ? mhz7(hal->*x.nFreq) : kNoClock, on && twoOutputs};
  chain_->setChain(s, pLs, nLs);
}
