// The connection window's logic: the USB connection log, the board list built from the
// driver's channels, and connecting to a listed board.
#include <sys/time.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "board/kxkovaio.h"
#include "board/kxkovaio_internal.h"

void kxKovaIo_UsbLogOpen(kxKovaIo_UsbLogS *log) {
  if (!log) return;
  log->count = 0;
  kxKovaIo_UsbLogAdd(log, "Form opened");
}

void kxKovaIo_UsbLogAdd(kxKovaIo_UsbLogS *log, const char *text) {
  if (!log || !text) return;
  if (log->count == KXKOVAIO_LOG_LINES) {
    std::memmove(log->lines[0], log->lines[1], (KXKOVAIO_LOG_LINES - 1) * sizeof log->lines[0]);
    --log->count;
  }
  timeval tv{};
  gettimeofday(&tv, nullptr);
  tm local{};
  localtime_r(&tv.tv_sec, &local);
  std::snprintf(log->lines[log->count], KXKOVAIO_LOG_LEN, "%02d:%02d:%02d.%03d: %s", local.tm_hour, local.tm_min,
                local.tm_sec, static_cast<int>(tv.tv_usec / 1000), text);
  ++log->count;
}

bool kxKovaIo_UsbLogSave(const kxKovaIo_UsbLogS *log, const char *path) {
  if (!log || !path) {
    errno = EINVAL;
    return false;
  }
  FILE *f = std::fopen(path, "w");
  if (!f) return false;
  bool ok = true;
  for (uint32_t i = 0; i < log->count && ok; ++i) ok = std::fprintf(f, "%s\n", log->lines[i]) >= 0;
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

namespace {

void logf(kxKovaIo_UsbLogS *log, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
void logf(kxKovaIo_UsbLogS *log, const char *fmt, ...) {
  if (!log) return;
  char text[KXKOVAIO_LOG_LEN];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);
  kxKovaIo_UsbLogAdd(log, text);
}

bool ends_with(const char *s, char c) {
  const size_t n = std::strlen(s);
  return n && s[n - 1] == c;
}

}  // namespace

uint32_t kxKovaIo_BoardListRefresh(kxKovaIo_BoardListS *list, const kxKovaIo_HandleS *connected,
                                   kxKovaIo_UsbLogS *log) {
  if (!list) return 1;
  std::memset(list, 0, sizeof *list);
  list->selected = -1;
  for (auto &e : list->boardInfo) e.chanB = KXKOVAIO_NO_CHANNEL;
  uint32_t n = 0;
  if (kxKovaIo_ChannelCount(&n)) {
    logf(log, "Board query: ERROR(%u)", kxKovaIo_UsbError());
    return 1;
  }
  logf(log, "Board query: %u FTDI channels found", n);
  uint32_t nextB = 0;
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t flags = 0, type = 0, id = 0, loc = 0;
    char serial[FT_SERIAL_LEN] = "", desc[FT_DESC_LEN] = "";
    FT_HANDLE h = 0;
    const FT_STATUS st = FT_GetDeviceInfoDetail(i, &flags, &type, &id, &loc, serial, desc, &h);
    if (st != FT_OK) {
      logf(log, "Channel %u information unavailable (FT_Error 0x%02X).", i, st);
      continue;
    }
    if (type != FT_DEVICE_2232H) {
      logf(log, "Channel %u unavailable (devType: %u)", i, type);
      continue;
    }
    if (ends_with(desc, 'A') || ends_with(serial, 'A')) {
      logf(log, "Channel %u: FT2232 A Channel", i);
      if (list->count == KXKOVAIO_BOARDS) {
        logf(log, "Channel %u: board list full, channel not listed", i);
        continue;
      }
      kxKovaIo_BoardEntryS &e = list->boardInfo[list->count];
      e.chanA = i;
      std::snprintf(e.descA, sizeof e.descA, "%s", desc);
      e.locIdA = loc;
      std::snprintf(list->lines[list->count], KXKOVAIO_LINE_LEN, "%u: %s", i, desc);
      ++list->count;
      list->connectEnabled = true;
    } else if (ends_with(desc, 'B') || ends_with(serial, 'B')) {
      logf(log, "Channel %u: FT2232 B Channel", i);
      if (loc != 0) {
        for (uint32_t k = 0; k < list->count; ++k)
          if (list->boardInfo[k].locIdA == loc - 1) list->boardInfo[k].chanB = i;
      } else if (nextB < KXKOVAIO_BOARDS) {
        list->boardInfo[nextB++].chanB = i;
      }
    } else {
      logf(log, "Unrecognized devDesc: %s", desc);
    }
  }
  if (connected && connected->chA.handle && connected->chB.handle) {
    for (uint32_t i = 0; i < n; ++i) {
      uint32_t loc = 0;
      FT_HANDLE h = 0;
      if (FT_GetDeviceInfoDetail(i, nullptr, nullptr, nullptr, &loc, nullptr, nullptr, &h) != FT_OK ||
          h != connected->chA.handle)
        continue;
      for (uint32_t k = 0; k < list->count; ++k)
        if (list->boardInfo[k].locIdA == loc) list->selected = static_cast<int32_t>(k);
      break;
    }
  } else if (list->count > 0) {
    list->selected = 0;
  }
  return 0;
}

uint32_t kxKovaIo_BoardConnect(kxKovaIo_BoardListS *list, kxKovaIo_HandleS *evalHandle, bool externalDut,
                               kxKovaIo_UsbLogS *log) {
  if (!list || list->selected < 0 || static_cast<uint32_t>(list->selected) >= list->count) {
    kx_msg("Connect", "No eval board selected!");
    return 1;
  }
  if (!evalHandle) {
    FT_ERRNO = FT_INVALID_HANDLE;
    return 1;
  }
  const kxKovaIo_BoardEntryS entry = list->boardInfo[list->selected];
  // A half-open board is closed too: otherwise its open channel would refuse every
  // later connect with "already open".
  if (evalHandle->chA.handle || evalHandle->chB.handle) {
    kxKovaIo_EvalBoardClose(evalHandle);
    kxKovaIo_BoardListRefresh(list, evalHandle, log);
  }
  if (kxKovaIo_EvalBoardOpen(entry.chanA, entry.chanB, evalHandle)) {
    kx_msg("Connect", "Failed connecting to selected eval board: Error code 0x%02X", kxKovaIo_UsbError());
    return 1;
  }
  const FT_STATUS st = externalDut ? kxkovaio_SelectFtdi2Eeprom(evalHandle) : kxkovaio_SelectFtdi2Dut(evalHandle);
  if (st != FT_OK) {
    FT_ERRNO = st;
    return 1;
  }
  return 0;
}
