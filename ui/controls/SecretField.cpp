// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/controls/SecretField.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleHints>
#include <QStyleOptionFrame>
#include <QTextLayout>
#include <algorithm>

#include "platform/Clipboard.h"
#include "store/TextCodec.h"
#include "ui/Text.h"
#include "ui/controls/AltKeyFilter.h"

namespace corvella {
namespace {

// The distances a line edit keeps between its frame and its text.
constexpr int kHorizontalMargin = 2;
constexpr int kVerticalMargin = 1;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

std::u16string_view Units(const QString& text) {
  return {reinterpret_cast<const char16_t*>(text.constData()),
          static_cast<std::size_t>(text.size())};
}

// Text that typing puts into the field, as a line edit decides it: printable characters and
// formatting marks, not control characters or shortcuts.
bool IsTyping(const QKeyEvent& event) {
  const QString text = event.text();
  if (text.isEmpty()) return false;
  const QChar first = text.front();
  if (first.category() == QChar::Other_Format) return true;
  const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
  if (modifiers == Qt::ControlModifier || modifiers == (Qt::ControlModifier | Qt::ShiftModifier) ||
      IsAltChord(event)) {
    return false;
  }
  if (first.isPrint() || first.category() == QChar::Other_PrivateUse) return true;
  return first.isHighSurrogate() && text.size() > 1 && text.at(1).isLowSurrogate();
}

// What assistive technology learns of the field: an editable text with its label's name, a
// password field while hidden, and never the text itself.
class SecretFieldAccessible final : public QAccessibleWidget {
 public:
  explicit SecretFieldAccessible(SecretField* field)
      : QAccessibleWidget(field, QAccessible::EditableText), field_(field) {}

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.editable = true;
    state.passwordEdit = field_->EchoMode() != QLineEdit::Normal;
    return state;
  }
  QString text(QAccessible::Text kind) const override {
    return kind == QAccessible::Value ? QString() : QAccessibleWidget::text(kind);
  }

 private:
  SecretField* field_;
};

QAccessibleInterface* MakeAccessible(const QString& className, QObject* object) {
  if (className == QLatin1String(SecretField::staticMetaObject.className())) {
    if (auto* field = qobject_cast<SecretField*>(object)) return new SecretFieldAccessible(field);
  }
  return nullptr;
}

}  // namespace

SecretField::SecretField(QWidget* parent) : QWidget(parent) {
  static const bool accessible = (QAccessible::installFactory(MakeAccessible), true);
  Q_UNUSED(accessible);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled);
  setAttribute(Qt::WA_MacShowFocusRect);
  setCursor(Qt::IBeamCursor);
  setBackgroundRole(QPalette::Base);
  setSizePolicy(QSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed, QSizePolicy::LineEdit));
  UpdateInputMethodHints();
}

// The text's memory is wiped as the allocator releases it.
SecretField::~SecretField() = default;

SecureString SecretField::Secret() const { return Utf16ToUtf8({text_.data(), text_.size()}); }

void SecretField::SetSecret(std::string_view bytes) {
  text_ = SecretDisplayUtf16(bytes);
  cursor_ = anchor_ = static_cast<qsizetype>(text_.size());
  scroll_ = 0;
  update();
}

void SecretField::Clear() {
  SecureUtf16().swap(text_);
  cursor_ = anchor_ = 0;
  scroll_ = 0;
  update();
}

void SecretField::SetEchoMode(QLineEdit::EchoMode mode) {
  echoMode_ = mode == QLineEdit::Normal ? QLineEdit::Normal : QLineEdit::Password;
  UpdateInputMethodHints();
  update();
}

void SecretField::UpdateInputMethodHints() {
  // Shown or hidden, a secret is no text for input methods to learn or complete.
  Qt::InputMethodHints hints =
      Qt::ImhSensitiveData | Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase;
  if (Hidden()) hints |= Qt::ImhHiddenText;
  setInputMethodHints(hints);
}

// ---- Editing ----

void SecretField::Insert(std::u16string_view typed) {
  RemoveSelection();
  text_.insert(text_.begin() + cursor_, typed.begin(), typed.end());
  cursor_ = anchor_ = cursor_ + static_cast<qsizetype>(typed.size());
}

void SecretField::Remove(qsizetype from, qsizetype to) {
  if (from >= to) return;
  text_.erase(text_.begin() + from, text_.begin() + to);
  // The characters moved down leave their old places behind the end.
  Cleanse(text_.data() + text_.size(), (text_.capacity() - text_.size()) * sizeof(char16_t));
  cursor_ = anchor_ = from;
}

void SecretField::RemoveSelection() { Remove(SelectionStart(), SelectionEnd()); }

void SecretField::MoveCursor(qsizetype position, bool select) {
  cursor_ = std::clamp<qsizetype>(position, 0, static_cast<qsizetype>(text_.size()));
  if (!select) anchor_ = cursor_;
}

void SecretField::SelectAll() {
  anchor_ = 0;
  cursor_ = static_cast<qsizetype>(text_.size());
}

void SecretField::Paste() {
  // Taken as UTF-8 so that no copy of it outlives this; the clipboard's own copy stays its own.
  platform::Clipboard::ReadText([this](std::string_view utf8) {
    const SecureUtf16 pasted = SecretDisplayUtf16(utf8);
    if (!pasted.empty() || HasSelection()) Insert({pasted.data(), pasted.size()});
  });
}

void SecretField::CopySelection() {
  if (Hidden() || !HasSelection()) return;
  const auto selected = std::u16string_view(text_.data(), text_.size())
                            .substr(static_cast<std::size_t>(SelectionStart()),
                                    static_cast<std::size_t>(SelectionEnd() - SelectionStart()));
  platform::Clipboard::SetSecret(Utf16ToUtf8(selected).View());
}

qsizetype SecretField::PreviousPosition(qsizetype position) const {
  if (position <= 0) return 0;
  --position;
  if (position > 0 && IsLowSurrogate(text_[static_cast<std::size_t>(position)]) &&
      IsHighSurrogate(text_[static_cast<std::size_t>(position - 1)])) {
    --position;
  }
  return position;
}

qsizetype SecretField::NextPosition(qsizetype position) const {
  const auto size = static_cast<qsizetype>(text_.size());
  if (position >= size) return size;
  ++position;
  if (position < size && IsLowSurrogate(text_[static_cast<std::size_t>(position)]) &&
      IsHighSurrogate(text_[static_cast<std::size_t>(position - 1)])) {
    ++position;
  }
  return position;
}

qsizetype SecretField::PreviousWord(qsizetype position) const {
  if (Hidden()) return 0;
  const auto blank = [this](qsizetype at) { return text_[static_cast<std::size_t>(at)] == u' '; };
  while (position > 0 && blank(position - 1)) --position;
  while (position > 0 && !blank(position - 1)) --position;
  return position;
}

qsizetype SecretField::NextWord(qsizetype position) const {
  const auto size = static_cast<qsizetype>(text_.size());
  if (Hidden()) return size;
  const auto blank = [this](qsizetype at) { return text_[static_cast<std::size_t>(at)] == u' '; };
  while (position < size && !blank(position)) ++position;
  while (position < size && blank(position)) ++position;
  return position;
}

bool SecretField::Edit(const QKeyEvent& event) {
  if (event.matches(QKeySequence::SelectAll)) {
    SelectAll();
  } else if (event.matches(QKeySequence::Paste)) {
    Paste();
  } else if (event.matches(QKeySequence::Copy)) {
    CopySelection();
  } else if (event.matches(QKeySequence::Cut)) {
    if (!Hidden()) {
      CopySelection();
      RemoveSelection();
    }
  } else {
    const bool select = event.modifiers() & Qt::ShiftModifier;
    const bool word = event.modifiers() & Qt::ControlModifier;
    switch (event.key()) {
      case Qt::Key_Left:
        if (HasSelection() && !select && !word) {
          MoveCursor(SelectionStart(), false);
        } else {
          MoveCursor(word ? PreviousWord(cursor_) : PreviousPosition(cursor_), select);
        }
        break;
      case Qt::Key_Right:
        if (HasSelection() && !select && !word) {
          MoveCursor(SelectionEnd(), false);
        } else {
          MoveCursor(word ? NextWord(cursor_) : NextPosition(cursor_), select);
        }
        break;
      case Qt::Key_Home:
        MoveCursor(0, select);
        break;
      case Qt::Key_End:
        MoveCursor(static_cast<qsizetype>(text_.size()), select);
        break;
      case Qt::Key_Backspace:
        if (HasSelection()) {
          RemoveSelection();
        } else {
          Remove(word ? PreviousWord(cursor_) : PreviousPosition(cursor_), cursor_);
        }
        break;
      case Qt::Key_Delete:
        if (HasSelection()) {
          RemoveSelection();
        } else {
          Remove(cursor_, word ? NextWord(cursor_) : NextPosition(cursor_));
        }
        break;
      default:
        if (!IsTyping(event)) return false;
        Insert(Units(event.text()));
        break;
    }
  }
  return true;
}

bool SecretField::IsEditingKey(const QKeyEvent& event) const {
  for (const QKeySequence::StandardKey key :
       {QKeySequence::SelectAll, QKeySequence::Paste, QKeySequence::Copy, QKeySequence::Cut}) {
    if (event.matches(key)) return true;
  }
  switch (event.key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
      return true;
    default:
      return IsTyping(event);
  }
}

// ---- Events ----

bool SecretField::event(QEvent* event) {
  // Keys the field edits with are not the window's shortcuts.
  if (event->type() == QEvent::ShortcutOverride && IsEditingKey(*static_cast<QKeyEvent*>(event))) {
    event->accept();
    return true;
  }
  return QWidget::event(event);
}

void SecretField::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    emit ReturnPressed();
    event->ignore();
    return;
  }
  if (!Edit(*event)) {
    event->ignore();
    return;
  }
  event->accept();
  RestartBlinking();
  update();
}

void SecretField::inputMethodEvent(QInputMethodEvent* event) {
  // Composed characters arrive here; what is still being composed is not shown.
  const QString committed = event->commitString();
  if (!committed.isEmpty()) {
    Insert(Units(committed));
    RestartBlinking();
    update();
  }
  event->accept();
}

QVariant SecretField::inputMethodQuery(Qt::InputMethodQuery query) const {
  switch (query) {
    case Qt::ImEnabled:
      return isEnabled();
    case Qt::ImHints:
      return static_cast<int>(inputMethodHints());
    case Qt::ImCursorRectangle:
      return CursorRectangle();
    case Qt::ImFont:
      return font();
    case Qt::ImCursorPosition:
    case Qt::ImAnchorPosition:
      return 0;
    case Qt::ImSurroundingText:
    case Qt::ImCurrentSelection:
    case Qt::ImTextBeforeCursor:
    case Qt::ImTextAfterCursor:
      // The text is nobody's business.
      return QString();
    default:
      return QWidget::inputMethodQuery(query);
  }
}

void SecretField::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  MoveCursor(PositionAt(event->position().toPoint().x()), event->modifiers() & Qt::ShiftModifier);
  RestartBlinking();
  update();
}

void SecretField::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  MoveCursor(PositionAt(event->position().toPoint().x()), true);
  update();
}

void SecretField::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  SelectAll();
  update();
}

void SecretField::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  const auto add = [&](const QString& caption, QKeySequence::StandardKey key, bool enabled,
                       const std::function<void()>& act) {
    QAction* action = menu.addAction(caption + QLatin1Char('\t') +
                                     QKeySequence(key).toString(QKeySequence::NativeText));
    action->setEnabled(enabled);
    connect(action, &QAction::triggered, this, [this, act] {
      act();
      update();
    });
  };
  if (!Hidden()) {
    add(tr("Cu&t"), QKeySequence::Cut, HasSelection(), [this] {
      CopySelection();
      RemoveSelection();
    });
    add(tr("&Copy"), QKeySequence::Copy, HasSelection(), [this] { CopySelection(); });
  }
  add(tr("&Paste"), QKeySequence::Paste, platform::Clipboard::HasText(), [this] { Paste(); });
  add(tr("Delete"), QKeySequence::Delete, HasSelection(), [this] { RemoveSelection(); });
  menu.addSeparator();
  add(tr("Select All"), QKeySequence::SelectAll, !text_.empty(), [this] { SelectAll(); });
  menu.exec(event->globalPos());
}

void SecretField::focusInEvent(QFocusEvent* event) {
  // As in a line edit, a field reached by the keyboard starts with its text selected.
  if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason ||
      event->reason() == Qt::ShortcutFocusReason) {
    SelectAll();
  }
  RestartBlinking();
  update();
  QWidget::focusInEvent(event);
}

void SecretField::focusOutEvent(QFocusEvent* event) {
  if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason) {
    anchor_ = cursor_;
  }
  blinkTimer_.stop();
  cursorShown_ = false;
  update();
  QWidget::focusOutEvent(event);
}

void SecretField::timerEvent(QTimerEvent* event) {
  if (event->timerId() != blinkTimer_.timerId()) {
    QWidget::timerEvent(event);
    return;
  }
  cursorShown_ = !cursorShown_;
  update();
}

void SecretField::RestartBlinking() {
  cursorShown_ = true;
  const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
  if (hasFocus() && flashTime >= 2) {
    blinkTimer_.start(flashTime / 2, this);
  } else {
    blinkTimer_.stop();
  }
}

// ---- Display ----

void SecretField::WithLayout(const std::function<void(QTextLayout&, QTextLine&)>& use) const {
  QString shown;
  if (Hidden()) {
    QStyleOptionFrame option;
    InitStyleOption(option);
    const QChar bullet(style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, &option, this));
    shown.fill(bullet, DisplayPosition(static_cast<qsizetype>(text_.size())));
  } else {
    shown =
        QString(reinterpret_cast<const QChar*>(text_.data()), static_cast<qsizetype>(text_.size()));
    // Line breaks and other control characters show as blanks, as in a line edit.
    for (QChar& c : shown) {
      if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F) ||
          c == QChar::LineSeparator || c == QChar::ParagraphSeparator ||
          c == QChar::ObjectReplacementCharacter) {
        c = u' ';
      }
    }
  }
  {
    QTextLayout layout(shown, font());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    use(layout, line);
  }
  // The layout, which shared it, is gone: this is the only copy left.
  WipeQString(shown);
}

qsizetype SecretField::DisplayPosition(qsizetype position) const {
  if (!Hidden()) return position;
  // One bullet per character: a surrogate pair is one.
  qsizetype bullets = 0;
  for (qsizetype at = 0; at < position; at = NextPosition(at)) ++bullets;
  return bullets;
}

qsizetype SecretField::TextPosition(qsizetype displayPosition) const {
  if (!Hidden()) {
    // Never inside a surrogate pair.
    const qsizetype position =
        std::clamp<qsizetype>(displayPosition, 0, static_cast<qsizetype>(text_.size()));
    return position > 0 && position < static_cast<qsizetype>(text_.size()) &&
                   IsLowSurrogate(text_[static_cast<std::size_t>(position)])
               ? position - 1
               : position;
  }
  qsizetype position = 0;
  for (qsizetype bullet = 0; bullet < displayPosition; ++bullet) {
    position = NextPosition(position);
  }
  return position;
}

void SecretField::InitStyleOption(QStyleOptionFrame& option) const {
  option.initFrom(this);
  option.rect = contentsRect();
  option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
  option.midLineWidth = 0;
  option.state |= QStyle::State_Sunken;
  option.features = QStyleOptionFrame::None;
}

QRect SecretField::TextArea() const {
  QStyleOptionFrame option;
  InitStyleOption(option);
  const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
  return contents.adjusted(kHorizontalMargin, 0, -kHorizontalMargin, 0);
}

int SecretField::TextTop(const QTextLine& line) const {
  // Centred as a line edit centres its text; the line's own ascent may exceed the font's.
  const QRect area = TextArea();
  const QFontMetrics metrics = fontMetrics();
  const int top = area.top() + (area.height() - metrics.height() + 1) / 2;
  return top - (qRound(line.ascent()) - metrics.ascent());
}

qsizetype SecretField::PositionAt(int x) const {
  qsizetype position = 0;
  WithLayout([&](QTextLayout&, QTextLine& line) {
    position = TextPosition(line.xToCursor(x - TextArea().left() + scroll_));
  });
  return position;
}

QRect SecretField::CursorRectangle() const {
  QRect rectangle;
  WithLayout([&](QTextLayout&, QTextLine& line) {
    const int x = qRound(line.cursorToX(static_cast<int>(DisplayPosition(cursor_))));
    rectangle = QRect(TextArea().left() + x - scroll_, TextTop(line), 1, qRound(line.height()));
  });
  return rectangle;
}

void SecretField::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOptionFrame panel;
  InitStyleOption(panel);
  style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
  const QRect area = TextArea();
  painter.setClipRect(area);
  WithLayout([&](QTextLayout& layout, QTextLine& line) {
    // Scrolled so that the cursor stays in view.
    const int cursorX = qRound(line.cursorToX(static_cast<int>(DisplayPosition(cursor_))));
    const int width = qRound(line.naturalTextWidth());
    if (width <= area.width()) {
      scroll_ = 0;
    } else {
      scroll_ = std::clamp(scroll_, cursorX - area.width() + 1, cursorX);
      scroll_ = std::clamp(scroll_, 0, width - area.width() + 1);
    }
    const QPointF origin(area.left() - scroll_, TextTop(line));
    QList<QTextLayout::FormatRange> selections;
    if (HasSelection()) {
      QTextLayout::FormatRange selection;
      selection.start = static_cast<int>(DisplayPosition(SelectionStart()));
      selection.length = static_cast<int>(DisplayPosition(SelectionEnd())) - selection.start;
      selection.format.setBackground(palette().brush(QPalette::Highlight));
      selection.format.setForeground(palette().brush(QPalette::HighlightedText));
      selections.append(selection);
    }
    painter.setPen(palette().color(QPalette::Text));
    layout.draw(&painter, origin, selections);
    if (hasFocus() && cursorShown_) {
      layout.drawCursor(&painter, origin, static_cast<int>(DisplayPosition(cursor_)),
                        style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, this));
    }
  });
}

QSize SecretField::sizeHint() const {
  ensurePolished();
  const QFontMetrics metrics = fontMetrics();
  const int height = std::max(metrics.height(), 14) + 2 * kVerticalMargin;
  const int width = metrics.horizontalAdvance(u'x') * 17 + 2 * kHorizontalMargin;
  QStyleOptionFrame option;
  InitStyleOption(option);
  return style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(width, height), this);
}

QSize SecretField::minimumSizeHint() const {
  ensurePolished();
  const QFontMetrics metrics = fontMetrics();
  const int height = metrics.height() + std::max(2 * kVerticalMargin, metrics.leading());
  const int width = metrics.maxWidth();
  QStyleOptionFrame option;
  InitStyleOption(option);
  return style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(width, height), this);
}

}  // namespace corvella
