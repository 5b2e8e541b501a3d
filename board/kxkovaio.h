// Evaluation-board I/O: the board's two FT2232H channels in MPSSE mode, SPI access to the
// Kova chip (registers, its EEPROM, DSP RAM, reset), the board EEPROM and the GPIO pins.
//
// Channel-level operations (kxkovaio_..., and the channel GPIO calls) return the driver
// status. Board-level operations (kxKovaIo_... on a board handle) return 0, or 1 with the
// driver status kept for kxKovaIo_UsbError. Texts meant for the user (with their window
// titles) are queued for the caller, never printed here: see kxKovaIo_MessageGet.
#pragma once
#include <cstddef>
#include <cstdint>

#include "board/ft_driver.h"

// ---------------------------------------------------------------------------------------
// Records.

struct kxKovaIo_GpioByteS {
  uint8_t dir;   // 1 = output
  uint8_t data;  // last value driven (low byte), or driven / last read back (high byte)
};

// One channel: its driver handle (0 when closed) and its pin bytes.
struct kxKovaIo_ChannelS {
  FT_HANDLE handle;
  struct {
    kxKovaIo_GpioByteS lo;  // ADBUS (channel A) or BDBUS (channel B)
    kxKovaIo_GpioByteS hi;  // ACBUS or BCBUS: the board's GPIO pins
  } gpio;
};

// A board: channel A, then channel B. Connected only when both channels are open.
struct kxKovaIo_HandleS {
  kxKovaIo_ChannelS chA;
  kxKovaIo_ChannelS chB;
};

constexpr uint32_t KXKOVAIO_DESC_LEN = 128;
constexpr uint32_t KXKOVAIO_BOARDS = 32;
constexpr uint32_t KXKOVAIO_NO_CHANNEL = 0xFFFFFFFFu;  // B channel not found

// A board in the list: its channel indices, channel A's description and location.
struct kxKovaIo_BoardEntryS {
  uint32_t chanA;
  uint32_t chanB;
  char descA[KXKOVAIO_DESC_LEN];
  uint32_t locIdA;
};

// Board modes: routed once an SPI routing operation has succeeded (the board EEPROM is
// reachable only then).
enum __dev_BoardModes : uint32_t {
  kxKovaIo_BoardModeNone = 0,
  kxKovaIo_BoardModeRouted = 1,
};

// Pin bits of the low byte.
constexpr uint8_t KX_PIN_SCK = 0x01, KX_PIN_MOSI = 0x02, KX_PIN_MISO = 0x04, KX_PIN_CS = 0x08;
constexpr uint8_t KX_PIN_ROUTE = 0x10;   // channel A: SPI bus to 0 chip, 1 board EEPROM
constexpr uint8_t KX_PIN_HWSEL = 0x20;   // channel A: hardware select
constexpr uint8_t KX_PIN_BIT6 = 0x40;
constexpr uint8_t KX_PIN_RESET = 0x80;   // channel A: chip reset, active low

// SPI limits.
constexpr uint32_t KX_BLOCK_MAX = 4000;        // data bytes of one write frame
constexpr uint32_t KX_REG_BLOCK = 2048;        // register writes
constexpr uint32_t KX_SELECT_BLOCK = 100;      // access-select writes
constexpr uint32_t KX_CHIP_EEPROM_PAGE = 32;   // the chip's own EEPROM
constexpr uint32_t KX_BRD_PAGE_MAX = 256;      // board EEPROM page limit
constexpr uint32_t KX_DSP_WORDS_MAX = 320;     // one DSP RAM transfer
constexpr uint32_t KX_BUSY_POLLS = 100;        // busy-wait count of every write
constexpr uint32_t KX_READ_MAX = 65536;        // bytes of one read frame (16-bit count)

// Run-wide state.
extern uint32_t FT_ERRNO;        // driver status of the last failed board-level operation
extern uint32_t BoardMode;       // __dev_BoardModes
extern uint32_t EEPROMPageSize;  // board EEPROM page size, 32 at start

// ---------------------------------------------------------------------------------------
// Messages for the user: fixed texts with the title of their window, oldest first.

constexpr uint32_t KXKOVAIO_MSG_TEXT = 256, KXKOVAIO_MSG_TITLE = 48, KXKOVAIO_MSG_MAX = 32;
struct kxKovaIo_MessageS {
  char text[KXKOVAIO_MSG_TEXT];
  char title[KXKOVAIO_MSG_TITLE];
};
// Takes the oldest queued message; false when there is none.
bool kxKovaIo_MessageGet(kxKovaIo_MessageS *msg);
void kxKovaIo_MessagesClear();
uint32_t kxKovaIo_MessageCount();

// ---------------------------------------------------------------------------------------
// Waits. The board I/O waits through this function: by default the driver's wait (a real
// sleep on hardware, the emulated clock on the emulator); a program or a test may install
// its own (null restores the default).
typedef void (*kxKovaIo_SleepFn)(uint32_t ms, void *ctx);
void kxKovaIo_SleepSet(kxKovaIo_SleepFn fn, void *ctx);
void kxKovaIo_Sleep(uint32_t ms);

// ---------------------------------------------------------------------------------------
// Channels and board.

uint32_t kxKovaIo_ChannelCount(uint32_t *numChannels);
// Opens one channel into MPSSE mode with the pin bytes already in the record.
FT_STATUS kxKovaIo_EvalBoardChannelOpen(uint32_t channelNum, kxKovaIo_ChannelS *channel);
uint32_t kxKovaIo_EvalBoardOpen(uint32_t channelA, uint32_t channelB, kxKovaIo_HandleS *evalHandle);
uint32_t kxKovaIo_EvalBoardClose(kxKovaIo_HandleS *evalHandle);
uint32_t kxKovaIo_EvalBoardConnected(const kxKovaIo_HandleS *evalHandle, bool *isOpen);
uint32_t kxKovaIo_HwSel(kxKovaIo_HandleS *evalHandle, bool hwSel);
uint32_t kxKovaIo_UsbError();
// Why the first USB transfer that failed since the text was last cleared (set to "") did so,
// as a user reads it: "the board was unplugged or does not answer (driver status 4)", "short
// write: the board took 3 of 120 bytes", "read time-out: 0 of 4 bytes arrived". The later
// failures of the same operation follow from the first and do not replace it.
const char *kxKovaIo_TransferError();
void kxKovaIo_TransferErrorSet(const char *text);
uint32_t kxKovaIo_GetBoardMode();
FT_STATUS kxkovaio_SelectFtdi2Dut(kxKovaIo_HandleS *evalHandle);
FT_STATUS kxkovaio_SelectFtdi2Eeprom(kxKovaIo_HandleS *evalHandle);

// ---------------------------------------------------------------------------------------
// Chip access on channel A (channel level).

FT_STATUS kxkovaio_DutRead(kxKovaIo_ChannelS *channel, uint32_t eeAddr, uint32_t numBytes, uint8_t *eeData);
FT_STATUS kxkovaio_DutWrite(kxKovaIo_ChannelS *channel, uint32_t addr, uint32_t numBytes, const uint8_t *data,
                            uint32_t blockMax);
FT_STATUS kxkovaio_DutEepromStatusGet(kxKovaIo_ChannelS *channel, uint8_t *eeStatus);
FT_STATUS kxkovaio_DutEepromWriteEn(kxKovaIo_ChannelS *channel, bool isEnabled);
FT_STATUS kxkovaio_DutEepromBusyWait(kxKovaIo_ChannelS *channel, uint32_t cycleCountMs);
FT_STATUS kxkovaio_DutMemoryAccessSet(kxKovaIo_ChannelS *channel, uint32_t accessArea);
FT_STATUS kxkovaio_DutRegisterRead(kxKovaIo_ChannelS *channel, uint32_t regAddr, uint32_t numBytes, uint8_t *regData);
FT_STATUS kxkovaio_DutRegisterWrite(kxKovaIo_ChannelS *channel, uint32_t regAddr, uint32_t numBytes,
                                    const uint8_t *regData);
FT_STATUS kxkovaio_DutEepromRead(kxKovaIo_ChannelS *channel, uint32_t eeAddr, uint32_t numBytes, uint8_t *eeData);
FT_STATUS kxkovaio_DutEepromWrite(kxKovaIo_ChannelS *channel, uint32_t eeAddr, uint32_t numBytes,
                                  const uint8_t *eeData, uint32_t EEPROMPageSize);

// Chip access (board level).
uint32_t kxKovaIo_DutRegRead(kxKovaIo_HandleS *evalHandle, uint32_t regAddr, uint32_t numBytes, uint8_t *regData);
uint32_t kxKovaIo_DutRegWrite(kxKovaIo_HandleS *evalHandle, uint32_t regAddr, uint32_t numBytes,
                              const uint8_t *regData);
uint32_t kxKovaIo_DutEepromRead(kxKovaIo_HandleS *evalHandle, uint32_t eeAddr, uint32_t numBytes, uint8_t *eeData);
uint32_t kxKovaIo_DutEepromWrite(kxKovaIo_HandleS *evalHandle, uint32_t eeAddr, uint32_t numBytes,
                                 const uint8_t *eeData);
uint32_t kxKovaIo_DutReset(kxKovaIo_HandleS *evalHandle);
uint32_t kxkovaio_DspRamRead(kxKovaIo_HandleS *evalHandle, uint32_t ramAddr, uint32_t numWords, uint32_t *ramData);
uint32_t kxkovaio_DspRamWrite(kxKovaIo_HandleS *evalHandle, uint32_t ramAddr, uint32_t numWords,
                              const uint32_t *ramData, uint32_t dspId);
// Non-zero: the chip loaded a configuration from its EEPROM; -1 on failure.
int32_t kxkovaio_DutEepromBootedStatus(kxKovaIo_HandleS *evalHandle);
// Non-zero: the chip holds a configuration; -1 on failure.
int32_t kxkovaio_DutConfigurationStatus(kxKovaIo_HandleS *evalHandle);

// ---------------------------------------------------------------------------------------
// Board EEPROM (channel A, bus routed to the EEPROM) and GPIO.

FT_STATUS kxkovaio_BrdEepromSpiStatus(kxKovaIo_ChannelS *channel, uint8_t *eeStatus);
FT_STATUS kxkovaio_BrdEepromWriteEn(kxKovaIo_ChannelS *channel, bool isEnabled);
FT_STATUS kxkovaio_BrdEepromBusyWait(kxKovaIo_ChannelS *channel, uint32_t cycleCountMs);
FT_STATUS kxkovaio_BrdEepromMemRead(kxKovaIo_ChannelS *channel, uint32_t eeAddr, uint32_t numBytes, uint8_t *eeData);
FT_STATUS kxkovaio_BrdEepromMemWrite(kxKovaIo_ChannelS *channel, uint32_t eeAddr, uint32_t numBytes,
                                     const uint8_t *eeData, uint32_t EEPROMPageSize);

uint32_t kxKovaIo_EvalBrdEepromStatusGet(kxKovaIo_HandleS *evalHandle, uint8_t *status);
uint32_t kxKovaIo_EvalBrdEepromRead(kxKovaIo_HandleS *evalHandle, uint32_t eeAddr, uint32_t numBytes,
                                    uint8_t *eeValue);
uint32_t kxKovaIo_EvalBrdEepromWrite(kxKovaIo_HandleS *evalHandle, uint32_t eeAddr, uint32_t numBytes,
                                     const uint8_t *eeValue, uint32_t EEPROMPageSize);
// Page size of the EEPROM window's choice: 0 gives 16, 2 gives 64, 3 gives 256, others 32.
uint32_t kxKovaIo_EepromPageSizeChoice(int32_t index);

// GPIO: pins 0 to 7 are channel A's high byte, 8 to 15 channel B's.
FT_STATUS kxKovaIo_GpioChannelRead(kxKovaIo_ChannelS *channel);
FT_STATUS kxKovaIo_GpioChannelWrite(kxKovaIo_ChannelS *channel, uint8_t gpioMask, uint8_t gpioVal);
FT_STATUS kxKovaIo_GpioChannelDir(kxKovaIo_ChannelS *channel, uint8_t gpioMask, uint8_t gpioDir);
uint32_t kxKovaIo_GpioRead(kxKovaIo_HandleS *evalHandle, uint8_t *gpioA, uint8_t *gpioB);
uint32_t kxKovaIo_GpioWrite(kxKovaIo_HandleS *evalHandle, const uint8_t *gpioA, const uint8_t *gpioB);
uint32_t kxKovaIo_GpioWritePins(kxKovaIo_HandleS *evalHandle, uint16_t gpioMask, uint16_t gpioVal);
uint32_t kxKovaIo_GpioDirPins(kxKovaIo_HandleS *evalHandle, uint16_t gpioMask, uint16_t gpioDir);

// ---------------------------------------------------------------------------------------
// The connection window's logic: USB connection log, board list, connect.

constexpr uint32_t KXKOVAIO_LOG_LINES = 512, KXKOVAIO_LOG_LEN = 200;
// Lines "HH:mm:ss.fff: text"; when full, the oldest line goes.
struct kxKovaIo_UsbLogS {
  uint32_t count;
  char lines[KXKOVAIO_LOG_LINES][KXKOVAIO_LOG_LEN];
};
// Clears the log and starts it with "Form opened".
void kxKovaIo_UsbLogOpen(kxKovaIo_UsbLogS *log);
void kxKovaIo_UsbLogAdd(kxKovaIo_UsbLogS *log, const char *text);
// Writes the log to a file, one line per entry (only when the caller asks). False, errno
// set, when the file cannot be written.
bool kxKovaIo_UsbLogSave(const kxKovaIo_UsbLogS *log, const char *path);
// The save dialog's settings for the log file.
constexpr const char *KXKOVAIO_LOG_FILTER = "Text File (*.log)|*.log|Show All Files (*.*)|*.*";
constexpr const char *KXKOVAIO_LOG_NAME = "UsbConnLog";
constexpr const char *KXKOVAIO_LOG_TITLE = "USB Connection Log";

constexpr uint32_t KXKOVAIO_LINE_LEN = 160;
struct kxKovaIo_BoardListS {
  uint32_t count;  // entries taken (A channels found, at most 32)
  kxKovaIo_BoardEntryS boardInfo[KXKOVAIO_BOARDS];
  char lines[KXKOVAIO_BOARDS][KXKOVAIO_LINE_LEN];  // "i: description"
  int32_t selected;     // selected line, -1 none
  bool connectEnabled;  // an A channel was found
};
// Rebuilds the list from the driver ("Refresh"), logging what it finds; selects the line
// of the connected board when `connected` is a connected board, else the first line.
// Returns 0, or 1 when the channel count failed (the list is then empty).
uint32_t kxKovaIo_BoardListRefresh(kxKovaIo_BoardListS *list, const kxKovaIo_HandleS *connected,
                                   kxKovaIo_UsbLogS *log);
// Connects to the selected line: closes a connected board first (and refreshes the list),
// opens the entry's channels and routes the SPI bus, to the board EEPROM when
// externalDut is set, else to the chip. 0 on success; 1 with a message otherwise.
uint32_t kxKovaIo_BoardConnect(kxKovaIo_BoardListS *list, kxKovaIo_HandleS *evalHandle, bool externalDut,
                               kxKovaIo_UsbLogS *log);
