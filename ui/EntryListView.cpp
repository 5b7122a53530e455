// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "EntryListView.h"

#include <QEvent>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>

#include "ui/Icons.h"
#include "ui/Text.h"

namespace corvella {

int EntryListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
    return rows_[static_cast<std::size_t>(index.row())].text;
  }
  return {};
}

void EntryListModel::Append(const EntryPtr& entry) {
  const int row = rowCount();
  beginInsertRows({}, row, row);
  rows_.push_back({FromBytes(entry->siteName), entry});
  endInsertRows();
}

void EntryListModel::Refresh(const std::vector<EntryPtr>& entries) {
  beginResetModel();
  rows_.clear();
  rows_.reserve(entries.size());
  for (const EntryPtr& entry : entries) rows_.push_back({FromBytes(entry->siteName), entry});
  endResetModel();
}

void EntryListModel::Clear() { Refresh({}); }

EntryPtr EntryListModel::EntryAt(int row) const {
  if (row < 0 || row >= rowCount()) return nullptr;
  return rows_[static_cast<std::size_t>(row)].entry;
}

EntryRowDelegate::EntryRowDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

const QPixmap& EntryRowDelegate::Glyph(qreal devicePixelRatio) const {
  // The key is rendered at 16 x 16 on white in the screen's pixels, then stretched to 17 x 17.
  if (glyph_.isNull() || glyph_.devicePixelRatio() != devicePixelRatio) {
    QPixmap key(QSize(16, 16) * devicePixelRatio);
    key.setDevicePixelRatio(devicePixelRatio);
    key.fill(Qt::white);
    QPainter painter(&key);
    ToolImage("key").paint(&painter, QRect(0, 0, 16, 16));
    painter.end();
    glyph_ = key;
  }
  return glyph_;
}

void EntryRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
  const bool selected = option.state & QStyle::State_Selected;
  const QPalette& palette = option.palette;
  const QColor background = palette.color(selected ? QPalette::Highlight : QPalette::Base);
  const QColor foreground = palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
  const QRect& r = option.rect;
  painter->save();
  painter->fillRect(r, background);
  painter->drawPixmap(QRect(1, r.top() + 1, 17, 17), Glyph(painter->device()->devicePixelRatioF()));
  painter->setPen(foreground);
  painter->setFont(option.font);
  const QFontMetrics metrics(option.font);
  const QString text = metrics.elidedText(index.data().toString(), Qt::ElideRight, r.right() - 19);
  painter->drawText(QPoint(19, r.top() + 2 + metrics.ascent()), text);
  if (option.state & QStyle::State_HasFocus) {
    painter->setPen(QPen(foreground, 1, Qt::DotLine));
    painter->drawRect(r.adjusted(0, 0, -1, -1));
  }
  painter->restore();
}

QSize EntryRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  return {option.rect.width(), EntryListView::kRowHeight};
}

EntryListView::EntryListView(QWidget* parent)
    : QListView(parent), model_(new EntryListModel(this)) {
  setObjectName(QStringLiteral("entryList"));
  setModel(model_);
  setItemDelegate(new EntryRowDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  // Rows are as wide as the list and cut long names, so there is nothing to scroll sideways.
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void EntryListView::mouseDoubleClickEvent(QMouseEvent* event) {
  QListView::mouseDoubleClickEvent(event);
  // Only on a row: the empty space below the last one opens nothing.
  if (indexAt(event->position().toPoint()).isValid()) emit DoubleClicked();
}

QItemSelectionModel::SelectionFlags EntryListView::selectionCommand(const QModelIndex& index,
                                                                    const QEvent* event) const {
  if (!index.isValid() && event != nullptr &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
       event->type() == QEvent::MouseMove)) {
    return QItemSelectionModel::NoUpdate;
  }
  return QListView::selectionCommand(index, event);
}

void EntryListView::AddRow(const EntryPtr& entry) { model_->Append(entry); }

void EntryListView::Refresh(const std::vector<EntryPtr>& entries) {
  model_->Refresh(entries);
  clearSelection();
  setCurrentIndex({});
}

void EntryListView::Clear() { Refresh({}); }

EntryPtr EntryListView::SelectedEntry() const {
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  return selected.isEmpty() ? nullptr : model_->EntryAt(selected.first().row());
}

}  // namespace corvella
