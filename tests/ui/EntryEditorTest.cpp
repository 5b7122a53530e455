// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The entry editor on the offscreen platform: layout, clipboard takeover, hiding, Generate, and
// the texts that OK hands to the caller. Runs under corvella::Application, whose font the layout
// is made for.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <functional>
#include <memory>

#include "ui/Application.h"
#include "ui/EntryEditor.h"
#include "ui/MessageDialog.h"
#include "ui/controls/SecretField.h"

using corvella::EntryEditor;
using corvella::EntryFields;
using corvella::MessageAnswer;
using corvella::MessageButtons;
using corvella::MessageDialogResponder;
using corvella::MessageKind;
using corvella::SecretField;
using corvella::SecureString;

Q_DECLARE_METATYPE(MessageAnswer)

namespace {

const QString kAlphabet =
    QStringLiteral("abcdefghiklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!\"#%&/()=@");

enum class Clip { Text, Image, Empty };
enum class Close { ClickOk, Return, ClickCancel, Escape, TitleBar };

QByteArray Bytes(std::string_view bytes) {
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

template <class T>
T* Child(const QWidget& form, const char* name) {
  return form.findChild<T*>(QLatin1String(name));
}
QLineEdit* Field(const QWidget& form, const char* name) { return Child<QLineEdit>(form, name); }
SecretField* PasswordField(const QWidget& form) { return Child<SecretField>(form, "passwordEdit"); }

// What a field holds; the password field's text as well, for checks that never print it.
bool FieldIsEmpty(const QWidget* field) {
  if (const auto* secret = qobject_cast<const SecretField*>(field)) return secret->IsEmpty();
  return qobject_cast<const QLineEdit*>(field)->text().isEmpty();
}

int HideWidth(const QWidget& form) {
  return std::max(97, Child<QCheckBox>(form, "hidePasswordBox")->sizeHint().width());
}

EntryFields MakeFields(const std::string& site, const std::string& url, std::string_view password,
                       const std::string& user) {
  return {site, url, user, SecureString(password)};
}

void SetClipboard(Clip kind, const QString& text) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  switch (kind) {
    case Clip::Text:
      clipboard->setText(text);
      break;
    case Clip::Image: {
      auto* data = new QMimeData;
      QImage image(8, 8, QImage::Format_RGB32);
      image.fill(Qt::red);
      data->setImageData(image);
      clipboard->setMimeData(data);
      break;
    }
    case Clip::Empty:
      clipboard->clear();
      break;
  }
}

// Shows the dialog modally, runs `act` once it is up and returns exec()'s result. A dialog that
// does not close in time is ended with -1, so that a fault fails the test instead of hanging it.
int ExecAndThen(EntryEditor& form, std::function<void()> act) {
  QTimer::singleShot(0, &form, std::move(act));
  QTimer::singleShot(5000, &form, [&form] { form.done(-1); });
  return form.exec();
}

}  // namespace

Q_DECLARE_METATYPE(Clip)
Q_DECLARE_METATYPE(Close)

class EntryEditorTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { SetClipboard(Clip::Empty, {}); }

  void startsWithTheDesignLayout();
  void anchorsFollowAResize_data();
  void anchorsFollowAResize();
  void clipboardAddressFillsAnEmptyAddressField_data();
  void clipboardAddressFillsAnEmptyAddressField();
  void hidePasswordSwitchesTheEchoOnly();
  void generateAsksBeforeReplacing_data();
  void generateAsksBeforeReplacing();
  void showFieldsShowsTheEntry();
  void onlyOkAccepts_data();
  void onlyOkAccepts();
  void okHandsTheTextsToTheCaller();
  void emptiedFieldsGiveEmptyTexts();
  void longTextsAreKept();
  void accessKeys_data();
  void accessKeys();
  void accessKeysAreUnique();
};

void EntryEditorTest::startsWithTheDesignLayout() {
  EntryEditor form;
  QCOMPARE(form.windowTitle(), QStringLiteral("Add New Password"));
  QCOMPARE(form.parent(), nullptr);
  QCOMPARE(form.size(), QSize(453, 217));
  QVERIFY(form.maximumSize() != form.minimumSize());  // resizable

  const struct {
    const char* name;
    QRect geometry;
    const char* label;
  } fields[] = {
      {"siteNameEdit", {24, 26, 225, 21}, "&Web Site Name"},
      {"userNameEdit", {264, 26, 169, 21}, "&User Name"},
      {"urlEdit", {24, 74, 405, 21}, "Web Site &Address (URL)"},
      {"passwordEdit", {24, 122, 405, 20}, "&Password"},
  };
  const QList<QLabel*> labels = form.findChildren<QLabel*>();
  for (const auto& expected : fields) {
    const auto* field = Child<QWidget>(form, expected.name);
    QVERIFY2(field != nullptr, expected.name);
    QCOMPARE(field->geometry(), expected.geometry);
    QVERIFY(FieldIsEmpty(field));
    const auto label = std::find_if(labels.begin(), labels.end(),
                                    [&](const QLabel* l) { return l->buddy() == field; });
    QVERIFY2(label != labels.end(), expected.name);
    QCOMPARE((*label)->text(), QLatin1String(expected.label));
    // Just above its field, on the same left edge.
    QCOMPARE((*label)->x(), field->x());
    QVERIFY((*label)->geometry().bottom() < field->y());
    QVERIFY(field->y() - (*label)->geometry().bottom() <= 4);
    QVERIFY((*label)->y() >= 0);
  }

  const auto* generate = Child<QPushButton>(form, "generateButton");
  QVERIFY(generate != nullptr);
  QCOMPARE(generate->text(), QStringLiteral("&Generate"));
  QCOMPARE(generate->geometry(), QRect(24, 152, 89, 25));
  QVERIFY(!generate->icon().isNull());
  QCOMPARE(generate->iconSize(), QSize(16, 16));
  const auto* hide = Child<QCheckBox>(form, "hidePasswordBox");
  QVERIFY(hide != nullptr);
  QCOMPARE(hide->text(), QStringLiteral("&Hide password"));
  // 97 wide, or as wide as the caption needs in the desktop's font.
  QCOMPARE(hide->geometry(), QRect(128, 157, std::max(97, hide->sizeHint().width()), 17));
  QVERIFY(hide->isChecked());
  QCOMPARE(PasswordField(form)->EchoMode(), QLineEdit::Password);
  const auto* ok = Child<QPushButton>(form, "okButton");
  const auto* cancel = Child<QPushButton>(form, "cancelButton");
  QVERIFY(ok != nullptr && cancel != nullptr);
  QCOMPARE(ok->text(), QStringLiteral("&OK"));
  QCOMPARE(ok->geometry(), QRect(271, 170, 75, 25));
  QVERIFY(ok->isDefault());
  QCOMPARE(cancel->text(), QStringLiteral("&Cancel"));
  QCOMPARE(cancel->geometry(), QRect(359, 170, 75, 25));
  QVERIFY(!cancel->isDefault());

  QStringList tabOrder;
  QWidget* widget = Field(form, "siteNameEdit");
  do {
    if ((widget->focusPolicy() & Qt::TabFocus) && widget != &form) {
      tabOrder << widget->objectName();
    }
    widget = widget->nextInFocusChain();
  } while (widget != Field(form, "siteNameEdit"));
  QCOMPARE(tabOrder,
           QStringList({"siteNameEdit", "userNameEdit", "urlEdit", "passwordEdit", "generateButton",
                        "hidePasswordBox", "okButton", "cancelButton"}));

  form.show();
  QCOMPARE(form.focusWidget(), Field(form, "siteNameEdit"));
  const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
  QVERIFY((form.frameGeometry().center() - screenCentre).manhattanLength() <= 2);
}

void EntryEditorTest::anchorsFollowAResize_data() {
  QTest::addColumn<QSize>("growth");
  QTest::newRow("design size") << QSize(0, 0);
  QTest::newRow("wider and taller") << QSize(100, 50);
  QTest::newRow("taller only") << QSize(0, 120);
}

void EntryEditorTest::anchorsFollowAResize() {
  QFETCH(QSize, growth);
  const int dx = growth.width();
  const int dy = growth.height();
  EntryEditor form;
  form.show();
  form.resize(QSize(453, 217) + growth);
  QTRY_COMPARE(form.size(), QSize(453, 217) + growth);

  // Fields: left, right and bottom (the first row's two share the growth, so they never overlap);
  // Generate and the box: left and bottom; buttons: right, bottom.
  const int siteGrowth = dx / 2;
  const struct {
    const char* name;
    QRect geometry;
  } expected[] = {
      {"siteNameEdit", {24, 26 + dy, 225 + siteGrowth, 21}},
      {"userNameEdit", {264 + siteGrowth, 26 + dy, 169 + dx - siteGrowth, 21}},
      {"urlEdit", {24, 74 + dy, 405 + dx, 21}},
      {"passwordEdit", {24, 122 + dy, 405 + dx, 20}},
      {"generateButton", {24, 152 + dy, 89, 25}},
      {"hidePasswordBox", {128, 157 + dy, HideWidth(form), 17}},
      {"okButton", {271 + dx, 170 + dy, 75, 25}},
      {"cancelButton", {359 + dx, 170 + dy, 75, 25}},
  };
  for (const auto& control : expected) {
    const auto* widget = Child<QWidget>(form, control.name);
    QVERIFY2(widget != nullptr, control.name);
    QCOMPARE(widget->geometry(), control.geometry);
  }
  for (const QLabel* label : form.findChildren<QLabel*>()) {
    QVERIFY(label->buddy() != nullptr);
    QCOMPARE(label->x(), label->buddy()->x());
    QVERIFY(label->geometry().bottom() < label->buddy()->y());
    QVERIFY(label->buddy()->y() - label->geometry().bottom() <= 4);
  }
}

void EntryEditorTest::clipboardAddressFillsAnEmptyAddressField_data() {
  QTest::addColumn<bool>("editMode");
  QTest::addColumn<QString>("storedUrl");
  QTest::addColumn<Clip>("clip");
  QTest::addColumn<QString>("clipText");
  QTest::addColumn<QString>("expectedUrl");

  const QString none;
  QTest::newRow("capitals kept") << false << none << Clip::Text << "HTTP://Example.ORG/A"
                                 << "HTTP://Example.ORG/A";
  QTest::newRow("mixed case https") << false << none << Clip::Text << "hTtPs://x.example/?q=1"
                                    << "hTtPs://x.example/?q=1";
  QTest::newRow("exactly http") << false << none << Clip::Text << "http"
                                << "http";
  QTest::newRow("whole text with line break")
      << false << none << Clip::Text << "http://a.example/\nsecond line"
      << "http://a.example/\nsecond line";
  QTest::newRow("too short") << false << none << Clip::Text << "htt" << none;
  QTest::newRow("blank before") << false << none << Clip::Text << " http://a.example" << none;
  QTest::newRow("ftp") << false << none << Clip::Text << "ftp://a.example" << none;
  QTest::newRow("www only") << false << none << Clip::Text << "www.example.org" << none;
  QTest::newRow("empty clipboard") << false << none << Clip::Empty << none << none;
  QTest::newRow("picture") << false << none << Clip::Image << none << none;
  QTest::newRow("edit mode keeps the stored address")
      << true << "https://stored.example" << Clip::Text << "http://copied.example"
      << "https://stored.example";
  QTest::newRow("edit mode without an address takes it")
      << true << none << Clip::Text << "http://copied.example"
      << "http://copied.example";
  QTest::newRow("edit mode ignores other text")
      << true << none << Clip::Text << "mailto:someone@example.org" << none;
}

void EntryEditorTest::clipboardAddressFillsAnEmptyAddressField() {
  QFETCH(bool, editMode);
  QFETCH(QString, storedUrl);
  QFETCH(Clip, clip);
  QFETCH(QString, clipText);
  QFETCH(QString, expectedUrl);

  SetClipboard(clip, clipText);
  EntryEditor form;
  if (editMode) form.ShowFields(MakeFields("Site", storedUrl.toStdString(), "pw", "user"));
  form.show();
  QCOMPARE(Field(form, "urlEdit")->text(), expectedUrl);
  QCOMPARE(QGuiApplication::clipboard()->text(), clip == Clip::Text ? clipText : QString());
}

void EntryEditorTest::hidePasswordSwitchesTheEchoOnly() {
  EntryEditor form;
  form.show();
  auto* hide = Child<QCheckBox>(form, "hidePasswordBox");
  SecretField* password = PasswordField(form);
  password->SetSecret("fake pw 1");
  for (const auto& [checked, echo] :
       {std::pair{false, QLineEdit::Normal}, std::pair{true, QLineEdit::Password},
        std::pair{false, QLineEdit::Normal}}) {
    hide->click();
    QCOMPARE(hide->isChecked(), checked);
    QCOMPARE(password->EchoMode(), echo);
    QVERIFY(password->Secret().View() == "fake pw 1");
    QCOMPARE(Field(form, "siteNameEdit")->echoMode(), QLineEdit::Normal);
  }
}

void EntryEditorTest::generateAsksBeforeReplacing_data() {
  QTest::addColumn<QString>("before");
  QTest::addColumn<MessageAnswer>("answer");
  QTest::addColumn<bool>("asked");
  QTest::addColumn<bool>("replaced");

  QTest::newRow("empty field") << QString() << MessageAnswer::No << false << true;
  QTest::newRow("No keeps it") << "old-fake-pw" << MessageAnswer::No << true << false;
  QTest::newRow("Yes replaces it") << "old-fake-pw" << MessageAnswer::Yes << true << true;
  QTest::newRow("closed box keeps it") << "old-fake-pw" << MessageAnswer::Cancel << true << false;
}

void EntryEditorTest::generateAsksBeforeReplacing() {
  QFETCH(QString, before);
  QFETCH(MessageAnswer, answer);
  QFETCH(bool, asked);
  QFETCH(bool, replaced);

  int questions = 0;
  MessageDialogResponder responder(
      [&](MessageKind kind, const QString& text, MessageButtons buttons) {
        ++questions;
        [&] {
          QCOMPARE(kind, MessageKind::Confirm);
          QCOMPARE(text, QStringLiteral("Are you sure you want to replace the existing password?"));
          QCOMPARE(buttons, MessageButtons::YesNo);
        }();
        return answer;
      });
  EntryEditor form;
  form.show();
  SecretField* password = PasswordField(form);
  password->SetSecret(before.toStdString());
  Child<QPushButton>(form, "generateButton")->click();
  if (QTest::currentTestFailed()) return;

  QCOMPARE(questions, asked ? 1 : 0);
  QCOMPARE(password->EchoMode(), QLineEdit::Password);
  const QString after = QString::fromStdString(std::string(password->Secret().View()));
  if (!replaced) {
    QVERIFY(after == before);
    return;
  }
  QVERIFY(after != before);
  QVERIFY(after.size() >= 12 && after.size() <= 16);
  for (const QChar c : after) QVERIFY2(kAlphabet.contains(c), "character outside the alphabet");
}

void EntryEditorTest::showFieldsShowsTheEntry() {
  EntryEditor form;
  form.ShowFields(
      MakeFields("Z\xC3\xBCrich Bank", "https://bank.example", "p\xC3\xA4ss 1", "\xE9l\xE8ve"));
  QCOMPARE(Field(form, "siteNameEdit")->text(), QStringLiteral(u"Zürich Bank"));
  QCOMPARE(Field(form, "urlEdit")->text(), QStringLiteral("https://bank.example"));
  QVERIFY(PasswordField(form)->Secret().View() == "p\xC3\xA4ss 1");
  // Bytes that are not UTF-8 show as Windows-1252.
  QCOMPARE(Field(form, "userNameEdit")->text(), QStringLiteral(u"élève"));
  QCOMPARE(PasswordField(form)->EchoMode(), QLineEdit::Password);
}

void EntryEditorTest::onlyOkAccepts_data() {
  QTest::addColumn<Close>("how");
  QTest::addColumn<int>("result");
  QTest::newRow("OK clicked") << Close::ClickOk << int{QDialog::Accepted};
  QTest::newRow("Enter") << Close::Return << int{QDialog::Accepted};
  QTest::newRow("Cancel clicked") << Close::ClickCancel << int{QDialog::Rejected};
  QTest::newRow("Escape") << Close::Escape << int{QDialog::Rejected};
  QTest::newRow("title bar") << Close::TitleBar << int{QDialog::Rejected};
}

void EntryEditorTest::onlyOkAccepts() {
  QFETCH(Close, how);
  QFETCH(int, result);

  EntryEditor form;
  form.ShowFields(MakeFields("Old site", "http://old.example", "old-fake-pw", "old user"));
  const int closed = ExecAndThen(form, [&] {
    // Values with blanks around them: nothing is trimmed.
    Field(form, "siteNameEdit")->setText(QStringLiteral(u" New site "));
    Field(form, "urlEdit")->setText(QStringLiteral(u"https://new.example/ä"));
    PasswordField(form)->SetSecret("new fake pw ");
    Field(form, "userNameEdit")->setText(QStringLiteral(u"new user"));
    switch (how) {
      case Close::ClickOk:
        QTest::mouseClick(Child<QPushButton>(form, "okButton"), Qt::LeftButton);
        break;
      case Close::Return:
        QTest::keyClick(Field(form, "urlEdit"), Qt::Key_Return);
        break;
      case Close::ClickCancel:
        QTest::mouseClick(Child<QPushButton>(form, "cancelButton"), Qt::LeftButton);
        break;
      case Close::Escape:
        QTest::keyClick(Field(form, "siteNameEdit"), Qt::Key_Escape);
        break;
      case Close::TitleBar:
        form.close();
        break;
    }
  });
  QCOMPARE(closed, result);
  const EntryFields fields = form.Fields();
  QCOMPARE(Bytes(fields.siteName), QByteArray(" New site "));
  QCOMPARE(Bytes(fields.url), QByteArray("https://new.example/\xC3\xA4"));
  QVERIFY(fields.password.View() == "new fake pw ");
  QCOMPARE(Bytes(fields.userName), QByteArray("new user"));
}

void EntryEditorTest::okHandsTheTextsToTheCaller() {
  EntryEditor form;
  const int closed = ExecAndThen(form, [&] {
    Field(form, "siteNameEdit")->setText(QStringLiteral(u"Zürich"));
    Field(form, "urlEdit")->setText(QStringLiteral(u"example.org"));
    PasswordField(form)->SetSecret("fake pw \xE2\x82\xAC");
    Field(form, "userNameEdit")->setText(QStringLiteral(u" me "));
    QTest::mouseClick(Child<QPushButton>(form, "okButton"), Qt::LeftButton);
  });
  QCOMPARE(closed, int{QDialog::Accepted});
  const EntryFields fields = form.Fields();
  QCOMPARE(Bytes(fields.siteName), QByteArray("Z\xC3\xBCrich"));
  QCOMPARE(Bytes(fields.url), QByteArray("example.org"));
  QVERIFY(fields.password.View() == "fake pw \xE2\x82\xAC");
  QCOMPARE(Bytes(fields.userName), QByteArray(" me "));
}

void EntryEditorTest::emptiedFieldsGiveEmptyTexts() {
  EntryEditor form;
  form.ShowFields(MakeFields("Site", "http://a.example", "old-fake-pw", "user"));
  const int closed = ExecAndThen(form, [&] {
    for (const char* name : {"siteNameEdit", "urlEdit", "userNameEdit"}) Field(form, name)->clear();
    PasswordField(form)->Clear();
    QTest::mouseClick(Child<QPushButton>(form, "okButton"), Qt::LeftButton);
  });
  QCOMPARE(closed, int{QDialog::Accepted});
  const EntryFields fields = form.Fields();
  QVERIFY(fields.siteName.empty());
  QVERIFY(fields.url.empty());
  QVERIFY(fields.password.empty());
  QVERIFY(fields.userName.empty());
}

void EntryEditorTest::longTextsAreKept() {
  // Longer than a line edit's default limit of 32767 characters.
  const std::string url = "http://long.example/" + std::string(40'000, 'x');
  const std::string password(33'000, 'p');
  EntryEditor form;
  form.ShowFields(MakeFields("Site", url, password, "user"));
  const int closed = ExecAndThen(
      form, [&] { QTest::mouseClick(Child<QPushButton>(form, "okButton"), Qt::LeftButton); });
  QCOMPARE(closed, int{QDialog::Accepted});
  const EntryFields fields = form.Fields();
  QCOMPARE(fields.url.size(), url.size());
  QVERIFY(fields.url == url);
  QVERIFY(fields.password.View() == password);
}

void EntryEditorTest::accessKeys_data() {
  QTest::addColumn<QString>("from");  // the field that has the focus
  QTest::addColumn<char>("letter");
  QTest::addColumn<QString>("effect");

  QTest::newRow("W") << "urlEdit" << 'W' << "focus siteNameEdit";
  QTest::newRow("U") << "siteNameEdit" << 'U' << "focus userNameEdit";
  QTest::newRow("A") << "siteNameEdit" << 'A' << "focus urlEdit";
  QTest::newRow("P") << "siteNameEdit" << 'P' << "focus passwordEdit";
  QTest::newRow("G") << "siteNameEdit" << 'G' << "password generated";
  QTest::newRow("H") << "siteNameEdit" << 'H' << "focus hidePasswordBox | password shown";
  QTest::newRow("O") << "siteNameEdit" << 'O' << "accepted";
  QTest::newRow("C") << "siteNameEdit" << 'C' << "rejected";
  QTest::newRow("no such key, in a line edit") << "userNameEdit" << 'Z' << "";
  QTest::newRow("no such key, in the password") << "passwordEdit" << 'Z' << "";
}

void EntryEditorTest::accessKeys() {
  QFETCH(QString, from);
  QFETCH(char, letter);
  QFETCH(QString, effect);

  // Generate asks before it replaces the password.
  const MessageDialogResponder yes(
      [](MessageKind, const QString&, MessageButtons) { return MessageAnswer::Yes; });
  EntryEditor form;
  form.ShowFields(MakeFields("site", "addr", "pw-fake", "user"));
  QStringList effects;
  const int closed = ExecAndThen(form, [&] {
    // Access keys work in the active window.
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QWidget* field = form.findChild<QWidget*>(from);
    field->setFocus();
    QTest::keyClick(field, Qt::Key(letter), Qt::AltModifier);
    // Buttons and the check box act after their pressed look has shown.
    const auto anyDown = [&form] {
      const QList<QAbstractButton*> buttons = form.findChildren<QAbstractButton*>();
      return std::any_of(buttons.begin(), buttons.end(), [](auto* b) { return b->isDown(); });
    };
    QTRY_VERIFY(!form.isVisible() || !anyDown());
    if (!form.isVisible()) return;
    if (form.focusWidget() != field) effects << "focus " + form.focusWidget()->objectName();
    if (!(form.Fields().password.View() == "pw-fake")) effects << "password generated";
    if (!Child<QCheckBox>(form, "hidePasswordBox")->isChecked()) effects << "password shown";
    form.done(2);
  });
  if (closed != 2) effects << (closed == QDialog::Accepted ? "accepted" : "rejected");
  QCOMPARE(effects.join(" | "), effect);
  // No letter was typed into any field.
  const EntryFields fields = form.Fields();
  QCOMPARE(Bytes(fields.siteName) + "|" + Bytes(fields.url) + "|" + Bytes(fields.userName),
           QByteArray("site|addr|user"));
  if (letter != 'G') QVERIFY(fields.password.View() == "pw-fake");
}

void EntryEditorTest::accessKeysAreUnique() {
  EntryEditor form;
  QString keys;
  const auto add = [&keys](const QString& caption) {
    const qsizetype at = QString(caption).replace(QStringLiteral("&&"), QString()).indexOf(u'&');
    if (at >= 0) keys += caption.at(at + 1).toUpper();
  };
  for (const QLabel* label : form.findChildren<QLabel*>()) add(label->text());
  for (const QAbstractButton* button : form.findChildren<QAbstractButton*>()) add(button->text());
  QCOMPARE(keys.size(), 8);  // every label, button and the check box
  for (const QChar key : keys) QCOMPARE(keys.count(key), 1);
}

int main(int argc, char** argv) {
  corvella::Application app(argc, argv);
  EntryEditorTest test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}

#include "EntryEditorTest.moc"
