#include "session/ui/ListingView.h"

#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <utility>

namespace {

QString utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

ListingView::ListingView(QListWidget* list, QLabel* status, const session::HeaderList& rows)
    : QObject(list), list(list), statusLabel(status), rows(rows), timer(new QTimer(this)) {
    timer->setSingleShot(true);
    timer->setInterval(40);
    connect(timer, &QTimer::timeout, this, &ListingView::flush);
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
        list->addItem(utf8(rows.shown(shown)));
    }
    if (pendingStatus) {
        statusLabel->setText(*std::exchange(pendingStatus, std::nullopt));
    }
}

void ListingView::clear() {
    list->clear();
    shown = 0;
}

void ListingView::markRow(int row) {
    flush();
    if (QListWidgetItem* item = list->item(row)) {
        item->setText(utf8(rows.shown(row)));
    }
    list->setCurrentRow(row);
}

void ListingView::select(int row) {
    flush();
    list->setCurrentRow(row);
    list->scrollToItem(list->item(row), QAbstractItemView::EnsureVisible);
}

void ListingView::whenSelected(int from, std::function<void(int)> then) {
    forgetSelection();
    watch = connect(list, &QListWidget::currentRowChanged, this, [this, from, then](int row) {
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
