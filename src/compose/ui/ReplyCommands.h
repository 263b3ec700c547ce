#pragma once

#include <QObject>

class frmPOP;

// Reply and Compose: fill the compose window from the shown message.
class ReplyCommands : public QObject {
    Q_OBJECT
public:
    explicit ReplyCommands(frmPOP& window);

private:
    frmPOP& window;
};
