#include "app/windows/register_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include "app/app_options.h"
#include "app/main_ops.h"
#include "app/user_dialog.h"
#include "app/windows/field_edit.h"
#include "app/windows/widget_util.h"
#include "files/bitfield_file.h"

namespace {

const char *const kTitle = "Register View";
const char *const kRegisterDirKey = "registers/lastDirectory";
constexpr int kColumnsPerRegister = 3;  // name, address, value
constexpr size_t kFilterLimit = 200;



}  // namespace

// ---------------------------------------------------------------------------------------
// Page model

RegisterPageModel::RegisterPageModel(RegisterForm *form, int page, QObject *parent)
    : QAbstractTableModel(parent),
      form_(form),
      addresses_(reg_view_page_registers(page)),
      rows_(static_cast<int>(reg_view_pages[page].rows)) {}

int RegisterPageModel::rowCount(const QModelIndex &parent) const {
  if (parent.isValid()) return 0;
  return std::min(rows_, static_cast<int>(addresses_.size()));
}

int RegisterPageModel::columnCount(const QModelIndex &parent) const {
  if (parent.isValid()) return 0;
  const int groups = (static_cast<int>(addresses_.size()) + rows_ - 1) / rows_;
  return groups * kColumnsPerRegister;
}

int RegisterPageModel::addressAt(const QModelIndex &index) const {
  if (!index.isValid()) return -1;
  const size_t i = static_cast<size_t>(index.column() / kColumnsPerRegister) * rows_ + index.row();
  return i < addresses_.size() ? static_cast<int>(addresses_[i]) : -1;
}

QModelIndex RegisterPageModel::nameIndex(uint32_t address) const {
  const auto it = std::find(addresses_.begin(), addresses_.end(), address);
  if (it == addresses_.end()) return {};
  const int i = static_cast<int>(it - addresses_.begin());
  return index(i % rows_, (i / rows_) * kColumnsPerRegister);
}

QVariant RegisterPageModel::data(const QModelIndex &index, int role) const {
  const int a = addressAt(index);
  if (a < 0) return {};
  const uint32_t address = static_cast<uint32_t>(a);
  const int part = index.column() % kColumnsPerRegister;
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      if (part == 0) return QString::fromLatin1(kova_reg_name(address));
      if (part == 1) return q(reg_view_address_text(address));
      return q(reg_view_value_text(form_->shownValue(address)));
    case Qt::BackgroundRole:
      if (part == 0 && form_->filterMatch(address)) return QColor(190, 220, 255);
      if (part == 0 && form_->nameHighlighted(address)) return QColor(Qt::yellow);
      return {};
    case Qt::TextAlignmentRole:
      return part == 0 ? QVariant(Qt::AlignLeft | Qt::AlignVCenter) : QVariant(Qt::AlignCenter);
    case Qt::ToolTipRole:
      if (part == 2) return QStringLiteral("Double-click to edit");
      return {};
    default:
      return {};
  }
}

QVariant RegisterPageModel::headerData(int section, Qt::Orientation o, int role) const {
  if (role != Qt::DisplayRole || o != Qt::Horizontal) return {};
  static const char *const heads[kColumnsPerRegister] = {"Name", "Address", "Value"};
  return QString::fromLatin1(heads[section % kColumnsPerRegister]);
}

Qt::ItemFlags RegisterPageModel::flags(const QModelIndex &index) const {
  if (addressAt(index) < 0) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() % kColumnsPerRegister == 2) f |= Qt::ItemIsEditable;
  return f;
}

bool RegisterPageModel::setData(const QModelIndex &index, const QVariant &value, int role) {
  const int a = addressAt(index);
  if (role != Qt::EditRole || a < 0 || index.column() % kColumnsPerRegister != 2) return false;
  return form_->applyValue(static_cast<uint32_t>(a), value.toString());
}

void RegisterPageModel::refreshAll() {
  if (rowCount() > 0 && columnCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

QWidget *RegisterValueDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                             const QModelIndex &) const {
  auto *e = new QLineEdit(parent);
  e->setObjectName("valueEditor");
  e->setAlignment(Qt::AlignCenter);
  return e;
}

void RegisterValueDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const {
  // A refresh while the user types leaves the typed text alone.
  auto *e = static_cast<QLineEdit *>(editor);
  if (!e->isModified()) e->setText(index.data(Qt::EditRole).toString());
}

// ---------------------------------------------------------------------------------------
// Window

RegisterForm::RegisterForm(KovaSession *session, QWidget *parent) : QWidget(parent), session_(session) {
  setObjectName("RegisterForm");
  setWindowTitle(kTitle);
  const QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);

  filterEdit_ = new QLineEdit(this);
  filterEdit_->setObjectName("filterEdit");
  filterEdit_->setPlaceholderText("Register or field name");
  filterEdit_->setClearButtonEnabled(true);
  connect(filterEdit_, &QLineEdit::textChanged, this, &RegisterForm::filterChanged);
  filterResults_ = new QListWidget(this);
  filterResults_->setObjectName("filterResults");
  connect(filterResults_, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
    goTo(item->data(Qt::UserRole).toUInt(), item->data(Qt::UserRole + 1).toString().toStdString());
  });
  connect(filterEdit_, &QLineEdit::returnPressed, this, [this]() {
    if (filterResults_->count() > 0) emit filterResults_->itemClicked(filterResults_->item(0));
  });

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("pageTabs");
  for (int p = 0; p < REG_VIEW_PAGE_COUNT; ++p) {
    auto *model = new RegisterPageModel(this, p, this);
    auto *view = new QTableView(tabs_);
    view->setObjectName(QString("pageView_") + reg_view_pages[p].title);
    view->setModel(model);
    view->setItemDelegate(new RegisterValueDelegate(view));  // a delegate serves one view
    view->setFont(mono);
    view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this, model](const QModelIndex &cur) { selectRegister(model->addressAt(cur)); });
    connect(view, &QTableView::clicked, this, [this, model](const QModelIndex &i) { selectRegister(model->addressAt(i)); });
    tabs_->addTab(view, reg_view_pages[p].title);
    views_.push_back(view);
    models_.push_back(model);
  }

  // Bit panel: bit numbers, one box per bit, the layout's fields under the bits they hold.
  bitGroup_ = new QGroupBox("Bit Fields", this);
  bitGroup_->setObjectName("bitGroup");
  bitGrid_ = new QGridLayout;
  for (int box = 0; box < 8; ++box) {
    auto *num = new QLabel(QString::number(7 - box), bitGroup_);
    num->setAlignment(Qt::AlignCenter);
    bitGrid_->addWidget(num, 0, box);
    auto *b = new FieldEdit(bitGroup_);
    b->setObjectName(QString("bitBox%1").arg(box));
    b->setMaxLength(1);
    b->setAlignment(Qt::AlignCenter);
    b->setFixedWidth(b->fontMetrics().horizontalAdvance("00") + 16);
    b->setValidator(new QRegularExpressionValidator(QRegularExpression("[01]"), b));
    b->setEnabled(false);
    connect(b, &FieldEdit::applied, this, [this, box](const QString &t) { applyBit(box, t); });
    bitBoxes_[box] = b;
    bitGrid_->addWidget(b, 1, box, Qt::AlignCenter);
  }
  fieldCaption_ = new QLabel(bitGroup_);
  fieldCaption_->setObjectName("fieldCaption");
  fieldEdit_ = new FieldEdit(bitGroup_);
  fieldEdit_->setObjectName("fieldValueEdit");
  fieldEdit_->setToolTip("Decimal, or hexadecimal after 0x; Enter writes it");
  connect(fieldEdit_, &FieldEdit::applied, this, &RegisterForm::applyField);
  fieldRange_ = new QLabel(bitGroup_);
  fieldRange_->setObjectName("fieldRange");
  auto *panel = new QVBoxLayout(bitGroup_);
  panel->addLayout(bitGrid_);
  fieldHint_ = new QLabel("Click a field name to edit the field as one value.", bitGroup_);
  fieldHint_->setWordWrap(true);
  panel->addWidget(fieldHint_);
  panel->addWidget(fieldCaption_);
  panel->addWidget(fieldEdit_);
  panel->addWidget(fieldRange_);
  fieldCaption_->hide();
  fieldEdit_->hide();
  fieldRange_->hide();

  directCheck_ = new QCheckBox("Direct DUT Read/Write", this);
  directCheck_->setObjectName("directCheck");
  connect(directCheck_, &QCheckBox::toggled, this, &RegisterForm::refresh);
  highlightCheck_ = new QCheckBox("Highlight Delta Registers", this);
  highlightCheck_->setObjectName("highlightCheck");
  connect(highlightCheck_, &QCheckBox::toggled, this, &RegisterForm::highlightToggled);
  autoRefreshCombo_ = new QComboBox(this);
  autoRefreshCombo_->setObjectName("autoRefreshCombo");
  autoRefreshCombo_->addItems({"OFF", "1 Second", "2 Seconds", "5 Seconds"});
  connect(autoRefreshCombo_, &QComboBox::activated, this, &RegisterForm::autoRefreshChosen);
  readAllButton_ = named_button("Read All", "readAllButton", this);
  connect(readAllButton_, &QPushButton::clicked, this, &RegisterForm::refresh);
  saveButton_ = named_button("Save All", "saveButton", this);
  connect(saveButton_, &QPushButton::clicked, this, &RegisterForm::saveRegisters);
  parseMapButton_ = named_button("Parse Register Map", "parseMapButton", this);
  connect(parseMapButton_, &QPushButton::clicked, this, &RegisterForm::parseRegisterMap);
  timer_.setParent(this);
  timer_.setObjectName("autoRefreshTimer");
  connect(&timer_, &QTimer::timeout, this, &RegisterForm::refresh);

  auto *controls = new QGroupBox("Access", this);
  auto *cl = new QGridLayout(controls);
  cl->addWidget(directCheck_, 0, 0, 1, 2);
  cl->addWidget(highlightCheck_, 1, 0, 1, 2);
  cl->addWidget(new QLabel("Auto Refresh", controls), 2, 0);
  cl->addWidget(autoRefreshCombo_, 2, 1);
  cl->addWidget(readAllButton_, 3, 0);
  cl->addWidget(saveButton_, 3, 1);
  cl->addWidget(parseMapButton_, 4, 0, 1, 2);

  auto *find = new QGroupBox("Find", this);
  auto *fl = new QVBoxLayout(find);
  fl->addWidget(filterEdit_);
  fl->addWidget(filterResults_);

  auto *sidePanel = new QWidget(this);
  sidePanel->setFixedWidth(420);
  auto *side = new QVBoxLayout(sidePanel);
  side->setContentsMargins(0, 0, 0, 0);
  side->addWidget(bitGroup_);
  side->addWidget(controls);
  side->addWidget(find, 1);
  auto *lay = new QHBoxLayout(this);
  lay->addWidget(tabs_, 1);
  lay->addWidget(sidePanel);
  resize(1120, 560);

  // In customer mode the dump, the whole read and both switches are not offered.
  if (isInCustomerMode()) {
    for (QWidget *w : {static_cast<QWidget *>(saveButton_), static_cast<QWidget *>(readAllButton_),
                       static_cast<QWidget *>(highlightCheck_), static_cast<QWidget *>(directCheck_)})
      w->hide();
    directCheck_->setChecked(false);
    highlightCheck_->setChecked(false);
  }

  connect(session_, &KovaSession::configurationChanged, this, &RegisterForm::refresh);
  connect(session_, &KovaSession::statusRefreshed, this, &RegisterForm::refresh);
  connect(session_, &KovaSession::connectionChanged, this, &RegisterForm::refresh);
  refresh();
  selectRegister(static_cast<int>(reg_view_page_registers(0).front()));
}

reg_view_io_s RegisterForm::io() const {
  return {session_->gui(), session_->hal(), directCheck_->isChecked()};
}

void RegisterForm::refresh() {
  reg_view_read_all(io(), shown_.data());
  const bool highlight = highlightCheck_->isChecked();
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) delta_[a] = highlight && reg_view_is_delta(session_->hal(), a);
  for (RegisterPageModel *m : models_) m->refreshAll();
  refreshPanel();
}

void RegisterForm::highlightToggled() {
  saveButton_->setText(highlightCheck_->isChecked() ? "Save Delta" : "Save All");
  refresh();
}

void RegisterForm::autoRefreshChosen(int index) {
  static const int periods[] = {0, 1000, 2000, 5000};
  timer_.stop();
  if (index > 0 && index < 4) timer_.start(periods[index]);
}

bool RegisterForm::applyValue(uint32_t address, const QString &text) {
  uint8_t value = 0;
  if (!reg_view_parse_byte(text.toStdString(), &value)) return false;
  if (!reg_view_write(io(), address, value)) reportWriteFailure(address);
  selectRegister(static_cast<int>(address));
  refresh();
  return true;
}

void RegisterForm::reportWriteFailure(uint32_t address) {
  MessageError("Unable to write register " + reg_view_address_text(address) + " to the DUT.", kTitle);
}

// ---------------------------------------------------------------------------------------
// Bit panel

void RegisterForm::selectRegister(int address) {
  if (address < 0 || address == selected_) return;
  selected_ = address;
  fieldOpen_ = false;
  fieldCaption_->hide();
  fieldEdit_->hide();
  fieldRange_->hide();
  refreshPanel();
}

void RegisterForm::rebuildFieldButtons() {
  const char *layout = selected_ >= 0 ? kova_reg_bitfields(static_cast<uint32_t>(selected_), session_->hal()->kova_device_e) : nullptr;
  // The buttons depend on the register as well as its layout: which fields span registers.
  const QString text = QString::number(selected_) + ":" + QString::fromLatin1(kova_text(layout).data(), static_cast<int>(kova_text(layout).size()));
  if (text == panelLayout_) return;
  panelLayout_ = text;
  for (QWidget *w : fieldWidgets_) delete w;
  fieldWidgets_.clear();
  kova_bitfield_s comps[8];
  uint32_t count = 0;
  int editable_count = 0;
  fieldHint_->hide();
  if (!kova_layout_parse(layout, comps, &count)) return;
  for (uint32_t i = 0; i < count; ++i) {
    const QString name = QString::fromLatin1(comps[i].name);
    QString label = name;
    if (comps[i].width > 1 || comps[i].high > 0)
      label += comps[i].width > 1 ? QString("[%1:%2]").arg(comps[i].high).arg(comps[i].low)
                                  : QString("[%1]").arg(comps[i].high);
    // Unused bits and one-bit fields of their own are edited in their bit boxes; the other
    // fields are buttons that open the field editor.
    const bool editable = name != "-" && reg_view_field_find(static_cast<uint32_t>(selected_), session_->hal()->kova_device_e,
                                                            name.toStdString(), nullptr);
    QWidget *w;
    if (editable) {
      auto *b = new QPushButton(label, bitGroup_);
      b->setStyleSheet("QPushButton { color: #1f4fb0; text-decoration: underline; border: none; padding: 2px; }");
      b->setCursor(Qt::PointingHandCursor);
      connect(b, &QPushButton::clicked, this, [this, name]() { openField(name); });
      w = b;
      ++editable_count;
    } else {
      auto *l = new QLabel(label, bitGroup_);
      l->setAlignment(Qt::AlignCenter);
      w = l;
    }
    w->setObjectName("field_" + name);
    w->setToolTip(label);
    bitGrid_->addWidget(w, 2, static_cast<int>(7 - comps[i].reg_high), 1, static_cast<int>(comps[i].width));
    fieldWidgets_.push_back(w);
  }
  fieldHint_->setVisible(editable_count > 0);
}

void RegisterForm::refreshPanel() {
  if (selected_ < 0) return;
  const uint32_t a = static_cast<uint32_t>(selected_);
  bitGroup_->setTitle(q(reg_view_panel_title(a)));
  const uint8_t v = shown_[a];
  for (int box = 0; box < 8; ++box) {
    bitBoxes_[box]->setEnabled(true);
    bitBoxes_[box]->showValue((v >> (7 - box)) & 1 ? "1" : "0");
  }
  rebuildFieldButtons();
  if (fieldOpen_) fieldEdit_->showValue(QString::number(reg_view_field_read(io(), field_.value)));
}

void RegisterForm::applyBit(int box, const QString &text) {
  if (selected_ < 0) return;
  const uint32_t a = static_cast<uint32_t>(selected_);
  if (text == "0" || text == "1") {
    if (!reg_view_write_bit(io(), a, box, text == "1")) reportWriteFailure(a);
  }
  refresh();
}

void RegisterForm::openField(const QString &name) {
  if (selected_ < 0 ||
      !reg_view_field_find(static_cast<uint32_t>(selected_), session_->hal()->kova_device_e, name.toStdString(), &field_))
    return;
  fieldOpen_ = true;
  fieldCaption_->setText(q(field_.caption));
  fieldRange_->setText(QString("0 to %1").arg(kova_multireg_max(field_.value.width)));
  fieldCaption_->show();
  fieldEdit_->show();
  fieldRange_->show();
  fieldEdit_->showValue(QString::number(reg_view_field_read(io(), field_.value)));
  fieldEdit_->setFocus();
  fieldEdit_->selectAll();
}

void RegisterForm::applyField(const QString &text) {
  if (!fieldOpen_) return;
  const uint64_t max = kova_multireg_max(field_.value.width);
  uint64_t value = 0;
  if (!reg_view_parse_field(text.toStdString(), max, &value)) {
    MessageError("Enter a value from 0 to " + std::to_string(max) + " (decimal, or hexadecimal after 0x).", kTitle);
    fieldEdit_->setText(fieldEdit_->shownValue());
    return;
  }
  if (!reg_view_field_write(io(), field_.value, value)) reportWriteFailure(field_.value.seg[0].reg);
  refresh();
}

// ---------------------------------------------------------------------------------------
// Filter

void RegisterForm::goTo(uint32_t address, const std::string &field) {
  const int page = reg_view_page_of(address);
  if (page < 0) return;
  tabs_->setCurrentIndex(page);
  const QModelIndex i = models_[static_cast<size_t>(page)]->nameIndex(address);
  views_[static_cast<size_t>(page)]->setCurrentIndex(i);
  views_[static_cast<size_t>(page)]->scrollTo(i);
  selectRegister(static_cast<int>(address));
  if (!field.empty() && reg_view_field_find(address, session_->hal()->kova_device_e, field, nullptr)) openField(q(field));
}

void RegisterForm::filterChanged(const QString &text) {
  const auto found = reg_view_filter(text.toStdString(), session_->hal()->kova_device_e, kFilterLimit);
  match_.fill(false);
  filterResults_->clear();
  for (const reg_view_match_s &m : found) {
    match_[m.address] = true;
    auto *item = new QListWidgetItem(q(m.text + "  " + reg_view_address_text(m.address)), filterResults_);
    item->setData(Qt::UserRole, m.address);
    item->setData(Qt::UserRole + 1, q(m.field));
  }
  for (RegisterPageModel *m : models_) m->refreshAll();
  if (!found.empty()) goTo(found.front().address, "");
}

// ---------------------------------------------------------------------------------------
// Files

QString RegisterForm::askFileName(bool save, const QString &title, const QString &filter, const QString &name) {
  return ask_file_name(this, save, title, filter, kRegisterDirKey, name);
}

void RegisterForm::saveRegisters() {
  const QString path = askFileName(true, "Save Configuration", "Text File (*.cfg);;Show All Files (*)", "Config");
  if (path.isEmpty()) return;
  main_save_register_config(&session_->state, path.toStdString(), highlightCheck_->isChecked());
}

void RegisterForm::parseRegisterMap() {
  const QString in = askFileName(false, "Bitfield Configuration Load", "Text File (*.txt);;Show All Files (*)", {});
  if (in.isEmpty()) return;
  std::vector<bitfield_reg_s> regs;
  file_message_s msg;
  std::string detail;
  if (!bitfield_file_load(in.toStdString().c_str(), &regs, &msg, &detail)) {
    MessageError(detail.empty() ? msg.text : msg.text + "\n" + detail, msg.title);
    return;
  }
  const QString out = askFileName(true, "Bitfield Configuration Save", "C++ Source (*.h *.cpp);;Show All Files (*)",
                                  "regmap_source.h");
  if (out.isEmpty()) return;
  bitfield_source_save(regs, out.toStdString().c_str(), &msg);
  show_file_message(msg);
}
