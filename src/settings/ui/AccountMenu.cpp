#include "settings/ui/AccountMenu.h"

#include "platform/SettingsStore.h"
#include "platform/TextCodec.h"
#include "reader/ui/frmPOP.h"
#include "settings/Numbers.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsValues.h"
#include "settings/ui/frmEmailSetup.h"

#include <QAction>
#include <QPushButton>

namespace keys = settings::keys;

namespace {

// A menu caption shows "&" only when doubled; a single one would underline the next letter.
QString caption(const std::string& name) {
    QString text = platform::TextCodec::fromBytes(name);
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return text;
}

} // namespace

AccountMenu::AccountMenu(frmPOP& window) : QObject(&window), window(window) {
    connect(window.mnSetup, &QAction::triggered, this, [this] { mnSetup_Click(); });
    for (std::size_t i = 0; i < window.mnSelectISP.size(); ++i) {
        connect(window.mnSelectISP[i], &QAction::triggered, this,
                [this, i] { mnSelectISP_Click(static_cast<int>(i)); });
    }
}

const std::string& AccountMenu::itemAccount(int index) const {
    return names.at(static_cast<std::size_t>(index));
}

void AccountMenu::BuildAccountMenu() {
    platform::SettingsStore& store = platform::settingsStore();
    const int n = settings::SlotCount(store.GetSetting(keys::kSettings, keys::kNbIsp));
    std::size_t j = 0;
    // Items past the last name keep what they showed before; only the first
    // five names get an item.
    for (int i = 0; i < n && j < names.size(); ++i) {
        const std::string name = store.GetSetting(keys::kSettings, settings::SlotKey(i));
        if (name.empty()) {
            continue;
        }
        QAction* item = window.mnSelectISP[j];
        names[j] = name;
        item->setText(caption(name));
        item->setChecked(name == window.Account.Isp);
        item->setVisible(true);
        ++j;
    }
}

void AccountMenu::endSession() {
    if (window.cmdConnect->text() == QLatin1String("Disconnect")) {
        window.cmdConnect->click();
    }
}

void AccountMenu::mnSelectISP_Click(int index) {
    endSession();
    platform::SettingsStore& store = platform::settingsStore();
    AccountRecord& a = window.Account;
    a.Isp = itemAccount(index);
    // The item's check mark is the store's to set, not the click's.
    window.mnSelectISP[static_cast<std::size_t>(index)]->setChecked(false);
    auto get = [&](std::string_view key) { return store.GetSetting(a.Isp, key); };
    a.POPAddress = get(keys::kPOPAddress);
    if (!a.POPAddress.empty()) {
        a.SMTPAddress = get(keys::kSMTPAddress);
        a.EmailUsername = get(keys::kEmailUsername);
        a.SMTPDomain = get(keys::kSMTPDomain);
        a.EmailPass = settings::DecodeStoredPassword(get(keys::kEmailPass));
        a.EmailAuth = settings::ToInt16(settings::LeadingNumber(get(keys::kEmailAuth)));
        a.EmailFromName = get(keys::kEmailFromName);
        a.EmailFromDomain = get(keys::kEmailFromDomain);
        store.SaveSetting(keys::kSettings, keys::kIsp, a.Isp);
    }
    BuildAccountMenu();
    window.setWindowTitle(QStringLiteral("Corvane - ") + platform::TextCodec::fromBytes(a.Isp));
}

void AccountMenu::mnSetup_Click() {
    endSession();
    {
        frmEmailSetup dialog(window);
        dialog.exec();
    }
    BuildAccountMenu();
}
