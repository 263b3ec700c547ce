#pragma once

#include "session/HeaderList.h"
#include "session/RowOrder.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QTimer;

// The header list and the status line as a session fills them. While the listing runs, rows
// and the status reach the screen a few times a second rather than once per reply: painting
// after every TOP would cost more than the TOP.
// Rows are named by their position in the session's list (row); the list on the screen may
// show them in another order (sortRows) and hide the ones the filter leaves out.
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
    // The row's text again (its mark changed), and it becomes the current row unless
    // keepCurrent.
    void markRow(int row, bool keepCurrent = false);
    void select(int row);
    // The visible row shown after row becomes the current row; row itself when none is.
    void selectAfter(int row);
    // No visible row is shown after row.
    bool isShownLast(int row) const;
    // The current row, or -1 (none, or hidden by the filter).
    int currentRow() const;
    // The selected rows the filter shows, in the order shown.
    std::vector<int> selectedRows() const;
    int rowOf(const QListWidgetItem* item) const;
    // Only rows whose sender or subject contain text (any letter case) stay visible.
    void setFilter(const QString& text);
    // The rows in this order; rows listed later are put in order by flush() at the end.
    void sortRows(session::RowOrder order);
    session::RowOrder rowOrder() const { return order; }
    // Selects every visible row with the same sender (or subject) as row, and only those.
    void selectAlike(int row, bool sameSender);
    // then(row) runs once, when the current row next moves to a row other than from; a
    // later call, or forgetSelection(), drops it.
    void whenSelected(int from, std::function<void(int)> then);
    void forgetSelection();

private:
    void schedule();
    bool passesFilter(int row) const;
    void forgetRows();

    QListWidget* list;
    QLabel* statusLabel;
    const session::HeaderList& rows;
    QTimer* timer;
    int shown = 0;                       // rows already in the list
    std::vector<QListWidgetItem*> items; // by row
    QString filterText;
    session::RowOrder order = session::RowOrder::Server;
    std::optional<QString> pendingStatus;
    QMetaObject::Connection watch;
};
