#include "platform/BrowserView.h"
#include "platform/Fonts.h"
#include "platform/SingleInstance.h"
#include "reader/ui/frmPOP.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setOrganizationName(QStringLiteral("Corvane"));
    QApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.corvane.Corvane"));
    platform::BrowserView::registerScheme(); // before the application object
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Read and clean your POP3 mailbox on the server."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("mailto:LINK | FILE.eml"),
                                 QStringLiteral("Write to a mailto: link, or open a saved "
                                                "message."),
                                 QStringLiteral("[mailto:LINK | FILE.eml]"));
    parser.process(app);
    const QStringList arguments = parser.positionalArguments();

    // One reader per user: a later start hands its link or file to the running one.
    platform::SingleInstance instance;
    if (instance.handOver(arguments)) {
        return 0;
    }
    instance.listen();

    platform::installFontSubstitutions();
    frmPOP window;
    window.show();
    QObject::connect(&instance, &platform::SingleInstance::received, &window,
                     [&window](const QStringList& handed) {
                         window.raise();
                         window.activateWindow();
                         for (const QString& argument : handed) {
                             window.openArgument(argument);
                         }
                     });
    if (!arguments.isEmpty()) {
        QTimer::singleShot(0, &window, [&window, arguments] {
            for (const QString& argument : arguments) {
                window.openArgument(argument);
            }
        });
    }
    return app.exec();
}
