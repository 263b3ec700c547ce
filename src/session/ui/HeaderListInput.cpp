#include "session/ui/HeaderListInput.h"

#include "session/ui/HeaderListWidget.h"
#include "session/ui/ListingView.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <utility>

HeaderListInput::HeaderListInput(QWidget* window, QListWidget* list, QPushButton* deleteButton,
                                 ListingView* view, Actions actions)
    : QObject(list), list(list), deleteButton(deleteButton), view(view),
      actions(std::move(actions)) {
    deleteButton->installEventFilter(this);
    list->installEventFilter(this); // Enter downloads, Delete marks
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, &HeaderListInput::popUp);
    if (auto* headerList = qobject_cast<HeaderListWidget*>(list)) {
        connect(headerList, &HeaderListWidget::filterChanged, view, &ListingView::setFilter);
        auto* find = new QShortcut(QKeySequence::Find, window);
        connect(find, &QShortcut::activated, this, &HeaderListInput::showFilter);
    }
}

void HeaderListInput::popUp(const QPoint& at) {
    const int row = view->rowOf(list->itemAt(at));
    if (row >= 0) {
        QMenu* menu = rowMenu(row, list);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(list->viewport()->mapToGlobal(at));
    }
}

void HeaderListInput::removeAndOpenNext() {
    view->forgetSelection();
    const int remembered = view->currentRow();
    actions.remove(remembered);
    if (view->isShownLast(remembered)) {
        return;
    }
    if (view->currentRow() != remembered) {
        actions.open(view->currentRow());
        return;
    }
    // Normally the "+OK" to DELE moves the selection; whichever row it moves to is next.
    view->whenSelected(remembered, actions.open);
}

QMenu* HeaderListInput::rowMenu(int row, QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("mnRow"));
    connect(menu->addAction(QStringLiteral("Select All From This Sender")), &QAction::triggered,
            this, [this, row] { view->selectAlike(row, true); });
    connect(menu->addAction(QStringLiteral("Select All With This Subject")), &QAction::triggered,
            this, [this, row] { view->selectAlike(row, false); });
    return menu;
}

void HeaderListInput::showFilter() {
    if (auto* headerList = qobject_cast<HeaderListWidget*>(list)) {
        headerList->showFilter();
    }
}

bool HeaderListInput::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            actions.open(view->currentRow());
            return true;
        }
        if (key->key() == Qt::Key_Delete && deleteButton->isEnabled()) {
            actions.removeSelected();
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            if (auto* headerList = qobject_cast<HeaderListWidget*>(list)) {
                headerList->hideFilter();
            }
        }
    }
    if (watched == deleteButton && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        if (deleteButton->isEnabled()) {
            removeAndOpenNext();
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}
