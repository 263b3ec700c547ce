// What the window shows of a POP3 session: status texts, rows, the connect button, the
// pointer and message boxes, with scripted server lines through the fake transport.
#include "SessionTestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QTest>

using namespace sessiontest;

namespace {

using SessionConversation = SessionTest;

const PopScript kRetr2 = {
    "C: RETR 2",
    "S: +OK 2000 octets",
    "S: From: Carol Example <carol@example.test>",
    "S: Subject: Re: [spam] offer",
    "S: ",
    "S: ..hidden line",
    "S: ...",
    "S: last line",
    "S: .",
};

} // namespace

TEST_F(SessionConversation, AWholeSessionInAnyPieces) {
    for (const std::size_t piece : {0, 1, 7}) {
        SCOPED_TRACE(piece);
        dialogs.clear();
        QStringList seen;
        auto see = [&] { seen << status(); };
        getMail();
        seen << status() << caption() << window.cmdConnect->toolTip();
        const PopScript script = Join({
            kLogin,
            kList3,
            {Act([&] {
                seen << rows() << status() << QString::number(busy());
                window.lstHeaders->setCurrentRow(1);
                session().lstHeaders_DblClick();
                see();
            })},
            kRetr2,
            {Act([&] {
                 see();
                 seen << window.lblFrom->text() << window.lblSubject->text();
                 window.lstHeaders->setCurrentRow(0);
                 window.cmdDelete->click();
             }),
             "C: DELE 1", "S: +OK Marked to be deleted.", Act([&] {
                 seen << rows() << status();
                 window.cmdConnect->click();
             }),
             "C: QUIT", "S: +OK Logging out, messages deleted."},
        });
        ASSERT_EQ(PlayConversation(*server, script, piece), "");
        see();
        QString d1 = kRow1, r2 = kRow2;
        d1[38] = QLatin1Char('D');
        r2[38] = QLatin1Char('R');
        EXPECT_EQ(seen,
                  (QStringList{"Connected", "Disconnect",
                               "Disconnect from server and delete messages marked D", kRow1, kRow2,
                               kRow3, "3 Messages listed", "0", "Downloading message",
                               "Message # 2 of 3 Complete", "Carol Example <carol@example.test>",
                               "Re: [spam] offer", d1, r2, kRow3, "Message # 1 of 3 marked deleted",
                               "Disconnected"}));
        EXPECT_EQ(window.Session.ReceiveBuffer,
                  "+OK 2000 octets\r\nFrom: Carol Example <carol@example.test>\r\nSubject: Re: "
                  "[spam] offer\r\n\r\n.hidden line\r\n..\r\nlast line\r\n.\r\n");
        EXPECT_TRUE(window.txtMsg->toPlainText().contains(QStringLiteral("\n.hidden line\n")));
        EXPECT_EQ(caption(), QStringLiteral("Get Mail"));
        EXPECT_TRUE(boxes().isEmpty()) << boxes().join('|').toStdString();
    }
}

TEST_F(SessionConversation, ConnectsToTheAccountsServerAndPort) {
    const struct {
        std::string address;
        QString host;
        std::uint16_t port;
    } cases[] = {{"mail.example.test", "mail.example.test", 110},
                 {"mail.example.test:1110", "mail.example.test", 1110},
                 {"[::1]:2110", "::1", 2110}};
    for (const auto& c : cases) {
        window.Account.POPAddress = c.address;
        window.cmdConnect->click();
        EXPECT_EQ(server->host, c.host);
        EXPECT_EQ(server->port, c.port);
        EXPECT_EQ(status(),
                  "Attempting connection with " + QString::fromStdString(c.address) + " ...");
        EXPECT_TRUE(busy());
        server->serverCloses();
    }
}

// Replies that open a box, and where the session stands after it.
TEST_F(SessionConversation, RepliesThatOpenABox) {
    const struct {
        const char* name;
        PopScript script;
        QStringList boxes;
        QString status, caption;
    } cases[] = {
        {"user refused",
         {"S: +OK", "C: USER alice", "S: -ERR no such user", "C: QUIT", "S: +OK Logging out."},
         {"Invalid Username. Try Again"},
         "Disconnected",
         "Get Mail"},
        {"password refused",
         {"S: +OK", "C: USER alice", "S: +OK", "C: PASS secret",
          "S: -ERR [AUTH] Authentication failed.", "C: QUIT", "S: +OK Logging out."},
         {"Invalid Username or Password. Try Again"},
         "Disconnected",
         "Get Mail"},
        {"refusing everything",
         {"S: +OK", "C: USER alice", "S: -ERR", "C: QUIT", "S: -ERR"},
         {"Invalid Username. Try Again", "Response without command"},
         "Sending Username",
         "Disconnect"},
        {"error to LIST",
         Join({kLogin, {"C: LIST", "S: -ERR mailbox locked"}}),
         {"Error from LIST command"},
         "Retrieving list",
         "Disconnect"},
        {"error as greeting",
         {"S: -ERR busy"},
         {"Response without command"},
         "Connected",
         "Disconnect"},
        {"junk before the greeting",
         Join({{"S: * hello", "S: more"}, kLogin, {"C: LIST", "S: +OK", "S: ."}}),
         {"Response without command"},
         "No Message",
         "Disconnect"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.clear();
        getMail();
        ASSERT_EQ(PlayConversation(*server, c.script), "");
        EXPECT_EQ(boxes(), c.boxes);
        EXPECT_EQ(status(), c.status);
        EXPECT_EQ(caption(), c.caption);
        EXPECT_FALSE(busy());
        EXPECT_TRUE(window.cmdConnect->isEnabled());
        EXPECT_EQ(window.lstHeaders->count(), 0);
        server->serverCloses();
    }
}

// A box is never opened inside the data handler, and what arrives while it is open is read
// after it: the three ways a session used to stall for good.
TEST_F(SessionConversation, RepliesArrivingDuringABoxAreRead) {
    const std::string top = "+OK\r\nSubject: s\r\n\r\n.\r\n";
    const struct {
        const char* name;
        PopScript before;
        std::vector<std::string> duringBoxes;
        PopScript after;
        QString status;
    } cases[] = {
        {"junk, then the greeting",
         {"S: junk"},
         {"+OK ready\r\n"},
         {"C: USER alice"},
         "Sending Username"},
        {"junk after the answer to USER",
         {"S: +OK", "C: USER alice", "S: +OK", "S: junk", "C: PASS secret"},
         {"+OK Logged in.\r\n"},
         {"C: LIST", "S: +OK", "S: ."},
         "No Message"},
        {"a stray line after each TOP reply",
         Join({kLogin,
               {"C: LIST", "S: +OK", "S: 1 1", "S: 2 1", "S: 3 1", "S: .", "C: TOP 1 10", "S: +OK",
                "S: Subject: s", "S: ", "S: .", "S: "}}),
         {top + "\r\n", top},
         {"C: TOP 2 10", "C: TOP 3 10"},
         "3 Messages listed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.clear();
        std::vector<std::function<void()>> steps;
        for (const std::string& bytes : c.duringBoxes) {
            steps.push_back([this, bytes] {
                EXPECT_FALSE(server->reading()) << "a box inside the data handler";
                server->serverSends(bytes);
            });
        }
        SlowBoxes slow(dialogs, steps);
        getMail();
        ASSERT_EQ(PlayConversation(*server, Join({c.before, c.after})), "");
        EXPECT_EQ(boxes(), QStringList(c.duringBoxes.size(), "Response without command"));
        EXPECT_EQ(status(), c.status);
        server->serverCloses();
    }
}

TEST_F(SessionConversation, ErrorRepliesAfterTheListingKeepTheSession) {
    const struct {
        std::function<void()> command;
        std::string sent;
        QString box;
    } cases[] = {
        {[&] { session().lstHeaders_DblClick(); }, "RETR 1",
         "Failed to retrieve message. Try relogin"},
        {[&] { window.cmdDelete->click(); }, "DELE 1", "Unable to delete message. Try again"},
        {[&] { window.cmdReset->click(); }, "RSET", "Mailbox Reset Failed. Try Again"},
    };
    listThree();
    for (const auto& c : cases) {
        dialogs.clear();
        window.lstHeaders->setCurrentRow(0);
        c.command();
        ASSERT_EQ(PlayConversation(*server, {PopStep("C: " + c.sent), "S: -ERR no"}), "");
        EXPECT_EQ(boxes(), QStringList{c.box});
        EXPECT_EQ(rows().value(0), kRow1); // no mark
        EXPECT_EQ(caption(), QStringLiteral("Disconnect"));
    }
}

TEST_F(SessionConversation, DisconnectEndsTheSessionAtAnyStage) {
    // Before the greeting: the connection just closes.
    getMail();
    window.cmdConnect->click();
    EXPECT_EQ(server->state(), platform::Transport::State::Closed);
    EXPECT_EQ(status(), QStringLiteral("Disconnected"));
    // QUIT unanswered: the account menu's way out (a direct call; the button is disabled).
    listThree();
    window.cmdConnect->click();
    EXPECT_EQ(server->takeLines(), std::vector<std::string>{"QUIT"});
    EXPECT_FALSE(window.cmdConnect->isEnabled());
    session().cmdConnect_Click();
    EXPECT_EQ(status(), QStringLiteral("QUIT command not completed"));
    EXPECT_EQ(server->state(), platform::Transport::State::Closed);
    EXPECT_EQ(caption(), QStringLiteral("Get Mail"));
    EXPECT_TRUE(window.cmdConnect->isEnabled());
    // During the listing: QUIT waits behind the TOP in flight, and no further TOP goes out.
    getMail();
    ASSERT_EQ(
        PlayConversation(*server, Join({kLogin, PopScript(kList3.begin(), kList3.begin() + 7)})),
        "");
    window.cmdConnect->click();
    ASSERT_EQ(PlayConversation(*server, Join({{"C: QUIT"},
                                              PopScript(kList3.begin() + 7, kList3.begin() + 14),
                                              {"S: +OK Bye"}})),
              "");
    EXPECT_EQ(rows(), QStringList{kRow1});
    EXPECT_EQ(status(), QStringLiteral("Disconnected"));
    EXPECT_FALSE(busy());
}

TEST_F(SessionConversation, ASilentServerEndsTheSessionAfterAMinute) {
    listThree();
    session().ReplyTimeout(); // nothing awaited: an idle session stays
    EXPECT_EQ(caption(), QStringLiteral("Disconnect"));
    window.lstHeaders->setCurrentRow(0);
    session().lstHeaders_DblClick();
    session().ReplyTimeout();
    EXPECT_EQ(status(),
              QStringLiteral("Error: No reply from server for 60 seconds, connection closed"));
    EXPECT_EQ(server->state(), platform::Transport::State::Closed);
    EXPECT_EQ(caption(), QStringLiteral("Get Mail"));
    EXPECT_FALSE(busy());
    tick(2);
    EXPECT_EQ(status(),
              QStringLiteral("Error: No reply from server for 60 seconds, connection closed"));
}

TEST_F(SessionConversation, ListingNumbersAbove32767) {
    getMail();
    ASSERT_EQ(PlayConversation(*server, Join({kLogin,
                                              {"C: LIST", "S: +OK", "S: 1 120", "S: 2 2000",
                                               "S: 40000 7", "S: .", "C: TOP 1 10", "S: +OK",
                                               "S: .", "C: TOP 2 10", "S: +OK", "S: ."}})),
              "");
    EXPECT_EQ(note(), QStringLiteral("Not every message could be listed"));
    EXPECT_EQ(status(), QStringLiteral("2 Messages listed"));
    EXPECT_EQ(rows().size(), 2);
}

// The server goes away after each step: the window comes back to "Get Mail", the pointer to
// normal, and the next "Get Mail" works from scratch.
TEST_F(SessionConversation, ServerClosingAtAnyStepLeavesAWorkingWindow) {
    const PopScript full = Join({kLogin, kList3});
    for (std::size_t stop = 0; stop < full.size(); ++stop) {
        if (full[stop].kind != PopStep::Kind::Server) {
            continue;
        }
        SCOPED_TRACE(stop);
        getMail();
        ASSERT_EQ(PlayConversation(*server, PopScript(full.begin(), full.begin() + long(stop))),
                  "");
        server->serverCloses();
        EXPECT_EQ(caption(), QStringLiteral("Get Mail"));
        EXPECT_EQ(status(), QStringLiteral("Disconnected"));
        tick();
        EXPECT_EQ(note(), QStringLiteral("Disconnected"));
        EXPECT_FALSE(busy());
        EXPECT_FALSE(session().replyInFlight());
        server->takeLines();
    }
    getMail();
    ASSERT_EQ(PlayConversation(*server, full), "");
    EXPECT_EQ(rows(), (QStringList{kRow1, kRow2, kRow3}));
    EXPECT_TRUE(boxes().isEmpty());
}

TEST_F(SessionConversation, SocketErrorIsShownAndKeptInTheStatus) {
    window.cmdConnect->click();
    server->fail(10061, QStringLiteral("Connection refused"));
    EXPECT_EQ(boxes(), QStringList{"sckPOP Error [10061]: Connection refused"});
    EXPECT_EQ(status(), QStringLiteral("Error: Unexpectedly disconnected from server"));
    EXPECT_EQ(caption(), QStringLiteral("Get Mail"));
    EXPECT_FALSE(busy());
    tick(2);
    EXPECT_EQ(status(), QStringLiteral("Error: Unexpectedly disconnected from server"));
}

TEST_F(SessionConversation, CommandsWaitWhileAReplyIsInFlight) {
    getMail();
    ASSERT_EQ(
        PlayConversation(*server, Join({kLogin, PopScript(kList3.begin(), kList3.begin() + 7)})),
        "");
    window.lstHeaders->setCurrentRow(0);
    const std::function<void()> commands[] = {
        [&] { session().lstHeaders_DblClick(); }, [&] { window.cmdView->click(); },
        [&] { window.cmdDelete->click(); }, [&] { window.cmdReset->click(); }};
    auto allRefused = [&](const QString& text) {
        for (const auto& command : commands) {
            window.lblMsg->clear();
            command();
            EXPECT_EQ(note(), text);
            EXPECT_TRUE(server->takeLines().empty());
        }
    };
    allRefused(QStringLiteral("Downloading List, Please Wait"));
    tick();
    EXPECT_EQ(note(), QString());
    ASSERT_EQ(PlayConversation(*server, PopScript(kList3.begin() + 7, kList3.end())), "");
    window.lstHeaders->setCurrentRow(0);
    session().lstHeaders_DblClick();
    EXPECT_EQ(server->takeLines(), std::vector<std::string>{"RETR 1"});
    server->serverSends("+OK\r\nSubject: slow\r\n");
    allRefused(QStringLiteral("Downloading Message, Please Wait"));
    server->serverSends("\r\nbody\r\n.\r\n");
    EXPECT_EQ(status(), QStringLiteral("Message # 1 of 3 Complete"));
}

TEST_F(SessionConversation, ResetListsTheMailboxAgain) {
    window.cmdReset->click();
    EXPECT_EQ(boxes(), QStringList{"Command invalid while disconnected."});
    listThree();
    window.lstHeaders->setCurrentRow(0);
    window.cmdDelete->click();
    ASSERT_EQ(PlayConversation(*server, {"C: DELE 1", "S: +OK"}), "");
    EXPECT_EQ(rows().value(0).at(38), QLatin1Char('D'));
    window.cmdReset->click();
    ASSERT_EQ(PlayConversation(*server, Join({{"C: RSET", "S: +OK"}, kList3})), "");
    EXPECT_EQ(rows(), (QStringList{kRow1, kRow2, kRow3}));
}

TEST_F(SessionConversation, KeepAliveAndTheDisconnectedNote) {
    QStringList notes;
    for (int i = 0; i < 4; ++i) {
        tick();
        notes << note();
    }
    EXPECT_EQ(notes, (QStringList{"Disconnected", "", "Disconnected", ""}));
    listThree();
    tick(59);
    EXPECT_TRUE(server->takeLines().empty());
    tick();
    EXPECT_EQ(server->takeLines(), std::vector<std::string>{"NOOP"});
    server->serverSends("+OK\r\n");
    window.mnKeepAlive->setChecked(false);
    tick(200);
    EXPECT_TRUE(server->takeLines().empty());
}

TEST_F(SessionConversation, ConnectWaitsForTheOldSocketToClose) {
    server->holdClose(true);
    getMail();
    session().CloseSession(); // the socket takes its time to close
    window.cmdConnect->click();
    EXPECT_EQ(server->connects, 1);
    server->release();
    EXPECT_EQ(server->connects, 2);
    EXPECT_EQ(status(), QStringLiteral("Attempting connection with mail.example.test ..."));
}

TEST_F(SessionConversation, OversizedReplyEndsTheSession) {
    listThree();
    session().setMaxReplyBytes(4096);
    window.lstHeaders->setCurrentRow(0);
    session().lstHeaders_DblClick();
    server->serverSends("+OK\r\n" + std::string(5000, 'x'));
    EXPECT_EQ(status(), QStringLiteral("Error: Server reply too large, connection closed"));
    EXPECT_EQ(server->state(), platform::Transport::State::Closed);
    EXPECT_FALSE(busy());
}

TEST_F(SessionConversation, StatusClickCopiesAndLeavingSendsNoQuit) {
    listThree();
    QTest::mouseClick(window.lblStatus, Qt::LeftButton);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("3 Messages listed"));
    window.show();
    window.mnExit->trigger();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(server->takeLines().empty());
    EXPECT_EQ(server->state(), platform::Transport::State::Closed);
}

TEST_F(SessionConversation, MissingSetupIsAskedFor) {
    int setups = 0, passwords = 0;
    AccountRecord account;
    PopSession s(
        PopSession::Controls{&window, window.cmdConnect, window.cmdReset, window.cmdView,
                             window.cmdDelete, window.lstHeaders, window.lblStatus, window.lblMsg,
                             window.mnKeepAlive, window.mnEnableDebug, window.mnFilterSpam,
                             window.mnConfirmDelete, window.mnExit, window.mnShowBuffer},
        account, [&] { ++setups; }, [&] { ++passwords; });
    s.cmdConnect_Click();
    EXPECT_EQ(boxes(), (QStringList{"Please enter password",
                                    "Setup not complete. Please fill all fields."}));
    EXPECT_EQ(setups, 1);
    EXPECT_EQ(passwords, 1);
    EXPECT_EQ(server->connects, 0);
}
