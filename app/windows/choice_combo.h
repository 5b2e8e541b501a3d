// A choice list of the shell core shown in a combo box: each entry's carried value rides in
// the item's user data, so a window stores the value, never the row.
#pragma once
#include <QComboBox>
#include <QSignalBlocker>

#include "app/choice_texts.h"

// Replaces the box's entries with the list's and selects the list's selection; no change
// signal is emitted.
inline void choice_combo_load(QComboBox *box, const choice_list_s &list) {
  const QSignalBlocker block(box);
  box->clear();
  for (const auto &item : list.items) box->addItem(QString::fromStdString(item.text), item.value);
  box->setCurrentIndex(list.selected);
}

// The carried value of the selection; fallback when nothing is selected.
inline int32_t choice_combo_value(const QComboBox *box, int32_t fallback = -1) {
  const int i = box->currentIndex();
  return i < 0 ? fallback : box->itemData(i).toInt();
}

// Selects the entry carrying value (no change signal); false when none carries it.
inline bool choice_combo_select_value(QComboBox *box, int32_t value) {
  const int i = box->findData(value);
  if (i < 0) return false;
  const QSignalBlocker block(box);
  box->setCurrentIndex(i);
  return true;
}
