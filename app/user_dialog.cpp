#include "app/user_dialog.h"

#include <cstdio>

namespace {

// Prints "title: text" on standard error, one line per line of text; questions are
// answered no, so nothing irreversible happens without a front end that can ask.
struct stderr_dialog_s final : user_dialog_s {
  void message(const std::string &text, const std::string &title) override {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  }
  bool ask_yes_no(const std::string &text, const std::string &title) override {
    std::fprintf(stderr, "%s: %s (answered no)\n", title.c_str(), text.c_str());
    return false;
  }
};

stderr_dialog_s g_default;
user_dialog_s *g_dialog = &g_default;

}  // namespace

user_dialog_s &app_dialog() { return *g_dialog; }
void app_set_dialog(user_dialog_s *dialog) { g_dialog = dialog ? dialog : &g_default; }
void MessageError(const std::string &error, const std::string &caption) { app_dialog().message(error, caption); }
