// "Information Needed": the frequency of one input or output clock, asked for when a
// configuration is rebuilt from register values and no frequency is known yet. The one
// frequency is the anchor of the inverse configuration.
#pragma once
#include <QComboBox>
#include <QDialog>

#include "app/windows/field_edit.h"
#include "hal/hal_api.h"

class InverseIOFreqForm : public QDialog {
  Q_OBJECT
 public:
  explicit InverseIOFreqForm(hal_api_s *hal, QWidget *parent = nullptr);
  // The frequency as entered so far.
  fprec_s frequency() const { return freq_; }

 private:
  void typed(const QString &text);
  void openCalculator();
  void done();
  void showFrequency();

  hal_api_s *hal_;
  fprec_s freq_{0, 0, 0};
  QComboBox *clock_;
  FieldEdit *edit_;
};
