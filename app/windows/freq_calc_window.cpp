#include "app/windows/freq_calc_window.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/user_dialog.h"

namespace {

const char *const kBaseHint = "Base Frequency must be less than 100 GHz. Values above 2.147 GHz will be factored.";
const char *const kNumeratorHint = "Numerator must be an integer less than 2147483648.";
const char *const kDenominatorHint = "Denominator must be an integer less than 2147483648.";

constexpr double kMax32Mhz = 4294.967295;

QString mhz_text(double mhz, int decimals) { return QString::fromStdString(DoubleTextBox_Format(mhz, decimals)); }

// Splits at tabs, keeping the non-empty trimmed fields.
QStringList tab_fields(const QString &text) {
  QStringList out;
  for (const QString &f : text.split('\t')) {
    const QString t = f.trimmed();
    if (!t.isEmpty()) out << t;
  }
  return out;
}

}  // namespace

QValidator::State EntryCharValidator::validate(QString &text, int &) const {
  int dots = 0;
  for (const QChar qc : text) {
    const char c = qc.unicode() < 128 ? static_cast<char>(qc.unicode()) : '\0';
    if (kind_ == field_frequency_e && c == '.') {
      if (++dots > 1) return Invalid;
      continue;
    }
    if (!entry_char_allowed(kind_, c, "", false)) return Invalid;
  }
  return Acceptable;
}

FrequencyCalcForm::FrequencyCalcForm(const QString &title, fprec_s initial, QWidget *parent) : QDialog(parent) {
  setObjectName("FrequencyCalcForm");
  setWindowTitle(title);
  // A triple without a numerator or denominator (nothing entered yet) starts as base x 1 / 1.
  loaded_ = {initial.f, initial.n ? initial.n : 1u, initial.m ? initial.m : 1u};
  work_ = loaded_;

  auto make_edit = [this](const char *name, freq_field_kind_e kind, const char *hint) {
    auto *e = new FieldEdit(this);
    e->setObjectName(name);
    e->setValidator(new EntryCharValidator(kind, e));
    e->setToolTip(hint);
    e->setProperty("hint", QString(hint));
    e->installEventFilter(this);
    return e;
  };
  base_ = make_edit("baseEdit", field_frequency_e, kBaseHint);
  numerator_ = make_edit("numeratorEdit", field_multdiv_e, kNumeratorHint);
  denominator_ = make_edit("denominatorEdit", field_multdiv_e, kDenominatorHint);
  actual_ = new FieldEdit(this);
  actual_->setObjectName("actualEdit");
  actual_->setReadOnly(true);
  actual_->setFocusPolicy(Qt::ClickFocus);

  hint_ = new QLabel(this);
  hint_->setObjectName("hintLabel");
  hint_->setWordWrap(true);
  hint_->setMinimumWidth(360);
  hint_->setStyleSheet("color: #555;");

  auto *paste = new QPushButton("Paste", this);
  paste->setObjectName("pasteButton");
  paste->setToolTip("Base, numerator and denominator from the clipboard, separated by tabs");
  auto *loadButton = new QPushButton("Load", this);
  loadButton->setObjectName("loadButton");
  // Enter applies a field; only the Load button loads.
  paste->setAutoDefault(false);
  loadButton->setAutoDefault(false);

  auto *grid = new QGridLayout;
  grid->addWidget(new QLabel("Base Frequency (MHz):", this), 0, 0);
  grid->addWidget(base_, 0, 1);
  grid->addWidget(new QLabel("x  Numerator:", this), 1, 0);
  grid->addWidget(numerator_, 1, 1);
  grid->addWidget(new QLabel("/  Denominator:", this), 2, 0);
  grid->addWidget(denominator_, 2, 1);
  grid->addWidget(new QLabel("= Actual Frequency (MHz):", this), 3, 0);
  grid->addWidget(actual_, 3, 1);
  grid->setColumnMinimumWidth(1, 180);

  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(paste);
  buttons->addWidget(loadButton);

  auto *top = new QVBoxLayout(this);
  top->addLayout(grid);
  top->addWidget(hint_);
  top->addLayout(buttons);

  connect(base_, &FieldEdit::applied, this, &FrequencyCalcForm::baseApplied);
  connect(numerator_, &FieldEdit::applied, this,
          [this](const QString &t) { partApplied(&numeratorText_, &work_.numerator, t); });
  connect(denominator_, &FieldEdit::applied, this,
          [this](const QString &t) { partApplied(&denominatorText_, &work_.denominator, t); });
  connect(paste, &QPushButton::clicked, this, [this]() { pasteText(QApplication::clipboard()->text()); });
  connect(loadButton, &QPushButton::clicked, this, &FrequencyCalcForm::load);

  showWorking();
  showHint(kBaseHint);
}

fprec_s FrequencyCalcForm::value() const {
  fprec_s v;
  set_fprec_s(&v, loaded_.base_hz, loaded_.numerator, loaded_.denominator);
  return v;
}

void FrequencyCalcForm::showWorking() {
  // A numerator or denominator keeps the product as typed ("4 * 25") until its value
  // changes by other means (factoring, paste).
  if (numeratorText_.isEmpty() || FreqMultDivText_Scrub(numeratorText_.toStdString()).value != work_.numerator)
    numeratorText_ = QString::number(work_.numerator);
  if (denominatorText_.isEmpty() || FreqMultDivText_Scrub(denominatorText_.toStdString()).value != work_.denominator)
    denominatorText_ = QString::number(work_.denominator);
  base_->showValue(mhz_text(work_.base_hz / 1e6, 6));
  numerator_->showValue(numeratorText_);
  denominator_->showValue(denominatorText_);
  actual_->showValue(mhz_text(FrequencyTextBox_Calculate(work_.base_hz, work_.numerator, work_.denominator), 7));
}

void FrequencyCalcForm::baseApplied(const QString &text) {
  if (freq_calc_set_base(&work_, text.toStdString())) {
    double mhz = 0;
    DoubleTextBox_Validate(text.toStdString(), 0.0, KOVA_FREQ_MAX_MHZ, true, &mhz);
    // A factored base changed the numerator and denominator too: the whole triple is
    // taken at once, so that leaving the window cannot keep half of it.
    if (mhz > kMax32Mhz) loaded_ = work_;
  }
  showWorking();
}

void FrequencyCalcForm::partApplied(QString *shown, uint32_t *part, const QString &text) {
  const freq_scrub_s s = FreqMultDivText_Scrub(text.toStdString());
  if (s.accepted) {
    *part = s.value;
    *shown = QString::fromStdString(s.text);
  } else if (!s.error.empty()) {
    MessageError(s.error, windowTitle().toStdString());
  }
  showWorking();
}

bool FrequencyCalcForm::pasteText(const QString &text) {
  const QStringList fields = tab_fields(text);
  if (fields.isEmpty()) return false;
  freq_calc_s next = work_;
  // Numerator and denominator first: factoring the base moves factors into them, and a
  // pasted numerator must not overwrite what the base moved there.
  for (int i = 1; i < fields.size() && i < 3; ++i) {
    const freq_scrub_s s = FreqMultDivText_Scrub(fields[i].toStdString());
    if (!s.accepted) {
      MessageError(s.error.empty() ? (i == 1 ? kNumeratorHint : kDenominatorHint) : s.error,
                   windowTitle().toStdString());
      return false;
    }
    (i == 1 ? next.numerator : next.denominator) = s.value;
  }
  if (!freq_calc_set_base(&next, fields[0].toStdString())) {
    MessageError(kBaseHint, windowTitle().toStdString());
    return false;
  }
  work_ = next;
  showWorking();
  load();
  return true;
}

void FrequencyCalcForm::load() {
  // A field typed into but not yet applied is applied first.
  for (FieldEdit *e : {base_, numerator_, denominator_})
    if (e->isModified()) emit e->returnPressed();
  loaded_ = work_;
  accept();
}

void FrequencyCalcForm::showHint(const QString &hint) { hint_->setText(hint); }

bool FrequencyCalcForm::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::FocusIn) {
    const QVariant hint = watched->property("hint");
    if (hint.isValid()) showHint(hint.toString());
  }
  return QDialog::eventFilter(watched, event);
}
