// The DPLL configuration window driven as a user drives it, on an emulated board: each
// accepted entry leaves the object the same edit made directly would leave, and the chip then
// holds that object's registers; a refused entry writes nothing. Also the labels that follow
// the choices and the status lines from the chip's phase tables.
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "app/windows/dpll_config_window.h"
#include "gui_test_support.h"
#include "hal/hal_fields.h"
#include "tests/hal_test_support.h"

namespace {

struct dpll_window_test : gui_fixture {
  void begin(const char *device) {
    restart();
    start(device, true);
    open<DpllConfigForm>();
  }
  QString text(const char *name) { return find<QLineEdit>(name)->text(); }
};

TEST_F(dpll_window_test, each_control_leaves_the_object_and_chip_of_the_same_edit_made_directly) {
  const std::pair<std::function<void(dpll_window_test *)>, const char *> cases[] = {
      {[](auto *t) { t->type("phLockTimeoutEdit", "1.5"); }, "phlkto_ms=1500"},
      {[](auto *t) { t->type("freqOffsetSpin", "100"); }, "fqhlim_ppb=100000"},
      {[](auto *t) { t->type("phaseAdjustSpin", "-12.345"); }, "man_phoff_ps=-12345"},
      {[](auto *t) { t->type("lolSetEdit", "250000"); }, "lolset_us=250000"},
      {[](auto *t) { t->choose("extSwitchCombo", 2), t->choose("extSwitchCombo", 4); },
       "mcr2_extss_u2=2 icscr1_extsw_u1=0"},
      {[](auto *t) { t->choose("ic2PriorityCombo", 3), t->choose("ic3PriorityCombo", 1); }, "ipr1_pri2_u2=3 ipr2_pri3_u2=1"},
      {[](auto *t) { t->choose("feedbackCombo", 2); }, "icscr1_fbsel_u2=2"},
      {[](dpll_window_test *t) { t->find<QCheckBox>("revertiveCheck")->click(); }, "icscr1_revert_u1=0"},
  };
  for (const auto &[act, edit] : cases) {
    SCOPED_TRACE(edit);
    begin("40089");
    main_kept_hal_s direct(*hal());
    kova_test::set_fields(&direct.hal, edit);
    ASSERT_TRUE(HalStruct_Recalculate(&direct.hal));
    const std::vector<uint8_t> before = chip_image();
    act(this);
    for (size_t i = 0; i < hal_api_field_count; ++i) {
      const hal_field_s &f = hal_api_fields[i];
      if (f.kind != hal_field_ptr_e) {
        EXPECT_EQ(std::memcmp(hal_field_ptr(hal(), &f), hal_field_ptr(&direct.hal, &f), f.size), 0) << f.name;
      }
    }
    int moved = 0;
    for (uint32_t a = 0x009; a < 0x468; ++a) {
      if (a >= 0x030 && a < 0x100) continue;  // identity and status
      moved += get_reg(&direct.hal, a) != before[a];
      EXPECT_EQ(chip()[a], get_reg(&direct.hal, a)) << std::hex << a;
    }
    EXPECT_GT(moved, 0) << "the change reached no register";
  }
}

TEST_F(dpll_window_test, typed_fields_show_what_was_kept_and_refuse_or_revert_the_rest) {
  begin("40089");
  type("hoAvgEdit", "3.3");
  EXPECT_EQ(text("hoAvgEdit"), QString::number(hal()->hoavgto_us / 1000.0, 'f', 3));
  type("phaseAdjustSpin", "-1.001");  // 1.001 x 1000 is 1000.99999 in binary: taken to the ps
  EXPECT_EQ(find<QAbstractSpinBox>("phaseAdjustSpin")->text(), "-1.001");
  const std::vector<uint8_t> chip_before = chip_image();
  const uint32_t kept = hal()->phlkto_ms;
  for (const auto &[typed, key] : {std::pair{"1000.5", Qt::Key_Return}, {"5000", Qt::Key_Return},
                                   {".", Qt::Key_Return}, {"2", Qt::Key_Escape}}) {
    type("phLockTimeoutEdit", typed, key);
    EXPECT_EQ(hal()->phlkto_ms, kept) << typed;
    EXPECT_EQ(text("phLockTimeoutEdit"), QString::number(kept / 1000.0, 'f', 3)) << typed;
  }
  EXPECT_EQ(chip_image(), chip_before) << "a refused entry was written";
}

TEST_F(dpll_window_test, labels_follow_ic1_priority_and_the_chip_and_lock_holds_the_divider) {
  begin("40089");
  auto *label = find<QLabel>("extSwitchLabel");
  choose("extSwitchCombo", 1);
  EXPECT_TRUE(label->isVisible());
  EXPECT_EQ(label->text(), "1=IC1, 0=IC2");
  choose("ic1PriorityCombo", 0);
  EXPECT_EQ(label->text(), "1=IC3, 0=IC2");
  choose("extSwitchCombo", DPLL_EXT_SWITCH_DISABLED);
  EXPECT_FALSE(label->isVisible());
  ASSERT_NE(hal()->pfd_div_u16, 0u);
  for (bool on : {true, false}) {
    find<QCheckBox>("lockCheck")->click();
    EXPECT_EQ(hal()->pfd_div_lock_u16, on ? hal()->pfd_div_u16 : 0u);
  }
  // The status lines come from the chip's phase tables.
  chip()[0x049] = 0x30;
  chip()[0x04A] = 0x02;
  ASSERT_TRUE(main_status_refresh(&session->state));
  session->notifyStatusRefreshed();
  EXPECT_EQ((QStringList{find<QLabel>("selectedRefLabel")->text(), find<QLabel>("priority1Label")->text(),
                         find<QLabel>("priority2Label")->text()}),
            (QStringList{"None", "IC3", "IC2"}));
  const hal_api_s *h = hal();
  EXPECT_EQ(find<QLabel>("dspRateLabel")->text(),
            QString::number(fprec_s_2_double_mhz(h->pfd_freq_s) * 1e6 / h->pfd_div_u16, 'f', 2));
}

}  // namespace
