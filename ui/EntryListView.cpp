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
  if (parent.isValid()) return 0;
  return static_cast<int>(filter_.IsEmpty() ? rows_->size() : shown_.size());
}

const EntryPtr& EntryListModel::RowAt(int row) const {
  const auto index = static_cast<std::size_t>(row);
  return (*rows_)[filter_.IsEmpty() ? index : static_cast<std::size_t>(shown_[index])];
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
    return FromBytes(RowAt(index.row())->SiteName());
  }
  return {};
}

void EntryListModel::Append(EntryListSnapshot entries) {
  if (!filter_.IsEmpty() && !filter_.Matches(*entries->back())) {
    rows_ = std::move(entries);
    return;
  }
  const int row = rowCount();
  beginInsertRows({}, row, row);
  rows_ = std::move(entries);
  if (!filter_.IsEmpty()) shown_.push_back(static_cast<int>(rows_->size() - 1));
  endInsertRows();
}

void EntryListModel::Refresh(EntryListSnapshot entries) {
  beginResetModel();
  rows_ = std::move(entries);
  Match(nullptr);
  endResetModel();
}

void EntryListModel::SetFilter(const EntryFilter& filter) {
  // Typing on only narrows: the rows shown are all that can still match.
  const bool narrows = !filter_.IsEmpty() && filter.Narrows(filter_);
  const std::vector<int> candidates = narrows ? std::move(shown_) : std::vector<int>();
  beginResetModel();
  filter_ = filter;
  Match(narrows ? &candidates : nullptr);
  endResetModel();
}

void EntryListModel::Match(const std::vector<int>* candidates) {
  shown_.clear();
  if (filter_.IsEmpty()) {
    shown_.shrink_to_fit();
    return;
  }
  const auto test = [this](int row) {
    if (filter_.Matches(*(*rows_)[static_cast<std::size_t>(row)])) shown_.push_back(row);
  };
  if (candidates == nullptr) {
    for (int row = 0; row < static_cast<int>(rows_->size()); ++row) test(row);
  } else {
    for (const int row : *candidates) test(row);
  }
}

std::vector<EntryPtr> EntryListModel::ShownEntries() const {
  std::vector<EntryPtr> entries;
  entries.reserve(static_cast<std::size_t>(rowCount()));
  for (int row = 0; row < rowCount(); ++row) entries.push_back(RowAt(row));
  return entries;
}

EntryPtr EntryListModel::EntryAt(int row) const {
  if (row < 0 || row >= rowCount()) return nullptr;
  return RowAt(row);
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

void EntryListView::AddRow(EntryListSnapshot entries) { model_->Append(std::move(entries)); }

void EntryListView::Refresh(EntryListSnapshot entries) {
  model_->Refresh(std::move(entries));
  clearSelection();
  setCurrentIndex({});
  // Laid out now rather than at the first paint, whose layout would ask for a second one.
  executeDelayedItemsLayout();
}

void EntryListView::Clear() { Refresh(std::make_shared<const std::vector<EntryPtr>>()); }

void EntryListView::SetFilter(const EntryFilter& filter) {
  const EntryPtr selected = SelectedEntry();
  model_->SetFilter(filter);
  int row = filter.IsEmpty() ? -1 : 0;
  if (filter.IsEmpty() && selected) {
    for (int i = 0; i < model_->rowCount(); ++i) {
      if (model_->EntryAt(i) == selected) {
        row = i;
        break;
      }
    }
  }
  const QModelIndex index = model_->index(row, 0);
  if (index.isValid()) {
    setCurrentIndex(index);
    scrollTo(index);
  } else {
    clearSelection();
    setCurrentIndex({});
  }
}

EntryPtr EntryListView::SelectedEntry() const {
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  return selected.isEmpty() ? nullptr : model_->EntryAt(selected.first().row());
}

}  // namespace corvella
