#include "app/windows/apll_test_window.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/windows/field_edit.h"
#include "app/windows/freq_calc_window.h"
#include "app/windows/session.h"

namespace {

QString hex_byte(uint32_t v) { return QString("%1").arg(v & 0xFFu, 2, 16, QChar('0')).toUpper(); }

}  // namespace

ApllTestRegistersForm::ApllTestRegistersForm(KovaSession *session, QWidget *parent)
    : QWidget(parent), session_(session) {
  setObjectName("ApllTestRegistersForm");
  setWindowTitle("APLL Test Registers");

  automatic_ = new QCheckBox("Automatic Tuning (values chosen by the calculation)", this);
  automatic_->setObjectName("automaticCheck");
  connect(automatic_, &QCheckBox::clicked, this, [this](bool on) {
    if (!session_->refreshing) session_->change([on](hal_api_s *h) { apll_test_automatic(h, on); });
  });
  buildOff_ = new QLabel("Building of these registers is switched off in this configuration\n"
                         "(apll_test_build_disable): the image keeps the values written here.",
                         this);
  buildOff_->setObjectName("buildOffLabel");

  auto *grid = new QGridLayout;
  grid->addWidget(new QLabel("<b>Address</b>", this), 0, 0);
  grid->addWidget(new QLabel("<b>Register</b>", this), 0, 1);
  grid->addWidget(new QLabel("<b>Value (hex)</b>", this), 0, 2);
  grid->addWidget(new QLabel("<b>Chip</b>", this), 0, 3);
  for (int i = 0; i < APLL_TEST_REG_COUNT; ++i) {
    const apll_test_reg_s &r = APLL_TEST_REGS[i];
    auto *e = new FieldEdit(this);
    e->setObjectName(QString("reg%1Edit").arg(QString::number(r.address, 16).toUpper()));
    e->setValidator(new EntryCharValidator(field_hex_e, e));
    e->setMaxLength(2);
    e->setFixedWidth(60);
    connect(e, &FieldEdit::applied, this, [this, i](const QString &text) { edited(i, text); });
    values_[i] = e;
    grid->addWidget(new QLabel("0x" + QString::number(r.address, 16).toUpper(), this), i + 1, 0);
    grid->addWidget(new QLabel(r.name, this), i + 1, 1);
    grid->addWidget(e, i + 1, 2);
    chip_[i] = new QLabel(this);
    chip_[i]->setObjectName(QString("chip%1Label").arg(QString::number(r.address, 16).toUpper()));
    grid->addWidget(chip_[i], i + 1, 3);
  }

  auto *refreshButton = new QPushButton("Refresh", this);
  refreshButton->setObjectName("refreshButton");
  refreshButton->setAutoDefault(false);
  connect(refreshButton, &QPushButton::clicked, this, &ApllTestRegistersForm::refresh);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(refreshButton);

  auto *top = new QVBoxLayout(this);
  top->addWidget(automatic_);
  top->addWidget(buildOff_);
  top->addLayout(grid);
  top->addLayout(buttons);

  connect(session_, &KovaSession::configurationChanged, this, &ApllTestRegistersForm::refresh);
  connect(session_, &KovaSession::connectionChanged, this, &ApllTestRegistersForm::refresh);
  refresh();
}

void ApllTestRegistersForm::edited(int index, const QString &text) {
  uint32_t v = 0;
  const uint32_t address = APLL_TEST_REGS[index].address;
  // Enter on the value already held is no edit: the calculation keeps choosing the tuning.
  if (apll_test_parse(text.toStdString(), &v) && v != get_reg(session_->hal(), address) && !session_->refreshing)
    session_->change([index, v](hal_api_s *h) { apll_test_store(h, index, v); });
  // Accepted or not, the field shows the register as the image holds it now.
  values_[index]->showValue(hex_byte(get_reg(session_->hal(), address)));
}

void ApllTestRegistersForm::refresh() {
  const hal_api_s *h = session_->hal();
  {
    const QSignalBlocker block(automatic_);
    automatic_->setChecked(h->auto_apll_disable == 0);
  }
  buildOff_->setVisible(h->apll_test_build_disable != 0);
  for (int i = 0; i < APLL_TEST_REG_COUNT; ++i) values_[i]->showValue(hex_byte(get_reg(h, APLL_TEST_REGS[i].address)));
  // What the chip holds, read back when a board is connected ("-" offline or when the read
  // fails), so that a value that did not arrive is seen.
  uint8_t held[APLL_TEST_REG_COUNT];
  const bool read = session_->connected() &&
                    kxKovaIo_DutRegRead(&session_->gui()->ioHandle, APLL_TEST_REGS[0].address, APLL_TEST_REG_COUNT, held) == 0;
  for (int i = 0; i < APLL_TEST_REG_COUNT; ++i) chip_[i]->setText(read ? hex_byte(held[i]) : QString("-"));
}
