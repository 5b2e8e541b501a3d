#include "files/mfg_script.h"

#include <cinttypes>
#include <cstring>
#include <ctime>

#include "files/atomic_file.h"
#include "files/register_dump.h"
#include "regs/regmap.h"
#include "regs/seq.h"

namespace {

const std::string kSep = ";" + std::string(70, '=');

void line(FILE *f, const char *text) { std::fprintf(f, "%s\n", text); }
void sep(FILE *f) { line(f, kSep.c_str()); }

void reg_write(FILE *f, uint32_t address, uint32_t data, const char *comment) {
  std::fprintf(f, "X , 0X%04X , 0X%02X ; %s\n", address, data & 0xFFu, comment);
}

// DSP RAM access through DPLLCR1 (mode) and DALGWR (data).
constexpr uint32_t kDpllcr1 = 0x040B;
constexpr uint32_t kDalgwr = 0x040E;

}  // namespace

std::string get_mytime() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[64];
  if (!asctime_r(&tm, buf)) return "";
  std::string s(buf);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

int32_t kova_hal_api_to_mfg(hal_api_s *hal, FILE *fpo, const char *gui_ver) {
  if (!fpo) return mfg_no_file_e;
  if (!hal) return mfg_no_device_e;
  char ver[64];
  std::snprintf(ver, sizeof ver, "%s", gui_ver ? gui_ver : "");

  sep(fpo);
  line(fpo, "; MFG Writer");
  sep(fpo);
  std::fprintf(fpo, "; Device Type : %d\n", hal->kova_device_e);
  std::fprintf(fpo, "; Device Rev : %d\n", hal->kova_device_rev_e);
  std::fprintf(fpo, "; GUI Version : %s\n", ver);
  std::fprintf(fpo, "; HAL Version : %08X\n", KOVA_MFG_HAL_VERSION);
  std::fprintf(fpo, "; File Generation Date : %s\n", get_mytime().c_str());
  sep(fpo);
  line(fpo, "");

  int32_t result = hal->kova_device_e == 0 ? mfg_no_device_e : 0;

  sep(fpo);
  line(fpo, "; This is an incremental configuration script.  It assumes all device");
  line(fpo, "; registers are in reset default state before the script is run.");
  line(fpo, "; Correct behavior cannot be guaranteed if the device is not in its");
  line(fpo, "; reset default state before this script is run.");
  sep(fpo);
  line(fpo, "; For proper device operation, all register write and wait commands in");
  line(fpo, "; this file must be performed in the sequence listed.");
  sep(fpo);
  line(fpo, "");

  sep(fpo);
  line(fpo, "; Configuration script commands");
  line(fpo, ";");
  line(fpo, ";  1.  Register Write Command:");
  line(fpo, ";");
  line(fpo, ";        X , <register_address> , <data_byte>");
  line(fpo, ";");
  line(fpo, ";        Both <register_address> and <data_byte> are in hexadecimal");
  line(fpo, ";        format and must have the \"0X\" prefix.");
  line(fpo, ";");
  line(fpo, ";  2.  Wait Command:");
  line(fpo, ";");
  line(fpo, ";        W , <time_microseconds>");
  line(fpo, ";");
  line(fpo, ";        The wait time is specified in microseconds.");
  sep(fpo);
  line(fpo, "");

  sep(fpo);
  line(fpo, "; The following lines are only for EVKIT GUI configuration:");
  sep(fpo);
  file_write_mode_and_frequencies(fpo, hal);
  sep(fpo);
  line(fpo, "");

  int count = 0;
  const uint32_t dsp_id = get_dsp_id_word16(hal);
  if (dsp_id != 0 && hal->kova_mode_e == kova_mode_ja_e) {
    sep(fpo);
    line(fpo, "; DSP Code segment start");
    sep(fpo);
    reg_write(fpo, kDpllcr1, 0x0C, "Set DSP RAM write address mode");
    reg_write(fpo, kDalgwr, 0x00, "Set DSP RAM write address LSB");
    reg_write(fpo, kDalgwr, 0x00, "Set DSP RAM write address MSB");
    reg_write(fpo, kDpllcr1, 0x0D, "Set DSP RAM write data mode");
    reg_write(fpo, kDalgwr, dsp_id & 0xFF, "Write DSPID LSB");
    reg_write(fpo, kDalgwr, dsp_id >> 8 & 0xFF, "Write DSPID MSB");
    uint32_t sum = 0;
    char comment[40];
    for (uint32_t i = 0; i < KOVA_DSP_WORDS; ++i) {
      const uint32_t w = get_dsp_algo_word24(hal, i);
      sum += w;
      for (uint32_t b = 0; b < 3; ++b) {
        std::snprintf(comment, sizeof comment, "DSP Addr 0X%03X Byte%u", i, b);
        reg_write(fpo, kDalgwr, w >> (8 * b) & 0xFF, comment);
      }
    }
    reg_write(fpo, kDpllcr1, 0x00, "Set DSP RAM reset mode");
    if (sum == 0) result += mfg_dsp_zero_e;
    count = 967;
    sep(fpo);
    line(fpo, "; DSP Code segment stop");
    sep(fpo);
    line(fpo, "");
  }

  sep(fpo);
  line(fpo, "; Register Sequences");
  sep(fpo);
  result += mfg_no_writes_e;
  get_seq_s rec;
  bool first = true;
  while (get_seq(hal, get_seq_changes_e, &rec)) {
    if (first) result -= mfg_no_writes_e;
    first = false;
    const char *name = kova_reg_name(rec.address);
    reg_write(fpo, rec.address, rec.value, name ? name : "(unnamed register)");
    ++count;
    if (rec.wait) std::fprintf(fpo, "W , %u\n", rec.wait * 1000u);
  }

  line(fpo, "");
  sep(fpo);
  std::fprintf(fpo, "; Performed %d register writes\n", count);
  line(fpo, "; End of MFG");
  sep(fpo);
  return result;
}

bool mfg_save_file(hal_api_s *hal, const char *path, const char *gui_ver, int32_t *code, file_message_s *msg) {
  const char *title = "Save DUT Config";
  *code = 0;
  if (!path || !*path) {
    *msg = {};
    return false;
  }
  if (std::strlen(path) >= KOVA_PATH_MAX) {
    *msg = {"File name length too long.", title};
    return false;
  }
  get_seq_s rec;
  get_seq(hal, get_seq_chip_reset_e, &rec);
  atomic_file_s f;
  std::string err;
  if (!atomic_open(&f, path, &err)) {
    *msg = {"Error saving DUT Config file!\n" + err, "File Error"};
    return false;
  }
  *code = kova_hal_api_to_mfg(hal, f.fp, gui_ver);
  if (!atomic_commit(&f, &err)) {
    *msg = {"Error saving DUT Config file!\n" + err, "File Error"};
    return false;
  }
  if (*code == 0) {
    *msg = {"DUT Config file successfully saved.", title};
  } else {
    char text[64];
    std::snprintf(text, sizeof text, "MFG file save error code 0x%02X", static_cast<unsigned>(*code));
    *msg = {text, title};
  }
  return true;
}
