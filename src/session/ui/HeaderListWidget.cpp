#include "session/ui/HeaderListWidget.h"

#include <QKeyEvent>
#include <QLineEdit>

HeaderListWidget::HeaderListWidget(QWidget* parent)
    : QListWidget(parent), filter(new QLineEdit(this)) {
    filter->setObjectName(QStringLiteral("txtFilter"));
    filter->setPlaceholderText(QStringLiteral("Show rows whose sender or subject contain..."));
    filter->setClearButtonEnabled(true);
    filter->hide();
    filter->installEventFilter(this);
    connect(filter, &QLineEdit::textChanged, this, &HeaderListWidget::filterChanged);
}

void HeaderListWidget::showFilter() {
    if (filter->isHidden()) {
        filter->show();
        placeFilter();
    }
    filter->setFocus(Qt::ShortcutFocusReason);
    filter->selectAll();
}

void HeaderListWidget::hideFilter() {
    filter->clear();
    if (!filter->isHidden()) {
        filter->hide();
        placeFilter();
        setFocus(Qt::OtherFocusReason);
    }
}

void HeaderListWidget::placeFilter() {
    const int height = filter->isHidden() ? 0 : filter->sizeHint().height();
    setViewportMargins(0, height, 0, 0);
    const QRect inside = contentsRect();
    filter->setGeometry(inside.left(), inside.top(), inside.width(), height);
}

void HeaderListWidget::resizeEvent(QResizeEvent* event) {
    QListWidget::resizeEvent(event);
    placeFilter();
}

bool HeaderListWidget::eventFilter(QObject* watched, QEvent* event) {
    if (watched == filter && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape) {
            hideFilter();
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Down) {
            setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    return QListWidget::eventFilter(watched, event);
}
