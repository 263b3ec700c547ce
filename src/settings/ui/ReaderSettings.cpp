#include "settings/ui/ReaderSettings.h"

#include "platform/ClickableLabel.h"
#include "platform/Dialogs.h"
#include "platform/SettingsStore.h"
#include "platform/TextCodec.h"
#include "reader/ui/frmPOP.h"
#include "session/ui/PopSession.h"
#include "session/ui/frmDebug.h"
#include "settings/AppVersion.h"
#include "settings/Numbers.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsValues.h"
#include "settings/ui/AccountMenu.h"
#include "settings/ui/ScreenPlacement.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
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

ReaderSettings::ReaderSettings(frmPOP& window)
    : window(window), accounts(std::make_unique<AccountMenu>(window)) {}

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
    try {
        step();
    } catch (const std::exception& e) {
        platform::dialogs().messageBox(&window, QString::fromLocal8Bit(e.what()));
    }
}

void ReaderSettings::StartUp() {
    window.Loading = true;

    runStep([this] {
        if (window.WebBrowser1) {
            window.WebBrowser1->hide();
        }
        window.lblFrom->clear();
        window.lblSubject->clear();
        window.lblAttachments->clear();
        window.txtMsg->clear();
        window.lstHeaders->clear();
    });

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

    runStep([this] { window.Account.Isp = setting(keys::kIsp); });
    runStep([this] { applyGeometry(); });
    runStep([this] { accounts->BuildAccountMenu(); });
    runStep([this] { loadAccountRecord(); });
    runStep([this] { applyOptions(); });
    runStep([this] { applyFontSize(); });
    runStep([this] { resetSessionCounters(); });
    runStep([this] {
        window.lblMsg->clear();
        window.lblAttachments->clear();
        window.lblStatus->setText(QStringLiteral("Ready"));
    });
    runStep([this] { OsDescription(); });
    runStep([this] {
        const double listHeight = window.placement(window.lstHeaders).height();
        window.Listing.VisibleRows = settings::ToInt16(listHeight * 8 / 1740);
    });

    window.Loading = false;
}

void ReaderSettings::applyGeometry() {
    const settings::WindowGeometry g = settings::GeometryFromText(
        setting(keys::kTop), setting(keys::kLeft), setting(keys::kHeight), setting(keys::kWidth),
        settings::kMainWindowLimits);
    window.setWindowTwips(QRectF(g.Left, g.Top, g.Width, g.Height));

    // A position from a screen that is gone still opens a window the user can see.
    const Twips t = window.twips();
    const QRect frame(window.pos(), window.size());
    const QRect placed = keepOnScreen(frame, QPoint(t.toPixels(200), t.toPixels(100)));
    if (placed != frame) {
        window.move(placed.topLeft());
        window.resize(placed.size().expandedTo(window.minimumSize()));
    }
}

void ReaderSettings::loadAccountRecord() {
    AccountRecord& a = window.Account;
    auto get = [&a](std::string_view key) {
        return platform::settingsStore().GetSetting(a.Isp, key);
    };
    a.EmailUsername = get(keys::kEmailUsername);
    a.EmailPass = settings::DecodeStoredPassword(get(keys::kEmailPass));
    a.EmailAuth = settings::ToInt16(settings::LeadingNumber(get(keys::kEmailAuth)));
    a.POPAddress = get(keys::kPOPAddress);
    a.SMTPAddress = get(keys::kSMTPAddress);
    a.SMTPDomain = get(keys::kSMTPDomain);
    a.EmailFromName = get(keys::kEmailFromName);
    a.EmailFromDomain = get(keys::kEmailFromDomain);
}

void ReaderSettings::applyOptions() {
    const std::pair<std::string_view, QAction*> options[] = {
        {keys::kConfirmDelete, window.mnConfirmDelete},
        {keys::kKeepAlive, window.mnKeepAlive},
        {keys::kShowHTML, window.mnShowHTML},
        {keys::kNoPictures, window.mnNoPictures},
        {keys::kClearEmailInIMGTag, window.mnClearEmailInIMGTag},
        {keys::kFilterSpam, window.mnFilterSpam},
    };
    for (const auto& [key, item] : options) {
        // The item's check mark as the window was built is its designed state.
        item->setChecked(settings::ParseFlag(setting(key), item->isChecked()));
    }
}

void ReaderSettings::applyFontSize() {
    const double size = settings::FontSizeFromText(setting(keys::kFontSize));
    for (QWidget* w :
         {static_cast<QWidget*>(window.txtMsg), static_cast<QWidget*>(window.lstHeaders)}) {
        QFont f = w->font();
        f.setPointSizeF(size);
        w->setFont(f);
    }
    if (setting(keys::kFixedWidth) == "True") {
        window.mnFixedWidth->setChecked(true);
        QFont f = window.txtMsg->font();
        f.setFamily(QStringLiteral("Courier New"));
        window.txtMsg->setFont(f);
    }
}

void ReaderSettings::resetSessionCounters() {
    session::SessionState& s = window.Session;
    s.LastCommand.clear();
    s.KeepAliveCountdown = 60;
    s.GreetingReceived = false;
    s.ClearMsgPending = false;
    session::ListingState& l = window.Listing;
    l.MessageCount = 0;
    l.ListingNumber = 0;
    l.HeaderDone = false;
    l.TopFailed = false;
    l.ListComplete = false;
    l.PacketCount = 0;
    l.WorkRow = 0;
    l.SavedTopIndex = 0;
}

QString ReaderSettings::OsDescription() {
    // This platform reports none of the Windows family codes, so there is nothing to say.
    constexpr int kNoKnownFamily = -1;
    const settings::OsDescriptionResult r = settings::OsDescription(kNoKnownFamily, 0.0f);
    if (r.askUser) {
        platform::dialogs().messageBox(&window, QString::fromStdString(r.askText));
    }
    return QString::fromStdString(r.text);
}

settings::WindowGeometry ReaderSettings::debugWindowGeometry() const {
    if (frmDebug* debug = window.session().debugWindow(false)) {
        const QRectF r = debug->windowTwips();
        return {r.top(), r.left(), r.height(), r.width()};
    }
    // Not open: what the window's own load would make of the stored values.
    return settings::GeometryFromText(setting(keys::kDeTop), setting(keys::kDeLeft),
                                      setting(keys::kDeHeight), setting(keys::kDeWidth),
                                      settings::kBufferWindowLimits);
}

void ReaderSettings::SaveSettings() {
    if (versionStopped) {
        return;
    }
    QRectF main = window.windowTwips();
    if (window.isMinimized() || window.isMaximized() || window.isFullScreen()) {
        // Keep the size the user gave the window, not the screen's.
        const Twips t = window.twips();
        const QRect normal = window.normalGeometry();
        main = QRectF(t.fromPixels(normal.x()), t.fromPixels(normal.y()),
                      t.fromPixels(normal.width()), t.fromPixels(normal.height()));
    }
    const settings::WindowGeometry debug = debugWindowGeometry();
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
            {keys::kConfirmDelete, FlagText(window.mnConfirmDelete->isChecked())},
            {keys::kKeepAlive, FlagText(window.mnKeepAlive->isChecked())},
            {keys::kShowHTML, FlagText(window.mnShowHTML->isChecked())},
            {keys::kNoPictures, FlagText(window.mnNoPictures->isChecked())},
            {keys::kClearEmailInIMGTag, FlagText(window.mnClearEmailInIMGTag->isChecked())},
            {keys::kFilterSpam, FlagText(window.mnFilterSpam->isChecked())},
            {keys::kFixedWidth, FlagText(window.mnFixedWidth->isChecked())},
            {keys::kFontSize, FormatSingle(window.txtMsg->font().pointSizeF())},
        });
}
