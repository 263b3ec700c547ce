#include "settings/ui/AccountMenu.h"
#include "settings/ui/frmEmailSetup.h"
#include "support/ScriptedDialogs.h"
#include "support/TempSettings.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// The reader window's account menu as it is built: item 0 shown, empty.
struct MenuWindow {
    TempSettings temp;
    ScriptedDialogs dialogs;
    QMainWindow window;
    AccountMenu::Controls c{
        &window, window.menuBar()->addMenu(QStringLiteral("ISP Setup")), {}, {}};
    AccountRecord account;
    bool connected = false;
    int disconnects = 0;
    std::unique_ptr<AccountMenu> menu;

    explicit MenuWindow(const std::vector<std::string>& list, const std::string& active) {
        std::map<std::string, std::string> values{{"nbISP", std::to_string(list.size())}};
        for (std::size_t i = 0; i < list.size(); ++i) {
            values["ISP" + std::to_string(i)] = list[i];
            temp.setSection(list[i], {{"POPAddress", list[i] == "NoPop" ? "" : "pop." + list[i]},
                                      {"EmailUsername", "user of " + list[i]},
                                      {"EmailPass", "0L/QsNGA0L7Qu9GMLXphxbzDs8WCxIc="}});
        }
        temp.setSection("Settings", values);
        account.Isp = active;
        c.mnSetup = c.mnISP->addAction(QStringLiteral("Edit"));
        for (QAction*& item : c.mnSelectISP) {
            item = c.mnISP->addAction(QString());
            item->setCheckable(true);
            item->setVisible(item == c.mnSelectISP[0]);
        }
        menu = std::make_unique<AccountMenu>(
            c, account, [this] { return connected; }, [this] { ++disconnects; });
        menu->BuildAccountMenu();
    }

    // Shown items: caption, "*" when checked.
    QStringList items() const {
        QStringList shown;
        for (const QAction* a : c.mnSelectISP) {
            if (a->isVisible()) {
                shown << a->text() + (a->isChecked() ? QStringLiteral("*") : QString());
            }
        }
        return shown;
    }
};

} // namespace

TEST(AccountMenu, ListsTheStoredAccountsAndChecksTheActiveOne) {
    const std::string longName(300, 'x');
    const struct {
        std::vector<std::string> list;
        std::string active;
        QStringList shown;
    } cases[] = {
        {{}, "", {""}},
        {{"A", "B", "C"}, "B", {"A", "B*", "C"}},
        {{"A", "", "C"}, "A", {"A*", "C"}}, // empty slots close up
        {{"A", "B", "C", "D", "E", "F", "G"}, "G", {"A", "B", "C", "D", "E"}},
        {{"R&D"}, "R&D", {"R&&D*"}},
        {{"мир", "дом"}, "дом", {"мир", "дом*"}},
        {{"Settings", "Home"}, "Home", {"Home*"}}, // the store's own section is no account
    };
    for (const auto& c : cases) {
        MenuWindow m(c.list, c.active);
        EXPECT_EQ(m.items(), c.shown) << c.active;
    }
    MenuWindow m({longName}, "");
    EXPECT_LT(m.c.mnSelectISP[0]->text().size(), 60) << "long names are cut";
    EXPECT_EQ(m.c.mnSelectISP[0]->toolTip(), QString::fromStdString(longName));
    m.c.mnSelectISP[0]->trigger();
    EXPECT_EQ(m.account.Isp, longName);
}

TEST(AccountMenu, ChoosingAnAccountLoadsItAndEndsTheSessionFirst) {
    MenuWindow m({"мир", "дом", "NoPop"}, "мир");
    m.account.SMTPAddress = "smtp.previous";
    m.c.mnSelectISP[1]->trigger();
    EXPECT_EQ(m.disconnects, 0) << "not connected";
    EXPECT_EQ(m.account.EmailUsername, "user of дом");
    EXPECT_EQ(m.account.EmailPass, "пароль-zażółć");
    EXPECT_EQ(m.account.SMTPAddress, "");
    EXPECT_EQ(m.temp.get("ISP"), "дом");
    EXPECT_EQ(m.items(), (QStringList{"мир", "дом*", "NoPop"}));
    EXPECT_EQ(m.window.windowTitle(), QStringLiteral("Corvane - дом"));
    // Connected (the connect button may be disabled while QUIT hangs): the
    // connect command itself runs first.
    m.connected = true;
    m.c.mnSelectISP[2]->trigger();
    EXPECT_EQ(m.disconnects, 1);
    // Without a POP server only the name and the server change.
    EXPECT_EQ(m.account.Isp, "NoPop");
    EXPECT_EQ(m.account.POPAddress, "");
    EXPECT_EQ(m.account.EmailUsername, "user of дом");
    EXPECT_EQ(m.temp.get("ISP"), "дом");
}

TEST(AccountMenu, EditOpensTheSetupDialogAndRebuildsTheMenu) {
    MenuWindow m({}, "");
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<frmEmailSetup*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->cmbISP->setEditText(QStringLiteral("Home"));
        for (QLineEdit* e : {d->txtPOP, d->txtSMTP, d->txtUsername, d->txtDomain}) {
            e->setText(QStringLiteral("x"));
        }
        d->cmdAdd->click();
    });
    m.c.mnSetup->trigger();
    EXPECT_EQ(m.items(), QStringList{"Home*"});
    EXPECT_TRUE(m.dialogs.messages().empty()) << m.dialogs.messageTexts().join('|').toStdString();
}
