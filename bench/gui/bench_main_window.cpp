// The main window on an emulated KX40112: an ordinary change (the DPLL bandwidth typed and
// applied with Enter) from the key press to the last register written to the chip, and
// reloading the whole window from the object. Run on Qt's offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include "app/user_dialog.h"
#include "app/windows/main_window.h"
#include "board/kxemu.h"
#include "board/kxkovaio.h"

namespace {

struct quiet_dialog_s : user_dialog_s {
  void message(const std::string &, const std::string &) override {}
  bool ask_yes_no(const std::string &, const std::string &) override { return true; }
};

void no_sleep(uint32_t, void *) {}

// A main window connected to an emulated KX40112 running a JA configuration.
struct connected_window_s {
  quiet_dialog_s dialog;
  MainWindow w;
  connected_window_s() {
    app_set_dialog(&dialog);
    w.unattended = true;
    w.show();
    QWidget *c = w.openWindow("ConnectionConfigForm");
    QTest::mouseClick(c->findChild<QPushButton *>("refreshButton"), Qt::LeftButton);
    c->findChild<QListWidget *>("boardList")->setCurrentRow(0);
    QTest::mouseClick(c->findChild<QPushButton *>("connectButton"), Qt::LeftButton);
    app_set_dialog(&dialog);
    for (auto [name, mhz] : {std::pair{"ic1Freq", "19.44"}, {"oc1Freq", "156.25"}, {"oc2Freq", "100"}}) {
      auto *e = w.findChild<QLineEdit *>(name);
      e->setText(mhz);
      QTest::keyClick(e, Qt::Key_Return);
    }
    w.findChild<QCheckBox *>("ic1Enable")->setChecked(true);
  }
};

void BM_OrdinaryChangeToLastRegister(benchmark::State &state) {
  connected_window_s cw;
  auto *bw = cw.w.findChild<QLineEdit *>("dpllBandwidth");
  const uint8_t *chip = kxemu_chip_regs(0);
  int i = 0;
  for (auto _ : state) {
    bw->setText(++i % 2 ? "100" : "200");
    QTest::keyClick(bw, Qt::Key_Return);  // returns after the last register reached the chip
    benchmark::DoNotOptimize(chip[0x300]);
  }
  if (cw.w.session()->hal()->dpll_bw_hz != (i % 2 ? 100u : 200u)) state.SkipWithError("the change did not apply");
}
BENCHMARK(BM_OrdinaryChangeToLastRegister)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ReloadWindowFromObject(benchmark::State &state) {
  connected_window_s cw;
  for (auto _ : state) cw.w.reload_controls();
}
BENCHMARK(BM_ReloadWindowFromObject)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  kxemu_config_s cfg{};
  char err[512];
  if (!kxemu_config_parse("40112", &cfg, err, sizeof err) || !kxemu_install(&cfg, err, sizeof err)) return 1;
  kxKovaIo_SleepSet(no_sleep, nullptr);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  kxemu_remove();
  return 0;
}
