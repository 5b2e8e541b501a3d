// Small pieces every window uses: text conversion, a named button, a file message shown to
// the user, and the file dialog that remembers its folder.
#pragma once
#include <QPushButton>
#include <QString>
#include <string>

#include "app/user_dialog.h"
#include "files/hal_config_file.h"

inline QString q(const std::string &s) { return QString::fromStdString(s); }

// A button with the object name the tests and the settings find it by.
inline QPushButton *named_button(const QString &text, const char *name, QWidget *parent) {
  auto *b = new QPushButton(text, parent);
  b->setObjectName(name);
  return b;
}

// Shows a file operation's message, when it has one.
inline void show_file_message(const file_message_s &m) {
  if (!m.text.empty()) MessageError(m.text, m.title);
}

// Asks for a file to open (an existing one) or to save; starts in the folder last used under
// dirKey and remembers the chosen file's folder there. Empty when cancelled.
QString ask_file_name(QWidget *parent, bool save, const QString &title, const QString &filter, const QString &dirKey,
                      const QString &name = {});
