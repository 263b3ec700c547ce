#pragma once

#include <QObject>
#include <functional>

class QListWidget;
class QMenu;
class QPoint;
class QPushButton;
class QWidget;
class ListingView;

// What the user does to the header list besides clicking a row: Enter opens the current row,
// Delete deletes the selected rows, the right button on the delete button deletes and opens
// the next row, the pop-up menu of a row selects its likes, and Ctrl+F (Escape) shows (hides)
// the filter line when the list has one.
class HeaderListInput : public QObject {
    Q_OBJECT
public:
    struct Actions {
        std::function<void(int row)> open;
        std::function<void()> removeSelected;
        std::function<void(int row)> remove;
    };
    HeaderListInput(QWidget* window, QListWidget* list, QPushButton* deleteButton,
                    ListingView* view, Actions actions);

    // Deletes the current row, then opens the row the selection moves to.
    void removeAndOpenNext();
    QMenu* rowMenu(int row, QWidget* parent);
    void showFilter();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void popUp(const QPoint& at);

    QListWidget* list;
    QPushButton* deleteButton;
    ListingView* view;
    Actions actions;
};
