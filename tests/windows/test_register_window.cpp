// The register view driven as a user drives it, on the emulated KX40112: a typed register
// value, a bit box and a field reach the chip through the write sequence (or straight with
// the direct switch); Escape and bad texts write nothing; the filter finds a field.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTableView>
#include <tuple>

#include "app/windows/register_window.h"
#include "gui_test_support.h"

namespace {

struct register_window_test : gui_fixture {
  RegisterForm *window = nullptr;

  void SetUp() override {
    gui_fixture::SetUp();
    start("40112", true);  // the chip holds the image
    window = open<RegisterForm>();
  }
  uint8_t held(uint32_t a) { return static_cast<uint8_t>(get_reg(hal(), a)); }
  // Double-clicks the value of a register on the Outputs page, types text and presses key.
  QModelIndex editValue(uint32_t address, const QString &text, Qt::Key key) {
    auto *view = find<QTableView>("pageView_Outputs");
    find<QTabWidget>("pageTabs")->setCurrentWidget(view);
    auto *model = static_cast<RegisterPageModel *>(view->model());
    const QModelIndex value = model->nameIndex(address).siblingAtColumn(model->nameIndex(address).column() + 2);
    view->scrollTo(value);
    QApplication::processEvents();  // the page just shown lays out its cells
    const QPoint at = view->visualRect(value).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    auto *editor = qobject_cast<QLineEdit *>(view->indexWidget(value));  // the cell's open editor
    EXPECT_NE(editor, nullptr);
    if (!editor) return value;
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, key);
    QApplication::processEvents();  // the view takes the edit in its next event round
    return value;
  }
};

TEST_F(register_window_test, TypedValueReachesTheChipOnlyWhenItIsAByteAndEntered) {
  const uint32_t a = 0x206;  // OC1DC
  const uint8_t before = held(a);
  ASSERT_NE(before, 0xA5);
  // Typed, the key pressed; the value in the image, on the chip and in the cell afterwards.
  const std::tuple<const char *, Qt::Key, uint8_t> cases[] = {
      {"1FF", Qt::Key_Return, before},  // not a byte
      {"g1", Qt::Key_Return, before},   // not hexadecimal
      {"a5", Qt::Key_Escape, before},
      {"a5", Qt::Key_Return, 0xA5},
      {" 0x3c ", Qt::Key_Return, 0x3C},
  };
  for (const auto &[text, key, want] : cases) {
    SCOPED_TRACE(text);
    const QModelIndex cell = editValue(a, text, key);
    EXPECT_EQ(held(a), want);
    EXPECT_EQ(chip()[a], want);
    EXPECT_EQ(cell.data().toString(), QString("%1").arg(want, 2, 16, QChar('0')).toUpper());
  }
}

TEST_F(register_window_test, BitBoxZeroSetsTheTopBit) {
  const uint32_t a = 0x206;
  for (const bool direct : {false, true}) {
    SCOPED_TRACE(direct ? "direct" : "through the image");
    find<QCheckBox>("directCheck")->setChecked(direct);
    // Direct reads the chip, not the image: only the chip holds 0x01 there.
    if (direct) {
      chip()[a] = 0x01;
    } else {
      editValue(a, "01", Qt::Key_Return);
    }
    const uint8_t image_before = held(a);
    window->refresh();
    ASSERT_EQ(find<QGroupBox>("bitGroup")->title(), "OC1DC, 0x206");
    EXPECT_EQ(find<QLineEdit>("bitBox7")->text() + find<QLineEdit>("bitBox0")->text(), "10");  // box 0 is bit 7
    type("bitBox0", "1");
    EXPECT_EQ(chip()[a], 0x81);
    EXPECT_EQ(held(a), direct ? image_before : 0x81);
    type("bitBox7", "0");
    EXPECT_EQ(chip()[a], 0x80);
  }
}

// The field of the second output's low-speed divider spans OC2DIV1..3 and bit 0 of OC2CR3.
TEST_F(register_window_test, MultiRegisterFieldIsWrittenAsOneValue) {
  editValue(0x212, "f0", Qt::Key_Return);  // OC2CR3 selected, its other bits set
  click("field_LSDIV");
  EXPECT_EQ(find<QLabel>("fieldCaption")->text(), "LSDIV2 (25 Bits)");
  type("fieldValueEdit", "0x1ABCDEF");
  EXPECT_EQ(find<QLineEdit>("fieldValueEdit")->text(), QString::number(0x1ABCDEF));  // read back
  const std::vector<uint8_t> want{0xF1, 0xEF, 0xCD, 0xAB};
  EXPECT_EQ(std::vector<uint8_t>(chip() + 0x212, chip() + 0x216), want);
  const std::vector<uint8_t> img = image();
  EXPECT_EQ(std::vector<uint8_t>(img.begin() + 0x212, img.begin() + 0x216), want);
  dialog.shown.clear();
  type("fieldValueEdit", "33554432");  // 2^25: out of range, nothing written
  EXPECT_EQ(dialog.shown.size(), 1u);
  EXPECT_EQ(chip()[0x213], 0xEF);
}

// Enter in the filter opens the first field found, with its register.
TEST_F(register_window_test, FilterOpensAFieldAndItsRegister) {
  type("filterEdit", "mclk");
  EXPECT_EQ(find<QGroupBox>("bitGroup")->title(), "MCR2, 0x0A");
  EXPECT_GE(find<QListWidget>("filterResults")->count(), 1);
  EXPECT_EQ(find<QLabel>("fieldCaption")->text(), "MCLK (3 Bits)");
  const uint8_t mcr2 = held(0x00A);
  type("fieldValueEdit", "5");
  EXPECT_EQ(held(0x00A), (mcr2 & 0xF8) | 5);
}

TEST_F(register_window_test, HighlightMarksOnlyRegistersOffTheirDefaults) {
  find<QCheckBox>("highlightCheck")->setChecked(true);
  auto *model = static_cast<RegisterPageModel *>(find<QTableView>("pageView_Outputs")->model());
  int marked[2] = {0, 0};  // the page has registers of both kinds
  for (uint32_t a : reg_view_page_registers(reg_view_page_of(0x200))) {
    const bool yellow = model->nameIndex(a).data(Qt::BackgroundRole).value<QColor>() == QColor(Qt::yellow);
    EXPECT_EQ(yellow, get_reg(hal(), a) != kova_regs_defaults(a)) << std::hex << a;
    ++marked[yellow];
  }
  EXPECT_TRUE(marked[0] > 0 && marked[1] > 0);
}

}  // namespace
