#pragma once

#include <QObject>

class frmPOP;

// Shows the downloaded message: view modes, the part list, the HTML view.
class MessageView : public QObject {
    Q_OBJECT
public:
    explicit MessageView(frmPOP& window);

private:
    frmPOP& window;
};
