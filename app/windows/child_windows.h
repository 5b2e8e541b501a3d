// The child windows the main window opens by name (the class name of each window). Every
// window here takes the session and its parent; the main window shows each at most once.
#pragma once
#include <QString>

class KovaSession;
class QWidget;

// A new window of the given class name, or nullptr when no window has that name.
// Windows that show one of several inputs or outputs have a slot selectChannel(int) (0 to 2):
// the main window calls it with the block the user clicked.
QWidget *make_child_window(const QString &name, KovaSession *session, QWidget *parent);
