#include "app/windows/block_diagram.h"

#include <QGridLayout>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace {

struct colours_s {
  QColor fill, line;
};

colours_s colours(main_block_state_e s) {
  switch (s) {
    case main_block_good_e: return {QColor(0xdc, 0xf2, 0xdc), QColor(0x2e, 0x7d, 0x32)};
    case main_block_bad_e: return {QColor(0xff, 0xe3, 0xbd), QColor(0xe6, 0x5c, 0x00)};
    default: return {QColor(0xf0, 0xf0, 0xf0), QColor(0x9e, 0x9e, 0x9e)};
  }
}

const char *const kBlockNames[main_block_count_e] = {"XA", "IC1", "IC2", "IC3", "DPLL", "APLL", "OC1", "OC2", "OC3"};

}  // namespace

BlockPanel::BlockPanel(int block, QWidget *parent) : QFrame(parent), block_(block) {
  setObjectName(QString("block_") + kBlockNames[block]);
  setFrameShape(QFrame::Box);
  setLineWidth(2);
  setAutoFillBackground(true);
  auto *box = new QVBoxLayout(this);
  box->setContentsMargins(8, 6, 8, 8);
  box->setSpacing(3);
  header_ = new QToolButton(this);
  header_->setObjectName(objectName() + "_open");
  header_->setAutoRaise(true);
  header_->setToolTip(tr("Open the %1 window").arg(kBlockNames[block]));
  QFont bold = header_->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() + 1);
  header_->setFont(bold);
  connect(header_, &QToolButton::clicked, this, [this]() { emit openRequested(block_); });
  box->addWidget(header_);
  freq_ = new QLabel(this);
  freq_->setObjectName(objectName() + "_freq");
  freq_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  state_ = new QLabel(this);
  state_->setObjectName(objectName() + "_state");
  detail_ = new QLabel(this);
  detail_->setObjectName(objectName() + "_detail");
  QFont small = detail_->font();
  small.setPointSizeF(small.pointSizeF() - 1);
  detail_->setFont(small);
  box->addWidget(freq_);
  box->addWidget(state_);
  box->addWidget(detail_);
  fields_ = new QFormLayout;
  fields_->setContentsMargins(0, 4, 0, 0);
  fields_->setHorizontalSpacing(6);
  fields_->setVerticalSpacing(3);
  box->addLayout(fields_);
  box->addStretch(1);
}

void BlockPanel::show_view(const main_block_view_s &v) {
  colour_ = v.colour;
  header_->setText(QString::fromStdString(v.title) + QStringLiteral("  \u25B8"));
  freq_->setText(v.frequency.empty() ? QString() : QString::fromStdString(v.frequency) + " MHz");
  freq_->setVisible(!v.frequency.empty());
  state_->setText(QString::fromStdString(v.state));
  detail_->setText(QString::fromStdString(v.detail));
  detail_->setVisible(!v.detail.empty());
  const colours_s c = colours(v.colour);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, c.fill);
  pal.setColor(QPalette::WindowText, c.line);
  setPalette(pal);
  QPalette text = state_->palette();
  text.setColor(QPalette::WindowText, v.colour == main_block_off_e ? QColor(0x55, 0x55, 0x55) : c.line);
  state_->setPalette(text);
}

BlockDiagram::BlockDiagram(QWidget *parent) : QWidget(parent) {
  setObjectName("blockDiagram");
  auto *grid = new QGridLayout(this);
  grid->setHorizontalSpacing(44);
  grid->setVerticalSpacing(14);
  grid->setContentsMargins(12, 12, 12, 12);
  for (int b = 0; b < main_block_count_e; ++b) {
    panels_[b] = new BlockPanel(b, this);
    connect(panels_[b], &BlockPanel::openRequested, this, &BlockDiagram::openRequested);
  }
  grid->addWidget(panels_[main_block_xa_e], 0, 0);
  for (int n = 0; n < 3; ++n) grid->addWidget(panels_[main_block_ic1_e + n], 1 + n, 0);
  grid->addWidget(panels_[main_block_dpll_e], 1, 1, 3, 1);
  grid->addWidget(panels_[main_block_apll_e], 0, 2, 4, 1);
  for (int n = 0; n < 3; ++n) grid->addWidget(panels_[main_block_oc1_e + n], 1 + n, 3);
  for (int c = 0; c < 4; ++c) grid->setColumnStretch(c, 1);
}

void BlockDiagram::refresh(const hal_api_s *hal) {
  ja_ = hal->kova_mode_e == kova_mode_ja_e;
  for (int b = 0; b < main_block_count_e; ++b) panels_[b]->show_view(main_block_view(hal, b));
  update();
}

void BlockDiagram::paintEvent(QPaintEvent *) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  // A connector from the right edge of one block to the left edge of another at height y,
  // with an arrow head, coloured by the state of the block it comes from.
  auto connector = [&](int from, int to, int y, int coloured_by) {
    const QRect a = panels_[from]->geometry(), b = panels_[to]->geometry();
    const QColor c = colours(panels_[coloured_by]->colour()).line;
    QPen pen(c, 2.5);
    p.setPen(pen);
    const int x0 = a.right() + 1, x1 = b.left() - 1;
    const int ya = std::clamp(y, a.top() + 8, a.bottom() - 8);
    const int yb = std::clamp(y, b.top() + 8, b.bottom() - 8);
    const int xm = (x0 + x1) / 2;
    QPainterPath path(QPointF(x0, ya));
    path.lineTo(xm, ya);
    path.lineTo(xm, yb);
    path.lineTo(x1 - 6, yb);
    p.drawPath(path);
    p.setBrush(c);
    const QPointF tip(x1, yb);
    p.drawPolygon(QPolygonF({tip, QPointF(x1 - 9, yb - 5), QPointF(x1 - 9, yb + 5)}));
    p.setBrush(Qt::NoBrush);
  };
  connector(main_block_xa_e, main_block_apll_e, panels_[main_block_xa_e]->geometry().center().y(), main_block_xa_e);
  for (int n = 0; n < 3; ++n) {
    const QRect ic = panels_[main_block_ic1_e + n]->geometry();
    if (ja_) connector(main_block_ic1_e + n, main_block_dpll_e, ic.center().y(), main_block_ic1_e + n);
    const QRect oc = panels_[main_block_oc1_e + n]->geometry();
    // An output's connector shows whether that output is in use.
    connector(main_block_apll_e, main_block_oc1_e + n, oc.center().y(), main_block_oc1_e + n);
  }
  if (ja_)
    connector(main_block_dpll_e, main_block_apll_e, panels_[main_block_dpll_e]->geometry().center().y(),
              main_block_dpll_e);
}
