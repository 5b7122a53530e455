// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window by keyboard under the real application object: the search field above the
// list (filtering, moving in the list, opening, clearing), the notification-area menu that it
// narrows, and every shortcut against the command it runs, also while the session is locked.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMenu>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>

#include "store/PasswordStore.h"
#include "store/SessionKey.h"
#include "tests/ui/MainWindowTestSupport.h"
#include "ui/EntryEditor.h"
#include "ui/EntryListView.h"
#include "ui/Text.h"

namespace corvella {
namespace {

using namespace test;

struct SampleEntry {
  std::string site;
  std::string user;
  std::string url;
};

// "Zürich Bank" is stored as a file made on Windows stores it: Windows-1252 bytes.
const QList<SampleEntry> kSearchVault = {
    {"Caf\xC3\xA9 Noir", "barista", "https://noir.example"},
    {"GitHub", "octocat", "https://github.com"},
    {"Z\xFCrich Bank", "zk", "https://bank.example"},
    {"Cafe Blanc", "jdoe", "https://blanc.example"},
    {"Mail", "jdoe@example.org", "https://mail.example"},
};

// Three entries whose passwords are "pw0" .. "pw2" and user names "user0" .. "user2".
const QList<SampleEntry> kThree = {
    {"One", "user0", "https://one.example"},
    {"Two", "user1", "https://two.example"},
    {"Three", "user2", "https://three.example"},
};

// Types `text` key by key; "\b" is Backspace, characters outside ASCII arrive as the text of
// an unnamed key.
void Type(QWidget* field, const QString& text) {
  for (const QChar c : text) {
    if (c == u'\b') {
      QTest::keyClick(field, Qt::Key_Backspace);
    } else if (c.unicode() < 0x80) {
      QTest::keyClick(field, static_cast<char>(c.unicode()));
    } else {
      QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
  }
}

enum class Focus { List, SearchField, Locked, Creating };

struct Key {
  Qt::Key key;
  Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

}  // namespace
}  // namespace corvella

Q_DECLARE_METATYPE(corvella::Focus)
Q_DECLARE_METATYPE(corvella::Key)

namespace corvella {

class KeyboardTest : public QObject, public MainWindowFixture {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void init();
  void cleanup();

  void search_data();
  void search();
  void searchFieldKeys_data();
  void searchFieldKeys();
  void searchClearedOnLock();

  void shortcuts_data();
  void shortcuts();
  void shortcutsShown();

 private:
  [[nodiscard]] bool StartUnlocked(const QList<SampleEntry>& entries);
  QStringList Rows() const;
  QString Selected() const;
  QStringList TrayMenu() const;
  // Everything a key may have done, one line per effect.
  QStringList Effects();

  EntryListView* list_ = nullptr;
  QLineEdit* search_ = nullptr;
  UrlRecorder recorder_;
  QString editorTitle_;
  QString menuRow_;
  QWidget* focusBefore_ = nullptr;
};

void KeyboardTest::initTestCase() {
  DropOffscreenWarnings();
  QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder_, "open");
}

void KeyboardTest::cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }

void KeyboardTest::init() {
  SetUpHome();
  recorder_.calls.clear();
  editorTitle_.clear();
  menuRow_.clear();
  focusBefore_ = nullptr;
  QGuiApplication::clipboard()->setText(QLatin1String(kElsewhere));
}

void KeyboardTest::cleanup() {
  list_ = nullptr;
  search_ = nullptr;
  TearDownHome();
}

bool KeyboardTest::StartUnlocked(const QList<SampleEntry>& entries) {
  PasswordStore store;
  for (qsizetype i = 0; i < entries.size(); ++i) {
    auto entry = std::make_shared<Entry>();
    entry->SetSiteName(entries[i].site);
    entry->SetUserName(entries[i].user);
    entry->SetUrl(entries[i].url);
    entry->SetPassword("pw" + std::to_string(i), store.Key());
    store.AddEntry(entry);
  }
  store.SetMasterPassword(kVaultPassword);
  store.SavePasswordsTo(VaultPath());
  if (!StartWindow()) return false;
  list_ = window_->findChild<EntryListView*>(QStringLiteral("entryList"));
  search_ = window_->findChild<QLineEdit*>(QStringLiteral("searchField"));
  return list_ != nullptr && search_ != nullptr && UnlockWith(kVaultPassword) &&
         list_->model()->rowCount() == entries.size();
}

QStringList KeyboardTest::Rows() const {
  QStringList rows;
  for (int row = 0; row < list_->model()->rowCount(); ++row) {
    rows << list_->model()->index(row, 0).data().toString();
  }
  return rows;
}

QString KeyboardTest::Selected() const {
  const EntryPtr entry = list_->SelectedEntry();
  return entry ? FromBytes(entry->SiteName()) : QStringLiteral("<none>");
}

QStringList KeyboardTest::TrayMenu() const {
  auto* menu = window_->findChild<QMenu*>(QStringLiteral("trayMenu"));
  emit menu->aboutToShow();
  QStringList shown;
  for (const QAction* action : menu->actions()) {
    if (action->isVisible() && !action->isSeparator()) shown << action->text().remove(u'&');
  }
  return shown;
}

QStringList KeyboardTest::Effects() {
  QStringList effects;
  for (const UrlRecorder::Call& call : std::exchange(recorder_.calls, {})) {
    effects << "opened " + call.url.toString();
  }
  effects << TakeMessages();
  if (!editorTitle_.isEmpty()) effects << "editor: " + std::exchange(editorTitle_, {});
  if (!menuRow_.isEmpty()) effects << "menu at " + std::exchange(menuRow_, {});
  const QString clipboard = ClipboardText();
  if (clipboard != QLatin1String(kElsewhere)) {
    // Passwords are named, never shown.
    const bool password = clipboard.startsWith(QStringLiteral("pw"));
    effects << "clipboard: " + (password ? QStringLiteral("a password") : clipboard) +
                   (ClipboardMarkedSecret() ? QStringLiteral(", secret") : QString());
    if (password) effects.back() += clipboard == QStringLiteral("pw1") ? " of Two" : " not of Two";
  }
  if (!window_->isVisible()) {
    effects << QStringLiteral("closed");
  } else if (session_->IsLocked()) {
    effects << QStringLiteral("locked");
  } else {
    auto* pages = window_->findChild<QStackedWidget*>(QStringLiteral("pages"));
    if (pages->currentIndex() != 0) effects << QStringLiteral("Options page");
    // The window's own focus, where it returns once an editor or menu has gone.
    QWidget* focus = window_->focusWidget();
    if (focusBefore_ != nullptr && focus != focusBefore_) {
      effects << "focus in " + (focus != nullptr ? focus->objectName() : QStringLiteral("nothing"));
    }
  }
  return effects;
}

// ---- Search ----

void KeyboardTest::search_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QStringList>("rows");
  QTest::addColumn<QString>("selected");  // the first match; with all shown, as before

  const QString noir = QStringLiteral(u"Café Noir");
  const QString zurich = QStringLiteral(u"Zürich Bank");
  QTest::newRow("nothing typed: all")
      << "" << QStringList{noir, "GitHub", zurich, "Cafe Blanc", "Mail"} << QString("<none>");
  QTest::newRow("accent stored") << "cafe" << QStringList{noir, "Cafe Blanc"} << QString(noir);
  QTest::newRow("accent typed, other case")
      << QStringLiteral(u"CAFÉ") << QStringList{noir, "Cafe Blanc"} << QString(noir);
  QTest::newRow("Windows-1252 name")
      << QStringLiteral(u"zurich") << QStringList{zurich} << QString(zurich);
  QTest::newRow("user name") << "jdoe" << QStringList{"Cafe Blanc", "Mail"}
                             << QString("Cafe Blanc");
  QTest::newRow("address") << "github.com" << QStringList{"GitHub"} << QString("GitHub");
  QTest::newRow("typed on, then back")
      << "cafe n\b\b" << QStringList{noir, "Cafe Blanc"} << QString(noir);
  QTest::newRow("no hit") << "nowhere" << QStringList{} << QString("<none>");
  QTest::newRow("typed and erased")
      << "gi\b\b" << QStringList{noir, "GitHub", zurich, "Cafe Blanc", "Mail"} << QString("GitHub");
}

void KeyboardTest::search() {
  QFETCH(QString, typed);
  QFETCH(QStringList, rows);
  QFETCH(QString, selected);

  QVERIFY(StartUnlocked(kSearchVault));
  // Unlocking leaves the focus in the search field, ready for typing.
  QCOMPARE(QApplication::focusWidget(), search_);
  QCOMPARE(search_->placeholderText(), QStringLiteral("Search"));
  Type(search_, typed);
  QCOMPARE(Rows(), rows);
  QCOMPARE(Selected(), selected);
  // The notification-area menu offers what the list shows.
  QCOMPARE(TrayMenu(), rows + QStringList{"Exit"});
  QCOMPARE(Effects(), QStringList());
}

void KeyboardTest::searchFieldKeys_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QList<Key>>("keys");
  QTest::addColumn<QString>("selected");
  QTest::addColumn<QStringList>("effects");

  QTest::newRow("Return opens the first match")
      << "cafe" << QList<Key>{{Qt::Key_Return}} << QStringLiteral(u"Café Noir")
      << QStringList{"opened https://noir.example"};
  QTest::newRow("Down, then Enter") << "cafe" << QList<Key>{{Qt::Key_Down}, {Qt::Key_Enter}}
                                    << "Cafe Blanc" << QStringList{"opened https://blanc.example"};
  QTest::newRow("Down stops at the last")
      << "cafe" << QList<Key>{{Qt::Key_Down}, {Qt::Key_Down}} << "Cafe Blanc" << QStringList{};
  QTest::newRow("Down, Up") << "cafe" << QList<Key>{{Qt::Key_Down}, {Qt::Key_Up}}
                            << QStringLiteral(u"Café Noir") << QStringList{};
  QTest::newRow("Return without a match")
      << "nowhere" << QList<Key>{{Qt::Key_Return}} << "<none>" << QStringList{};
  QTest::newRow("Alt+letter types nothing")
      << "git" << QList<Key>{{Qt::Key_X, Qt::AltModifier}} << "GitHub" << QStringList{};
}

void KeyboardTest::searchFieldKeys() {
  QFETCH(QString, typed);
  QFETCH(QList<Key>, keys);
  QFETCH(QString, selected);
  QFETCH(QStringList, effects);

  QVERIFY(StartUnlocked(kSearchVault));
  Type(search_, typed);
  for (const Key& key : keys) QTest::keyClick(search_, key.key, key.modifiers);
  QCOMPARE(Selected(), selected);
  QCOMPARE(Effects(), effects);
  // Typing went on in the field.
  QCOMPARE(QApplication::focusWidget(), search_);
  QCOMPARE(search_->text(), typed);

  // Escape clears the field and returns to the list, the entry found still selected.
  QTest::keyClick(search_, Qt::Key_Escape);
  QCOMPARE(search_->text(), QString());
  QCOMPARE(Rows().size(), kSearchVault.size());
  QCOMPARE(QApplication::focusWidget(), list_);
  QCOMPARE(Selected(), selected);
}

void KeyboardTest::searchClearedOnLock() {
  QVERIFY(StartUnlocked(kSearchVault));
  Type(search_, QStringLiteral("cafe"));
  QCOMPARE(Rows().size(), 2);
  window_->findChild<QAction*>(QStringLiteral("lockAction"))->trigger();
  QVERIFY(session_->IsLocked());
  QCOMPARE(search_->text(), QString());
  QVERIFY(UnlockWith(kVaultPassword));
  QCOMPARE(Rows().size(), kSearchVault.size());
  QCOMPARE(TrayMenu().size(), kSearchVault.size() + 1);
  QCOMPARE(Effects(), QStringList());
}

// ---- Shortcuts ----

void KeyboardTest::shortcuts_data() {
  QTest::addColumn<Focus>("focus");
  QTest::addColumn<Key>("key");
  QTest::addColumn<QStringList>("effects");

  const QString deleteQuestion = QStringLiteral(
      "Confirm (Yes, No): Are you sure you want to delete the password entry \"Two\"?");
  const struct {
    const char* name;
    Key key;
    QStringList inList;
    QStringList inSearchField;
  } commands[] = {
      {"Return", {Qt::Key_Return}, {"opened https://two.example"}, {"opened https://two.example"}},
      {"Ctrl+E",
       {Qt::Key_E, Qt::ControlModifier},
       {"editor: Edit Password"},
       {"editor: Edit Password"}},
      {"F2", {Qt::Key_F2}, {"editor: Edit Password"}, {"editor: Edit Password"}},
      {"Ctrl+N",
       {Qt::Key_N, Qt::ControlModifier},
       {"editor: Add New Password"},
       {"editor: Add New Password"}},
      // In the search field these keys edit the field.
      {"Delete", {Qt::Key_Delete}, {deleteQuestion}, {}},
      {"Ctrl+C", {Qt::Key_C, Qt::ControlModifier}, {"clipboard: a password, secret of Two"}, {}},
      {"Ctrl+B", {Qt::Key_B, Qt::ControlModifier}, {"clipboard: user1"}, {"clipboard: user1"}},
      {"Shift+F10", {Qt::Key_F10, Qt::ShiftModifier}, {"menu at Two"}, {}},
      {"Menu key", {Qt::Key_Menu}, {"menu at Two"}, {}},
      {"Ctrl+L", {Qt::Key_L, Qt::ControlModifier}, {"locked"}, {"locked"}},
      {"Ctrl+2",
       {Qt::Key_2, Qt::ControlModifier},
       {"Options page", "focus in copyPasswordBox"},
       {"Options page", "focus in copyPasswordBox"}},
      {"Ctrl+1", {Qt::Key_1, Qt::ControlModifier}, {}, {"focus in entryList"}},
      {"Ctrl+F", {Qt::Key_F, Qt::ControlModifier}, {"focus in searchField"}, {}},
      {"Ctrl+Q", {Qt::Key_Q, Qt::ControlModifier}, {"closed"}, {"closed"}},
  };
  for (const auto& command : commands) {
    QTest::addRow("%s in the list", command.name) << Focus::List << command.key << command.inList;
    QTest::addRow("%s in the search field", command.name)
        << Focus::SearchField << command.key << command.inSearchField;
    // The unlock and creation panels let only New Password (which asks for the unlock) and Exit
    // through; Return is their own OK.
    QStringList locked{"locked"};
    QStringList creating{"locked"};
    if (command.key.key == Qt::Key_Q) locked = creating = QStringList{"closed"};
    if (command.key.key == Qt::Key_N) {
      locked.prepend(QString::fromLatin1(kUnlockFirst));
      creating.prepend(QString::fromLatin1(kUnlockFirst));
    }
    if (command.key.key == Qt::Key_Return) {
      locked.prepend(QStringLiteral("Error: Invalid master password"));
      creating.prepend(
          QStringLiteral("Error: The password you entered is too short. Please enter a password "
                         "that is at least 6 characters long"));
    }
    QTest::addRow("%s while locked", command.name) << Focus::Locked << command.key << locked;
    QTest::addRow("%s while creating", command.name) << Focus::Creating << command.key << creating;
  }
}

void KeyboardTest::shortcuts() {
  QFETCH(Focus, focus);
  QFETCH(Key, key);
  QFETCH(QStringList, effects);

  if (focus == Focus::Creating) {
    QVERIFY(StartWindow());
  } else {
    QVERIFY(StartUnlocked(kThree));
    list_->setCurrentIndex(list_->model()->index(1, 0));
    if (focus == Focus::List) list_->setFocus();
    if (focus == Focus::Locked)
      window_->findChild<QAction*>(QStringLiteral("lockAction"))->trigger();
  }
  // What opens modally is looked at, then closed, from inside its own event loop.
  focusBefore_ = window_->focusWidget();
  QTimer::singleShot(0, this, [this] {
    if (auto* editor = qobject_cast<EntryEditor*>(QApplication::activeModalWidget())) {
      editorTitle_ = editor->windowTitle();
      editor->reject();
    }
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      const QPoint above = list_->viewport()->mapFromGlobal(menu->pos()) - QPoint(0, 2);
      menuRow_ = list_->indexAt(above).data().toString();
      menu->close();
    }
  });
  const bool quits = QGuiApplication::quitOnLastWindowClosed();
  QGuiApplication::setQuitOnLastWindowClosed(false);
  QTest::keyClick(QApplication::focusWidget(), key.key, key.modifiers);
  QGuiApplication::setQuitOnLastWindowClosed(quits);
  QCOMPARE(Effects().join(" | "), effects.join(" | "));
}

void KeyboardTest::shortcutsShown() {
  QVERIFY(StartUnlocked(kThree));
  QStringList toolTips;
  for (const char* name :
       {"newPasswordActionButton", "webPageActionButton", "editActionButton", "deleteActionButton",
        "lockActionButton", "exitActionButton", "passwordsButton", "optionsButton"}) {
    toolTips << window_->findChild<QWidget*>(QLatin1String(name))->toolTip();
  }
  QCOMPARE(toolTips, (QStringList{"New Password (Ctrl+N)", "Go to Web Page (Return)",
                                  "Edit (Ctrl+E)", "Delete (Del)", "Lock (Ctrl+L)", "Exit (Ctrl+Q)",
                                  "Passwords (Ctrl+1)", "Options (Ctrl+2)"}));
  // The row menu shows its keys beside its items.
  QStringList items;
  for (const QAction* action : window_->findChild<QMenu*>(QStringLiteral("entryMenu"))->actions()) {
    items << action->text() + " " + action->shortcut().toString(QKeySequence::NativeText);
  }
  QCOMPARE(items, (QStringList{"Copy user name Ctrl+B", "Copy password Ctrl+C"}));
}

}  // namespace corvella

int main(int argc, char** argv) {
  return corvella::test::RunMainWindowTest<corvella::KeyboardTest>(argc, argv);
}

#include "KeyboardTest.moc"
