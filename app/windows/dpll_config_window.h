// The DPLL configuration window: reference switching, priorities, holdover, hitless
// switching, phase lock criteria, timeouts, limits and jitter tolerance. Every control edits
// one field of the configuration object; each accepted change is recalculated and written to
// the chip at once, and every field then shows what the calculation kept.
#pragma once
#include <QWidget>
#include <functional>
#include <vector>

#include "app/dpll_window_ops.h"

class KovaSession;
class FieldEdit;
class QAbstractSpinBox;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;

class DpllConfigForm : public QWidget {
  Q_OBJECT
 public:
  explicit DpllConfigForm(KovaSession *session, QWidget *parent = nullptr);

 public slots:
  // Controls from the object, then the status lines.
  void refresh();
  void refreshStatus();

 private:
  void apply(const std::function<void(hal_api_s *)> &edit);
  void adaptLayout();

  KovaSession *session_;
  QComboBox *choices_[dpll_choice_count_e] = {};
  QComboBox *extSwitch_;
  QLabel *extLabel_, *notInUse_;
  QCheckBox *revertive_, *lock_;
  FieldEdit *texts_[DPLL_TEXT_FIELD_COUNT] = {};
  QAbstractSpinBox *numbers_[DPLL_NUMBER_FIELD_COUNT] = {};
  QLabel *selected_, *priority1_, *priority2_, *hoOffset_, *dspRate_;
  std::vector<QGroupBox *> holdoverGroups_;
};
