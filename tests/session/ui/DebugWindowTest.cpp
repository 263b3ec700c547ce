// The debug buffer window: search, save, geometry, and the removed-tags view.
#include "SessionTestSupport.h"

#include "session/ui/frmDebug.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace sessiontest;

namespace {

class DebugWindowTest : public SessionTest {
public:
    frmDebug& debug() { return *session().debugWindow(true); }

    // Searches for text; returns the selected text of the view.
    QString search(const QString& text) {
        debug().txtSearch->setText(text);
        debug().cmdSearch->click();
        return debug().txtDebug->textCursor().selectedText();
    }

    // Saves the buffer; returns the file's bytes.
    std::string save() {
        const QString path = dir.filePath(QStringLiteral("debug.txt"));
        dialogs.saveFile(path);
        debug().cmdSave->click();
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "no file";
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(DebugWindowTest, SearchFindsEachOccurrenceThenNotFound) {
    debug().appendBytes("+OK\r\nfirst needle\r\n");
    debug().appendBytes("\r\nsecond needle\r");
    debug().appendBytes("\nend\r\n" + std::string(100000, 'x') + "needle");
    session().ShowBuffer();
    const std::size_t found[] = {11, 28, 100041};
    for (const std::size_t at : found) {
        EXPECT_EQ(search(QStringLiteral("needle")), QStringLiteral("needle"));
        EXPECT_EQ(debug().selectionStart(), at);
    }
    search(QStringLiteral("needle"));
    EXPECT_EQ(debug().lblMsg->text(), QStringLiteral("Not found"));
    // After "Not found" the next search starts at the search text's length: near the top.
    EXPECT_EQ(debug().searchStart(), 6u);
    for (int i = 0; i < 3; ++i) {
        debug().Timer1_Timer();
    }
    EXPECT_EQ(debug().lblMsg->text(), QStringLiteral("Not found"));
    debug().Timer1_Timer();
    EXPECT_EQ(debug().lblMsg->text(), QString());
    // Split CR LF pieces became single line breaks in the view.
    EXPECT_TRUE(debug().txtDebug->toPlainText().startsWith(
        QStringLiteral("+OK\nfirst needle\n\nsecond needle\nend\n")));
}

TEST_F(DebugWindowTest, SaveWritesLinesWithTheirLineEnds) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\r\nbc\r\n", "a\r\nbc\r\n"},
        {"a\r\nbc\r\nxy", "a\r\nbc\r\nxy\r\n"},
        {"a\r\nz", "a\r\n"},            // a last piece of one character is not a line
        {"caf\xe9\r\n", "caf\xe9\r\n"}, // protocol bytes go back as they came
    };
    for (const auto& [buffer, file] : cases) {
        debug().setBytes(buffer);
        EXPECT_EQ(save(), file);
    }
    EXPECT_EQ(dialogs.fileRequests()[0].filter,
              QStringLiteral("All Files (*.*)|*.*|Text Files(*.txt)|*.txt"));
    EXPECT_EQ(dialogs.fileRequests()[0].filterIndex, 2);
}

// A header row with a sender in Japanese keeps it, in the window and in the saved file.
TEST_F(DebugWindowTest, TextOutsideWindows1252IsKept) {
    window.mnEnableDebug->setChecked(true);
    getMail();
    ASSERT_EQ(PlayConversation(
                  *server,
                  Join({kLogin,
                        {"C: LIST", "S: +OK", "S: 1 120", "S: .", "C: TOP 1 10", "S: +OK",
                         "S: From: =?UTF-8?B?5bGx55Sw?= <y@x>", "S: Subject: caf\xe9", "S: ."}})),
              "");
    session().ShowBuffer();
    const QString row = rows().value(0);
    EXPECT_TRUE(row.contains(QStringLiteral("\u5c71\u7530")));
    EXPECT_TRUE(debug().txtDebug->toPlainText().contains("FindSubject:\n" + row + "\n***"));
    EXPECT_EQ(search(QStringLiteral("\u5c71\u7530")), QStringLiteral("\u5c71\u7530"));
    const std::string file = save();
    EXPECT_NE(file.find("FindSubject:\r\n" + row.toStdString() + "\r\n"), std::string::npos);
    EXPECT_NE(file.find("Subject: caf\xc3\xa9"), std::string::npos) << "all of it in UTF-8";
}

// A reply cut off by the cap leaves one line where it began, in the buffer and in the view.
TEST_F(DebugWindowTest, ReplyCutOffByTheCapLeavesOneLine) {
    session().setMaxReplyBytes(200);
    window.mnEnableDebug->setChecked(true);
    getMail();
    ASSERT_EQ(PlayConversation(*server, Join({kLogin, {kList3.begin(), kList3.begin() + 15}})), "");
    session().ShowBuffer();
    const std::string listed = debug().text();
    const QString shown = debug().txtDebug->toPlainText();
    server->serverSends("+OK\r\n" + std::string(150, 'x'));
    ASSERT_NE(debug().txtDebug->toPlainText(), shown);
    server->serverSends(std::string(100, 'x'));
    const std::string line = "\r\nThe reply passed the size limit and was cut off after 255 "
                             "bytes, which are not kept.\r\n";
    EXPECT_EQ(debug().text(), listed + line);
    EXPECT_EQ(debug().txtDebug->toPlainText(), shown + QString::fromStdString(line).remove('\r'));
}

TEST_F(DebugWindowTest, GeometryComesFromTheStoreWithItsFloors) {
    const std::pair<std::map<std::string, std::string>, QRectF> cases[] = {
        {{{"deTop", "1999"}, {"deLeft", "150"}, {"deHeight", "3000"}, {"deWidth", "5000"}},
         QRectF(200, 100, 5500, 4500)},
        {{{"deTop", "3000"}, {"deLeft", "2400"}, {"deHeight", "6000"}, {"deWidth", "9000"}},
         QRectF(2400, 3000, 9000, 6000)},
    };
    for (const auto& [stored, expected] : cases) {
        settings.setSection("Settings", stored);
        delete session().debugWindow(false);
        const QRectF r = debug().windowTwips();
        const double pixel = 1440.0 / debug().logicalDpiY();
        EXPECT_NEAR(r.left(), expected.left(), pixel);
        EXPECT_NEAR(r.top(), expected.top(), pixel);
        EXPECT_NEAR(r.width(), expected.width(), pixel);
        EXPECT_NEAR(r.height(), expected.height(), pixel);
    }
}

TEST_F(DebugWindowTest, ShowRemovedTagsGivesTheBufferBackAndClosingLosesIt) {
    debug().setBytes("the session's own text");
    session().ShowRemovedTags("<img src=x>\r\n");
    frmDebug* shown = session().debugWindow();
    EXPECT_TRUE(shown->isVisible());
    EXPECT_EQ(shown->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(shown->text(), "<img src=x>\r\n");
    shown->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::sendPostedEvents();
    ASSERT_NE(session().debugWindow(), nullptr);
    EXPECT_EQ(session().debugWindow()->text(), "the session's own text");
    EXPECT_FALSE(session().debugWindow()->isVisible());
    // Closing it for good loses the text.
    session().ShowBuffer();
    session().debugWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(session().debugWindow(), nullptr);
    EXPECT_EQ(debug().text(), "");
}

// What the server said it can do stays in the buffer after login clears it.
TEST_F(DebugWindowTest, CapabilitiesAreShown) {
    const struct {
        PopScript capa;
        QString shown;
    } cases[] = {
        {{"C: CAPA", "S: +OK", "S: TOP", "S: SASL PLAIN", "S: .", "C: USER alice"},
         QStringLiteral("Capabilities: [TOP] [SASL PLAIN]")},
        {{"C: CAPA", "S: -ERR", "C: USER alice"},
         QStringLiteral("Capabilities: the server did not answer CAPA")},
    };
    for (const auto& c : cases) {
        getMail();
        ASSERT_EQ(PlayConversation(*server, Join({{"S: +OK"},
                                                  c.capa,
                                                  {"S: +OK", "C: PASS secret", "S: +OK", "C: LIST",
                                                   "S: +OK", "S: ."}})),
                  "");
        session().ShowBuffer();
        EXPECT_TRUE(debug().txtDebug->toPlainText().startsWith(c.shown));
        server->serverCloses();
    }
}
