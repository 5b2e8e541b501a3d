// The product table, the key settings each device starts with, device and mode defaults,
// the master-clock choices, and the per-input and per-output records of the windows.
#pragma once
#include <cstdint>
#include "hal/hal_api.h"

// Product index of the application (0 to 8; also the upper nibble of register 0x031).
using __dev_DeviceIdE = int32_t;
constexpr int32_t KOVA_PRODUCT_COUNT = 9;

struct KovaProductDefS {
  int32_t index;  // -1 for an empty row
  uint8_t valid;
  char partNumber[23];
  uint8_t reserved;
  char description[27];
  int32_t device;       // kova_device_e
  int32_t modeMask;     // bit m: chip mode m offered
  int32_t monitorMask;  // bit 1: fine monitoring (at most 500 ppm) offered
  int32_t further[4];
};

extern const KovaProductDefS KovaProduct[KOVA_PRODUCT_COUNT];
extern const char *const __dev_DeviceIdStr[KOVA_PRODUCT_COUNT];

struct DeviceKeyConfigS {
  int32_t productIndex;
  int32_t device;
  int32_t revision;
  int32_t mode;
  int32_t masterClockMode;  // __dev_MasterClockModeE
  int32_t sysclkMode;
  int32_t jitterMode;
};

extern const DeviceKeyConfigS DeviceKeyConfigSettings[KOVA_PRODUCT_COUNT];

// Texts of the choices.
extern const char *const __dev_ChipModeStr[4];
extern const char *const __dev_MasterClockModeStr[7];
extern const char *const __dev_XaPinsLabelStr[4];  // label of the XA pins by chip mode
extern const char *const __dev_SysclkSourceStr[2];

// Master-clock mode (application order) to XA mode and back; -1 outside the range.
int32_t __dev_MasterClockToXaMode(int32_t master_clock_mode);
int32_t __dev_XaModeToMasterClock(int32_t xa_mode);

// Device number of a product index; -1 for an index of 9 or more (or below 0).
int32_t __dev_ConvertApiToHalPartNumber(__dev_DeviceIdE index);
// Product index of a device number; -1 when no row has it.
__dev_DeviceIdE __dev_ConvertHalToApiPartNumber(int32_t device);
// True for the products offered to the user (8 only in super-user mode).
bool __dev_DevicePartNumberValid(__dev_DeviceIdE index);

// Device-type defaults: revision (only when no board is connected), chip mode, XA mode,
// system clock and jitter mode from the key settings of the object's device.
bool __dev_DefaultsForDevType(hal_api_s *hal, bool board_connected = false);
// Mode defaults: the device-type defaults with the object's chip mode kept, and the system
// clock set to RO for synthesis and XA for every other mode.
bool __dev_DefaultsForDevMode(hal_api_s *hal, bool board_connected = false);

bool __dev_DeviceConfigSettingsGet(const hal_api_s *inHalS, DeviceKeyConfigS *config);
bool __dev_DeviceConfigSettingsSet(hal_api_s *inHalS, const DeviceKeyConfigS *config);

// Per-input settings of the windows.
struct __dev_PpmMonitorS {
  int32_t mode;
  int32_t threshold;
  int32_t threshold2;
};

struct __dev_InputClockConfigS {
  int32_t enable;
  int32_t invert;
  fprec_s frequency;
  int32_t hsdiv;
  int32_t div;
  int32_t monitorMode;
  int32_t extLos;
  int32_t losLatency;
  __dev_PpmMonitorS ppm;
  int32_t monitorRange;  // 0 off, 1 fine (at most 500 ppm), 2 coarse
  int32_t hysteresisOff;
  int32_t validationWait;
  double validationTimerRate;
};

// Per-output settings of the windows, with display fields filled from the object.
struct __dev_OutputClockConfigS {
  int32_t polarity;
  int32_t autoSquelch;
  int32_t signalFormat;
  int32_t driveStrength;
  fprec_s frequencyP;
  fprec_s frequencyN;
  int32_t nLowSpeedDivider;
  int32_t nUsesLowSpeedDivider;
  int32_t lowSpeedDividerStatus;
  int32_t pulseWidth;
  int32_t stopMode;
  int32_t stopSource;
  int32_t stopHighImpedance;
  int32_t stop;
  int32_t alignEnable;
  int32_t alignPhase;
  // Display only.
  int32_t hsdivSelect;
  int32_t msdiv;
  int32_t lsdiv;
  double msdivFreqMhz;
  double lsdivFreqMhz;
  double nFreqMhz;
};

void __dev_ConvertApiToHalInputConfigS(int inputIndex, const __dev_InputClockConfigS *inIcCfgS, hal_api_s *outHalApiS);
void __dev_ConvertHalToApiInputConfigS(int inputIndex, const hal_api_s *inHalApiS, __dev_InputClockConfigS *outIcCfgS);
void __dev_ConvertApiToHalOutputConfigS(int outputIndex, const __dev_OutputClockConfigS *outCfgS, hal_api_s *outHalApiS);
void __dev_ConvertHalToApiOutputConfigS(int outputIndex, const hal_api_s *inHalApiS, __dev_OutputClockConfigS *outCfgS);

// Brings an input record's thresholds into the ranges the product's monitor offers and
// derives the range and hysteresis switch. True when a threshold had to be changed.
bool __dev_InputClockMonitorModeDerive(__dev_DeviceIdE product, __dev_InputClockConfigS *inCfgS);
