// The user's messages and questions as modal message boxes.
#pragma once
#include <QWidget>

#include "app/user_dialog.h"

struct qt_user_dialog_s : user_dialog_s {
  QWidget *parent = nullptr;
  void message(const std::string &text, const std::string &title) override;
  bool ask_yes_no(const std::string &text, const std::string &title) override;
};
