// The POP3 conversation as the user sees it: scripted server lines through the fake
// transport, the texts, rows, captions and message boxes that result.
#include "SessionTestSupport.h"

#include "decoding/ui/MessageView.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

using namespace sessiontest;
using platform::MsgAnswer;

namespace {

// Download of message 2, whose body has lines the server had to dot-stuff.
const PopScript kRetr2 = {
    "C: RETR 2",
    "S: +OK 2000 octets",
    "S: Date: 3 Feb 2024 08:15:00 +0100",
    "S: From: Carol Example <carol@example.test>",
    "S: Reply-To: carol@reply.example.test",
    "S: Subject: Re: [spam] offer",
    "S: ",
    "S: ..hidden line",
    "S: ...",
    "S: ..",
    "S: last line",
    "S: .",
};

const std::string kRetr2Unstuffed = "+OK 2000 octets\r\n"
                                    "Date: 3 Feb 2024 08:15:00 +0100\r\n"
                                    "From: Carol Example <carol@example.test>\r\n"
                                    "Reply-To: carol@reply.example.test\r\n"
                                    "Subject: Re: [spam] offer\r\n"
                                    "\r\n"
                                    ".hidden line\r\n"
                                    "..\r\n"
                                    ".\r\n"
                                    "last line\r\n"
                                    ".\r\n";

using SessionConversation = SessionTest;

// What the user sees at the end of a whole session, whatever way the server's bytes were cut.
struct Outcome {
    QStringList rows;
    QString statusAfterList, statusAfterRetr, statusAfterDele, finalStatus;
    std::string receiveBuffer;
    QString from, subject, caption;
    QStringList boxes;

    bool operator==(const Outcome&) const = default;
};

} // namespace

class SplitSession : public SessionTest {
protected:
    // Login, listing, a download, a deletion and QUIT, with the server's bytes cut by cutter.
    Outcome run(const Cutter& cutter, std::string* mismatch) {
        Outcome o;
        dialogs.clear();
        getMail();
        const PopScript script = Join({
            kLogin,
            kList3,
            kTop1,
            kTop2,
            kTop3,
            {Act([&] {
                o.rows = rows();
                o.statusAfterList = status();
                window.lstHeaders->setCurrentRow(1);
                session().lstHeaders_DblClick();
            })},
            kRetr2,
            {Act([&] {
                 o.statusAfterRetr = status();
                 o.receiveBuffer = window.Session.ReceiveBuffer;
                 o.from = window.lblFrom->text();
                 o.subject = window.lblSubject->text();
                 window.lstHeaders->setCurrentRow(0);
                 window.cmdDelete->click();
             }),
             "C: DELE 1", "S: +OK Marked to be deleted.", Act([&] {
                 o.statusAfterDele = status();
                 o.rows += rows();
                 window.cmdConnect->click();
             }),
             "C: QUIT", "S: +OK Logging out, messages deleted."},
        });
        *mismatch = PlayConversation(*server, script, cutter);
        o.finalStatus = status();
        o.caption = window.cmdConnect->text();
        o.boxes = dialogs.messageTexts();
        return o;
    }
};

TEST_F(SplitSession, WholeRepliesGiveTheDesignedRowsAndTexts) {
    std::string mismatch;
    const Outcome o = run(Whole(), &mismatch);
    ASSERT_EQ(mismatch, "");
    EXPECT_EQ(o.rows.mid(0, 3), (QStringList{kRow1, kRow2, kRow3}));
    EXPECT_EQ(o.statusAfterList, QStringLiteral("3 Messages listed"));
    EXPECT_EQ(o.statusAfterRetr, QStringLiteral("Message # 2 of 3 Complete"));
    EXPECT_EQ(o.receiveBuffer, kRetr2Unstuffed);
    EXPECT_EQ(o.from, QStringLiteral("Carol Example <carol@example.test>"));
    EXPECT_EQ(o.subject, QStringLiteral("Re: [spam] offer"));
    EXPECT_EQ(window.Fields.ReplyToField, "carol@reply.example.test");
    EXPECT_EQ(o.statusAfterDele, QStringLiteral("Message # 1 of 3 marked deleted"));
    // After the download row 2 is "R"; after the deletion row 1 is "D".
    QString r1 = kRow1, r2 = kRow2;
    r1[38] = QLatin1Char('D');
    r2[38] = QLatin1Char('R');
    EXPECT_EQ(o.rows.mid(3), (QStringList{r1, r2, kRow3}));
    EXPECT_EQ(o.finalStatus, QStringLiteral("Disconnected"));
    EXPECT_EQ(o.caption, QStringLiteral("Get Mail"));
    EXPECT_TRUE(o.boxes.isEmpty()) << o.boxes.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(window.txtMsg->toPlainText().contains(QStringLiteral(".hidden line")));
}

TEST_F(SplitSession, EverySplitPointGivesTheSameSession) {
    std::string mismatch;
    const Outcome reference = run(Whole(), &mismatch);
    ASSERT_EQ(mismatch, "");
    const std::size_t total =
        ServerBytes(Join({kLogin, kList3, kTop1, kTop2, kTop3, kRetr2})).size() + 60;
    for (std::size_t k = 1; k < total; ++k) {
        const Outcome o = run(CutAt(k), &mismatch);
        ASSERT_EQ(mismatch, "") << "cut at " << k;
        ASSERT_TRUE(o == reference) << "cut at " << k;
    }
    const Outcome bytewise = run(EveryByte(), &mismatch);
    ASSERT_EQ(mismatch, "");
    EXPECT_TRUE(bytewise == reference);
}

TEST_F(SessionConversation, ConnectsToTheAccountsServerAndPort) {
    struct Case {
        std::string address;
        QString host;
        std::uint16_t port;
    } cases[] = {
        {"mail.example.test", "mail.example.test", 110},
        {"mail.example.test:1110", "mail.example.test", 1110},
        {"[::1]:2110", "::1", 2110},
    };
    for (const Case& c : cases) {
        window.Account.POPAddress = c.address;
        window.cmdConnect->click();
        EXPECT_EQ(server->host, c.host);
        EXPECT_EQ(server->port, c.port);
        EXPECT_EQ(status(), QStringLiteral("Attempting connection with ") +
                                QString::fromStdString(c.address) + QStringLiteral(" ..."));
        EXPECT_EQ(window.cursor().shape(), Qt::WaitCursor);
        server->serverCloses();
    }
}

TEST_F(SessionConversation, ConnectedSessionShowsDisconnect) {
    getMail();
    EXPECT_EQ(status(), QStringLiteral("Connected"));
    EXPECT_EQ(window.cmdConnect->text(), QStringLiteral("Disconnect"));
    EXPECT_EQ(window.cmdConnect->toolTip(),
              QStringLiteral("Disconnect from server and delete messages marked D"));
    EXPECT_EQ(window.Session.LastCommand, "CONNECT");
}

TEST_F(SessionConversation, LoginRefusedEndsWithQuit) {
    struct Case {
        PopScript script;
        QString box;
    } cases[] = {
        {{"S: +OK ready", "C: USER alice", "S: -ERR no such user", "C: QUIT",
          "S: +OK Logging out."},
         QStringLiteral("Invalid Username. Try Again")},
        {{"S: +OK ready", "C: USER alice", "S: +OK", "C: PASS secret",
          "S: -ERR [AUTH] Authentication failed.", "C: QUIT", "S: +OK Logging out."},
         QStringLiteral("Invalid Username or Password. Try Again")},
    };
    for (const Case& c : cases) {
        dialogs.clear();
        dialogs.answer(MsgAnswer::Ok);
        getMail();
        ASSERT_EQ(PlayConversation(*server, c.script), "");
        EXPECT_EQ(dialogs.messageTexts(), QStringList{c.box});
        EXPECT_EQ(status(), QStringLiteral("Disconnected"));
        EXPECT_EQ(window.cmdConnect->text(), QStringLiteral("Get Mail"));
        EXPECT_TRUE(window.cmdConnect->isEnabled());
        EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
    }
}

TEST_F(SessionConversation, EmptyMailboxSaysNoMessage) {
    getMail();
    ASSERT_EQ(PlayConversation(*server, Join({kLogin, {"C: LIST", "S: +OK 0 messages:", "S: ."}})),
              "");
    EXPECT_EQ(status(), QStringLiteral("No Message"));
    EXPECT_EQ(window.lstHeaders->count(), 0);
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(SessionConversation, FailedTopLeavesNoRowAndLaterRowsKeepTheirNumbers) {
    getMail();
    const PopScript script =
        Join({kLogin, kList3, kTop1, {"C: TOP 2 10", "S: -ERR There's no message 2."}, kTop3});
    ASSERT_EQ(PlayConversation(*server, script), "");
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_EQ(rows(), (QStringList{kRow1, kRow3}));
    EXPECT_EQ(status(), QStringLiteral("3 Messages listed"));
    // The second row shows message 3, and that is the message it fetches and deletes.
    window.lstHeaders->setCurrentRow(1);
    session().lstHeaders_DblClick();
    EXPECT_EQ(server->takeLines(), (std::vector<std::string>{"RETR 3"}));
    server->serverSends("+OK\r\nSubject: x\r\n\r\nbody\r\n.\r\n");
    window.cmdDelete->click();
    EXPECT_EQ(server->takeLines(), (std::vector<std::string>{"DELE 3"}));
}

TEST_F(SessionConversation, ErrorRepliesAfterTheListing) {
    struct Case {
        const char* name;
        std::function<void(SessionConversation&)> command;
        std::string sent;
        QString box;
    } cases[] = {
        {"RETR", [](SessionConversation& t) { t.session().lstHeaders_DblClick(); }, "RETR 1",
         QStringLiteral("Failed to retrieve message. Try relogin")},
        {"DELE", [](SessionConversation& t) { t.window.cmdDelete->click(); }, "DELE 1",
         QStringLiteral("Unable to delete message. Try again")},
        {"RSET", [](SessionConversation& t) { t.window.cmdReset->click(); }, "RSET",
         QStringLiteral("Mailbox Reset Failed. Try Again")},
    };
    listThree();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.clear();
        dialogs.answer(MsgAnswer::Ok);
        window.lstHeaders->setCurrentRow(0);
        c.command(*this);
        EXPECT_EQ(server->takeLines(), std::vector<std::string>{c.sent});
        server->serverSends("-ERR no\r\n");
        EXPECT_EQ(dialogs.messageTexts(), QStringList{c.box});
        EXPECT_EQ(window.lstHeaders->item(0)->text(), kRow1); // no mark
        EXPECT_EQ(window.cmdConnect->text(), QStringLiteral("Disconnect"));
    }
    // The session goes on: the next download works.
    dialogs.clear();
    window.lstHeaders->setCurrentRow(0);
    session().lstHeaders_DblClick();
    EXPECT_EQ(server->takeLines(), std::vector<std::string>{"RETR 1"});
    server->serverSends("+OK\r\nSubject: again\r\n\r\nx\r\n.\r\n");
    EXPECT_EQ(status(), QStringLiteral("Message # 1 of 3 Complete"));
}

TEST_F(SessionConversation, ErrorToListIsReported) {
    dialogs.answer(MsgAnswer::Ok);
    getMail();
    ASSERT_EQ(PlayConversation(*server, Join({kLogin, {"C: LIST", "S: -ERR mailbox locked"}})), "");
    EXPECT_EQ(dialogs.messageTexts(), QStringList{QStringLiteral("Error from LIST command")});
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(window.lstHeaders->count(), 0);
}

TEST_F(SessionConversation, LinesNobodyAskedForAreReportedOncePerRun) {
    struct Case {
        const char* name;
        std::string bytes;
        int boxes;
    } cases[] = {
        {"junk", "hello there\r\n", 1},
        {"several junk lines", "a\r\nb\r\nc\r\n", 1},
        {"error to nothing", "-ERR Disconnected for inactivity.\r\n", 1},
        {"+OK to nothing", "+OK\r\n", 0},
        {"binary junk", std::string("\0\xff\x01\r\n", 5), 1},
    };
    listThree();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.clear();
        dialogs.allowUnscriptedOk();
        for (const std::size_t piece : {c.bytes.size(), std::size_t{1}}) {
            dialogs.clear();
            server->serverSendsInPieces(c.bytes, piece);
            EXPECT_EQ(dialogs.messageTexts().size(), c.boxes);
            for (const QString& box : dialogs.messageTexts()) {
                EXPECT_EQ(box, QStringLiteral("Response without command"));
            }
            server->serverSends("+OK\r\n"); // a reply line ends the run of stray lines
        }
        EXPECT_EQ(rows(), (QStringList{kRow1, kRow2, kRow3}));
        EXPECT_TRUE(server->takeLines().empty());
    }
    // Still usable.
    window.lstHeaders->setCurrentRow(2);
    session().lstHeaders_DblClick();
    EXPECT_EQ(server->takeLines(), std::vector<std::string>{"RETR 3"});
}

TEST_F(SessionConversation, JunkBeforeTheGreetingStillLogsIn) {
    dialogs.answer(MsgAnswer::Ok);
    getMail();
    server->serverSends("* hello\r\n");
    ASSERT_EQ(PlayConversation(*server, Join({kLogin, kList3, kTop1, kTop2, kTop3})), "");
    EXPECT_EQ(dialogs.messageTexts(), QStringList{QStringLiteral("Response without command")});
    EXPECT_EQ(rows().size(), 3);
}

// The server goes away after each step of the session: the window comes back to "Get Mail",
// the pointer to normal, and the next "Get Mail" works from scratch.
TEST_F(SessionConversation, ServerClosingAtAnyStepLeavesAWorkingWindow) {
    const PopScript full = Join({kLogin, kList3, kTop1, kTop2, kTop3});
    std::vector<std::size_t> stops;
    for (std::size_t i = 0; i < full.size(); ++i) {
        if (full[i].kind == PopStep::Kind::Server) {
            stops.push_back(i);
        }
    }
    for (const std::size_t stop : stops) {
        SCOPED_TRACE(stop);
        getMail();
        const PopScript prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(stop));
        ASSERT_EQ(PlayConversation(*server, prefix), "");
        server->serverCloses();
        EXPECT_EQ(window.cmdConnect->text(), QStringLiteral("Get Mail"));
        EXPECT_EQ(status(), QStringLiteral("Disconnected"));
        tick();
        EXPECT_EQ(note(), QStringLiteral("Disconnected"));
        EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
        EXPECT_FALSE(session().replyInFlight());
        server->takeLines();
    }
    getMail();
    ASSERT_EQ(PlayConversation(*server, full), "");
    EXPECT_EQ(rows(), (QStringList{kRow1, kRow2, kRow3}));
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(SessionConversation, ServerClosingDuringADownload) {
    listThree();
    window.lstHeaders->setCurrentRow(0);
    session().lstHeaders_DblClick();
    server->serverSends("+OK\r\nSubject: half\r\n\r\nonly part of");
    server->serverCloses();
    EXPECT_EQ(window.cmdConnect->text(), QStringLiteral("Get Mail"));
    EXPECT_EQ(status(), QStringLiteral("Disconnected"));
    EXPECT_FALSE(window.Fields.RetrieveInProgress);
    // A download now says what to do.
    dialogs.answer(MsgAnswer::Ok);
    session().lstHeaders_DblClick();
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{QStringLiteral("Connection closed, click Get Mail")});
}

TEST_F(SessionConversation, SocketErrorIsShownAndKeptInTheStatus) {
    dialogs.answer(MsgAnswer::Ok);
    window.cmdConnect->click();
    server->fail(10061, QStringLiteral("Connection refused"));
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{QStringLiteral("sckPOP Error [10061]: Connection refused")});
    EXPECT_EQ(status(), QStringLiteral("Error: Unexpectedly disconnected from server"));
    EXPECT_EQ(window.cmdConnect->text(), QStringLiteral("Get Mail"));
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
    tick(2);
    EXPECT_EQ(status(), QStringLiteral("Error: Unexpectedly disconnected from server"));
}

TEST_F(SessionConversation, ServerThatNeverAnswers) {
    // No greeting: "Disconnect" does nothing before any greeting was ever received.
    getMail();
    tick(5);
    window.cmdConnect->click();
    EXPECT_TRUE(server->takeLines().empty());
    EXPECT_EQ(window.cmdConnect->text(), QStringLiteral("Disconnect"));
    server->serverCloses();
    // Greeted, then silent during the listing: Disconnect sends QUIT, a second press gives up.
    getMail();
    ASSERT_EQ(PlayConversation(*server, Join({kLogin, kList3, {"C: TOP 1 10"}})), "");
    tick(100);
    EXPECT_TRUE(server->takeLines().empty()); // no NOOP while a reply is awaited
    window.cmdConnect->click();
    EXPECT_EQ(server->takeLines(), std::vector<std::string>{"QUIT"});
    EXPECT_FALSE(window.cmdConnect->isEnabled());
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
    window.cmdConnect->setEnabled(true); // a user cannot click a disabled button; the test can
    window.cmdConnect->click();
    EXPECT_EQ(status(), QStringLiteral("QUIT command not completed"));
    EXPECT_EQ(window.cmdConnect->text(), QStringLiteral("Get Mail"));
    EXPECT_EQ(server->state(), platform::Transport::State::Closed);
    // And it all works again.
    getMail();
    ASSERT_EQ(PlayConversation(*server, Join({kLogin, kList3, kTop1, kTop2, kTop3})), "");
    EXPECT_EQ(rows().size(), 3);
}

TEST_F(SessionConversation, ErrorToEveryCommand) {
    // A server that refuses everything after the greeting.
    dialogs.allowUnscriptedOk();
    getMail();
    ASSERT_EQ(
        PlayConversation(*server, {"S: +OK", "C: USER alice", "S: -ERR", "C: QUIT", "S: -ERR"}),
        "");
    EXPECT_EQ(dialogs.messageTexts(), (QStringList{QStringLiteral("Invalid Username. Try Again"),
                                                   QStringLiteral("Response without command")}));
    server->serverCloses();
    EXPECT_EQ(window.cmdConnect->text(), QStringLiteral("Get Mail"));
    tick();
    EXPECT_TRUE(window.cmdConnect->isEnabled());
}

TEST_F(SessionConversation, DisconnectDuringTheListingWaitsForTheReplyInFlight) {
    getMail();
    ASSERT_EQ(PlayConversation(*server, Join({kLogin, kList3, {"C: TOP 1 10"}})), "");
    window.cmdConnect->click();
    EXPECT_EQ(server->takeLines(), std::vector<std::string>{"QUIT"});
    // The TOP reply still arrives first; it is not taken for the answer to QUIT, and no
    // further TOP goes out.
    ASSERT_EQ(PlayConversation(*server, {kTop1.begin() + 1, kTop1.end()}), "");
    EXPECT_EQ(rows(), QStringList{kRow1});
    server->serverSends("+OK Logging out.\r\n");
    EXPECT_EQ(window.cmdConnect->text(), QStringLiteral("Get Mail"));
    EXPECT_TRUE(window.cmdConnect->isEnabled());
    EXPECT_EQ(status(), QStringLiteral("Disconnected"));
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(SessionConversation, CommandsWaitWhileAReplyIsInFlight) {
    getMail();
    ASSERT_EQ(PlayConversation(*server, Join({kLogin, kList3, kTop1, {"C: TOP 2 10"}})), "");
    window.lstHeaders->setCurrentRow(0);
    const std::function<void()> commands[] = {
        [&] { session().lstHeaders_DblClick(); },
        [&] { window.cmdView->click(); },
        [&] { window.cmdDelete->click(); },
        [&] { window.cmdReset->click(); },
    };
    for (const auto& command : commands) {
        window.lblMsg->clear();
        command();
        EXPECT_EQ(note(), QStringLiteral("Downloading List, Please Wait"));
        EXPECT_TRUE(server->takeLines().empty());
    }
    tick();
    EXPECT_EQ(note(), QString());
    ASSERT_EQ(PlayConversation(*server, Join({{kTop2.begin() + 1, kTop2.end()}, kTop3})), "");
    // During a download, the same for another download, a deletion and a reset.
    window.lstHeaders->setCurrentRow(0);
    session().lstHeaders_DblClick();
    EXPECT_EQ(server->takeLines(), std::vector<std::string>{"RETR 1"});
    server->serverSends("+OK\r\nSubject: slow\r\n");
    for (const auto& command : commands) {
        window.lblMsg->clear();
        command();
        EXPECT_EQ(note(), QStringLiteral("Downloading Message, Please Wait"));
        EXPECT_TRUE(server->takeLines().empty());
    }
    server->serverSends("\r\nbody\r\n.\r\n");
    EXPECT_EQ(status(), QStringLiteral("Message # 1 of 3 Complete"));
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(SessionConversation, ResetListsTheMailboxAgain) {
    listThree();
    window.lstHeaders->setCurrentRow(0);
    window.cmdDelete->click();
    ASSERT_EQ(PlayConversation(*server, {"C: DELE 1", "S: +OK"}), "");
    EXPECT_EQ(window.lstHeaders->item(0)->text().at(38), QLatin1Char('D'));
    window.cmdReset->click();
    ASSERT_EQ(PlayConversation(*server, Join({{"C: RSET", "S: +OK"}, kList3, kTop1, kTop2, kTop3})),
              "");
    EXPECT_EQ(rows(), (QStringList{kRow1, kRow2, kRow3}));
    EXPECT_EQ(status(), QStringLiteral("3 Messages listed"));
}

TEST_F(SessionConversation, ResetWhileDisconnected) {
    dialogs.answer(MsgAnswer::Ok);
    window.cmdReset->click();
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{QStringLiteral("Command invalid while disconnected.")});
}

TEST_F(SessionConversation, KeepAliveSendsNoopAfterSixtyIdleTicks) {
    listThree();
    tick(59);
    EXPECT_TRUE(server->takeLines().empty());
    tick();
    EXPECT_EQ(server->takeLines(), std::vector<std::string>{"NOOP"});
    server->serverSends("+OK\r\n");
    tick(59);
    EXPECT_TRUE(server->takeLines().empty());
    // A command resets the count.
    window.lstHeaders->setCurrentRow(0);
    session().lstHeaders_DblClick();
    server->takeLines();
    server->serverSends("+OK\r\nSubject: a\r\n\r\nb\r\n.\r\n");
    tick(59);
    EXPECT_TRUE(server->takeLines().empty());
    tick();
    EXPECT_EQ(server->takeLines(), std::vector<std::string>{"NOOP"});
    server->serverSends("+OK\r\n");
    // With "Keep Alive" off, the line stays quiet.
    window.mnKeepAlive->setChecked(false);
    tick(200);
    EXPECT_TRUE(server->takeLines().empty());
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(SessionConversation, DisconnectedBlinksWhileClosed) {
    QStringList seen;
    for (int i = 0; i < 4; ++i) {
        tick();
        seen << note();
    }
    EXPECT_EQ(seen, (QStringList{QStringLiteral("Disconnected"), QString(),
                                 QStringLiteral("Disconnected"), QString()}));
    getMail();
    EXPECT_EQ(note(), QString());
}

TEST_F(SessionConversation, ConnectWaitsForTheOldSocketToClose) {
    server->holdClose(true);
    getMail();
    // Still connected: the old connection must finish closing before the new one is made.
    window.cmdConnect->setText(QStringLiteral("Get Mail"));
    window.cmdConnect->click();
    EXPECT_EQ(server->connects, 1);
    EXPECT_EQ(status(), QStringLiteral("Attempting connection with mail.example.test ..."));
    server->release();
    EXPECT_EQ(server->connects, 2);
    EXPECT_EQ(status(), QStringLiteral("Attempting connection with mail.example.test ..."));
}

TEST_F(SessionConversation, OversizedReplyEndsTheSession) {
    listThree();
    session().setMaxReplyBytes(4096);
    window.lstHeaders->setCurrentRow(0);
    session().lstHeaders_DblClick();
    server->takeLines();
    server->serverSends("+OK\r\n");
    const std::string line(100, 'x');
    for (int i = 0; i < 50; ++i) {
        server->serverSends(line + "\r\n");
    }
    EXPECT_EQ(status(), QStringLiteral("Error: Server reply too large, connection closed"));
    EXPECT_EQ(window.cmdConnect->text(), QStringLiteral("Get Mail"));
    EXPECT_EQ(server->state(), platform::Transport::State::Closed);
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
    // An endless status line is cut off the same way.
    getMail();
    server->serverSends(std::string(5000, '+'));
    EXPECT_EQ(server->state(), platform::Transport::State::Closed);
}

TEST_F(SessionConversation, LargeMessageInSmallPieces) {
    listThree();
    window.lstHeaders->setCurrentRow(0);
    session().lstHeaders_DblClick();
    server->takeLines();
    std::string message = "+OK\r\nSubject: big\r\n\r\n";
    const std::string line = std::string(76, 'a') + "\r\n";
    while (message.size() < (4u << 20)) {
        message += line;
    }
    message += ".\r\n";
    server->serverSendsInPieces(message, 4096);
    EXPECT_EQ(status(), QStringLiteral("Message # 1 of 3 Complete"));
    EXPECT_EQ(window.Session.ReceiveBuffer, message); // nothing to unstuff
}

TEST_F(SessionConversation, StatusLineClickCopiesIt) {
    listThree();
    QTest::mouseClick(window.lblStatus, Qt::LeftButton);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("3 Messages listed"));
}

TEST_F(SessionConversation, LeavingSendsNoQuit) {
    listThree();
    window.lstHeaders->setCurrentRow(0);
    window.cmdDelete->click();
    ASSERT_EQ(PlayConversation(*server, {"C: DELE 1", "S: +OK"}), "");
    window.close();
    EXPECT_TRUE(server->takeLines().empty());
    EXPECT_EQ(server->state(), platform::Transport::State::Closed);
}

TEST_F(SessionConversation, ExitClosesWithoutQuit) {
    listThree();
    window.show();
    window.mnExit->trigger();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(server->takeLines().empty());
    EXPECT_EQ(server->state(), platform::Transport::State::Closed);
}

TEST_F(SessionConversation, MissingSetupIsAskedFor) {
    window.Account.POPAddress.clear();
    window.Account.EmailPass.clear();
    // The setup dialog opens modally (twice); close it each time it shows.
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) {
                d->reject();
            }
        }
    });
    closer.start();
    dialogs.allowUnscriptedOk();
    window.cmdConnect->click();
    EXPECT_EQ(dialogs.messageTexts().value(0), QStringLiteral("Please enter password"));
    EXPECT_EQ(dialogs.messageTexts().value(1),
              QStringLiteral("Setup not complete. Please fill all fields."));
    EXPECT_EQ(server->connects, 0);
}
