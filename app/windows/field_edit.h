// A text field that applies on Enter (or on leaving it after typing) and shows its last
// applied value again on Escape, as every entry field of the windows does.
#pragma once
#include <QKeyEvent>
#include <QLineEdit>

class FieldEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit FieldEdit(QWidget *parent = nullptr) : QLineEdit(parent) {
    connect(this, &QLineEdit::returnPressed, this, &FieldEdit::apply);
  }
  // Shows a value loaded from the configuration; Escape comes back to it.
  void showValue(const QString &text) {
    shown_ = text;
    if (!hasFocus() || !isModified()) setText(text);
    setModified(false);
  }
  const QString &shownValue() const { return shown_; }

 signals:
  void applied(const QString &text);

 protected:
  void keyPressEvent(QKeyEvent *e) override {
    if (e->key() == Qt::Key_Escape) {
      setText(shown_);
      setModified(false);
      e->accept();
      return;
    }
    QLineEdit::keyPressEvent(e);
  }
  void focusOutEvent(QFocusEvent *e) override {
    QLineEdit::focusOutEvent(e);
    if (isModified()) apply();
  }

 private:
  void apply() {
    setModified(false);
    emit applied(text());
  }
  QString shown_;
};
