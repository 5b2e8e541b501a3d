// The frequency calculator: an exact frequency entered as a base in MHz times a numerator
// over a denominator. Bases above the 32-bit range of hertz are factored into the
// numerator and denominator so that the triple stays exact. Also the character filter that
// every entry field of the start-up windows uses.
#pragma once
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QValidator>

#include "app/freq_entry.h"
#include "app/windows/field_edit.h"

// Accepts only the characters a field of the given kind takes (a frequency field at most
// one "."); anything else typed or pasted is dropped.
class EntryCharValidator : public QValidator {
  Q_OBJECT
 public:
  EntryCharValidator(freq_field_kind_e kind, QObject *parent) : QValidator(parent), kind_(kind) {}
  State validate(QString &text, int &pos) const override;

 private:
  freq_field_kind_e kind_;
};

class FrequencyCalcForm : public QDialog {
  Q_OBJECT
 public:
  FrequencyCalcForm(const QString &title, fprec_s initial, QWidget *parent = nullptr);
  // The loaded triple {base Hz, numerator, denominator}.
  fprec_s value() const;
  // Enters a tab-separated "base<TAB>numerator<TAB>denominator" and loads it (the Paste
  // button passes the clipboard). False, after a message, when a field is refused.
  bool pasteText(const QString &text);

 private:
  void baseApplied(const QString &text);
  void partApplied(QString *shown, uint32_t *part, const QString &text);
  void showWorking();
  void load();
  void showHint(const QString &hint);
  bool eventFilter(QObject *watched, QEvent *event) override;

  freq_calc_s loaded_;
  freq_calc_s work_;
  FieldEdit *base_, *numerator_, *denominator_;
  FieldEdit *actual_;
  QString numeratorText_, denominatorText_;  // the products as last accepted
  QLabel *hint_;
};
