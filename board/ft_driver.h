// The FTDI driver calls the board I/O makes, behind one seam. Every call goes to the
// backend in use: the libftdi backend (a real FT2232H board over libusb) or the
// emulated evaluation board. Which one is chosen at run time: a program may install one
// explicitly; otherwise the first call picks the emulator when KOVA_EMULATED_BOARD is set
// and libftdi when it is not.
//
// The seam also writes the USB trace: every FT_Write and FT_Read as one line, channel
// letter, W or R and the bytes in upper-case hexadecimal ("A W 80 86 FB 87"), into the
// file given to ft_trace_open or named by KOVA_USB_TRACE.
#pragma once
#include <cstddef>
#include <cstdint>

typedef uint32_t FT_STATUS;
typedef uint32_t FT_HANDLE;  // 0: no channel

// Driver statuses. The board I/O tells 0, 1, 4, 6 and 18 apart; 2 and 3 come from
// FT_Open when no channel has the index or the channel cannot be opened.
enum : FT_STATUS {
  FT_OK = 0,
  FT_INVALID_HANDLE = 1,
  FT_DEVICE_NOT_FOUND = 2,
  FT_DEVICE_NOT_OPENED = 3,
  FT_IO_ERROR = 4,
  FT_INVALID_PARAMETER = 6,
  FT_OTHER_ERROR = 18,
};

constexpr uint32_t FT_DEVICE_2232H = 6;  // channel type of the FT2232H
constexpr uint32_t FT_FLAGS_OPENED = 1;
constexpr uint32_t FT_FLAGS_HISPEED = 2;
constexpr uint32_t FT_PURGE_RX = 1;
constexpr uint32_t FT_PURGE_TX = 2;
constexpr uint32_t FT_SERIAL_LEN = 16;  // serial buffer of FT_GetDeviceInfoDetail, terminator included
constexpr uint32_t FT_DESC_LEN = 64;    // description buffer, terminator included

FT_STATUS FT_CreateDeviceInfoList(uint32_t *numDevs);
FT_STATUS FT_GetDeviceInfoDetail(uint32_t index, uint32_t *flags, uint32_t *type, uint32_t *id,
                                 uint32_t *locId, char *serialNumber, char *description,
                                 FT_HANDLE *handle);
FT_STATUS FT_Open(int32_t deviceNumber, FT_HANDLE *handle);
FT_STATUS FT_ResetDevice(FT_HANDLE handle);
FT_STATUS FT_SetUSBParameters(FT_HANDLE handle, uint32_t inTransferSize, uint32_t outTransferSize);
FT_STATUS FT_Purge(FT_HANDLE handle, uint32_t mask);
FT_STATUS FT_SetChars(FT_HANDLE handle, uint8_t eventChar, uint8_t eventCharEnabled,
                      uint8_t errorChar, uint8_t errorCharEnabled);
FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeoutMs, uint32_t writeTimeoutMs);
FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, uint8_t timerMs);
FT_STATUS FT_SetBitMode(FT_HANDLE handle, uint8_t mask, uint8_t mode);
FT_STATUS FT_Write(FT_HANDLE handle, const void *buffer, uint32_t bytesToWrite, uint32_t *bytesWritten);
FT_STATUS FT_Read(FT_HANDLE handle, void *buffer, uint32_t bytesToRead, uint32_t *bytesReturned);
FT_STATUS FT_Close(FT_HANDLE handle);

// One channel as the driver lists it.
struct ft_device_info_s {
  uint32_t flags;
  uint32_t type;
  uint32_t id;  // vendor id << 16 | product id
  uint32_t locId;
  char serial[FT_SERIAL_LEN];
  char description[FT_DESC_LEN];
  FT_HANDLE handle;  // the handle of the channel when this process has it open, else 0
};

// Why the last FT_Open failed, so that a user can be told what to do about it.
enum ft_open_failure_e : uint32_t {
  ft_open_ok_e = 0,
  ft_open_not_found_e = 1,   // no channel with that index (board unplugged)
  ft_open_permission_e = 2,  // the USB device node is not accessible (udev rule)
  ft_open_claimed_e = 3,     // another driver or program holds the interface
  ft_open_other_e = 4,
};

// A driver implementation. ctx is passed back to every function.
struct ft_backend_s {
  const char *name;
  void *ctx;
  FT_STATUS (*create_device_info_list)(void *ctx, uint32_t *numDevs);
  FT_STATUS (*get_device_info_detail)(void *ctx, uint32_t index, ft_device_info_s *info);
  FT_STATUS (*open)(void *ctx, uint32_t index, FT_HANDLE *handle);
  FT_STATUS (*reset_device)(void *ctx, FT_HANDLE handle);
  FT_STATUS (*set_usb_parameters)(void *ctx, FT_HANDLE handle, uint32_t in, uint32_t out);
  FT_STATUS (*purge)(void *ctx, FT_HANDLE handle, uint32_t mask);
  FT_STATUS (*set_chars)(void *ctx, FT_HANDLE handle, uint8_t ev, uint8_t ev_en, uint8_t err, uint8_t err_en);
  FT_STATUS (*set_timeouts)(void *ctx, FT_HANDLE handle, uint32_t read_ms, uint32_t write_ms);
  FT_STATUS (*set_latency_timer)(void *ctx, FT_HANDLE handle, uint8_t ms);
  FT_STATUS (*set_bit_mode)(void *ctx, FT_HANDLE handle, uint8_t mask, uint8_t mode);
  FT_STATUS (*write)(void *ctx, FT_HANDLE handle, const uint8_t *bytes, uint32_t n, uint32_t *written);
  FT_STATUS (*read)(void *ctx, FT_HANDLE handle, uint8_t *bytes, uint32_t n, uint32_t *got);
  FT_STATUS (*close)(void *ctx, FT_HANDLE handle);
  // The blocking wait of the board I/O (the emulator advances its clock instead).
  void (*sleep_ms)(void *ctx, uint32_t ms);
  // Reason of the last failed open, with a one-line text (may be null).
  ft_open_failure_e (*open_failure)(void *ctx, char *text, size_t len);
};

// Installs a backend for every following call; null returns to the choice from the
// environment. The backend must outlive its use.
void ft_backend_use(const ft_backend_s *backend);
// The backend in use (chosen from the environment on first use).
const ft_backend_s *ft_backend_active();
// The error of the choice from the environment (an unknown emulated device, a corrupt
// state file): true and the text when the environment's backend could not be set up; the
// driver then lists no channels and FT_CreateDeviceInfoList answers FT_OTHER_ERROR.
bool ft_backend_env_error(char *text, size_t len);
// The libftdi backend (real boards).
const ft_backend_s *ft_libftdi_backend();

// Reason of the last failed FT_Open of the backend in use.
ft_open_failure_e ft_open_failure(char *text, size_t len);

// The board I/O's blocking wait, through the backend in use.
void ft_sleep_ms(uint32_t ms);

// USB trace. ft_trace_open truncates or creates the file and replaces the trace of
// KOVA_USB_TRACE; false (errno set) when it cannot be created. ft_trace_close ends it.
bool ft_trace_open(const char *path);
void ft_trace_close();
// True when KOVA_USB_TRACE names a file that could not be created.
bool ft_trace_env_failed();
// True, once, with a text naming the file and the system's reason, when a line of the
// trace could not be written to the end (a full disk): the trace is then incomplete.
bool ft_trace_failed(char *text, size_t len);
