#include "settings/ui/frmEmailSetup.h"
#include "support/ScriptedDialogs.h"
#include "support/TempSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using platform::MsgAnswer;

namespace {

// A store holding the account list and, for each name, an account whose POP
// server is "pop." + name and whose saved password is "old".
struct Accounts {
    TempSettings temp;
    ScriptedDialogs dialogs;
    AccountRecord account;

    explicit Accounts(const std::vector<std::string>& list = {}, const std::string& active = "",
                      const std::string& auth = "2") {
        std::map<std::string, std::string> values{{"nbISP", std::to_string(list.size())},
                                                  {"ISP", active}};
        for (std::size_t i = 0; i < list.size(); ++i) {
            values["ISP" + std::to_string(i)] = list[i];
            temp.setSection(list[i], {{"POPAddress", "pop." + list[i]},
                                      {"SMTPAddress", "smtp.example.com"},
                                      {"EmailPass", "b2xk"},
                                      {"EmailAuth", auth}});
        }
        if (!list.empty()) {
            temp.setSection("Settings", values);
        }
    }
    std::string get(const std::string& section, const std::string& key) {
        return temp.store().GetSetting(section, key);
    }
};

QStringList entries(const QComboBox* c) {
    QStringList list;
    for (int i = 0; i < c->count(); ++i) {
        list << c->itemText(i);
    }
    return list;
}

// Types an account with every field filled (one may be left empty): "POP.пример", ...
void fill(frmEmailSetup& d, const QString& name, const QString& pass, QLineEdit* empty = nullptr) {
    d.cmbISP->setEditText(name);
    for (QLineEdit* e : {d.txtPOP, d.txtSMTP, d.txtUsername, d.txtDomain, d.txtFromName}) {
        e->setText(e == empty ? QString() : e->objectName().mid(3) + QStringLiteral(".пример"));
    }
    d.txtPass->setText(empty == d.txtPass ? QString() : pass);
}

} // namespace

TEST(EmailSetup, EmptyStoreOffersNoIsp) {
    Accounts s;
    frmEmailSetup d(s.account, nullptr);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("EMail Client Setup"));
    EXPECT_EQ(entries(d.cmbISP), QStringList{"No ISP"});
    EXPECT_EQ(d.cmbAuth->currentText(), QStringLiteral("None"));
    EXPECT_EQ(entries(d.cmbAuth), (QStringList{"None", "POP3", "Auth Login", "Auth Plain"}));
    EXPECT_TRUE(d.txtPOP->text().isEmpty());
    EXPECT_TRUE(d.chkRemovePassword->isHidden());
    const std::pair<QPushButton*, const char*> tips[] = {
        {d.cmdOK, "Select and update data for this ISP"},
        {d.cmdAdd, "Add this ISP to the registry"},
        {d.cmdDelete, "Delete this ISP from the registry"},
        {d.cmdCancel, "Close form without changes"},
        {d.cmdReset, "Clear form"}};
    for (const auto& [button, tip] : tips) {
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(tip));
    }
}

TEST(EmailSetup, AddChecksTheFieldsInOrder) {
    const struct {
        const char *name, *field, *message;
    } cases[] = {
        {"", nullptr, "Please enter an ISP name for reference to this account"},
        {"   ", nullptr, "Please enter an ISP name for reference to this account"},
        {"Home", "txtPOP", "Please enter a URL for the POP server"},
        {"Home", "txtSMTP", "Please enter a URL for the smtp server"},
        {"Home", "txtUsername", "Please enter a User Name"},
        {"Home", "txtDomain", "Please enter a Domain for the user"},
        {"Home", "txtPass", "Please enter a password"},
        {"Settings", nullptr,
         "\"Settings\" is used by the program itself. Please choose another ISP name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Accounts s({"Work"}, "Work");
        frmEmailSetup d(s.account, nullptr);
        fill(d, QString::fromUtf8(c.name), QStringLiteral("pw"),
             c.field ? d.findChild<QLineEdit*>(QString::fromUtf8(c.field)) : nullptr);
        d.chkSavePassword->setChecked(true);
        s.dialogs.answer(MsgAnswer::Ok);
        d.cmdAdd->click();
        EXPECT_EQ(s.dialogs.messageTexts(), QStringList{QString::fromUtf8(c.message)});
        EXPECT_EQ(s.get("Settings", "nbISP"), "1") << "the store holds nothing new";
        EXPECT_FALSE(s.temp.store().HasSection("Home"));
        if (c.name == std::string("Settings")) {
            // The refused name never enters the list, not with the next Add either.
            fill(d, QStringLiteral("Home"), QStringLiteral("pw"));
            d.cmdAdd->click();
            EXPECT_EQ(s.get("Settings", "nbISP"), "2");
            EXPECT_EQ(s.get("Settings", "ISP1"), "Home");
            EXPECT_EQ(s.get("Settings", "ISP"), "Home");
        }
    }
}

TEST(EmailSetup, AddedAccountsAreStoredAsTyped) {
    Accounts s;
    for (const char* name : {"мир", "  дом  ", "a/b", "R&D 50%"}) {
        frmEmailSetup d(s.account, nullptr);
        fill(d, QString::fromUtf8(name), QStringLiteral("пароль-zażółć"));
        d.chkSavePassword->setChecked(true);
        d.cmdAdd->click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }
    EXPECT_TRUE(s.dialogs.messages().empty()) << s.dialogs.messageTexts().join('|').toStdString();
    EXPECT_EQ(s.account.Isp, "R&D 50%");
    EXPECT_EQ(s.account.EmailPass, "пароль-zażółć");
    s.temp.reopen();
    EXPECT_EQ(s.get("Settings", "nbISP"), "4");
    EXPECT_EQ(s.get("Settings", "ISP1"), "дом");
    EXPECT_EQ(s.get("мир", "POPAddress"), "POP.пример");
    EXPECT_EQ(s.get("дом", "EmailUsername"), "Username.пример");
    EXPECT_EQ(s.get("дом", "EmailAuth"), "0");
    frmEmailSetup d(s.account, nullptr);
    EXPECT_EQ(entries(d.cmbISP), (QStringList{"мир", "дом", "a/b", "R&D 50%"}));
    d.cmbISP->setCurrentIndex(0);
    d.Timer1_Timer();
    EXPECT_EQ(d.txtPass->text(), QStringLiteral("пароль-zażółć"));
    EXPECT_EQ(d.txtFromName->text(), QStringLiteral("FromName.пример"));
}

TEST(EmailSetup, OkOnANameNotInTheListAsksFirst) {
    for (const MsgAnswer reply : {MsgAnswer::Yes, MsgAnswer::No}) {
        Accounts s({"Work"}, "Work");
        frmEmailSetup d(s.account, nullptr);
        fill(d, QStringLiteral("Home"), QStringLiteral("pw"));
        s.dialogs.answer(reply);
        d.cmdOK->click();
        EXPECT_EQ(s.dialogs.messageTexts(),
                  QStringList{"This is a new ISP. Do you want to add it?"});
        EXPECT_EQ(s.dialogs.messages()[0].buttons, platform::MsgButtons::YesNo);
        EXPECT_EQ(s.get("Home", "POPAddress"), reply == MsgAnswer::Yes ? "POP.пример" : "");
    }
}

TEST(EmailSetup, OkRewritesTheAccountAndKeepsOrRemovesThePassword) {
    const struct {
        const char* action;
        std::string stored;
    } cases[] = {{"keep", "b2xk"}, {"save", "bmV3"}, {"unsave", ""}};
    for (const auto& c : cases) {
        Accounts s({"Work", "Home"}, "Home");
        s.account.GetPassword = true;
        frmEmailSetup d(s.account, nullptr);
        EXPECT_EQ(d.focusWidget(), d.txtPass) << "opened for a missing password";
        EXPECT_EQ(d.txtPass->text(), QStringLiteral("old"));
        EXPECT_FALSE(d.chkRemovePassword->isHidden());
        d.txtSMTP->setText(QStringLiteral("  smtp.home.net  "));
        if (c.action == std::string("save")) {
            d.txtPass->clear();
            QTest::keyClicks(d.txtPass, QStringLiteral("new"));
            d.chkSavePassword->setChecked(true);
        } else if (c.action == std::string("unsave")) {
            d.chkRemovePassword->setChecked(true);
        }
        d.cmdOK->click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
        EXPECT_EQ(s.get("Home", "SMTPAddress"), "smtp.home.net");
        EXPECT_EQ(s.get("Home", "EmailPass"), c.stored) << c.action;
        EXPECT_EQ(s.get("Work", "POPAddress"), "pop.Work");
        EXPECT_FALSE(s.account.GetPassword);
        EXPECT_NE(s.get("Settings", "esTop"), "");
    }
}

TEST(EmailSetup, ListTheTimerAndTheFocusLoss) {
    Accounts s({"A", "", "Settings", "Gone"}, "Gone", "7");
    s.temp.setSection("Settings", {{"nbISP", "3"}});
    frmEmailSetup d(s.account, nullptr);
    EXPECT_EQ(entries(d.cmbISP), QStringList{"A"}) << "empty, reserved and stale slots skipped";
    EXPECT_TRUE(d.txtPOP->text().isEmpty());
    QSignalSpy fired(d.Timer1, &QTimer::timeout);
    ASSERT_TRUE(fired.wait()); // 3 ms later the first account becomes the active one
    EXPECT_EQ(s.get("Settings", "ISP"), "A");
    EXPECT_EQ(d.txtPOP->text(), QStringLiteral("pop.A"));
    EXPECT_EQ(d.cmbAuth->currentText(), QStringLiteral("None")) << "EmailAuth 7";
    for (const char* typed : {"M", "My", "MyISP"}) {
        d.cmbISP->setEditText(QString::fromUtf8(typed));
        d.Timer1_Timer();
        EXPECT_EQ(s.get("Settings", "ISP"), typed);
    }
    EXPECT_EQ(s.get("Settings", "nbISP"), "3") << "no prefix enters the list";
    d.cmbISP_LostFocus();
    d.cmbISP_LostFocus();
    EXPECT_EQ(s.get("Settings", "nbISP"), "4");
    EXPECT_EQ(s.get("Settings", "ISP3"), "MyISP");
}

TEST(EmailSetup, DeleteRewritesTheListOrSaysItCannot) {
    Accounts s({"A", "B", "C"}, "B");
    frmEmailSetup d(s.account, nullptr);
    d.cmdDelete->click();
    EXPECT_FALSE(s.temp.store().HasSection("B"));
    EXPECT_EQ(entries(d.cmbISP), (QStringList{"A", "C"}));
    EXPECT_EQ(s.get("Settings", "ISP2"), "C") << "a slot past the count stays";
    EXPECT_EQ(s.get("Settings", "ISP"), "A");
    d.Timer1_Timer(); // the list was written by walking it: its last entry is taken up
    EXPECT_EQ(s.get("Settings", "ISP"), "C");
    for (const char* name : {"New one", "Settings"}) {
        d.cmbISP->setEditText(QString::fromUtf8(name));
        s.dialogs.answer(MsgAnswer::Ok);
        d.cmdDelete->click();
        EXPECT_EQ(s.dialogs.messageTexts().last(),
                  QStringLiteral("Cannot remove %1 from registry").arg(QString::fromUtf8(name)));
    }
    EXPECT_EQ(s.get("Settings", "nbISP"), "2");
}

TEST(EmailSetup, ALongNameKeepsTheDesignedSize) {
    Accounts empty;
    const QSize designed = frmEmailSetup(empty.account, nullptr).sizeHint();
    const std::string longName(300, 'W');
    Accounts s({longName}, longName);
    frmEmailSetup d(s.account, nullptr);
    EXPECT_EQ(d.sizeHint(), designed);
    EXPECT_EQ(d.cmbISP->itemData(0, Qt::ToolTipRole).toString(), QString::fromStdString(longName));
    EXPECT_EQ(d.cmbISP->toolTip(), QString::fromStdString(longName));
}
