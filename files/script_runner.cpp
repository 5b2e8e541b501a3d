#include "files/script_runner.h"

#include <cctype>
#include <cerrno>
#include <cstdio>

#include "files/image_files.h"
#include "files/mfg_script.h"
#include "files/register_dump.h"
#include "regs/seq.h"

namespace {

std::string trim(const std::string &s) {
  size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

std::vector<std::string> split(const std::string &s, char sep) {
  std::vector<std::string> out;
  size_t pos = 0;
  for (;;) {
    const size_t e = s.find(sep, pos);
    out.push_back(s.substr(pos, e == std::string::npos ? std::string::npos : e - pos));
    if (e == std::string::npos) return out;
    pos = e + 1;
  }
}

std::string fmt(const char *f, unsigned a, unsigned b = 0) {
  char buf[160];
  std::snprintf(buf, sizeof buf, f, a, b);
  return buf;
}

// A shown piece of a line, safe to print.
std::string shown(const std::string &s) {
  std::string out;
  for (char c : s.substr(0, 24)) out += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
  return s.size() > 24 ? out + "..." : out;
}

char kind_of(const std::string &trimmed) {
  if (trimmed.empty()) return 0;
  const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(trimmed[0])));
  return c == 'X' || c == 'W' || trimmed[0] == ';' ? c : 0;
}

// The command part of a line (before its comment), split at ",".
std::vector<std::string> command_pieces(const std::string &line) {
  return split(trim(line).substr(0, trim(line).find(';')), ',');
}

bool parse_write(const std::string &line, uint32_t *address, uint32_t *data, std::string *why) {
  const auto p = command_pieces(line);
  const std::string head = trim(p[0]);
  if (p.size() < 3 || (head != "X" && head != "x")) {
    *why = "a register write reads X , ADDRESS , DATA";
    return false;
  }
  if (p.size() > 3) {
    *why = "unexpected text after the data: '" + shown(trim(p[3])) + "'";
    return false;
  }
  uint32_t a = 0, d = 0;
  if (!HexStringToUint32(p[1], &a)) {
    *why = "address '" + shown(trim(p[1])) + "' is not a hexadecimal number";
    return false;
  }
  if (a > 0xFFFF) {
    *why = fmt("address 0x%X does not fit in 16 bits", a);
    return false;
  }
  if (!HexStringToUint32(p[2], &d)) {
    *why = "data '" + shown(trim(p[2])) + "' is not a hexadecimal number";
    return false;
  }
  if (d > 0xFF) {
    *why = fmt("data 0x%X does not fit in 8 bits", d);
    return false;
  }
  *address = a;
  *data = d;
  return true;
}

bool parse_wait(const std::string &line, uint32_t *wait, std::string *why) {
  const auto p = command_pieces(line);
  const std::string head = trim(p[0]);
  if (p.size() != 2 || (head != "W" && head != "w")) {
    *why = "a wait reads W , MICROSECONDS";
    return false;
  }
  const std::string n = trim(p[1]);
  size_t i = n.size() > 0 && n[0] == '+' ? 1 : 0;
  if (i >= n.size()) {
    *why = "the wait has no number";
    return false;
  }
  uint64_t v = 0;
  for (; i < n.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(n[i]))) {
      *why = "wait '" + shown(n) + "' is not a decimal number";
      return false;
    }
    v = v * 10 + static_cast<uint64_t>(n[i] - '0');
    if (v > 0xFFFFFFFFull) break;
  }
  if (v > 65535) {
    *why = "wait " + (v > 0xFFFFFFFFull ? shown(n) : std::to_string(v)) + " is beyond 65535 microseconds";
    return false;
  }
  *wait = static_cast<uint32_t>(v);
  return true;
}

void say(const script_target_s *t, const std::string &text, const std::string &title) {
  if (t && t->message) t->message(t->ctx, text, title);
}

bool text_empty(const script_runner_s *r) {
  for (const auto &l : r->lines)
    if (!trim(l).empty()) return false;
  return true;
}

bool contains(const std::string &s, const char *what) { return s.find(what) != std::string::npos; }

void dsp_clear(script_runner_s *r) {
  for (uint32_t &w : r->dsp_words) w = 0;
  r->dsp_count = r->dsp_bit = 0;
  r->dsp_addr = r->dsp_id = 0;
}

// One register write of the DSP section while a board is connected: buffered by its comment.
void dsp_line(script_runner_s *r, const script_target_s *t, const std::string &line, uint32_t data) {
  if (contains(line, "; DSP Addr 0X")) {
    if (r->dsp_count < KOVA_DSP_WORDS) r->dsp_words[r->dsp_count] |= (data & 0xFF) << r->dsp_bit;
    r->dsp_bit += 8;
    if (r->dsp_bit == 24) {
      const uint32_t w = r->dsp_count < KOVA_DSP_WORDS ? r->dsp_words[r->dsp_count] : 0;
      char buf[64];
      std::snprintf(buf, sizeof buf, "BUFFERING: DSP code word 0x%06X", w);
      r->log.push_back(buf);
      ++r->dsp_count;
      r->dsp_bit = 0;
    }
  } else if (contains(line, "; Set DSP RAM write address LSB")) {
    r->dsp_addr = static_cast<uint16_t>((r->dsp_addr & 0xFF00) | (data & 0xFF));
  } else if (contains(line, "; Set DSP RAM write address MSB")) {
    r->dsp_addr = static_cast<uint16_t>((r->dsp_addr & 0x00FF) | (data & 0xFF) << 8);
  } else if (contains(line, "; Write DSPID LSB")) {
    r->dsp_id = static_cast<uint16_t>((r->dsp_id & 0xFF00) | (data & 0xFF));
  } else if (contains(line, "; Write DSPID MSB")) {
    r->dsp_id = static_cast<uint16_t>((r->dsp_id & 0x00FF) | (data & 0xFF) << 8);
  }
  if (!contains(line, "; DSP Addr 0X13F Byte2")) return;
  // The last byte of word 319: the whole program goes to DSP RAM in one transfer.
  if (r->dsp_count != KOVA_DSP_WORDS)
    say(t, "Found " + std::to_string(r->dsp_count) + " codewords, expected " + std::to_string(KOVA_DSP_WORDS) + "!",
        "DUT Config Load Error");
  char buf[64];
  std::snprintf(buf, sizeof buf, "DSP write addr: 0x%04X", r->dsp_addr);
  r->log.push_back(buf);
  std::snprintf(buf, sizeof buf, "DSPID: 0x%04X", r->dsp_id);
  r->log.push_back(buf);
  const bool ok = t->write_dsp && t->write_dsp(t->ctx, r->dsp_addr, r->dsp_words, KOVA_DSP_WORDS, r->dsp_id);
  r->log.push_back(std::string("BATCH WRITING: DSP code") + (ok ? " PASSED" : " FAILED"));
}

}  // namespace

bool ScriptWriteCommandParse(const std::string &line, uint32_t *address, uint32_t *data) {
  std::string why;
  return parse_write(line, address, data, &why);
}

bool ScriptWaitCommandParse(const std::string &line, uint32_t *wait) {
  std::string why;
  return parse_wait(line, wait, &why);
}

bool script_check_line(const std::string &line, std::string *reason) {
  const std::string l = trim(line);
  uint32_t a, d;
  switch (kind_of(l)) {
    case 'X': return parse_write(l, &a, &d, reason);
    case 'W': return parse_wait(l, &a, reason);
    default: return true;
  }
}

void script_load_text(script_runner_s *r, const std::string &text) {
  r->lines.clear();
  r->errors.clear();
  r->marked_line = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t e = text.find('\n', pos);
    if (e == std::string::npos) e = text.size();
    std::string l = text.substr(pos, e - pos);
    if (!l.empty() && l.back() == '\r') l.pop_back();
    r->lines.push_back(std::move(l));
    pos = e + 1;
  }
}

bool script_load_file(script_runner_s *r, const std::string &path, file_message_s *msg) {
  if (path.empty()) {
    *msg = {"No DUT Config file specified.", "DUT Config Load"};
    return false;
  }
  std::string text, err;
  bool missing = false;
  if (!eeprom_file_load(path, &text, &missing, &err)) {
    *msg = {eeprom_file_load_failure(path, missing, err), "DUT Config Load"};
    return false;
  }
  r->file_name = path;
  r->log.clear();
  r->run_ok = false;
  script_load_text(r, text);
  *msg = {};
  return true;
}

bool script_validate(script_runner_s *r, const script_target_s *t) {
  r->errors.clear();
  r->marked_line = 0;
  r->run_ok = false;
  if (text_empty(r)) {
    say(t, "Empty Script", "Execute Script Error");
    return false;
  }
  for (size_t i = 0; i < r->lines.size(); ++i) {
    std::string why;
    if (script_check_line(r->lines[i], &why)) continue;
    const int32_t n = static_cast<int32_t>(i + 1);
    r->errors.push_back({n, why});
    r->log.push_back("VALIDATION: line " + std::to_string(n) + ": ERROR");
    if (r->marked_line == 0) {
      r->marked_line = n;
      say(t, "Command Validation FAILED (line: " + std::to_string(n) + ")", "Validate Script Error");
    }
  }
  if (!r->errors.empty()) {
    r->log.push_back("VALIDATION: Completed with ERRORS. Fix and Rerun");
    return false;
  }
  r->log.push_back("VALIDATION: Completed Successfully");
  r->run_ok = true;
  return true;
}

bool script_execute(script_runner_s *r, hal_api_s *hal, const script_target_s *t) {
  static const script_target_s offline{};
  if (!t) t = &offline;
  r->errors.clear();
  r->marked_line = 0;
  r->run_ok = false;
  if (text_empty(r)) {
    say(t, "Empty Script", "Execute Script Error");
    return false;
  }
  // Every command line is checked before anything is done: a script with a bad line runs
  // not at all, so that the object stays as it was and the chip is not left half written.
  for (size_t i = 0; i < r->lines.size(); ++i) {
    const std::string l = trim(r->lines[i]);
    const char kind = kind_of(l);
    uint32_t a = 0, d = 0;
    std::string why;
    if ((kind == 'X' && !parse_write(l, &a, &d, &why)) || (kind == 'W' && !parse_wait(l, &a, &why)))
      r->errors.push_back({static_cast<int32_t>(i + 1), why});
  }
  if (!r->errors.empty()) {
    r->marked_line = r->errors.front().line;
    return false;
  }
  const bool board = t->connected;

  if (r->reinit && board) {
    if (t->reset_chip && t->reset_chip(t->ctx)) r->log.push_back("EVAL Board Device Reset Successfully");
    else say(t, "Error Resetting EVAL Board Device", "Execute Script Error");
  }
  hal->init_api_mode_e = init_api_blank_e;
  init_api(hal);
  if (r->reinit && board && t->write_regs) {
    uint8_t image[KOVA_REG_COUNT];
    for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) image[a] = static_cast<uint8_t>(get_reg(hal, a));
    t->write_regs(t->ctx, 0, image, KOVA_REG_COUNT);
  }

  dsp_clear(r);
  bool dsp_mode = false;
  for (size_t i = 0; i < r->lines.size(); ++i) {
    const std::string l = trim(r->lines[i]);
    const char kind = kind_of(l);
    std::string why;
    if (kind == 'X') {
      uint32_t a = 0, d = 0;
      parse_write(l, &a, &d, &why);  // checked above
      if (dsp_mode) {
        dsp_line(r, t, l, d);
        continue;
      }
      put_reg(hal, a, d);
      std::string entry = fmt("WRITING: Address 0x%03X with Value 0x%02X", a, d);
      if (board) {
        entry += " PASSED";
        const uint8_t byte = static_cast<uint8_t>(d);
        if (t->write_regs) t->write_regs(t->ctx, a, &byte, 1);
      }
      r->log.push_back(entry);
    } else if (kind == 'W') {
      uint32_t w = 0;
      parse_wait(l, &w, &why);  // checked above
      r->log.push_back((w == 0 ? std::string("(No Wait)") : "(WAIT " + std::to_string(w) + " usec)") + " PASSED");
      if (t->app_log) t->app_log(t->ctx, "W , " + std::to_string(w), SCRIPT_LOG_REGWRITE);
      if (w / 1000 && t->sleep_ms) t->sleep_ms(t->ctx, w / 1000);
    } else if (kind == ';') {
      if (l == "; DSP Code segment start") {
        r->log.push_back("FOUND: DSP code start");
        // Offline the DSP section is run as ordinary writes into the register image.
        dsp_mode = board;
      } else if (l == "; DSP Code segment stop") {
        r->log.push_back("FOUND: DSP code end");
        dsp_mode = false;
      } else if (l == "; Register Sequences") {
        r->log.push_back("FOUND: register sequences");
        dsp_mode = false;
      } else {
        ScriptCommentLineParse(hal, l);
      }
    }
  }
  r->run_ok = true;
  return true;
}

bool script_inverse(script_runner_s *r, hal_api_s *hal, const script_target_s *t, int32_t (*inverse)(hal_api_s *)) {
  static const script_target_s offline{};
  if (!t) t = &offline;
  r->run_ok = false;
  r->log.push_back(" Perform Inverse Config ");
  if (t->connected) {
    uint8_t regs[KOVA_REG_COUNT];
    if (!t->read_regs || !t->read_regs(t->ctx, 0, regs, KOVA_REG_COUNT)) {
      r->log.push_back("Could not read the registers back from the chip");
      return false;
    }
    for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) put_reg(hal, a, regs[a]);
  }
  const fprec_s clocks[] = {hal->xa_freq_s,  hal->ic1_freq_s, hal->ic2_freq_s, hal->ic3_freq_s,
                            hal->oc1_freq_s, hal->oc2_freq_s, hal->oc3_freq_s};
  bool any = false;
  for (const auto &c : clocks) any = any || c.f != 0;
  if (!any && !(t->ask_known_frequency && t->ask_known_frequency(t->ctx, hal))) {
    r->log.push_back("Inverse configuration needs one known clock frequency");
    return false;
  }
  if (!inverse || inverse(hal) != 0) {
    r->log.push_back("Inverse configuration failed");
    return false;
  }
  hal->init_api_mode_e = init_api_after_inverse_e;
  init_api(hal);
  get_seq_s rec;
  get_seq(hal, get_seq_mark_written_e, &rec);
  r->run_ok = true;
  return true;
}

bool script_load_and_apply(script_runner_s *r, hal_api_s *hal, const script_target_s *t,
                           int32_t (*inverse)(hal_api_s *)) {
  const bool ok = script_validate(r, t) && script_execute(r, hal, t) && script_inverse(r, hal, t, inverse);
  say(t, ok ? "DUT Config file successfully loaded!" : "DUT Config file load failed!", "DUT Config Load");
  return ok;
}

bool script_save_file(hal_api_s *hal, const std::string &path, const char *gui_ver, file_message_s *msg) {
  int32_t code = 0;
  if (!mfg_save_file(hal, path.c_str(), gui_ver, &code, msg)) return false;
  *msg = {"DUT Config File successfully saved to: " + path, "Save DUT Config"};
  return true;
}
