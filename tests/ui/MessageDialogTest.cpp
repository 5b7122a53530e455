// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Shows real message boxes (offscreen) and answers them with keys, clicks and closes.

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "ui/MessageDialog.h"

using corvella::MessageAnswer;
using corvella::MessageButtons;
using corvella::MessageDialogResponder;
using corvella::MessageKind;
using corvella::SetMessageResponder;
using corvella::ShowMessage;

namespace corvella {
// Readable names in failure messages.
char* toString(MessageAnswer answer) {
  static const char* const names[] = {"Ok", "Yes", "No", "Cancel"};
  return qstrdup(names[static_cast<int>(answer)]);
}
}  // namespace corvella

Q_DECLARE_METATYPE(MessageKind)
Q_DECLARE_METATYPE(MessageButtons)
Q_DECLARE_METATYPE(MessageAnswer)

namespace {

QtMessageHandler previousHandler = nullptr;

// The offscreen platform warns about every fixed-size window; message boxes are fixed-size.
void DropOffscreenSizeHintWarning(QtMsgType type, const QMessageLogContext& context,
                                  const QString& message) {
  if (type == QtWarningMsg && message.contains(QStringLiteral("propagateSizeHints"))) return;
  if (previousHandler != nullptr) previousHandler(type, context, message);
}

enum class Action {
  Return,
  Escape,
  KeyY,
  KeyN,
  AltY,
  AltN,
  ClickNo,
  ClickDiscard,
  AltR,
  Close,
  Reject
};

// Runs `act` on the message box as soon as it is the active modal window. If none appears in time
// the open boxes are rejected, so that a broken ShowMessage fails the test instead of hanging it.
void WhenBoxShows(std::function<void(QMessageBox*)> act, int attemptsLeft = 300) {
  QTimer::singleShot(10, qApp, [act = std::move(act), attemptsLeft]() mutable {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box != nullptr && box->isVisible()) {
      act(box);
    } else if (attemptsLeft > 0) {
      WhenBoxShows(std::move(act), attemptsLeft - 1);
    } else {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* stray = qobject_cast<QMessageBox*>(widget)) stray->reject();
      }
    }
  });
}

QPushButton* ButtonWithText(QMessageBox* box, const QString& text) {
  for (QAbstractButton* button : box->buttons()) {
    if (button->text() == text) return qobject_cast<QPushButton*>(button);
  }
  return nullptr;
}

void Act(QMessageBox* box, Action action) {
  switch (action) {
    case Action::Return:
      QTest::keyClick(box, Qt::Key_Return);
      break;
    case Action::Escape:
      QTest::keyClick(box, Qt::Key_Escape);
      break;
    case Action::KeyY:
      QTest::keyClick(box, Qt::Key_Y);
      break;
    case Action::KeyN:
      QTest::keyClick(box, Qt::Key_N);
      break;
    case Action::AltY:
      QTest::keyClick(box, Qt::Key_Y, Qt::AltModifier);
      break;
    case Action::AltN:
      QTest::keyClick(box, Qt::Key_N, Qt::AltModifier);
      break;
    case Action::ClickNo:
      if (QPushButton* no = ButtonWithText(box, QStringLiteral("&No"))) {
        QTest::mouseClick(no, Qt::LeftButton);
      } else {
        box->reject();
      }
      break;
    case Action::ClickDiscard:
      if (QPushButton* discard = ButtonWithText(box, QStringLiteral("&Discard"))) {
        QTest::mouseClick(discard, Qt::LeftButton);
      } else {
        box->reject();
      }
      break;
    case Action::AltR:
      QTest::keyClick(box, Qt::Key_R, Qt::AltModifier);
      break;
    case Action::Close:
      box->close();  // the same close event as the title-bar button
      break;
    case Action::Reject:
      box->reject();
      break;
  }
}

struct Seen {
  bool shown = false;
  QString title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString text;
  Qt::TextFormat labelFormat = Qt::AutoText;
  bool hasParent = true;
  bool applicationModal = false;
  QStringList buttons;
  QString defaultButton;
  QString escapeButton;
  QPoint centre;
  bool maximisable = true;
};

Seen Inspect(QMessageBox* box) {
  Seen seen;
  seen.shown = true;
  seen.title = box->windowTitle();
  seen.icon = box->icon();
  seen.text = box->text();
  if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
    seen.labelFormat = label->textFormat();
  }
  seen.hasParent = box->parentWidget() != nullptr;
  seen.applicationModal = box->windowModality() == Qt::ApplicationModal;
  for (QAbstractButton* button : box->buttons()) seen.buttons << button->text();
  seen.buttons.sort();
  if (box->defaultButton() != nullptr) seen.defaultButton = box->defaultButton()->text();
  if (box->escapeButton() != nullptr) seen.escapeButton = box->escapeButton()->text();
  seen.centre = box->frameGeometry().center();
  // Without CustomizeWindowHint the window manager picks the buttons, a maximise button among
  // them.
  seen.maximisable = !(box->windowFlags() & Qt::CustomizeWindowHint) ||
                     (box->windowFlags() & Qt::WindowMaximizeButtonHint);
  return seen;
}

}  // namespace

Q_DECLARE_METATYPE(Action)

class MessageDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { previousHandler = qInstallMessageHandler(DropOffscreenSizeHintWarning); }
  void cleanupTestCase() { qInstallMessageHandler(previousHandler); }
  void Appearance_data();
  void Appearance();
  void Answers_data();
  void Answers();
  void ResponderAnswersInsteadOfBox();
  void ScopedRespondersNestAndRestore();
  void BoxBelongsToTheWindowInFront();
};

void MessageDialogTest::Appearance_data() {
  QTest::addColumn<MessageKind>("kind");
  QTest::addColumn<MessageButtons>("buttons");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QMessageBox::Icon>("icon");
  QTest::addColumn<QStringList>("buttonTexts");
  QTest::addColumn<QString>("defaultButton");
  QTest::addColumn<QString>("escapeButton");

  const QStringList ok{QStringLiteral("OK")};
  const QStringList yesNo{QStringLiteral("&No"), QStringLiteral("&Yes")};  // sorted
  QTest::newRow("warning") << MessageKind::Warning << MessageButtons::Ok << "Warning"
                           << QMessageBox::Warning << ok << "OK"
                           << "OK";
  QTest::newRow("error") << MessageKind::Error << MessageButtons::Ok << "Error"
                         << QMessageBox::Critical << ok << "OK"
                         << "OK";
  QTest::newRow("information") << MessageKind::Information << MessageButtons::Ok << "Information"
                               << QMessageBox::Information << ok << "OK"
                               << "OK";
  QTest::newRow("confirm") << MessageKind::Confirm << MessageButtons::YesNo << "Confirm"
                           << QMessageBox::Question << yesNo << "&Yes"
                           << "&No";
  QTest::newRow("warning, yes/no") << MessageKind::Warning << MessageButtons::YesNo << "Warning"
                                   << QMessageBox::Warning << yesNo << "&Yes"
                                   << "&No";
  QTest::newRow("confirm, ok") << MessageKind::Confirm << MessageButtons::Ok << "Confirm"
                               << QMessageBox::Question << ok << "OK"
                               << "OK";
  QTest::newRow("warning, retry/discard/cancel")
      << MessageKind::Warning << MessageButtons::RetryDiscardCancel << "Warning"
      << QMessageBox::Warning << QStringList{"&Discard", "&Retry", "Cancel"} << "&Retry"
      << "Cancel";
}

void MessageDialogTest::Appearance() {
  QFETCH(MessageKind, kind);
  QFETCH(MessageButtons, buttons);
  QFETCH(QString, caption);
  QFETCH(QMessageBox::Icon, icon);
  QFETCH(QStringList, buttonTexts);
  QFETCH(QString, defaultButton);
  QFETCH(QString, escapeButton);

  // Markup and an ampersand must show literally.
  const QString text = QStringLiteral("<b>Site</b> & <i>name</i>\nsecond line");
  Seen seen;
  WhenBoxShows([&seen](QMessageBox* box) {
    seen = Inspect(box);
    box->reject();
  });
  ShowMessage(kind, text, buttons);

  QVERIFY(seen.shown);
  QCOMPARE(seen.title, caption);
  QCOMPARE(seen.icon, icon);
  QCOMPARE(seen.text, text);
  QCOMPARE(seen.labelFormat, Qt::PlainText);
  QVERIFY(!seen.hasParent);
  // A box of fixed size asks for no maximise button.
  QVERIFY(!seen.maximisable);
  QVERIFY(seen.applicationModal);
  QCOMPARE(seen.buttons, buttonTexts);
  QCOMPARE(seen.defaultButton, defaultButton);
  QCOMPARE(seen.escapeButton, escapeButton);

  const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
  QVERIFY2((seen.centre - screenCentre).manhattanLength() <= 2,
           qPrintable(QStringLiteral("box centre (%1, %2), screen centre (%3, %4)")
                          .arg(seen.centre.x())
                          .arg(seen.centre.y())
                          .arg(screenCentre.x())
                          .arg(screenCentre.y())));
}

void MessageDialogTest::Answers_data() {
  QTest::addColumn<MessageButtons>("buttons");
  QTest::addColumn<Action>("action");
  QTest::addColumn<MessageAnswer>("expected");

  QTest::newRow("ok: Return") << MessageButtons::Ok << Action::Return << MessageAnswer::Ok;
  QTest::newRow("ok: Escape") << MessageButtons::Ok << Action::Escape << MessageAnswer::Ok;
  QTest::newRow("ok: close") << MessageButtons::Ok << Action::Close << MessageAnswer::Cancel;
  QTest::newRow("ok: reject") << MessageButtons::Ok << Action::Reject << MessageAnswer::Cancel;
  QTest::newRow("yes/no: Return") << MessageButtons::YesNo << Action::Return << MessageAnswer::Yes;
  QTest::newRow("yes/no: Escape") << MessageButtons::YesNo << Action::Escape << MessageAnswer::No;
  QTest::newRow("yes/no: Y") << MessageButtons::YesNo << Action::KeyY << MessageAnswer::Yes;
  QTest::newRow("yes/no: N") << MessageButtons::YesNo << Action::KeyN << MessageAnswer::No;
  QTest::newRow("yes/no: Alt+Y") << MessageButtons::YesNo << Action::AltY << MessageAnswer::Yes;
  QTest::newRow("yes/no: Alt+N") << MessageButtons::YesNo << Action::AltN << MessageAnswer::No;
  QTest::newRow("yes/no: click No")
      << MessageButtons::YesNo << Action::ClickNo << MessageAnswer::No;
  // Closing is neither Yes nor No.
  QTest::newRow("yes/no: close") << MessageButtons::YesNo << Action::Close << MessageAnswer::Cancel;
  QTest::newRow("yes/no: reject") << MessageButtons::YesNo << Action::Reject
                                  << MessageAnswer::Cancel;
  const auto retry = MessageButtons::RetryDiscardCancel;
  QTest::newRow("retry: Return") << retry << Action::Return << MessageAnswer::Retry;
  QTest::newRow("retry: Alt+R") << retry << Action::AltR << MessageAnswer::Retry;
  QTest::newRow("retry: click Discard") << retry << Action::ClickDiscard << MessageAnswer::Discard;
  QTest::newRow("retry: Escape") << retry << Action::Escape << MessageAnswer::Cancel;
  QTest::newRow("retry: close") << retry << Action::Close << MessageAnswer::Cancel;
}

void MessageDialogTest::Answers() {
  QFETCH(MessageButtons, buttons);
  QFETCH(Action, action);
  QFETCH(MessageAnswer, expected);

  bool shown = false;
  WhenBoxShows([&shown, action](QMessageBox* box) {
    shown = true;
    Act(box, action);
  });
  const MessageAnswer answer =
      ShowMessage(MessageKind::Confirm, QStringLiteral("Delete?"), buttons);
  QVERIFY(shown);
  QCOMPARE(answer, expected);
  QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void MessageDialogTest::ResponderAnswersInsteadOfBox() {
  struct Call {
    MessageKind kind;
    QString text;
    MessageButtons buttons;
    bool boxVisible;
  };
  QList<Call> calls;
  SetMessageResponder([&calls](MessageKind kind, const QString& text, MessageButtons buttons) {
    calls.append({kind, text, buttons, QApplication::activeModalWidget() != nullptr});
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
  });
  const MessageAnswer first =
      ShowMessage(MessageKind::Confirm, QStringLiteral("Delete \"a\"?"), MessageButtons::YesNo);
  const MessageAnswer second = ShowMessage(MessageKind::Error, QStringLiteral("Stream read error"));
  SetMessageResponder({});

  QCOMPARE(first, MessageAnswer::No);
  QCOMPARE(second, MessageAnswer::Cancel);
  QCOMPARE(calls.size(), 2);
  QCOMPARE(calls[0].kind, MessageKind::Confirm);
  QCOMPARE(calls[0].text, QStringLiteral("Delete \"a\"?"));
  QCOMPARE(calls[0].buttons, MessageButtons::YesNo);
  QCOMPARE(calls[1].kind, MessageKind::Error);
  QCOMPARE(calls[1].buttons, MessageButtons::Ok);
  QVERIFY(!calls[0].boxVisible);
  QVERIFY(!calls[1].boxVisible);

  // Cleared: real boxes again.
  bool shown = false;
  WhenBoxShows([&shown](QMessageBox* box) {
    shown = true;
    QTest::keyClick(box, Qt::Key_Return);
  });
  QCOMPARE(ShowMessage(MessageKind::Information, QStringLiteral("Saved")), MessageAnswer::Ok);
  QVERIFY(shown);
}

void MessageDialogTest::ScopedRespondersNestAndRestore() {
  auto answering = [](MessageAnswer answer) {
    return [answer](MessageKind, const QString&, MessageButtons) { return answer; };
  };
  {
    const MessageDialogResponder outer(answering(MessageAnswer::Yes));
    {
      const MessageDialogResponder inner(answering(MessageAnswer::No));
      QCOMPARE(ShowMessage(MessageKind::Confirm, QStringLiteral("?"), MessageButtons::YesNo),
               MessageAnswer::No);
    }
    QCOMPARE(ShowMessage(MessageKind::Confirm, QStringLiteral("?"), MessageButtons::YesNo),
             MessageAnswer::Yes);
  }
  bool shown = false;
  WhenBoxShows([&shown](QMessageBox* box) {
    shown = true;
    QTest::keyClick(box, Qt::Key_Escape);
  });
  QCOMPARE(ShowMessage(MessageKind::Confirm, QStringLiteral("?"), MessageButtons::YesNo),
           MessageAnswer::No);
  QVERIFY(shown);
}

// The window system keeps a box with the window it belongs to: the main window, or the dialog
// open over it.
void MessageDialogTest::BoxBelongsToTheWindowInFront() {
  QMainWindow main;
  main.show();
  QWidget* owner = nullptr;
  const auto noteOwner = [&owner](QMessageBox* box) {
    owner = box->parentWidget();
    box->reject();
  };
  WhenBoxShows(noteOwner);
  ShowMessage(MessageKind::Information, QStringLiteral("Over the window"));
  QCOMPARE(owner, &main);

  QDialog dialog(&main);
  owner = nullptr;
  QTimer::singleShot(0, &dialog, [&] {
    WhenBoxShows(noteOwner);
    ShowMessage(MessageKind::Warning, QStringLiteral("Over the dialog"));
    dialog.reject();
  });
  dialog.exec();
  QCOMPARE(owner, &dialog);
}

QTEST_MAIN(MessageDialogTest)
#include "MessageDialogTest.moc"
