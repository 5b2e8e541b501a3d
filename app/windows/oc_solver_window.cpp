#include "app/windows/oc_solver_window.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/windows/freq_calc_window.h"
#include "app/windows/session.h"

namespace {

QLabel *value_label(const QString &name, QWidget *parent) {
  auto *l = new QLabel(parent);
  l->setObjectName(name);
  l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  l->setMinimumWidth(l->fontMetrics().horizontalAdvance("0000.000000 "));
  return l;
}

void load_combo(QComboBox *box, const std::vector<std::string> &texts, int selected, const std::string &empty,
                bool enabled) {
  const QSignalBlocker block(box);
  box->clear();
  for (const auto &t : texts) box->addItem(QString::fromStdString(t));
  box->setPlaceholderText(QString::fromStdString(empty));
  box->setCurrentIndex(selected < static_cast<int>(texts.size()) ? selected : -1);
  box->setEnabled(enabled);
}

}  // namespace

OCSolverForm::OCSolverForm(KovaSession *session, QWidget *parent) : QWidget(parent), session_(session) {
  setObjectName("OCSolverForm");
  setWindowTitle("Output Clock Solver");

  // Mode and load.
  auto *modeBox = new QGroupBox("Divider Solution", this);
  auto *modeRow = new QHBoxLayout(modeBox);
  auto *modeGroup = new QButtonGroup(this);
  const char *modeText[3] = {"Automatic", "Select from Solver List", "Manual Entry"};
  const char *modeName[3] = {"autoMode", "selectMode", "manualMode"};
  for (int m = 0; m < 3; ++m) {
    modeButtons_[m] = new QRadioButton(modeText[m], modeBox);
    modeButtons_[m]->setObjectName(modeName[m]);
    modeGroup->addButton(modeButtons_[m], m);
    modeRow->addWidget(modeButtons_[m]);
    connect(modeButtons_[m], &QRadioButton::clicked, this, [this, m]() { modeChosen(m); });
  }
  modeRow->addStretch();
  loadButton_ = new QPushButton("Load Configuration", modeBox);
  loadButton_->setObjectName("loadButton");
  modeRow->addWidget(loadButton_);
  connect(loadButton_, &QPushButton::clicked, this, &OCSolverForm::load);

  auto makeList = [this](int list, const QString &name, QWidget *parent) {
    lists_[list] = new QComboBox(parent);
    lists_[list]->setObjectName(name);
    lists_[list]->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(lists_[list], qOverload<int>(&QComboBox::activated), this, [this, list](int row) { listChosen(list, row); });
    return lists_[list];
  };

  // APLL: VCO and the two high-speed dividers.
  auto *apll = new QGroupBox("APLL", this);
  auto *ag = new QGridLayout(apll);
  apllInput_ = value_label("apllInputFreq", apll);
  ratio_ = value_label("apllRatio", apll);
  hsdiv1Freq_ = value_label("hsdiv1Freq", apll);
  hsdiv2Freq_ = value_label("hsdiv2Freq", apll);
  vcoEdit_ = new FieldEdit(apll);
  vcoEdit_->setObjectName("vcoEdit");
  vcoEdit_->setValidator(new EntryCharValidator(field_frequency_e, vcoEdit_));
  vcoFrac_ = new QPushButton("Frac", apll);
  vcoFrac_->setObjectName("vcoFracButton");
  bypass_ = new QCheckBox("Bypass HSDIV2", apll);
  bypass_->setObjectName("hsdiv2Bypass");
  ag->addWidget(new QLabel("APLL Input (MHz):", apll), 0, 0);
  ag->addWidget(apllInput_, 0, 1);
  ag->addWidget(new QLabel("APLL Feedback Ratio:", apll), 0, 2);
  ag->addWidget(ratio_, 0, 3);
  ag->addWidget(new QLabel("VCO (MHz):", apll), 1, 0);
  ag->addWidget(makeList(0, "vcoList", apll), 1, 1);
  ag->addWidget(vcoEdit_, 1, 1);
  ag->addWidget(vcoFrac_, 1, 2, Qt::AlignLeft);
  ag->addWidget(new QLabel("HSDIV1:", apll), 2, 0);
  ag->addWidget(makeList(1, "hsdiv1List", apll), 2, 1);
  ag->addWidget(new QLabel("HSDIV1 (MHz):", apll), 2, 2);
  ag->addWidget(hsdiv1Freq_, 2, 3);
  ag->addWidget(new QLabel("HSDIV2:", apll), 3, 0);
  ag->addWidget(makeList(2, "hsdiv2List", apll), 3, 1);
  ag->addWidget(new QLabel("HSDIV2 (MHz):", apll), 3, 2);
  ag->addWidget(hsdiv2Freq_, 3, 3);
  ag->addWidget(bypass_, 3, 4);
  ag->setColumnStretch(5, 1);
  connect(vcoEdit_, &FieldEdit::applied, this, [this](const QString &t) {
    if (!oc_solver_enter_vco(&form_, t.toStdString())) vcoEdit_->setText(vcoEdit_->shownValue());
    updateThisForm();
  });
  connect(vcoFrac_, &QPushButton::clicked, this, &OCSolverForm::fractionClicked);
  connect(bypass_, &QCheckBox::clicked, this, [this](bool on) {
    oc_solver_set_bypass(&form_, on);
    updateThisForm();
  });

  // The outputs side by side.
  auto *outs = new QGroupBox("Output Clocks", this);
  auto *og = new QGridLayout(outs);
  const char *rowText[] = {"Output Source:", "HSDIV:",      "MSDIV:",     "MSDIV (MHz):",
                           "LSDIV:",         "LSDIV (MHz):", "OCP (MHz):", "OCN (MHz):"};
  for (int r = 0; r < 8; ++r) og->addWidget(new QLabel(rowText[r], outs), r + 1, 0);
  for (int n = 1; n <= 3; ++n) {
    const QString oc = QString("oc%1").arg(n);
    auto *title = new QLabel(QString("OC%1").arg(n), outs);
    title->setAlignment(Qt::AlignCenter);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    og->addWidget(title, 0, n);
    sources_[n - 1] = new QComboBox(outs);
    sources_[n - 1]->setObjectName(oc + "Source");
    connect(sources_[n - 1], qOverload<int>(&QComboBox::activated), this, [this, n](int row) { sourceChosen(n, row); });
    og->addWidget(sources_[n - 1], 1, n);
    og->addWidget(makeList(oc_list_hsdiv(n), oc + "HsdivList", outs), 2, n);
    og->addWidget(makeList(oc_list_msdiv(n), oc + "MsdivList", outs), 3, n);
    msdivEdits_[n - 1] = new FieldEdit(outs);
    msdivEdits_[n - 1]->setObjectName(oc + "MsdivEdit");
    og->addWidget(msdivEdits_[n - 1], 3, n);
    msdivFreq_[n - 1] = value_label(oc + "MsdivFreq", outs);
    og->addWidget(msdivFreq_[n - 1], 4, n);
    og->addWidget(makeList(oc_list_lsdiv(n), oc + "LsdivList", outs), 5, n);
    lsdivEdits_[n - 1] = new FieldEdit(outs);
    lsdivEdits_[n - 1]->setObjectName(oc + "LsdivEdit");
    og->addWidget(lsdivEdits_[n - 1], 5, n);
    lsdivFreq_[n - 1] = value_label(oc + "LsdivFreq", outs);
    og->addWidget(lsdivFreq_[n - 1], 6, n);
    ocpFreq_[n - 1] = value_label(oc + "OcpFreq", outs);
    og->addWidget(ocpFreq_[n - 1], 7, n);
    ocnFreq_[n - 1] = value_label(oc + "OcnFreq", outs);
    og->addWidget(ocnFreq_[n - 1], 8, n);
    connect(msdivEdits_[n - 1], &FieldEdit::applied, this, [this, n](const QString &t) {
      if (!oc_solver_enter_msdiv(&form_, n, t.toStdString()))
        msdivEdits_[n - 1]->setText(msdivEdits_[n - 1]->shownValue());
      updateThisForm();
    });
    connect(lsdivEdits_[n - 1], &FieldEdit::applied, this, [this, n](const QString &t) {
      if (!oc_solver_enter_lsdiv(&form_, n, t.toStdString()))
        lsdivEdits_[n - 1]->setText(lsdivEdits_[n - 1]->shownValue());
      updateThisForm();
    });
  }

  auto *top = new QVBoxLayout(this);
  top->addWidget(modeBox);
  top->addWidget(apll);
  top->addWidget(outs);
  top->addStretch();

  connect(session_, &KovaSession::configurationChanged, this, &OCSolverForm::reloadFromObject);
  oc_solver_open(&form_, &session_->state);
  updateThisForm();
}

void OCSolverForm::tellOthers() {
  telling_ = true;
  session_->notifyConfigurationChanged();
  telling_ = false;
}

void OCSolverForm::reloadFromObject() {
  if (telling_) return;
  oc_solver_open(&form_, &session_->state);
  updateThisForm();
}

void OCSolverForm::modeChosen(int32_t mode) {
  if (session_->refreshing) return;
  oc_solver_set_mode(&form_, mode);
  tellOthers();
  updateThisForm();
}

void OCSolverForm::listChosen(int list, int row) {
  if (session_->refreshing) return;
  oc_solver_choose(&form_, list, row);
  updateThisForm();
}

void OCSolverForm::sourceChosen(int n, int row) {
  if (session_->refreshing) return;
  oc_solver_choose_source(&form_, n, row);
  updateThisForm();
}

void OCSolverForm::fractionClicked() {
  FrequencyCalcForm calc("Calculate VCO Frequency", form_.work.vco_freq_s, this);
  if (calc.exec() != QDialog::Accepted) return;
  oc_solver_set_vco(&form_, calc.value());
  updateThisForm();
}

void OCSolverForm::load() {
  if (session_->refreshing) return;
  oc_solver_load(&form_);
  tellOthers();
  updateThisForm();
}

void OCSolverForm::updateThisForm() {
  const hal_api_s &w = form_.work;
  const int32_t mode = w.oc_solver_mode_e;
  const bool manual = mode == oc_solver_mode_manual_e;
  for (int m = 0; m < 3; ++m) {
    const QSignalBlocker block(modeButtons_[m]);
    modeButtons_[m]->setChecked(m == mode);
  }
  for (int l = 0; l < OC_LIST_COUNT; ++l)
    load_combo(lists_[l], oc_solver_list_texts(&form_, l), form_.lists[l].selected, oc_solver_empty_text(&form_, l),
               oc_solver_list_enabled(&form_, l));
  std::vector<std::string> sources = oc_solver_source_texts(&form_);
  for (int n = 1; n <= 3; ++n) {
    load_combo(sources_[n - 1], sources, form_.source[n - 1], "", oc_solver_list_enabled(&form_, -n));
    // Manual mode types the dividers; the other modes choose them from the lists.
    lists_[oc_list_msdiv(n)]->setVisible(!manual);
    lists_[oc_list_lsdiv(n)]->setVisible(!manual);
    msdivEdits_[n - 1]->setVisible(manual);
    lsdivEdits_[n - 1]->setVisible(manual);
    if (manual) {
      msdivEdits_[n - 1]->showValue(QString::number(form_.lists[oc_list_msdiv(n)].values.at(0)));
      lsdivEdits_[n - 1]->showValue(QString::number(form_.lists[oc_list_lsdiv(n)].values.at(0)));
    }
    lsdivEdits_[n - 1]->setEnabled(oc_solver_list_enabled(&form_, oc_list_lsdiv(n)));
    msdivFreq_[n - 1]->setText(QString::fromStdString(oc_solver_msdiv_freq_text(&form_, n)));
    lsdivFreq_[n - 1]->setText(QString::fromStdString(oc_solver_lsdiv_freq_text(&form_, n)));
    ocpFreq_[n - 1]->setText(QString::fromStdString(oc_solver_ocp_freq_text(&form_, n)));
    ocnFreq_[n - 1]->setText(QString::fromStdString(oc_solver_ocn_freq_text(&form_, n)));
  }
  lists_[0]->setVisible(!manual);
  vcoEdit_->setVisible(manual);
  vcoFrac_->setVisible(manual);
  vcoEdit_->showValue(QString::fromStdString(oc_solver_vco_text(&form_)));
  {
    const QSignalBlocker block(bypass_);
    bypass_->setEnabled(manual);
    bypass_->setChecked(manual && w.apllcr1_byphs2_u1 == 1);
  }
  apllInput_->setText(QString::fromStdString(oc_solver_apll_input_text(&form_)));
  ratio_->setText(QString::fromStdString(oc_solver_ratio_text(&form_)));
  hsdiv1Freq_->setText(QString::fromStdString(oc_solver_hsdiv_freq_text(&form_, 1)));
  hsdiv2Freq_->setText(QString::fromStdString(oc_solver_hsdiv_freq_text(&form_, 2)));
  // A choice not yet loaded marks the load button.
  loadButton_->setStyleSheet(form_.dirty ? "background-color: yellow;" : "");
}
