// The DPLL configuration window driven as a user drives it, on an emulated board: each
// accepted entry lands in the configuration object as the calculation keeps it, and the chip
// then holds exactly the registers that an object edited directly would give; a refused entry
// writes nothing. Also the layout per device and the status lines from the chip's phase tables.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest/QTest>
#include <cmath>
#include <functional>
#include <memory>

#include "app/main_ops.h"
#include "app/run_control.h"
#include "app/windows/dpll_config_window.h"
#include "app/windows/session.h"
#include "gui_test_support.h"

namespace {

struct dpll_window_test : gui_fixture {
  std::unique_ptr<KovaSession> session;
  std::unique_ptr<DpllConfigForm> form;

  void TearDown() override {
    form.reset();
    session.reset();
    gui_fixture::TearDown();
  }
  // The device's default configuration, written whole to the emulated chip, and the window.
  void start(const char *device) {
    install_board(device);
    session = std::make_unique<KovaSession>();
    hal_api_s *h = session->hal();
    h->kova_device_e = std::atoi(device);
    __dev_DefaultsForDevType(h, true);
    h->init_api_mode_e = init_api_full_e;
    ASSERT_TRUE(HalStruct_Initialize(h) && HalStruct_Recalculate(h));
    uint32_t n = 0;
    ASSERT_EQ(kxKovaIo_ChannelCount(&n), 0u);
    ASSERT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &session->gui()->ioHandle), 0u);
    ASSERT_EQ(kxkovaio_SelectFtdi2Dut(&session->gui()->ioHandle), FT_OK);
    ASSERT_TRUE(HalUtil_WriteSequence(session->gui(), h, false));
    form = std::make_unique<DpllConfigForm>(session.get());
    form->show();
  }
  template <class T>
  T *find(const char *name) {
    T *c = form->findChild<T *>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
  void restart() {
    TearDown();
    SetUp();
  }
  void type(const char *name, const char *text, Qt::Key key = Qt::Key_Return) {
    QWidget *w = find<QWidget>(name);
    QLineEdit *e = qobject_cast<QLineEdit *>(w) ? qobject_cast<QLineEdit *>(w) : w->findChild<QLineEdit *>();
    w->setFocus();
    e->selectAll();
    QTest::keyClicks(e, text);
    QTest::keyClick(e, key);
  }
};

// Every user action: the object it leaves behind equals the object edited directly and
// recalculated, and the chip holds that object's registers wherever the edit moved them.
struct dpll_case_s {
  const char *what;
  std::function<void(dpll_window_test *)> act;
  std::function<void(hal_api_s *)> edit;  // the same change made on the object directly
  std::function<int64_t(const hal_api_s *)> field;
  int64_t expected;  // the field after the action (-1: as the calculation moves it)
};

TEST_F(dpll_window_test, each_control_stores_its_field_and_the_chip_follows) {
  const dpll_case_s cases[] = {
      {"1.5 s phase lock timeout", [](dpll_window_test *t) { t->type("phLockTimeoutEdit", "1.5"); },
       [](hal_api_s *h) { h->phlkto_ms = 1500; }, [](const hal_api_s *h) { return int64_t{h->phlkto_ms}; }, -1},
      {"100 ppm frequency offset limit", [](dpll_window_test *t) { t->type("freqOffsetSpin", "100"); },
       [](hal_api_s *h) { h->fqhlim_ppb = 100000; }, [](const hal_api_s *h) { return int64_t{h->fqhlim_ppb}; },
       100000},
      {"phase adjust to the picosecond", [](dpll_window_test *t) { t->type("phaseAdjustSpin", "-12.345"); },
       [](hal_api_s *h) { h->man_phoff_ps = -12345; }, [](const hal_api_s *h) { return int64_t{h->man_phoff_ps}; },
       -12345},
      {"loss of lock set delay", [](dpll_window_test *t) { t->type("lolSetEdit", "250000"); },
       [](hal_api_s *h) { h->lolset_us = 250000; }, [](const hal_api_s *h) { return int64_t{h->lolset_us}; }, -1},
      {"external switching disabled keeps the pin",
       [](dpll_window_test *t) {
         t->find<QComboBox>("extSwitchCombo")->activated(2);
         t->find<QComboBox>("extSwitchCombo")->activated(DPLL_EXT_SWITCH_DISABLED);
       },
       [](hal_api_s *h) { h->mcr2_extss_u2 = 2, h->icscr1_extsw_u1 = 0; },
       [](const hal_api_s *h) { return int64_t{h->mcr2_extss_u2 * 10 + h->icscr1_extsw_u1}; }, 20},
      {"IC3 second in priority", [](dpll_window_test *t) { t->find<QComboBox>("ic3PriorityCombo")->activated(2); },
       [](hal_api_s *h) { h->ipr2_pri3_u2 = 2; }, [](const hal_api_s *h) { return int64_t{h->ipr2_pri3_u2}; }, 2},
      {"feedback from IC2", [](dpll_window_test *t) { t->find<QComboBox>("feedbackCombo")->activated(2); },
       [](hal_api_s *h) { h->icscr1_fbsel_u2 = 2; }, [](const hal_api_s *h) { return int64_t{h->icscr1_fbsel_u2}; }, 2},
      {"revertive switching off", [](dpll_window_test *t) { t->find<QCheckBox>("revertiveCheck")->click(); },
       [](hal_api_s *h) { h->icscr1_revert_u1 = 0; }, [](const hal_api_s *h) { return int64_t{h->icscr1_revert_u1}; },
       0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    start("40089");
    main_kept_hal_s direct(*session->hal());
    c.edit(&direct.hal);
    ASSERT_TRUE(HalStruct_Recalculate(&direct.hal));
    const std::vector<uint8_t> before(kxemu_chip_regs(0), kxemu_chip_regs(0) + KXEMU_CHIP_REGS);
    c.act(this);
    const hal_api_s *h = session->hal();
    if (c.expected >= 0) {
      EXPECT_EQ(c.field(h), c.expected);
    }
    EXPECT_EQ(c.field(h), c.field(&direct.hal));
    int moved = 0;
    for (uint32_t a = 0x009; a < 0x468; ++a) {
      if (a >= 0x030 && a < 0x100) continue;  // identity and status
      const uint8_t chip = kxemu_chip_regs(0)[a];
      if (get_reg(&direct.hal, a) != before[a]) ++moved;
      if (chip != before[a] || get_reg(&direct.hal, a) != before[a]) {
        EXPECT_EQ(chip, get_reg(&direct.hal, a)) << std::hex << a;
      }
    }
    EXPECT_GT(moved, 0) << "the change reached no register";
    restart();
  }
}

TEST_F(dpll_window_test, typed_fields_show_what_the_calculation_kept_and_refuse_or_revert_the_rest) {
  start("40089");
  auto *e = find<QLineEdit>("hoAvgEdit");
  type("hoAvgEdit", "3.3");
  // The averaging window is held as base x 2^N: the field shows the achievable value.
  EXPECT_NE(session->hal()->hoavgto_us, 0u);
  EXPECT_EQ(e->text(), QString::number(session->hal()->hoavgto_us / 1000.0, 'f', 3));
  const std::vector<uint8_t> chip(kxemu_chip_regs(0), kxemu_chip_regs(0) + KXEMU_CHIP_REGS);
  const uint32_t kept = session->hal()->phlkto_ms;
  for (const char *bad : {"1000.5", "5000", "."}) {
    type("phLockTimeoutEdit", bad);
    EXPECT_EQ(session->hal()->phlkto_ms, kept) << bad;
    EXPECT_EQ(find<QLineEdit>("phLockTimeoutEdit")->text(), QString::number(kept / 1000.0, 'f', 3)) << bad;
  }
  type("phLockTimeoutEdit", "2", Qt::Key_Escape);
  EXPECT_EQ(find<QLineEdit>("phLockTimeoutEdit")->text(), QString::number(kept / 1000.0, 'f', 3));
  EXPECT_EQ(session->hal()->phlkto_ms, kept);
  EXPECT_TRUE(std::equal(chip.begin(), chip.end(), kxemu_chip_regs(0))) << "a refused entry wrote to the chip";
}

TEST_F(dpll_window_test, external_switching_label_follows_ic1_priority_and_lock_holds_the_divider) {
  start("40089");
  auto *label = find<QLabel>("extSwitchLabel");
  find<QComboBox>("extSwitchCombo")->activated(1);
  EXPECT_TRUE(label->isVisible());
  EXPECT_EQ(label->text(), "1=IC1, 0=IC2");
  find<QComboBox>("ic1PriorityCombo")->activated(0);
  EXPECT_EQ(session->hal()->ipr1_pri1_u2, 0u);
  EXPECT_EQ(label->text(), "1=IC3, 0=IC2");
  find<QComboBox>("extSwitchCombo")->activated(DPLL_EXT_SWITCH_DISABLED);
  EXPECT_FALSE(label->isVisible());

  find<QCheckBox>("lockCheck")->click();
  EXPECT_NE(session->hal()->pfd_div_lock_u16, 0u);
  EXPECT_EQ(session->hal()->pfd_div_lock_u16, session->hal()->pfd_div_u16);
  find<QCheckBox>("lockCheck")->click();
  EXPECT_EQ(session->hal()->pfd_div_lock_u16, 0u);
}

TEST_F(dpll_window_test, holdover_hitless_and_limit_groups_only_where_the_device_has_them) {
  for (const auto &[device, shown] : {std::pair{"40112", false}, {"40113", false}, {"40089", true}}) {
    SCOPED_TRACE(device);
    start(device);
    for (const char *g : {"holdoverGroup", "hitlessGroup", "specialFeaturesGroup"})
      EXPECT_EQ(find<QGroupBox>(g)->isVisible(), shown) << g;
    EXPECT_TRUE(find<QGroupBox>("phaseGroup")->isVisible());
    restart();
  }
}

TEST_F(dpll_window_test, status_lines_come_from_the_chips_phase_tables) {
  start("40089");
  kxemu_chip_regs(0)[0x049] = 0x21;  // selected IC1, priority 1 IC2
  kxemu_chip_regs(0)[0x04A] = 0x03;  // priority 2 IC3
  ASSERT_TRUE(main_status_refresh(&session->state));
  session->notifyStatusRefreshed();
  EXPECT_EQ(find<QLabel>("selectedRefLabel")->text(), "IC1");
  EXPECT_EQ(find<QLabel>("priority1Label")->text(), "IC2");
  EXPECT_EQ(find<QLabel>("priority2Label")->text(), "IC3");
  kxemu_chip_regs(0)[0x049] = 0x00;
  ASSERT_TRUE(main_status_refresh(&session->state));
  session->notifyStatusRefreshed();
  EXPECT_EQ(find<QLabel>("selectedRefLabel")->text(), "None");
  const hal_api_s *h = session->hal();
  ASSERT_NE(h->pfd_div_u16, 0u);
  EXPECT_EQ(find<QLabel>("dspRateLabel")->text().toDouble(),
            std::round(fprec_s_2_double_mhz(h->pfd_freq_s) * 1e8 / h->pfd_div_u16) / 100.0);
}

}  // namespace
