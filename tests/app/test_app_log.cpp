// Options, the log file and its filter, and the drain that decides a stage's success.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/app_log.h"
#include "app/app_options.h"
#include "app/user_dialog.h"

namespace {

struct recording_dialog_s final : user_dialog_s {
  std::vector<std::pair<std::string, std::string>> shown;
  void message(const std::string &text, const std::string &title) override { shown.emplace_back(text, title); }
  bool ask_yes_no(const std::string &, const std::string &) override { return true; }
};

class AppLog : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = ::testing::TempDir() + "/kova_log_" + std::to_string(getpid()) + ".txt";
    std::remove(path_.c_str());
    ASSERT_TRUE(app_set_log_file(&p_, path_));
    p_.log.enabled = 1;
    SuperUserModeSet(false);
    AutoResetDutOnConnect(true);
    app_set_dialog(&dialog_);
  }
  void TearDown() override {
    app_set_dialog(nullptr);
    SuperUserModeSet(false);
    AutoResetDutOnConnect(true);
    std::remove(path_.c_str());
  }
  std::string text() const {
    std::ifstream in(path_);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::string path_;
  __dev_GuiParamS p_{};
  recording_dialog_s dialog_;
};

TEST_F(AppLog, CustomerModeWritesOnlyStartAndRegisterLines) {
  GuiLogMessage(&p_, ">>> CALC EXPERT", kova_log_expert_e);
  GuiLogConfigCmd(&p_, 0x031, 0x05, 0, nullptr);
  GuiLogConfigCmd(&p_, 0x00B, 0x01, 10000, "enable");
  GuiLogMessage(&p_, "started", kova_log_start_e);
  EXPECT_EQ(text(), "X, 0X031, 0X05 ; ID2\nX, 0X00B, 0X01 ; PLLEN  //enable\nW , 10000\nstarted\n");
  EXPECT_EQ(GuiLogConfigCmdText(0x1234, 0xA5, nullptr), "X, 0X1234, 0XA5");  // no name, four digits
  SuperUserModeSet(true);
  GuiLogMessage(&p_, ">>> CALC EXPERT", kova_log_expert_e);
  EXPECT_NE(text().find("\n>>> CALC EXPERT\n"), std::string::npos);
  // Nothing is written when the log is off; a log without a name cannot be started.
  p_.log.enabled = 0;
  GuiLogMessage(&p_, "x", kova_log_start_e);
  GuiLogMessage(&p_, nullptr, kova_log_start_e);
  EXPECT_EQ(text().find("x\n"), std::string::npos);
  EXPECT_EQ(app_log_state_process(&p_), "Start Log");
  p_.log.enabled = 1;
  EXPECT_EQ(app_log_state_process(&p_), "Stop Log");
  app_set_log_file(&p_, "");
  EXPECT_EQ(app_log_state_process(&p_), "Start Log");
  EXPECT_EQ(p_.log.enabled, 0);
}

TEST_F(AppLog, CommandLineOptions) {
  __dev_GuiParamS p{};
  app_parse_args(&p, {"-log", "-su", "other"}, "/home/u");
  EXPECT_STREQ(p.log.fileName, "/home/u/Desktop/-su");  // the file name is not an option
  EXPECT_EQ(p.log.enabled, 1);
  EXPECT_TRUE(isInCustomerMode());
  app_parse_args(&p, {"-SU", "-ye"}, "/home/u");
  EXPECT_FALSE(isInCustomerMode());
  EXPECT_FALSE(isAutoResetDutEnabled());
  __dev_GuiParamS q{};
  app_parse_args(&q, {"-log", std::string(1100, 'a')}, "/home/u");  // would overrun the name
  EXPECT_EQ(q.log.enabled, 0);
  EXPECT_STREQ(q.log.fileName, "");
}

TEST_F(AppLog, DrainFailsAtTheFirstErrorAndTheNextStageTakesTheRest) {
  SuperUserModeSet(true);
  hal_api_s h{};
  h.init_api_mode_e = init_api_blank_e;
  init_api(&h);
  put_msg(&h, "WARNING: a");
  put_msg(&h, "note: something ERROR inside");
  put_msg(&h, "after");
  EXPECT_FALSE(HalUtil_GetMessage(&p_, &h, kova_log_expert_e));
  ASSERT_EQ(dialog_.shown.size(), 1u);
  EXPECT_EQ(dialog_.shown[0], std::make_pair(std::string("note: something ERROR inside"), std::string("Configuration Error")));
  EXPECT_EQ(text(), "WARNING: a\nnote: something ERROR inside\n");
  EXPECT_TRUE(HalUtil_GetMessage(&p_, &h, kova_log_hal_e));
  EXPECT_EQ(text(), "WARNING: a\nnote: something ERROR inside\nafter\n");
  delete_api(&h);
  // The first initialisation logs its stage and its outcome.
  __dev_GuiParams = p_;
  hal_api_s g{};
  g.kova_device_e = 40089;
  g.kova_mode_e = kova_mode_ja_e;
  g.xa_mode_e = xa_mode_xo_e;
  EXPECT_TRUE(HalStruct_Initialize(&g));
  EXPECT_NE(text().find(">>> INIT API: SUCCESS\n"), std::string::npos);
  g.kova_device_rev_e = 5;
  EXPECT_FALSE(HalStruct_Initialize(&g));
  EXPECT_NE(text().find(">>> INIT API: FAILED\n"), std::string::npos);
  delete_api(&g);
  __dev_GuiParams = __dev_GuiParamS{};
}

}  // namespace
