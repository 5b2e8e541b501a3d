// kovacfg eeprom: EEPROM boot images: build one from configuration scripts, show what an
// image does, and write, read (dump) and verify the boot EEPROM of a board.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/board_session.h"
#include "app/device_settings.h"
#include "app/eeprom_program.h"
#include "cli/commands.h"
#include "files/eeprom_decode.h"
#include "files/eeprom_image.h"
#include "files/image_files.h"

namespace {

// Exit statuses of the board commands beyond the common ones.
constexpr int kExitDiffers = 3;     // verify: the EEPROM holds other data than the image
constexpr int kExitUnreadable = 4;  // the board or its EEPROM could not be reached or read

const char *const kStatusHelp =
    "Exit status: 0 done, 1 failed (a bad image file, a write error or a read-back that differs, not confirmed "
    "or cancelled), "
    "2 bad options, 3 verify: the EEPROM contents differ from the image, "
    "4 the board or its EEPROM could not be reached or read.";

volatile std::sig_atomic_t g_interrupted = 0;
void on_interrupt(int) { g_interrupted = 1; }

// A progress bar on standard error when it is a terminal; Ctrl-C cancels between pages.
struct progress_s {
  const char *what;
  bool tty = isatty(STDERR_FILENO) != 0;
  bool shown = false;
  void (*previous)(int) = nullptr;

  explicit progress_s(const char *w) : what(w) {
    g_interrupted = 0;
    previous = std::signal(SIGINT, on_interrupt);
  }
  ~progress_s() {
    finish();
    std::signal(SIGINT, previous);
  }
  bool operator()(uint32_t done, uint32_t total) {
    if (tty && total) {
      const int width = 40, filled = static_cast<int>(static_cast<uint64_t>(done) * width / total);
      std::fprintf(stderr, "\r%s [%s%s] %u/%u bytes", what, std::string(filled, '#').c_str(),
                   std::string(width - filled, '.').c_str(), done, total);
      std::fflush(stderr);
      shown = true;
    }
    return !g_interrupted;
  }
  void finish() {
    if (shown) std::fprintf(stderr, "\n");
    shown = false;
  }
};

int format_of(const std::string &name) {
  if (name == "bytes") return kova_ee_file_bytes_e;
  if (name == "hex") return kova_ee_file_hex_e;
  if (name == "rec") return kova_ee_file_srec_e;
  return -1;
}
const char *format_name(int32_t type) {
  return type == kova_ee_file_hex_e ? "hex" : type == kova_ee_file_srec_e ? "rec" : "bytes";
}

bool size_ok(int size) { return size == 2048 || size == 4096 || size == 8192; }

// ---------------------------------------------------------------------------------------
// build

struct build_opts_s {
  std::vector<std::string> scripts;
  std::string out;
  std::string format;
  int size = 2048;
  int spi_mhz = 5;
  bool no_reserve = false;
};

int run_build(const build_opts_s &o) {
  int32_t type = eeprom_file_type_from_name(o.out);
  if (!o.format.empty()) {
    const int want = format_of(o.format);
    if (want != type)
      return cli_bad_options("--format " + o.format + ": the output " + o.out + " would be read back as " +
                             format_name(type) + " (name it .hex for hex, .rec for rec, anything else for bytes)");
  }
  if (!size_ok(o.size)) return cli_bad_options("--size: 2048, 4096 or 8192, not " + std::to_string(o.size));
  uint32_t period = 0;
  switch (o.spi_mhz) {
    case 1: period = 1000; break;
    case 2: period = 500; break;
    case 5: period = 200; break;
    case 10: period = 100; break;
    default: return cli_bad_options("--spi-clock: 1, 2, 5 or 10 (MHz), not " + std::to_string(o.spi_mhz));
  }
  if (o.scripts.size() > KOVA_EEPROM_BRANCHES) return cli_bad_options("SCRIPT: at most four scripts (branches 0 to 3)");
  kova_eeprom_create_s c;
  const bool written = kova_eeprom_create_file(o.scripts, o.out, period, o.size, o.no_reserve ? 0 : 1, &c, type);
  if (!written) {
    std::fprintf(stderr, "kovacfg: %s\n", c.text.c_str());
    return kExitEngineError;
  }
  std::printf("%s\n", c.text.c_str());
  std::printf("Wrote %s (%s): %d image bytes of %d usable\n", o.out.c_str(), format_name(type), c.image_len,
              c.usable_size);
  return kExitOk;
}

// ---------------------------------------------------------------------------------------
// show

int run_show(const std::string &path) {
  std::string text, err;
  bool missing = false;
  if (!eeprom_file_load(path, &text, &missing, &err)) {
    std::fprintf(stderr, "kovacfg: %s\n", eeprom_file_load_failure(path, missing, err).c_str());
    return kExitEngineError;
  }
  eeprom_file_data_s data;
  if (!eeprom_file_parse(text, eeprom_file_type_from_name(path), &data)) {
    std::fprintf(stderr, "kovacfg: Error in %s at line %d: %s\n", path.c_str(), data.error_line, data.error.c_str());
    return kExitEngineError;
  }
  eeprom_decoded_s d;
  const bool sound = eeprom_image_decode(data.bytes.data(), data.bytes.size(), &d);
  std::printf("%s: %zu data bytes\n%s", path.c_str(), data.bytes.size(), eeprom_decode_listing(d).c_str());
  return sound ? kExitOk : kExitEngineError;
}

// ---------------------------------------------------------------------------------------
// write, read, verify

struct board_opts_s {
  board_session_opts_s session;
  CLI::Option *emulator = nullptr;
  std::string target = "auto";
  int size = 2048;
  int page = 32;
  std::string reserve = "auto";
  bool yes = false;
  bool force = false;
};

void add_board_options(CLI::App *cmd, board_opts_s *o) {
  // A flag, so that it never takes the next argument: devices go with "=".
  o->emulator = cmd->add_flag("--emulator{}", o->session.emulator_devices,
                              "Use emulated boards instead of the USB; --emulator=DEVICES names them, such as 40000 "
                              "or 40110,40112:0 (default: KOVA_EMULATED_BOARD, else 40089); KOVA_EMULATED_BOARD_STATE "
                              "names a file that keeps their memories between runs");
  cmd->add_option("--board", o->session.board, "The board to use: list index, serial or USB location (default: the first)");
  cmd->add_option("--target", o->target,
                  "EEPROM: chip (the chip's own), board (the board EEPROM), or auto (by the product)")
      ->capture_default_str();
  cmd->add_option("--size", o->size, "EEPROM size in bytes: 2048, 4096 or 8192")->capture_default_str();
  cmd->add_option("--page", o->page, "Board EEPROM page size: 16, 32, 64 or 256")->capture_default_str();
  cmd->add_option("--reserve", o->reserve,
                  "Last 12 bytes reserved for factory test: yes, no, or auto (by the product)")
      ->capture_default_str();
}

// Checks the options, connects and fills the EEPROM access; returns the exit status on
// failure (-1 when connected).
int connect(board_opts_s o, board_session_s *s, eeprom_io_s *io) {
  o.session.emulator = o.emulator && o.emulator->count() > 0;
  if (o.target != "auto" && o.target != "chip" && o.target != "board")
    return cli_bad_options("--target: chip, board or auto, not " + o.target);
  if (o.reserve != "auto" && o.reserve != "yes" && o.reserve != "no")
    return cli_bad_options("--reserve: yes, no or auto, not " + o.reserve);
  if (!size_ok(o.size)) return cli_bad_options("--size: 2048, 4096 or 8192, not " + std::to_string(o.size));
  if (o.page != 16 && o.page != 32 && o.page != 64 && o.page != 256)
    return cli_bad_options("--page: 16, 32, 64 or 256, not " + std::to_string(o.page));
  std::string err;
  if (!board_session_open(o.session, s, &err)) {
    if (s->failure == board_session_bad_option_e) return cli_bad_options(err);
    std::fprintf(stderr, "kovacfg: %s\n", err.c_str());
    return kExitUnreadable;
  }
  io->board = &s->handle;
  const bool board = o.target == "auto" ? eeprom_product_uses_board(s->product_index) : o.target == "board";
  io->target = board ? eeprom_target_board_e : eeprom_target_chip_e;
  io->reserve12 = o.reserve == "auto" ? eeprom_product_reserve(s->product_index) : o.reserve == "yes";
  io->ee_size = o.size;
  io->force = o.force;
  io->page_size = static_cast<uint32_t>(o.page);
  if (s->product_index >= 0 && s->product_index < KOVA_PRODUCT_COUNT)
    io->part_number = __dev_DeviceIdStr[s->product_index];
  return -1;
}

int report(const eeprom_result_s &r, bool verify) {
  if (!r.msg.text.empty()) std::fprintf(r.status == eeprom_done_e ? stdout : stderr, "%s\n", r.msg.text.c_str());
  switch (r.status) {
    case eeprom_done_e: return kExitOk;
    case eeprom_differs_e: return verify ? kExitDiffers : kExitEngineError;
    case eeprom_unreadable_e: return kExitUnreadable;
    case eeprom_declined_e:
      std::fprintf(stderr, "kovacfg: not programmed\n");
      return kExitEngineError;
    default: return kExitEngineError;
  }
}

enum class board_cmd { write, read, verify };

int run_board(board_cmd cmd, const board_opts_s &o, const std::string &file) {
  board_session_s s;
  eeprom_io_s io;
  if (const int st = connect(o, &s, &io); st >= 0) return st;
  std::printf("Board %s: %s revision %d, %s EEPROM, %d bytes%s\n", o.session.board.empty() ? "0" : o.session.board.c_str(),
              io.part_number.c_str(), s.revision,
              io.target == eeprom_target_chip_e ? "chip" : "board", io.ee_size,
              io.reserve12 ? ", last 12 reserved" : "");
  eeprom_result_s r;
  {
    progress_s bar(cmd == board_cmd::write ? "Writing EEPROM" : "Reading EEPROM");
    auto progress = [&bar](uint32_t d, uint32_t t) { return bar(d, t); };
    if (cmd == board_cmd::write) {
      const bool yes = o.yes;
      r = eeprom_program_file(io, file, [&](const std::string &text, const std::string &title) {
        bar.finish();
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
        if (yes) return true;
        if (!isatty(STDIN_FILENO)) {
          std::fprintf(stderr, "(answered no: pass --yes to agree)\n");
          return false;
        }
        std::fprintf(stderr, "[y/N] ");
        char line[16] = "";
        return std::fgets(line, sizeof line, stdin) && (line[0] == 'y' || line[0] == 'Y');
      }, progress);
    } else if (cmd == board_cmd::read) {
      r = eeprom_dump_file(io, file, progress);
    } else {
      r = eeprom_verify_file(io, file, progress);
    }
  }
  // The emulated board keeps what was written only once its state file is saved.
  std::string close_error;
  const bool closed = board_session_close(&s, &close_error);
  const int status = report(r, cmd == board_cmd::verify);
  if (closed || status != kExitOk) return status;
  std::fprintf(stderr, "kovacfg: %s\n", close_error.c_str());
  return kExitEngineError;
}

void add_eeprom(CLI::App &app, int *exit_status) {
  CLI::App *ee = app.add_subcommand("eeprom", "EEPROM boot images: build, show, write, read and verify");
  ee->require_subcommand(1);

  static build_opts_s b;
  CLI::App *build = ee->add_subcommand(
      "build", "Build a boot image from one to four configuration scripts (branches 0 to 3, in order). "
               "An image with errors is not written; every bad script line is listed as FILE:LINE: reason. "
               "Exit status: 0 built, 1 not written (errors listed), 2 bad options.");
  build->add_option("script", b.scripts, "Configuration scripts (.mfg)")->required()->expected(1, 4);
  build->add_option("-o,--output", b.out, "Image file: .hex Intel HEX, .rec S-record, anything else a byte list")
      ->required();
  build->add_option("--format", b.format, "bytes, hex or rec: must agree with the output name")
      ->check(CLI::IsMember({"bytes", "hex", "rec"}));
  build->add_option("--size", b.size, "EEPROM size in bytes: 2048, 4096 or 8192")->capture_default_str();
  build->add_option("--spi-clock", b.spi_mhz, "EEPROM SPI clock in MHz: 1, 2, 5 or 10")->capture_default_str();
  build->add_flag("--no-reserve", b.no_reserve, "Use the last 12 bytes too (products booting from the board EEPROM)");
  build->callback([exit_status] { *exit_status = run_build(b); });

  static std::string show_path;
  CLI::App *show = ee->add_subcommand(
      "show", "List what an image does: each branch's register writes and waits, and the DSP code. "
              "Exit status: 0 a sound image, 1 an unreadable file or a damaged image (listed), 2 bad options.");
  show->add_option("image", show_path, "Image or dump file (.hex, .rec or byte list)")->required();
  show->callback([exit_status] { *exit_status = run_show(show_path); });

  static board_opts_s wo, ro, vo;
  static std::string wfile, rfile, vfile;
  CLI::App *w = ee->add_subcommand("write", std::string("Program an image file into the boot EEPROM. ") + kStatusHelp);
  w->add_option("image", wfile, "Image file")->required();
  add_board_options(w, &wo);
  w->add_flag("--yes", wo.yes, "Agree to program an image that reaches into the reserved bytes without them");
  w->add_flag("--force", wo.force, "Program an image that is not sound (its checksum wrong, changed after it was built)");
  w->callback([exit_status] { *exit_status = run_board(board_cmd::write, wo, wfile); });

  CLI::App *r = ee->add_subcommand("read", std::string("Dump the boot EEPROM to a file. ") + kStatusHelp);
  r->add_option("output", rfile, "Dump file: .hex Intel HEX, .rec S-record, anything else a byte list")->required();
  add_board_options(r, &ro);
  r->callback([exit_status] { *exit_status = run_board(board_cmd::read, ro, rfile); });

  CLI::App *v = ee->add_subcommand("verify", std::string("Compare the boot EEPROM with an image file. ") + kStatusHelp);
  v->add_option("image", vfile, "Image or dump file")->required();
  add_board_options(v, &vo);
  v->callback([exit_status] { *exit_status = run_board(board_cmd::verify, vo, vfile); });
}

}  // namespace

KOVACFG_COMMAND(add_eeprom, 60);
