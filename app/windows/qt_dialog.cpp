#include "app/windows/qt_dialog.h"

#include <QMessageBox>

void qt_user_dialog_s::message(const std::string &text, const std::string &title) {
  const bool error = text.find("ERROR") != std::string::npos || text.find("Error") != std::string::npos;
  QMessageBox box(error ? QMessageBox::Warning : QMessageBox::Information, QString::fromStdString(title),
                  QString::fromStdString(text), QMessageBox::Ok, parent);
  box.exec();
}

bool qt_user_dialog_s::ask_yes_no(const std::string &text, const std::string &title) {
  return QMessageBox::question(parent, QString::fromStdString(title), QString::fromStdString(text),
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}
