// Every message the shell shows the user (a text and a title) and every question it asks
// goes through this one interface: the windows implement it with dialogs, the command line
// with printed lines and flags. The shell core never opens a dialog of its own.
#pragma once
#include <string>

struct user_dialog_s {
  virtual ~user_dialog_s() = default;
  // An information or error message with its window title.
  virtual void message(const std::string &text, const std::string &title) = 0;
  // A yes/no question; the answer.
  virtual bool ask_yes_no(const std::string &text, const std::string &title) = 0;
};

// The dialog in use (by default one that prints to standard error and answers no).
user_dialog_s &app_dialog();
// Installs a dialog; null restores the default. The caller keeps ownership.
void app_set_dialog(user_dialog_s *dialog);

// Shows a message through the dialog in use.
void MessageError(const std::string &error, const std::string &caption);
