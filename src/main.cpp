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

namespace {

const QString kClearCache = QStringLiteral("clear-header-cache");

void describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("Read and clean your POP3 mailbox on the server."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({kClearCache, QStringLiteral("Empty the cache of header lines kept between "
                                                  "listings, then exit.")});
    parser.addPositionalArgument(QStringLiteral("mailto:LINK|FILE.eml"),
                                 QStringLiteral("Write to a mailto: link, or open a saved "
                                                "message."),
                                 QStringLiteral("[mailto:LINK|FILE.eml]"));
    // The toolkit's own options (-platform offscreen, -style Fusion, ...) are read by the
    // application object; they are known here so that the command line can be read before
    // there is one.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin",
                             "qwindowgeometry", "qwindowicon", "qwindowtitle", "display",
                             "geometry", "title", "session", "style", "stylesheet"}) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

// A command line that is answered without a display, before any window system is needed:
// --help, --version, --clear-header-cache, and one that cannot be read.
bool informationOnly(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QCommandLineParser parser;
    describe(parser);
    return !parser.parse(arguments) || parser.isSet(QStringLiteral("help")) ||
           parser.isSet(QStringLiteral("help-all")) || parser.isSet(QStringLiteral("version")) ||
           parser.isSet(kClearCache);
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
        // Prints the help, the version or what cannot be read, and exits; unless the cache is
        // to be emptied.
        parser.process(info);
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
    QStringList arguments = parser.positionalArguments();
    if (arguments.size() > 1) {
        // One link or file a start: the others would replace it one after the other.
        QTextStream(stderr) << QStringLiteral("Only the first link or file is opened; ignored: ")
                            << arguments.mid(1).join(QLatin1Char(' ')) << Qt::endl;
        arguments = arguments.mid(0, 1);
    }

    // One reader per user: a later start hands its link or file to the running one.
    platform::SingleInstance instance;
    if (instance.handOver(arguments)) {
        return 0;
    }
    if (!instance.listen()) {
        QTextStream(stderr) << QStringLiteral("Later starts cannot hand their links to this "
                                              "reader: ")
                            << instance.problem() << Qt::endl;
    }

    platform::installFontSubstitutions();
    frmPOP window;
    window.show();
    QObject::connect(&instance, &platform::SingleInstance::received, &window,
                     &frmPOP::openHandedOver);
    if (!arguments.isEmpty()) {
        QTimer::singleShot(0, &window, [&window, arguments] { window.openHandedOver(arguments); });
    }
    return app.exec();
}
