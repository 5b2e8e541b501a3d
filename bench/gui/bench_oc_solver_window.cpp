// The output clock solver window on the emulated KX40112 (installed by the main of
// kova_bench_gui): another VCO picked from the solver's list and loaded, from the choice to
// the last register written to the chip. Synthesis with OC1 156.25 MHz and OC2 125 MHz,
// whose solver offers two VCO frequencies; each iteration takes the other one.
#include <benchmark/benchmark.h>

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest/QTest>

#include "app/device_settings.h"
#include "app/run_control.h"
#include "app/user_dialog.h"
#include "app/windows/oc_solver_window.h"
#include "app/windows/session.h"
#include "board/kxemu.h"
#include "board/kxkovaio.h"

namespace {

struct silent_dialog_s : user_dialog_s {
  int messages = 0;
  void message(const std::string &, const std::string &) override { ++messages; }
  bool ask_yes_no(const std::string &, const std::string &) override { return true; }
};

void BM_SolverListChangeToLastRegister(benchmark::State &state) {
  silent_dialog_s dialog;
  app_set_dialog(&dialog);
  __dev_GuiParams = __dev_GuiParamS{};
  KovaSession session;
  hal_api_s *h = session.hal();
  h->kova_device_e = kova_device_40112_e;
  __dev_DefaultsForDevType(h, false);
  h->kova_mode_e = kova_mode_syn_e;
  __dev_DefaultsForDevMode(h, false);
  h->init_api_mode_e = init_api_full_e;
  uint32_t channels = 0;
  if (!HalStruct_Initialize(h) || kxKovaIo_ChannelCount(&channels) != 0 ||
      kxKovaIo_EvalBoardOpen(0, 1, &session.gui()->ioHandle) != 0 ||
      kxkovaio_SelectFtdi2Dut(&session.gui()->ioHandle) != FT_OK) {
    state.SkipWithError("no emulated board");
    return;
  }
  h->xa_freq_s = {50000000, 1, 1};
  h->oc1_freq_s = {156250000, 1, 1};
  h->oc2_freq_s = {125000000, 1, 1};
  HalStruct_Recalculate(h);
  WriteHalChangesToDevice(h, false);
  {
    OCSolverForm form(&session);
    form.show();
    QTest::mouseClick(form.findChild<QRadioButton *>("selectMode"), Qt::LeftButton);
    auto *vco = form.findChild<QComboBox *>("vcoList");
    auto *load = form.findChild<QPushButton *>("loadButton");
    const uint8_t *chip = kxemu_chip_regs(0);
    int row = vco->currentIndex();
    for (auto _ : state) {
      row = row == 0 ? 1 : 0;
      vco->setCurrentIndex(row);
      emit vco->activated(row);
      QTest::mouseClick(load, Qt::LeftButton);  // returns after the last register reached the chip
      benchmark::DoNotOptimize(chip[0x200]);
    }
    if (vco->count() < 2 || dialog.messages != 0 || h->oc_solver_mode_e != oc_solver_mode_select_e)
      state.SkipWithError("the choices did not load");
  }
  kxKovaIo_EvalBoardClose(&session.gui()->ioHandle);
  __dev_GuiParams = __dev_GuiParamS{};
  app_set_dialog(nullptr);
}
BENCHMARK(BM_SolverListChangeToLastRegister)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
