// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <vector>

#include "store/Entry.h"
#include "ui/EntryFilter.h"

namespace corvella {

// The rows of the entry list: a snapshot of the store's list, whose site names are read when a row
// is drawn, so that neither the list nor a name is copied. A filter shows only the rows it
// matches, in list order.
class EntryListModel final : public QAbstractListModel {
  Q_OBJECT

 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // `entries` is the list shown with one entry more at its end.
  void Append(EntryListSnapshot entries);
  void Refresh(EntryListSnapshot entries);
  EntryPtr EntryAt(int row) const;
  // Shows the rows the filter matches; the model is reset.
  void SetFilter(const EntryFilter& filter);
  // The entries of the rows shown, in list order.
  std::vector<EntryPtr> ShownEntries() const;

 private:
  const EntryPtr& RowAt(int row) const;
  // Fills shown_ with the rows among `candidates` (all rows without) that the filter matches.
  void Match(const std::vector<int>* candidates);

  EntryListSnapshot rows_ = std::make_shared<const std::vector<EntryPtr>>();
  EntryFilter filter_;
  // The rows shown while the filter is not empty.
  std::vector<int> shown_;
};

// Draws a row: the key glyph on a white square, then the text at x 19, cut with an ellipsis where
// it would not fit.
class EntryRowDelegate final : public QStyledItemDelegate {
 public:
  explicit EntryRowDelegate(QObject* parent);
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  // The key as drawn on a screen of this device pixel ratio, in its pixels.
  const QPixmap& Glyph(qreal devicePixelRatio) const;

 private:
  mutable QPixmap glyph_;
};

// The list of entries by site name: single selection, 18-pixel rows, no sorting.
class EntryListView final : public QListView {
  Q_OBJECT

 public:
  static constexpr int kRowHeight = 18;

  explicit EntryListView(QWidget* parent);

  // `entries` is the list shown with one entry more at its end.
  void AddRow(EntryListSnapshot entries);
  void Refresh(EntryListSnapshot entries);
  void Clear();
  // The entry of the selected row, or none.
  EntryPtr SelectedEntry() const;
  EntryPtr EntryAt(int row) const { return model_->EntryAt(row); }
  // Shows the entries the filter matches, selecting the first of them; an empty filter shows all
  // and keeps the selected entry selected.
  void SetFilter(const EntryFilter& filter);
  std::vector<EntryPtr> ShownEntries() const { return model_->ShownEntries(); }

 signals:
  // A row was double-clicked; it is the selected one then.
  void DoubleClicked();

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  // A click that hits no row keeps the selection, so that a double-click below the last row
  // still acts on the selected entry.
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event) const override;

 private:
  EntryListModel* model_;
};

}  // namespace corvella
