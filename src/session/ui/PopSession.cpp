#include "session/ui/PopSession.h"

#include "reader/ui/frmPOP.h"

#include <QAction>

PopSession::PopSession(frmPOP& window) : window(window) {
    connect(window.mnExit, &QAction::triggered, &window, &QWidget::close);
}

void PopSession::CloseForUnload() {}
