#include "app/eeprom_program.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr uint32_t kReadChunk = 256;  // bytes per read between two progress reports

std::string ft_error_text() {
  char b[48];
  std::snprintf(b, sizeof b, "FT Error 0x%02X", kxKovaIo_UsbError());
  const std::string transfer = kxKovaIo_TransferError();
  return b + (transfer.empty() ? "" : " (" + transfer + ")");
}

// The board I/O's own messages (busy EEPROM, short writes, routing), one per line.
std::string board_messages() {
  std::string out;
  kxKovaIo_MessageS m;
  while (kxKovaIo_MessageGet(&m)) out += std::string("\n") + m.title + ": " + m.text;
  return out;
}

bool keep_going(const eeprom_progress_fn &progress, uint32_t done, uint32_t total) {
  return !progress || progress(done, total);
}

}  // namespace

bool eeprom_product_uses_board(int32_t product_index) { return product_index == 0 || product_index == 2; }
bool eeprom_product_reserve(int32_t product_index) { return !eeprom_product_uses_board(product_index); }

eeprom_result_s eeprom_write_bytes(const eeprom_io_s &io, const uint8_t *data, uint32_t n,
                                   const eeprom_progress_fn &progress) {
  eeprom_result_s r;
  const uint32_t page = io.target == eeprom_target_chip_e ? KX_CHIP_EEPROM_PAGE : io.page_size;
  if (!io.board || !data || n == 0 || page == 0) {
    r.msg = {"Error writing image to EEPROM.", "EEPROM Write Error"};
    return r;
  }
  kxKovaIo_MessagesClear();
  kxKovaIo_TransferErrorSet("");
  if (!keep_going(progress, 0, n)) {
    r.status = eeprom_cancelled_e;
    r.msg = {"EEPROM write cancelled; nothing was written.", "EEPROM Image Write"};
    return r;
  }
  for (uint32_t p = 0; p < n;) {
    // One page at a time, never across a page boundary.
    const uint32_t k = std::min(page - p % page, n - p);
    const uint32_t failed = io.target == eeprom_target_chip_e
                                ? kxKovaIo_DutEepromWrite(io.board, p, k, data + p)
                                : kxKovaIo_EvalBrdEepromWrite(io.board, p, k, data + p, page);
    if (failed) {
      r.bytes_done = p;
      r.msg = {"Error writing image to EEPROM.\n" + ft_error_text() + " at address " + std::to_string(p) +
                   board_messages(),
               "EEPROM Write Error"};
      return r;
    }
    p += k;
    r.bytes_done = p;
    if (p < n && !keep_going(progress, p, n)) {
      r.status = eeprom_cancelled_e;
      r.msg = {"EEPROM write cancelled after " + std::to_string(p) + " of " + std::to_string(n) +
                   " bytes; the EEPROM holds a partial image.",
               "EEPROM Image Write"};
      return r;
    }
  }
  keep_going(progress, n, n);
  r.status = eeprom_done_e;
  r.msg = {std::to_string(n) + " bytes written to EEPROM.", "EEPROM Image Write"};
  return r;
}

eeprom_result_s eeprom_read_bytes(const eeprom_io_s &io, uint8_t *data, uint32_t n, const eeprom_progress_fn &progress) {
  eeprom_result_s r;
  r.status = eeprom_unreadable_e;
  if (!io.board || !data || n == 0) {
    r.msg = {"Cannot read EEPROM: " + ft_error_text(), "EEPROM Read Error!"};
    return r;
  }
  kxKovaIo_MessagesClear();
  kxKovaIo_TransferErrorSet("");
  for (uint32_t p = 0; p < n;) {
    if (!keep_going(progress, p, n)) {
      r.status = eeprom_cancelled_e;
      r.msg = {"EEPROM read cancelled after " + std::to_string(p) + " of " + std::to_string(n) + " bytes.",
               "EEPROM Read"};
      return r;
    }
    const uint32_t k = std::min(kReadChunk, n - p);
    const uint32_t failed = io.target == eeprom_target_chip_e ? kxKovaIo_DutEepromRead(io.board, p, k, data + p)
                                                              : kxKovaIo_EvalBrdEepromRead(io.board, p, k, data + p);
    if (failed) {
      r.msg = {"Cannot read EEPROM: " + ft_error_text() + board_messages(), "EEPROM Read Error!"};
      return r;
    }
    p += k;
    r.bytes_done = p;
  }
  keep_going(progress, n, n);
  r.status = eeprom_done_e;
  return r;
}

eeprom_result_s eeprom_program_file(const eeprom_io_s &io, const std::string &path, const eeprom_ask_fn_t &ask,
                                    const eeprom_progress_fn &progress) {
  eeprom_result_s r;
  eeprom_image_read_s img;
  struct ask_ctx_s {
    const eeprom_ask_fn_t *ask;
  } ctx{&ask};
  const eeprom_ask_fn ask_c = [](void *c, const std::string &text, const std::string &title) {
    const eeprom_ask_fn_t *a = static_cast<ask_ctx_s *>(c)->ask;
    return *a ? (*a)(text, title) : false;
  };
  eeprom_image_read_for_write(path, io.ee_size, io.reserve12, ask_c, &ctx, &img, io.force);
  if (img.status == eeprom_read_declined_e) {
    r.status = eeprom_declined_e;
    return r;
  }
  if (img.status != eeprom_read_ok_e) {
    r.msg = img.msg;
    return r;
  }
  const uint32_t n = static_cast<uint32_t>(img.bytes.size());
  r = eeprom_write_bytes(io, img.bytes.data(), n, progress);
  if (r.status != eeprom_done_e) return r;
  const file_message_s written = r.msg;
  std::vector<uint8_t> found(n);
  r = eeprom_read_bytes(io, found.data(), n, nullptr);  // a few reads: no second progress bar
  if (r.status != eeprom_done_e) {
    r.msg.text = "Written, but the read-back failed: " + r.msg.text;
    return r;
  }
  r.compare = eeprom_compare(img.bytes.data(), found.data(), n);
  if (r.compare.differ_count) {
    char b[200];
    std::snprintf(b, sizeof b,
                  "EEPROM write failed: the read-back differs at address 0x%04X (written 0x%02X, read 0x%02X); "
                  "%u bytes differ.",
                  r.compare.first_addr, r.compare.expected, r.compare.found, r.compare.differ_count);
    r.status = eeprom_differs_e;
    r.msg = {b, "EEPROM Write Error"};
    return r;
  }
  r.msg = {written.text + " Read back and compared.", written.title};
  return r;
}

eeprom_result_s eeprom_dump_file(const eeprom_io_s &io, const std::string &path, const eeprom_progress_fn &progress) {
  eeprom_result_s r;
  if (path.empty()) {
    r.msg = {"No EEPROM memory dump file specified!", "EEPROM Dump Error"};
    return r;
  }
  if (io.ee_size <= 0 || io.ee_size > KOVA_EEPROM_MAX) {
    r.msg = {"Error: Specified EEPROM size exceeds maximum value.", "EEPROM Dump Error"};
    return r;
  }
  std::vector<uint8_t> data(static_cast<size_t>(io.ee_size));
  r = eeprom_read_bytes(io, data.data(), static_cast<uint32_t>(data.size()), progress);
  if (r.status != eeprom_done_e) return r;
  const char *part = io.target == eeprom_target_chip_e ? io.part_number.c_str() : nullptr;
  if (!eeprom_dump_file_write(path, data.data(), static_cast<uint32_t>(data.size()), io.reserve12, part, &r.msg))
    r.status = eeprom_failed_e;
  return r;
}

eeprom_result_s eeprom_verify_file(const eeprom_io_s &io, const std::string &path, const eeprom_progress_fn &progress) {
  eeprom_result_s r;
  eeprom_file_data_s file;
  if (!eeprom_image_read_for_verify(path, io.ee_size, io.reserve12, &file, &r.msg)) return r;
  std::vector<uint8_t> found(file.bytes.size());
  r = eeprom_read_bytes(io, found.data(), static_cast<uint32_t>(found.size()), progress);
  if (r.status != eeprom_done_e) return r;
  r.compare = eeprom_compare(file.bytes.data(), found.data(), static_cast<uint32_t>(found.size()));
  if (r.compare.differ_count) {
    char b[160];
    std::snprintf(b, sizeof b, "\nFirst difference at address 0x%04X: expected 0x%02X, found 0x%02X; %u bytes differ.",
                  r.compare.first_addr, r.compare.expected, r.compare.found, r.compare.differ_count);
    r.status = eeprom_differs_e;
    r.msg = {"Error: Data mismatch between EEPROM and " + path + " at line " +
                 std::to_string(file.byte_line[r.compare.first_addr]) + b,
             "EEPROM Verification Error"};
    return r;
  }
  r.status = eeprom_done_e;
  r.msg = {"Verified " + std::to_string(file.data_lines) + " data lines of " + path, "EEPROM Verified"};
  return r;
}
