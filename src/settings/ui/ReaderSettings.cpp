#include "settings/ui/ReaderSettings.h"

#include "platform/Dialogs.h"
#include "platform/SettingsStore.h"
#include "platform/Twips.h"
#include "settings/AppVersion.h"
#include "settings/Numbers.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsValues.h"
#include "settings/ui/AccountMenu.h"
#include "settings/ui/ScreenPlacement.h"
#include "settings/ui/StoredAccount.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <exception>

namespace keys = settings::keys;

namespace {

std::string& versionOverride() {
    static std::string version;
    return version;
}

std::string setting(std::string_view key) {
    return platform::settingsStore().GetSetting(keys::kSettings, key);
}

} // namespace

ReaderSettings::ReaderSettings(const Controls& controls, AccountRecord& account,
                               Callbacks callbacks)
    : controls(controls), account(account), callbacks(std::move(callbacks)),
      accounts(std::make_unique<AccountMenu>(
          controls.accountMenu, account, this->callbacks.isConnected, this->callbacks.disconnect)) {
}

ReaderSettings::~ReaderSettings() = default;

QString ReaderSettings::AppVersion() {
    const std::string& forced = versionOverride();
    return QString::fromStdString(settings::AppVersion(forced.empty() ? CORVANE_VERSION : forced));
}

void ReaderSettings::overrideProgramVersion(const std::string& version) {
    versionOverride() = version;
}

void ReaderSettings::runStep(const std::function<void()>& step) {
    // A failing step is reported and the start-up goes on with the next one.
    if (!step) {
        return;
    }
    try {
        step();
    } catch (const std::exception& e) {
        platform::dialogs().messageBox(controls.window, QString::fromLocal8Bit(e.what()));
    }
}

void ReaderSettings::StartUp() {
    QMainWindow& window = *controls.window;
    runStep(callbacks.clearMessage);

    const QString version = AppVersion();
    if (settings::VersionGateBlocks(version.toStdString())) {
        versionStopped = true;
        window.show();
        platform::dialogs().messageBox(&window,
                                       QString::fromStdString(settings::VersionGateMessage()));
        // Ends the program as soon as its event loop runs; nothing else is read or written.
        QTimer::singleShot(0, &window, [] { QCoreApplication::exit(0); });
        return;
    }

    runStep([this] {
        account.Isp = setting(keys::kIsp);
        // The store's own section is no account.
        if (settings::IsReservedAccountName(account.Isp)) {
            account.Isp.clear();
        }
    });
    runStep([this] { applyGeometry(); });
    runStep([this] { accounts->BuildAccountMenu(); });
    runStep([this] { loadAccountRecord(); });
    runStep([this] { applyOptions(); });
    runStep([this] { applyFontSize(); });
    runStep([this] {
        controls.lblMsg->clear();
        controls.lblAttachments->clear();
        controls.lblStatus->setText(QStringLiteral("Ready"));
    });
    runStep([this] { OsDescription(); });
}

void ReaderSettings::applyGeometry() {
    QMainWindow& window = *controls.window;
    platform::TwipsPlacement placement(window);
    const settings::WindowGeometry g = settings::GeometryFromText(
        setting(keys::kTop), setting(keys::kLeft), setting(keys::kHeight), setting(keys::kWidth),
        settings::kMainWindowLimits);
    placement.setWindowTwips(QRectF(g.Left, g.Top, g.Width, g.Height));

    // A position from a screen that is gone still opens a window the user can see.
    const Twips t = placement.twips();
    const QRect frame(window.pos(), window.size());
    const QRect placed = keepOnScreen(frame, QPoint(t.toPixels(200), t.toPixels(100)));
    if (placed != frame) {
        window.move(placed.topLeft());
        window.resize(placed.size().expandedTo(window.minimumSize()));
    }
}

void ReaderSettings::loadAccountRecord() {
    ReadStoredAccount(account, controls.window);
}

void ReaderSettings::applyOptions() {
    const std::pair<std::string_view, QAction*> options[] = {
        {keys::kConfirmDelete, controls.mnConfirmDelete},
        {keys::kKeepAlive, controls.mnKeepAlive},
        {keys::kShowHTML, controls.mnShowHTML},
        {keys::kNoPictures, controls.mnNoPictures},
        {keys::kClearEmailInIMGTag, controls.mnClearEmailInIMGTag},
        {keys::kFilterSpam, controls.mnFilterSpam},
    };
    for (const auto& [key, item] : options) {
        // The item's check mark as the window was built is its designed state.
        item->setChecked(settings::ParseFlag(setting(key), item->isChecked()));
    }
}

void ReaderSettings::applyFontSize() {
    const double size = settings::FontSizeFromText(setting(keys::kFontSize));
    for (QWidget* w : {controls.txtMsg, controls.lstHeaders}) {
        QFont f = w->font();
        f.setPointSizeF(size);
        w->setFont(f);
    }
    if (setting(keys::kFixedWidth) == "True") {
        controls.mnFixedWidth->setChecked(true);
        QFont f = controls.txtMsg->font();
        f.setFamily(QStringLiteral("Courier New"));
        controls.txtMsg->setFont(f);
    }
}

QString ReaderSettings::OsDescription() {
    // This platform reports none of the Windows family codes, so there is nothing to say.
    constexpr int kNoKnownFamily = -1;
    const settings::OsDescriptionResult r = settings::OsDescription(kNoKnownFamily, 0.0f);
    if (r.askUser) {
        platform::dialogs().messageBox(controls.window, QString::fromStdString(r.askText));
    }
    return QString::fromStdString(r.text);
}

void ReaderSettings::SaveSettings() {
    if (versionStopped) {
        return;
    }
    const QMainWindow& window = *controls.window;
    platform::TwipsPlacement placement(*controls.window);
    QRectF main = placement.windowTwips();
    if (window.isMinimized() || window.isMaximized() || window.isFullScreen()) {
        // Keep the size the user gave the window, not the screen's.
        const Twips t = placement.twips();
        const QRect normal = window.normalGeometry();
        main = QRectF(t.fromPixels(normal.x()), t.fromPixels(normal.y()),
                      t.fromPixels(normal.width()), t.fromPixels(normal.height()));
    }
    const settings::WindowGeometry debug = callbacks.debugGeometry();
    using settings::FlagText;
    using settings::FormatSingle;
    platform::settingsStore().SaveSettings(
        keys::kSettings,
        {
            {keys::kTop, FormatSingle(main.top())},
            {keys::kLeft, FormatSingle(main.left())},
            {keys::kHeight, FormatSingle(main.height())},
            {keys::kWidth, FormatSingle(main.width())},
            {keys::kDeTop, FormatSingle(debug.Top)},
            {keys::kDeLeft, FormatSingle(debug.Left)},
            {keys::kDeHeight, FormatSingle(debug.Height)},
            {keys::kDeWidth, FormatSingle(debug.Width)},
            {keys::kConfirmDelete, FlagText(controls.mnConfirmDelete->isChecked())},
            {keys::kKeepAlive, FlagText(controls.mnKeepAlive->isChecked())},
            {keys::kShowHTML, FlagText(controls.mnShowHTML->isChecked())},
            {keys::kNoPictures, FlagText(controls.mnNoPictures->isChecked())},
            {keys::kClearEmailInIMGTag, FlagText(controls.mnClearEmailInIMGTag->isChecked())},
            {keys::kFilterSpam, FlagText(controls.mnFilterSpam->isChecked())},
            {keys::kFixedWidth, FlagText(controls.mnFixedWidth->isChecked())},
            {keys::kFontSize, FormatSingle(controls.txtMsg->font().pointSizeF())},
        });
}
