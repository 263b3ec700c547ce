#include "platform/Fonts.h"
#include "reader/ui/frmPOP.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setOrganizationName(QStringLiteral("Corvane"));
    QApplication app(argc, argv);
    platform::installFontSubstitutions();
    frmPOP window;
    window.show();
    return app.exec();
}
