#include "reader/ui/frmPOP.h"
#include "settings/ui/frmEmailSetup.h"
#include "support/ScriptedDialogs.h"
#include "support/TempSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using platform::MsgAnswer;
using platform::MsgButtons;

namespace {

struct AccountValues {
    std::string pop = "pop.example.com";
    std::string smtp = "smtp.example.com:2525";
    std::string user = "alice";
    std::string domain = "example.com";
    std::string pass = ""; // stored form (base64) when writing the store
    std::string fromName = "alice.b";
    std::string fromDomain = "example.org";
    std::string auth = "2";
};

void storeAccount(TempSettings& t, const std::string& name, const AccountValues& v) {
    t.setSection(name, {{"POPAddress", v.pop},
                        {"SMTPAddress", v.smtp},
                        {"EmailUsername", v.user},
                        {"SMTPDomain", v.domain},
                        {"EmailPass", v.pass},
                        {"EmailFromName", v.fromName},
                        {"EmailFromDomain", v.fromDomain},
                        {"EmailAuth", v.auth}});
}

void storeList(TempSettings& t, const std::vector<std::string>& names, const std::string& active) {
    std::map<std::string, std::string> values{{"nbISP", std::to_string(names.size())},
                                              {"ISP", active}};
    for (std::size_t i = 0; i < names.size(); ++i) {
        values["ISP" + std::to_string(i)] = names[i];
    }
    t.setSection("Settings", values);
}

// Fills the dialog's fields as a user would see them (the password in clear text).
void fill(frmEmailSetup& d, const QString& name, const AccountValues& v, const QString& pass) {
    d.cmbISP->setEditText(name);
    d.txtPOP->setText(QString::fromStdString(v.pop));
    d.txtSMTP->setText(QString::fromStdString(v.smtp));
    d.txtUsername->setText(QString::fromStdString(v.user));
    d.txtDomain->setText(QString::fromStdString(v.domain));
    d.txtPass->setText(pass);
    d.txtFromName->setText(QString::fromStdString(v.fromName));
    d.txtFromDomain->setText(QString::fromStdString(v.fromDomain));
    d.cmbAuth->setCurrentIndex(std::stoi(v.auth));
}

QStringList comboEntries(const QComboBox* c) {
    QStringList entries;
    for (int i = 0; i < c->count(); ++i) {
        entries << c->itemText(i);
    }
    return entries;
}

class EmailSetupTest : public ::testing::Test {
protected:
    std::string section(const std::string& name, const std::string& key) {
        return temp.store().GetSetting(name, key);
    }

    TempSettings temp;
    ScriptedDialogs dialogs;
};

} // namespace

TEST_F(EmailSetupTest, EmptyStoreOffersNoIsp) {
    frmPOP w;
    frmEmailSetup d(w);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("EMail Client Setup"));
    EXPECT_EQ(comboEntries(d.cmbISP), QStringList{QStringLiteral("No ISP")});
    EXPECT_EQ(d.cmbISP->currentText(), QString());
    for (const QLineEdit* e : {d.txtPOP, d.txtSMTP, d.txtUsername, d.txtDomain, d.txtPass,
                               d.txtFromName, d.txtFromDomain}) {
        EXPECT_TRUE(e->text().isEmpty()) << e->objectName().toStdString();
    }
    EXPECT_EQ(d.cmbAuth->currentText(), QStringLiteral("None"));
    EXPECT_EQ(comboEntries(d.cmbAuth),
              (QStringList{QStringLiteral("None"), QStringLiteral("POP3"),
                           QStringLiteral("Auth Login"), QStringLiteral("Auth Plain")}));
    EXPECT_TRUE(d.chkRemovePassword->isHidden());
    EXPECT_EQ(d.txtPass->echoMode(), QLineEdit::Password);
    EXPECT_EQ(d.cmdOK->toolTip(), QStringLiteral("Select and update data for this ISP"));
    EXPECT_EQ(d.cmdAdd->toolTip(), QStringLiteral("Add this ISP to the registry"));
    EXPECT_EQ(d.cmdDelete->toolTip(), QStringLiteral("Delete this ISP from the registry"));
    EXPECT_EQ(d.cmdCancel->toolTip(), QStringLiteral("Close form without changes"));
    EXPECT_EQ(d.cmdReset->toolTip(), QStringLiteral("Clear form"));
    EXPECT_EQ(d.Timer1->interval(), 3);
    EXPECT_EQ(d.focusWidget(), d.cmbISP);
}

TEST_F(EmailSetupTest, AddChecksTheFieldsInOrder) {
    const struct {
        const char* clear; // the field left empty
        const char* message;
    } cases[] = {
        {"name", "Please enter an ISP name for reference to this account"},
        {"blank name", "Please enter an ISP name for reference to this account"},
        {"pop", "Please enter a URL for the POP server"},
        {"smtp", "Please enter a URL for the smtp server"},
        {"user", "Please enter a User Name"},
        {"domain", "Please enter a Domain for the user"},
        {"password", "Please enter a password"},
        {"bad pop port", "The POP server must be a host name or address, optionally followed by "
                         ": and a port number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.clear);
        TempSettings own;
        ScriptedDialogs scripted;
        scripted.answer(MsgAnswer::Ok);
        frmPOP w;
        frmEmailSetup d(w);
        AccountValues v;
        QString name = QStringLiteral("Home");
        const std::string which = c.clear;
        if (which == "name") {
            name.clear();
        } else if (which == "blank name") {
            name = QStringLiteral("   ");
        } else if (which == "pop") {
            v.pop.clear();
            v.smtp.clear(); // a later field empty too: the first failing check speaks
        } else if (which == "smtp") {
            v.smtp.clear();
        } else if (which == "user") {
            v.user.clear();
            v.domain.clear();
        } else if (which == "domain") {
            v.domain.clear();
        } else if (which == "bad pop port") {
            v.pop = "pop.example.com:99999";
        }
        fill(d, name, v, which == "password" ? QString() : QStringLiteral("pw"));
        d.chkSavePassword->setChecked(which == "password");
        d.cmdAdd->click();
        EXPECT_EQ(scripted.messageTexts(), QStringList{QString::fromLatin1(c.message)});
        EXPECT_EQ(scripted.messages()[0].buttons, MsgButtons::Ok);
        EXPECT_EQ(scripted.messages()[0].icon, platform::MsgIcon::None);
        // The reader's record already holds the dialog's values; the store holds nothing.
        EXPECT_EQ(w.Account.POPAddress, v.pop);
        EXPECT_EQ(w.Account.EmailUsername, v.user);
        EXPECT_EQ(own.get("nbISP"), "");
        EXPECT_FALSE(own.store().HasSection("Home"));
        EXPECT_EQ(d.result(), 0) << "the dialog stays open";
    }
}

TEST_F(EmailSetupTest, AddSavesANewAccountAndMakesItActive) {
    frmPOP w;
    frmEmailSetup d(w);
    fill(d, QStringLiteral("  Home  "), AccountValues{}, QString());
    QTest::keyClicks(d.txtPass, QStringLiteral("secret"));
    EXPECT_TRUE(d.chkSavePassword->isEnabled());
    d.chkSavePassword->setChecked(true);
    d.cmdAdd->click();
    EXPECT_TRUE(dialogs.messages().empty()) << dialogs.messageTexts().join('|').toStdString();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(temp.get("nbISP"), "1");
    EXPECT_EQ(temp.get("ISP0"), "Home") << "the \"No ISP\" entry is not an account";
    EXPECT_EQ(temp.get("ISP"), "Home");
    EXPECT_EQ(section("Home", "POPAddress"), "pop.example.com");
    EXPECT_EQ(section("Home", "SMTPAddress"), "smtp.example.com:2525");
    EXPECT_EQ(section("Home", "EmailUsername"), "alice");
    EXPECT_EQ(section("Home", "SMTPDomain"), "example.com");
    EXPECT_EQ(section("Home", "EmailPass"), "c2VjcmV0");
    EXPECT_EQ(section("Home", "EmailAuth"), "2");
    EXPECT_EQ(section("Home", "EmailFromName"), "alice.b");
    EXPECT_EQ(section("Home", "EmailFromDomain"), "example.org");
    EXPECT_EQ(w.Account.Isp, "Home");
    EXPECT_EQ(w.Account.EmailPass, "secret");
    EXPECT_EQ(w.Account.EmailAuth, 2);
    EXPECT_NE(temp.get("esTop"), "") << "the closing routine stores the position";
    EXPECT_NE(temp.get("esLeft"), "");
}

TEST_F(EmailSetupTest, OkOnANameNotInTheListAsksFirst) {
    for (const MsgAnswer reply : {MsgAnswer::Yes, MsgAnswer::No}) {
        const bool yes = reply == MsgAnswer::Yes;
        SCOPED_TRACE(yes ? "Yes" : "No");
        TempSettings own;
        ScriptedDialogs scripted;
        storeList(own, {"Work"}, "Work");
        storeAccount(own, "Work", AccountValues{});
        scripted.answer(reply);
        frmPOP w;
        frmEmailSetup d(w);
        AccountValues v;
        v.pop = "pop.home.net";
        fill(d, QStringLiteral("Home"), v, QStringLiteral("pw"));
        d.cmdOK->click();
        ASSERT_EQ(scripted.messages().size(), 1u);
        EXPECT_EQ(scripted.messages()[0].text,
                  QStringLiteral("This is a new ISP. Do you want to add it?"));
        EXPECT_EQ(scripted.messages()[0].buttons, MsgButtons::YesNo);
        EXPECT_EQ(scripted.messages()[0].icon, platform::MsgIcon::None);
        EXPECT_EQ(own.store().GetSetting("Home", "POPAddress"), yes ? "pop.home.net" : "");
        EXPECT_EQ(own.get("nbISP"), yes ? "2" : "1");
        EXPECT_EQ(d.result(), yes ? QDialog::Accepted : 0);
        // The account that was there is untouched either way.
        EXPECT_EQ(own.store().GetSetting("Work", "POPAddress"), "pop.example.com");
    }
}

TEST_F(EmailSetupTest, OkOnAnExistingAccountRewritesItAndCloses) {
    storeList(temp, {"Work", "Home"}, "Home");
    storeAccount(temp, "Work", AccountValues{});
    AccountValues home;
    home.pop = "pop.home.net";
    home.pass = "b2xk"; // "old"
    storeAccount(temp, "Home", home);
    frmPOP w;
    frmEmailSetup d(w);
    EXPECT_EQ(d.cmbISP->currentText(), QStringLiteral("Home"));
    EXPECT_EQ(d.txtPOP->text(), QStringLiteral("pop.home.net"));
    EXPECT_EQ(d.txtPass->text(), QStringLiteral("old"));
    EXPECT_FALSE(d.chkRemovePassword->isHidden());
    EXPECT_FALSE(d.chkSavePassword->isEnabled());
    d.txtSMTP->setText(QStringLiteral("  smtp.home.net  "));
    w.Account.GetPassword = true;
    d.cmdOK->click();
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(temp.store().GetSetting("Home", "SMTPAddress"), "smtp.home.net");
    EXPECT_EQ(temp.store().GetSetting("Home", "EmailPass"), "b2xk") << "not saved, not removed";
    EXPECT_EQ(temp.store().GetSetting("Work", "SMTPAddress"), "smtp.example.com:2525");
    EXPECT_FALSE(w.Account.GetPassword);
    EXPECT_EQ(w.Account.EmailPass, "old");
}

TEST_F(EmailSetupTest, SaveAndUnsavePassword) {
    const struct {
        const char* action;
        const char* stored;
        bool removeShown;
    } cases[] = {
        {"keep", "b2xk", false}, // OK without either box: the old one stays
        {"save", "bmV3", true},  // "new"
        {"unsave", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action);
        TempSettings own;
        ScriptedDialogs scripted;
        storeList(own, {"Home"}, "Home");
        AccountValues v;
        v.pass = "b2xk";
        storeAccount(own, "Home", v);
        frmPOP w;
        frmEmailSetup d(w);
        const std::string action = c.action;
        if (action == "save") {
            d.txtPass->clear();
            QTest::keyClicks(d.txtPass, QStringLiteral("new"));
            d.chkSavePassword->setChecked(true);
        } else if (action == "unsave") {
            d.chkSavePassword->setEnabled(true);
            d.chkSavePassword->setChecked(true);
            d.chkRemovePassword->setChecked(true);
            EXPECT_FALSE(d.chkSavePassword->isChecked()) << "the two boxes exclude each other";
        }
        d.CopyFieldsToAccount(); // as OK does before it saves
        d.SaveSettings();
        EXPECT_EQ(own.store().GetSetting("Home", "EmailPass"), c.stored);
        EXPECT_FALSE(d.chkSavePassword->isEnabled());
        EXPECT_FALSE(d.chkSavePassword->isChecked());
        if (action == "keep") {
            EXPECT_TRUE(d.txtPass->text().isEmpty());
            EXPECT_TRUE(d.chkRemovePassword->isHidden());
        } else if (action == "save") {
            EXPECT_FALSE(d.chkRemovePassword->isHidden());
        }
        EXPECT_TRUE(scripted.messages().empty());
    }
}

TEST_F(EmailSetupTest, OpenedForAMissingPasswordStartsInThePasswordField) {
    storeList(temp, {"Home"}, "Home");
    storeAccount(temp, "Home", AccountValues{});
    frmPOP w;
    w.Account.GetPassword = true;
    frmEmailSetup d(w);
    EXPECT_FALSE(w.Account.GetPassword);
    EXPECT_EQ(d.focusWidget(), d.txtPass);
    EXPECT_EQ(d.txtPass->nextInFocusChain(), d.txtPOP);
}

TEST_F(EmailSetupTest, ActiveAccountNotInTheListOpensOnTheFirst) {
    storeList(temp, {"Work", "Home"}, "Gone");
    storeAccount(temp, "Work", AccountValues{});
    frmPOP w;
    frmEmailSetup d(w);
    EXPECT_EQ(d.cmbISP->currentText(), QStringLiteral("Work"));
    EXPECT_TRUE(d.txtPOP->text().isEmpty());
    EXPECT_TRUE(d.Timer1->isActive());
    d.Timer1_Timer();
    EXPECT_EQ(temp.get("ISP"), "Work");
    EXPECT_EQ(d.txtPOP->text(), QStringLiteral("pop.example.com"));
    EXPECT_EQ(d.CurrentIsp, QStringLiteral("Work"));
    EXPECT_EQ(temp.get("nbISP"), "2");
}

TEST_F(EmailSetupTest, StoredAuthenticationIndex) {
    const struct {
        const char* stored;
        int index;
    } cases[] = {{"0", 0}, {"3", 3}, {"2.5", 2}, {"7", 0}, {"-1", -1}, {"-2", 0}, {"", 0}};
    for (const auto& c : cases) {
        TempSettings own;
        storeList(own, {"Home"}, "Home");
        AccountValues v;
        v.auth = c.stored;
        storeAccount(own, "Home", v);
        frmPOP w;
        frmEmailSetup d(w);
        EXPECT_EQ(d.cmbAuth->currentIndex(), c.index) << c.stored;
    }
}

TEST_F(EmailSetupTest, DeleteOfAnAccountNeverSaved) {
    storeList(temp, {"Work"}, "Work");
    storeAccount(temp, "Work", AccountValues{});
    const QByteArray before = temp.readRaw();
    frmPOP w;
    frmEmailSetup d(w);
    d.cmbISP->setEditText(QStringLiteral("New one"));
    d.txtPOP->setText(QStringLiteral("typed"));
    dialogs.answer(MsgAnswer::Ok);
    d.cmdDelete->click();
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{QStringLiteral("Cannot remove New one from registry")});
    EXPECT_TRUE(d.txtPOP->text().isEmpty());
    EXPECT_EQ(temp.readRaw(), before);
}

TEST_F(EmailSetupTest, DeleteRemovesTheSectionAndRewritesTheList) {
    storeList(temp, {"A", "B", "C"}, "B");
    for (const char* name : {"A", "B", "C"}) {
        AccountValues v;
        v.pop = std::string("pop.") + name;
        storeAccount(temp, name, v);
    }
    frmPOP w;
    frmEmailSetup d(w);
    ASSERT_EQ(d.cmbISP->currentText(), QStringLiteral("B"));
    d.cmdDelete->click();
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_FALSE(temp.store().HasSection("B"));
    EXPECT_EQ(comboEntries(d.cmbISP), (QStringList{QStringLiteral("A"), QStringLiteral("C")}));
    EXPECT_EQ(temp.get("nbISP"), "2");
    EXPECT_EQ(temp.get("ISP0"), "A");
    EXPECT_EQ(temp.get("ISP1"), "C");
    EXPECT_EQ(temp.get("ISP2"), "C") << "a slot past the count is left as it was";
    EXPECT_EQ(temp.get("ISP"), "A");
    EXPECT_EQ(d.txtPOP->text(), QStringLiteral("pop.A"));
    // The list was written by walking it: its last entry is selected, and once
    // the timer fires that account is loaded and made active.
    EXPECT_EQ(d.cmbISP->currentText(), QStringLiteral("C"));
    d.Timer1_Timer();
    EXPECT_EQ(temp.get("ISP"), "C");
    EXPECT_EQ(d.txtPOP->text(), QStringLiteral("pop.C"));
}

TEST_F(EmailSetupTest, DeletingTheLastAccountLeavesNoActiveAccount) {
    storeList(temp, {"Only"}, "Only");
    storeAccount(temp, "Only", AccountValues{});
    frmPOP w;
    frmEmailSetup d(w);
    d.cmdDelete->click();
    EXPECT_EQ(temp.get("nbISP"), "0");
    EXPECT_EQ(temp.get("ISP"), "Only") << "the stale slot is not read back as the first account";
    EXPECT_TRUE(d.txtPOP->text().isEmpty());
    EXPECT_FALSE(temp.store().HasSection("Only"));
}

TEST_F(EmailSetupTest, AddOnAnAccountThatIsNotLastSavesThatAccount) {
    storeList(temp, {"A", "B", "C"}, "A");
    for (const char* name : {"A", "B", "C"}) {
        AccountValues v;
        v.pop = std::string("pop.") + name;
        storeAccount(temp, name, v);
    }
    frmPOP w;
    frmEmailSetup d(w);
    ASSERT_EQ(d.cmbISP->currentText(), QStringLiteral("A"));
    d.txtPOP->setText(QStringLiteral("pop.A.changed"));
    d.cmdAdd->click();
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_EQ(temp.store().GetSetting("A", "POPAddress"), "pop.A.changed");
    EXPECT_EQ(temp.store().GetSetting("C", "POPAddress"), "pop.C");
    EXPECT_EQ(temp.get("ISP"), "A");
    EXPECT_EQ(temp.get("nbISP"), "3");
}

TEST_F(EmailSetupTest, TypingANameDoesNotFillTheListWithItsPrefixes) {
    storeList(temp, {"Work"}, "Work");
    storeAccount(temp, "Work", AccountValues{});
    frmPOP w;
    frmEmailSetup d(w);
    d.Timer1_Timer();
    for (const char* typed : {"M", "My", "MyI", "MyISP"}) {
        d.cmbISP->setEditText(QString::fromLatin1(typed));
        EXPECT_TRUE(d.Timer1->isActive());
        d.Timer1_Timer();
        EXPECT_EQ(temp.get("ISP"), typed) << "the typed name becomes the active account";
    }
    EXPECT_EQ(temp.get("nbISP"), "1");
    EXPECT_TRUE(d.txtPOP->text().isEmpty()) << "a name not in the store loads empty fields";
    // Leaving the field enters the finished name into the stored list.
    d.cmbISP_LostFocus();
    EXPECT_EQ(temp.get("nbISP"), "2");
    EXPECT_EQ(temp.get("ISP1"), "MyISP");
    d.cmbISP_LostFocus();
    EXPECT_EQ(temp.get("nbISP"), "2") << "only once";
}

TEST_F(EmailSetupTest, StaleSlotsAndEmptySlotsAreSkipped) {
    temp.setSection("Settings", {{"nbISP", "3"},
                                 {"ISP0", "A"},
                                 {"ISP1", ""},
                                 {"ISP2", "C"},
                                 {"ISP3", "Stale"},
                                 {"ISP", "C"}});
    storeAccount(temp, "C", AccountValues{});
    frmPOP w;
    frmEmailSetup d(w);
    EXPECT_EQ(comboEntries(d.cmbISP), (QStringList{QStringLiteral("A"), QStringLiteral("C")}));
    EXPECT_EQ(d.cmbISP->currentText(), QStringLiteral("C"));
    EXPECT_EQ(d.txtPOP->text(), QStringLiteral("pop.example.com"));
}

TEST_F(EmailSetupTest, AccountNamesWithOddCharactersRoundTrip) {
    const char* names[] = {"a/b",       "a\\b", "[x]", "a=b",     "a;b", "#x",
                           "two words", "%2F",  "50%", "General", "a,b", "caf\xe9"};
    int n = 0;
    for (const char* raw : names) {
        const QString name = QString::fromLatin1(raw);
        const std::string pop = "pop" + std::to_string(++n) + ".example.com";
        SCOPED_TRACE(raw);
        TempSettings own;
        ScriptedDialogs scripted;
        {
            frmPOP w;
            frmEmailSetup d(w);
            AccountValues v;
            v.pop = pop;
            fill(d, name, v, QString());
            d.cmdAdd->click();
            EXPECT_TRUE(scripted.messages().empty())
                << scripted.messageTexts().join('|').toStdString();
        }
        own.reopen();
        frmPOP w;
        EXPECT_EQ(w.Account.Isp, raw);
        EXPECT_EQ(w.Account.POPAddress, pop);
        frmEmailSetup d(w);
        EXPECT_EQ(d.cmbISP->currentText(), name);
        EXPECT_EQ(d.txtPOP->text(), QString::fromStdString(pop));
        d.cmdDelete->click();
        EXPECT_FALSE(own.store().HasSection(raw));
        EXPECT_TRUE(scripted.messages().empty());
    }
}

TEST_F(EmailSetupTest, TheStoresOwnSectionIsNoAccount) {
    storeList(temp, {"Work"}, "Work");
    storeAccount(temp, "Work", AccountValues{});
    frmPOP w;
    frmEmailSetup d(w);
    fill(d, QStringLiteral("Settings"), AccountValues{}, QString());
    dialogs.answer(MsgAnswer::Ok).answer(MsgAnswer::Ok);
    d.cmdAdd->click();
    d.cmdDelete->click();
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_TRUE(dialogs.messages()[0].text.contains(QStringLiteral("\"Settings\"")));
    EXPECT_EQ(dialogs.messages()[1].text, QStringLiteral("Cannot remove Settings from registry"));
    EXPECT_EQ(temp.get("nbISP"), "1");
    EXPECT_EQ(temp.get("ISP0"), "Work");
    EXPECT_EQ(temp.get("POPAddress"), "");
}

TEST_F(EmailSetupTest, CancelDiscardsEditsAndResetReloads) {
    storeList(temp, {"Home"}, "Home");
    storeAccount(temp, "Home", AccountValues{});
    frmPOP w;
    {
        frmEmailSetup d(w);
        d.txtPOP->setText(QStringLiteral("edited"));
        d.cmdReset->click();
        EXPECT_EQ(d.txtPOP->text(), QStringLiteral("pop.example.com"));
        d.txtPOP->setText(QStringLiteral("edited"));
        d.cmdCancel->click();
        EXPECT_EQ(d.result(), QDialog::Rejected);
        EXPECT_EQ(d.txtPOP->text(), QStringLiteral("pop.example.com"));
    }
    EXPECT_EQ(temp.store().GetSetting("Home", "POPAddress"), "pop.example.com");
    EXPECT_NE(temp.get("esTop"), "");
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(EmailSetupTest, SaveWithoutAName) {
    frmPOP w;
    frmEmailSetup d(w);
    dialogs.answer(MsgAnswer::Ok);
    d.SaveSettings();
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{QStringLiteral("No valid ISP account defined, settings not saved.\r\n"
                                         "Enter an ISP account name and tr again")});
}

TEST_F(EmailSetupTest, TheTimerAndTheFocusTakeUpTheName) {
    storeList(temp, {"Work", "Home"}, "Gone");
    storeAccount(temp, "Work", AccountValues{});
    frmPOP w;
    frmEmailSetup d(w);
    d.show();
    QApplication::setActiveWindow(&d);
    // 3 ms after the selection the first account becomes the active one, by itself.
    EXPECT_TRUE(QTest::qWaitFor([&] { return temp.get("ISP") == "Work"; }, 2000));
    EXPECT_EQ(d.txtPOP->text(), QStringLiteral("pop.example.com"));

    d.cmbISP->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.cmbISP->hasFocus(); }, 2000));
    d.cmbISP->lineEdit()->selectAll();
    QTest::keyClicks(d.cmbISP->lineEdit(), QStringLiteral("Third"));
    EXPECT_EQ(temp.get("nbISP"), "2");
    d.txtPOP->setFocus(); // the focus leaves the name
    EXPECT_TRUE(QTest::qWaitFor([&] { return temp.get("nbISP") == "3"; }, 2000));
    EXPECT_EQ(temp.get("ISP2"), "Third");
    EXPECT_EQ(temp.get("ISP"), "Third");
    d.reject();
    EXPECT_TRUE(dialogs.messages().empty());
}
