// The board's channels: opening each into MPSSE mode with the board's pin levels, opening
// and closing the board, the connected test, SPI bus routing and hardware select; the
// message queue, the wait and the checked transfers shared by the other sources.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "board/kxkovaio.h"
#include "board/kxkovaio_internal.h"

uint32_t FT_ERRNO = 0;
uint32_t BoardMode = kxKovaIo_BoardModeNone;
uint32_t EEPROMPageSize = 32;

namespace {

kxKovaIo_MessageS g_msgs[KXKOVAIO_MSG_MAX];
uint32_t g_msg_first = 0, g_msg_count = 0;

char g_transfer_error[160] = "";

kxKovaIo_SleepFn g_sleep = nullptr;
void *g_sleep_ctx = nullptr;

// Channel A's and B's pin levels when the board is opened: chip select high, clock low,
// reset high (chip running), bus routed to the chip.
constexpr kxKovaIo_GpioByteS kLoA{0xFB, 0x8E}, kHiA{0x00, 0x00};
constexpr kxKovaIo_GpioByteS kLoB{0x7B, 0x6E}, kHiB{0x30, 0x30};

FT_STATUS set_low(kxKovaIo_ChannelS *ch, uint8_t data, uint8_t dir) {
  const uint8_t cmd[3] = {KX_MPSSE_SET_LO, data, dir};
  return kx_send(ch->handle, cmd, 3);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Messages.

void kx_msg(const char *title, const char *fmt, ...) {
  if (g_msg_count == KXKOVAIO_MSG_MAX) return;  // the caller drains the queue after each operation
  kxKovaIo_MessageS &m = g_msgs[(g_msg_first + g_msg_count) % KXKOVAIO_MSG_MAX];
  std::snprintf(m.title, sizeof m.title, "%s", title);
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(m.text, sizeof m.text, fmt, ap);
  va_end(ap);
  ++g_msg_count;
}

bool kxKovaIo_MessageGet(kxKovaIo_MessageS *msg) {
  if (g_msg_count == 0) return false;
  if (msg) *msg = g_msgs[g_msg_first];
  g_msg_first = (g_msg_first + 1) % KXKOVAIO_MSG_MAX;
  --g_msg_count;
  return true;
}

void kxKovaIo_MessagesClear() { g_msg_first = g_msg_count = 0; }
uint32_t kxKovaIo_MessageCount() { return g_msg_count; }

// ---------------------------------------------------------------------------------------
// Waits and transfers.

void kxKovaIo_SleepSet(kxKovaIo_SleepFn fn, void *ctx) {
  g_sleep = fn;
  g_sleep_ctx = ctx;
}

void kxKovaIo_Sleep(uint32_t ms) {
  if (g_sleep)
    g_sleep(ms, g_sleep_ctx);
  else
    ft_sleep_ms(ms);
}

void kx_transfer_failed(const char *fmt, ...) {
  if (g_transfer_error[0]) return;  // the first failure is the cause, the later ones follow from it
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(g_transfer_error, sizeof g_transfer_error, fmt, ap);
  va_end(ap);
}

FT_STATUS kx_send(FT_HANDLE h, const uint8_t *bytes, uint32_t n, uint32_t *written) {
  uint32_t w = 0;
  const FT_STATUS st = FT_Write(h, bytes, n, &w);
  if (written) *written = w;
  if (st != FT_OK) {
    kx_transfer_failed(st == FT_IO_ERROR ? "the board was unplugged or does not answer (driver status %u)"
                                         : "a write was refused (driver status %u)",
                       st);
    return st;
  }
  if (w == n) return FT_OK;
  kx_transfer_failed("short write: the board took %u of %u bytes", w, n);
  return FT_IO_ERROR;
}

const char *kxKovaIo_TransferError() { return g_transfer_error; }
void kxKovaIo_TransferErrorSet(const char *text) {
  std::snprintf(g_transfer_error, sizeof g_transfer_error, "%s", text ? text : "");
}

FT_STATUS kx_recv(FT_HANDLE h, uint8_t *bytes, uint32_t n) {
  uint32_t got = 0;
  const FT_STATUS st = FT_Read(h, bytes, n, &got);
  if (st != FT_OK) {
    kx_transfer_failed(st == FT_IO_ERROR ? "the board was unplugged or does not answer (driver status %u)"
                                         : "a read was refused (driver status %u)",
                       st);
    return st;
  }
  if (got == n) return FT_OK;
  kx_transfer_failed("read time-out: %u of %u bytes arrived", got, n);
  return FT_IO_ERROR;
}

void kx_csl(std::vector<uint8_t> &f, const kxKovaIo_ChannelS &ch) {
  f.insert(f.end(), {KX_MPSSE_SET_LO, static_cast<uint8_t>(ch.gpio.lo.data & ~KX_PIN_CS),
                     static_cast<uint8_t>(ch.gpio.lo.dir | KX_PIN_CS)});
}

void kx_csh(std::vector<uint8_t> &f, const kxKovaIo_ChannelS &ch) {
  f.insert(f.end(), {KX_MPSSE_SET_LO, static_cast<uint8_t>(ch.gpio.lo.data | KX_PIN_CS),
                     static_cast<uint8_t>(ch.gpio.lo.dir | KX_PIN_CS)});
}

void kx_out(std::vector<uint8_t> &f, uint32_t n) {
  f.insert(f.end(), {KX_MPSSE_OUT, static_cast<uint8_t>((n - 1) & 0xFF), static_cast<uint8_t>((n - 1) >> 8)});
}

void kx_in(std::vector<uint8_t> &f, uint32_t n) {
  f.insert(f.end(), {KX_MPSSE_IN, static_cast<uint8_t>((n - 1) & 0xFF), static_cast<uint8_t>((n - 1) >> 8)});
}

// ---------------------------------------------------------------------------------------
// Channels and board.

uint32_t kxKovaIo_UsbError() { return FT_ERRNO; }
uint32_t kxKovaIo_GetBoardMode() { return BoardMode; }

uint32_t kxKovaIo_ChannelCount(uint32_t *numChannels) {
  if (!numChannels) {
    FT_ERRNO = FT_INVALID_PARAMETER;
    return 1;
  }
  uint32_t n = 0;
  const FT_STATUS st = FT_CreateDeviceInfoList(&n);
  if (st != FT_OK) {
    *numChannels = 0;
    FT_ERRNO = st;
    return 1;
  }
  *numChannels = n;
  return 0;
}

FT_STATUS kxKovaIo_EvalBoardChannelOpen(uint32_t channelNum, kxKovaIo_ChannelS *channel) {
  if (!channel) return FT_INVALID_HANDLE;
  if (channel->handle) return FT_INVALID_PARAMETER;
  FT_HANDLE h = 0;
  FT_STATUS st = FT_Open(static_cast<int32_t>(channelNum), &h);
  if (st != FT_OK) {
    kx_msg("FTDI Error", "Channel %u FT_Open failed!", channelNum);
    return st;
  }
  if (!h) {
    kx_msg("FTDI Error", "Could not obtain handle for channel %u", channelNum);
    return FT_INVALID_HANDLE;
  }
  channel->handle = h;

  st = FT_ResetDevice(h);
  st |= FT_SetUSBParameters(h, 65536, 65536);
  st |= FT_Purge(h, FT_PURGE_RX | FT_PURGE_TX);
  st |= FT_SetChars(h, 0, 0, 0, 0);
  st |= FT_SetTimeouts(h, 1000, 1000);
  st |= FT_SetLatencyTimer(h, 16);
  st |= FT_SetBitMode(h, 0, 0);  // reset
  st |= FT_SetBitMode(h, 0, 2);  // MPSSE
  if (st != FT_OK) {
    kx_msg("Channel Open", "Error in initializing MPSSE!");
    FT_Close(h);
    channel->handle = 0;  // the driver handle is gone: a stale value would block every later open
    return st;
  }
  kxKovaIo_Sleep(100);

  // Synchronise with the MPSSE engine: an invalid command must come back as 0xFA and itself.
  const uint8_t bogus = 0xAA;
  uint8_t answer[2] = {0, 0};
  if (kx_send(h, &bogus, 1) == FT_OK) kx_recv(h, answer, 2);
  if (answer[0] != 0xFA || answer[1] != 0xAA)
    kx_msg("Channel Open", "Unexpected bogus command return code: 0x%02X 0x%02X.", answer[0], answer[1]);

  // 60 MHz master clock, adaptive and three-phase clocking off.
  const uint8_t clocking[3] = {0x8A, 0x97, 0x8D};
  kx_send(h, clocking, 3);
  st = set_low(channel, channel->gpio.lo.data, channel->gpio.lo.dir);
  if (st != FT_OK) kx_msg("Channel Open", "Error configuring ADBUS: code %d", static_cast<int>(st));
  const uint8_t hi[3] = {KX_MPSSE_SET_HI, channel->gpio.hi.data, channel->gpio.hi.dir};
  st = kx_send(h, hi, 3);
  if (st != FT_OK) kx_msg("Channel Open", "Error configuring ACBUS: code %d", static_cast<int>(st));
  // SPI clock 60 MHz / ((1 + 29) x 2) = 1 MHz; loop-back off.
  const uint8_t divisor[3] = {0x86, 0x1D, 0x00};
  kx_send(h, divisor, 3);
  const uint8_t loopback_off = 0x85;
  kx_send(h, &loopback_off, 1);
  return FT_Purge(h, FT_PURGE_RX | FT_PURGE_TX);
}

uint32_t kxKovaIo_EvalBoardOpen(uint32_t channelA, uint32_t channelB, kxKovaIo_HandleS *evalHandle) {
  if (!evalHandle) {
    FT_ERRNO = FT_INVALID_HANDLE;
    return 1;
  }
  if (evalHandle->chA.handle || evalHandle->chB.handle) {
    FT_ERRNO = FT_INVALID_PARAMETER;
    return 1;
  }
  evalHandle->chA.gpio.lo = kLoA;
  evalHandle->chA.gpio.hi = kHiA;
  FT_STATUS st = kxKovaIo_EvalBoardChannelOpen(channelA, &evalHandle->chA);
  if (st != FT_OK) {
    FT_ERRNO = st;
    return 1;
  }
  evalHandle->chB.gpio.lo = kLoB;
  evalHandle->chB.gpio.hi = kHiB;
  st = kxKovaIo_EvalBoardChannelOpen(channelB, &evalHandle->chB);
  if (st != FT_OK) {
    FT_ERRNO = st;  // channel A stays open: the board is half-open
    return 1;
  }
  return 0;
}

uint32_t kxKovaIo_EvalBoardClose(kxKovaIo_HandleS *evalHandle) {
  if (!evalHandle) {
    FT_ERRNO = FT_INVALID_HANDLE;
    return 1;
  }
  for (kxKovaIo_ChannelS *ch : {&evalHandle->chB, &evalHandle->chA}) {
    if (!ch->handle) continue;
    const FT_STATUS st = FT_Close(ch->handle);
    if (st != FT_OK) {
      FT_ERRNO = st;
      return 1;
    }
    ch->handle = 0;
  }
  return 0;
}

uint32_t kxKovaIo_EvalBoardConnected(const kxKovaIo_HandleS *evalHandle, bool *isOpen) {
  if (!evalHandle || !isOpen) {
    if (isOpen) *isOpen = false;
    FT_ERRNO = FT_INVALID_HANDLE;
    return 1;
  }
  const bool a = evalHandle->chA.handle != 0, b = evalHandle->chB.handle != 0;
  *isOpen = a && b;
  if (a == b) return 0;
  FT_ERRNO = FT_OTHER_ERROR;
  return 1;
}

uint32_t kxKovaIo_HwSel(kxKovaIo_HandleS *evalHandle, bool hwSel) {
  if (!evalHandle || !evalHandle->chA.handle) {
    FT_ERRNO = FT_INVALID_HANDLE;
    return 1;
  }
  const kxKovaIo_GpioByteS &lo = evalHandle->chA.gpio.lo;
  const uint8_t data = hwSel ? static_cast<uint8_t>(lo.data | KX_PIN_HWSEL) : static_cast<uint8_t>(lo.data & ~KX_PIN_HWSEL);
  const FT_STATUS st = set_low(&evalHandle->chA, data, lo.dir);
  if (st != FT_OK) {
    FT_ERRNO = st;
    return 1;
  }
  return 0;
}

namespace {

// Writes both channels' low bytes with the routing bits; the records take the new levels
// of each write that succeeded.
FT_STATUS route(kxKovaIo_HandleS *h, uint8_t aSet, uint8_t aClear, uint8_t aDir, uint8_t bSet, uint8_t bClear,
                uint8_t bDir) {
  if (!h) return FT_INVALID_HANDLE;
  kxKovaIo_GpioByteS a = h->chA.gpio.lo, b = h->chB.gpio.lo;
  a.data = static_cast<uint8_t>((a.data | aSet) & ~aClear);
  a.dir = static_cast<uint8_t>(a.dir | aDir);
  b.data = static_cast<uint8_t>((b.data | bSet) & ~bClear);
  b.dir = static_cast<uint8_t>(b.dir | bDir);
  FT_STATUS st = set_low(&h->chA, a.data, a.dir);
  if (st != FT_OK)
    kx_msg("SPI Bus Routing", "Error configuring ADBUS: code %d", static_cast<int>(st));
  else
    h->chA.gpio.lo = a;
  const FT_STATUS stB = set_low(&h->chB, b.data, b.dir);
  st |= stB;
  if (stB != FT_OK)
    kx_msg("SPI Bus Routing", "Error configuring BDBUS: code %d", static_cast<int>(st));
  else
    h->chB.gpio.lo = b;
  if (st == FT_OK) BoardMode = kxKovaIo_BoardModeRouted;
  return st;
}

}  // namespace

FT_STATUS kxkovaio_SelectFtdi2Dut(kxKovaIo_HandleS *evalHandle) {
  return route(evalHandle, 0, KX_PIN_ROUTE | KX_PIN_BIT6, KX_PIN_ROUTE | KX_PIN_BIT6, 0, KX_PIN_ROUTE, KX_PIN_ROUTE);
}

FT_STATUS kxkovaio_SelectFtdi2Eeprom(kxKovaIo_HandleS *evalHandle) {
  return route(evalHandle, KX_PIN_ROUTE, KX_PIN_BIT6, KX_PIN_ROUTE | KX_PIN_BIT6, 0, KX_PIN_HWSEL | KX_PIN_BIT6,
               KX_PIN_HWSEL | KX_PIN_BIT6);
}
