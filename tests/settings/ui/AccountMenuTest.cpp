#include "settings/ui/AccountMenu.h"
#include "reader/ui/frmPOP.h"
#include "settings/ui/ReaderSettings.h"
#include "settings/ui/frmEmailSetup.h"
#include "support/ScriptedDialogs.h"
#include "support/TempSettings.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

void storeAccount(TempSettings& t, const std::string& name, const std::string& pop,
                  const std::string& user, const std::string& pass64) {
    t.setSection(name, {{"POPAddress", pop},
                        {"SMTPAddress", "smtp." + name},
                        {"EmailUsername", user},
                        {"SMTPDomain", name + ".example"},
                        {"EmailPass", pass64},
                        {"EmailAuth", "1"},
                        {"EmailFromName", user},
                        {"EmailFromDomain", name + ".example"}});
}

struct Item {
    QString caption;
    bool checked;
    bool visible;
};

std::vector<Item> items(const frmPOP& w) {
    std::vector<Item> out;
    for (QAction* a : w.mnSelectISP) {
        out.push_back({a->text(), a->isChecked(), a->isVisible()});
    }
    return out;
}

class AccountMenuTest : public ::testing::Test {
protected:
    TempSettings temp;
    ScriptedDialogs dialogs;
};

} // namespace

TEST_F(AccountMenuTest, ListsTheAccountsAndChecksTheActiveOne) {
    temp.setSection("Settings",
                    {{"nbISP", "3"}, {"ISP0", "A"}, {"ISP1", "B"}, {"ISP2", "C"}, {"ISP", "B"}});
    frmPOP w;
    const auto shown = items(w);
    EXPECT_EQ(shown[0].caption, QStringLiteral("A"));
    EXPECT_EQ(shown[1].caption, QStringLiteral("B"));
    EXPECT_EQ(shown[2].caption, QStringLiteral("C"));
    EXPECT_FALSE(shown[0].checked);
    EXPECT_TRUE(shown[1].checked);
    EXPECT_FALSE(shown[2].checked);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(shown[i].visible) << i;
    }
    EXPECT_FALSE(shown[3].visible);
    EXPECT_FALSE(shown[4].visible);
    EXPECT_EQ(w.mnISP->title(), QStringLiteral("ISP Setup"));
    EXPECT_EQ(w.mnSetup->text(), QStringLiteral("Edit"));
}

TEST_F(AccountMenuTest, EmptySlotsCloseUpAndEachItemActivatesWhatItShows) {
    temp.setSection("Settings", {{"nbISP", "3"},
                                 {"ISP0", "A"},
                                 {"ISP1", ""},
                                 {"ISP2", "C"},
                                 {"ISP3", "Stale"},
                                 {"ISP", "A"}});
    storeAccount(temp, "A", "pop.a", "ann", "YQ==");
    storeAccount(temp, "C", "pop.c", "carl", "Yw==");
    frmPOP w;
    EXPECT_EQ(w.mnSelectISP[0]->text(), QStringLiteral("A"));
    EXPECT_EQ(w.mnSelectISP[1]->text(), QStringLiteral("C"));
    EXPECT_FALSE(w.mnSelectISP[2]->isVisible());
    w.mnSelectISP[1]->trigger();
    EXPECT_EQ(w.Account.Isp, "C");
    EXPECT_EQ(w.Account.POPAddress, "pop.c");
    EXPECT_EQ(w.Account.EmailUsername, "carl");
    EXPECT_EQ(w.Account.EmailPass, "c");
    EXPECT_EQ(w.Account.EmailAuth, 1);
    EXPECT_EQ(w.Account.SMTPAddress, "smtp.C");
    EXPECT_EQ(temp.get("ISP"), "C");
    EXPECT_FALSE(w.mnSelectISP[0]->isChecked());
    EXPECT_TRUE(w.mnSelectISP[1]->isChecked());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Corvane - C"));
    w.mnSelectISP[0]->trigger();
    EXPECT_EQ(w.Account.EmailUsername, "ann");
    EXPECT_TRUE(w.mnSelectISP[0]->isChecked());
    EXPECT_FALSE(w.mnSelectISP[1]->isChecked());
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(AccountMenuTest, AccountWithoutPopServerChangesOnlyNameAndServer) {
    temp.setSection("Settings", {{"nbISP", "2"}, {"ISP0", "A"}, {"ISP1", "Empty"}, {"ISP", "A"}});
    storeAccount(temp, "A", "pop.a", "ann", "YQ==");
    temp.setSection("Empty", {{"SMTPAddress", "smtp.empty"}});
    frmPOP w;
    w.mnSelectISP[1]->trigger();
    EXPECT_EQ(w.Account.Isp, "Empty");
    EXPECT_EQ(w.Account.POPAddress, "");
    EXPECT_EQ(w.Account.SMTPAddress, "smtp.A") << "kept from the previous account";
    EXPECT_EQ(w.Account.EmailUsername, "ann");
    EXPECT_EQ(temp.get("ISP"), "A") << "the store's active account stays";
    EXPECT_TRUE(w.mnSelectISP[1]->isChecked());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Corvane - Empty"));
}

TEST_F(AccountMenuTest, SwitchingWhileConnectedEndsTheSessionFirst) {
    temp.setSection("Settings", {{"nbISP", "2"}, {"ISP0", "A"}, {"ISP1", "B"}, {"ISP", "A"}});
    storeAccount(temp, "A", "pop.a", "ann", "YQ==");
    storeAccount(temp, "B", "pop.b", "bob", "Yg==");
    frmPOP w;
    std::vector<std::string> accountAtClick;
    QObject::connect(w.cmdConnect, &QPushButton::clicked,
                     [&] { accountAtClick.push_back(w.Account.Isp); });
    w.mnSelectISP[1]->trigger();
    EXPECT_TRUE(accountAtClick.empty()) << "not connected: no click";
    w.cmdConnect->setText(QStringLiteral("Disconnect"));
    w.mnSelectISP[0]->trigger();
    ASSERT_EQ(accountAtClick.size(), 1u);
    EXPECT_EQ(accountAtClick[0], "B") << "the session ends before the account changes";
    EXPECT_EQ(w.Account.Isp, "A");
}

TEST_F(AccountMenuTest, MoreThanFiveAccountsShowTheFirstFive) {
    std::map<std::string, std::string> list{{"nbISP", "7"}, {"ISP", "G"}};
    for (int i = 0; i < 7; ++i) {
        list["ISP" + std::to_string(i)] = std::string(1, char('A' + i));
    }
    temp.setSection("Settings", list);
    frmPOP w;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(w.mnSelectISP[i]->text(), QString(QChar('A' + i)));
        EXPECT_TRUE(w.mnSelectISP[i]->isVisible());
        EXPECT_FALSE(w.mnSelectISP[i]->isChecked());
    }
}

TEST_F(AccountMenuTest, CaptionsShowAmpersandsAsTyped) {
    temp.setSection("Settings", {{"nbISP", "1"}, {"ISP0", "R&D"}, {"ISP", "R&D"}});
    storeAccount(temp, "R&D", "pop.rd", "rd", "");
    frmPOP w;
    EXPECT_EQ(w.mnSelectISP[0]->text(), QStringLiteral("R&&D"));
    w.mnSelectISP[0]->trigger();
    EXPECT_EQ(w.Account.Isp, "R&D");
    EXPECT_EQ(w.Account.POPAddress, "pop.rd");
}

TEST_F(AccountMenuTest, ItemsOfADeletedAccountStayUntilTheNextStart) {
    temp.setSection("Settings",
                    {{"nbISP", "3"}, {"ISP0", "A"}, {"ISP1", "B"}, {"ISP2", "C"}, {"ISP", "A"}});
    for (const char* n : {"A", "B", "C"}) {
        storeAccount(temp, n, std::string("pop.") + n, n, "");
    }
    frmPOP w;
    // The setup dialog deletes C.
    temp.setSection("Settings", {{"nbISP", "2"}});
    ASSERT_TRUE(temp.store().DeleteSection("C"));
    w.settings().accountMenu().BuildAccountMenu();
    EXPECT_EQ(w.mnSelectISP[2]->text(), QStringLiteral("C"));
    EXPECT_TRUE(w.mnSelectISP[2]->isVisible());
    w.mnSelectISP[2]->trigger();
    EXPECT_EQ(w.Account.Isp, "C");
    EXPECT_EQ(w.Account.POPAddress, "");
    EXPECT_EQ(w.Account.EmailUsername, "A");
    EXPECT_EQ(temp.get("ISP"), "A");
}

TEST_F(AccountMenuTest, EditOpensTheSetupDialogAndRebuildsTheMenu) {
    frmPOP w;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<frmEmailSetup*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        seen = true;
        d->cmbISP->setEditText(QStringLiteral("Home"));
        d->txtPOP->setText(QStringLiteral("pop.home"));
        d->txtSMTP->setText(QStringLiteral("smtp.home"));
        d->txtUsername->setText(QStringLiteral("me"));
        d->txtDomain->setText(QStringLiteral("home.example"));
        d->cmdAdd->click();
    });
    w.mnSetup->trigger();
    EXPECT_TRUE(seen);
    EXPECT_EQ(w.mnSelectISP[0]->text(), QStringLiteral("Home"));
    EXPECT_TRUE(w.mnSelectISP[0]->isChecked());
    EXPECT_EQ(w.Account.Isp, "Home");
    EXPECT_EQ(w.Account.POPAddress, "pop.home");
    EXPECT_TRUE(dialogs.messages().empty()) << dialogs.messageTexts().join('|').toStdString();
}
