// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The rows of the entry list as the store's list changes under a filter.

#include <QtTest>
#include <memory>
#include <vector>

#include "store/Entry.h"
#include "store/SessionKey.h"
#include "ui/EntryFilter.h"
#include "ui/EntryListView.h"

namespace corvella {

class EntryListTest : public QObject {
  Q_OBJECT

 private slots:
  void addedEntriesShowWhereTheFilterMatches();

 private:
  // The list `from` with an entry of `siteName` added at its end.
  EntryListSnapshot With(const EntryListSnapshot& from, const char* siteName) const {
    auto list = std::make_shared<std::vector<EntryPtr>>(*from);
    list->push_back(std::make_shared<Entry>(siteName, "", "", "", key_));
    return list;
  }

  static QStringList Rows(const EntryListModel& model) {
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
      rows << model.index(row, 0).data().toString();
    }
    return rows;
  }

  const SessionKey key_;
};

void EntryListTest::addedEntriesShowWhereTheFilterMatches() {
  const EntryListSnapshot first =
      With(With(With(std::make_shared<const std::vector<EntryPtr>>(), "Mail"), "Bank"), "Mailbox");
  EntryListModel model;
  model.Refresh(first);
  model.SetFilter(EntryFilter(QStringLiteral("mail")));
  QCOMPARE(Rows(model), (QStringList{"Mail", "Mailbox"}));

  const EntryListSnapshot matching = With(first, "Webmail");
  model.Append(matching);
  QCOMPARE(Rows(model), (QStringList{"Mail", "Mailbox", "Webmail"}));
  model.Append(With(matching, "Shop"));
  QCOMPARE(Rows(model), (QStringList{"Mail", "Mailbox", "Webmail"}));

  model.SetFilter(EntryFilter());
  QCOMPARE(Rows(model), (QStringList{"Mail", "Bank", "Mailbox", "Webmail", "Shop"}));
  // The lists shown before are as they were.
  QCOMPARE(first->size(), std::size_t{3});
  QCOMPARE(matching->size(), std::size_t{4});
}

}  // namespace corvella

QTEST_MAIN(corvella::EntryListTest)
#include "EntryListTest.moc"
