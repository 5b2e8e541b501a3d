#include "app/windows/power_window.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/windows/session.h"

namespace {

QLabel *figure(QWidget *parent, const QString &name) {
  auto *l = new QLabel(parent);
  l->setObjectName(name);
  l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  l->setMinimumWidth(70);
  l->setFrameShape(QFrame::StyledPanel);
  return l;
}

QString three(double v) { return QString::number(v, 'f', 3); }

}  // namespace

PowerEstimateForm::PowerEstimateForm(KovaSession *session, QWidget *parent) : QWidget(parent), session_(session) {
  setObjectName("PowerEstimateForm");
  setWindowTitle("Power Estimate");

  // Rows 1.8 V, 3.3 V, Total; columns typical and maximum current, typical and maximum power.
  auto *grid = new QGridLayout;
  const char *heads[] = {"Typical Current (mA)", "Max. Current (mA)", "Typical Power (W)", "Max Power (W)"};
  for (int c = 0; c < 4; ++c) {
    auto *h = new QLabel(heads[c], this);
    h->setAlignment(Qt::AlignCenter);
    h->setWordWrap(true);
    grid->addWidget(h, 0, c + 1);
  }
  const char *supplies[] = {"1.8 V", "3.3 V"};
  const char *tags[] = {"18", "33"};
  for (int s = 0; s < 2; ++s) {
    grid->addWidget(new QLabel(supplies[s], this), s + 1, 0);
    const int typ = s == 0 ? power_typ_18_e : power_typ_33_e, max = s == 0 ? power_max_18_e : power_max_33_e;
    current_[typ] = figure(this, QString("typCurrent") + tags[s]);
    current_[max] = figure(this, QString("maxCurrent") + tags[s]);
    power_[typ] = figure(this, QString("typPower") + tags[s]);
    power_[max] = figure(this, QString("maxPower") + tags[s]);
    grid->addWidget(current_[typ], s + 1, 1);
    grid->addWidget(current_[max], s + 1, 2);
    grid->addWidget(power_[typ], s + 1, 3);
    grid->addWidget(power_[max], s + 1, 4);
  }
  grid->addWidget(new QLabel("Total", this), 3, 0);
  typTotal_ = figure(this, "typPowerTotal");
  maxTotal_ = figure(this, "maxPowerTotal");
  grid->addWidget(typTotal_, 3, 3);
  grid->addWidget(maxTotal_, 3, 4);

  auto *note = new QLabel("Estimated values from data sheet IDD electrical table.", this);
  note->setObjectName("noteLabel");
  auto *refreshButton = new QPushButton("Refresh", this);
  refreshButton->setObjectName("refreshButton");
  auto *bottom = new QHBoxLayout;
  bottom->addWidget(note);
  bottom->addStretch();
  bottom->addWidget(refreshButton);

  auto *figures = new QVBoxLayout;
  figures->addLayout(grid);
  figures->addSpacing(12);
  figures->addLayout(bottom);
  figures->addStretch();

  // The currents as bars: one set for the typical, one for the maximum figures.
  typSet_ = new QBarSet("Typical");
  maxSet_ = new QBarSet("Max.");
  auto *series = new QBarSeries;
  series->append(typSet_);
  series->append(maxSet_);
  auto *chart = new QChart;
  chart->addSeries(series);
  chart->setTitle("Supply Current (mA)");
  auto *axisX = new QBarCategoryAxis(chart);
  axisX->append({"1.8 V", "3.3 V"});
  axisY_ = new QValueAxis(chart);
  axisY_->setLabelFormat("%.0f");
  chart->addAxis(axisX, Qt::AlignBottom);
  chart->addAxis(axisY_, Qt::AlignLeft);
  series->attachAxis(axisX);
  series->attachAxis(axisY_);
  chart->legend()->setAlignment(Qt::AlignBottom);
  auto *view = new QChartView(chart, this);
  view->setObjectName("currentChart");
  view->setRenderHint(QPainter::Antialiasing);
  view->setMinimumSize(320, 260);

  auto *top = new QHBoxLayout(this);
  top->addLayout(figures);
  top->addWidget(view, 1);

  connect(refreshButton, &QPushButton::clicked, this, &PowerEstimateForm::refresh);
  connect(session_, &KovaSession::statusRefreshed, this, &PowerEstimateForm::refresh);
  connect(session_, &KovaSession::configurationChanged, this, &PowerEstimateForm::refresh);
  typSet_->append({0.0, 0.0});
  maxSet_->append({0.0, 0.0});
  refresh();
}

void PowerEstimateForm::refresh() {
  estimate_ = powerUpdate(session_->hal());
  const power_estimate_s &e = estimate_;
  for (int c = 0; c < power_columns_e; ++c) {
    current_[c]->setText(three(e.current_ma[c]));
    power_[c]->setText(three(e.power_w[c]));
  }
  typTotal_->setText(three(e.typical_total_w));
  maxTotal_->setText(three(e.max_total_w));
  typSet_->replace(0, e.current_ma[power_typ_18_e]);
  typSet_->replace(1, e.current_ma[power_typ_33_e]);
  maxSet_->replace(0, e.current_ma[power_max_18_e]);
  maxSet_->replace(1, e.current_ma[power_max_33_e]);
  // The scale follows the largest current, with a tick every 50 mA (100 mA above 400 mA).
  const double top = *std::max_element(std::begin(e.current_ma), std::end(e.current_ma));
  const double step = top > 400.0 ? 100.0 : 50.0;
  const double range = std::max(step, std::ceil(top / step) * step);
  axisY_->setRange(0.0, range);
  axisY_->setTickCount(static_cast<int>(range / step) + 1);
}
