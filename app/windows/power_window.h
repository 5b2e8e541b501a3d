// "Power Estimate": the chip's typical and maximum supply currents and powers for the
// configuration in the register image, with a bar chart of the currents beside the figures.
// Recomputed at every status refresh of the main window and by its own "Refresh" button.
#pragma once
#include <QWidget>

#include "app/power_estimate.h"

class KovaSession;
class QBarSet;
class QLabel;
class QValueAxis;

class PowerEstimateForm : public QWidget {
  Q_OBJECT
 public:
  explicit PowerEstimateForm(KovaSession *session, QWidget *parent = nullptr);

 public slots:
  void refresh();

 private:
  KovaSession *session_;
  power_estimate_s estimate_{};
  QLabel *current_[power_columns_e]{};  // objectNames typCurrent18, typCurrent33, maxCurrent18, maxCurrent33
  QLabel *power_[power_columns_e]{};    // typPower18, ...
  QLabel *typTotal_ = nullptr, *maxTotal_ = nullptr;
  QBarSet *typSet_ = nullptr, *maxSet_ = nullptr;
  QValueAxis *axisY_ = nullptr;
};
