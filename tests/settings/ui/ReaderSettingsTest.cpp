#include "settings/ui/ReaderSettings.h"
#include "platform/ClickableLabel.h"
#include "reader/ui/frmPOP.h"
#include "support/ScriptedDialogs.h"
#include "support/TempSettings.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScreen>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

// One pixel, in twips, at the test screen's resolution: positions go through pixels.
double pixelTwips(const frmPOP& w) {
    return w.twips().fromPixels(1);
}

struct OptionState {
    bool confirmDelete, keepAlive, showHTML, noPictures, clearImg, filterSpam, fixedWidth;
};

OptionState options(const frmPOP& w) {
    return {w.mnConfirmDelete->isChecked(),      w.mnKeepAlive->isChecked(),
            w.mnShowHTML->isChecked(),           w.mnNoPictures->isChecked(),
            w.mnClearEmailInIMGTag->isChecked(), w.mnFilterSpam->isChecked(),
            w.mnFixedWidth->isChecked()};
}

void expectOptions(const frmPOP& w, const OptionState& e) {
    const OptionState a = options(w);
    EXPECT_EQ(a.confirmDelete, e.confirmDelete) << "Confirm Delete";
    EXPECT_EQ(a.keepAlive, e.keepAlive) << "Keep Alive";
    EXPECT_EQ(a.showHTML, e.showHTML) << "Show HTML Msg in Browser";
    EXPECT_EQ(a.noPictures, e.noPictures) << "No Picture in HTML";
    EXPECT_EQ(a.clearImg, e.clearImg) << "Clear Suspicious IMG tags";
    EXPECT_EQ(a.filterSpam, e.filterSpam) << "Filter spam";
    EXPECT_EQ(a.fixedWidth, e.fixedWidth) << "Fixed Width Font";
}

class StartUpTest : public ::testing::Test {
protected:
    TempSettings temp;
    ScriptedDialogs dialogs;
};

} // namespace

TEST_F(StartUpTest, EmptyStoreOpensWithTheDesignedDefaults) {
    frmPOP w;
    const QRectF g = w.windowTwips();
    const double px = pixelTwips(w);
    EXPECT_NEAR(g.top(), 100, px);
    EXPECT_NEAR(g.left(), 200, px);
    EXPECT_NEAR(g.height(), 6000, px);
    EXPECT_NEAR(g.width(), 3000, px);
    EXPECT_EQ(w.Account.Isp, "");
    EXPECT_EQ(w.Account.POPAddress, "");
    EXPECT_EQ(w.Account.EmailPass, "");
    EXPECT_EQ(w.Account.EmailAuth, 0);
    expectOptions(w, {false, true, true, false, true, false, false});
    EXPECT_EQ(w.txtMsg->font().pointSizeF(), 8);
    EXPECT_EQ(w.lstHeaders->font().pointSizeF(), 8);
    EXPECT_EQ(w.lblStatus->text(), QStringLiteral("Ready"));
    EXPECT_EQ(w.lblMsg->text(), QString());
    EXPECT_EQ(w.Session.KeepAliveCountdown, 60);
    EXPECT_EQ(w.Listing.VisibleRows, 8); // 1740 twips of list
    EXPECT_FALSE(w.Loading);
    EXPECT_TRUE(w.mnSelectISP[0]->isVisible());
    EXPECT_EQ(w.mnSelectISP[0]->text(), QString());
    for (std::size_t i = 1; i < 5; ++i) {
        EXPECT_FALSE(w.mnSelectISP[i]->isVisible());
    }
    EXPECT_EQ(w.settings().OsDescription(), QString());
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(StartUpTest, StoredFlagsCountOnlyWhenExactlyTrueOrFalse) {
    const struct {
        const char* stored;
        OptionState expected;
    } cases[] = {
        // every option stored as this text
        {"True", {true, true, true, true, true, true, true}},
        {"False", {false, false, false, false, false, false, false}},
        {"true", {false, true, true, false, true, false, false}},
        {"FALSE", {false, true, true, false, true, false, false}},
        {"1", {false, true, true, false, true, false, false}},
        {"", {false, true, true, false, true, false, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        TempSettings own;
        own.setSection("Settings", {{"ConfirmDelete", c.stored},
                                    {"KeepAlive", c.stored},
                                    {"ShowHTML", c.stored},
                                    {"NoPictures", c.stored},
                                    {"ClearEmailInIMGTag", c.stored},
                                    {"FilterSpam", c.stored},
                                    {"FixedWidth", c.stored}});
        frmPOP w;
        expectOptions(w, c.expected);
        EXPECT_EQ(w.txtMsg->font().family() == QStringLiteral("Courier New"),
                  c.expected.fixedWidth);
    }
}

TEST_F(StartUpTest, GeometryRules) {
    const struct {
        const char *top, *left, *height, *width;
        double eTop, eLeft, eHeight, eWidth;
    } cases[] = {
        {"1999", "1999", "5999.5", "2999", 100, 200, 6000, 3000},
        {"2000", "2000", "6000", "3000", 2000, 2000, 6000, 3000},
        {"3000", "4500", "7500", "6000", 3000, 4500, 7500, 6000},
        {"junk", "", "-7", "1e999", 100, 200, 6000, 3000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.top);
        TempSettings own;
        own.setSection(
            "Settings",
            {{"Top", c.top}, {"Left", c.left}, {"Height", c.height}, {"Width", c.width}});
        frmPOP w;
        const QRectF g = w.windowTwips();
        const double px = pixelTwips(w);
        EXPECT_NEAR(g.top(), c.eTop, px);
        EXPECT_NEAR(g.left(), c.eLeft, px);
        EXPECT_NEAR(g.height(), c.eHeight, px);
        EXPECT_NEAR(g.width(), c.eWidth, px);
    }
}

TEST_F(StartUpTest, PositionOffEveryScreenStillOpensAVisibleWindow) {
    for (const char* where : {"900000", "-900000"}) {
        TempSettings own;
        own.setSection("Settings",
                       {{"Top", where}, {"Left", where}, {"Height", "7000"}, {"Width", "900000"}});
        frmPOP w;
        const QRect frame(w.pos(), w.size());
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_TRUE(screen.contains(frame.topLeft())) << where;
        EXPECT_LE(frame.width(), screen.width()) << where;
    }
}

TEST_F(StartUpTest, FontSizeRule) {
    const struct {
        const char* stored;
        double expected;
    } cases[] = {{"6", 8}, {"6.5", 6.5}, {"23.9", 23.9}, {"24", 8}, {"big", 8}, {"12", 12}};
    for (const auto& c : cases) {
        TempSettings own;
        own.set("FontSize", c.stored);
        frmPOP w;
        EXPECT_DOUBLE_EQ(w.txtMsg->font().pointSizeF(), c.expected) << c.stored;
        EXPECT_DOUBLE_EQ(w.lstHeaders->font().pointSizeF(), c.expected) << c.stored;
    }
}

TEST_F(StartUpTest, ActiveAccountIsLoadedWithItsPasswordDecoded) {
    temp.set("ISP", "Home");
    temp.setSection("Home", {{"POPAddress", "pop.example.com:1110"},
                             {"SMTPAddress", "smtp.example.com"},
                             {"EmailUsername", "alice"},
                             {"SMTPDomain", "example.com"},
                             {"EmailPass", "  c2VjcmV0  "},
                             {"EmailFromName", "alice.b"},
                             {"EmailFromDomain", "example.org"}});
    frmPOP w;
    EXPECT_EQ(w.Account.Isp, "Home");
    EXPECT_EQ(w.Account.POPAddress, "pop.example.com:1110");
    EXPECT_EQ(w.Account.SMTPAddress, "smtp.example.com");
    EXPECT_EQ(w.Account.EmailUsername, "alice");
    EXPECT_EQ(w.Account.SMTPDomain, "example.com");
    EXPECT_EQ(w.Account.EmailPass, "secret");
    EXPECT_EQ(w.Account.EmailAuth, 0) << "no EmailAuth key";
    EXPECT_EQ(w.Account.EmailFromName, "alice.b");
    EXPECT_EQ(w.Account.EmailFromDomain, "example.org");
}

TEST_F(StartUpTest, RestartRestoresOptionsAndGeometry) {
    {
        frmPOP w;
        w.mnConfirmDelete->setChecked(true);
        w.mnKeepAlive->setChecked(false);
        w.mnShowHTML->setChecked(false);
        w.mnNoPictures->setChecked(true);
        w.mnClearEmailInIMGTag->setChecked(false);
        w.mnFilterSpam->setChecked(true);
        w.mnFixedWidth->setChecked(true);
        QFont f = w.txtMsg->font();
        f.setPointSizeF(10.5);
        w.txtMsg->setFont(f);
        w.setWindowTwips(QRectF(4500, 3000, 6000, 7500));
        w.close();
    }
    EXPECT_EQ(temp.get("ConfirmDelete"), "True");
    EXPECT_EQ(temp.get("KeepAlive"), "False");
    EXPECT_EQ(temp.get("FontSize"), "10.5");
    // The debug window was never opened: what it would have opened at.
    EXPECT_EQ(temp.get("deTop"), "100");
    EXPECT_EQ(temp.get("deLeft"), "200");
    EXPECT_EQ(temp.get("deHeight"), "4500");
    EXPECT_EQ(temp.get("deWidth"), "5500");

    temp.reopen();
    frmPOP again;
    expectOptions(again, {true, false, false, true, false, true, true});
    EXPECT_EQ(again.txtMsg->font().family(), QStringLiteral("Courier New"));
    EXPECT_DOUBLE_EQ(again.txtMsg->font().pointSizeF(), 10.5);
    const QRectF g = again.windowTwips();
    const double px = pixelTwips(again);
    EXPECT_NEAR(g.left(), 4500, px);
    EXPECT_NEAR(g.top(), 3000, px);
    EXPECT_NEAR(g.width(), 6000, px);
    EXPECT_NEAR(g.height(), 7500, px);
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(StartUpTest, ExitThroughTheFileMenuSavesTheSettings) {
    {
        frmPOP w;
        w.mnFilterSpam->setChecked(true);
        w.mnExit->trigger();
    }
    EXPECT_EQ(temp.get("FilterSpam"), "True");
}

TEST_F(StartUpTest, OldBuildsAreStoppedBeforeReadingAnything) {
    struct Restore {
        ~Restore() { ReaderSettings::overrideProgramVersion(""); }
    } restore;
    temp.set("ISP", "Home");
    temp.set("ConfirmDelete", "True");
    const QByteArray before = temp.readRaw();

    for (const char* version : {"0.0.0", "0.0.1"}) {
        ReaderSettings::overrideProgramVersion(version);
        dialogs.clear();
        dialogs.answer(platform::MsgAnswer::Ok);
        {
            frmPOP w;
            ASSERT_EQ(dialogs.messages().size(), 1u) << version;
            const auto& m = dialogs.messages()[0];
            EXPECT_TRUE(
                m.text.startsWith(QStringLiteral("You need to download the latest EXE from ")));
            EXPECT_TRUE(m.text.endsWith(
                QStringLiteral("\r\nand copy the file in the Corvane installation directory.")));
            EXPECT_EQ(m.icon, platform::MsgIcon::None);
            EXPECT_EQ(m.title, QStringLiteral("Corvane"));
            EXPECT_TRUE(w.settings().stopped());
            EXPECT_EQ(w.Account.Isp, "") << "nothing is read";
            EXPECT_FALSE(w.mnConfirmDelete->isChecked());
            w.close();
        }
        EXPECT_EQ(temp.readRaw(), before) << "nothing is written";
    }

    ReaderSettings::overrideProgramVersion("0.0.2");
    dialogs.clear();
    frmPOP w;
    EXPECT_FALSE(w.settings().stopped());
    EXPECT_EQ(w.Account.Isp, "Home");
    EXPECT_TRUE(w.mnConfirmDelete->isChecked());
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_EQ(ReaderSettings::AppVersion(), QStringLiteral("V0.0.2"));
    ReaderSettings::overrideProgramVersion("");
    EXPECT_EQ(ReaderSettings::AppVersion(), QStringLiteral("V0.1.50"));
}

TEST_F(StartUpTest, UnwritableStoreAtExitTellsOnceAndKeepsTheFile) {
    temp.setSection("Settings", {{"ISP", "Home"}, {"ConfirmDelete", "True"}, {"Top", "3000"}});
    temp.setSection("Home", {{"POPAddress", "pop.example.com"}, {"EmailPass", "c2VjcmV0"}});
    const QByteArray before = temp.readRaw();
    dialogs.allowUnscriptedOk();
    {
        frmPOP w;
        w.mnConfirmDelete->setChecked(false);
        // A full disk: files may not grow past a few bytes while the window closes.
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        auto* previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit full = saved;
        full.rlim_cur = 16;
        setrlimit(RLIMIT_FSIZE, &full);
        w.close();
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
    }
    EXPECT_EQ(temp.readRaw(), before);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages()[0].text.contains(QStringLiteral("could not save")));
}
