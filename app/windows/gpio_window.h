// "GPIO Configuration": the function of each of the four GPIO pins, the status register and
// bit a status-output pin shows, and the pins' levels. Edits go straight into the register
// image (GPIOCR1/GPIOCR2, GPIOkSS) and through the ordinary change flow to the chip.
#pragma once
#include <QWidget>

class KovaSession;
class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

class GpioConfigForm : public QWidget {
  Q_OBJECT
 public:
  explicit GpioConfigForm(KovaSession *session, QWidget *parent = nullptr);

 public slots:
  // Controls and pin levels from the object.
  void refresh();

 private:
  void functionChosen(int pin);
  void routeChosen(int pin);
  void refreshRateChosen(int choice);
  void ownRefresh();
  void loadRegisterLists();
  void showStates();

  KovaSession *session_;
  QComboBox *function_[4]{};
  QComboBox *register_[4]{};
  QComboBox *bit_[4]{};
  QLabel *state_[4]{};
  QComboBox *rate_ = nullptr;
  QPushButton *refreshButton_ = nullptr;
  QTimer *timer_ = nullptr;
  int32_t listsProduct_ = -2;  // product the register lists were built for
  bool loading_ = false;
};
