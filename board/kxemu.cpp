// The emulated evaluation board: USB channels, MPSSE engine, the chip's SPI port with its
// register file, EEPROM and DSP RAM, and the board EEPROM.
#include "board/kxemu.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "board/kxemu_state.h"
#include "files/eeprom_decode.h"
#include "hal/hal_api.h"

namespace {

constexpr uint8_t kRegEesel = 0x00, kRegMcr2 = 0x0A, kRegId1 = 0x30, kRegId2 = 0x31;
constexpr uint8_t kRegDspId1 = 0x32, kRegDspId2 = 0x33;
constexpr uint32_t kRegDpllcr1 = 0x40B, kRegDalgwr = 0x40E, kRegDalgrd = 0x40F;
constexpr uint8_t kMcr2Aincdis = 0x10;
constexpr uint8_t kDspAddress = 0x0C, kDspWrite = 0x0D, kDspRead = 0x0F;
constexpr uint32_t kWireLogMax = 100000;  // writes kept per channel

// Product index the chip reports in the high nibble of ID2, by device.
struct identity_s {
  int32_t device;
  uint8_t product;
};
constexpr identity_s kIdentities[] = {
    {kova_device_40110_e, 0}, {kova_device_40111_e, 1}, {kova_device_40112_e, 2}, {kova_device_40113_e, 3},
    {kova_device_40075_e, 5}, {kova_device_40089_e, 7}, {kova_device_40000_e, 8},
};

bool product_of(int32_t device, uint8_t *product) {
  for (const auto &i : kIdentities)
    if (i.device == device) {
      *product = i.product;
      return true;
    }
  return false;
}

// Command state of an SPI port that follows the serial-EEPROM command set.
struct spi_port_s {
  bool selected;
  uint8_t cmd;
  uint32_t count;  // bytes received since chip select fell
  uint32_t addr;
  uint32_t start;
  bool write_ok;
  bool eeprom_space;
  std::vector<std::pair<uint32_t, uint8_t>> page;  // EEPROM bytes waiting for chip select high
};

struct chip_s {
  uint8_t regs[KXEMU_CHIP_REGS];
  uint8_t eeprom[KXEMU_CHIP_EEPROM_SIZE];
  uint32_t dsp[KXEMU_DSP_RAM_WORDS];
  bool wel;
  uint64_t busy_until_ns;
  bool in_reset;
  spi_port_s port;
  uint32_t dsp_addr;
  uint32_t dsp_bytes;
  bool dsp_id;
  uint32_t dsp_acc;
  uint32_t dsp_raddr;
  uint32_t dsp_rbyte;
};

struct board_eeprom_s {
  uint8_t mem[KXEMU_BOARD_EEPROM_SIZE];
  bool wel;
  uint64_t busy_until_ns;
  spi_port_s port;
};

enum target_e { target_none_e, target_chip_e, target_eeprom_e };

struct channel_s {
  FT_HANDLE handle;
  bool mpsse;
  uint8_t lo_data, lo_dir, hi_data, hi_dir;
  uint8_t lo_ext = 0xFF, hi_ext = 0xFF;
  uint32_t divisor;
  bool div5;
  uint32_t read_timeout_ms;
  uint8_t latency_ms;
  std::vector<uint8_t> pending;  // command bytes waiting for the rest of their command
  std::deque<uint8_t> rx;        // answers waiting to be read
  std::vector<std::vector<uint8_t>> wire;
  target_e target;  // SPI device selected while chip select is low (channel A)
};

struct board_s {
  int32_t device;
  uint32_t revision;
  uint8_t product;
  bool plugged;
  channel_s ch[2];
  chip_s chip;
  board_eeprom_s eeprom;
  kxemu_faults_s faults;
  int64_t unplug_left, short_left, timeout_after_left;
  uint32_t timeouts_left;
  kxemu_stats_s stats;
};

struct emu_s {
  std::vector<std::unique_ptr<board_s>> boards;
  bool installed = false;
  kxemu_config_s cfg{};
  uint64_t clock_ns = 0;
  FT_HANDLE next_handle = 0x4B000001;
  std::vector<FT_HANDLE> dead;  // handles of unplugged channels, still to be closed
  std::vector<std::pair<uint32_t, uint32_t>> snapshot;  // listed channels: board, channel
  bool wire_on = true;
  int lock_fd = -1;        // held while installed with a state file: one process at a time
  std::string save_error;  // the first failed save of the state file since install
  ft_open_failure_e failure = ft_open_ok_e;
  char failure_text[160] = "";
};

emu_s &emu() {
  static emu_s e;
  return e;
}

board_s *board_at(uint32_t b) { return b < emu().boards.size() ? emu().boards[b].get() : nullptr; }

// ---------------------------------------------------------------------------------------
// The chip.

bool chip_busy(const board_s &b) { return b.faults.chip_eeprom_stuck_busy || emu().clock_ns < b.chip.busy_until_ns; }
bool beeprom_busy(const board_s &b) {
  return b.faults.board_eeprom_stuck_busy || emu().clock_ns < b.eeprom.busy_until_ns;
}

void chip_boot_from_eeprom(board_s &b);

void chip_power_on(board_s &b) {
  chip_s &c = b.chip;
  for (uint32_t a = 0; a < KXEMU_CHIP_REGS; ++a) c.regs[a] = static_cast<uint8_t>(kova_regs_defaults(a));
  c.regs[kRegId1] = 0x19;
  c.regs[kRegId2] = static_cast<uint8_t>(b.product << 4 | (b.revision & 0xF));
  std::memset(c.dsp, 0, sizeof c.dsp);
  c.wel = false;
  c.busy_until_ns = 0;
  c.port = spi_port_s{};
  c.dsp_addr = c.dsp_bytes = c.dsp_acc = c.dsp_raddr = c.dsp_rbyte = 0;
  c.dsp_id = false;
  chip_boot_from_eeprom(b);
}

uint8_t dpll_mode(const chip_s &c) { return c.regs[kRegDpllcr1]; }

void chip_write_byte(chip_s &c, uint8_t v);

// The products whose chip boots from the board EEPROM rather than from its own.
bool boots_from_board_eeprom(const board_s &b) { return b.product == 0 || b.product == 2; }

// A chip whose boot EEPROM holds a valid boot image configures itself from it when it comes
// out of reset: the common code and branch 0's writes over the reset defaults, and the branch
// offsets in EEOFF0..EEOFF3 (0x001..0x008). The boot EEPROM is the chip's own, or the board
// EEPROM on the products that boot from it. Address 0 of the chip's EEPROM space is EESEL,
// which reads 1 there, so its image is read with that byte.
void chip_boot_from_eeprom(board_s &b) {
  chip_s &c = b.chip;
  std::vector<uint8_t> image;
  if (boots_from_board_eeprom(b)) {
    image.assign(b.eeprom.mem, b.eeprom.mem + KXEMU_CHIP_EEPROM_SIZE);
  } else {
    image.assign(c.eeprom, c.eeprom + KXEMU_CHIP_EEPROM_SIZE);
    image[0] = 0x01;
  }
  eeprom_decoded_s d;
  if (!eeprom_image_decode(image.data(), image.size(), &d) || !d.checksum_ok || !d.errors.empty()) return;
  const spi_port_s saved = c.port;
  c.port = spi_port_s{};
  for (const eeprom_boot_step_s &st : eeprom_boot_steps(d, 0)) {
    if (st.wait) continue;  // the emulated chip settles at once
    c.port.addr = st.address;
    chip_write_byte(c, st.data);
  }
  for (uint32_t b = 0; b < KOVA_EEPROM_BRANCHES; ++b) {
    c.regs[1 + 2 * b] = static_cast<uint8_t>(d.branch_offset[b]);
    c.regs[2 + 2 * b] = static_cast<uint8_t>((c.regs[2 + 2 * b] & 0xE0) | ((d.branch_offset[b] >> 8) & 0x1F));
  }
  c.port = saved;
}

void dsp_mode_set(chip_s &c, uint8_t v) {
  if (v == kDspWrite) {
    c.dsp_bytes = 0;
    c.dsp_acc = 0;
    c.dsp_id = c.dsp_addr == 0;  // a program loaded from address 0 starts with its identifier
  } else if (v == kDspRead) {
    c.dsp_raddr = c.dsp_addr;
    c.dsp_rbyte = 0;
  }
}

void dsp_port_write(chip_s &c, uint8_t v) {
  c.regs[kRegDalgwr] = v;
  if (dpll_mode(c) == kDspAddress) {
    c.dsp_addr = ((c.dsp_addr >> 8) | (static_cast<uint32_t>(v) << 8)) & 0xFFFF;
    return;
  }
  if (c.dsp_id && c.dsp_bytes < 2) {
    c.regs[c.dsp_bytes == 0 ? kRegDspId1 : kRegDspId2] = v;
  } else {
    const uint32_t k = (c.dsp_bytes - (c.dsp_id ? 2 : 0)) % 3;
    c.dsp_acc |= static_cast<uint32_t>(v) << (8 * k);
    if (k == 2) {
      if (c.dsp_addr < KXEMU_DSP_RAM_WORDS) c.dsp[c.dsp_addr] = c.dsp_acc;
      c.dsp_addr = (c.dsp_addr + 1) & 0xFFFF;
      c.dsp_acc = 0;
    }
  }
  ++c.dsp_bytes;
}

uint8_t dsp_port_read(chip_s &c) {
  const uint32_t w = c.dsp_raddr < KXEMU_DSP_RAM_WORDS ? c.dsp[c.dsp_raddr] : 0;
  const uint8_t v = static_cast<uint8_t>(w >> (8 * c.dsp_rbyte));
  if (++c.dsp_rbyte == 3) {
    c.dsp_rbyte = 0;
    c.dsp_raddr = (c.dsp_raddr + 1) & 0xFFFF;
  }
  return v;
}

void chip_step(chip_s &c) {
  spi_port_s &p = c.port;
  if (p.eeprom_space) {
    // page writes wrap inside their page; reads run on
    if (p.cmd == 0x02)
      p.addr = (p.addr & ~(KXEMU_CHIP_EEPROM_PAGE - 1)) | ((p.addr + 1) & (KXEMU_CHIP_EEPROM_PAGE - 1));
    else
      p.addr = (p.addr + 1) & 0xFFFF;
  } else if (!(c.regs[kRegMcr2] & kMcr2Aincdis)) {
    p.addr = (p.addr + 1) & 0xFFFF;
  }
}

void chip_write_byte(chip_s &c, uint8_t v) {
  spi_port_s &p = c.port;
  const uint32_t a = p.addr;
  if (a == kRegEesel) {
    c.regs[kRegEesel] = v & 1;  // the selection register is at address 0 in both spaces
  } else if (p.eeprom_space) {
    if (a < KXEMU_CHIP_EEPROM_SIZE) p.page.emplace_back(a, v);
  } else if (a == kRegDalgwr && (dpll_mode(c) == kDspAddress || dpll_mode(c) == kDspWrite)) {
    dsp_port_write(c, v);
    return;  // the port keeps its address
  } else if (a >= kRegId1 && a <= kRegDspId2) {
    // identity and DSP identifier are read-only
  } else if (a < KXEMU_CHIP_REGS) {
    c.regs[a] = v;
    if (a == kRegDpllcr1) dsp_mode_set(c, v);
  }
  chip_step(c);
}

uint8_t chip_read_byte(chip_s &c) {
  spi_port_s &p = c.port;
  const uint32_t a = p.addr;
  uint8_t v;
  if (a == kRegEesel) {
    v = c.regs[kRegEesel];
  } else if (p.eeprom_space) {
    v = a < KXEMU_CHIP_EEPROM_SIZE ? c.eeprom[a] : 0xFF;
  } else if (a == kRegDalgrd && dpll_mode(c) == kDspRead) {
    return dsp_port_read(c);
  } else {
    v = a < KXEMU_CHIP_REGS ? c.regs[a] : 0x00;
  }
  chip_step(c);
  return v;
}

void chip_select(board_s &b) {
  chip_s &c = b.chip;
  if (c.in_reset) return;
  c.port = spi_port_s{};
  c.port.selected = true;
  c.port.eeprom_space = c.regs[kRegEesel] & 1;
}

void chip_out(board_s &b, uint8_t v) {
  chip_s &c = b.chip;
  spi_port_s &p = c.port;
  if (c.in_reset || !p.selected) return;
  const bool ee_busy = p.eeprom_space && chip_busy(b);
  if (p.count++ == 0) {
    p.cmd = v;
    if (v == 0x06 && !ee_busy) c.wel = true;
    return;
  }
  if (p.cmd != 0x02 && p.cmd != 0x03) return;
  if (p.count == 2) {
    p.addr = static_cast<uint32_t>(v) << 8;
  } else if (p.count == 3) {
    p.addr |= v;
    p.start = p.addr;
    p.write_ok = p.cmd == 0x02 && c.wel && !ee_busy;
  } else if (p.cmd == 0x02 && p.write_ok) {
    chip_write_byte(c, v);
  }
}

uint8_t chip_in(board_s &b) {
  chip_s &c = b.chip;
  spi_port_s &p = c.port;
  if (c.in_reset || !p.selected || p.count == 0) return 0xFF;
  if (p.cmd == 0x05) return static_cast<uint8_t>((chip_busy(b) ? 1 : 0) | (c.wel ? 2 : 0));
  if (p.cmd == 0x03 && p.count >= 3) {
    if (p.eeprom_space && chip_busy(b)) return 0xFF;
    return chip_read_byte(c);
  }
  return 0xFF;
}

void chip_deselect(board_s &b, bool commit) {
  chip_s &c = b.chip;
  spi_port_s &p = c.port;
  if (!p.selected) return;
  p.selected = false;
  if (!commit || p.cmd != 0x02 || p.count < 3) return;
  if (p.write_ok) {
    c.wel = false;
    if (!p.page.empty()) {
      for (const auto &w : p.page) c.eeprom[w.first] = w.second;
      c.busy_until_ns = emu().clock_ns + kxemu_write_cycle_us * 1000;
    }
  }
  p.page.clear();
}

// ---------------------------------------------------------------------------------------
// The board EEPROM.

void beeprom_select(board_s &b) {
  b.eeprom.port = spi_port_s{};
  b.eeprom.port.selected = true;
}

void beeprom_out(board_s &b, uint8_t v) {
  board_eeprom_s &e = b.eeprom;
  spi_port_s &p = e.port;
  if (!p.selected) return;
  const bool busy = beeprom_busy(b);
  if (p.count++ == 0) {
    p.cmd = v;
    if (v == 0x06 && !busy) e.wel = true;
    return;
  }
  if (p.cmd != 0x02 && p.cmd != 0x03) return;
  if (p.count == 2) {
    p.addr = static_cast<uint32_t>(v) << 8;
  } else if (p.count == 3) {
    p.addr |= v;
    p.write_ok = p.cmd == 0x02 && e.wel && !busy;
  } else if (p.cmd == 0x02 && p.write_ok) {
    p.page.emplace_back(p.addr, v);
    p.addr = (p.addr & ~(KXEMU_BOARD_EEPROM_PAGE - 1)) | ((p.addr + 1) & (KXEMU_BOARD_EEPROM_PAGE - 1));
  }
}

uint8_t beeprom_in(board_s &b) {
  board_eeprom_s &e = b.eeprom;
  spi_port_s &p = e.port;
  if (!p.selected || p.count == 0) return 0xFF;
  if (p.cmd == 0x05) return static_cast<uint8_t>((beeprom_busy(b) ? 1 : 0) | (e.wel ? 2 : 0));
  if (p.cmd == 0x03 && p.count >= 3 && !beeprom_busy(b)) {
    const uint8_t v = e.mem[p.addr & 0xFFFF];
    p.addr = (p.addr + 1) & 0xFFFF;
    return v;
  }
  return 0xFF;
}

void beeprom_deselect(board_s &b, bool commit) {
  board_eeprom_s &e = b.eeprom;
  spi_port_s &p = e.port;
  if (!p.selected) return;
  p.selected = false;
  if (!commit || p.cmd != 0x02 || p.count < 3 || !p.write_ok) return;
  e.wel = false;
  if (!p.page.empty()) {
    for (const auto &w : p.page) e.mem[w.first & 0xFFFF] = w.second;
    e.busy_until_ns = emu().clock_ns + kxemu_write_cycle_us * 1000;
  }
  p.page.clear();
}

// ---------------------------------------------------------------------------------------
// The pins of channel A: chip select, routing and the chip's reset line. Pins that are
// inputs are pulled up (chip select off, reset off); the routing line is pulled low (chip).

bool cs_low(const channel_s &c) { return (c.lo_dir & 0x08) && !(c.lo_data & 0x08); }
bool reset_low(const channel_s &c) { return (c.lo_dir & 0x80) && !(c.lo_data & 0x80); }
bool routed_to_eeprom(const channel_s &c) { return (c.lo_dir & 0x10) && (c.lo_data & 0x10); }

void spi_end(board_s &b, bool commit) {
  channel_s &a = b.ch[0];
  if (a.target == target_chip_e) chip_deselect(b, commit);
  if (a.target == target_eeprom_e) beeprom_deselect(b, commit);
  a.target = target_none_e;
}

void set_low_pins(board_s &b, uint32_t ch, uint8_t data, uint8_t dir, bool commit = true) {
  channel_s &c = b.ch[ch];
  if (ch != 0) {
    c.lo_data = data;
    c.lo_dir = dir;
    return;
  }
  const bool was_cs = cs_low(c), was_reset = reset_low(c);
  c.lo_data = data;
  c.lo_dir = dir;
  const bool now_cs = cs_low(c), now_reset = reset_low(c);
  if (now_reset && !was_reset) {
    if (c.target == target_chip_e) spi_end(b, false);
    b.chip.in_reset = true;
  } else if (!now_reset && was_reset) {
    chip_power_on(b);
    b.chip.in_reset = false;
  }
  if (now_cs && !was_cs) {
    c.target = routed_to_eeprom(c) ? target_eeprom_e : target_chip_e;
    ++b.stats.spi_frames;
    if (c.target == target_chip_e)
      chip_select(b);
    else
      beeprom_select(b);
  } else if (!now_cs && was_cs) {
    spi_end(b, commit);
  }
}

void spi_out(board_s &b, uint32_t ch, uint8_t v) {
  if (ch != 0) return;
  ++b.stats.spi_bytes;
  const channel_s &a = b.ch[0];
  if (a.target == target_chip_e) chip_out(b, v);
  if (a.target == target_eeprom_e) beeprom_out(b, v);
}

uint8_t spi_in(board_s &b, uint32_t ch) {
  if (ch != 0) return 0xFF;
  ++b.stats.spi_bytes;
  const channel_s &a = b.ch[0];
  if (a.target == target_chip_e) return chip_in(b);
  if (a.target == target_eeprom_e) return beeprom_in(b);
  return 0xFF;
}

uint64_t spi_byte_ns(const channel_s &c) {
  const uint64_t master_hz = c.div5 ? 12000000 : 60000000;
  const uint64_t sck_hz = master_hz / ((1 + static_cast<uint64_t>(c.divisor)) * 2);
  return 8ull * 1000000000ull / (sck_hz ? sck_hz : 1);
}

// ---------------------------------------------------------------------------------------
// The MPSSE engine of one channel.

uint32_t command_length(const std::vector<uint8_t> &p, size_t at) {
  const size_t avail = p.size() - at;
  switch (p[at]) {
    case 0x80: case 0x82: case 0x86: return 3;
    case 0x11:
      if (avail < 3) return 3;
      return 3 + (p[at + 1] | p[at + 2] << 8) + 1;
    case 0x20: return 3;
    default: return 1;
  }
}

void execute(board_s &b, uint32_t ch, const uint8_t *cmd) {
  channel_s &c = b.ch[ch];
  switch (cmd[0]) {
    case 0x80: set_low_pins(b, ch, cmd[1], cmd[2]); break;
    case 0x82:
      c.hi_data = cmd[1];
      c.hi_dir = cmd[2];
      break;
    case 0x81: c.rx.push_back(static_cast<uint8_t>((c.lo_data & c.lo_dir) | (c.lo_ext & ~c.lo_dir))); break;
    case 0x83: c.rx.push_back(static_cast<uint8_t>((c.hi_data & c.hi_dir) | (c.hi_ext & ~c.hi_dir))); break;
    case 0x86: c.divisor = cmd[1] | cmd[2] << 8; break;
    case 0x8A: c.div5 = false; break;
    case 0x8B: c.div5 = true; break;
    case 0x84: case 0x85: case 0x87: case 0x8C: case 0x8D: case 0x96: case 0x97: break;
    case 0x11: {
      const uint32_t n = (cmd[1] | cmd[2] << 8) + 1u;
      for (uint32_t i = 0; i < n; ++i) spi_out(b, ch, cmd[3 + i]);
      emu().clock_ns += n * spi_byte_ns(c);
      break;
    }
    case 0x20: {
      const uint32_t n = (cmd[1] | cmd[2] << 8) + 1u;
      for (uint32_t i = 0; i < n; ++i) c.rx.push_back(spi_in(b, ch));
      emu().clock_ns += n * spi_byte_ns(c);
      break;
    }
    default:  // not a command: the engine answers "bad command" and the byte
      c.rx.push_back(0xFA);
      c.rx.push_back(b.faults.bad_sync_answer ? 0x00 : cmd[0]);
      break;
  }
}

void feed(board_s &b, uint32_t ch, const uint8_t *bytes, uint32_t n) {
  channel_s &c = b.ch[ch];
  c.pending.insert(c.pending.end(), bytes, bytes + n);
  size_t at = 0;
  while (at < c.pending.size()) {
    const uint32_t len = command_length(c.pending, at);
    if (c.pending.size() - at < len) break;
    execute(b, ch, c.pending.data() + at);
    at += len;
  }
  c.pending.erase(c.pending.begin(), c.pending.begin() + static_cast<long>(at));
}

void channel_idle(board_s &b, uint32_t ch, bool commit) {
  channel_s &c = b.ch[ch];
  c.mpsse = false;
  c.pending.clear();
  c.rx.clear();
  set_low_pins(b, ch, c.lo_data, 0, commit);
  c.hi_dir = 0;
}

// ---------------------------------------------------------------------------------------
// Faults.

// Counts one transfer; true when it finds the board unplugged now.
bool unplug_due(board_s &b) {
  if (b.unplug_left < 0) return false;
  if (b.unplug_left-- > 0) return false;
  for (uint32_t i = 0; i < emu().boards.size(); ++i)
    if (emu().boards[i].get() == &b) kxemu_unplug(i);
  return true;
}

// ---------------------------------------------------------------------------------------
// The backend.

struct where_s {
  board_s *board;
  uint32_t ch;
};

where_s find_handle(FT_HANDLE h) {
  for (auto &bp : emu().boards)
    for (uint32_t ch = 0; ch < 2; ++ch)
      if (bp->ch[ch].handle == h) return {bp.get(), ch};
  return {nullptr, 0};
}

bool is_dead(FT_HANDLE h) {
  for (FT_HANDLE d : emu().dead)
    if (d == h) return true;
  return false;
}

// The board and channel of a handle, or the status to answer.
FT_STATUS lookup(FT_HANDLE h, where_s *w) {
  *w = find_handle(h);
  if (w->board) return FT_OK;
  return is_dead(h) ? FT_IO_ERROR : FT_INVALID_HANDLE;
}

void snapshot() {
  emu_s &e = emu();
  e.snapshot.clear();
  for (uint32_t b = 0; b < e.boards.size(); ++b)
    if (e.boards[b]->plugged)
      for (uint32_t ch = 0; ch < 2; ++ch) e.snapshot.emplace_back(b, ch);
}

FT_STATUS em_list(void *, uint32_t *n) {
  snapshot();
  *n = static_cast<uint32_t>(emu().snapshot.size());
  return FT_OK;
}

FT_STATUS em_detail(void *, uint32_t index, ft_device_info_s *info) {
  emu_s &e = emu();
  if (index >= e.snapshot.size()) return FT_DEVICE_NOT_FOUND;
  const uint32_t b = e.snapshot[index].first, ch = e.snapshot[index].second;
  const board_s &bd = *e.boards[b];
  const char letter = static_cast<char>('A' + ch);
  info->type = FT_DEVICE_2232H;
  info->id = 0x04036010;
  info->locId = 0x1001 + 0x10 * b + ch;
  info->handle = bd.ch[ch].handle;
  info->flags = FT_FLAGS_HISPEED | (bd.ch[ch].handle ? FT_FLAGS_OPENED : 0);
  std::snprintf(info->serial, FT_SERIAL_LEN, "EMU%04u%c", b, letter);
  std::snprintf(info->description, FT_DESC_LEN, "Kova Emulated Board %c", letter);
  return FT_OK;
}

FT_STATUS em_open(void *, uint32_t index, FT_HANDLE *h) {
  emu_s &e = emu();
  e.failure = ft_open_ok_e;
  if (e.snapshot.empty()) snapshot();
  if (index >= e.snapshot.size() || !e.boards[e.snapshot[index].first]->plugged) {
    e.failure = ft_open_not_found_e;
    std::snprintf(e.failure_text, sizeof e.failure_text, "no channel %u on the emulated boards", index);
    return FT_DEVICE_NOT_FOUND;
  }
  board_s &b = *e.boards[e.snapshot[index].first];
  const uint32_t ch = e.snapshot[index].second;
  channel_s &c = b.ch[ch];
  if (c.handle) {
    e.failure = ft_open_claimed_e;
    std::snprintf(e.failure_text, sizeof e.failure_text, "the channel is already open");
    return FT_DEVICE_NOT_OPENED;
  }
  c.handle = e.next_handle++;
  c.read_timeout_ms = 0;
  c.latency_ms = 16;
  channel_idle(b, ch, true);
  *h = c.handle;
  return FT_OK;
}

FT_STATUS em_reset(void *, FT_HANDLE h) {
  where_s w;
  if (const FT_STATUS st = lookup(h, &w)) return st;
  if (!w.board->plugged) return FT_IO_ERROR;
  w.board->ch[w.ch].pending.clear();
  w.board->ch[w.ch].rx.clear();
  return FT_OK;
}

FT_STATUS em_usb(void *, FT_HANDLE h, uint32_t in, uint32_t out) {
  where_s w;
  if (const FT_STATUS st = lookup(h, &w)) return st;
  if (!w.board->plugged) return FT_IO_ERROR;
  return in && out ? FT_OK : FT_INVALID_PARAMETER;
}

FT_STATUS em_purge(void *, FT_HANDLE h, uint32_t mask) {
  where_s w;
  if (const FT_STATUS st = lookup(h, &w)) return st;
  if (!w.board->plugged) return FT_IO_ERROR;
  if (mask & FT_PURGE_RX) w.board->ch[w.ch].rx.clear();
  if (mask & FT_PURGE_TX) w.board->ch[w.ch].pending.clear();
  return FT_OK;
}

FT_STATUS em_chars(void *, FT_HANDLE h, uint8_t, uint8_t, uint8_t, uint8_t) {
  where_s w;
  if (const FT_STATUS st = lookup(h, &w)) return st;
  return w.board->plugged ? FT_OK : FT_IO_ERROR;
}

FT_STATUS em_timeouts(void *, FT_HANDLE h, uint32_t read_ms, uint32_t) {
  where_s w;
  if (const FT_STATUS st = lookup(h, &w)) return st;
  if (!w.board->plugged) return FT_IO_ERROR;
  w.board->ch[w.ch].read_timeout_ms = read_ms;
  return FT_OK;
}

FT_STATUS em_latency(void *, FT_HANDLE h, uint8_t ms) {
  where_s w;
  if (const FT_STATUS st = lookup(h, &w)) return st;
  if (!w.board->plugged) return FT_IO_ERROR;
  if (ms == 0) return FT_INVALID_PARAMETER;
  w.board->ch[w.ch].latency_ms = ms;
  return FT_OK;
}

FT_STATUS em_bit_mode(void *, FT_HANDLE h, uint8_t, uint8_t mode) {
  where_s w;
  if (const FT_STATUS st = lookup(h, &w)) return st;
  if (!w.board->plugged) return FT_IO_ERROR;
  if (mode == 0x02) {
    w.board->ch[w.ch].mpsse = true;
  } else {
    channel_idle(*w.board, w.ch, true);  // leaving MPSSE mode makes every pin an input
  }
  return FT_OK;
}

FT_STATUS em_write(void *, FT_HANDLE h, const uint8_t *bytes, uint32_t n, uint32_t *written) {
  where_s w;
  if (const FT_STATUS st = lookup(h, &w)) return st;
  board_s &b = *w.board;
  if (!b.plugged || unplug_due(b)) return FT_IO_ERROR;
  uint32_t keep = n;
  if (b.short_left >= 0 && b.short_left-- == 0) keep = b.faults.short_write_keep < n ? b.faults.short_write_keep : n;
  channel_s &c = b.ch[w.ch];
  ++b.stats.writes;
  b.stats.bytes_out += keep;
  emu().clock_ns += kxemu_usb_turnaround_us * 1000;
  if (emu().wire_on && c.wire.size() < kWireLogMax) c.wire.emplace_back(bytes, bytes + keep);
  if (c.mpsse) feed(b, w.ch, bytes, keep);
  *written = keep;
  return FT_OK;
}

FT_STATUS em_read(void *, FT_HANDLE h, uint8_t *bytes, uint32_t n, uint32_t *got) {
  where_s w;
  if (const FT_STATUS st = lookup(h, &w)) return st;
  board_s &b = *w.board;
  if (!b.plugged || unplug_due(b)) return FT_IO_ERROR;
  channel_s &c = b.ch[w.ch];
  ++b.stats.reads;
  emu().clock_ns += kxemu_usb_turnaround_us * 1000;
  bool timed_out = false;
  if (b.timeout_after_left >= 0 && b.timeout_after_left-- == 0) {
    timed_out = true;
    b.timeout_after_left = 0;  // stays due while reads remain to time out
    if (b.faults.read_timeouts > 0 && --b.timeouts_left == 0) b.timeout_after_left = -1;
  }
  if (timed_out) {  // the answer never comes
    c.rx.clear();
    emu().clock_ns += static_cast<uint64_t>(c.read_timeout_ms) * 1000000;
    return FT_OK;
  }
  while (*got < n && !c.rx.empty()) {
    bytes[(*got)++] = c.rx.front();
    c.rx.pop_front();
  }
  if (*got < n) emu().clock_ns += static_cast<uint64_t>(c.read_timeout_ms) * 1000000;
  b.stats.bytes_in += *got;
  return FT_OK;
}

FT_STATUS em_close(void *, FT_HANDLE h) {
  emu_s &e = emu();
  for (size_t i = 0; i < e.dead.size(); ++i)
    if (e.dead[i] == h) {
      e.dead.erase(e.dead.begin() + static_cast<long>(i));
      return FT_OK;
    }
  const where_s w = find_handle(h);
  if (!w.board) return FT_INVALID_HANDLE;
  channel_idle(*w.board, w.ch, true);
  w.board->ch[w.ch].handle = 0;
  if (e.cfg.state_path[0]) kxemu_state_save(nullptr, 0);  // a failure is kept for kxemu_remove
  return FT_OK;
}

void em_sleep(void *, uint32_t ms) { emu().clock_ns += static_cast<uint64_t>(ms) * 1000000; }

ft_open_failure_e em_failure(void *, char *text, size_t len) {
  if (text && len) std::snprintf(text, len, "%s", emu().failure_text);
  return emu().failure;
}

const ft_backend_s kEmulator = {
    "emulator", nullptr,     em_list,     em_detail,   em_open,  em_reset, em_usb,   em_purge, em_chars,
    em_timeouts, em_latency, em_bit_mode, em_write,    em_read,  em_close, em_sleep, em_failure,
};

void set_err(char *err, size_t len, const char *text) {
  if (err && len) std::snprintf(err, len, "%s", text);
}

// Claims the boards of a state file for this process, as a real FT2232H is claimed by one
// process at a time: an exclusive lock on "<state file>.lock", held until kxemu_remove. A
// second process gets "board busy" instead of reading a state that the first one would
// later overwrite, or overwriting what the first one wrote.
bool claim_state(const char *state_path, int *fd, char *err, size_t len) {
  const std::string lock = std::string(state_path) + ".lock";
  *fd = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (*fd < 0) {
    if (err && len) std::snprintf(err, len, "cannot create the emulated board lock file %s: %s", lock.c_str(), std::strerror(errno));
    return false;
  }
  if (flock(*fd, LOCK_EX | LOCK_NB) == 0) return true;
  const int e = errno;
  close(*fd);
  *fd = -1;
  if (err && len) {
    if (e == EWOULDBLOCK)
      std::snprintf(err, len,
                    "board busy: the emulated board of %s is in use by another process (one process at a time, "
                    "like a real board)",
                    state_path);
    else
      std::snprintf(err, len, "cannot lock the emulated board lock file %s: %s", lock.c_str(), std::strerror(e));
  }
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Set-up.

bool kxemu_config_parse(const char *devices, kxemu_config_s *cfg, char *err, size_t len) {
  kxemu_config_s c{};
  const char *p = devices ? devices : "";
  while (true) {
    while (*p == ' ') ++p;
    const char *start = p;
    while (*p && *p != ',') ++p;
    std::string item(start, p);
    while (!item.empty() && item.back() == ' ') item.pop_back();
    std::string dev = item, rev = "1";
    const size_t colon = item.find(':');
    if (colon != std::string::npos) {
      dev = item.substr(0, colon);
      rev = item.substr(colon + 1);
    }
    if (dev.size() > 2 && std::toupper(static_cast<unsigned char>(dev[0])) == 'K' &&
        std::toupper(static_cast<unsigned char>(dev[1])) == 'X')
      dev = dev.substr(2);
    uint8_t product = 0;
    const bool digits = !dev.empty() && dev.size() <= 6 &&
                        dev.find_first_not_of("0123456789") == std::string::npos;
    const int32_t device = digits ? std::atoi(dev.c_str()) : -1;
    if (!digits || !product_of(device, &product)) {
      if (err && len) std::snprintf(err, len, "unknown emulated device '%s' (one of 40000, 40075, 40089, 40110, 40111, 40112, 40113)", item.c_str());
      return false;
    }
    if (rev != "0" && rev != "1") {
      if (err && len) std::snprintf(err, len, "bad revision in '%s' (0 or 1)", item.c_str());
      return false;
    }
    if (c.boards == KXEMU_MAX_BOARDS) {
      if (err && len) std::snprintf(err, len, "at most %u emulated boards", KXEMU_MAX_BOARDS);
      return false;
    }
    c.device[c.boards] = device;
    c.revision[c.boards] = rev == "1" ? 1 : 0;
    ++c.boards;
    if (*p != ',') break;
    ++p;
  }
  std::snprintf(c.state_path, sizeof c.state_path, "%s", cfg->state_path);
  c.faults = cfg->faults;
  c.faults_on = cfg->faults_on;
  *cfg = c;
  return true;
}

bool kxemu_faults_parse(const char *text, kxemu_faults_s *faults, char *err, size_t len) {
  kxemu_faults_s f{};
  const std::string all = text ? text : "";
  size_t pos = 0;
  while (pos <= all.size()) {
    size_t end = all.find(',', pos);
    if (end == std::string::npos) end = all.size();
    std::string item = all.substr(pos, end - pos);
    pos = end + 1;
    while (!item.empty() && item.front() == ' ') item.erase(item.begin());
    while (!item.empty() && item.back() == ' ') item.pop_back();
    const size_t at = item.find('@');
    const std::string name = item.substr(0, at);
    int32_t n = -1;
    if (at != std::string::npos) {
      const std::string v = item.substr(at + 1);
      if (v.empty() || v.size() > 9 || v.find_first_not_of("0123456789") != std::string::npos) n = -2;
      else n = std::atoi(v.c_str());
    }
    const bool counted = n >= 0;
    if (name == "unplug" && counted) f.unplug_after = n;
    else if (name == "short-write" && counted) f.short_write_after = n;
    else if (name == "read-timeout" && counted) f.read_timeout_after = n, f.read_timeouts = 0;
    else if (name == "eeprom-busy" && at == std::string::npos) f.chip_eeprom_stuck_busy = f.board_eeprom_stuck_busy = true;
    else {
      if (err && len)
        std::snprintf(err, len,
                      "bad fault '%s' (unplug@N, short-write@N, read-timeout@N or eeprom-busy, separated by commas; "
                      "N transfers pass first)",
                      item.c_str());
      return false;
    }
  }
  *faults = f;
  return true;
}

bool kxemu_install(const kxemu_config_s *cfg, char *err, size_t len) {
  if (!cfg || cfg->boards == 0 || cfg->boards > KXEMU_MAX_BOARDS) {
    set_err(err, len, "no emulated board to install");
    return false;
  }
  std::vector<std::unique_ptr<board_s>> boards;
  for (uint32_t i = 0; i < cfg->boards; ++i) {
    auto b = std::make_unique<board_s>();
    b->device = cfg->device[i];
    b->revision = cfg->revision[i];
    if (!product_of(b->device, &b->product)) {
      set_err(err, len, "unknown emulated device");
      return false;
    }
    b->plugged = true;
    chip_power_on(*b);
    std::memset(b->chip.eeprom, 0xFF, sizeof b->chip.eeprom);
    std::memset(b->eeprom.mem, 0xFF, sizeof b->eeprom.mem);
    b->unplug_left = b->short_left = b->timeout_after_left = -1;
    boards.push_back(std::move(b));
  }
  if (emu().installed) kxemu_remove();
  int lock_fd = -1;
  if (cfg->state_path[0]) {
    if (!claim_state(cfg->state_path, &lock_fd, err, len)) return false;
    std::vector<kxemu_board_state_s> states(cfg->boards);
    for (uint32_t i = 0; i < cfg->boards; ++i) {
      states[i].device = boards[i]->device;
      states[i].revision = boards[i]->revision;
      states[i].regs = boards[i]->chip.regs;
      states[i].chip_eeprom = boards[i]->chip.eeprom;
      states[i].dsp_ram = boards[i]->chip.dsp;
      states[i].board_eeprom = boards[i]->eeprom.mem;
    }
    if (!kxemu_state_load(cfg->state_path, states.data(), cfg->boards, err, len)) {
      close(lock_fd);
      return false;
    }
  }
  emu_s &e = emu();
  e.boards = std::move(boards);
  e.cfg = *cfg;
  e.lock_fd = lock_fd;
  e.save_error.clear();
  e.dead.clear();
  e.snapshot.clear();
  e.installed = true;
  if (cfg->faults_on)
    for (uint32_t b = 0; b < cfg->boards; ++b) kxemu_faults_set(b, &cfg->faults);
  ft_backend_use(&kEmulator);
  return true;
}

bool kxemu_install_from_env(char *err, size_t len) {
  const char *devices = std::getenv("KOVA_EMULATED_BOARD");
  const char *state = std::getenv("KOVA_EMULATED_BOARD_STATE");
  const char *faults = std::getenv("KOVA_EMULATED_BOARD_FAULT");
  kxemu_config_s cfg{};
  if (state) std::snprintf(cfg.state_path, sizeof cfg.state_path, "%s", state);
  char text[256];
  if (faults && *faults) {
    if (!kxemu_faults_parse(faults, &cfg.faults, text, sizeof text)) {
      if (err && len) std::snprintf(err, len, "KOVA_EMULATED_BOARD_FAULT: %s", text);
      return false;
    }
    cfg.faults_on = true;
  }
  if (!kxemu_config_parse(devices, &cfg, text, sizeof text)) {
    if (err && len) std::snprintf(err, len, "KOVA_EMULATED_BOARD: %s", text);
    return false;
  }
  return kxemu_install(&cfg, err, len);
}

bool kxemu_remove(char *err, size_t len) {
  emu_s &e = emu();
  if (!e.installed) return true;
  if (e.cfg.state_path[0]) kxemu_state_save(nullptr, 0);
  const std::string failed = e.save_error;
  e.boards.clear();
  e.dead.clear();
  e.snapshot.clear();
  e.installed = false;
  if (e.lock_fd >= 0) close(e.lock_fd);
  e.lock_fd = -1;
  e.save_error.clear();
  ft_backend_use(nullptr);
  if (!failed.empty()) set_err(err, len, failed.c_str());
  return failed.empty();
}

bool kxemu_active() { return emu().installed && ft_backend_active() == &kEmulator; }
const ft_backend_s *kxemu_backend() { return &kEmulator; }

bool kxemu_state_save(char *err, size_t len) {
  emu_s &e = emu();
  if (!e.installed || !e.cfg.state_path[0]) {
    set_err(err, len, "no emulated board state file is set");
    return false;
  }
  std::vector<kxemu_board_state_s> states(e.boards.size());
  for (size_t i = 0; i < e.boards.size(); ++i) {
    board_s &b = *e.boards[i];
    states[i] = {b.device, b.revision, b.chip.regs, b.chip.eeprom, b.chip.dsp, b.eeprom.mem};
  }
  char text[1200];
  if (kxemu_state_write(e.cfg.state_path, states.data(), static_cast<uint32_t>(states.size()), text, sizeof text))
    return true;
  if (e.save_error.empty()) e.save_error = text;
  set_err(err, len, text);
  return false;
}

uint32_t kxemu_board_count() { return static_cast<uint32_t>(emu().boards.size()); }

void kxemu_faults_set(uint32_t board, const kxemu_faults_s *faults) {
  board_s *b = board_at(board);
  if (!b) return;
  b->faults = faults ? *faults : kxemu_faults_s{};
  b->unplug_left = b->faults.unplug_after;
  b->short_left = b->faults.short_write_after;
  b->timeout_after_left = b->faults.read_timeout_after;
  b->timeouts_left = b->faults.read_timeouts;
}

void kxemu_unplug(uint32_t board) {
  board_s *b = board_at(board);
  if (!b || !b->plugged) return;
  b->plugged = false;
  b->unplug_left = -1;
  for (uint32_t ch = 0; ch < 2; ++ch) {
    channel_s &c = b->ch[ch];
    if (ch == 0 && c.target != target_none_e) spi_end(*b, false);  // a frame cut off is not carried out
    channel_idle(*b, ch, false);
    if (c.handle) emu().dead.push_back(c.handle);
    c.handle = 0;
  }
}

void kxemu_replug(uint32_t board) {
  board_s *b = board_at(board);
  if (b) b->plugged = true;
}

bool kxemu_plugged(uint32_t board) {
  const board_s *b = board_at(board);
  return b && b->plugged;
}

uint8_t *kxemu_chip_regs(uint32_t board) { return board_at(board) ? board_at(board)->chip.regs : nullptr; }
uint8_t *kxemu_chip_eeprom(uint32_t board) { return board_at(board) ? board_at(board)->chip.eeprom : nullptr; }
uint32_t *kxemu_dsp_ram(uint32_t board) { return board_at(board) ? board_at(board)->chip.dsp : nullptr; }
uint8_t *kxemu_board_eeprom(uint32_t board) { return board_at(board) ? board_at(board)->eeprom.mem : nullptr; }

void kxemu_chip_reset(uint32_t board) {
  if (board_s *b = board_at(board)) chip_power_on(*b);
}

bool kxemu_pins(uint32_t board, uint32_t channel, kxemu_pins_s *pins) {
  const board_s *b = board_at(board);
  if (!b || channel > 1 || !pins) return false;
  const channel_s &c = b->ch[channel];
  *pins = {c.mpsse, c.lo_data, c.lo_dir, c.hi_data, c.hi_dir, c.lo_ext, c.hi_ext,
           c.divisor, c.div5, c.read_timeout_ms, c.latency_ms};
  return true;
}

void kxemu_gpio_inputs_set(uint32_t board, uint32_t channel, uint8_t hi_levels) {
  if (board_s *b = board_at(board); b && channel < 2) b->ch[channel].hi_ext = hi_levels;
}

void kxemu_wire_log_enable(bool on) { emu().wire_on = on; }

uint32_t kxemu_wire_count(uint32_t board, uint32_t channel) {
  const board_s *b = board_at(board);
  return b && channel < 2 ? static_cast<uint32_t>(b->ch[channel].wire.size()) : 0;
}

bool kxemu_wire_get(uint32_t board, uint32_t channel, uint32_t index, const uint8_t **bytes, uint32_t *n) {
  const board_s *b = board_at(board);
  if (!b || channel > 1 || index >= b->ch[channel].wire.size()) return false;
  *bytes = b->ch[channel].wire[index].data();
  *n = static_cast<uint32_t>(b->ch[channel].wire[index].size());
  return true;
}

void kxemu_wire_clear(uint32_t board) {
  if (board_s *b = board_at(board))
    for (auto &c : b->ch) c.wire.clear();
}

kxemu_stats_s kxemu_stats(uint32_t board) {
  const board_s *b = board_at(board);
  return b ? b->stats : kxemu_stats_s{};
}

void kxemu_stats_clear(uint32_t board) {
  if (board_s *b = board_at(board)) b->stats = kxemu_stats_s{};
}

uint64_t kxemu_clock_us() { return emu().clock_ns / 1000; }
