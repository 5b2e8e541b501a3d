// The register view: every named register of the chip on its page with its name, address
// and value; a register is edited as a whole (double-click its value) or bit by bit in the
// bit panel, and a field of its layout as one value, even when it spans several registers.
// Edits go into the register image and reach the chip through the changes-only write
// sequence, or with "Direct DUT Read/Write" straight to the chip. Registers that differ from
// their reset defaults can be highlighted and saved; a filter finds a register or a field
// by name as the user types.
#pragma once
#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QWidget>
#include <array>
#include <vector>

#include "app/register_view_ops.h"
#include "app/windows/session.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QListWidget;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class FieldEdit;
class RegisterForm;

// One page of registers: column groups of name, address and value, filled top to bottom.
class RegisterPageModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  RegisterPageModel(RegisterForm *form, int page, QObject *parent);
  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;
  Qt::ItemFlags flags(const QModelIndex &index) const override;
  bool setData(const QModelIndex &index, const QVariant &value, int role) override;
  // The register of a cell, or -1 for an empty cell.
  int addressAt(const QModelIndex &index) const;
  // The name cell of a register of this page (invalid when it is not on it).
  QModelIndex nameIndex(uint32_t address) const;
  void refreshAll();

 private:
  RegisterForm *form_;
  std::vector<uint32_t> addresses_;
  int rows_;
};

// The editor of a value cell: a line edit whose text is kept while the window refreshes.
class RegisterValueDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const override;
  void setEditorData(QWidget *editor, const QModelIndex &index) const override;
};

class RegisterForm : public QWidget {
  Q_OBJECT
 public:
  explicit RegisterForm(KovaSession *session, QWidget *parent = nullptr);

  // What the page models show.
  uint8_t shownValue(uint32_t address) const { return shown_[address]; }
  bool nameHighlighted(uint32_t address) const { return delta_[address]; }
  bool filterMatch(uint32_t address) const { return match_[address]; }
  // A typed value of a register: written when it reads as a byte, else nothing happens.
  bool applyValue(uint32_t address, const QString &text);

 public slots:
  // Reads the registers (from the chip with the direct switch) and shows them.
  void refresh();

 private:
  reg_view_io_s io() const;
  void selectRegister(int address);
  void goTo(uint32_t address, const std::string &field);
  void refreshPanel();
  void rebuildFieldButtons();
  void applyBit(int box, const QString &text);
  void openField(const QString &name);
  void applyField(const QString &text);
  void filterChanged(const QString &text);
  void autoRefreshChosen(int index);
  void highlightToggled();
  void saveRegisters();
  void parseRegisterMap();
  QString askFileName(bool save, const QString &title, const QString &filter, const QString &name);
  void reportWriteFailure(uint32_t address);

  KovaSession *session_;
  std::array<uint8_t, KOVA_REG_COUNT> shown_{};
  std::array<bool, KOVA_REG_COUNT> delta_{};
  std::array<bool, KOVA_REG_COUNT> match_{};
  int selected_ = -1;
  QString panelLayout_;  // layout the field buttons were made for
  reg_view_field_s field_{};
  bool fieldOpen_ = false;

  QLineEdit *filterEdit_;
  QListWidget *filterResults_;
  QTabWidget *tabs_;
  std::vector<QTableView *> views_;
  std::vector<RegisterPageModel *> models_;
  QGroupBox *bitGroup_;
  std::array<FieldEdit *, 8> bitBoxes_{};
  QGridLayout *bitGrid_;
  std::vector<QWidget *> fieldWidgets_;  // field names under their bits
  QLabel *fieldHint_;
  QLabel *fieldCaption_;
  FieldEdit *fieldEdit_;
  QLabel *fieldRange_;
  QCheckBox *directCheck_, *highlightCheck_;
  QComboBox *autoRefreshCombo_;
  QPushButton *readAllButton_, *saveButton_, *parseMapButton_;
  QTimer timer_;
};
