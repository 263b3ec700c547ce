// The debug buffer window: search, save, geometry, and the removed-tags view.
#include "SessionTestSupport.h"

#include "session/ui/frmDebug.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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
};

} // namespace

TEST_F(DebugWindowTest, SearchFindsEachOccurrenceThenNotFound) {
    debug().appendBytes("+OK\r\nfirst needle\r\n");
    debug().appendBytes("\r\nsecond needle\r");
    debug().appendBytes("\nend\r\n");
    session().ShowBuffer();
    EXPECT_EQ(search(QStringLiteral("needle")), QStringLiteral("needle"));
    EXPECT_EQ(debug().selectionStart(), 11u);
    EXPECT_EQ(debug().searchStart(), 18u);
    EXPECT_EQ(search(QStringLiteral("needle")), QStringLiteral("needle"));
    EXPECT_EQ(debug().selectionStart(), 28u);
    search(QStringLiteral("needle"));
    EXPECT_EQ(debug().lblMsg->text(), QStringLiteral("Not found"));
    // After "Not found" the next search starts at the search text's length: near the top.
    EXPECT_EQ(debug().searchStart(), 6u);
    EXPECT_EQ(search(QStringLiteral("needle")), QStringLiteral("needle"));
    EXPECT_EQ(debug().selectionStart(), 11u);
    // Split CR LF pieces became single line breaks in the view.
    EXPECT_EQ(debug().txtDebug->toPlainText(),
              QStringLiteral("+OK\nfirst needle\n\nsecond needle\nend\n"));
}

TEST_F(DebugWindowTest, NotFoundStaysForFourTicks) {
    debug().appendBytes("abc");
    search(QStringLiteral("zzz"));
    for (int i = 0; i < 3; ++i) {
        debug().Timer1_Timer();
        EXPECT_EQ(debug().lblMsg->text(), QStringLiteral("Not found"));
    }
    debug().Timer1_Timer();
    EXPECT_EQ(debug().lblMsg->text(), QString());
    EXPECT_FALSE(debug().Timer1->isActive());
}

TEST_F(DebugWindowTest, SearchPositionsReachPastSixteenBits) {
    std::string big(100000, 'x');
    big += "\r\nneedle";
    debug().appendBytes(big);
    session().ShowBuffer();
    EXPECT_EQ(search(QStringLiteral("needle")), QStringLiteral("needle"));
    EXPECT_EQ(debug().selectionStart(), 100002u);
}

TEST_F(DebugWindowTest, SaveWritesLinesWithTheirLineEnds) {
    struct Case {
        std::string buffer;
        std::string file;
    } cases[] = {
        {"a\r\nbc\r\n", "a\r\nbc\r\n"},
        {"a\r\nbc\r\nxy", "a\r\nbc\r\nxy\r\n"},
        {"a\r\nz", "a\r\n"}, // a last piece of one character is not a line
        {"", ""},
    };
    QTemporaryDir dir;
    int n = 0;
    for (const Case& c : cases) {
        const QString path = dir.filePath(QStringLiteral("debug%1.txt").arg(++n));
        debug().setBytes(c.buffer);
        dialogs.saveFile(path);
        debug().cmdSave->click();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll().toStdString(), c.file);
    }
    ASSERT_FALSE(dialogs.fileRequests().empty());
    EXPECT_EQ(dialogs.fileRequests()[0].filter,
              QStringLiteral("All Files (*.*)|*.*|Text Files(*.txt)|*.txt"));
    EXPECT_EQ(dialogs.fileRequests()[0].filterIndex, 2);
    // Cancelled: nothing written.
    dialogs.saveFile(std::nullopt);
    debug().cmdSave->click();
    EXPECT_EQ(dir.path().size() > 0, true);
}

TEST_F(DebugWindowTest, GeometryComesFromTheStoreWithItsFloors) {
    struct Case {
        std::map<std::string, std::string> stored;
        QRectF expected;
    } cases[] = {
        {{}, QRectF(200, 100, 5500, 4500)},
        {{{"deTop", "1999"}, {"deLeft", "150"}, {"deHeight", "3000"}, {"deWidth", "5000"}},
         QRectF(200, 100, 5500, 4500)},
        {{{"deTop", "3000"}, {"deLeft", "2400"}, {"deHeight", "6000"}, {"deWidth", "9000"}},
         QRectF(2400, 3000, 9000, 6000)},
    };
    for (const Case& c : cases) {
        settings.setSection("Settings", c.stored);
        frmDebug* w = session().debugWindow(false);
        if (w) {
            delete w;
        }
        const QRectF r = session().debugWindow(true)->windowTwips();
        const double pixel = 1440.0 / session().debugWindow()->logicalDpiY();
        EXPECT_NEAR(r.left(), c.expected.left(), pixel);
        EXPECT_NEAR(r.top(), c.expected.top(), pixel);
        EXPECT_NEAR(r.width(), c.expected.width(), pixel);
        EXPECT_NEAR(r.height(), c.expected.height(), pixel);
    }
}

TEST_F(DebugWindowTest, LayoutFollowsTheWindow) {
    frmDebug& w = debug();
    w.setWindowTwips(QRectF(200, 100, 9000, 7000));
    w.LayoutWindow();
    const double t = 1440.0 / w.logicalDpiY();
    EXPECT_NEAR(w.txtDebug->width() * t, 9000 - 115, 2 * t);
    EXPECT_NEAR(w.txtDebug->height() * t, 7000 - 850, 2 * t);
}

TEST_F(DebugWindowTest, ShowRemovedTagsGivesTheBufferBack) {
    debug().setBytes("the session's own text");
    window.Browser.RemovedTags = "<img src=x>\r\n";
    session().ShowRemovedTags();
    frmDebug* shown = session().debugWindow();
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->isVisible());
    EXPECT_EQ(shown->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(shown->bytes(), "<img src=x>\r\n");
    shown->close();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            frmDebug* w = session().debugWindow();
            return w && w->bytes() == "the session's own text";
        },
        2000));
    EXPECT_FALSE(session().debugWindow()->isVisible());
}

TEST_F(DebugWindowTest, ClosingLosesTheText) {
    debug().appendBytes("gone");
    session().ShowBuffer();
    session().debugWindow()->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return session().debugWindow() == nullptr; }, 2000));
    EXPECT_EQ(debug().bytes(), "");
}
