#include "app/windows/gpio_window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include "app/choice_texts.h"
#include "app/gpio_ops.h"
#include "app/run_control.h"
#include "app/windows/session.h"

GpioConfigForm::GpioConfigForm(KovaSession *session, QWidget *parent) : QWidget(parent), session_(session) {
  setObjectName("GpioConfigForm");
  setWindowTitle("GPIO Configuration");

  auto *grid = new QGridLayout;
  const char *headers[] = {"Control", "State", "Register", "Bit"};
  for (int c = 0; c < 4; ++c) {
    auto *h = new QLabel(headers[c], this);
    QFont bold = h->font();
    bold.setBold(true);
    h->setFont(bold);
    grid->addWidget(h, 0, c + 1, c == 1 ? Qt::AlignHCenter : Qt::Alignment());
  }
  for (int k = 0; k < GPIO_PINS; ++k) {
    grid->addWidget(new QLabel(__dev_GpioStr[k], this), k + 1, 0);
    function_[k] = new QComboBox(this);
    function_[k]->setObjectName(QString("function%1").arg(k));
    for (int i = 0; i < choice_count(__dev_GpioControlStr); ++i) function_[k]->addItem(__dev_GpioControlStr[i], i);
    state_[k] = new QLabel(this);
    state_[k]->setObjectName(QString("state%1").arg(k));
    state_[k]->setAlignment(Qt::AlignCenter);
    state_[k]->setFixedSize(28, 22);
    register_[k] = new QComboBox(this);
    register_[k]->setObjectName(QString("register%1").arg(k));
    register_[k]->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    bit_[k] = new QComboBox(this);
    bit_[k]->setObjectName(QString("bit%1").arg(k));
    bit_[k]->setMinimumContentsLength(12);
    grid->addWidget(function_[k], k + 1, 1);
    grid->addWidget(state_[k], k + 1, 2, Qt::AlignHCenter);
    grid->addWidget(register_[k], k + 1, 3);
    grid->addWidget(bit_[k], k + 1, 4);
    connect(function_[k], &QComboBox::activated, this, [this, k]() { functionChosen(k); });
    connect(register_[k], &QComboBox::activated, this, [this, k]() { routeChosen(k); });
    connect(bit_[k], &QComboBox::activated, this, [this, k]() { routeChosen(k); });
  }

  rate_ = new QComboBox(this);
  rate_->setObjectName("refreshRate");
  for (const char *t : __dev_FormRefreshOptionsStr) rate_->addItem(t);
  refreshButton_ = new QPushButton("Refresh", this);
  refreshButton_->setObjectName("refreshButton");
  timer_ = new QTimer(this);

  auto *bottom = new QHBoxLayout;
  bottom->addWidget(new QLabel("Refresh Rate", this));
  bottom->addWidget(rate_);
  bottom->addWidget(refreshButton_);
  bottom->addStretch();

  auto *top = new QVBoxLayout(this);
  top->addLayout(grid);
  top->addLayout(bottom);
  top->addStretch();

  connect(rate_, &QComboBox::currentIndexChanged, this, &GpioConfigForm::refreshRateChosen);
  connect(refreshButton_, &QPushButton::clicked, this, &GpioConfigForm::ownRefresh);
  connect(timer_, &QTimer::timeout, this, &GpioConfigForm::ownRefresh);
  connect(session_, &KovaSession::configurationChanged, this, &GpioConfigForm::refresh);
  connect(session_, &KovaSession::statusRefreshed, this, [this]() {
    if (rate_->currentIndex() == 0) refresh();
  });
  refreshRateChosen(0);
  refresh();
}

void GpioConfigForm::loadRegisterLists() {
  const int32_t product = __dev_ConvertHalToApiPartNumber(session_->hal()->kova_device_e);
  if (product == listsProduct_) return;
  listsProduct_ = product;
  const std::vector<uint32_t> regs = gpio_status_registers(product);
  for (QComboBox *box : register_) {
    const QSignalBlocker block(box);
    box->clear();
    for (uint32_t a : regs) box->addItem(QString::fromStdString(gpio_register_entry(a)), a);
  }
}

void GpioConfigForm::refresh() {
  loading_ = true;
  loadRegisterLists();
  const hal_api_s *hal = session_->hal();
  for (int k = 0; k < GPIO_PINS; ++k) {
    const int32_t fn = gpio_function(hal, k);
    const QSignalBlocker b1(function_[k]), b2(register_[k]), b3(bit_[k]);
    function_[k]->setCurrentIndex(function_[k]->findData(fn));
    const bool status = gpio_function_is_status(fn);
    register_[k]->setEnabled(status);
    bit_[k]->setEnabled(status);
    bit_[k]->clear();
    if (!status) {
      register_[k]->setCurrentIndex(0);
      bit_[k]->addItem("--");
      continue;
    }
    const uint32_t reg = gpio_route_register(hal, k);
    register_[k]->setCurrentIndex(register_[k]->findData(reg));
    for (const std::string &e : gpio_bit_entries(reg, hal->kova_device_e)) bit_[k]->addItem(QString::fromStdString(e));
    bit_[k]->setCurrentIndex(static_cast<int>(gpio_route_bit(hal, k)));
  }
  showStates();
  loading_ = false;
}

void GpioConfigForm::showStates() {
  for (int k = 0; k < GPIO_PINS; ++k) {
    const bool on = gpio_state(session_->hal(), k);
    state_[k]->setText(on ? "1" : "0");
    state_[k]->setStyleSheet(on ? "background-color: #3cb043; color: white; border: 1px solid gray;"
                                : "background-color: #c8c8c8; border: 1px solid gray;");
  }
}

void GpioConfigForm::functionChosen(int pin) {
  if (loading_ || session_->refreshing) return;
  const int32_t fn = function_[pin]->currentData().toInt();
  session_->change([pin, fn](hal_api_s *hal) { gpio_function_store(hal, pin, fn); });
}

void GpioConfigForm::routeChosen(int pin) {
  if (loading_ || session_->refreshing) return;
  const uint32_t address = gpio_register_of_entry(register_[pin]->currentText().toStdString());
  const int bit = bit_[pin]->currentIndex();
  if (address == 0 || bit < 0) return;
  session_->change([pin, address, bit](hal_api_s *hal) {
    gpio_route_store(hal, pin, address, static_cast<uint32_t>(bit));
  });
}

void GpioConfigForm::refreshRateChosen(int choice) {
  // 0 follows the main window, 1 manual, then 500 ms doubling up to 4 s.
  refreshButton_->setEnabled(choice == 1);
  if (choice >= 2)
    timer_->start(500 << (choice - 2));
  else
    timer_->stop();
}

void GpioConfigForm::ownRefresh() {
  // The pins' levels from the chip (the image offline), then the controls.
  uint8_t levels = 0;
  __dev_GuiReadReg(session_->gui(), session_->hal(), GPIO_REG_STATE, 1, &levels, true);
  refresh();
}
