// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The notification-area icon and the menu it opens: captions with access keys, the items and
// what they reach, and the icon's wiring. A real tray host is needed only by RealTrayHost.
// Run with CORVELLA_TEST_TRAY_HOST=statusnotifier, the session bus has a StatusNotifierItem
// host's watcher on it.

#include <QApplication>
#include <QDBusConnection>
#include <QKeySequence>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QtTest>
#include <memory>
#include <vector>

#include "store/Entry.h"
#include "store/SessionKey.h"
#include "tests/platform/PrivateBus.h"
#include "ui/TrayMenu.h"
#include "ui/controls/TrayIcon.h"

using corvella::Entry;
using corvella::EntryPtr;
using corvella::MenuCaption;
using corvella::RebuildTrayMenu;
using corvella::TrayIcon;
using corvella::test::PrivateBus;

namespace {

// The key of the entries in these tests.
const corvella::SessionKey testKey;

EntryPtr MakeEntry(const QByteArray& siteName, std::string_view password = "pw") {
  auto entry = std::make_shared<Entry>();
  entry->SetSiteName(siteName.toStdString());
  entry->SetPassword(password, testKey);
  return entry;
}

// What Qt draws for a caption: "&&" is one "&", "&x" underlines x.
struct Drawn {
  QString text;
  QList<qsizetype> underlined;
};

Drawn Draw(const QString& caption) {
  Drawn drawn;
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&' && i + 1 < caption.size()) {
      ++i;
      if (caption[i] != u'&') drawn.underlined.append(drawn.text.size());
    }
    drawn.text += caption[i];
  }
  return drawn;
}

// The menu as a list: captions, "<sep>" for a shown separator, "<hidden sep>" for a hidden one.
QStringList Describe(const QMenu& menu) {
  QStringList items;
  for (const QAction* action : menu.actions()) {
    if (action->isSeparator()) {
      items.append(action->isVisible() ? QStringLiteral("<sep>") : QStringLiteral("<hidden sep>"));
    } else {
      items.append(action->isVisible() ? action->text()
                                       : QStringLiteral("<hidden>") + action->text());
    }
  }
  return items;
}

QWidget* XEmbedDock() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == QLatin1String("QSystemTrayIconSys") && widget->isVisible()) {
      return widget;
    }
  }
  return nullptr;
}

void FreeDeferred() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

bool StatusNotifierHost() {
  return qEnvironmentVariable("CORVELLA_TEST_TRAY_HOST") == QLatin1String("statusnotifier");
}

}  // namespace

class TrayTest : public QObject {
  Q_OBJECT

 private slots:
  // A session bus of the test's own, so that the desktop it runs in plays no part.
  void initTestCase() {
    QVERIFY2(!bus_.Address().isEmpty(), qPrintable(bus_.Failure()));
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus_.Address().toUtf8());
    if (StatusNotifierHost()) {
      QDBusConnection host = bus_.Connect(QStringLiteral("host"));
      QVERIFY(host.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")));
    }
  }

  // Items of one menu, captioned in order from the same set of taken keys.
  void Captions_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QString>("keys");  // the key of each item, "." for none
    QTest::newRow("first free letter")
        << QStringList{"Amazon", "Apple"} << QStringList{"&Amazon", "A&pple"} << "AP";
    QTest::newRow("read in capitals")
        << QStringList{"bank", "Bob"} << QStringList{"&bank", "B&ob"} << "BO";
    QTest::newRow("equal names") << QStringList{"Mail", "Mail", "Mail"}
                                 << QStringList{"&Mail", "M&ail", "Ma&il"} << "MAI";
    QTest::newRow("ampersand is literal") << QStringList{"&Bank"} << QStringList{"&&&Bank"} << "B";
    QTest::newRow("ampersand inside")
        << QStringList{"AT&T", "&x&y"} << QStringList{"&AT&&T", "&&&x&&y"} << "AX";
    QTest::newRow("ampersands only") << QStringList{"&", "&&"} << QStringList{"&&", "&&&&"} << "..";
    QTest::newRow("dash is text") << QStringList{"-"} << QStringList{"-"} << ".";
    QTest::newRow("digits") << QStringList{"123", "1-2"} << QStringList{"&123", "1-&2"} << "12";
    QTest::newRow("non-ASCII letter skipped")
        << QStringList{QStringLiteral("Ärzte")} << QStringList{QStringLiteral("Ä&rzte")} << "R";
    QTest::newRow("dotless i reads as I")
        << QStringList{QStringLiteral("ıx")} << QStringList{QStringLiteral("&ıx")} << "I";
    QTest::newRow("no free character")
        << QStringList{"ab", "ba", "AB", "b-a"} << QStringList{"&ab", "&ba", "AB", "b-a"} << "AB..";
    QTest::newRow("no eligible character") << QStringList{"$%!", QStringLiteral("Ωμ"), ""}
                                           << QStringList{"$%!", QStringLiteral("Ωμ"), ""} << "...";
    QTest::newRow("tab shows as space") << QStringList{"a\tb"} << QStringList{"&a b"} << "A";
  }

  void Captions() {
    QFETCH(QStringList, names);
    QFETCH(QStringList, captions);
    QFETCH(QString, keys);
    QString taken;
    for (qsizetype i = 0; i < names.size(); ++i) {
      const QString caption = MenuCaption(names[i], taken);
      QCOMPARE(caption, captions[i]);
      // Qt draws the name itself, with at most one underline, on the key's character.
      const Drawn drawn = Draw(caption);
      QCOMPARE(drawn.text, QString(names[i]).replace(u'\t', u' '));
      const QChar key = keys[i];
      if (key == u'.') {
        QVERIFY(drawn.underlined.isEmpty());
        QCOMPARE(QKeySequence::mnemonic(caption), QKeySequence());
      } else {
        QCOMPARE(drawn.underlined.size(), 1);
        QCOMPARE(drawn.text[drawn.underlined[0]].toUpper(), key);
        QCOMPARE(QKeySequence::mnemonic(caption),
                 QKeySequence(QKeyCombination(Qt::AltModifier, Qt::Key(key.unicode()))));
      }
    }
    QCOMPARE(taken, QString(keys).remove(u'.'));
  }

  void Menu_data() {
    QTest::addColumn<QByteArrayList>("siteNames");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("locked: Exit alone") << QByteArrayList{} << QStringList{"<hidden sep>", "&Exit"};
    QTest::newRow("list order, not sorted")
        << QByteArrayList{"Zeta", "alpha", "Mail"}
        << QStringList{"&Zeta", "&alpha", "&Mail", "<sep>", "&Exit"};
    QTest::newRow("equal site names")
        << QByteArrayList{"Mail", "Mail"} << QStringList{"&Mail", "M&ail", "<sep>", "&Exit"};
    QTest::newRow("dash is an ordinary item")
        << QByteArrayList{"-"} << QStringList{"-", "<sep>", "&Exit"};
    QTest::newRow("dash first and last")
        << QByteArrayList{"-", "Bank", "-"} << QStringList{"-", "&Bank", "-", "<sep>", "&Exit"};
    QTest::newRow("ampersands") << QByteArrayList{"&Bank", "AT&T"}
                                << QStringList{"&&&Bank", "&AT&&T", "<sep>", "&Exit"};
    QTest::newRow("Exit takes a later key")
        << QByteArrayList{"Email", "Xray"} << QStringList{"&Email", "&Xray", "<sep>", "Ex&it"};
    QTest::newRow("Exit without key") << QByteArrayList{"E", "X", "I", "T"}
                                      << QStringList{"&E", "&X", "&I", "&T", "<sep>", "Exit"};
    QTest::newRow("Windows-1252 bytes")
        << QByteArrayList{"B\xE4r"} << QStringList{QStringLiteral("&Bär"), "<sep>", "&Exit"};
    QTest::newRow("empty site name") << QByteArrayList{""} << QStringList{"", "<sep>", "&Exit"};
  }

  void Menu() {
    QFETCH(QByteArrayList, siteNames);
    QFETCH(QStringList, items);
    std::vector<EntryPtr> entries;
    for (const QByteArray& name : siteNames) entries.push_back(MakeEntry(name));
    QMenu menu;
    RebuildTrayMenu(menu, entries, {}, {});
    QCOMPARE(Describe(menu), items);
  }

  // A long site name would make the menu as wide as the screen: it is cut in the middle, its
  // ends kept.
  void LongSiteNameIsCut() {
    const QByteArray name = "Begin " + QByteArray(2000, 'x') + " End";
    QMenu menu;
    RebuildTrayMenu(menu, {MakeEntry(name)}, {}, {});
    const QString shown = Describe(menu).first();
    QVERIFY(shown.startsWith(QStringLiteral("&Begin ")));
    QVERIFY(shown.endsWith(QStringLiteral(" End")));
    QVERIFY(shown.contains(QChar(0x2026)));
    QVERIFY(menu.fontMetrics().horizontalAdvance(shown) <=
            60 * menu.fontMetrics().averageCharWidth());
    QVERIFY(menu.sizeHint().width() < 1000);
  }

  void ItemsReachTheirOwnEntries() {
    const std::vector<EntryPtr> entries = {MakeEntry("Mail", "first"), MakeEntry("Mail", "second"),
                                           MakeEntry("Bank")};
    QMenu menu;
    std::vector<Entry*> chosen;
    int exits = 0;
    RebuildTrayMenu(
        menu, entries, [&](const EntryPtr& entry) { chosen.push_back(entry.get()); },
        [&] { ++exits; });
    const QList<QAction*> actions = menu.actions();
    QCOMPARE(actions.size(), 5);
    actions[1]->trigger();
    actions[0]->trigger();
    actions[2]->trigger();
    QCOMPARE(chosen, (std::vector<Entry*>{entries[1].get(), entries[0].get(), entries[2].get()}));
    QVERIFY(entries[1]->Password(testKey).View() == "second");
    QCOMPARE(exits, 0);
    actions[4]->trigger();
    QCOMPARE(exits, 1);
    QCOMPARE(chosen.size(), std::size_t{3});
  }

  // A lock while the menu is open wipes the entries and empties the list; the items still
  // reach their (now empty) entries, which live until the items are freed.
  void WipedEntryStillReachesItsItem() {
    QMenu menu;
    std::weak_ptr<Entry> watched;
    EntryPtr received;
    {
      std::vector<EntryPtr> entries = {MakeEntry("Bank", "secret")};
      watched = entries[0];
      RebuildTrayMenu(menu, entries, [&](const EntryPtr& entry) { received = entry; }, {});
      for (const EntryPtr& entry : entries) entry->Wipe();
      entries.clear();
    }
    QVERIFY(!watched.expired());
    menu.actions().at(0)->trigger();
    QVERIFY(received != nullptr);
    QCOMPARE(received.get(), watched.lock().get());
    QVERIFY(received->SiteName().empty());
    QVERIFY(received->Password(testKey).View().empty());
    received.reset();

    RebuildTrayMenu(menu, {}, {}, {});
    FreeDeferred();
    QVERIFY(watched.expired());
  }

  void RebuildFreesTheOldItems() {
    QMenu menu;
    RebuildTrayMenu(menu, {MakeEntry("A"), MakeEntry("B")}, {}, {});
    const QList<QPointer<QAction>> old(menu.actions().cbegin(), menu.actions().cend());
    QCOMPARE(old.size(), 4);

    RebuildTrayMenu(menu, {MakeEntry("C")}, {}, {});
    QCOMPARE(Describe(menu), (QStringList{"&C", "<sep>", "&Exit"}));
    for (const QPointer<QAction>& action : old) QVERIFY(!menu.actions().contains(action.data()));
    FreeDeferred();
    for (const QPointer<QAction>& action : old) QVERIFY(action.isNull());
    for (QAction* action : menu.findChildren<QAction*>()) {
      QVERIFY(menu.actions().contains(action) || action == menu.menuAction());
    }
  }

  // The menu may be rebuilt while one of its items still handles its click.
  void RebuildFromAnItemsClick() {
    QMenu menu;
    const std::vector<EntryPtr> entries = {MakeEntry("Bank")};
    std::string seen;
    RebuildTrayMenu(menu, entries,
                    [&](const EntryPtr& entry) {
                      RebuildTrayMenu(menu, {}, {}, {});
                      seen = entry->SiteName();
                    },
                    {});
    QPointer<QAction> item = menu.actions().at(0);
    item->trigger();
    QCOMPARE(seen, std::string("Bank"));
    QCOMPARE(Describe(menu), (QStringList{"<hidden sep>", "&Exit"}));
    FreeDeferred();
    QVERIFY(item.isNull());
  }

  void IconShowsTheProgramIcon() {
    QPointer<QSystemTrayIcon> tray;
    {
      TrayIcon icon;
      tray = icon.findChild<QSystemTrayIcon*>();
      QVERIFY(tray != nullptr);
      QVERIFY(tray->isVisible());
      QVERIFY(icon.Icon().isNull());
      const QImage image = tray->icon().pixmap(16, 16).toImage();
      QVERIFY(!image.isNull());
      QVERIFY(image.pixelColor(8, 8).alpha() > 0);

      QPixmap red(16, 16);
      red.fill(Qt::red);
      icon.SetIcon(QIcon(red));
      QCOMPARE(tray->icon().pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::red));
      icon.SetIcon(QIcon());
      QCOMPARE(tray->icon().pixmap(16, 16).toImage(), image);
    }
    QVERIFY(tray.isNull());
  }

  void ToolTip_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    const QString x62(62, u'x');
    QTest::newRow("program name") << "Corvella"
                                  << "Corvella";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("63 kept") << x62 + "y" << x62 + "y";
    QTest::newRow("64 cut") << x62 + "yz" << x62 + "y";
    QTest::newRow("long cut") << QString(200, u'w') << QString(63, u'w');
    QTest::newRow("pair not split") << x62 + QStringLiteral("\U0001F511") << x62;
    QTest::newRow("pair kept whole") << QString(61, u'x') + QStringLiteral("\U0001F511z")
                                     << QString(61, u'x') + QStringLiteral("\U0001F511");
  }

  void ToolTip() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    TrayIcon icon;
    icon.SetToolTip(text);
    QCOMPARE(icon.ToolTip(), shown);
    QCOMPARE(icon.findChild<QSystemTrayIcon*>()->toolTip(), shown);
  }

  void Activation_data() {
    QTest::addColumn<QSystemTrayIcon::ActivationReason>("reason");
    QTest::addColumn<int>("restores");
    // A D-Bus host's single activation, and its request for a menu it does not show itself,
    // bring the window; with an XEmbed host only a double-click does.
    const int overBus = StatusNotifierHost() ? 1 : 0;
    QTest::newRow("double-click") << QSystemTrayIcon::DoubleClick << 1;
    QTest::newRow("single left click") << QSystemTrayIcon::Trigger << overBus;
    QTest::newRow("menu asked for") << QSystemTrayIcon::Context << overBus;
    QTest::newRow("middle click") << QSystemTrayIcon::MiddleClick << 0;
    QTest::newRow("unknown") << QSystemTrayIcon::Unknown << 0;
  }

  void Activation() {
    QFETCH(QSystemTrayIcon::ActivationReason, reason);
    QFETCH(int, restores);
    TrayIcon icon;
    QSignalSpy spy(&icon, &TrayIcon::RestoreRequested);
    emit icon.findChild<QSystemTrayIcon*>()->activated(reason);
    QCOMPARE(spy.count(), restores);
  }

  void PopupMenuReference() {
    TrayIcon icon;
    auto* tray = icon.findChild<QSystemTrayIcon*>();
    QCOMPARE(icon.PopupMenu(), nullptr);
    auto menu = std::make_unique<QMenu>();
    icon.SetPopupMenu(menu.get());
    QCOMPARE(icon.PopupMenu(), menu.get());
    QCOMPARE(tray->contextMenu(), menu.get());
    menu.reset();
    QCOMPARE(icon.PopupMenu(), nullptr);
    QCOMPARE(tray->contextMenu(), nullptr);

    QMenu other;
    icon.SetPopupMenu(&other);
    icon.SetPopupMenu(nullptr);
    QCOMPARE(icon.PopupMenu(), nullptr);
    QCOMPARE(tray->contextMenu(), nullptr);
  }

  // Docked in a real XEmbed tray (run under X with a tray host and QT_QPA_PLATFORM=xcb).
  void RealTrayHost() {
    if (!TrayIcon::Available()) QSKIP("no notification area on this display");
    TrayIcon icon;
    icon.SetToolTip(QStringLiteral("Corvella"));
    QMenu menu;
    icon.SetPopupMenu(&menu);
    const std::vector<EntryPtr> entries = {MakeEntry("Mail"), MakeEntry("Bank")};
    int opened = 0;
    connect(&menu, &QMenu::aboutToShow, &menu, [&] {
      ++opened;
      RebuildTrayMenu(menu, entries, {}, {});
    });
    auto* tray = icon.findChild<QSystemTrayIcon*>();
    QTRY_VERIFY(!tray->geometry().isEmpty());
    QWidget* dock = XEmbedDock();
    if (dock == nullptr) QSKIP("the tray host is not an XEmbed one");
    QCOMPARE(dock->toolTip(), QStringLiteral("Corvella"));

    QSignalSpy restores(&icon, &TrayIcon::RestoreRequested);
    QTest::mouseClick(dock, Qt::LeftButton);
    QCOMPARE(restores.count(), 0);
    QVERIFY(!menu.isVisible());
    QTest::mouseDClick(dock, Qt::LeftButton);
    QCOMPARE(restores.count(), 1);

    QTest::mousePress(dock, Qt::RightButton);
    QTRY_VERIFY(menu.isVisible());
    QCOMPARE(opened, 1);
    QCOMPARE(Describe(menu), (QStringList{"&Mail", "&Bank", "<sep>", "&Exit"}));
    menu.close();
  }

 private:
  PrivateBus bus_;
};

QTEST_MAIN(TrayTest)
#include "TrayTest.moc"
