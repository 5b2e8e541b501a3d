// Helpers shared by the board I/O sources: the message queue, transfers that check their
// byte counts, and the MPSSE frame elements.
#pragma once
#include <cstdint>
#include <vector>

#include "board/kxkovaio.h"

// Queues a message for the user (printf-style text).
void kx_msg(const char *title, const char *fmt, ...) __attribute__((format(printf, 2, 3)));

// FT_Write of the whole buffer: the driver's status, or FT_IO_ERROR when it took fewer
// bytes than given (*written, when asked for, holds the count it took).
FT_STATUS kx_send(FT_HANDLE h, const uint8_t *bytes, uint32_t n, uint32_t *written = nullptr);
inline FT_STATUS kx_send(FT_HANDLE h, const std::vector<uint8_t> &frame, uint32_t *written = nullptr) {
  return kx_send(h, frame.data(), static_cast<uint32_t>(frame.size()), written);
}
// Names the failure of a transfer for kxKovaIo_TransferError (printf-style text).
void kx_transfer_failed(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
// FT_Read of exactly n bytes: the driver's status, or FT_IO_ERROR when fewer came within
// the time-out. Bytes that did not come are left as they were.
FT_STATUS kx_recv(FT_HANDLE h, uint8_t *bytes, uint32_t n);

// Frame elements on a channel's low pin byte.
constexpr uint8_t KX_MPSSE_SET_LO = 0x80, KX_MPSSE_SET_HI = 0x82, KX_MPSSE_GET_HI = 0x83;
constexpr uint8_t KX_MPSSE_OUT = 0x11, KX_MPSSE_IN = 0x20, KX_MPSSE_FLUSH = 0x87;
constexpr uint8_t KX_SPI_WREN = 0x06, KX_SPI_RDSR = 0x05, KX_SPI_READ = 0x03, KX_SPI_WRITE = 0x02;

void kx_csl(std::vector<uint8_t> &f, const kxKovaIo_ChannelS &ch);
void kx_csh(std::vector<uint8_t> &f, const kxKovaIo_ChannelS &ch);
// OUT(n) header: clock n bytes out (the n bytes follow).
void kx_out(std::vector<uint8_t> &f, uint32_t n);
// IN(n): clock n bytes in.
void kx_in(std::vector<uint8_t> &f, uint32_t n);

// Outcome of a busy-wait, so that "still busy" can be told from a driver error.
FT_STATUS kx_busy_wait(kxKovaIo_ChannelS *channel, uint32_t cycleCount, bool *stillBusy);

// The write of the chip and of the board EEPROM in one: blocks of at most blockMax from addr, each after
// a busy-wait and a write enable. With boardEeprom the board EEPROM's messages are given.
FT_STATUS kx_write_blocks(kxKovaIo_ChannelS *channel, uint32_t addr, uint32_t numBytes, const uint8_t *data,
                          uint32_t blockMax, bool boardEeprom);

// Bytes of a write frame in front of and behind its data: CSL, OUT header, command and
// address; CSH and FLUSH.
constexpr uint32_t KX_WRITE_HEAD = 9, KX_WRITE_TAIL = 4;
