#include "app/windows/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTextStream>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/app_options.h"
#include "app/device_settings.h"
#include "app/eeprom_program.h"
#include "app/freq_entry.h"
#include "app/run_control.h"
#include "arith/fprec.h"
#include "app/windows/block_details_window.h"
#include "app/windows/child_windows.h"
#include "app/windows/connection_window.h"
#include "app/windows/freq_calc_window.h"
#include "app/windows/initial_config_window.h"
#include "app/windows/known_freq_window.h"
#include "app/windows/widget_util.h"
#include "board/kxkovaio.h"

namespace {

const char *const kDpllModeStr[3] = {"Automatic", "Freerun", "Holdover"};
const char *const kApllSourceStr[4] = {"XA", "IC1", "IC2", "IC3"};
const char *const kOutputFormatStr[8] = {"Disabled", "CML (800mV)", "CML (400mV)", "HSTL",
                                         "2 CMOS",   "1 CMOS-N",    "1 CMOS-P",    "2 CMOS-Comp"};
const char *const kPollStr[4] = {"Off", "1 second", "2 seconds", "5 seconds"};
const char *const kSsTypeStr[2] = {"Center Spread", "Down Spread"};
const char *const kBlockWindow[main_block_count_e] = {"BlockXA",   "BlockIC1",  "BlockIC2", "BlockIC3", "BlockDPLL",
                                                      "BlockAPLL", "BlockOC1", "BlockOC2", "BlockOC3"};
// The configuration window of each block; inputs and outputs share one window each, showing
// the channel of the block clicked.
const char *const kBlockForm[main_block_count_e] = {
    "BlockXA",        "InputConfigForm",  "InputConfigForm",  "InputConfigForm", "DpllConfigForm",
    "ApllConfigForm", "OutputConfigForm", "OutputConfigForm", "OutputConfigForm"};
const int kBlockChannel[main_block_count_e] = {0, 0, 1, 2, 0, 0, 0, 1, 2};
// Windows of the Windows menu: object name of the action, class name, text, super-user only.
struct tool_window_s {
  const char *action, *name, *text;
  bool super_user;
};
const tool_window_s kToolWindows[] = {
    {"actionOCSolver", "OCSolverForm", "Output Clock Solver...", false},
    {"actionInputMonitor", "InputRefMonitorForm", "Input Status and Monitoring...", false},
    {"actionInputConfig", "InputConfigForm", "Input Configuration...", false},
    {"actionOutputConfig", "OutputConfigForm", "Output Configuration...", false},
    {"actionDpllConfig", "DpllConfigForm", "DPLL Configuration...", false},
    {"actionApllConfig", "ApllConfigForm", "APLL Configuration...", false},
    {"actionApllTest", "ApllTestRegistersForm", "APLL Test Registers...", true},
    {"actionRegisters", "RegisterForm", "Register View...", false},
    {"actionGpio", "GpioConfigForm", "GPIO Configuration...", false},
    {"actionPhaseAdjust", "PhaseAdjustForm", "Phase Adjust...", false},
    {"actionPhaseMeasure", "PhaseMeasureForm", "Phase Measure...", false},
    {"actionPower", "PowerEstimateForm", "Power Estimate...", false},
};
constexpr int kRecentMax = 8;


void fill(QComboBox *c, const char *const *texts, int n) {
  for (int i = 0; i < n; ++i) c->addItem(texts[i], i);
}

void select_value(QComboBox *c, int value) {
  const int i = c->findData(value);
  c->setCurrentIndex(i);
}

bool is_dump_file(const QString &path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
  for (int i = 0; i < 5 && !f.atEnd(); ++i)
    if (f.readLine(4096).contains("Register Dump")) return true;
  return false;
}

}  // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), session_(new KovaSession(this)) {
  setObjectName("MainWindow");
  setAcceptDrops(true);
  dialog_.parent = this;
  app_set_dialog(&dialog_);
  session_->state.ui = this;
  app_log_set_listener(&MainWindow::messageSink, this);

  refresh_timer_.setParent(this);
  refresh_timer_.setObjectName("refreshTimer");
  connect(&refresh_timer_, &QTimer::timeout, this, &MainWindow::refreshStatus);

  buildPanels();
  buildMenus();
  connect(session_, &KovaSession::configurationChanged, this, &MainWindow::loadControls);

  main_startup(&session_->state);
  loadControls();
  const std::string log_text = app_log_state_process(session_->gui());
  log_action_->setText(q(log_text));

  QSettings settings;
  if (!restoreGeometry(settings.value("main/geometry").toByteArray())) resize(1240, 900);
  rebuildRecent();
}

MainWindow::~MainWindow() {
  refresh_timer_.stop();
  session_->state.ui = nullptr;
  app_log_set_listener(nullptr, nullptr);
  if (&app_dialog() == static_cast<user_dialog_s *>(&dialog_)) app_set_dialog(nullptr);
  for (auto &w : children_)
    if (w) delete w.data();
}

// ---------------------------------------------------------------------------------------
// Layout

void MainWindow::buildPanels() {
  auto *central = new QWidget(this);
  auto *outer = new QVBoxLayout(central);
  outer->setContentsMargins(6, 6, 6, 6);

  // The top row: device, chip mode (a key parameter), polling rate, refresh.
  auto *top = new QHBoxLayout;
  device_label_ = new QLabel(central);
  device_label_->setObjectName("deviceLabel");
  QFont bold = device_label_->font();
  bold.setBold(true);
  device_label_->setFont(bold);
  top->addWidget(device_label_);
  top->addSpacing(16);
  top->addWidget(new QLabel(tr("Device Mode:"), central));
  mode_combo_ = new QComboBox(central);
  mode_combo_->setObjectName("deviceMode");
  top->addWidget(mode_combo_);
  top->addSpacing(16);
  top->addWidget(new QLabel(tr("Polling Rate:"), central));
  poll_combo_ = new QComboBox(central);
  poll_combo_->setObjectName("pollingRate");
  fill(poll_combo_, kPollStr, 4);
  top->addWidget(poll_combo_);
  auto *refresh = new QPushButton(tr("Refresh"), central);
  refresh->setObjectName("refreshButton");
  top->addWidget(refresh);
  top->addStretch(1);
  connection_label_ = new QLabel(central);
  connection_label_->setObjectName("connectionLabel");
  top->addWidget(connection_label_);
  outer->addLayout(top);

  connect(mode_combo_, qOverload<int>(&QComboBox::activated), this, [this](int i) {
    const int mode = mode_combo_->itemData(i).toInt();
    if (mode == session_->hal()->kova_mode_e) return;
    applyKeyChange([this, mode](hal_api_s *hal) {
      hal->kova_mode_e = mode;
      __dev_DefaultsForDevMode(hal, session_->connected());
    });
  });
  connect(poll_combo_, qOverload<int>(&QComboBox::activated), this, [this](int i) {
    poll_period_ms_ = main_poll_period_ms(i);
    refresh_timer_.stop();
    if (poll_period_ms_ > 0) refresh_timer_.start(poll_period_ms_);
  });
  connect(refresh, &QPushButton::clicked, this, &MainWindow::refreshStatus);

  diagram_ = new BlockDiagram(central);
  connect(diagram_, &BlockDiagram::openRequested, this,
          [this](int block) { openBlockWindow(block); });

  // XA block: the master clock, its error and driver; the modulation of NCO and SS.
  QFormLayout *xa = diagram_->panel(main_block_xa_e)->fields();
  xa_mode_combo_ = new QComboBox;
  xa_mode_combo_->setObjectName("xaMode");
  fill(xa_mode_combo_, __dev_MasterClockModeStr, 7);
  xa->addRow(tr("Mode:"), xa_mode_combo_);
  connect(xa_mode_combo_, qOverload<int>(&QComboBox::activated), this, [this](int i) {
    const int xa_mode = __dev_MasterClockToXaMode(xa_mode_combo_->itemData(i).toInt());
    if (xa_mode == session_->hal()->xa_mode_e) return;
    applyKeyChange([xa_mode](hal_api_s *hal) { hal->xa_mode_e = xa_mode; });
  });
  auto *xa_row = new QHBoxLayout;
  xa_freq_ = new FieldEdit;
  xa_freq_->setObjectName("xaFreq");
  xa_row->addWidget(xa_freq_);
  auto *xa_frac = new QToolButton;
  xa_frac->setObjectName("xaFreqFrac");
  xa_frac->setText(tr("Frac"));
  xa_row->addWidget(xa_frac);
  xa->addRow(tr("MHz:"), xa_row);
  connect(xa_freq_, &FieldEdit::applied, this,
          [this](const QString &t) { applyFrequency(xa_freq_, &hal_api_s::xa_freq_s, t); });
  connect(xa_frac, &QToolButton::clicked, this,
          [this]() { calculateFrequency(&hal_api_s::xa_freq_s, tr("Calculate XA Frequency")); });
  xa_ppm_ = new FieldEdit;
  xa_ppm_->setObjectName("xaPpm");
  xa->addRow(tr("Error (ppm):"), xa_ppm_);
  connect(xa_ppm_, &FieldEdit::applied, this, [this](const QString &t) {
    double ppm = 0.0;
    if (!DoubleTextBox_Validate(t.toStdString(), -1000000.0, 1000000.0, true, &ppm)) {
      xa_ppm_->setText(xa_ppm_->shownValue());
      return;
    }
    const int32_t ppb = main_ppm_to_ppb(ppm);
    applyChange([ppb](hal_api_s *hal) { hal->xa_freq_off_ppb_i32 = ppb; });
  });
  xa_disable_ = new QCheckBox(tr("Driver off"));
  xa_disable_->setObjectName("xaDisable");
  xa->addRow(tr("XA Driver:"), xa_disable_);
  connect(xa_disable_, &QCheckBox::toggled, this, [this](bool on) {
    applyChange([on](hal_api_s *hal) { hal->xa_disable = on ? 1 : 0; });
  });
  // APLL: source and alternate source.
  QFormLayout *ap = diagram_->panel(main_block_apll_e)->fields();
  apll_src_ = new QComboBox;
  apll_src_->setObjectName("apllSource");
  fill(apll_src_, kApllSourceStr, 4);
  apll_src_->setPlaceholderText(tr("DPLL/DCO"));  // shown when the DPLL drives the APLL (no pin source)
  ap->addRow(tr("Source:"), apll_src_);
  connect(apll_src_, qOverload<int>(&QComboBox::activated), this,
          [this](int i) { applyChange([i](hal_api_s *hal) { hal->apllcr3_apllmux_u3 = i; }); });
  apll_alt_ = new QComboBox;
  apll_alt_->setObjectName("apllAltSource");
  fill(apll_alt_, kApllSourceStr, 4);
  ap->addRow(tr("Alternate:"), apll_alt_);
  connect(apll_alt_, qOverload<int>(&QComboBox::activated), this,
          [this](int i) { applyChange([i](hal_api_s *hal) { hal->apllcr3_altmux_u3 = i; }); });

  // The modulation of the NCO and spread-spectrum modes acts on the APLL's DCO.
  QFormLayout *mod = diagram_->panel(main_block_apll_e)->fields();
  ss_type_ = new QComboBox;
  ss_type_->setObjectName("ssType");
  fill(ss_type_, kSsTypeStr, 2);
  ss_type_label_ = new QLabel(tr("SS Type:"));
  mod->addRow(ss_type_label_, ss_type_);
  connect(ss_type_, qOverload<int>(&QComboBox::activated), this,
          [this](int i) { applyChange([i](hal_api_s *hal) { hal->ss_mode_e = i; }); });
  ss_pct_ = new FieldEdit;
  ss_pct_->setObjectName("ssPercent");
  ss_pct_label_ = new QLabel(tr("SS (%):"));
  mod->addRow(ss_pct_label_, ss_pct_);
  connect(ss_pct_, &FieldEdit::applied, this, [this](const QString &t) {
    double pct = 0.0;
    const hal_api_s *h = session_->hal();
    if (!DoubleTextBox_Validate(t.toStdString(), h->ss_mod_pct_min, h->ss_mod_pct_max, true, &pct)) {
      ss_pct_->setText(ss_pct_->shownValue());
      return;
    }
    const uint32_t x10 = static_cast<uint32_t>(std::lround(pct * 10.0));
    applyChange([x10](hal_api_s *hal) { hal->ss_pctx10 = x10; });
  });
  ss_mod_ = new FieldEdit;
  ss_mod_->setObjectName("ssModulation");
  ss_mod_label_ = new QLabel(tr("Mod. (kHz):"));
  mod->addRow(ss_mod_label_, ss_mod_);
  connect(ss_mod_, &FieldEdit::applied, this, [this](const QString &t) {
    double khz = 0.0;
    const hal_api_s *h = session_->hal();
    if (!DoubleTextBox_Validate(t.toStdString(), h->ss_mod_khz_min, h->ss_mod_khz_max, true, &khz)) {
      ss_mod_->setText(ss_mod_->shownValue());
      return;
    }
    const uint32_t hz = static_cast<uint32_t>(std::lround(khz * 1000.0));
    applyChange([hz](hal_api_s *hal) { hal->ss_mod_hz = hz; });
  });
  nco_step_ = new QDoubleSpinBox;
  nco_step_->setObjectName("ncoStep");
  nco_step_->setRange(-1000.0, 1000.0);
  nco_step_->setDecimals(3);
  nco_step_->setKeyboardTracking(false);
  nco_label_ = new QLabel(tr("NCO Step (ppm):"));
  mod->addRow(nco_label_, nco_step_);
  connect(nco_step_, qOverload<double>(&QDoubleSpinBox::valueChanged), this, [this](double ppm) {
    if (session_->refreshing) return;
    NCOOffsetValue = ppm;
    __dev_NcoOffsetSet(session_->gui(), session_->hal(), ppm);
  });

  // Inputs: enable and frequency.
  for (int n = 0; n < 3; ++n) {
    QFormLayout *f = diagram_->panel(main_block_ic1_e + n)->fields();
    const QString ic = QString("ic%1").arg(n + 1);
    ic_enable_[n] = new QCheckBox(tr("Enabled"));
    ic_enable_[n]->setObjectName(ic + "Enable");
    f->addRow(ic_enable_[n]);
    connect(ic_enable_[n], &QCheckBox::toggled, this, [this, n](bool on) {
      applyChange([n, on](hal_api_s *hal) { hal->*kMainIcEnable[n] = on ? 1 : 0; });
    });
    auto *row = new QHBoxLayout;
    ic_freq_[n] = new FieldEdit;
    ic_freq_[n]->setObjectName(ic + "Freq");
    row->addWidget(ic_freq_[n]);
    auto *frac = new QToolButton;
    frac->setObjectName(ic + "FreqFrac");
    frac->setText(tr("Frac"));
    row->addWidget(frac);
    f->addRow(tr("MHz:"), row);
    connect(ic_freq_[n], &FieldEdit::applied, this,
            [this, n](const QString &t) { applyFrequency(ic_freq_[n], kMainIcFreq[n], t); });
    connect(frac, &QToolButton::clicked, this, [this, n]() {
      calculateFrequency(kMainIcFreq[n], tr("Calculate IC%1 Frequency").arg(n + 1));
    });
  }

  // DPLL: mode, bandwidth, external switching.
  QFormLayout *dp = diagram_->panel(main_block_dpll_e)->fields();
  dpll_mode_ = new QComboBox;
  dpll_mode_->setObjectName("dpllMode");
  fill(dpll_mode_, kDpllModeStr, 3);
  dp->addRow(tr("Mode:"), dpll_mode_);
  connect(dpll_mode_, qOverload<int>(&QComboBox::activated), this,
          [this](int i) { applyChange([i](hal_api_s *hal) { hal->dpll_mode_e = i; }); });
  dpll_bw_ = new FieldEdit;
  dpll_bw_->setObjectName("dpllBandwidth");
  dp->addRow(tr("Bandwidth (Hz):"), dpll_bw_);
  connect(dpll_bw_, &FieldEdit::applied, this, [this](const QString &t) {
    bool ok = false;
    const uint32_t bw = t.trimmed().toUInt(&ok);
    if (!ok) {
      dpll_bw_->setText(dpll_bw_->shownValue());
      return;
    }
    applyChange([bw](hal_api_s *hal) { hal->dpll_bw_hz = bw; });
  });
  ext_switch_ = new QCheckBox(tr("External switching"));
  ext_switch_->setObjectName("extSwitch");
  dp->addRow(ext_switch_);
  connect(ext_switch_, &QCheckBox::toggled, this, [this](bool on) {
    applyChange([on](hal_api_s *hal) { hal->icscr1_extsw_u1 = on ? 1 : 0; });
  });

  // Outputs: frequency, format and the N side's frequency of the two-output formats.
  for (int n = 0; n < 3; ++n) {
    QFormLayout *f = diagram_->panel(main_block_oc1_e + n)->fields();
    const QString oc = QString("oc%1").arg(n + 1);
    auto *row = new QHBoxLayout;
    oc_freq_[n] = new FieldEdit;
    oc_freq_[n]->setObjectName(oc + "Freq");
    oc_freq_[n]->setToolTip(tr("Frequency (MHz) (0=Unused)"));
    row->addWidget(oc_freq_[n]);
    auto *frac = new QToolButton;
    frac->setObjectName(oc + "FreqFrac");
    frac->setText(tr("Frac"));
    row->addWidget(frac);
    f->addRow(tr("MHz:"), row);
    connect(oc_freq_[n], &FieldEdit::applied, this,
            [this, n](const QString &t) { applyFrequency(oc_freq_[n], kMainOcFreq[n], t); });
    connect(frac, &QToolButton::clicked, this, [this, n]() {
      calculateFrequency(kMainOcFreq[n], tr("Calculate OC%1 Frequency").arg(n + 1));
    });
    oc_format_[n] = new QComboBox;
    oc_format_[n]->setObjectName(oc + "Format");
    fill(oc_format_[n], kOutputFormatStr, 8);
    f->addRow(tr("Format:"), oc_format_[n]);
    connect(oc_format_[n], qOverload<int>(&QComboBox::activated), this, [this, n](int i) {
      applyChange([n, i](hal_api_s *hal) {
        hal->*kMainOcFormat[n] = static_cast<uint32_t>(i);
        uint32_t hal_api_s::*const neg[3] = {&hal_api_s::oc1_neg_lsdiv_u32, &hal_api_s::oc2_neg_lsdiv_u32,
                                             &hal_api_s::oc3_neg_lsdiv_u32};
        if (i == 4 || i == 7) {
          if ((hal->*kMainOcNFreq[n]).f == 0)
            hal->*kMainOcNFreq[n] = hal->*kMainOcFreq[n];
        } else {
          hal->*neg[n] = 1;
        }
      });
    });
    oc_nfreq_[n] = new FieldEdit;
    oc_nfreq_[n]->setObjectName(oc + "NFreq");
    oc_nfreq_label_[n] = new QLabel(tr("N MHz:"));
    f->addRow(oc_nfreq_label_[n], oc_nfreq_[n]);
    connect(oc_nfreq_[n], &FieldEdit::applied, this,
            [this, n](const QString &t) { applyFrequency(oc_nfreq_[n], kMainOcNFreq[n], t); });
  }

  auto *scroll = new QScrollArea(central);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidget(diagram_);

  auto *body = new QHBoxLayout;
  body->addWidget(scroll, 1);
  buildSuperUserGroup();
  body->addWidget(su_group_);

  auto *split = new QSplitter(Qt::Vertical, central);
  auto *upper = new QWidget(split);
  upper->setLayout(body);
  body->setContentsMargins(0, 0, 0, 0);
  log_view_ = new QPlainTextEdit(split);
  log_view_->setObjectName("deviceLog");
  log_view_->setReadOnly(true);
  log_view_->setMaximumBlockCount(5000);
  log_view_->setPlaceholderText(tr("Device log: the messages of every calculation appear here."));
  split->addWidget(upper);
  split->addWidget(log_view_);
  split->setStretchFactor(0, 4);
  split->setStretchFactor(1, 1);
  outer->addWidget(split, 1);
  setCentralWidget(central);
  statusBar();
}

void MainWindow::buildSuperUserGroup() {
  su_group_ = new QGroupBox(tr("Super User"));
  su_group_->setObjectName("superUserGroup");
  auto *v = new QVBoxLayout(su_group_);
  struct stage_s {
    const char *name, *text;
    std::function<bool(MainWindow *)> run;
  };
  const stage_s stages[] = {
      {"calcExpert", "Calc Expert", [](MainWindow *w) { return HalUtil_CalcExpert(w->session_->gui(), w->session_->hal()); }},
      {"calcHal", "Calc HAL", [](MainWindow *w) { return HalUtil_CalcHal(w->session_->gui(), w->session_->hal()); }},
      {"buildRegs", "Build Registers", [](MainWindow *w) { return HalUtil_BuildReg(w->session_->gui(), w->session_->hal()); }},
      {"writeSequence", "Write Sequence",
       [](MainWindow *w) { return HalUtil_WriteSequence(w->session_->gui(), w->session_->hal(), false); }},
  };
  for (const stage_s &s : stages) {
    auto *b = new QPushButton(tr(s.text), su_group_);
    b->setObjectName(s.name);
    auto run = s.run;
    connect(b, &QPushButton::clicked, this, [this, run]() {
      run(this);
      session_->notifyConfigurationChanged();
    });
    v->addWidget(b);
  }
  disable_calc_ = new QCheckBox(tr("Disable calculation"), su_group_);
  disable_calc_->setObjectName("disableCalc");
  connect(disable_calc_, &QCheckBox::toggled, this, [this](bool on) {
    if (session_->refreshing) return;
    SUDisableCalcSet(session_->hal(), on);
    session_->notifyConfigurationChanged();
  });
  v->addWidget(disable_calc_);
  v->addStretch(1);
}

void MainWindow::buildMenus() {
  QMenu *file = menuBar()->addMenu(tr("&File"));
  auto add = [this](QMenu *m, const char *name, const QString &text, auto fn) {
    QAction *a = m->addAction(text);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, fn);
    return a;
  };
  add(file, "actionLoadConfig", tr("Load Configuration..."), [this]() {
    const QString path = askFileName(false, tr("Load Configuration"), tr("Configuration (*.txt);;All Files (*)"));
    if (!path.isEmpty()) loadFile(path);
  });
  add(file, "actionLoadDump", tr("Load Register Dump..."), [this]() {
    const QString path = askFileName(false, tr("Register Configuration Load"), tr("Register Dump (*.txt);;All Files (*)"));
    if (path.isEmpty()) return;
    if (main_load_dump(&session_->state, path.toStdString())) addRecent(path);
    session_->notifyConfigurationChanged();
  });
  recent_menu_ = file->addMenu(tr("Recent Files"));
  recent_menu_->setObjectName("recentFiles");
  file->addSeparator();
  add(file, "actionSaveConfig", tr("Save Configuration..."), [this]() {
    runSave(tr("Save Configuration"), tr("Configuration (*.txt);;All Files (*)"), [this](const std::string &p) {
      return main_save_config(&session_->state, p);
    });
  });
  add(file, "actionSaveScript", tr("Save Device Script..."), [this]() {
    runSave(tr("Save Device Script"), tr("Configuration Script (*.mfg);;All Files (*)"),
            [this](const std::string &p) { return main_save_script(&session_->state, p); });
  });
  reg_cfg_all_ = add(file, "actionSaveRegCfgAll", tr("Save Register Configuration (All)..."), [this]() {
    runSave(tr("Save Register Configuration"), tr("Register Configuration (*.cfg);;All Files (*)"),
            [this](const std::string &p) { return main_save_register_config(&session_->state, p, false); });
  });
  reg_cfg_changed_ = add(file, "actionSaveRegCfgChanged", tr("Save Register Configuration (Changed)..."), [this]() {
    runSave(tr("Save Register Configuration"), tr("Register Configuration (*.cfg);;All Files (*)"),
            [this](const std::string &p) { return main_save_register_config(&session_->state, p, true); });
  });
  dump_regs_ = add(file, "actionDumpRegs", tr("Dump Registers to File..."), [this]() {
    runSave(tr("Dump Registers"), tr("Register Dump (*.txt);;All Files (*)"),
            [this](const std::string &p) { return main_dump_registers(&session_->state, p); });
  });
  file->addSeparator();
  add(file, "actionSaveLog", tr("Save Device Log..."), [this]() { saveDeviceLog(); });
  log_action_ = add(file, "actionLog", tr("Start Log"), [this]() { toggleLog(); });
  file->addSeparator();
  add(file, "actionExit", tr("E&xit"), [this]() { close(); });

  QMenu *dev = menuBar()->addMenu(tr("&Device"));
  add(dev, "actionConnection", tr("Connection..."), [this]() { openWindow("ConnectionConfigForm"); });
  add(dev, "actionInitialConfig", tr("Initial Configuration..."), [this]() { showInitialConfig(); });
  add(dev, "actionRestart", tr("Restart Device"), [this]() {
    main_restart(&session_->state, true);
    refreshStatus();
  });
  reset_action_ = add(dev, "actionReset", tr("Reset Device"), [this]() {
    main_reset_command(&session_->state, true);
    refreshStatus();
  });

  QMenu *ee = menuBar()->addMenu(tr("&EEPROM"));
  add(ee, "actionEepromCreate", tr("Create EEPROM Image..."), [this]() { openWindow("EEPROMForm"); });
  ee_write_ = add(ee, "actionEepromWrite", tr("Write EEPROM from File..."), [this]() { openWindow("EEPROMForm"); });
  ee_dump_ = add(ee, "actionEepromDump", tr("Dump DUT EEPROM to File"), [this]() { openWindow("EEPROMForm"); });
  ee_verify_ = add(ee, "actionEepromVerify", tr("Verify DUT EEPROM against File"), [this]() { openWindow("EEPROMForm"); });

  QMenu *scripts = menuBar()->addMenu(tr("&Scripts"));
  add(scripts, "actionRunScript", tr("Run Script..."), [this]() { openWindow("RunScriptForm"); });

  QMenu *windows = menuBar()->addMenu(tr("&Windows"));
  for (const tool_window_s &t : kToolWindows) {
    const QString name = t.name;
    QAction *a = add(windows, t.action, tr(t.text), [this, name]() { openWindow(name); });
    if (t.super_user) super_user_actions_.push_back(a);
  }

  QMenu *help = menuBar()->addMenu(tr("&Help"));
  const char *const manuals[3][2] = {{"actionManual", "KX40110_SW_Manual.pdf"},
                                     {"actionReleaseNotes", "KX40110_GUI_Release_Notes.pdf"},
                                     {"actionQuickStart", "KXE40110_Quick_Start_Guide.pdf"}};
  for (const auto &m : manuals) {
    const QString name = m[1];
    add(help, m[0], tr("Open %1").arg(name), [name]() {
      const QString path = QCoreApplication::applicationDirPath() + "/" + name;
      if (!QFileInfo::exists(path) || !QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        MessageError("Could not open file: \\" + name.toStdString(), "File Error");
    });
  }
  add(help, "actionAbout", tr("About"), [this]() {
    char engine[32];
    std::snprintf(engine, sizeof engine, "0x%06X", KOVA_HAL_API_VERSION);
    MessageError(std::string("Host GUI - Rev ") + KOVA_GUI_VERSION + "\nEngine version " + engine, "About");
  });
}

// ---------------------------------------------------------------------------------------
// Showing the object

void MainWindow::loadControls() {
  hal_api_s *h = session_->hal();
  const bool was = session_->refreshing;
  session_->refreshing = true;
  const int32_t product = __dev_ConvertHalToApiPartNumber(h->kova_device_e);
  device_label_->setText(tr("KX%1 rev %2").arg(h->kova_device_e).arg(h->kova_device_rev_e));
  mode_combo_->clear();
  const int32_t mask = product >= 0 ? KovaProduct[product].modeMask : 0xF;
  for (int m = 0; m < 4; ++m)
    if (mask & (1 << m)) mode_combo_->addItem(__dev_ChipModeStr[m], m);
  select_value(mode_combo_, h->kova_mode_e);
  select_value(xa_mode_combo_, __dev_XaModeToMasterClock(h->xa_mode_e));
  xa_freq_->showValue(q(main_mhz_text(h->xa_freq_s)));
  xa_ppm_->showValue(QString::number(h->xa_freq_off_ppb_i32 / 1000.0, 'f', 3));
  xa_disable_->setChecked(h->xa_disable != 0);
  const bool ss = h->kova_mode_e == kova_mode_ss_e, nco = h->kova_mode_e == kova_mode_nco_e;
  for (QWidget *w : std::initializer_list<QWidget *>{ss_type_, ss_type_label_, ss_pct_, ss_pct_label_, ss_mod_,
                                                      ss_mod_label_})
    w->setVisible(ss);
  nco_step_->setVisible(nco || ss);
  nco_label_->setVisible(nco || ss);
  ss_type_->setCurrentIndex(h->ss_mode_e >= 0 && h->ss_mode_e < 2 ? h->ss_mode_e : -1);
  ss_pct_->showValue(QString::number(h->ss_pctx10 / 10.0, 'f', 1));
  ss_mod_->showValue(QString::number(h->ss_mod_hz / 1000.0, 'f', 3));
  nco_step_->setValue(NCOOffsetValue);
  for (int n = 0; n < 3; ++n) {
    ic_enable_[n]->setChecked(h->*kMainIcEnable[n] != 0);
    ic_freq_[n]->showValue(q(main_mhz_text(h->*kMainIcFreq[n])));
    const bool open = oc_solver_mode_auto_e == h->oc_solver_mode_e;
    oc_freq_[n]->showValue(q(main_mhz_text(h->*kMainOcFreq[n])));
    oc_freq_[n]->setEnabled(open);
    const uint32_t fmt = h->*kMainOcFormat[n];
    oc_format_[n]->setCurrentIndex(fmt < 8 ? static_cast<int>(fmt) : -1);
    const bool two = fmt == 4 || fmt == 7;
    oc_nfreq_[n]->setVisible(two);
    oc_nfreq_label_[n]->setVisible(two);
    oc_nfreq_[n]->showValue(q(main_mhz_text(h->*kMainOcNFreq[n])));
    oc_nfreq_[n]->setEnabled(open);
  }
  const bool ja = h->kova_mode_e == kova_mode_ja_e;
  dpll_mode_->setCurrentIndex(h->dpll_mode_e >= 0 && h->dpll_mode_e < 3 ? h->dpll_mode_e : -1);
  dpll_bw_->showValue(QString::number(h->dpll_bw_hz));
  dpll_bw_->setToolTip(tr("%1 to %2 Hz").arg(h->dpll_bw_hz_min).arg(h->dpll_bw_hz_max));
  ext_switch_->setChecked(h->icscr1_extsw_u1 != 0);
  for (QWidget *w : std::initializer_list<QWidget *>{dpll_mode_, dpll_bw_, ext_switch_}) w->setEnabled(ja);
  apll_src_->setCurrentIndex(h->apllcr3_apllmux_u3 < 4 ? static_cast<int>(h->apllcr3_apllmux_u3) : -1);
  // Outside synthesis the APLL follows the DPLL or the DCO; its source is not a choice then.
  apll_src_->setEnabled(h->apllcr3_apllmux_u3 < 4);
  apll_alt_->setCurrentIndex(h->apllcr3_altmux_u3 < 4 ? static_cast<int>(h->apllcr3_altmux_u3) : -1);
  disable_calc_->setChecked(SUDisableCalcChkBxIsChecked);
  diagram_->refresh(h);
  setWindowTitle(q(main_title(&session_->state)));
  updateCommands();
  session_->refreshing = was;
}

void MainWindow::updateCommands() {
  const bool connected = session_->connected();
  const bool customer = isInCustomerMode();
  su_group_->setVisible(!customer);
  reset_action_->setVisible(!customer);
  for (QAction *a : super_user_actions_) a->setVisible(!customer);
  reg_cfg_all_->setVisible(!customer);
  reg_cfg_changed_->setVisible(!customer);
  const int32_t product = __dev_ConvertHalToApiPartNumber(session_->hal()->kova_device_e);
  const bool board_ee = eeprom_product_uses_board(product);
  ee_dump_->setText(board_ee ? tr("Dump Board EEPROM to File") : tr("Dump DUT EEPROM to File"));
  ee_verify_->setText(board_ee ? tr("Verify Board EEPROM against File") : tr("Verify DUT EEPROM against File"));
  ee_write_->setText(board_ee ? tr("Write Board EEPROM from File...") : tr("Write DUT EEPROM from File..."));
  for (QAction *a : {ee_write_, ee_dump_, ee_verify_}) a->setEnabled(connected);
  if (connected) {
    connection_label_->setText(tr("Connected"));
  } else {
    connection_label_->setText(tr("Offline"));
  }
  statusBar()->showMessage(connected ? tr("Board connected: KX%1 rev %2")
                                           .arg(session_->hal()->kova_device_e)
                                           .arg(session_->hal()->kova_device_rev_e)
                                     : tr("Working offline on the register image"));
}

// ---------------------------------------------------------------------------------------
// Changes

void MainWindow::applyChange(const std::function<void(hal_api_s *)> &edit) {
  if (session_->refreshing) return;
  session_->change(edit);
  refreshStatus();
}

void MainWindow::applyKeyChange(const std::function<void(hal_api_s *)> &edit) {
  if (session_->refreshing) return;
  main_key_change(&session_->state, edit);
  session_->notifyConfigurationChanged();
}

void MainWindow::applyFrequency(FieldEdit *edit, fprec_s hal_api_s::*field, const QString &text) {
  fprec_s f{};
  if (!frequency_from_mhz_text(text.trimmed().toStdString(), &f)) {
    edit->setText(edit->shownValue());
    MessageError("\"" + text.toStdString() +
                     "\" is not a frequency in MHz from 0 to 4294.967295; larger or fractional frequencies "
                     "are entered exactly with Frac.",
                 "Frequency Entry");
    return;
  }
  applyChange([field, f](hal_api_s *hal) { hal->*field = f; });
}

void MainWindow::calculateFrequency(fprec_s hal_api_s::*field, const QString &title) {
  FrequencyCalcForm calc(title, session_->hal()->*field, this);
  if (calc.exec() != QDialog::Accepted) return;
  const fprec_s f = calc.value();
  applyChange([field, f](hal_api_s *hal) { hal->*field = f; });
}

// ---------------------------------------------------------------------------------------
// Status refresh and the timer

void MainWindow::refreshStatus() {
  if (main_status_refresh(&session_->state)) {
    diagram_->refresh(session_->hal());
    session_->notifyStatusRefreshed();
  }
}

bool MainWindow::timer_stop() {
  const bool was = refresh_timer_.isActive();
  refresh_timer_.stop();
  return was;
}

void MainWindow::timer_restore(bool was_running) {
  if (was_running && poll_period_ms_ > 0) refresh_timer_.start(poll_period_ms_);
}

void MainWindow::timer_start() {
  if (poll_period_ms_ > 0) refresh_timer_.start(poll_period_ms_);
}

void MainWindow::reload_controls() { session_->notifyConfigurationChanged(); }

void MainWindow::board_lost() {
  refresh_timer_.stop();
  session_->notifyConnectionChanged();
  loadControls();
}

// ---------------------------------------------------------------------------------------
// Start-up actions and child windows

int32_t MainWindow::connect_action(const std::vector<int32_t> &offered) {
  if (unattended) {
    for (int32_t a : offered)
      if (a == connect_action_write_e) return a;
    return connect_action_defaults_e;
  }
  QStringList items;
  for (int32_t a : offered) items << main_connect_action_text(a);
  QInputDialog dlg(this);
  dlg.setObjectName("dutConnection");
  dlg.setWindowTitle("DUT Connection");
  dlg.setLabelText("Action");
  dlg.setComboBoxItems(items);
  dlg.setComboBoxEditable(false);
  dlg.setTextValue(items.front());
  if (dlg.exec() != QDialog::Accepted) return connect_action_defaults_e;
  const int i = static_cast<int>(items.indexOf(dlg.textValue()));
  return i >= 0 ? offered[static_cast<size_t>(i)] : connect_action_defaults_e;
}

bool MainWindow::known_frequency(hal_api_s *hal) {
  if (unattended) return false;
  InverseIOFreqForm dlg(hal, this);
  return dlg.exec() == QDialog::Accepted;
}

void MainWindow::open_initial_config() {
  if (unattended) {
    const hal_api_s *h = session_->hal();
    main_initial_config(&session_->state, h->kova_mode_e, __dev_XaModeToMasterClock(h->xa_mode_e),
                        fprec_s_2_double_mhz(h->xa_freq_s));
    session_->notifyConfigurationChanged();
    return;
  }
  showInitialConfig();
}

void MainWindow::showInitialConfig() {
  if (QWidget *open = children_.value("InitialConfigForm")) {
    open->raise();
    open->activateWindow();
    return;
  }
  auto *dlg = new InitialConfigForm(session_, this);
  dlg->setAttribute(Qt::WA_DeleteOnClose);
  children_["InitialConfigForm"] = dlg;
  connect(dlg, &QDialog::accepted, this, [this, dlg]() {
    const int32_t mode = dlg->deviceMode(), mc = dlg->masterClockMode();
    const double mhz = dlg->xaMhz();
    // The window closes itself; a configuration that does not initialise opens it again.
    QTimer::singleShot(0, this, [this, mode, mc, mhz]() {
      const bool ok = main_initial_config(&session_->state, mode, mc, mhz);
      session_->notifyConfigurationChanged();
      refreshStatus();
      if (!ok) showInitialConfig();
    });
  });
  dlg->open();
}

void MainWindow::close_child_windows() {
  for (auto it = children_.begin(); it != children_.end(); ++it) {
    if (it.key() == "ConnectionConfigForm" || it.key() == "InitialConfigForm") continue;
    if (QWidget *w = it.value()) w->close();
  }
}

QWidget *MainWindow::openBlockWindow(int block) {
  QWidget *w = openWindow(kBlockForm[block]);
  // Shared input and output windows switch to the channel of the block clicked.
  if (w && w->metaObject()->indexOfSlot("selectChannel(int)") >= 0)
    QMetaObject::invokeMethod(w, "selectChannel", Qt::DirectConnection, Q_ARG(int, kBlockChannel[block]));
  return w;
}

QWidget *MainWindow::openWindow(const QString &name) {
  if (QWidget *open = children_.value(name)) {
    open->show();
    open->raise();
    open->activateWindow();
    return open;
  }
  QWidget *w = nullptr;
  if (name == "ConnectionConfigForm") {
    auto *c = new ConnectionConfigForm(session_, this);
    connect(c, &ConnectionConfigForm::boardConnected, this, &MainWindow::onBoardConnected);
    connect(c, &ConnectionConfigForm::workOffline, this, &MainWindow::onWorkOffline);
    connect(c, &ConnectionConfigForm::boardDisconnected, this, &MainWindow::onBoardDisconnected);
    w = c;
  } else if (name == "InitialConfigForm") {
    showInitialConfig();
    return children_.value(name);
  } else if (name == "InverseIOFreqForm") {
    // On its own (not asked by a read back) it fills a scratch object: nothing changes.
    w = new InverseIOFreqForm(&scratch_, this);
  } else if (name == "FrequencyCalcForm") {
    w = new FrequencyCalcForm(tr("Frequency Calculator"), session_->hal()->oc1_freq_s, this);
  } else if (!(w = make_child_window(name, session_, this))) {
    for (int b = 0; b < main_block_count_e && !w; ++b)
      if (name == kBlockWindow[b]) w = new BlockDetailsForm(session_, b, this);
  }
  if (!w) return nullptr;
  w->setWindowFlag(Qt::Window, true);
  w->setAttribute(Qt::WA_DeleteOnClose);
  children_[name] = w;
  w->show();
  w->raise();
  return w;
}

void MainWindow::onBoardConnected() {
  main_connect(&session_->state);
  session_->notifyConnectionChanged();
  session_->notifyConfigurationChanged();
  refreshStatus();
}

void MainWindow::onWorkOffline(int productIndex) {
  main_work_offline(&session_->state, productIndex);
  session_->notifyConnectionChanged();
  session_->notifyConfigurationChanged();
}

void MainWindow::onBoardDisconnected() {
  refresh_timer_.stop();
  session_->notifyConnectionChanged();
  loadControls();
}

// ---------------------------------------------------------------------------------------
// Files

QString MainWindow::askFileName(bool save, const QString &title, const QString &filter) {
  return ask_file_name(this, save, title, filter, "main/lastDir");
}

void MainWindow::runSave(const QString &title, const QString &filter,
                         const std::function<bool(const std::string &)> &save) {
  const QString path = askFileName(true, title, filter);
  if (path.isEmpty()) return;
  if (save(path.toStdString())) addRecent(path);
  setWindowTitle(q(main_title(&session_->state)));
}

bool MainWindow::loadFile(const QString &path) {
  bool ok;
  if (is_dump_file(path)) {
    ok = main_load_dump(&session_->state, path.toStdString());
  } else {
    ok = main_load_config(&session_->state, path.toStdString());
  }
  if (ok) addRecent(path);
  session_->notifyConfigurationChanged();
  refreshStatus();
  return ok;
}

void MainWindow::addRecent(const QString &path) {
  QSettings settings;
  QStringList recent = settings.value("main/recentFiles").toStringList();
  recent.removeAll(path);
  recent.prepend(path);
  while (recent.size() > kRecentMax) recent.removeLast();
  settings.setValue("main/recentFiles", recent);
  settings.setValue("main/lastDir", QFileInfo(path).absolutePath());
  rebuildRecent();
}

void MainWindow::rebuildRecent() {
  recent_menu_->clear();
  const QStringList recent = QSettings().value("main/recentFiles").toStringList();
  for (const QString &p : recent) {
    QAction *a = recent_menu_->addAction(QFileInfo(p).fileName());
    a->setToolTip(p);
    connect(a, &QAction::triggered, this, [this, p]() { loadFile(p); });
  }
  recent_menu_->setEnabled(!recent.isEmpty());
}

void MainWindow::toggleLog() {
  __dev_GuiParamS *g = session_->gui();
  g->log.enabled = g->log.enabled ? 0 : 1;
  if (g->log.enabled) {
    QFileDialog dlg(this, "Create Log", QString::fromLocal8Bit(g->log.fileName),
                    tr("Text (*.txt);;Log (*.log);;All Files (*)"));
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty()) {
      const QString path = dlg.selectedFiles().front();
      if (!path.isEmpty() && app_set_log_file(g, path.toStdString())) g->log.enabled = 1;
    }
  }
  log_action_->setText(q(app_log_state_process(g)));
}

void MainWindow::saveDeviceLog() {
  const QString path = askFileName(true, tr("Save Device Log"), tr("Text (*.txt);;Log (*.log);;All Files (*)"));
  if (path.isEmpty()) return;
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Text)) {
    MessageError("Unable to create " + path.toStdString() + ": " + f.errorString().toStdString(), "Save Device Log");
    return;
  }
  const QByteArray text = log_view_->toPlainText().toUtf8() + "\n";
  if (f.write(text) != text.size() || !f.flush()) {
    MessageError("Unable to write " + path.toStdString() + ": " + f.errorString().toStdString(), "Save Device Log");
    return;
  }
  f.close();
}

void MainWindow::appendLog(const QString &line) { log_view_->appendPlainText(line); }

void MainWindow::messageSink(const char *msg, void *ctx) {
  static_cast<MainWindow *>(ctx)->appendLog(QString::fromLocal8Bit(msg));
}

// ---------------------------------------------------------------------------------------
// Window events

void MainWindow::closeEvent(QCloseEvent *e) {
  QSettings().setValue("main/geometry", saveGeometry());
  refresh_timer_.stop();
  for (auto &w : children_)
    if (w) w->close();
  if (session_->connected()) kxKovaIo_EvalBoardClose(&session_->gui()->ioHandle);
  e->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent *e) {
  if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *e) {
  if (loadDropped(e->mimeData())) e->acceptProposedAction();
}

bool MainWindow::loadDropped(const QMimeData *mime) {
  const QList<QUrl> urls = mime ? mime->urls() : QList<QUrl>{};
  if (urls.isEmpty() || !urls.front().isLocalFile()) return false;
  loadFile(urls.front().toLocalFile());
  return true;
}
