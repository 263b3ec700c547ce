#pragma once

#include <QObject>

class frmPOP;

// The reader window's own commands: files, printing, text size, options, About.
class ReaderCommands : public QObject {
    Q_OBJECT
public:
    explicit ReaderCommands(frmPOP& window);

private:
    frmPOP& window;
};
