// The window a block of the diagram opens: every field of the configuration object that
// belongs to the block with its value, followed live by the status refresh.
#pragma once
#include <QTableWidget>
#include <QWidget>

#include "app/windows/session.h"

class BlockDetailsForm : public QWidget {
  Q_OBJECT
 public:
  BlockDetailsForm(KovaSession *session, int block, QWidget *parent = nullptr);
  void refresh();

 private:
  KovaSession *session_;
  int block_;
  QTableWidget *table_;
};
