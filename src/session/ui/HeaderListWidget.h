#pragma once

#include <QListWidget>

class QLineEdit;

// The header list with its find line: a one-line filter that showFilter() puts at the top of
// the list (the rows move down under it). Escape in it clears and hides it; Enter or the
// down arrow goes to the list. filterChanged reports the text (empty when it goes).
class HeaderListWidget : public QListWidget {
    Q_OBJECT
public:
    explicit HeaderListWidget(QWidget* parent = nullptr);

    QLineEdit* filterLine() const { return filter; }
    void showFilter();
    void hideFilter();

Q_SIGNALS:
    void filterChanged(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeFilter();

    QLineEdit* filter;
};
