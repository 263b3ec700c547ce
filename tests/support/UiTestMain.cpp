// Entry point of the window and peer tests: a real QApplication on the
// offscreen platform, with every per-user folder redirected to a temp folder
// so that no test reads or writes the user's own settings.
#include "platform/BrowserView.h"
#include "platform/Fonts.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir home;
    if (!home.isValid()) {
        return 2;
    }
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) {
        const QString dir = home.filePath(QString::fromLatin1(name));
        QDir().mkpath(dir);
        qputenv(name, dir.toLocal8Bit());
    }
    const QString runtime = home.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    // No test reaches the user's own keyring: without a keyring of the test's own, there is
    // no session bus at all.
    if (!qEnvironmentVariableIsSet("CORVANE_TEST_KEYRING")) {
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
    }
    for (const auto& [name, value] : {std::pair("QT_QPA_PLATFORM", "offscreen"),
                                      std::pair("QTWEBENGINE_DISABLE_SANDBOX", "1")}) {
        if (qEnvironmentVariableIsEmpty(name)) {
            qputenv(name, value);
        }
    }
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setOrganizationName(QStringLiteral("Corvane"));
    platform::BrowserView::registerScheme(); // before the application object
    QApplication app(argc, argv);
    platform::installFontSubstitutions();
    return RUN_ALL_TESTS();
}
