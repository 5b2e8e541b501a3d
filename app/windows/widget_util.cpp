#include "app/windows/widget_util.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

QString ask_file_name(QWidget *parent, bool save, const QString &title, const QString &filter, const QString &dirKey,
                      const QString &name) {
  QSettings settings;
  QFileDialog dlg(parent, title, settings.value(dirKey).toString(), filter);
  dlg.setObjectName("fileDialog");
  dlg.setOption(QFileDialog::DontUseNativeDialog, true);
  dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!name.isEmpty()) dlg.selectFile(name);
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
  const QString path = dlg.selectedFiles().front();
  settings.setValue(dirKey, QFileInfo(path).absolutePath());
  return path;
}
