#include "reader/ui/frmPOP.h"

#include <QApplication>
#include <QFont>

int main(int argc, char* argv[]) {
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setOrganizationName(QStringLiteral("Corvane"));
    QApplication app(argc, argv);
    // The designed fonts are Windows fonts; use the closest ones found here.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                                QStringLiteral("Sans Serif")});
    QFont::insertSubstitutions(QStringLiteral("Courier New"),
                               {QStringLiteral("Liberation Mono"),
                                QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Monospace")});
    frmPOP window;
    window.show();
    return app.exec();
}
