// The main window's block diagram: XA, IC1 to IC3, DPLL, APLL and OC1 to OC3 as drawn
// blocks joined by connectors, each with its live frequency, state and colour, the fields
// the main window edits in place, and a header that opens the block's own window.
#pragma once
#include <QFrame>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>
#include <QFormLayout>
#include <array>

#include "app/main_view.h"

class BlockPanel : public QFrame {
  Q_OBJECT
 public:
  BlockPanel(int block, QWidget *parent = nullptr);
  void show_view(const main_block_view_s &v);
  QFormLayout *fields() { return fields_; }
  int block() const { return block_; }
  main_block_state_e colour() const { return colour_; }

 signals:
  void openRequested(int block);

 private:
  int block_;
  main_block_state_e colour_ = main_block_off_e;
  QToolButton *header_;
  QLabel *freq_, *state_, *detail_;
  QFormLayout *fields_;
};

class BlockDiagram : public QWidget {
  Q_OBJECT
 public:
  explicit BlockDiagram(QWidget *parent = nullptr);
  BlockPanel *panel(int block) { return panels_[block]; }
  // Shows every block's view of the object.
  void refresh(const hal_api_s *hal);

 signals:
  void openRequested(int block);

 protected:
  void paintEvent(QPaintEvent *e) override;

 private:
  std::array<BlockPanel *, main_block_count_e> panels_{};
  bool ja_ = false;
};
