// SPI access to the chip on channel A: read and write frames, write enable, status and
// busy-wait, the access select of register 0x000 (EESEL), the chip reset, DSP RAM through
// the DSP access registers, and the two status queries.
#include <cstring>
#include <vector>

#include <string>

#include "board/kxkovaio.h"
#include "board/kxkovaio_internal.h"

namespace {

constexpr uint32_t kRegEesel = 0x000, kRegMcr2 = 0x00A, kRegDpllcr1 = 0x40B, kRegDalgwr = 0x40E, kRegDalgrd = 0x40F;
constexpr uint8_t kDspAddress = 0x0C, kDspWrite = 0x0D, kDspRead = 0x0F, kDspNormal = 0x00;
constexpr uint8_t kMcr2Transfer = 0x10;
constexpr uint32_t kAddressSpace = 0x10000;  // addresses are 16 bits

bool closed(const kxKovaIo_ChannelS *ch) { return !ch || !ch->handle; }

// Board-level checks: no handle or closed channel A gives 1, no data 6.
bool board_ready(kxKovaIo_HandleS *h, uint32_t numBytes, const void *data) {
  if (!h || !h->chA.handle) {
    FT_ERRNO = FT_INVALID_HANDLE;
    return false;
  }
  if (!numBytes || !data) {
    FT_ERRNO = FT_INVALID_PARAMETER;
    return false;
  }
  kxKovaIo_TransferErrorSet("");  // what fails from here on is this operation's
  return true;
}

uint32_t board_result(FT_STATUS st) {
  if (st == FT_OK) return 0;
  FT_ERRNO = st;
  return 1;
}

}  // namespace

FT_STATUS kxkovaio_DutRead(kxKovaIo_ChannelS *channel, uint32_t eeAddr, uint32_t numBytes, uint8_t *eeData) {
  if (closed(channel)) return FT_INVALID_HANDLE;
  // One frame counts at most 65536 bytes in, from a 16-bit address.
  if (!eeData || !numBytes || numBytes > KX_READ_MAX || eeAddr >= kAddressSpace) return FT_INVALID_PARAMETER;
  std::vector<uint8_t> f;
  f.reserve(16);
  kx_csl(f, *channel);
  kx_out(f, 3);
  f.insert(f.end(), {KX_SPI_READ, static_cast<uint8_t>(eeAddr >> 8), static_cast<uint8_t>(eeAddr & 0xFF)});
  kx_in(f, numBytes);
  kx_csh(f, *channel);
  f.push_back(KX_MPSSE_FLUSH);
  // A frame that did not go out has no answer to wait for.
  if (const FT_STATUS st = kx_send(channel->handle, f)) return st;
  return kx_recv(channel->handle, eeData, numBytes);
}

FT_STATUS kxkovaio_DutEepromWriteEn(kxKovaIo_ChannelS *channel, bool isEnabled) {
  if (closed(channel)) return FT_INVALID_HANDLE;
  if (!isEnabled) return FT_INVALID_PARAMETER;
  std::vector<uint8_t> f;
  f.reserve(11);
  kx_csl(f, *channel);
  kx_out(f, 1);
  f.push_back(KX_SPI_WREN);
  kx_csh(f, *channel);
  f.push_back(KX_MPSSE_FLUSH);
  return kx_send(channel->handle, f);
}

FT_STATUS kxkovaio_DutEepromStatusGet(kxKovaIo_ChannelS *channel, uint8_t *eeStatus) {
  if (closed(channel)) return FT_INVALID_HANDLE;
  if (!eeStatus) return FT_INVALID_PARAMETER;
  std::vector<uint8_t> f;
  f.reserve(14);
  kx_csl(f, *channel);
  kx_out(f, 1);
  f.push_back(KX_SPI_RDSR);
  kx_in(f, 1);
  kx_csh(f, *channel);
  f.push_back(KX_MPSSE_FLUSH);
  FT_STATUS st = kx_send(channel->handle, f);
  uint8_t status = 0;
  st |= kx_recv(channel->handle, &status, 1);
  *eeStatus = status & 1;
  return st;
}

FT_STATUS kx_busy_wait(kxKovaIo_ChannelS *channel, uint32_t cycleCount, bool *stillBusy) {
  *stillBusy = false;
  while (true) {
    uint8_t status = 0;
    const FT_STATUS st = kxkovaio_DutEepromStatusGet(channel, &status);
    if (st != FT_OK) return st;
    if (!(status & 1)) return FT_OK;
    if (cycleCount == 0) {
      *stillBusy = true;
      return FT_IO_ERROR;
    }
    --cycleCount;
  }
}

FT_STATUS kxkovaio_DutEepromBusyWait(kxKovaIo_ChannelS *channel, uint32_t cycleCountMs) {
  bool busy;
  return kx_busy_wait(channel, cycleCountMs, &busy);
}

FT_STATUS kx_write_blocks(kxKovaIo_ChannelS *channel, uint32_t addr, uint32_t numBytes, const uint8_t *data,
                          uint32_t blockMax, bool boardEeprom) {
  if (closed(channel)) return FT_INVALID_HANDLE;
  if (boardEeprom && blockMax > KX_BRD_PAGE_MAX) {
    kx_msg("Write Error", "EEPROM page size of %u exceeds 256 bytes!", blockMax);
    return FT_INVALID_PARAMETER;
  }
  if (blockMax > KX_BLOCK_MAX) {
    kx_msg("Write Error", "Write block size of %u exceeds 4000 bytes!", blockMax);
    return FT_INVALID_PARAMETER;
  }
  // A block size of 0 would never make progress; a block past 0xFFFF would have its
  // address cut to 16 bits and land elsewhere.
  if (!data || !numBytes || !blockMax || addr >= kAddressSpace || numBytes > kAddressSpace - addr)
    return FT_INVALID_PARAMETER;
  std::vector<uint8_t> f;
  f.reserve(KX_WRITE_HEAD + KX_WRITE_TAIL + (blockMax < numBytes ? blockMax : numBytes));
  for (uint32_t sent = 0; sent < numBytes;) {
    const uint32_t k = numBytes - sent < blockMax ? numBytes - sent : blockMax;
    const uint32_t a = addr + sent;
    bool stillBusy = false;
    FT_STATUS st = kx_busy_wait(channel, KX_BUSY_POLLS, &stillBusy);
    if (st != FT_OK) {
      if (boardEeprom && stillBusy) kx_msg("Write Error", "EEPROM busy!");
      return st;
    }
    st = kxkovaio_DutEepromWriteEn(channel, true);
    if (st != FT_OK) {
      if (boardEeprom) kx_msg("Write Error", "Write Enable failed!");
      return st;
    }
    f.clear();
    kx_csl(f, *channel);
    kx_out(f, k + 3);
    f.insert(f.end(), {KX_SPI_WRITE, static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(a & 0xFF)});
    f.insert(f.end(), data + sent, data + sent + k);
    kx_csh(f, *channel);
    f.push_back(KX_MPSSE_FLUSH);
    uint32_t written = 0;
    st = FT_Write(channel->handle, f.data(), static_cast<uint32_t>(f.size()), &written);
    if (st != FT_OK) {
      kx_transfer_failed("the board was unplugged or does not answer (driver status %u)", st);
      return st;
    }
    if (written != f.size()) {
      kx_transfer_failed("short write: the board took %u of %zu bytes", written, f.size());
      if (boardEeprom) {
        // Count data bytes, so that the text compares like with like.
        const uint32_t got = written > KX_WRITE_HEAD ? written - KX_WRITE_HEAD : 0;
        kx_msg("Write Error!", "Could only write %u of %u bytes", got < k ? got : k, k);
      }
      return FT_IO_ERROR;
    }
    sent += k;
  }
  return FT_OK;
}

FT_STATUS kxkovaio_DutWrite(kxKovaIo_ChannelS *channel, uint32_t addr, uint32_t numBytes, const uint8_t *data,
                            uint32_t blockMax) {
  return kx_write_blocks(channel, addr, numBytes, data, blockMax, false);
}

FT_STATUS kxkovaio_DutMemoryAccessSet(kxKovaIo_ChannelS *channel, uint32_t accessArea) {
  const uint8_t eesel = accessArea & 1;
  return kxkovaio_DutWrite(channel, kRegEesel, 1, &eesel, KX_SELECT_BLOCK);
}

FT_STATUS kxkovaio_DutRegisterRead(kxKovaIo_ChannelS *channel, uint32_t regAddr, uint32_t numBytes,
                                   uint8_t *regData) {
  if (const FT_STATUS st = kxkovaio_DutMemoryAccessSet(channel, 0)) return st;
  return kxkovaio_DutRead(channel, regAddr, numBytes, regData);
}

FT_STATUS kxkovaio_DutRegisterWrite(kxKovaIo_ChannelS *channel, uint32_t regAddr, uint32_t numBytes,
                                    const uint8_t *regData) {
  // Without a confirmed selection the data could land in the chip's EEPROM.
  if (const FT_STATUS st = kxkovaio_DutMemoryAccessSet(channel, 0)) return st;
  return kxkovaio_DutWrite(channel, regAddr, numBytes, regData, KX_REG_BLOCK);
}

FT_STATUS kxkovaio_DutEepromRead(kxKovaIo_ChannelS *channel, uint32_t eeAddr, uint32_t numBytes, uint8_t *eeData) {
  if (const FT_STATUS st = kxkovaio_DutMemoryAccessSet(channel, 1)) return st;
  return kxkovaio_DutRead(channel, eeAddr, numBytes, eeData);
}

FT_STATUS kxkovaio_DutEepromWrite(kxKovaIo_ChannelS *channel, uint32_t eeAddr, uint32_t numBytes,
                                  const uint8_t *eeData, uint32_t pageSize) {
  if (const FT_STATUS st = kxkovaio_DutMemoryAccessSet(channel, 1)) return st;
  return kxkovaio_DutWrite(channel, eeAddr, numBytes, eeData, pageSize);
}

// ---------------------------------------------------------------------------------------
// Board level.

uint32_t kxKovaIo_DutRegRead(kxKovaIo_HandleS *h, uint32_t regAddr, uint32_t numBytes, uint8_t *regData) {
  if (!board_ready(h, numBytes, regData)) return 1;
  return board_result(kxkovaio_DutRegisterRead(&h->chA, regAddr, numBytes, regData));
}

uint32_t kxKovaIo_DutRegWrite(kxKovaIo_HandleS *h, uint32_t regAddr, uint32_t numBytes, const uint8_t *regData) {
  if (!board_ready(h, numBytes, regData)) return 1;
  return board_result(kxkovaio_DutRegisterWrite(&h->chA, regAddr, numBytes, regData));
}

uint32_t kxKovaIo_DutEepromRead(kxKovaIo_HandleS *h, uint32_t eeAddr, uint32_t numBytes, uint8_t *eeData) {
  if (!board_ready(h, numBytes, eeData)) return 1;
  return board_result(kxkovaio_DutEepromRead(&h->chA, eeAddr, numBytes, eeData));
}

uint32_t kxKovaIo_DutEepromWrite(kxKovaIo_HandleS *h, uint32_t eeAddr, uint32_t numBytes, const uint8_t *eeData) {
  if (!board_ready(h, numBytes, eeData)) return 1;
  return board_result(kxkovaio_DutEepromWrite(&h->chA, eeAddr, numBytes, eeData, KX_CHIP_EEPROM_PAGE));
}

uint32_t kxKovaIo_DutReset(kxKovaIo_HandleS *h) {
  if (!h || !h->chA.handle) {
    FT_ERRNO = FT_INVALID_HANDLE;
    return 1;
  }
  const kxKovaIo_GpioByteS lo = h->chA.gpio.lo;
  const uint8_t hold[3] = {KX_MPSSE_SET_LO, static_cast<uint8_t>(lo.data & ~KX_PIN_RESET), lo.dir};
  const uint8_t release[3] = {KX_MPSSE_SET_LO, static_cast<uint8_t>(lo.data | KX_PIN_RESET), lo.dir};
  FT_STATUS st = kx_send(h->chA.handle, hold, 3);
  kxKovaIo_Sleep(300);
  st |= kx_send(h->chA.handle, release, 3);
  kxKovaIo_Sleep(1000);
  return board_result(st);
}

uint32_t kxkovaio_DspRamWrite(kxKovaIo_HandleS *h, uint32_t ramAddr, uint32_t numWords, const uint32_t *ramData,
                              uint32_t dspId) {
  // Checked before the chip is touched, so that a refused call leaves it in normal mode.
  if (numWords > KX_DSP_WORDS_MAX || ramAddr >= kAddressSpace || (numWords && !ramData) ||
      (numWords == 0 && ramAddr != 0)) {
    FT_ERRNO = FT_INVALID_PARAMETER;
    return 1;
  }
  std::vector<uint8_t> bytes;
  bytes.reserve(2 + 3 * numWords);
  if (ramAddr == 0) bytes.insert(bytes.end(), {static_cast<uint8_t>(dspId & 0xFF), static_cast<uint8_t>(dspId >> 8 & 0xFF)});
  for (uint32_t i = 0; i < numWords; ++i) {
    const uint32_t w = ramData[i];
    bytes.insert(bytes.end(), {static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w >> 16)});
  }
  const uint8_t address[2] = {static_cast<uint8_t>(ramAddr & 0xFF), static_cast<uint8_t>(ramAddr >> 8)};
  const uint8_t modeAddress = kDspAddress, modeWrite = kDspWrite, modeNormal = kDspNormal;
  const uint8_t transfer = kMcr2Transfer, normal = 0x00;
  uint32_t failed = kxKovaIo_DutRegWrite(h, kRegDpllcr1, 1, &modeAddress);
  if (!failed) failed = kxKovaIo_DutRegWrite(h, kRegDalgwr, 2, address);
  if (!failed) failed = kxKovaIo_DutRegWrite(h, kRegDpllcr1, 1, &modeWrite);
  if (!failed) failed = kxKovaIo_DutRegWrite(h, kRegMcr2, 1, &transfer);
  if (!failed) failed = kxKovaIo_DutRegWrite(h, kRegDalgwr, static_cast<uint32_t>(bytes.size()), bytes.data());
  if (!failed) failed = kxKovaIo_DutRegWrite(h, kRegMcr2, 1, &normal);
  if (!failed) failed = kxKovaIo_DutRegWrite(h, kRegDpllcr1, 1, &modeNormal);
  if (failed) {
    // Left in DSP access mode with auto-increment off, the chip would put every later
    // register burst into one register: try to bring it back, keeping the first error.
    const uint32_t first = FT_ERRNO;
    const std::string why = kxKovaIo_TransferError();
    kxKovaIo_DutRegWrite(h, kRegMcr2, 1, &normal);
    kxKovaIo_DutRegWrite(h, kRegDpllcr1, 1, &modeNormal);
    FT_ERRNO = first;
    kxKovaIo_TransferErrorSet(why.c_str());
    kx_msg("DSP Load Error", "The DSP program load failed: %s", why.empty() ? "driver error" : why.c_str());
    return 1;
  }
  return 0;
}

uint32_t kxkovaio_DspRamRead(kxKovaIo_HandleS *h, uint32_t ramAddr, uint32_t numWords, uint32_t *ramData) {
  if (!numWords || numWords > KX_DSP_WORDS_MAX || !ramData || ramAddr >= kAddressSpace) {
    FT_ERRNO = FT_INVALID_PARAMETER;
    return 1;
  }
  const uint8_t address[2] = {static_cast<uint8_t>(ramAddr & 0xFF), static_cast<uint8_t>(ramAddr >> 8)};
  const uint8_t modeAddress = kDspAddress, modeRead = kDspRead, modeNormal = kDspNormal;
  const uint8_t transfer = kMcr2Transfer, normal = 0x00;
  uint8_t bytes[3 * KX_DSP_WORDS_MAX] = {};
  // Every step runs, so that the chip always returns to normal mode; the first error is kept.
  uint32_t failed = 0, first = 0;
  auto step = [&](uint32_t r) {
    if (r && !failed) first = FT_ERRNO;
    failed |= r;
  };
  step(kxKovaIo_DutRegWrite(h, kRegDpllcr1, 1, &modeAddress));
  step(kxKovaIo_DutRegWrite(h, kRegDalgwr, 2, address));
  step(kxKovaIo_DutRegWrite(h, kRegDpllcr1, 1, &modeRead));
  step(kxKovaIo_DutRegWrite(h, kRegMcr2, 1, &transfer));
  step(kxKovaIo_DutRegRead(h, kRegDalgrd, 3 * numWords, bytes));
  step(kxKovaIo_DutRegWrite(h, kRegMcr2, 1, &normal));
  step(kxKovaIo_DutRegWrite(h, kRegDpllcr1, 1, &modeNormal));
  for (uint32_t i = 0; i < numWords; ++i)
    ramData[i] = bytes[3 * i] | static_cast<uint32_t>(bytes[3 * i + 1]) << 8 | static_cast<uint32_t>(bytes[3 * i + 2]) << 16;
  if (failed) FT_ERRNO = first;
  return failed ? 1 : 0;
}

int32_t kxkovaio_DutEepromBootedStatus(kxKovaIo_HandleS *h) {
  uint8_t offsets[8];  // EEOFFA1 .. EEOFFD2
  if (kxKovaIo_DutRegRead(h, 0x001, 8, offsets)) return -1;
  int32_t any = 0;
  for (uint8_t b : offsets) any |= b;
  return any;
}

int32_t kxkovaio_DutConfigurationStatus(kxKovaIo_HandleS *h) {
  uint8_t afbdiv[6];  // AFBDIV1 .. AFBDIV6
  uint8_t apllcr1 = 0;
  if (kxKovaIo_DutRegRead(h, 0x106, 6, afbdiv)) return -1;
  if (kxKovaIo_DutRegRead(h, 0x100, 1, &apllcr1)) return -1;
  int32_t any = apllcr1;
  for (uint8_t b : afbdiv) any |= b;
  return any;
}
