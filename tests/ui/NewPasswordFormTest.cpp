// The entry editor on the offscreen platform: layout, clipboard takeover, hiding, Generate, and
// what OK and Cancel write in each mode. Runs under corvella::Application so that a failing save
// reaches the application-wide handler as in the program.

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

#include "core/Error.h"
#include "store/Entry.h"
#include "store/SessionKey.h"
#include "ui/Application.h"
#include "ui/MessageDialog.h"
#include "ui/frmNewPassword.h"

using corvella::EntryPtr;
using corvella::MessageAnswer;
using corvella::MessageButtons;
using corvella::MessageDialogResponder;
using corvella::MessageKind;
using corvella::TNewPasswordForm;
using corvella::Entry;

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

int HideWidth(const QWidget& form) {
  return std::max(97, Child<QCheckBox>(form, "HidePasswordBox")->sizeHint().width());
}

// The key of the entries in these tests.
const corvella::SessionKey testKey;

EntryPtr MakeEntry(const std::string& site, const std::string& url, std::string_view password,
                   const std::string& user) {
  auto entry = std::make_shared<Entry>();
  entry->siteName = site;
  entry->url = url;
  entry->SetPassword(password, testKey);
  entry->userName = user;
  return entry;
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
int ExecAndThen(TNewPasswordForm& form, std::function<void()> act) {
  QTimer::singleShot(0, &form, std::move(act));
  QTimer::singleShot(5000, &form, [&form] { form.done(-1); });
  return form.exec();
}

}  // namespace

Q_DECLARE_METATYPE(Clip)
Q_DECLARE_METATYPE(Close)

class NewPasswordFormTest : public QObject {
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
  void setFieldsShowsTheEntry();
  void closingWritesOnlyOnOkInEditMode_data();
  void closingWritesOnlyOnOkInEditMode();
  void okInNewModeLeavesTheTextsToTheCaller();
  void okInEditModeStoresEmptyFields();
  void okInEditModeKeepsLongTexts();
  void okStillClosesWithOkWhenTheSaveFails();
};

void NewPasswordFormTest::startsWithTheDesignLayout() {
  TNewPasswordForm form;
  QCOMPARE(form.windowTitle(), QStringLiteral("Add New Password"));
  QCOMPARE(form.parent(), nullptr);
  QCOMPARE(form.size(), QSize(453, 217));
  QVERIFY(form.maximumSize() != form.minimumSize());  // resizable

  const struct {
    const char* name;
    QRect geometry;
    const char* label;
  } fields[] = {
      {"SiteNameEdit", {24, 26, 225, 21}, "Web Site Name"},
      {"UserNameEdit", {264, 26, 169, 21}, "User Name"},
      {"UrlEdit", {24, 74, 405, 21}, "Web Site Address (URL)"},
      {"PasswordEdit", {24, 122, 405, 20}, "Password"},
  };
  const QList<QLabel*> labels = form.findChildren<QLabel*>();
  for (const auto& expected : fields) {
    const QLineEdit* field = Field(form, expected.name);
    QVERIFY2(field != nullptr, expected.name);
    QCOMPARE(field->geometry(), expected.geometry);
    QVERIFY(field->text().isEmpty());
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

  const auto* generate = Child<QPushButton>(form, "BitBtn1");
  QVERIFY(generate != nullptr);
  QCOMPARE(generate->text(), QStringLiteral("Generate"));
  QCOMPARE(generate->geometry(), QRect(24, 152, 89, 25));
  QVERIFY(!generate->icon().isNull());
  QCOMPARE(generate->iconSize(), QSize(16, 16));
  const auto* hide = Child<QCheckBox>(form, "HidePasswordBox");
  QVERIFY(hide != nullptr);
  QCOMPARE(hide->text(), QStringLiteral("Hide password"));
  // 97 wide, or as wide as the caption needs in the desktop's font.
  QCOMPARE(hide->geometry(), QRect(128, 157, std::max(97, hide->sizeHint().width()), 17));
  QVERIFY(hide->isChecked());
  QCOMPARE(Field(form, "PasswordEdit")->echoMode(), QLineEdit::Password);
  const auto* ok = Child<QPushButton>(form, "Button1");
  const auto* cancel = Child<QPushButton>(form, "Button2");
  QVERIFY(ok != nullptr && cancel != nullptr);
  QCOMPARE(ok->text(), QStringLiteral("OK"));
  QCOMPARE(ok->geometry(), QRect(271, 170, 75, 25));
  QVERIFY(ok->isDefault());
  QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
  QCOMPARE(cancel->geometry(), QRect(359, 170, 75, 25));
  QVERIFY(!cancel->isDefault());

  QStringList tabOrder;
  QWidget* widget = Field(form, "SiteNameEdit");
  do {
    if ((widget->focusPolicy() & Qt::TabFocus) && widget != &form) {
      tabOrder << widget->objectName();
    }
    widget = widget->nextInFocusChain();
  } while (widget != Field(form, "SiteNameEdit"));
  QCOMPARE(tabOrder, QStringList({"SiteNameEdit", "UserNameEdit", "UrlEdit", "PasswordEdit",
                                  "BitBtn1", "HidePasswordBox", "Button1", "Button2"}));

  form.show();
  QCOMPARE(form.focusWidget(), Field(form, "SiteNameEdit"));
  const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
  QVERIFY((form.frameGeometry().center() - screenCentre).manhattanLength() <= 2);
}

void NewPasswordFormTest::anchorsFollowAResize_data() {
  QTest::addColumn<QSize>("growth");
  QTest::newRow("design size") << QSize(0, 0);
  QTest::newRow("wider and taller") << QSize(100, 50);
  QTest::newRow("taller only") << QSize(0, 120);
}

void NewPasswordFormTest::anchorsFollowAResize() {
  QFETCH(QSize, growth);
  const int dx = growth.width();
  const int dy = growth.height();
  TNewPasswordForm form;
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
      {"SiteNameEdit", {24, 26 + dy, 225 + siteGrowth, 21}},
      {"UserNameEdit", {264 + siteGrowth, 26 + dy, 169 + dx - siteGrowth, 21}},
      {"UrlEdit", {24, 74 + dy, 405 + dx, 21}},
      {"PasswordEdit", {24, 122 + dy, 405 + dx, 20}},
      {"BitBtn1", {24, 152 + dy, 89, 25}},
      {"HidePasswordBox", {128, 157 + dy, HideWidth(form), 17}},
      {"Button1", {271 + dx, 170 + dy, 75, 25}},
      {"Button2", {359 + dx, 170 + dy, 75, 25}},
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

void NewPasswordFormTest::clipboardAddressFillsAnEmptyAddressField_data() {
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

void NewPasswordFormTest::clipboardAddressFillsAnEmptyAddressField() {
  QFETCH(bool, editMode);
  QFETCH(QString, storedUrl);
  QFETCH(Clip, clip);
  QFETCH(QString, clipText);
  QFETCH(QString, expectedUrl);

  SetClipboard(clip, clipText);
  EntryPtr entry;
  if (editMode) entry = MakeEntry("Site", storedUrl.toStdString(), "pw", "user");
  int saves = 0;
  TNewPasswordForm form(entry, [&] { ++saves; }, &testKey);
  if (entry) form.SetFields(*entry, testKey);
  form.show();
  QCOMPARE(Field(form, "UrlEdit")->text(), expectedUrl);
  QCOMPARE(QGuiApplication::clipboard()->text(), clip == Clip::Text ? clipText : QString());
  QCOMPARE(saves, 0);
}

void NewPasswordFormTest::hidePasswordSwitchesTheEchoOnly() {
  TNewPasswordForm form;
  form.show();
  auto* hide = Child<QCheckBox>(form, "HidePasswordBox");
  QLineEdit* password = Field(form, "PasswordEdit");
  password->setText(QStringLiteral("fake pw 1"));
  for (const auto& [checked, echo] :
       {std::pair{false, QLineEdit::Normal}, std::pair{true, QLineEdit::Password},
        std::pair{false, QLineEdit::Normal}}) {
    hide->click();
    QCOMPARE(hide->isChecked(), checked);
    QCOMPARE(password->echoMode(), echo);
    QVERIFY(password->text() == QStringLiteral("fake pw 1"));
    QCOMPARE(Field(form, "SiteNameEdit")->echoMode(), QLineEdit::Normal);
  }
}

void NewPasswordFormTest::generateAsksBeforeReplacing_data() {
  QTest::addColumn<QString>("before");
  QTest::addColumn<MessageAnswer>("answer");
  QTest::addColumn<bool>("asked");
  QTest::addColumn<bool>("replaced");

  QTest::newRow("empty field") << QString() << MessageAnswer::No << false << true;
  QTest::newRow("No keeps it") << "old-fake-pw" << MessageAnswer::No << true << false;
  QTest::newRow("Yes replaces it") << "old-fake-pw" << MessageAnswer::Yes << true << true;
  QTest::newRow("closed box replaces it") << "old-fake-pw" << MessageAnswer::Cancel << true << true;
}

void NewPasswordFormTest::generateAsksBeforeReplacing() {
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
  TNewPasswordForm form;
  form.show();
  QLineEdit* password = Field(form, "PasswordEdit");
  password->setText(before);
  Child<QPushButton>(form, "BitBtn1")->click();
  if (QTest::currentTestFailed()) return;

  QCOMPARE(questions, asked ? 1 : 0);
  QCOMPARE(password->echoMode(), QLineEdit::Password);
  const QString after = password->text();
  if (!replaced) {
    QVERIFY(after == before);
    return;
  }
  QVERIFY(after != before);
  QVERIFY(after.size() >= 12 && after.size() <= 16);
  for (const QChar c : after) QVERIFY2(kAlphabet.contains(c), "character outside the alphabet");
}

void NewPasswordFormTest::setFieldsShowsTheEntry() {
  const EntryPtr entry =
      MakeEntry("Z\xC3\xBCrich Bank", "https://bank.example", "p\xC3\xA4ss 1", "\xE9l\xE8ve");
  TNewPasswordForm form(entry, [] {}, &testKey);
  form.SetFields(*entry, testKey);
  QCOMPARE(Field(form, "SiteNameEdit")->text(), QStringLiteral(u"Zürich Bank"));
  QCOMPARE(Field(form, "UrlEdit")->text(), QStringLiteral("https://bank.example"));
  QVERIFY(Field(form, "PasswordEdit")->text() == QStringLiteral(u"päss 1"));
  // Bytes that are not UTF-8 show as Windows-1252.
  QCOMPARE(Field(form, "UserNameEdit")->text(), QStringLiteral(u"élève"));
  QCOMPARE(Field(form, "PasswordEdit")->echoMode(), QLineEdit::Password);
}

void NewPasswordFormTest::closingWritesOnlyOnOkInEditMode_data() {
  QTest::addColumn<Close>("how");
  QTest::addColumn<int>("result");
  QTest::newRow("OK clicked") << Close::ClickOk << int{QDialog::Accepted};
  QTest::newRow("Enter") << Close::Return << int{QDialog::Accepted};
  QTest::newRow("Cancel clicked") << Close::ClickCancel << int{QDialog::Rejected};
  QTest::newRow("Escape") << Close::Escape << int{QDialog::Rejected};
  QTest::newRow("title bar") << Close::TitleBar << int{QDialog::Rejected};
}

void NewPasswordFormTest::closingWritesOnlyOnOkInEditMode() {
  QFETCH(Close, how);
  QFETCH(int, result);

  const EntryPtr entry = MakeEntry("Old site", "http://old.example", "old-fake-pw", "old user");
  const Entry before = *entry;
  int saves = 0;
  TNewPasswordForm form(entry, [&] { ++saves; }, &testKey);
  form.SetFields(*entry, testKey);
  const int closed = ExecAndThen(form, [&] {
    // Values with blanks around them: nothing is trimmed.
    Field(form, "SiteNameEdit")->setText(QStringLiteral(u" New site "));
    Field(form, "UrlEdit")->setText(QStringLiteral(u"https://new.example/ä"));
    Field(form, "PasswordEdit")->setText(QStringLiteral(u"new fake pw "));
    Field(form, "UserNameEdit")->setText(QStringLiteral(u"new user"));
    switch (how) {
      case Close::ClickOk:
        QTest::mouseClick(Child<QPushButton>(form, "Button1"), Qt::LeftButton);
        break;
      case Close::Return:
        QTest::keyClick(Field(form, "UrlEdit"), Qt::Key_Return);
        break;
      case Close::ClickCancel:
        QTest::mouseClick(Child<QPushButton>(form, "Button2"), Qt::LeftButton);
        break;
      case Close::Escape:
        QTest::keyClick(Field(form, "SiteNameEdit"), Qt::Key_Escape);
        break;
      case Close::TitleBar:
        form.close();
        break;
    }
  });
  QCOMPARE(closed, result);
  if (result == QDialog::Accepted) {
    QCOMPARE(Bytes(entry->siteName), QByteArray(" New site "));
    QCOMPARE(Bytes(entry->url), QByteArray("https://new.example/\xC3\xA4"));
    QVERIFY(entry->Password(testKey).View() == "new fake pw ");
    QCOMPARE(Bytes(entry->userName), QByteArray("new user"));
    QCOMPARE(saves, 1);
  } else {
    QCOMPARE(Bytes(entry->siteName), Bytes(before.siteName));
    QCOMPARE(Bytes(entry->url), Bytes(before.url));
    QCOMPARE(Bytes(entry->encryptedPassword), Bytes(before.encryptedPassword));
    QCOMPARE(Bytes(entry->userName), Bytes(before.userName));
    QCOMPARE(saves, 0);
  }
}

void NewPasswordFormTest::okInNewModeLeavesTheTextsToTheCaller() {
  int saves = 0;
  TNewPasswordForm form(nullptr, [&] { ++saves; });
  const int closed = ExecAndThen(form, [&] {
    Field(form, "SiteNameEdit")->setText(QStringLiteral(u"Zürich"));
    Field(form, "UrlEdit")->setText(QStringLiteral(u"example.org"));
    Field(form, "PasswordEdit")->setText(QStringLiteral(u"fake pw €"));
    Field(form, "UserNameEdit")->setText(QStringLiteral(u" me "));
    QTest::mouseClick(Child<QPushButton>(form, "Button1"), Qt::LeftButton);
  });
  QCOMPARE(closed, int{QDialog::Accepted});
  QCOMPARE(saves, 0);
  QCOMPARE(Bytes(form.SiteNameText()), QByteArray("Z\xC3\xBCrich"));
  QCOMPARE(Bytes(form.UrlText()), QByteArray("example.org"));
  QVERIFY(form.PasswordText().View() == "fake pw \xE2\x82\xAC");
  QCOMPARE(Bytes(form.UserNameText()), QByteArray(" me "));
}

void NewPasswordFormTest::okInEditModeStoresEmptyFields() {
  const EntryPtr entry = MakeEntry("Site", "http://a.example", "old-fake-pw", "user");
  int saves = 0;
  TNewPasswordForm form(entry, [&] { ++saves; }, &testKey);
  form.SetFields(*entry, testKey);
  const int closed = ExecAndThen(form, [&] {
    for (const char* name : {"SiteNameEdit", "UrlEdit", "PasswordEdit", "UserNameEdit"}) {
      Field(form, name)->clear();
    }
    QTest::mouseClick(Child<QPushButton>(form, "Button1"), Qt::LeftButton);
  });
  QCOMPARE(closed, int{QDialog::Accepted});
  QCOMPARE(saves, 1);
  QVERIFY(entry->siteName.empty());
  QVERIFY(entry->url.empty());
  QVERIFY(entry->encryptedPassword.empty());
  QVERIFY(entry->userName.empty());
}

void NewPasswordFormTest::okInEditModeKeepsLongTexts() {
  // Longer than a line edit's default limit of 32767 characters.
  const std::string url = "http://long.example/" + std::string(40'000, 'x');
  const std::string password(33'000, 'p');
  const EntryPtr entry = MakeEntry("Site", url, password, "user");
  TNewPasswordForm form(entry, [] {}, &testKey);
  form.SetFields(*entry, testKey);
  const int closed = ExecAndThen(
      form, [&] { QTest::mouseClick(Child<QPushButton>(form, "Button1"), Qt::LeftButton); });
  QCOMPARE(closed, int{QDialog::Accepted});
  QCOMPARE(entry->url.size(), url.size());
  QVERIFY(entry->url == url);
  QVERIFY(entry->Password(testKey).View() == password);
}

void NewPasswordFormTest::okStillClosesWithOkWhenTheSaveFails() {
  auto* app = static_cast<corvella::Application*>(QCoreApplication::instance());
  QStringList failures;
  app->SetFailureHandler([&](const QString& message) { failures << message; });
  const EntryPtr entry = MakeEntry("Site", "http://a.example", "old-fake-pw", "user");
  int saves = 0;
  TNewPasswordForm form(entry, [&] {
    ++saves;
    throw corvella::Error("Disk full");
  }, &testKey);
  form.SetFields(*entry, testKey);
  const int closed = ExecAndThen(form, [&] {
    Field(form, "SiteNameEdit")->setText(QStringLiteral("New site"));
    Field(form, "PasswordEdit")->setText(QStringLiteral("new-fake-pw"));
    QTest::keyClick(Field(form, "PasswordEdit"), Qt::Key_Return);
  });
  app->SetFailureHandler({});
  QCOMPARE(closed, int{QDialog::Accepted});
  QCOMPARE(failures, QStringList{QStringLiteral("Disk full")});
  QCOMPARE(saves, 1);
  // Written before the save, so the next successful save stores them.
  QCOMPARE(Bytes(entry->siteName), QByteArray("New site"));
  QVERIFY(entry->Password(testKey).View() == "new-fake-pw");
  QCOMPARE(Bytes(entry->url), QByteArray("http://a.example"));
  QCOMPARE(Bytes(entry->userName), QByteArray("user"));
}

int main(int argc, char** argv) {
  corvella::Application app(argc, argv);
  NewPasswordFormTest test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}

#include "NewPasswordFormTest.moc"
