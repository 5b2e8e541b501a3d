// The APLL test registers window (super-user): the APLL's analog tuning and test registers
// DCO1 to PLLTCR12, each shown and edited as a byte. An edited value goes into the
// configuration object, so that the register calculation keeps it, and reaches the chip through
// the ordinary write of changes; "Automatic Tuning" gives the choice back to the calculation.
#pragma once
#include <QWidget>

#include "app/apll_window_ops.h"

class KovaSession;
class FieldEdit;
class QCheckBox;
class QLabel;

class ApllTestRegistersForm : public QWidget {
  Q_OBJECT
 public:
  explicit ApllTestRegistersForm(KovaSession *session, QWidget *parent = nullptr);

 public slots:
  void refresh();

 private:
  void edited(int index, const QString &text);

  KovaSession *session_;
  QCheckBox *automatic_;
  QLabel *buildOff_;
  FieldEdit *values_[APLL_TEST_REG_COUNT] = {};
  QLabel *chip_[APLL_TEST_REG_COUNT] = {};
};
