// Downloading, viewing and deleting rows of a listed mailbox.
#include "SessionTestSupport.h"

#include "session/ui/frmDebug.h"

#include <QPlainTextEdit>
#include <QTest>

using namespace sessiontest;

namespace {

const std::string kSmallMessage = "+OK\r\nSubject: s\r\n\r\nbody\r\n.\r\n";

class RetrievalTest : public SessionTest {
public:
    void SetUp() override { listThree(); }

    QChar mark(int row) const { return window.lstHeaders->item(row)->text().at(38); }
    int selected() const { return window.lstHeaders->currentRow(); }
};

} // namespace

// Which row View takes is the core's; the window gives it the filter and the selection.
TEST_F(RetrievalTest, ViewSkipsTheSpamRowWithTheFilter) {
    window.mnFilterSpam->setChecked(true);
    window.lstHeaders->setCurrentRow(1);
    window.cmdView->click();
    EXPECT_EQ(server->takeLines(), std::vector<std::string>{"RETR 3"});
    server->serverSends(kSmallMessage);
    EXPECT_EQ(QString(mark(2)) + QString::number(selected()), QStringLiteral("R2"));
}

TEST_F(RetrievalTest, DoubleClickOnTheListDownloads) {
    QListWidget* list = window.lstHeaders;
    const QRect r = list->visualItemRect(list->item(2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(server->takeLines(), std::vector<std::string>{"RETR 3"});
}

// Rows come from the header list, not from the list's text: each keeps the number it was
// listed for, its columns count characters, and a row that says it is sexually explicit is
// never downloaded.
TEST_F(SessionTest, RowsKeepTheirNumbersAndColumns) {
    const QString name = QStringLiteral("J\u00fcrgen M\u00fcller-L\u00fcdenscheidt");
    getMail();
    ASSERT_EQ(
        PlayConversation(
            *server, Join({kLogin,
                           PopScript(kList3.begin(), kList3.begin() + 14),
                           {"C: TOP 2 10", "S: -ERR There's no message 2.", "C: TOP 3 10", "S: +OK",
                            "S: From: =?UTF-8?B?SsO8cmdlbiBNw7xsbGVyLUzDvGRlbnNjaGVpZHQ=?= <j@x>",
                            "S: Subject: =?ISO-8859-1?Q?Gr=FC=DFe?= Sexually Explicit", "S: ."}})),
        "");
    QString row3 = QString(11, ' ') + " | " + name.left(20) +
                   QStringLiteral(".. | |12k Gr\u00fc\u00dfe Sexually Explicit");
    EXPECT_EQ(rows(), (QStringList{kRow1, row3}));
    EXPECT_EQ(status(), QStringLiteral("3 Messages listed"));
    window.lstHeaders->setCurrentRow(1);
    session().lstHeaders_DblClick();
    EXPECT_EQ(boxes(),
              QStringList{QStringLiteral(
                  "These messages stay on the server until deleted or Hell freezes over")});
    window.cmdDelete->click();
    ASSERT_EQ(PlayConversation(*server, {"C: DELE 3", "S: +OK"}), "");
    row3[38] = QLatin1Char('D');
    EXPECT_EQ(rows(), (QStringList{kRow1, row3}));
}

// A right-click deletes and views the next row; on the last row, or when the server refuses
// (the user's OK comes first), nothing is downloaded. The middle button does nothing.
TEST_F(RetrievalTest, RightClickDeletesAndViewsTheNext) {
    auto rightClick = [&](int row) {
        window.lstHeaders->setCurrentRow(row);
        QTest::mousePress(window.cmdDelete, Qt::RightButton);
    };
    ASSERT_EQ(PlayConversation(*server,
                               {Act([&] { rightClick(0); }), "C: DELE 1", "S: +OK", "C: RETR 2",
                                "S: +OK", "S: .", Act([&] { rightClick(2); }), "C: DELE 3",
                                "S: +OK", Act([&] { rightClick(1); }), "C: DELE 2", "S: -ERR no"}),
              "");
    EXPECT_EQ(QString(mark(0)) + mark(1) + mark(2), QStringLiteral("DRD"));
    EXPECT_EQ(boxes(), QStringList{"Unable to delete message. Try again"});
    QTest::mousePress(window.cmdDelete, Qt::MiddleButton);
    window.lstHeaders->setCurrentRow(2);
    EXPECT_EQ(server->takeLines(), std::vector<std::string>{"RETR 3"});
}

TEST_F(RetrievalTest, DebugBufferHoldsListAndRetrDataAndTopDataOnlyWhenEnabled) {
    frmDebug* debug = session().debugWindow();
    ASSERT_NE(debug, nullptr);
    EXPECT_TRUE(debug->bytes().starts_with(
        "Capabilities: the server did not answer CAPA\r\n+OK 3 messages:\r\n1 "));
    EXPECT_EQ(debug->bytes().find("TOP"), std::string::npos);
    EXPECT_EQ(debug->bytes().find("Hello"), std::string::npos);
    // A download starts the buffer afresh with its own reply.
    window.lstHeaders->setCurrentRow(0);
    session().lstHeaders_DblClick();
    server->serverSendsInPieces(kSmallMessage, 3);
    EXPECT_EQ(debug->bytes(), kSmallMessage);
    // With "Enable Debug Buffer", the listing adds every TOP piece and the row built.
    window.mnEnableDebug->setChecked(true);
    server->serverCloses();
    server->takeLines();
    getMail();
    ASSERT_EQ(PlayConversation(*server, Join({kLogin, kList3})), "");
    const std::string& text = debug->bytes();
    EXPECT_NE(text.find("\r\n\r\nPacket # 1\r\n+OK\r\nDate: Tue"), std::string::npos);
    EXPECT_NE(
        text.find("\r\n\r\nFindSubject:\r\n" + kRow1.toStdString() + "\r\n" + std::string(31, '*')),
        std::string::npos);
}
