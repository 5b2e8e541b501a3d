#include "app/windows/block_details_window.h"

#include <QHeaderView>
#include <QVBoxLayout>

#include "app/main_view.h"
#include "hal/hal_fields.h"

BlockDetailsForm::BlockDetailsForm(KovaSession *session, int block, QWidget *parent)
    : QWidget(parent), session_(session), block_(block) {
  const main_block_view_s v = main_block_view(session->hal(), block);
  setObjectName("Block" + QString::fromStdString(v.title));
  setWindowTitle(tr("%1 Settings").arg(QString::fromStdString(v.title)));
  auto *box = new QVBoxLayout(this);
  table_ = new QTableWidget(this);
  table_->setObjectName("blockFields");
  table_->setColumnCount(2);
  table_->setHorizontalHeaderLabels({tr("Field"), tr("Value")});
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setStretchLastSection(true);
  box->addWidget(table_);
  resize(560, 520);
  connect(session, &KovaSession::configurationChanged, this, &BlockDetailsForm::refresh);
  connect(session, &KovaSession::statusRefreshed, this, &BlockDetailsForm::refresh);
  refresh();
}

void BlockDetailsForm::refresh() {
  const std::vector<const hal_field_s *> fields = main_block_fields(block_);
  table_->setRowCount(static_cast<int>(fields.size()));
  for (size_t i = 0; i < fields.size(); ++i) {
    const int r = static_cast<int>(i);
    if (!table_->item(r, 0)) table_->setItem(r, 0, new QTableWidgetItem(QString(fields[i]->name)));
    const QString value = QString::fromStdString(main_field_text(session_->hal(), fields[i]));
    if (QTableWidgetItem *it = table_->item(r, 1)) {
      it->setText(value);
    } else {
      table_->setItem(r, 1, new QTableWidgetItem(value));
    }
  }
}
