// kovacfg inverse: the configuration a register image programs. Reads the image (2048
// hexadecimal bytes, the "registers" array of `kovacfg plan --json`, or a register dump),
// takes one known clock frequency, rebuilds the configuration (init_api mode 1, inverse_cfg,
// init_api mode 2) and prints it.
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/inverse_report.h"
#include "cli/report.h"
#include "files/register_dump.h"
#include "hal/hal_fields.h"
#include "regs/inverse_cfg.h"

namespace {

struct inverse_opts_s {
  std::string image;
  std::vector<std::string> known;
  std::string device;
  int rev = -1;
  bool json = false;
};

std::string trim(const std::string &s) {
  const size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

// One register byte written in hexadecimal, with or without 0x.
bool parse_hex_byte(std::string t, uint32_t *out) {
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t = t.substr(2);
  if (t.empty() || t.size() > 2) return false;
  for (char c : t)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  *out = static_cast<uint32_t>(std::stoul(t, nullptr, 16));
  return true;
}

// The device and revision a JSON file states in its own fields (plan --json writes them);
// 0 and -1 when it states none.
struct stated_id_s {
  int32_t device = 0;
  int rev = -1;
};

bool load_json(const std::string &text, std::vector<uint32_t> *bytes, stated_id_s *id, std::string *why) {
  nlohmann::json j;
  try {
    j = nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception &) {
    *why = "not valid JSON";
    return false;
  }
  if (j.is_object() && j.contains("fields") && j["fields"].is_object()) {
    const auto &f = j["fields"];
    const auto device = f.find("kova_device_e"), rev = f.find("kova_device_rev_e");
    if (device != f.end() && device->is_number_integer()) {
      const int64_t d = device->get<int64_t>();
      if (d > 0 && d <= 99999 && kova_device_valid(static_cast<int32_t>(d))) id->device = static_cast<int32_t>(d);
    }
    if (rev != f.end() && rev->is_number_integer() && (rev->get<int64_t>() == 0 || rev->get<int64_t>() == 1))
      id->rev = static_cast<int>(rev->get<int64_t>());
  }
  if (j.is_object()) {
    if (!j.contains("registers")) {
      *why = "the JSON object has no \"registers\" array";
      return false;
    }
    j = j["registers"];
  }
  if (!j.is_array() || j.size() != KOVA_REG_COUNT) {
    *why = "\"registers\" must be an array of " + std::to_string(KOVA_REG_COUNT) + " bytes";
    return false;
  }
  for (size_t i = 0; i < j.size(); ++i) {
    uint32_t v = 0;
    const auto &e = j[i];
    const bool ok = (e.is_number_unsigned() && e.get<uint64_t>() <= 255 && ((v = e.get<uint32_t>()), true)) ||
                    (e.is_string() && parse_hex_byte(e.get<std::string>(), &v));
    if (!ok) {
      *why = "register " + std::to_string(i) + " is not a byte";
      return false;
    }
    bytes->push_back(v);
  }
  return true;
}

bool load_plain(const std::string &text, std::vector<uint32_t> *bytes, std::string *why) {
  std::string t = text;
  for (char &c : t)
    if (c == ',') c = ' ';
  std::istringstream in(t);
  std::string tok;
  while (in >> tok) {
    uint32_t v = 0;
    if (!parse_hex_byte(tok, &v)) {
      *why = "\"" + tok + "\" is not a hexadecimal byte";
      return false;
    }
    bytes->push_back(v);
  }
  if (bytes->size() != KOVA_REG_COUNT) {
    *why = "expected " + std::to_string(KOVA_REG_COUNT) + " hexadecimal bytes, found " + std::to_string(bytes->size());
    return false;
  }
  return true;
}

// A register dump has comment lines (";") and rows that begin with their address ("0100:").
bool looks_like_dump(const std::string &text) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const std::string l = trim(line);
    if (l.empty()) continue;
    if (l[0] == ';') return true;
    const size_t sp = l.find_first_of(" \t");
    if (l.substr(0, sp).back() == ':') return true;
  }
  return false;
}

// Loads the image into the blank object. False with *why (naming the file) when it cannot.
bool load_image(const std::string &path, hal_api_s *hal, stated_id_s *id, std::string *why) {
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    *why = path + ": cannot read the file";
    return false;
  }
  std::stringstream ss;
  ss << f.rdbuf();
  const std::string text = ss.str();
  const std::string t = trim(text);
  std::vector<uint32_t> bytes;
  std::string reason;
  if (!t.empty() && (t[0] == '{' || t[0] == '[')) {
    if (!load_json(text, &bytes, id, &reason)) {
      *why = path + ": " + reason;
      return false;
    }
  } else if (looks_like_dump(text)) {
    std::vector<uint32_t> dsp;
    file_message_s msg;
    if (!register_dump_load(hal, path.c_str(), &dsp, &msg)) {
      *why = path + ": " + (msg.text.empty() ? std::string("not a register dump") : msg.text);
      return false;
    }
    return true;
  } else if (!load_plain(text, &bytes, &reason)) {
    *why = path + ": " + reason;
    return false;
  }
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) put_reg(hal, a, bytes[a]);
  return true;
}

bool parse_device(const std::string &text, int32_t *device) {
  std::string t = cli_upper(text);
  if (t.rfind("KX", 0) == 0) t = t.substr(2);
  if (t.empty() || t.size() > 5 || t.find_first_not_of("0123456789") != std::string::npos) return false;
  const int32_t v = std::stoi(t);
  if (!kova_device_valid(v)) return false;
  *device = v;
  return true;
}

int run_inverse(const inverse_opts_s &o) {
  hal_api_s hal{};
  hal.init_api_mode_e = init_api_blank_e;
  init_api(&hal);
  std::string why;
  int32_t device = 0;
  if (!o.device.empty() && !parse_device(o.device, &device)) why = "--device: unknown device \"" + o.device + "\"";
  if (why.empty() && o.rev != -1 && o.rev != 0 && o.rev != 1)
    why = "--rev: revision must be 0 or 1, not " + std::to_string(o.rev);
  // The options first, then the file; the known frequencies go in after the image, whose
  // comments (a dump's) may state frequencies of their own.
  hal_api_s options{};
  for (size_t i = 0; why.empty() && i < o.known.size(); ++i) cli_apply_known(o.known[i], &options, &why);
  stated_id_s stated;
  if (why.empty()) load_image(o.image, &hal, &stated, &why);
  for (size_t i = 0; why.empty() && i < o.known.size(); ++i) cli_apply_known(o.known[i], &hal, &why);
  if (!why.empty()) {
    delete_api(&hal);
    return cli_bad_options(why);
  }
  // The options first, then what the file states of itself, then the ID registers.
  if (device == 0) device = stated.device;
  const int rev = o.rev != -1 ? o.rev : stated.rev;
  if (device != 0) hal.kova_device_e = device;
  // The revision lives in the low four bits of ID2, as a chip holds it.
  if (rev != -1) put_reg(&hal, 0x031, (get_reg(&hal, 0x031) & 0xF0u) | static_cast<uint32_t>(rev));

  const int status = cli_derive_and_report(&hal, o.json, o.known.empty());
  delete_api(&hal);
  return status;
}

void add_inverse(CLI::App &app, int *exit_status) {
  static inverse_opts_s opts;
  CLI::App *cmd = app.add_subcommand(
      "inverse", "Derive the configuration a register image programs, from one known clock frequency");
  cmd->add_option("image", opts.image,
                  "Register image: 2048 hexadecimal bytes, the JSON of `kovacfg plan --json` (its \"registers\"), "
                  "or a register dump")
      ->required();
  cmd->add_option("--known", opts.known,
                  kKnownHelp);
  cmd->add_option("--device", opts.device,
                  "Device, when neither the file's fields (plan --json) nor the ID registers name it (KX40000)");
  cmd->add_option("--rev", opts.rev,
                  "Device revision, when neither the file's fields (plan --json) nor ID2 (0x031) hold it");
  cmd->add_flag("--json", opts.json, "Print one JSON object: ok, messages, fields and hz");
  cmd->callback([exit_status] { *exit_status = run_inverse(opts); });
}

}  // namespace

KOVACFG_COMMAND(add_inverse, 40);
