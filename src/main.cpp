#include "platform/BrowserView.h"
#include "platform/Fonts.h"
#include "platform/HeaderCache.h"
#include "platform/SingleInstance.h"
#include "reader/ui/frmPOP.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>
#include <string_view>

namespace {

const QString kClearCache = QStringLiteral("clear-header-cache");

void describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("Read and clean your POP3 mailbox on the server."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({kClearCache, QStringLiteral("Empty the cache of header lines kept between "
                                                  "listings, then exit.")});
    parser.addPositionalArgument(QStringLiteral("mailto:LINK | FILE.eml"),
                                 QStringLiteral("Write to a mailto: link, or open a saved "
                                                "message."),
                                 QStringLiteral("[mailto:LINK | FILE.eml]"));
}

// --help, --version and --clear-header-cache answer without a display, before any window
// system is needed.
bool informationOnly(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "-h" || a == "--help" || a == "-?" || a == "--help-all" || a == "-v" ||
            a == "--version" || a == "--clear-header-cache") {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setOrganizationName(QStringLiteral("Corvane"));
    QApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.corvane.Corvane"));
    if (informationOnly(argc, argv)) {
        QCoreApplication info(argc, argv);
        QCommandLineParser parser;
        describe(parser);
        parser.process(info); // prints and exits, unless the cache is to be emptied
        // A reader that is running keeps working: the rows it shows stay, and its next
        // listing asks TOP again.
        platform::HeaderCache cache;
        const bool emptied = cache.clear();
        QTextStream(emptied ? stdout : stderr)
            << (emptied ? QStringLiteral("Header cache emptied: ")
                        : QStringLiteral("Cannot empty the header cache: "))
            << platform::HeaderCache::defaultPath() << Qt::endl;
        return emptied ? 0 : 1;
    }
    platform::BrowserView::registerScheme(); // before the application object
    QApplication app(argc, argv);

    QCommandLineParser parser;
    describe(parser);
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
