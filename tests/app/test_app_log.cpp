// Options, the log file and its filter, and the drain that decides a stage's success.
#include <gtest/gtest.h>

#include "app/app_log.h"
#include "tests/app/app_test_util.h"

namespace {

struct AppLog : ::testing::Test {
  __dev_GuiParamS p{};
  temp_log_s log{&p, "log"};
  recording_dialog_s dialog;
  void TearDown() override { AutoResetDutOnConnect(true); }
};

TEST_F(AppLog, CustomerModeWritesOnlyStartAndRegisterLines) {
  GuiLogMessage(&p, ">>> CALC EXPERT", kova_log_expert_e);
  GuiLogConfigCmd(&p, 0x031, 0x05, 0, nullptr);
  GuiLogConfigCmd(&p, 0x00B, 0x01, 10000, "enable");
  GuiLogMessage(&p, "started", kova_log_start_e);
  EXPECT_EQ(log.text(), "X, 0X031, 0X05 ; ID2\nX, 0X00B, 0X01 ; PLLEN  //enable\nW , 10000\nstarted\n");
  EXPECT_EQ(GuiLogConfigCmdText(0x1234, 0xA5, nullptr), "X, 0X1234, 0XA5");  // no name, four digits
  SuperUserModeSet(true);
  GuiLogMessage(&p, ">>> CALC EXPERT", kova_log_expert_e);
  EXPECT_NE(log.text().find("\n>>> CALC EXPERT\n"), std::string::npos);
  // Nothing is written when the log is off; a log without a name cannot be started.
  p.log.enabled = 0;
  GuiLogMessage(&p, "x", kova_log_start_e);
  GuiLogMessage(&p, nullptr, kova_log_start_e);
  EXPECT_EQ(log.text().find("x\n"), std::string::npos);
  EXPECT_EQ(app_log_state_process(&p), "Start Log");
  p.log.enabled = 1;
  EXPECT_EQ(app_log_state_process(&p), "Stop Log");
  app_set_log_file(&p, "");
  EXPECT_EQ(app_log_state_process(&p), "Start Log");
  EXPECT_EQ(p.log.enabled, 0);
}

TEST_F(AppLog, CommandLineOptions) {
  __dev_GuiParamS q{};
  app_parse_args(&q, {"-log", "-su", "other"}, "/home/u");
  EXPECT_STREQ(q.log.fileName, "/home/u/Desktop/-su");  // the file name is not an option
  EXPECT_EQ(q.log.enabled, 1);
  EXPECT_TRUE(isInCustomerMode());
  app_parse_args(&q, {"-SU", "-ye"}, "/home/u");
  EXPECT_FALSE(isInCustomerMode());
  EXPECT_FALSE(isAutoResetDutEnabled());
  q = __dev_GuiParamS{};
  app_parse_args(&q, {"-log", std::string(1100, 'a')}, "/home/u");  // would overrun the name
  EXPECT_EQ(q.log.enabled, 0);
  EXPECT_STREQ(q.log.fileName, "");
}

TEST_F(AppLog, DrainFailsAtTheFirstErrorAndTheNextStageTakesTheRest) {
  SuperUserModeSet(true);
  {
    hal_holder o(init_api_blank_e);
    put_msg(&o.h, "WARNING: a");
    put_msg(&o.h, "note: something ERROR inside");
    put_msg(&o.h, "after");
    EXPECT_FALSE(HalUtil_GetMessage(&p, &o.h, kova_log_expert_e));
    EXPECT_EQ(dialog.shown, (decltype(dialog.shown){{"note: something ERROR inside", "Configuration Error"}}));
    EXPECT_EQ(log.text(), "WARNING: a\nnote: something ERROR inside\n");
    EXPECT_TRUE(HalUtil_GetMessage(&p, &o.h, kova_log_hal_e));
    EXPECT_EQ(log.text(), "WARNING: a\nnote: something ERROR inside\nafter\n");
  }
  // The first initialisation logs its stage and its outcome.
  __dev_GuiParams = p;
  hal_holder g;
  g.h.kova_device_e = 40089;
  g.h.kova_mode_e = kova_mode_ja_e;
  g.h.xa_mode_e = xa_mode_xo_e;
  EXPECT_TRUE(HalStruct_Initialize(&g.h));
  EXPECT_NE(log.text().find(">>> INIT API: SUCCESS\n"), std::string::npos);
  g.h.kova_device_rev_e = 5;
  EXPECT_FALSE(HalStruct_Initialize(&g.h));
  EXPECT_NE(log.text().find(">>> INIT API: FAILED\n"), std::string::npos);
  __dev_GuiParams = __dev_GuiParamS{};
}

}  // namespace
