// USB traffic of the board I/O on the emulated board, against the least the wire protocol
// allows. Per operation:
//   usb_calls, bytes_out, bytes_in   FT_Write + FT_Read calls and the bytes they move
//   least_calls, least_bytes_out     the same for the least traffic (below)
//   spi_bytes, spi_ms                bytes clocked on the SPI bus and their time at 1 MHz
//   least_spi_bytes                  SPI bytes of the least traffic
//   usb_ms, least_usb_ms             calls x 0.125 ms (one high-speed USB microframe each)
//   emulated_ms                      the emulated clock: USB turnarounds, SPI clocking and
//                                    the EEPROM's 5 ms page write time
//
// The least traffic: a register write is one FT_Write holding a write enable and the write
// frame (no status poll when no EEPROM write is under way, no access select when the chip
// is known to be on the register map, no flush when nothing is read). An EEPROM program
// selects the EEPROM once (one FT_Write), then per page one FT_Write with write enable and
// page frame and one status poll after the page write time (FT_Write and FT_Read); the
// read-back is one read frame and one FT_Read.
#include <benchmark/benchmark.h>

#include <vector>

#include "board/kxemu.h"
#include "board/kxkovaio.h"

namespace {

constexpr uint32_t kWrenBytes = 10;   // CSL, OUT(1) 06, CSH
constexpr uint32_t kFrameBytes = 12;  // CSL, OUT header, command and address, CSH
constexpr uint32_t kStatusBytes = 14; // CSL, OUT(1) 05, IN(1), CSH, FLUSH
constexpr uint32_t kReadFrame = 16;

struct bench_board_s {
  kxKovaIo_HandleS h{};
  bool ok = false;
};

void no_sleep(uint32_t, void *) {}

bench_board_s open_emulated() {
  bench_board_s b;
  kxemu_config_s cfg{};
  char err[256];
  if (!kxemu_config_parse("40000", &cfg, err, sizeof err) || !kxemu_install(&cfg, err, sizeof err)) return b;
  kxemu_wire_log_enable(false);
  kxKovaIo_SleepSet(no_sleep, nullptr);
  uint32_t n = 0;
  b.ok = kxKovaIo_ChannelCount(&n) == 0 && kxKovaIo_EvalBoardOpen(0, 1, &b.h) == 0 &&
         kxkovaio_SelectFtdi2Dut(&b.h) == FT_OK;
  kxemu_stats_clear(0);
  return b;
}

void close_emulated(bench_board_s &b) {
  kxKovaIo_EvalBoardClose(&b.h);
  kxemu_remove();
  kxKovaIo_SleepSet(nullptr, nullptr);
}

void report(benchmark::State &state, uint64_t start_us, double least_calls, double least_out, double least_spi) {
  const kxemu_stats_s s = kxemu_stats(0);
  const double it = static_cast<double>(state.iterations());
  const double calls = static_cast<double>(s.writes + s.reads) / it;
  state.counters["usb_calls"] = calls;
  state.counters["bytes_out"] = static_cast<double>(s.bytes_out) / it;
  state.counters["bytes_in"] = static_cast<double>(s.bytes_in) / it;
  state.counters["spi_bytes"] = static_cast<double>(s.spi_bytes) / it;
  state.counters["spi_ms"] = static_cast<double>(s.spi_bytes) / it * 8.0 / 1000.0;
  state.counters["usb_ms"] = calls * 0.125;
  state.counters["emulated_ms"] = static_cast<double>(kxemu_clock_us() - start_us) / it / 1000.0;
  state.counters["least_calls"] = least_calls;
  state.counters["least_bytes_out"] = least_out;
  state.counters["least_spi_bytes"] = least_spi;
  state.counters["least_usb_ms"] = least_calls * 0.125;
}

void register_write(benchmark::State &state, uint32_t addr, uint32_t n) {
  bench_board_s b = open_emulated();
  if (!b.ok) {
    state.SkipWithError("emulated board did not open");
    return;
  }
  std::vector<uint8_t> data(n, 0x00);
  for (uint32_t i = 0; i < n; ++i) data[i] = static_cast<uint8_t>(i * 13);
  if (addr == 0) data[0] = 0x00;                 // EESEL: stay on the register map
  if (addr <= 0x00A && addr + n > 0x00A) data[0x00A - addr] = 0x00;  // MCR2: keep counting up
  if (addr <= 0x40B && addr + n > 0x40B) data[0x40B - addr] = 0x00;  // DPLLCR1: normal mode
  const uint64_t start = kxemu_clock_us();
  for (auto _ : state)
    if (kxKovaIo_DutRegWrite(&b.h, addr, n, data.data())) state.SkipWithError("write failed");
  report(state, start, 1, kWrenBytes + kFrameBytes + n, 1 + 3 + n);
  close_emulated(b);
}

// Every register of the chip in one burst.
void BM_BoardFullRegisterWrite(benchmark::State &state) { register_write(state, 0x000, 2048); }
BENCHMARK(BM_BoardFullRegisterWrite);

// A changes-only write after a new OC1 frequency: the output's nine registers
// (OC1CR1 .. OC1STOP) in one burst.
void BM_BoardChangesOnlyOneOutput(benchmark::State &state) { register_write(state, 0x200, 9); }
BENCHMARK(BM_BoardChangesOnlyOneOutput);

// A 4 KiB boot image into the chip's EEPROM (pages of 32) and read back for verification.
void BM_BoardChipEepromProgram4K(benchmark::State &state) {
  bench_board_s b = open_emulated();
  if (!b.ok) {
    state.SkipWithError("emulated board did not open");
    return;
  }
  constexpr uint32_t n = 4096, page = 32, pages = n / page;
  std::vector<uint8_t> image(n), back(n);
  for (uint32_t i = 0; i < n; ++i) image[i] = static_cast<uint8_t>(i * 7 + 1);
  image[0] = 0x01;  // a boot image starts with 0x01
  const uint64_t start = kxemu_clock_us();
  for (auto _ : state) {
    if (kxKovaIo_DutEepromWrite(&b.h, 0, n, image.data()) || kxKovaIo_DutEepromRead(&b.h, 0, n, back.data()) ||
        back != image)
      state.SkipWithError("program or verify failed");
  }
  const double least_calls = 1 + pages * 3.0 + 2;
  const double least_out = (kWrenBytes + kFrameBytes + 1) + pages * (kWrenBytes + kFrameBytes + page + kStatusBytes) +
                           kReadFrame;
  const double least_spi = (1 + 3 + 1) + pages * (1 + 3 + page + 2) + (3 + n);
  report(state, start, least_calls, least_out, least_spi);
  state.counters["least_emulated_ms"] = pages * kxemu_write_cycle_us / 1000.0;
  close_emulated(b);
}
BENCHMARK(BM_BoardChipEepromProgram4K)->Unit(benchmark::kMillisecond);

// The DSP program (320 words) loaded through the DSP access registers.
void BM_BoardDspProgramLoad(benchmark::State &state) {
  bench_board_s b = open_emulated();
  if (!b.ok) {
    state.SkipWithError("emulated board did not open");
    return;
  }
  std::vector<uint32_t> program(320);
  for (uint32_t i = 0; i < 320; ++i) program[i] = (i * 2654435761u) & 0xFFFFFF;
  const uint64_t start = kxemu_clock_us();
  for (auto _ : state)
    if (kxkovaio_DspRamWrite(&b.h, 0, 320, program.data(), 0x1234)) state.SkipWithError("load failed");
  // Least: one FT_Write holding the seven register writes, each a write enable and a frame.
  const double data = 2 + 3 * 320;
  report(state, start, 1, 7 * (kWrenBytes + kFrameBytes) + 1 + 2 + 1 + 1 + data + 1 + 1,
         7 * (1 + 3) + 1 + 2 + 1 + 1 + data + 1 + 1);
  close_emulated(b);
}
BENCHMARK(BM_BoardDspProgramLoad);

}  // namespace
