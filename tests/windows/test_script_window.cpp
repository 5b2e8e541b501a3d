// The script window driven as a user drives it: a script loaded and run offline or on the
// emulated board becomes the configuration; a script with a bad line, or a run whose
// configuration cannot be derived, leaves the previous configuration in place. Asserted on
// the configuration object, the emulated chip's registers and the messages the user saw.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <fstream>

#include "app/main_ops.h"
#include "app/windows/script_window.h"
#include "gui_test_support.h"

namespace {

struct script_window_test : gui_fixture {
  std::unique_ptr<KovaSession> source;  // the configuration the script was saved from
  std::string script;

  // A script saved from a KX40112 configuration with OC1 at 125 MHz; the application works
  // on KX40089 defaults, offline or connected to the emulated KX40112 (its chip not written).
  void begin(bool connected) {
    restart();
    start("40112", false, -1, [](hal_api_s *h) { h->oc1_freq_s = {125000000, 1, 1}; });
    script = path("config.mfg");
    ASSERT_TRUE(main_save_script(&session->state, script));
    source = std::move(session);
    start("40089", false, -1, nullptr, "40112");
    if (connected) open_board();
    open<RunScriptForm>();
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
    QLineEdit *e = find<QLineEdit>("scriptFileEdit");
    e->clear();
    QTest::keyClicks(e, QString::fromStdString(script));
    click("loadButton");
  }
};

TEST_F(script_window_test, LoadedScriptBecomesTheConfiguration) {
  for (const bool connected : {false, true}) {
    SCOPED_TRACE(connected ? "on the board" : "offline");
    begin(connected);
    load();
    ASSERT_TRUE(dialog.saw("DUT Config file successfully loaded!"));
    const hal_api_s *h = hal();
    EXPECT_EQ(h->kova_device_e, kova_device_40112_e);
    EXPECT_EQ(h->kova_mode_e, source->hal()->kova_mode_e);
    EXPECT_EQ(h->oc1_freq_s.f, 125000000u);
    EXPECT_EQ(session->gui()->devicePartNumber, 2);
    EXPECT_EQ(session->gui()->halConfigured, 1);
    EXPECT_FALSE(form->isVisible());  // a successful load in customer mode closes the window
    if (connected) {  // the output dividers reached the chip
      const std::vector<uint8_t> want = register_image(source->hal());
      EXPECT_EQ(std::vector<uint8_t>(chip() + 0x200, chip() + 0x230),
                std::vector<uint8_t>(want.begin() + 0x200, want.begin() + 0x230));
    }
  }
}

// A bad line put in as line 5, or the frequency lines dropped and the known-frequency window
// closed without one: the load fails and the configuration stays as it was.
TEST_F(script_window_test, FailedLoadKeepsThePreviousConfiguration) {
  for (const bool bad_line : {true, false}) {
    SCOPED_TRACE(bad_line ? "wait too long" : "no known frequency");
    begin(false);
    if (bad_line) {
      edit_script("", "W , 100000", 5);
    } else {
      edit_script("Frequency Hz");
      on_next_modal([](QWidget *w) { static_cast<QDialog *>(w)->reject(); });
    }
    const std::vector<uint8_t> before = image();
    const fprec_s oc1 = hal()->oc1_freq_s;
    load();
    EXPECT_TRUE(dialog.saw("DUT Config file load failed!"));
    EXPECT_EQ(dialog.saw("Command Validation FAILED (line: 5)"), bad_line);
    EXPECT_EQ(hal()->kova_device_e, kova_device_40089_e);
    EXPECT_EQ(hal()->oc1_freq_s.f, oc1.f);
    EXPECT_EQ(image(), before);
    EXPECT_TRUE(form->isVisible());
  }
}

}  // namespace
