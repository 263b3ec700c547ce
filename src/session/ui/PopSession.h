#pragma once

#include <QObject>

class frmPOP;

// The POP3 conversation of the reader window.
class PopSession : public QObject {
    Q_OBJECT
public:
    explicit PopSession(frmPOP& window);

    // The window is unloading: close the connection without QUIT.
    void CloseForUnload();

private:
    frmPOP& window;
};
