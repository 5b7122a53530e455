// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QBasicTimer>
#include <QLineEdit>
#include <QWidget>
#include <algorithm>
#include <functional>
#include <string_view>

#include "store/SecureMemory.h"

class QStyleOptionFrame;
class QTextLayout;
class QTextLine;

namespace corvella {

// A one-line field for a secret that leaves no plaintext behind, drawn and driven like a line
// edit. A line edit records every typed character in its undo history, even in password mode,
// and frees its texts unwiped; this field keeps no history, holds its text in memory that is
// wiped whenever it changes or goes, and draws through a text that is wiped right after drawing.
// Hidden (Password) it shows one bullet per character and gives nothing to copy; shown (Normal)
// it draws the text itself.
class SecretField final : public QWidget {
  Q_OBJECT

 public:
  explicit SecretField(QWidget* parent = nullptr);
  ~SecretField() override;

  // The text as UTF-8.
  SecureString Secret() const;
  // Shows stored bytes: UTF-8, or Windows-1252 when they are not UTF-8. The cursor goes to the
  // end.
  void SetSecret(std::string_view bytes);
  bool IsEmpty() const { return text_.empty(); }
  // Wipes the text and empties the field.
  void Clear();

  // Normal or Password.
  QLineEdit::EchoMode EchoMode() const { return echoMode_; }
  void SetEchoMode(QLineEdit::EchoMode mode);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

 signals:
  // Return or Enter; the key goes on to the window as well, for its default button.
  void ReturnPressed();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  bool Hidden() const { return echoMode_ != QLineEdit::Normal; }
  bool HasSelection() const { return cursor_ != anchor_; }
  qsizetype SelectionStart() const { return std::min(cursor_, anchor_); }
  qsizetype SelectionEnd() const { return std::max(cursor_, anchor_); }

  // Editing. Positions count UTF-16 units and never split a surrogate pair.
  void Insert(std::u16string_view typed);
  void Remove(qsizetype from, qsizetype to);
  void RemoveSelection();
  void MoveCursor(qsizetype position, bool select);
  void SelectAll();
  void Paste();
  void CopySelection();
  qsizetype PreviousPosition(qsizetype position) const;
  qsizetype NextPosition(qsizetype position) const;
  // Word moves stop at blanks; in a hidden text they go to its ends, as a line edit's do.
  qsizetype PreviousWord(qsizetype position) const;
  qsizetype NextWord(qsizetype position) const;
  // Handles an editing key; false for any other key.
  bool Edit(const QKeyEvent& event);
  bool IsEditingKey(const QKeyEvent& event) const;

  // Display. What the field shows (the text, or a bullet per character) exists only while
  // `use` runs, and is wiped at once afterwards.
  void WithLayout(const std::function<void(QTextLayout&, QTextLine&)>& use) const;
  qsizetype DisplayPosition(qsizetype position) const;
  qsizetype TextPosition(qsizetype displayPosition) const;
  void InitStyleOption(QStyleOptionFrame& option) const;
  QRect TextArea() const;
  int TextTop(const QTextLine& line) const;
  qsizetype PositionAt(int x) const;
  QRect CursorRectangle() const;
  void UpdateInputMethodHints();
  void RestartBlinking();

  SecureUtf16 text_;
  qsizetype cursor_ = 0;
  qsizetype anchor_ = 0;  // the other end of the selection; equal to cursor_ without one
  QLineEdit::EchoMode echoMode_ = QLineEdit::Normal;
  mutable int scroll_ = 0;  // pixels of text left of the visible area
  QBasicTimer blinkTimer_;
  bool cursorShown_ = false;
};

}  // namespace corvella
