// The board EEPROM (on channel A's SPI bus, reached by routing the bus to it for each
// operation) and the board's GPIO pins (the high pin byte of each channel).
#include "board/kxkovaio.h"
#include "board/kxkovaio_internal.h"

FT_STATUS kxkovaio_BrdEepromSpiStatus(kxKovaIo_ChannelS *channel, uint8_t *eeStatus) {
  return kxkovaio_DutEepromStatusGet(channel, eeStatus);
}

FT_STATUS kxkovaio_BrdEepromWriteEn(kxKovaIo_ChannelS *channel, bool isEnabled) {
  return kxkovaio_DutEepromWriteEn(channel, isEnabled);
}

FT_STATUS kxkovaio_BrdEepromBusyWait(kxKovaIo_ChannelS *channel, uint32_t cycleCountMs) {
  return kxkovaio_DutEepromBusyWait(channel, cycleCountMs);
}

FT_STATUS kxkovaio_BrdEepromMemRead(kxKovaIo_ChannelS *channel, uint32_t eeAddr, uint32_t numBytes, uint8_t *eeData) {
  return kxkovaio_DutRead(channel, eeAddr, numBytes, eeData);
}

FT_STATUS kxkovaio_BrdEepromMemWrite(kxKovaIo_ChannelS *channel, uint32_t eeAddr, uint32_t numBytes,
                                     const uint8_t *eeData, uint32_t pageSize) {
  return kx_write_blocks(channel, eeAddr, numBytes, eeData, pageSize, true);
}

uint32_t kxKovaIo_EepromPageSizeChoice(int32_t index) {
  switch (index) {
    case 0: return 16;
    case 2: return 64;
    case 3: return 256;
    default: return 32;
  }
}

namespace {

enum brd_op_e { brd_status_e, brd_read_e, brd_write_e };

// Routes the bus to the EEPROM, runs the operation on channel A and routes it back. After
// a failure the bus is still routed back to the chip (best effort), so that later chip
// accesses cannot reach the EEPROM; the first error is the one kept.
uint32_t brd_eeprom(kxKovaIo_HandleS *h, brd_op_e op, uint32_t addr, uint32_t numBytes, uint8_t *rdata,
                    const uint8_t *wdata, uint32_t pageSize, uint8_t *status) {
  if (!h || !h->chA.handle) {
    FT_ERRNO = FT_INVALID_HANDLE;
    return 1;
  }
  const void *buffer = op == brd_status_e ? static_cast<const void *>(status)
                       : op == brd_read_e ? static_cast<const void *>(rdata)
                                          : static_cast<const void *>(wdata);
  if (!buffer || (op != brd_status_e && !numBytes)) {
    FT_ERRNO = FT_INVALID_PARAMETER;
    return 1;
  }
  kxKovaIo_TransferErrorSet("");  // what fails from here on is this operation's
  if (BoardMode != kxKovaIo_BoardModeRouted) {
    kx_msg("EEPROM Error", "Cannot access an external EEPROM that is off-board!");
    FT_ERRNO = FT_OTHER_ERROR;
    return 1;
  }
  FT_STATUS st = kxkovaio_SelectFtdi2Eeprom(h);
  if (st == FT_OK) {
    switch (op) {
      case brd_status_e: st = kxkovaio_BrdEepromSpiStatus(&h->chA, status); break;
      case brd_read_e:
        // A read right after a write would meet the EEPROM still programming its last
        // page and return 0xFF for every byte: wait for it first.
        st = kxkovaio_BrdEepromBusyWait(&h->chA, KX_BUSY_POLLS);
        if (st == FT_OK) st = kxkovaio_BrdEepromMemRead(&h->chA, addr, numBytes, rdata);
        break;
      case brd_write_e: st = kxkovaio_BrdEepromMemWrite(&h->chA, addr, numBytes, wdata, pageSize); break;
    }
  }
  if (st != FT_OK) {
    kxkovaio_SelectFtdi2Dut(h);
    FT_ERRNO = st;
    return 1;
  }
  st = kxkovaio_SelectFtdi2Dut(h);
  if (st != FT_OK) {
    FT_ERRNO = st;
    return 1;
  }
  return 0;
}

}  // namespace

uint32_t kxKovaIo_EvalBrdEepromStatusGet(kxKovaIo_HandleS *h, uint8_t *status) {
  return brd_eeprom(h, brd_status_e, 0, 0, nullptr, nullptr, 0, status);
}

uint32_t kxKovaIo_EvalBrdEepromRead(kxKovaIo_HandleS *h, uint32_t eeAddr, uint32_t numBytes, uint8_t *eeValue) {
  return brd_eeprom(h, brd_read_e, eeAddr, numBytes, eeValue, nullptr, 0, nullptr);
}

uint32_t kxKovaIo_EvalBrdEepromWrite(kxKovaIo_HandleS *h, uint32_t eeAddr, uint32_t numBytes, const uint8_t *eeValue,
                                     uint32_t pageSize) {
  return brd_eeprom(h, brd_write_e, eeAddr, numBytes, nullptr, eeValue, pageSize, nullptr);
}

// ---------------------------------------------------------------------------------------
// GPIO.

FT_STATUS kxKovaIo_GpioChannelRead(kxKovaIo_ChannelS *channel) {
  if (!channel) return FT_INVALID_PARAMETER;
  if (!channel->handle) return FT_INVALID_HANDLE;
  const uint8_t cmd = KX_MPSSE_GET_HI;
  if (const FT_STATUS st = kx_send(channel->handle, &cmd, 1)) return st;
  uint8_t v = 0;
  const FT_STATUS st = kx_recv(channel->handle, &v, 1);
  if (st == FT_OK) channel->gpio.hi.data = v;
  return st;
}

FT_STATUS kxKovaIo_GpioChannelWrite(kxKovaIo_ChannelS *channel, uint8_t gpioMask, uint8_t gpioVal) {
  if (!channel) return FT_INVALID_PARAMETER;
  if (!channel->handle) return FT_INVALID_HANDLE;
  const uint8_t v = static_cast<uint8_t>((channel->gpio.hi.data & ~gpioMask) | (gpioVal & gpioMask));
  const uint8_t cmd[3] = {KX_MPSSE_SET_HI, v, channel->gpio.hi.dir};
  if (const FT_STATUS st = kx_send(channel->handle, cmd, 3)) return st;
  return kxKovaIo_GpioChannelRead(channel);
}

FT_STATUS kxKovaIo_GpioChannelDir(kxKovaIo_ChannelS *channel, uint8_t gpioMask, uint8_t gpioDir) {
  if (!channel) return FT_INVALID_PARAMETER;
  if (!channel->handle) return FT_INVALID_HANDLE;
  const uint8_t dir = static_cast<uint8_t>((channel->gpio.hi.dir & ~gpioMask) | (gpioDir & gpioMask));
  const uint8_t cmd[3] = {KX_MPSSE_SET_HI, channel->gpio.hi.data, dir};
  if (const FT_STATUS st = kx_send(channel->handle, cmd, 3)) return st;
  const FT_STATUS st = kxKovaIo_GpioChannelRead(channel);
  if (st == FT_OK) channel->gpio.hi.dir = dir;
  return st;
}

namespace {

uint32_t gpio_result(FT_STATUS st) {
  if (st == FT_OK) return 0;
  FT_ERRNO = st;
  return 1;
}

}  // namespace

uint32_t kxKovaIo_GpioRead(kxKovaIo_HandleS *h, uint8_t *gpioA, uint8_t *gpioB) {
  if (!h) return gpio_result(FT_INVALID_PARAMETER);
  if (gpioA) {
    if (const FT_STATUS st = kxKovaIo_GpioChannelRead(&h->chA)) return gpio_result(st);
    *gpioA = h->chA.gpio.hi.data;
  }
  if (gpioB) {
    if (const FT_STATUS st = kxKovaIo_GpioChannelRead(&h->chB)) return gpio_result(st);
    *gpioB = h->chB.gpio.hi.data;
  }
  return 0;
}

uint32_t kxKovaIo_GpioWrite(kxKovaIo_HandleS *h, const uint8_t *gpioA, const uint8_t *gpioB) {
  if (!h) return gpio_result(FT_INVALID_PARAMETER);
  if (gpioA)
    if (const FT_STATUS st = kxKovaIo_GpioChannelWrite(&h->chA, 0xFF, *gpioA)) return gpio_result(st);
  if (gpioB)
    if (const FT_STATUS st = kxKovaIo_GpioChannelWrite(&h->chB, 0xFF, *gpioB)) return gpio_result(st);
  return 0;
}

// A channel whose mask byte is 0 is left alone.
uint32_t kxKovaIo_GpioWritePins(kxKovaIo_HandleS *h, uint16_t gpioMask, uint16_t gpioVal) {
  if (!h) return gpio_result(FT_INVALID_PARAMETER);
  if (gpioMask & 0xFF)
    if (const FT_STATUS st = kxKovaIo_GpioChannelWrite(&h->chA, gpioMask & 0xFF, gpioVal & 0xFF))
      return gpio_result(st);
  if (gpioMask >> 8)
    if (const FT_STATUS st = kxKovaIo_GpioChannelWrite(&h->chB, gpioMask >> 8, gpioVal >> 8)) return gpio_result(st);
  return 0;
}

uint32_t kxKovaIo_GpioDirPins(kxKovaIo_HandleS *h, uint16_t gpioMask, uint16_t gpioDir) {
  if (!h) return gpio_result(FT_INVALID_PARAMETER);
  if (gpioMask & 0xFF)
    if (const FT_STATUS st = kxKovaIo_GpioChannelDir(&h->chA, gpioMask & 0xFF, gpioDir & 0xFF))
      return gpio_result(st);
  if (gpioMask >> 8)
    if (const FT_STATUS st = kxKovaIo_GpioChannelDir(&h->chB, gpioMask >> 8, gpioDir >> 8)) return gpio_result(st);
  return 0;
}
