#include "settings/ui/ReaderSettings.h"
#include "platform/ClickableLabel.h"
#include "reader/ui/frmPOP.h"
#include "support/ScriptedDialogs.h"
#include "support/TempSettings.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

namespace {

// Confirm Delete, Keep Alive, Show HTML, No Picture, Clear IMG tags, Filter spam, Fixed Width.
std::string options(const frmPOP& w) {
    std::string marks;
    for (const QAction* a : {w.mnConfirmDelete, w.mnKeepAlive, w.mnShowHTML, w.mnNoPictures,
                             w.mnClearEmailInIMGTag, w.mnFilterSpam, w.mnFixedWidth}) {
        marks += a->isChecked() ? 'x' : '-';
    }
    return marks;
}

std::map<std::string, std::string> allOptions(const std::string& value) {
    std::map<std::string, std::string> m;
    for (const char* key : {"ConfirmDelete", "KeepAlive", "ShowHTML", "NoPictures",
                            "ClearEmailInIMGTag", "FilterSpam", "FixedWidth"}) {
        m[key] = value;
    }
    return m;
}

void expectGeometry(const frmPOP& w, const QRectF& twips) {
    const QRectF g = w.windowTwips();
    const double px = w.twips().fromPixels(1); // positions go through pixels
    EXPECT_NEAR(g.top(), twips.top(), px);
    EXPECT_NEAR(g.left(), twips.left(), px);
    EXPECT_NEAR(g.height(), twips.height(), px);
    EXPECT_NEAR(g.width(), twips.width(), px);
}

} // namespace

TEST(StartUp, StoredOptionsGeometryAndFontSize) {
    using Map = std::map<std::string, std::string>;
    const struct {
        Map stored;
        std::string options;
        QRectF geometry; // left, top, width, height in twips
        double fontSize;
    } cases[] = {
        {{}, "-xx-x--", {200, 100, 3000, 6000}, 8}, // the designed defaults
        {allOptions("True"), "xxxxxxx", {200, 100, 3000, 6000}, 8},
        {allOptions("False"), "-------", {200, 100, 3000, 6000}, 8},
        {allOptions("true"), "-xx-x--", {200, 100, 3000, 6000}, 8},
        {{{"Top", "1999"},
          {"Left", "1999"},
          {"Height", "5999.5"},
          {"Width", "2999"},
          {"FontSize", "6"}},
         "-xx-x--",
         {200, 100, 3000, 6000},
         8},
        {{{"Top", "2000"},
          {"Left", "2000"},
          {"Height", "6000"},
          {"Width", "3000"},
          {"FontSize", "6.5"}},
         "-xx-x--",
         {2000, 2000, 3000, 6000},
         6.5},
        {{{"Top", "3000"},
          {"Left", "4500"},
          {"Height", "7500"},
          {"Width", "6000"},
          {"FontSize", "23.9"}},
         "-xx-x--",
         {4500, 3000, 6000, 7500},
         23.9},
        {{{"Top", "junk"}, {"Height", "-7"}, {"Width", "1e999"}, {"FontSize", "24"}},
         "-xx-x--",
         {200, 100, 3000, 6000},
         8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options + " " + std::to_string(c.fontSize));
        TempSettings temp;
        ScriptedDialogs dialogs;
        temp.setSection("Settings", c.stored);
        frmPOP w;
        EXPECT_EQ(options(w), c.options);
        expectGeometry(w, c.geometry);
        EXPECT_DOUBLE_EQ(w.txtMsg->font().pointSizeF(), c.fontSize);
        EXPECT_DOUBLE_EQ(w.lstHeaders->font().pointSizeF(), c.fontSize);
        EXPECT_EQ(w.txtMsg->font().family() == QStringLiteral("Courier New"), c.options[6] == 'x');
        EXPECT_EQ(w.lblStatus->text(), QStringLiteral("Ready"));
        EXPECT_TRUE(dialogs.messages().empty());
    }
}

TEST(StartUp, ActiveAccountIsLoadedAsTyped) {
    const struct {
        std::string isp, expectedIsp, pass64, expectedPass;
    } cases[] = {
        {"Home", "Home", "  c2VjcmV0  ", "secret"},
        {"мир", "мир", "0L/QsNGA0L7Qu9GMLXphxbzDs8WCxIc=", "пароль-zażółć"},
        {"Settings", "", "c2VjcmV0", ""}, // the store's own section is no account
    };
    for (const auto& c : cases) {
        TempSettings temp;
        temp.setSection("Settings", {{"ISP", c.isp}, {"EmailPass", c.pass64}});
        temp.setSection(c.isp, {{"POPAddress", "pop." + c.isp + ":1110"},
                                {"EmailUsername", "пользователь"},
                                {"EmailPass", c.pass64},
                                {"EmailFromDomain", "почта.example"}});
        frmPOP w;
        const bool loaded = !c.expectedIsp.empty();
        EXPECT_EQ(w.Account.Isp, c.expectedIsp);
        EXPECT_EQ(w.Account.POPAddress, loaded ? "pop." + c.isp + ":1110" : "");
        EXPECT_EQ(w.Account.EmailUsername, loaded ? "пользователь" : "");
        EXPECT_EQ(w.Account.EmailPass, c.expectedPass);
        EXPECT_EQ(w.Account.EmailFromDomain, loaded ? "почта.example" : "");
        EXPECT_EQ(w.Account.EmailAuth, 0) << "no EmailAuth key";
    }
}

TEST(StartUp, RestartRestoresWhatTheWindowSaved) {
    TempSettings temp;
    {
        frmPOP w;
        for (QAction* a : {w.mnConfirmDelete, w.mnKeepAlive, w.mnNoPictures, w.mnFixedWidth}) {
            a->toggle();
        }
        QFont f = w.txtMsg->font();
        f.setPointSizeF(10.5);
        w.txtMsg->setFont(f);
        w.setWindowTwips(QRectF(4500, 3000, 6000, 7500));
        w.mnExit->trigger();
    }
    // The debug window was never opened: what it would have opened at.
    const std::pair<const char*, const char*> debug[] = {
        {"deTop", "100"}, {"deLeft", "200"}, {"deHeight", "4500"}, {"deWidth", "5500"}};
    for (const auto& [key, value] : debug) {
        EXPECT_EQ(temp.get(key), value) << key;
    }
    temp.reopen();
    frmPOP again;
    EXPECT_EQ(options(again), "x-xxx-x");
    EXPECT_DOUBLE_EQ(again.txtMsg->font().pointSizeF(), 10.5);
    expectGeometry(again, QRectF(4500, 3000, 6000, 7500));
}

TEST(StartUp, OldBuildsAreStoppedBeforeReadingAnything) {
    TempSettings temp;
    temp.setSection("Settings", {{"ISP", "Home"}, {"ConfirmDelete", "True"}});
    const QByteArray before = temp.readRaw();
    for (const char* version : {"0.0.1", "0.0.2"}) {
        const bool stopped = version[4] == '1';
        ReaderSettings::overrideProgramVersion(version);
        ScriptedDialogs dialogs;
        dialogs.allowUnscriptedOk();
        {
            frmPOP w;
            EXPECT_EQ(w.settings().stopped(), stopped);
            EXPECT_EQ(w.Account.Isp, stopped ? "" : "Home");
            EXPECT_EQ(w.mnConfirmDelete->isChecked(), !stopped);
            w.close();
        }
        EXPECT_EQ(dialogs.messages().size(), stopped ? 1u : 0u);
        if (stopped) {
            EXPECT_TRUE(dialogs.messages()[0].text.startsWith(
                QStringLiteral("You need to download the latest EXE from ")));
            EXPECT_EQ(temp.readRaw(), before) << "nothing is written";
        }
    }
    ReaderSettings::overrideProgramVersion("");
    EXPECT_EQ(ReaderSettings::AppVersion(), QStringLiteral("V0.1.50"));
}
