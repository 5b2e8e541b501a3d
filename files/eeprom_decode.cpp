#include "files/eeprom_decode.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "regs/regmap.h"

namespace {

constexpr uint32_t kDpllcr1 = 0x040B, kDalgwr = 0x040E;

std::string fmt(const char *f, ...) __attribute__((format(printf, 1, 2)));
std::string fmt(const char *f, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, f);
  std::vsnprintf(buf, sizeof buf, f, ap);
  va_end(ap);
  return buf;
}

// Decodes the records of one section from offset up to limit (exclusive). The common code
// ends with 0xFF 0xFF, a branch with 0xFF.
void decode_section(const uint8_t *img, uint32_t offset, uint32_t limit, bool common, const char *name,
                    eeprom_section_s *sec, std::vector<std::string> *errors) {
  sec->present = true;
  sec->offset = offset;
  uint32_t p = offset;
  while (p < limit) {
    const uint8_t b0 = img[p];
    if (b0 == 0xFF) {
      if (!common) {
        sec->length = p + 1 - offset;
        return;
      }
      if (p + 1 < limit && img[p + 1] == 0xFF) {
        sec->length = p + 2 - offset;
        return;
      }
      errors->push_back(fmt("%s: 0xFF at 0x%04X is not followed by the second 0xFF of the end marker", name, p));
      return;
    }
    eeprom_op_s op;
    op.offset = p;
    const uint32_t kind = b0 >> 6;
    if (kind == 3) {
      if (b0 > 0xDF) {
        errors->push_back(fmt("%s: unknown record 0x%02X at 0x%04X", name, b0, p));
        return;
      }
      op.kind = eeprom_op_wait_e;
      op.wait_code = b0 & 0x1F;
      sec->ops.push_back(op);
      p += 1;
      continue;
    }
    if (p + 3 > limit) break;
    op.address = static_cast<uint32_t>(b0 & 0x3F) << 8 | img[p + 1];
    if (kind == 0) {
      op.kind = eeprom_op_write_e;
      op.data.push_back(img[p + 2]);
      sec->ops.push_back(op);
      p += 3;
      continue;
    }
    const uint32_t count = img[p + 2] + 1u;
    const uint32_t n = kind == 1 ? count : 3 * count;
    if (p + 3 + n > limit) {
      errors->push_back(fmt("%s: the %s at 0x%04X with %u data bytes runs past the end of the image", name,
                            kind == 1 ? "burst" : "repeated write", p, n));
      return;
    }
    op.kind = kind == 1 ? eeprom_op_burst_e : eeprom_op_repeat_e;
    op.data.assign(img + p + 3, img + p + 3 + n);
    sec->ops.push_back(op);
    p += 3 + n;
  }
  errors->push_back(fmt("%s: no end marker before the end of the image (0x%04X)", name, limit));
}

std::string reg_label(uint32_t address) {
  const char *name = kova_reg_name(address);
  return name ? std::string(" (") + name + ")" : std::string();
}

std::string data_bytes(const std::vector<uint8_t> &d, size_t first, size_t n) {
  std::string s;
  for (size_t k = first; k < first + n && k < d.size(); ++k) s += fmt(" %02X", d[k]);
  return s;
}

}  // namespace

bool eeprom_image_decode(const uint8_t *img, size_t n, eeprom_decoded_s *out) {
  *out = eeprom_decoded_s{};
  auto &errors = out->errors;
  if (!img || n < 18) {
    errors.push_back(fmt("%zu bytes are too few for an EEPROM image", img ? n : 0));
    return false;
  }
  if (img[0] != 0x01) errors.push_back(fmt("byte 0 is 0x%02X, not 0x01: not an EEPROM boot image", img[0]));
  if (img[2] != 0x00 || img[5] != 0x40 || img[6] != 0x01 || img[7] != 0x07)
    errors.push_back(fmt("preamble bytes 2, 5, 6, 7 are %02X %02X %02X %02X, not 00 40 01 07", img[2], img[5], img[6],
                         img[7]));
  out->size_code = img[1] & 0x03;
  out->clock_q = img[1] >> 2;
  out->length = static_cast<uint32_t>(img[3]) << 8 | img[4];
  for (int b = 0; b < KOVA_EEPROM_BRANCHES; ++b)
    out->branch_offset[b] = static_cast<uint16_t>(img[8 + 2 * b] | img[9 + 2 * b] << 8);

  uint32_t limit = out->length;
  if (out->length < 18) {
    errors.push_back(fmt("image length %u is shorter than the preamble and its end marker", out->length));
  } else if (out->length >= n) {
    errors.push_back(fmt("image length %u and its checksum do not fit in the %zu bytes given", out->length, n));
    limit = static_cast<uint32_t>(n);
  } else {
    uint32_t sum = 0;
    for (uint32_t p = 0; p <= out->length; ++p) sum += img[p];
    out->checksum = img[out->length];
    out->checksum_ok = (sum & 0xFF) == 0;
    if (!out->checksum_ok) {
      uint32_t body = 0;
      for (uint32_t p = 0; p < out->length; ++p) body += img[p];
      errors.push_back(fmt("checksum 0x%02X at 0x%04X is wrong (0x%02X expected)", out->checksum, out->length,
                           -body & 0xFF));
    }
  }

  if (limit > 17) {
    if (img[16] == 0xFF && img[17] == 0xFF) {
      out->common.offset = 16;
      out->common.length = 2;
    } else {
      decode_section(img, 16, limit, true, "common code", &out->common, &errors);
    }
  }
  for (int b = 0; b < KOVA_EEPROM_BRANCHES; ++b) {
    const uint32_t off = out->branch_offset[b];
    if (off == 0) continue;
    const std::string name = "branch " + std::to_string(b);
    if (off < 18 || off >= limit) {
      errors.push_back(fmt("%s starts at 0x%04X, outside the code area", name.c_str(), off));
      continue;
    }
    decode_section(img, off, limit, false, name.c_str(), &out->branch[b], &errors);
  }
  return errors.empty();
}

eeprom_dsp_s eeprom_dsp_extract(const eeprom_section_s &common) {
  eeprom_dsp_s dsp;
  uint32_t mode = 0;
  std::vector<uint8_t> address, stream;
  for (const auto &op : common.ops) {
    if (op.kind == eeprom_op_wait_e) continue;
    for (size_t k = 0; k < op.data.size(); ++k) {
      const uint32_t reg = op.kind == eeprom_op_burst_e ? op.address + static_cast<uint32_t>(k) : op.address;
      const uint8_t v = op.data[k];
      if (reg == kDpllcr1) {
        mode = v;
        if (v == 0x0C) address.clear();
      } else if (reg == kDalgwr) {
        if (mode == 0x0C) address.push_back(v);
        else if (mode == 0x0D) stream.push_back(v), dsp.present = true;
      }
    }
  }
  if (!dsp.present) return dsp;
  dsp.start = static_cast<uint16_t>((address.size() > 0 ? address[0] : 0) | (address.size() > 1 ? address[1] << 8 : 0));
  size_t p = 0;
  if (dsp.start == 0 && stream.size() >= 2) {
    dsp.id = static_cast<uint16_t>(stream[0] | stream[1] << 8);
    p = 2;
  }
  for (; p + 3 <= stream.size(); p += 3)
    dsp.words.push_back(stream[p] | static_cast<uint32_t>(stream[p + 1]) << 8 | static_cast<uint32_t>(stream[p + 2]) << 16);
  dsp.extra_bytes = static_cast<uint32_t>(stream.size() - p);
  return dsp;
}

std::vector<eeprom_boot_step_s> eeprom_boot_steps(const eeprom_decoded_s &d, int branch) {
  std::vector<eeprom_boot_step_s> steps;
  auto add = [&](const eeprom_section_s &sec) {
    for (const auto &op : sec.ops) {
      if (op.kind == eeprom_op_wait_e) {
        steps.push_back({true, 0, 0, op.wait_code});
        continue;
      }
      for (size_t k = 0; k < op.data.size(); ++k) {
        const uint32_t reg = op.kind == eeprom_op_burst_e ? op.address + static_cast<uint32_t>(k) : op.address;
        steps.push_back({false, reg, op.data[k], 0});
      }
    }
  };
  add(d.common);
  if (branch >= 0 && branch < KOVA_EEPROM_BRANCHES) add(d.branch[branch]);
  return steps;
}

double eeprom_wait_ns(uint32_t wait_code) { return std::ldexp(KOVA_EEPROM_SYSCLK_NS, static_cast<int>(wait_code)); }

std::string eeprom_decode_listing(const eeprom_decoded_s &d) {
  static const char *const kSizes[4] = {"unknown", "2 kbyte", "4 kbyte", "8 kbyte"};
  std::string t;
  t += fmt("EEPROM image: %u bytes and the checksum; EEPROM size code %u (%s); SPI clock field %u (0x%02X)\n",
           d.length, d.size_code, kSizes[d.size_code & 3], d.clock_q, d.clock_q << 2);
  t += fmt("Checksum: 0x%02X, %s\n", d.checksum, d.checksum_ok ? "correct" : "WRONG");
  t += "Branch offsets:";
  for (int b = 0; b < KOVA_EEPROM_BRANCHES; ++b)
    t += d.branch_offset[b] ? fmt(" %d: 0x%04X", b, d.branch_offset[b]) : fmt(" %d: none", b);
  t += "\n";

  auto section = [&](const eeprom_section_s &sec) {
    for (const auto &op : sec.ops) {
      switch (op.kind) {
        case eeprom_op_write_e:
          t += fmt("  0x%04X  write  0x%03X = 0x%02X%s\n", op.offset, op.address, op.data[0], reg_label(op.address).c_str());
          break;
        case eeprom_op_burst_e:
          t += fmt("  0x%04X  burst  0x%03X..0x%03X, %zu bytes%s:\n", op.offset, op.address,
                   op.address + static_cast<uint32_t>(op.data.size()) - 1, op.data.size(), reg_label(op.address).c_str());
          for (size_t k = 0; k < op.data.size(); k += 16) t += "         " + data_bytes(op.data, k, 16) + "\n";
          break;
        case eeprom_op_repeat_e:
          t += fmt("  0x%04X  repeat 0x%03X <- %zu bytes%s\n", op.offset, op.address, op.data.size(),
                   reg_label(op.address).c_str());
          break;
        case eeprom_op_wait_e:
          t += fmt("  0x%04X  wait   code %u: at least %.3f us\n", op.offset, op.wait_code,
                   eeprom_wait_ns(op.wait_code) / 1000.0);
          break;
      }
    }
  };

  if (d.common.ops.empty()) {
    t += "\nCommon code: none (no DSP code)\n";
  } else {
    t += fmt("\nCommon code at 0x%04X, %u bytes:\n", d.common.offset, d.common.length);
    section(d.common);
    const eeprom_dsp_s dsp = eeprom_dsp_extract(d.common);
    if (dsp.present) {
      t += fmt("DSP program: start address 0x%04X, identifier 0x%04X, %zu words", dsp.start, dsp.id, dsp.words.size());
      if (dsp.extra_bytes) t += fmt(" and %u more bytes", dsp.extra_bytes);
      t += "\n";
      for (size_t w = 0; w < dsp.words.size(); w += 8) {
        t += fmt("  %03zX:", w);
        for (size_t k = w; k < w + 8 && k < dsp.words.size(); ++k) t += fmt(" %06X", dsp.words[k]);
        t += "\n";
      }
    }
  }
  for (int b = 0; b < KOVA_EEPROM_BRANCHES; ++b) {
    const eeprom_section_s &sec = d.branch[b];
    if (!sec.present) {
      t += fmt("\nBranch %d: no code\n", b);
      continue;
    }
    size_t writes = 0, waits = 0;
    for (const auto &op : sec.ops) (op.kind == eeprom_op_wait_e ? waits : writes) += op.kind == eeprom_op_wait_e ? 1 : op.data.size();
    t += fmt("\nBranch %d at 0x%04X, %u bytes: %zu register writes, %zu waits\n", b, sec.offset, sec.length, writes,
             waits);
    section(sec);
  }
  if (!d.errors.empty()) {
    t += "\nErrors:\n";
    for (const auto &e : d.errors) t += "  " + e + "\n";
  }
  return t;
}
