// Set-up shared by the tests of the output windows: a KX40112 in synthesis (XA 50 MHz,
// OC1 156.25 MHz, OC2 125 MHz, OC3 100 MHz or unused) running on the emulated board, and the
// user's actions on a window's widgets.
#pragma once
#include <QComboBox>
#include <QLineEdit>
#include <QtTest/QTest>

#include "../app/synthesis_config.h"
#include "app/windows/session.h"
#include "gui_test_support.h"

inline void start_synthesis_on_board(KovaSession *session, bool oc3) {
  hal_api_s *h = session->hal();
  configure_synthesis(h, oc3);
  uint32_t n = 0;
  ASSERT_EQ(kxKovaIo_ChannelCount(&n), 0u);
  ASSERT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &session->gui()->ioHandle), 0u);
  ASSERT_EQ(kxkovaio_SelectFtdi2Dut(&session->gui()->ioHandle), FT_OK);
  ASSERT_TRUE(WriteHalChangesToDevice(h, false));
}

template <class T>
T *child(QWidget *w, const char *name) {
  T *c = w->findChild<T *>(name);
  EXPECT_NE(c, nullptr) << name;
  return c;
}

// A choice made by the user (row -1: the text is not in the list).
inline void choose_row(QWidget *w, const char *combo, int row) {
  QComboBox *c = child<QComboBox>(w, combo);
  ASSERT_TRUE(row >= 0 && row < c->count()) << combo << " " << row;
  c->setCurrentIndex(row);
  emit c->activated(row);
}

// Typed into a field and applied with Enter (or taken back with Escape).
inline void type_into(QWidget *w, const char *field, const QString &text, Qt::Key key = Qt::Key_Return) {
  QLineEdit *e = child<QLineEdit>(w, field);
  e->setFocus();
  e->selectAll();
  QTest::keyClicks(e, text);
  QTest::keyClick(e, key);
}

inline std::vector<uint8_t> chip_registers() {
  const uint8_t *r = kxemu_chip_regs(0);
  return {r, r + KOVA_REG_COUNT};
}
