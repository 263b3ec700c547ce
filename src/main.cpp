#include "platform/BrowserView.h"
#include "platform/Fonts.h"
#include "reader/ui/frmPOP.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setOrganizationName(QStringLiteral("Corvane"));
    platform::BrowserView::registerScheme(); // before the application object
    QApplication app(argc, argv);
    platform::installFontSubstitutions();
    frmPOP window;
    window.show();
    return app.exec();
}
