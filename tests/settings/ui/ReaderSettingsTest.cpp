#include "settings/ui/ReaderSettings.h"
#include "decoding/TestData.h"
#include "platform/AccountPasswords.h"
#include "platform/ClickableLabel.h"
#include "platform/Keyring.h"
#include "reader/ui/frmPOP.h"
#include "settings/AppVersion.h"
#include "settings/Security.h"
#include "settings/ui/AccountMenu.h"
#include "settings/ui/AccountText.h"
#include "settings/ui/frmEmailSetup.h"
#include "support/ScriptedDialogs.h"
#include "support/TempSettings.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <optional>
#include <utility>

using platform::MsgAnswer;

namespace {

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

// The option marks: Confirm Delete, Keep Alive, Show HTML Msg in Browser, No Picture in HTML,
// Clear Suspicious IMG tags, Filter spam, Fixed Width Font.
std::string options(const frmPOP& w) {
    std::string marks;
    for (const QAction* a : {w.mnConfirmDelete, w.mnKeepAlive, w.mnShowHTML, w.mnNoPictures,
                             w.mnClearEmailInIMGTag, w.mnFilterSpam, w.mnFixedWidth}) {
        marks += a->isChecked() ? 'x' : '-';
    }
    return marks + (w.txtMsg->font().family() == QStringLiteral("Courier New") ? " Courier" : "");
}

void expectGeometry(const frmPOP& w, const QRectF& twips) {
    const QRectF g = w.windowTwips(), d(g.topLeft() - twips.topLeft(), g.size() - twips.size());
    EXPECT_LE(
        std::max({std::abs(d.x()), std::abs(d.y()), std::abs(d.width()), std::abs(d.height())}),
        w.twips().fromPixels(1)) // positions go through pixels
        << g.x() << " " << g.y() << " " << g.width() << " " << g.height();
}

// The reader window's account menu as the window builds it: item 0 shown, empty.
struct MenuWindow {
    TempSettings temp;
    ScriptedDialogs dialogs;
    QMainWindow window;
    AccountMenu::Controls c{&window, window.menuBar()->addMenu(QStringLiteral("ISP Setup"))};
    AccountRecord account;
    bool connected = false;
    int disconnects = 0;
    std::unique_ptr<AccountMenu> menu;

    MenuWindow(const std::vector<std::string>& list, const std::string& active) {
        temp.setAccounts(list, active);
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

    // The visible items' captions, "*" marking the checked one.
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

// A keyring that answers only when told to, as one that first asks the user to create a
// keyring answers long after the reader stopped waiting for it.
class LateKeyring final : public platform::Keyring::Backend {
public:
    using Keyring = platform::Keyring;
    LateKeyring() {
        Keyring::installBackend(this);
        platform::accountPasswords().setKeyringTimeout(20);
    }
    ~LateKeyring() override {
        Keyring::installBackend(nullptr);
        platform::accountPasswords().setKeyringTimeout(10000);
    }
    void start(Keyring::Operation, const QString&, const QString&, const std::string&,
               std::function<void(Keyring::Answer)> done) override {
        if (onStart) {
            onStart();
        }
        now ? done(*now) : pending.push_back(std::move(done));
    }
    void answerAll(Keyring::Status status) {
        for (auto& done : std::exchange(pending, {})) {
            done({status, "late secret", QStringLiteral("late")});
        }
    }
    std::function<void()> onStart;
    std::optional<Keyring::Answer> now; // answered at once, else only when told to
    std::vector<std::function<void(Keyring::Answer)>> pending;
};

struct Dialog {
    TempSettings temp;
    ScriptedDialogs dialogs;
    AccountRecord account;
    std::unique_ptr<frmEmailSetup> d;

    Dialog(const std::vector<std::string>& list, const std::string& active, bool ask = false) {
        temp.setAccounts(list, active);
        account.GetPassword = ask;
        d = std::make_unique<frmEmailSetup>(account, nullptr);
    }
    std::string get(const std::string& section, const std::string& key) {
        return temp.store().GetSetting(section, key);
    }
    QStringList entries() const {
        QStringList list;
        for (int i = 0; i < d->cmbISP->count(); ++i) {
            list << d->cmbISP->itemText(i);
        }
        return list;
    }
    // Types an account, every field filled ("POP.пример", ...) but the one named empty.
    void fill(const char* name, const QString& pass, const char* empty = "") {
        d->cmbISP->setEditText(QString::fromUtf8(name));
        for (QLineEdit* e : {d->txtPOP, d->txtSMTP, d->txtUsername, d->txtDomain, d->txtPass}) {
            const bool cleared = e->objectName() == QLatin1String(empty);
            e->setText(cleared ? QString() : e->objectName().mid(3) + QStringLiteral(".пример"));
        }
        if (!d->txtPass->text().isEmpty()) {
            d->txtPass->setText(pass);
        }
        d->chkSavePassword->setChecked(true);
    }
};

} // namespace

TEST(StartUp, EmptyStoreOpensAsDesignedAndARestartRestoresWhatWasSaved) {
    TempSettings temp;
    ScriptedDialogs dialogs;
    {
        frmPOP w;
        EXPECT_EQ(options(w), "-xx-x--");
        // Designed 3000 by 6000, enlarged once to show the whole button row and message box.
        const double row = w.placement(w.cmdCompose).right() + 150;
        expectGeometry(
            w, QRectF(200, 100, w.windowTwips().width(), w.placement(w.txtMsg).top() + 3000));
        EXPECT_GE(w.windowTwips().width(), row);
        EXPECT_LT(w.windowTwips().width(), row + w.twips().fromPixels(1));
        EXPECT_EQ(w.lstHeaders->font().pointSizeF(), 8);
        EXPECT_EQ(w.lblStatus->text(), QStringLiteral("Ready"));
        for (QAction* a : {w.mnConfirmDelete, w.mnKeepAlive, w.mnShowHTML, w.mnNoPictures,
                           w.mnClearEmailInIMGTag, w.mnFilterSpam, w.mnFixedWidth}) {
            a->toggle();
        }
        QFont f = w.txtMsg->font();
        f.setPointSizeF(10.5);
        w.txtMsg->setFont(f);
        w.setWindowTwips(QRectF(4500, 3000, 9000, 7500));
        w.mnExit->trigger();
    }
    // The debug window was never opened: what it would have opened at.
    EXPECT_EQ(temp.get("deTop") + "," + temp.get("deLeft") + "," + temp.get("deHeight") + "," +
                  temp.get("deWidth"),
              "100,200,4500,5500");
    temp.reopen();
    frmPOP again;
    EXPECT_EQ(options(again), "x--x-xx Courier");
    EXPECT_EQ(again.lstHeaders->font().pointSizeF(), 10.5);
    expectGeometry(again, QRectF(4500, 3000, 9000, 7500));
}

// Every field of the loaded record, so that a key read for another field shows.
std::string record(const AccountRecord& a) {
    return a.Isp + "|" + a.POPAddress + "|" + a.SMTPAddress + "|" + a.EmailUsername + "|" +
           a.EmailPass + "|" + a.SMTPDomain + "|" + std::to_string(a.EmailAuth) + "|" +
           a.EmailFromName + "|" + a.EmailFromDomain + "|" +
           std::string(settings::SecurityText(a.POPSecurity)) + "|" +
           std::string(settings::SecurityText(a.SMTPSecurity)) + (a.GetPassword ? "!" : "") + "|" +
           std::string(settings::PopAuthText(a.POPAuth)) + "|" +
           std::string(settings::OAuthProviderText(a.OAuth.Provider)) + "|" + a.OAuth.ClientId +
           "|" + a.OAuth.TokenUrl + "|" + a.OAuth.Scope;
}

// The active account at start-up, and one chosen from the account menu, each key into its
// own field; the two servers' security differs in each row. A preset provider's endpoints that
// are not stored come from the preset.
TEST(StartUp, ActiveAccountIsLoadedAsTyped) {
    const std::string pass = "0L/QsNGA0L7Qu9GMLXphxbzDs8WCxIc="; // "пароль-zażółć"
    const char* fields = "|pop.мир:1110|smtp.мир:2525|пользователь|пароль-zażółć|smtp.example|3|"
                         "анна|мир.example";
    const std::pair<std::string, std::string> cases[] = {
        {"мир", std::string("мир") + fields +
                    "|STARTTLS|None|OAuth2|Google|id|https://oauth2.googleapis.com/token|"
                    "https://mail.google.com/"},
        {"дом", std::string("дом") + fields + "|None|TLS|OAuth2|Custom|id|https://t.мир/|mail"},
        {"Settings", "||||||0|||None|None|Password|Custom|||"}}; // no account
    for (const auto& [isp, loaded] : cases) {
        const bool starttls = isp == "мир";
        const std::map<std::string, std::string> section = {
            {"POPAddress", "pop.мир:1110"},
            {"SMTPAddress", "smtp.мир:2525"},
            {"EmailUsername", "пользователь"},
            {"EmailPass", pass},
            {"SMTPDomain", "smtp.example"},
            {"EmailAuth", "3"},
            {"EmailFromName", "анна"},
            {"EmailFromDomain", "мир.example"},
            {"POPSecurity", starttls ? "STARTTLS" : "None"},
            {"SMTPSecurity", starttls ? "None" : "TLS"},
            {"POPAuth", "OAuth2"},
            {"OAuthProvider", starttls ? "Google" : "Custom"},
            {"OAuthClientId", "id"},
            {starttls ? "OAuthAuthorizeUrl" : "OAuthTokenUrl", "https://t.мир/"},
            {"OAuthScope", starttls ? "" : "mail"}};
        {
            TempSettings temp;
            temp.setSection("Settings", {{"ISP", isp}, {"EmailPass", pass}});
            temp.setSection(isp, section);
            frmPOP w;
            EXPECT_EQ(record(w.Account), loaded);
        }
        if (isp != "Settings") {
            MenuWindow m({"Work", isp}, "Work");
            m.temp.setSection(isp, section);
            m.c.mnSelectISP[1]->trigger();
            EXPECT_EQ(record(m.account), loaded) << "from the account menu";
        }
    }
}

TEST(StartUp, OldBuildsAreStoppedBeforeReadingAnything) {
    TempSettings temp;
    temp.setSection("Settings", {{"ISP", "Home"}, {"ConfirmDelete", "True"}});
    const QByteArray before = temp.readRaw();
    ReaderSettings::overrideProgramVersion("0.0.1");
    ScriptedDialogs dialogs;
    dialogs.answer(platform::MsgAnswer::Ok);
    {
        frmPOP w;
        EXPECT_TRUE(w.settings().stopped());
        EXPECT_EQ(w.Account.Isp + (w.mnConfirmDelete->isChecked() ? "!" : ""), "")
            << "nothing is read";
        w.close();
    }
    ReaderSettings::overrideProgramVersion("");
    EXPECT_EQ(temp.readRaw(), before) << "nothing is written";
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{QString::fromStdString(settings::VersionGateMessage())});
}

TEST(AccountMenu, ListsTheStoredAccountsAndChecksTheActiveOne) {
    for (const auto& r : testdata::Table("settings/account-menu.table")) {
        std::vector<std::string> list;
        for (const QString& name : text(r[0]).split(u'|')) {
            list.push_back(name.toStdString());
        }
        MenuWindow m(r[0].empty() ? std::vector<std::string>{} : list, r[1]);
        EXPECT_EQ(m.items(), text(r[2]).split(u'|')) << r[1];
    }
    const std::string longName(300, 'x');
    MenuWindow m({longName}, "");
    EXPECT_LT(m.c.mnSelectISP[0]->text().size(), 60) << "long names are cut";
    EXPECT_EQ(m.c.mnSelectISP[0]->toolTip(), QString::fromStdString(longName));
    m.c.mnSelectISP[0]->trigger();
    EXPECT_EQ(m.account.Isp, longName);
    QTimer::singleShot(0, [&] {
        m.temp.setAccounts({"Home"}, ""); // as the setup dialog would
        QApplication::activeModalWidget()->close();
    });
    m.c.mnSetup->trigger(); // Edit: the menu is built again when the dialog closes
    EXPECT_EQ(m.items(), QStringList{"Home"});
}

TEST(AccountMenu, ChoosingAnAccountLoadsItAndEndsTheSessionFirst) {
    MenuWindow m({"мир", "дом", "NoPop"}, "мир");
    m.account.SMTPAddress = "smtp.previous";
    m.c.mnSelectISP[1]->trigger();
    EXPECT_EQ(m.disconnects, 0) << "not connected";
    EXPECT_EQ(m.account.EmailUsername + "|" + m.account.EmailPass + "|" + m.account.SMTPAddress,
              "user of дом|old|");
    EXPECT_EQ(m.temp.get("ISP"), "дом");
    EXPECT_EQ(m.items(), (QStringList{"мир", "дом*", "NoPop"}));
    EXPECT_EQ(m.window.windowTitle(), QStringLiteral("Corvane - дом"));
    m.connected = true; // the session ends first, even while its QUIT hangs
    m.c.mnSelectISP[2]->trigger();
    EXPECT_EQ(m.disconnects, 1);
    // Without a POP server only the name and the server change.
    EXPECT_EQ(m.account.Isp + "|" + m.account.POPAddress + "|" + m.account.EmailUsername,
              "NoPop||user of дом");
    EXPECT_EQ(m.temp.get("ISP"), "дом");
}

TEST(EmailSetup, AddChecksTheFieldsInOrder) {
    for (const auto& c : testdata::Table("settings/setup-refusals.table")) {
        Dialog s({"Work"}, "Work");
        s.fill(c[0].c_str(), QStringLiteral("pw"), c[1].c_str());
        s.dialogs.answer(MsgAnswer::Ok);
        s.d->cmdAdd->click();
        EXPECT_EQ(s.dialogs.messageTexts(), QStringList{text(c[2])});
        EXPECT_FALSE(s.entries().contains(QStringLiteral("Settings"))) << "not even to the list";
        EXPECT_EQ(s.temp.get("nbISP"), "1") << "the store holds nothing new";
        EXPECT_FALSE(s.temp.store().HasSection("Home"));
        EXPECT_EQ(s.account.POPAddress, c[1] == "txtPOP" ? "" : "POP.пример");
    }
}

TEST(EmailSetup, AccountsAreStoredAsTyped) {
    Dialog s({}, "");
    EXPECT_EQ(s.entries().join(',') + s.d->cmbAuth->currentText(), "No ISPNone");
    for (const char* name : {"мир", "  дом  ", "a/b", "R&D 50%"}) {
        s.d = std::make_unique<frmEmailSetup>(s.account, nullptr);
        s.fill(name, QStringLiteral("пароль-zażółć"));
        s.d->cmdAdd->click();
        EXPECT_EQ(s.d->result(), QDialog::Accepted);
    }
    EXPECT_EQ(s.account.Isp + "|" + s.account.EmailPass, "R&D 50%|пароль-zażółć");
    s.temp.reopen();
    EXPECT_EQ(s.temp.get("ISP1") + "|" + s.get("дом", "EmailUsername"), "дом|Username.пример");
    s.d = std::make_unique<frmEmailSetup>(s.account, nullptr);
    EXPECT_EQ(s.entries(), (QStringList{"мир", "дом", "a/b", "R&D 50%"}));
    s.d->cmbISP->setCurrentIndex(0);
    s.d->Timer1_Timer();
    EXPECT_EQ(s.d->txtPass->text(), QStringLiteral("пароль-zażółć"));
    EXPECT_EQ(s.d->txtPOP->text(), QStringLiteral("POP.пример"));
    // The login choice: stored as chosen; an account stored without it shows "Password".
    s.d->cmbPOPAuth->setCurrentIndex(1);
    s.d->cmdOK->click();
    EXPECT_EQ(s.get("мир", "POPAuth") + "|" + s.get("дом", "POPAuth"), "SASL|Password");
    EXPECT_EQ(s.account.POPAuth, settings::PopAuth::Sasl);
    s.temp.setSection("Old", {{"POPAddress", "pop.old"}});
    s.d = std::make_unique<frmEmailSetup>(s.account, nullptr);
    s.d->cmbPOPAuth->setCurrentIndex(2);
    s.d->LoadAccount(QStringLiteral("Old"));
    EXPECT_EQ(s.d->cmbPOPAuth->currentText(), QStringLiteral("Password"));
}

TEST(EmailSetup, OkAsksForANewNameAndRewritesAKnownOne) {
    for (const MsgAnswer reply : {MsgAnswer::Yes, MsgAnswer::No}) {
        Dialog s({"Work"}, "Work");
        s.fill("Home", QStringLiteral("pw"));
        s.dialogs.answer(reply);
        s.d->cmdOK->click();
        EXPECT_EQ(s.dialogs.messageTexts(),
                  QStringList{"This is a new ISP. Do you want to add it?"});
        EXPECT_EQ(s.get("Home", "POPAddress"), reply == MsgAnswer::Yes ? "POP.пример" : "");
    }
    const std::pair<const char*, std::string> passwords[] = {
        {"keep", "b2xk"}, {"save", "bmV3"}, {"unsave", ""}};
    for (const auto& [action, stored] : passwords) {
        Dialog s({"Work", "Home"}, "Home", true);
        frmEmailSetup& d = *s.d;
        EXPECT_EQ(d.focusWidget(), d.txtPass) << "opened for a missing password";
        EXPECT_EQ(d.txtPass->text(), QStringLiteral("old"));
        EXPECT_FALSE(d.chkRemovePassword->isHidden());
        s.temp.setSection("Home",
                          {{"POPCertificate", "SHA256:AA"}, {"SMTPCertificate", "SHA256:BB"}});
        d.txtSMTP->setText(QStringLiteral("  smtp.home.net  "));
        d.txtPass->setText(QStringLiteral("new"));
        d.chkSavePassword->setChecked(action == std::string("save"));
        d.chkRemovePassword->setChecked(action == std::string("unsave"));
        d.cmdOK->click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
        EXPECT_EQ(s.get("Home", "SMTPAddress") + "|" + s.get("Home", "EmailPass"),
                  "smtp.home.net|" + stored);
        // The trust given to the old SMTP server goes with it; the POP server's stays.
        EXPECT_EQ(s.get("Home", "POPCertificate") + "|" + s.get("Home", "SMTPCertificate"),
                  "SHA256:AA|");
        EXPECT_EQ(s.account.EmailPass + (s.account.GetPassword ? "!" : ""), "new");
    }
}

// The account typed in the setup dialog is in the file before the keyring is asked. A keyring
// that does not take the password (it answers only after the time-out, while its box is
// open, or the user declined its request) leaves it in the file only if the user says so;
// without any keyring the file keeps it, with a note the first time.
TEST(EmailSetup, APasswordTheKeyringDoesNotTakeGoesToTheFileOnlyIfTheUserSaysSo) {
    using Status = platform::Keyring::Status;
    const QString late = QStringLiteral("did not answer in time"),
                  none = QStringLiteral("There is no keyring on this desktop, so");
    const struct {
        std::optional<platform::Keyring::Answer> now; // none: after the time-out
        MsgAnswer answer;
        const char* stored;
        QString says;
    } cases[] = {
        {{}, MsgAnswer::Yes, "cHc=", late},
        {{}, MsgAnswer::No, "", late},
        {{{Status::Refused, {}, "You declined."}}, MsgAnswer::No, "", "You declined."},
        {{{Status::Unavailable, {}, {}}}, MsgAnswer::Ok, "cHc=", none},
        {{{Status::Ok, {}, {}}}, MsgAnswer::Ok, "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says.toStdString());
        LateKeyring keyring;
        keyring.now = c.now;
        Dialog s({"Work"}, "Work");
        s.temp.setSection("Settings", {{"NoKeyringNoted", "False"}});
        std::string storedWhenAsked;
        keyring.onStart = [&] { storedWhenAsked = s.get("Home", "POPAddress"); };
        s.fill("Home", QStringLiteral("pw"));
        s.dialogs.answer(c.answer).whileOpen([&] { keyring.answerAll(Status::Ok); });
        s.d->cmdAdd->click();
        EXPECT_EQ(storedWhenAsked, "POP.пример");
        const QString said = s.dialogs.messageTexts().join(u'|');
        EXPECT_TRUE(c.says.isEmpty() ? said.isEmpty() : said.contains(c.says))
            << said.toStdString();
        s.temp.reopen();
        EXPECT_EQ(s.get("Home", "POPAddress") + "|" + s.get("Home", "EmailPass"),
                  std::string("POP.пример|") + c.stored);
        EXPECT_EQ(s.account.EmailPass, "pw");
        if (!c.now) {
            s.dialogs.answer(MsgAnswer::Ok);
            EXPECT_EQ(platform::accountPasswords().load("Other", "", nullptr), "");
            keyring.answerAll(Status::Ok); // after the read gave up
        }
    }
}

TEST(EmailSetup, TheTimerAndTheFocusLossTakeUpTheName) {
    Dialog s({"A", "", "Settings", "Stale"}, "Gone");
    s.temp.setSection("Settings", {{"nbISP", "3"}});
    s.temp.setSection("A", {{"EmailAuth", "7"}});
    s.d = std::make_unique<frmEmailSetup>(s.account, nullptr);
    EXPECT_EQ(s.entries(), QStringList{"A"}) << "empty, reserved and stale slots skipped";
    EXPECT_TRUE(s.d->txtPOP->text().isEmpty());
    QSignalSpy fired(s.d->Timer1, &QTimer::timeout);
    ASSERT_TRUE(fired.wait()); // 3 ms later the first account becomes the active one
    EXPECT_EQ(s.temp.get("ISP") + "|" + s.d->txtPOP->text().toStdString(), "A|pop.A");
    EXPECT_EQ(s.d->cmbAuth->currentText(), QStringLiteral("None")) << "EmailAuth 7";
    s.d->cmbISP->setEditText(QStringLiteral("MyISP"));
    s.d->Timer1_Timer();
    EXPECT_EQ(s.temp.get("ISP") + s.temp.get("nbISP"), "MyISP3") << "the name, not the list";
    s.d->cmbISP_LostFocus();
    s.d->cmbISP_LostFocus();
    EXPECT_EQ(s.temp.get("nbISP") + s.temp.get("ISP3"), "4MyISP");
}

TEST(EmailSetup, DeleteRewritesTheListOrSaysItCannot) {
    Dialog s({"A", "B", "C"}, "B");
    s.d->cmdDelete->click();
    EXPECT_FALSE(s.temp.store().HasSection("B"));
    EXPECT_EQ(s.entries(), (QStringList{"A", "C"}));
    EXPECT_EQ(s.temp.get("ISP2"), "C") << "a slot past the count stays";
    EXPECT_EQ(s.temp.get("ISP"), "A");
    s.d->Timer1_Timer(); // the list was written by walking it: its last entry is taken up
    EXPECT_EQ(s.temp.get("ISP"), "C");
    for (const char* name : {"New one", "Settings"}) {
        s.d->cmbISP->setEditText(QString::fromUtf8(name));
        s.dialogs.answer(MsgAnswer::Ok);
        s.d->cmdDelete->click();
        EXPECT_EQ(s.dialogs.messageTexts().last(),
                  QStringLiteral("Cannot remove %1 from registry").arg(QString::fromUtf8(name)));
    }
}

TEST(EmailSetup, ALongNameKeepsTheDesignedSize) {
    Dialog empty({"W"}, "W");
    const std::string longName(300, 'W');
    Dialog s({longName}, longName);
    for (QDialog* d : {static_cast<QDialog*>(empty.d.get()), static_cast<QDialog*>(s.d.get())}) {
        d->show();
        d->layout()->activate(); // the layout takes up the names now, not when events next run
    }
    EXPECT_EQ(s.d->size(), empty.d->size());
    const QString full = QString::fromStdString(longName);
    EXPECT_EQ(s.d->cmbISP->itemData(0, Qt::ToolTipRole).toString() + s.d->cmbISP->toolTip(),
              full + full);
}

TEST(EmailSetup, EachSecurityNamesItsPortAndAPortThatCannotWorkIsSaid) {
    Dialog s({}, "");
    frmEmailSetup& d = *s.d;
    EXPECT_EQ(d.cmbPOPSecurity->itemText(0) + ", " + d.cmbSMTPSecurity->itemText(1),
              "TLS (port 995), STARTTLS (port 587)");
    const struct {
        const char *pop, *smtp;
        int popChoice, smtpChoice; // -1: what a new account starts with
        QString hint;
    } cases[] = {
        {"pop.x:995", "smtp.x:465", -1, -1, ""},
        {"pop.x", "smtp.x:465", 0, 1,
         "POP server: the default port 110 speaks plain text first. Choose STARTTLS, or add :995 "
         "for TLS.\nSMTP server: port 465 expects TLS from the first byte. Choose TLS."},
        {"[::1]:995", "smtp.x:587", 2, 0,
         "POP server: port 995 expects TLS from the first byte. Choose TLS.\nSMTP server: port "
         "587 speaks plain text first. Choose STARTTLS, or port 465 for TLS."},
    };
    for (const auto& c : cases) {
        for (const auto& [field, typed, choice, index] :
             {std::tuple(d.txtPOP, c.pop, d.cmbPOPSecurity, c.popChoice),
              std::tuple(d.txtSMTP, c.smtp, d.cmbSMTPSecurity, c.smtpChoice)}) {
            field->clear();
            QTest::keyClicks(field, QString::fromLatin1(typed));
            if (index >= 0) {
                choice->setCurrentIndex(index);
                Q_EMIT choice->activated(index);
            }
        }
        EXPECT_EQ(d.lblPortHint->isVisibleTo(&d) ? d.lblPortHint->text() : "", c.hint) << c.pop;
    }
}

// Nothing set up yet: Get Mail leads to the setup, which says why, and leaving it is no error.
TEST(EmailSetup, GetMailWithoutAnAccountOpensTheSetupFirst) {
    TempSettings temp;
    ScriptedDialogs dialogs;
    frmPOP w;
    bool noted = false;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<frmEmailSetup*>(QApplication::activeModalWidget());
        noted = d && d->lblFirstAccount->isVisible();
        d->cmdCancel->click();
    });
    w.cmdConnect->click();
    EXPECT_TRUE(noted);
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_EQ(w.lblStatus->text() + "|" + accounttext::windowTitle(""), "Ready|Corvane");
    Dialog one({"W"}, "W");
    EXPECT_FALSE(one.d->lblFirstAccount->isVisibleTo(one.d.get()));
}
