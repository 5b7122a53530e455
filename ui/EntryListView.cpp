#include "EntryListView.h"

#include <QEvent>
#include <QIcon>
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

EntryRowDelegate::EntryRowDelegate(QObject* parent) : QStyledItemDelegate(parent) {
  // The key is rendered at 16 x 16 on white, then stretched to 17 x 17.
  QPixmap key(16, 16);
  key.fill(Qt::white);
  QPainter painter(&key);
  ToolImage("key").paint(&painter, key.rect());
  painter.end();
  glyph_ = key;
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
  painter->drawPixmap(QRect(1, r.top() + 1, 17, 17), glyph_);
  painter->setPen(foreground);
  painter->setFont(option.font);
  const QFontMetrics metrics(option.font);
  painter->drawText(QPoint(19, r.top() + 2 + metrics.ascent()), index.data().toString());
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
  setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void EntryListView::mouseDoubleClickEvent(QMouseEvent* event) {
  QListView::mouseDoubleClickEvent(event);
  emit DoubleClicked();
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
