#pragma once

#include "session/HeaderList.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class QLabel;
class QListWidget;
class QTimer;

// The header list and the status line as a session fills them. While the listing runs, rows
// and the status reach the screen a few times a second rather than once per reply: painting
// after every TOP would cost more than the TOP.
class ListingView : public QObject {
    Q_OBJECT
public:
    ListingView(QListWidget* list, QLabel* status, const session::HeaderList& rows);

    // batch: the listing runs, the text may wait for the next paint.
    void setStatus(const QString& text, bool batch);
    QString status() const;
    void rowAdded(bool batch);
    // Everything waiting goes on the screen now.
    void flush();
    void clear();
    // The row's text again (its mark changed), and it becomes the current row.
    void markRow(int row);
    void select(int row);
    // then(row) runs once, when the current row next moves to a row other than from; a
    // later call, or forgetSelection(), drops it.
    void whenSelected(int from, std::function<void(int)> then);
    void forgetSelection();

private:
    void schedule();

    QListWidget* list;
    QLabel* statusLabel;
    const session::HeaderList& rows;
    QTimer* timer;
    int shown = 0; // rows already in the list
    std::optional<QString> pendingStatus;
    QMetaObject::Connection watch;
};
