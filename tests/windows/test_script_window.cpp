// The script window driven as a user drives it: a script loaded and run offline or on the
// emulated board becomes the configuration; a script with a bad line, or a run whose
// configuration cannot be derived, leaves the previous configuration in place. Asserted on
// the configuration object, the emulated chip's registers and the messages the user saw.
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/device_settings.h"
#include "app/run_control.h"
#include "app/windows/script_window.h"
#include "files/mfg_script.h"
#include "gui_test_support.h"

namespace {

struct script_window_test : gui_fixture {
  std::unique_ptr<KovaSession> session;
  std::unique_ptr<RunScriptForm> form;
  QTemporaryDir dir;
  hal_api_s source{};  // the configuration the script was saved from
  std::string script;

  void TearDown() override {
    form.reset();
    session.reset();
    delete_api(&source);
    source = hal_api_s{};
    gui_fixture::TearDown();
  }
  static void configure(hal_api_s *h, int32_t device) {
    h->kova_device_e = device;
    __dev_DefaultsForDevType(h, false);
    h->init_api_mode_e = init_api_full_e;
    ASSERT_TRUE(HalStruct_Initialize(h) && HalStruct_Recalculate(h));
  }
  // A script saved from a KX40112 configuration with OC1 at 125 MHz; the application works
  // on KX40089 defaults, offline or connected to the emulated KX40112.
  void start(bool connected) {
    configure(&source, kova_device_40112_e);
    source.oc1_freq_s = {125000000, 1, 1};
    ASSERT_TRUE(HalStruct_Recalculate(&source));
    script = dir.filePath("config.mfg").toStdString();
    int32_t code = 0;
    file_message_s msg;
    ASSERT_TRUE(mfg_save_file(&source, script.c_str(), KOVA_GUI_VERSION, &code, &msg)) << msg.text;
    session = std::make_unique<KovaSession>();
    configure(session->hal(), kova_device_40089_e);
    if (connected) {
      uint32_t n = 0;
      ASSERT_EQ(kxKovaIo_ChannelCount(&n), 0u);
      ASSERT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &session->gui()->ioHandle), 0u);
      ASSERT_EQ(kxkovaio_SelectFtdi2Dut(&session->gui()->ioHandle), FT_OK);
    }
    form = std::make_unique<RunScriptForm>(session.get());
    form->show();
    dialog.messages.clear();
  }
  // Rewrites the script: drop the lines containing drop, put extra in as line at.
  void edit_script(const std::string &drop, const std::string &extra = "", size_t at = 0) {
    std::ifstream in(script);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);)
      if (drop.empty() || l.find(drop) == std::string::npos) lines.push_back(l);
    if (!extra.empty()) lines.insert(lines.begin() + static_cast<long>(at - 1), extra);
    std::ofstream out(script);
    for (const auto &l : lines) out << l << "\n";
  }
  void load() {
    auto *e = form->findChild<QLineEdit *>("scriptFileEdit");
    ASSERT_NE(e, nullptr);
    e->clear();
    QTest::keyClicks(e, QString::fromStdString(script));
    QTest::mouseClick(form->findChild<QPushButton *>("loadButton"), Qt::LeftButton);
  }
};

TEST_F(script_window_test, LoadedScriptBecomesTheConfiguration) {
  for (const bool connected : {false, true}) {
    SCOPED_TRACE(connected ? "on the board" : "offline");
    start(connected);
    load();
    ASSERT_TRUE(dialog.saw("DUT Config file successfully loaded!"));
    const hal_api_s *h = session->hal();
    EXPECT_EQ(h->kova_device_e, kova_device_40112_e);
    EXPECT_EQ(h->kova_mode_e, source.kova_mode_e);
    EXPECT_EQ(h->oc1_freq_s.f, 125000000u);
    EXPECT_EQ(session->gui()->devicePartNumber, 2);
    EXPECT_EQ(session->gui()->halConfigured, 1);
    for (int i = 0; i < 3; ++i) {  // the input records of the windows follow the new object
      __dev_InputClockConfigS want{};
      __dev_ConvertHalToApiInputConfigS(i, &source, &want);
      EXPECT_EQ(session->gui()->inputClock[i].enable, want.enable) << "IC" << i + 1;
      EXPECT_EQ(session->gui()->inputClock[i].frequency.f, want.frequency.f) << "IC" << i + 1;
      EXPECT_EQ(session->gui()->inputClock[i].div, want.div) << "IC" << i + 1;
      EXPECT_EQ(session->gui()->inputClock[i].validationWait, want.validationWait) << "IC" << i + 1;
    }
    EXPECT_FALSE(form->isVisible());  // a successful load in customer mode closes the window
    if (connected) {
      // The output dividers reached the chip.
      const uint8_t *chip = kxemu_chip_regs(0);
      for (uint32_t a = 0x200; a < 0x230; ++a) EXPECT_EQ(chip[a], get_reg(&source, a)) << std::hex << a;
    }
    TearDown();
    SetUp();
  }
}

TEST_F(script_window_test, FailedLoadKeepsThePreviousConfiguration) {
  struct bad_case {
    const char *what;
    std::string drop, extra;  // lines dropped, line put in at line 5
    const char *message;      // besides "DUT Config file load failed!"
  };
  const bad_case cases[] = {
      {"wait too long", "", "W , 100000", "Command Validation FAILED (line: 5)"},
      {"write without data", "", "X , 0x031", "Command Validation FAILED (line: 5)"},
      // No frequency in the script and the known-frequency window closed without one.
      {"no known frequency", "Frequency Hz", "", nullptr},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    start(false);
    edit_script(c.drop, c.extra, 5);
    if (!c.message) on_next_modal([](QWidget *w) { static_cast<QDialog *>(w)->reject(); });
    const std::vector<uint8_t> before = [&] {
      std::vector<uint8_t> r(KOVA_REG_COUNT);
      for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) r[a] = static_cast<uint8_t>(get_reg(session->hal(), a));
      return r;
    }();
    const fprec_s oc1 = session->hal()->oc1_freq_s;
    load();
    EXPECT_TRUE(dialog.saw("DUT Config file load failed!"));
    if (c.message) {
      EXPECT_TRUE(dialog.saw(c.message));
    }
    const hal_api_s *h = session->hal();
    EXPECT_EQ(h->kova_device_e, kova_device_40089_e);
    EXPECT_EQ(h->oc1_freq_s.f, oc1.f);
    for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) ASSERT_EQ(get_reg(h, a), before[a]) << std::hex << a;
    EXPECT_TRUE(form->isVisible());
    TearDown();
    SetUp();
  }
}

}  // namespace
