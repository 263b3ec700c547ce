#include "settings/ui/AccountMenu.h"

#include "platform/SettingsStore.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsValues.h"
#include "settings/ui/AccountText.h"
#include "settings/ui/StoredAccount.h"
#include "settings/ui/frmEmailSetup.h"

#include <QAction>
#include <QFontMetrics>
#include <QMenu>

namespace keys = settings::keys;

AccountMenu::AccountMenu(const Controls& controls, AccountRecord& account,
                         std::function<bool()> isConnected, std::function<void()> disconnect)
    : QObject(controls.window), controls(controls), account(account),
      isConnected(std::move(isConnected)), disconnect(std::move(disconnect)) {
    // Long names are cut in their items; the tooltip names the whole account.
    controls.mnISP->setToolTipsVisible(true);
    connect(controls.mnSetup, &QAction::triggered, this, [this] { mnSetup_Click(); });
    for (std::size_t i = 0; i < controls.mnSelectISP.size(); ++i) {
        connect(controls.mnSelectISP[i], &QAction::triggered, this,
                [this, i] { mnSelectISP_Click(static_cast<int>(i)); });
    }
}

const std::string& AccountMenu::itemAccount(int index) const {
    return names.at(static_cast<std::size_t>(index));
}

void AccountMenu::BuildAccountMenu() {
    platform::SettingsStore& store = platform::settingsStore();
    const int n = settings::SlotCount(store.GetSetting(keys::kSettings, keys::kNbIsp));
    const QFontMetrics metrics(controls.mnISP->font());
    std::size_t j = 0;
    // Items past the last name keep what they showed before; only the first
    // five names get an item.
    for (int i = 0; i < n && j < names.size(); ++i) {
        const std::string name = store.GetSetting(keys::kSettings, settings::SlotKey(i));
        if (name.empty() || settings::IsReservedAccountName(name)) {
            continue;
        }
        QAction* item = controls.mnSelectISP[j];
        names[j] = name;
        const QString full = accounttext::text(name);
        // A menu caption shows "&" only when doubled; a single one would underline the next letter.
        item->setText(
            accounttext::elided(full, metrics).replace(QLatin1Char('&'), QStringLiteral("&&")));
        item->setToolTip(full);
        item->setChecked(name == account.Isp);
        item->setVisible(true);
        ++j;
    }
}

void AccountMenu::endSession() {
    if (isConnected && disconnect && isConnected()) {
        disconnect();
    }
}

void AccountMenu::mnSelectISP_Click(int index) {
    endSession();
    platform::SettingsStore& store = platform::settingsStore();
    AccountRecord& a = account;
    a.Isp = itemAccount(index);
    // The item's check mark is the store's to set, not the click's.
    controls.mnSelectISP[static_cast<std::size_t>(index)]->setChecked(false);
    // An account without a POP server is not switched to.
    if (!store.GetSetting(a.Isp, keys::kPOPAddress).empty()) {
        ReadStoredAccount(a, controls.window);
        store.SaveSetting(keys::kSettings, keys::kIsp, a.Isp);
    } else {
        a.POPAddress.clear();
    }
    BuildAccountMenu();
    controls.window->setWindowTitle(accounttext::windowTitle(a.Isp));
}

void AccountMenu::mnSetup_Click() {
    endSession();
    {
        frmEmailSetup dialog(account, controls.window);
        dialog.exec();
    }
    BuildAccountMenu();
}
