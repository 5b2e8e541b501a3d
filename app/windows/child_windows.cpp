#include "app/windows/child_windows.h"

#include "app/windows/apll_config_window.h"
#include "app/windows/apll_test_window.h"
#include "app/windows/dpll_config_window.h"
#include "app/windows/eeprom_window.h"
#include "app/windows/gpio_window.h"
#include "app/windows/input_config_window.h"
#include "app/windows/input_monitor_window.h"
#include "app/windows/phase_windows.h"
#include "app/windows/power_window.h"
#include "app/windows/oc_solver_window.h"
#include "app/windows/output_config_window.h"
#include "app/windows/register_window.h"
#include "app/windows/script_window.h"

QWidget *make_child_window(const QString &name, KovaSession *session, QWidget *parent) {
  if (name == "EEPROMForm") return new EEPROMForm(session, parent);
  if (name == "RunScriptForm") return new RunScriptForm(session, parent);
  if (name == "RegisterForm") return new RegisterForm(session, parent);
  if (name == "DpllConfigForm") return new DpllConfigForm(session, parent);
  if (name == "ApllConfigForm") return new ApllConfigForm(session, parent);
  if (name == "ApllTestRegistersForm") return new ApllTestRegistersForm(session, parent);
  if (name == "InputRefMonitorForm") return new InputRefMonitorForm(session, parent);
  if (name == "InputConfigForm") return new InputConfigForm(session, parent);
  if (name == "OCSolverForm") return new OCSolverForm(session, parent);
  if (name == "OutputConfigForm") return new OutputConfigForm(session, parent);
  if (name == "GpioConfigForm") return new GpioConfigForm(session, parent);
  if (name == "PhaseAdjustForm") return new PhaseAdjustForm(session, parent);
  if (name == "PhaseMeasureForm") return new PhaseMeasureForm(session, parent);
  if (name == "PowerEstimateForm") return new PowerEstimateForm(session, parent);
  return nullptr;
}
