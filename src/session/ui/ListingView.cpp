#include "session/ui/ListingView.h"

#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <unordered_set>
#include <utility>

namespace {

QString utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

ListingView::ListingView(QListWidget* list, QLabel* status, const session::HeaderList& rows)
    : QObject(list), list(list), statusLabel(status), rows(rows), timer(new QTimer(this)) {
    timer->setSingleShot(true);
    timer->setInterval(40);
    connect(timer, &QTimer::timeout, this, &ListingView::flush);
    // Whoever empties the list, its rows are added again from the first.
    connect(list->model(), &QAbstractItemModel::modelReset, this, &ListingView::forgetRows);
}

void ListingView::schedule() {
    if (!timer->isActive()) {
        timer->start();
    }
}

void ListingView::setStatus(const QString& text, bool batch) {
    if (batch) {
        pendingStatus = text;
        schedule();
        return;
    }
    flush();
    statusLabel->setText(text);
}

QString ListingView::status() const {
    return pendingStatus.value_or(statusLabel->text());
}

void ListingView::rowAdded(bool batch) {
    if (batch) {
        schedule();
    } else {
        flush();
    }
}

void ListingView::flush() {
    timer->stop();
    for (; shown < rows.size(); ++shown) {
        // Made apart from the list and then added: an item given its text while it already
        // belongs to the list, but before it has a place there, makes the list search every
        // row for it, which grows with the mailbox.
        auto* item = new QListWidgetItem(utf8(rows.shown(shown)));
        item->setData(Qt::UserRole, shown);
        list->addItem(item);
        items.push_back(item);
        if (!filterText.isEmpty() && !passesFilter(shown)) {
            item->setHidden(true);
        }
    }
    if (pendingStatus) {
        statusLabel->setText(*std::exchange(pendingStatus, std::nullopt));
    }
}

void ListingView::clear() {
    list->clear();
    forgetRows();
}

void ListingView::forgetRows() {
    shown = 0;
    items.clear();
}

void ListingView::markRow(int row, bool keepCurrent) {
    flush();
    if (row < 0 || row >= static_cast<int>(items.size())) {
        return;
    }
    items[static_cast<std::size_t>(row)]->setText(utf8(rows.shown(row)));
    if (!keepCurrent) {
        list->setCurrentItem(items[static_cast<std::size_t>(row)]);
    }
}

void ListingView::select(int row) {
    flush();
    if (row < 0 || row >= static_cast<int>(items.size())) {
        list->setCurrentRow(-1);
        return;
    }
    QListWidgetItem* item = items[static_cast<std::size_t>(row)];
    list->setCurrentItem(item);
    list->scrollToItem(item, QAbstractItemView::EnsureVisible);
}

bool ListingView::isShownLast(int row) const {
    if (row < 0 || row >= static_cast<int>(items.size())) {
        return false;
    }
    for (int at = list->row(items[static_cast<std::size_t>(row)]) + 1; at < list->count(); ++at) {
        if (!list->item(at)->isHidden()) {
            return false;
        }
    }
    return true;
}

void ListingView::selectAfter(int row) {
    flush();
    if (row < 0 || row >= static_cast<int>(items.size())) {
        return;
    }
    int at = list->row(items[static_cast<std::size_t>(row)]);
    for (int next = at + 1; next < list->count(); ++next) {
        if (!list->item(next)->isHidden()) {
            at = next;
            break;
        }
    }
    list->setCurrentRow(at);
    list->scrollToItem(list->item(at), QAbstractItemView::EnsureVisible);
}

int ListingView::rowOf(const QListWidgetItem* item) const {
    return item ? item->data(Qt::UserRole).toInt() : -1;
}

int ListingView::currentRow() const {
    const QListWidgetItem* item = list->currentItem();
    return item && !item->isHidden() ? rowOf(item) : -1;
}

std::vector<int> ListingView::selectedRows() const {
    std::vector<int> selected;
    for (int at = 0; at < list->count(); ++at) {
        const QListWidgetItem* item = list->item(at);
        if (item->isSelected() && !item->isHidden()) {
            selected.push_back(rowOf(item));
        }
    }
    return selected;
}

bool ListingView::passesFilter(int row) const {
    const std::string text = rows.shown(row);
    return utf8(session::RowSender(text)).contains(filterText, Qt::CaseInsensitive) ||
           utf8(session::RowSubject(text)).contains(filterText, Qt::CaseInsensitive);
}

void ListingView::setFilter(const QString& text) {
    flush();
    filterText = text;
    for (int row = 0; row < static_cast<int>(items.size()); ++row) {
        items[static_cast<std::size_t>(row)]->setHidden(!text.isEmpty() && !passesFilter(row));
    }
    if (QListWidgetItem* current = list->currentItem(); current && !current->isHidden()) {
        list->scrollToItem(current);
    }
}

void ListingView::sortRows(session::RowOrder newOrder) {
    flush();
    order = newOrder;
    const std::vector<int> selected = selectedRows();
    const int current = list->currentItem() ? rowOf(list->currentItem()) : -1;
    const std::vector<int> positions = session::OrderRows(rows, order);
    // The items stay where they are; each takes the text of the row that goes there.
    for (std::size_t at = 0; at < positions.size() && at < items.size(); ++at) {
        QListWidgetItem* item = list->item(static_cast<int>(at));
        const int row = positions[at];
        item->setText(utf8(rows.shown(row)));
        item->setData(Qt::UserRole, row);
        item->setHidden(!filterText.isEmpty() && !passesFilter(row));
        items[static_cast<std::size_t>(row)] = item;
    }
    list->clearSelection();
    if (current >= 0) {
        list->setCurrentItem(items[static_cast<std::size_t>(current)],
                             QItemSelectionModel::NoUpdate);
        list->scrollToItem(list->currentItem());
    }
    for (int row : selected) {
        items[static_cast<std::size_t>(row)]->setSelected(true);
    }
}

void ListingView::selectAlike(int row, bool sameSender) {
    flush();
    if (row < 0 || row >= static_cast<int>(items.size())) {
        return;
    }
    // Senders are told apart by their whole address: the row's column is cut, and two
    // senders may share its first characters.
    const auto key = [&](int r) {
        return sameSender ? rows.sender(r) : std::string(session::RowSubject(rows.shown(r)));
    };
    const std::string wanted = key(row);
    list->clearSelection();
    for (int r = 0; r < static_cast<int>(items.size()); ++r) {
        QListWidgetItem* item = items[static_cast<std::size_t>(r)];
        if (!item->isHidden() && key(r) == wanted) {
            item->setSelected(true);
        }
    }
    list->setCurrentItem(items[static_cast<std::size_t>(row)], QItemSelectionModel::NoUpdate);
}

void ListingView::whenSelected(int from, std::function<void(int)> then) {
    forgetSelection();
    watch = connect(list, &QListWidget::currentItemChanged, this,
                    [this, from, then](QListWidgetItem* item) {
                        const int row = rowOf(item);
                        if (row >= 0 && row != from) {
                            forgetSelection();
                            then(row);
                        }
                    });
}

void ListingView::forgetSelection() {
    disconnect(watch);
    watch = {};
}
