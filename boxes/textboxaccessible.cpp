#include "textboxaccessible.h"

#include <QAccessibleWidget>
#include <QWidget>

#include "textbox.h"

namespace calvexa {
namespace {

class TextBoxAccessible : public QAccessibleWidget,
                          public QAccessibleTextInterface,
                          public QAccessibleEditableTextInterface {
 public:
  explicit TextBoxAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::EditableText) {}

  TextBoxBase* Box() const { return static_cast<TextBoxBase*>(widget()); }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return Box()->TextAsQString();
    return QAccessibleWidget::text(t);
  }

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.editable = true;
    s.selectableText = true;
    s.multiLine = Box()->Model().MultiLine();
    return s;
  }

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface) {
      return static_cast<QAccessibleEditableTextInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
  }

  // Text interface.
  void selection(int index, int* start, int* end) const override {
    *start = *end = 0;
    if (index != 0 || !Box()->HasSelection()) return;
    *start = static_cast<int>(Box()->Model().SelectionStart());
    *end = static_cast<int>(Box()->Model().SelectionEnd());
  }
  int selectionCount() const override { return Box()->HasSelection() ? 1 : 0; }
  void addSelection(int start, int end) override { setSelection(0, start, end); }
  void removeSelection(int index) override {
    if (index == 0) Box()->Select(Box()->CursorPosition(), Box()->CursorPosition());
  }
  void setSelection(int index, int start, int end) override {
    if (index == 0) Box()->Select(start, end);
  }
  int cursorPosition() const override { return Box()->CursorPosition(); }
  void setCursorPosition(int position) override { Box()->Select(position, position); }
  QString text(int start, int end) const override {
    const std::u16string& all = Box()->Text();
    const auto from = static_cast<std::size_t>(std::clamp(start, 0, characterCount()));
    const auto to = static_cast<std::size_t>(std::clamp(end, 0, characterCount()));
    return from < to ? ToQString(std::u16string_view(all).substr(from, to - from)) : QString();
  }
  int characterCount() const override { return static_cast<int>(Box()->Text().size()); }
  QRect characterRect(int offset) const override {
    const QRect local = Box()->CharacterRect(offset);
    return local.isNull() ? QRect() : local.translated(Box()->mapToGlobal(QPoint(0, 0)));
  }
  int offsetAtPoint(const QPoint& point) const override {
    return Box()->PositionAt(Box()->mapFromGlobal(point));
  }
  void scrollToSubstring(int start, int) override { setCursorPosition(start); }
  QString attributes(int offset, int* start, int* end) const override {
    *start = *end = offset;
    return {};
  }

  // Editable text interface.
  void deleteText(int start, int end) override { Box()->ReplaceRange(start, end, {}); }
  void insertText(int offset, const QString& text) override { Box()->ReplaceRange(offset, offset, text); }
  void replaceText(int start, int end, const QString& text) override {
    Box()->ReplaceRange(start, end, text);
  }
};

QAccessibleInterface* Factory(const QString&, QObject* object) {
  if (auto* box = qobject_cast<TextBoxBase*>(object)) return new TextBoxAccessible(box);
  return nullptr;
}

}  // namespace

void InstallTextBoxAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(Factory);
    return true;
  }();
  (void)installed;
}

void NotifyTextChange(TextBoxBase& box, const TextModel::Change& change) {
  if (!QAccessible::isActive()) return;
  const auto position = static_cast<int>(change.position);
  const QString inserted =
      ToQString(std::u16string_view(box.Text()).substr(change.position, change.inserted));
  const QString removed = ToQString(change.removedText);
  if (change.removed > 0 && change.inserted > 0) {
    QAccessibleTextUpdateEvent event(&box, position, removed, inserted);
    QAccessible::updateAccessibility(&event);
  } else if (change.removed > 0) {
    QAccessibleTextRemoveEvent event(&box, position, removed);
    QAccessible::updateAccessibility(&event);
  } else if (change.inserted > 0) {
    QAccessibleTextInsertEvent event(&box, position, inserted);
    QAccessible::updateAccessibility(&event);
  }
  NotifyCaretMove(box);
}

void NotifyCaretMove(TextBoxBase& box) {
  if (!QAccessible::isActive()) return;
  if (box.HasSelection()) {
    QAccessibleTextSelectionEvent event(&box, static_cast<int>(box.Model().SelectionStart()),
                                        static_cast<int>(box.Model().SelectionEnd()));
    event.setCursorPosition(box.CursorPosition());
    QAccessible::updateAccessibility(&event);
  } else {
    QAccessibleTextCursorEvent event(&box, box.CursorPosition());
    QAccessible::updateAccessibility(&event);
  }
}

}  // namespace calvexa
