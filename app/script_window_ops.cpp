#include "app/script_window_ops.h"

#include <cstdio>

#include "app/device_settings.h"
#include "app/user_dialog.h"
#include "files/atomic_file.h"

namespace {

script_window_ctx_s *of(void *c) { return static_cast<script_window_ctx_s *>(c); }

}  // namespace

script_target_s script_window_target(script_window_ctx_s *ctx) {
  script_target_s t;
  t.ctx = ctx;
  t.connected = ctx->state && main_connected(ctx->state) && ctx->board.connected;
  if (t.connected) {
    t.reset_chip = [](void *c) { return of(c)->board.reset_chip(of(c)->board.ctx); };
    t.write_regs = [](void *c, uint32_t a, const uint8_t *d, uint32_t n) {
      return of(c)->board.write_regs(of(c)->board.ctx, a, d, n);
    };
    t.read_regs = [](void *c, uint32_t a, uint8_t *d, uint32_t n) {
      return of(c)->board.read_regs(of(c)->board.ctx, a, d, n);
    };
    t.write_dsp = [](void *c, uint32_t addr, const uint32_t *w, uint32_t n, uint32_t id) {
      return of(c)->board.write_dsp(of(c)->board.ctx, addr, w, n, id);
    };
  }
  t.sleep_ms = [](void *, uint32_t ms) { kxKovaIo_Sleep(ms); };
  t.app_log = [](void *c, const std::string &line, uint32_t module) {
    GuiLogMessage(of(c)->state->gui, line.c_str(), module);
  };
  t.message = [](void *, const std::string &text, const std::string &title) { MessageError(text, title); };
  t.ask_known_frequency = [](void *c, hal_api_s *hal) {
    return of(c)->known_frequency ? of(c)->known_frequency(hal) : false;
  };
  return t;
}

bool script_window_validate(script_window_ctx_s *ctx, script_runner_s *r) {
  const script_target_s t = script_window_target(ctx);
  return script_validate(r, &t);
}

bool script_window_execute(script_window_ctx_s *ctx, script_runner_s *r) {
  main_timer_pause_s pause(ctx->state->ui);
  const script_target_s t = script_window_target(ctx);
  if (!script_execute(r, &ctx->state->hal, &t)) return false;
  main_adopt_object(ctx->state);
  return true;
}

bool script_window_inverse(script_window_ctx_s *ctx, script_runner_s *r) {
  main_timer_pause_s pause(ctx->state->ui);
  main_state_s *s = ctx->state;
  const script_target_s t = script_window_target(ctx);
  const bool derived = script_inverse(r, &s->hal, &t);
  // The engine's messages of the inverse configuration and the re-initialisation.
  const bool clean = HalUtil_GetMessage(s->gui, &s->hal, kova_log_init_e);
  if (!derived || !clean) {
    r->run_ok = false;
    return false;
  }
  main_adopt_object(s);
  s->hal_status = true;
  s->gui->halConfigured = 1;
  return true;
}

bool script_window_load_and_apply(script_window_ctx_s *ctx, script_runner_s *r) {
  main_state_s *s = ctx->state;
  main_kept_hal_s kept(s->hal);
  const int32_t kept_product = s->gui->devicePartNumber, kept_revision = s->gui->deviceRevision;
  __dev_InputClockConfigS kept_inputs[3];
  for (int i = 0; i < 3; ++i) kept_inputs[i] = s->gui->inputClock[i];
  const bool ok =
      script_window_validate(ctx, r) && script_window_execute(ctx, r) && script_window_inverse(ctx, r);
  if (!ok) {
    // A run that could not be turned into a configuration does not replace the one the user
    // had (the chip, when connected, keeps what the script wrote to it).
    copy_api(&s->hal, &kept.hal);
    s->gui->devicePartNumber = kept_product;
    s->gui->deviceRevision = kept_revision;
    for (int i = 0; i < 3; ++i) s->gui->inputClock[i] = kept_inputs[i];
  }
  MessageError(ok ? "DUT Config file successfully loaded!" : "DUT Config file load failed!", "DUT Config Load");
  return ok;
}

bool script_log_save(const std::string &path, const std::vector<std::string> &lines, file_message_s *msg) {
  atomic_file_s f;
  std::string err;
  if (!atomic_open(&f, path.c_str(), &err)) {
    *msg = {"Could not save the run log to " + path + "\n" + err, "File Error"};
    return false;
  }
  for (const auto &l : lines) std::fprintf(f.fp, "%s\n", l.c_str());
  if (!atomic_commit(&f, &err)) {
    *msg = {"Could not save the run log to " + path + "\n" + err, "File Error"};
    return false;
  }
  *msg = {"Run log saved to " + path, "Save Run Log"};
  return true;
}
