// The APLL configuration window: the two high-speed dividers behind the VCO and the APLL
// output phase stepped by one eighth of a VCO period, from the window's buttons or from a
// GPIO pin. Each change is recalculated and written to the chip at once.
#pragma once
#include <QWidget>
#include <functional>

#include "hal/hal_api.h"

class KovaSession;
class QComboBox;
class QLabel;
class QPushButton;

class ApllConfigForm : public QWidget {
  Q_OBJECT
 public:
  explicit ApllConfigForm(KovaSession *session, QWidget *parent = nullptr);

 public slots:
  // Dividers, step and the two source lists from the object.
  void refresh();
  // Dividers and step only (the main window's status refresh).
  void refreshStatus();

 private:
  void apply(const std::function<void(hal_api_s *)> &edit);

  KovaSession *session_;
  QLabel *hsdiv1_, *hsdiv2_, *step_;
  QComboBox *incSource_, *decSource_;
  QPushButton *increment_, *decrement_;
};
