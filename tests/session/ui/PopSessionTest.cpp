// What the window shows of a POP3 session: status texts, rows, the connect button, the
// pointer and message boxes. The protocol itself is tested on the engine.
#include "SessionTestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

using namespace sessiontest;
using Closed = platform::Transport::State;

TEST_F(SessionTest, AWholeSessionInAnyPieces) {
    for (const std::size_t piece : {0, 1, 7}) {
        QStringList seen;
        window.cmdConnect->click();
        seen << status() << QString::number(busy());
        server->accept();
        seen << status() << caption() << window.cmdConnect->toolTip();
        const PopScript script =
            Join({kLogin,
                  kList3,
                  {Act([&] {
                       seen << rows() << status() << QString::number(busy());
                       window.lstHeaders->setCurrentRow(1);
                       session().lstHeaders_DblClick();
                       seen << status();
                   }),
                   "C: RETR 2", "S: +OK 2000 octets", "S: From: Carol <c@x>",
                   "S: Subject: Re: offer", "S: ", "S: ..hidden line", "S: .", Act([&] {
                       seen << status() << window.lblFrom->text() << window.lblSubject->text();
                       window.lstHeaders->setCurrentRow(0);
                       window.cmdDelete->click();
                   }),
                   "C: DELE 1", "S: +OK Marked to be deleted.", Act([&] {
                       seen << status(); // the marks: see the retrieval tests
                       window.cmdConnect->click();
                   }),
                   "C: QUIT", "S: +OK Logging out, messages deleted."}});
        ASSERT_EQ(PlayConversation(*server, script, piece), "");
        seen << status() << caption();
        EXPECT_EQ(seen,
                  (QStringList{"Attempting connection with mail.example.test ...", "1", "Connected",
                               "Disconnect", "Disconnect from server and delete messages marked D",
                               kRow1, kRow2, kRow3, "3 Messages listed", "0", "Downloading message",
                               "Message # 2 of 3 Complete", "Carol <c@x>", "Re: offer",
                               "Message # 1 of 3 marked deleted", "Disconnected", "Get Mail"}));
        EXPECT_TRUE(window.txtMsg->toPlainText().contains(QStringLiteral("\n.hidden line")));
        EXPECT_TRUE(boxes().isEmpty());
    }
}

// Replies that open a box, and where the window stands after it (every refusal's box is in
// the core's session conversations).
TEST_F(SessionTest, RepliesThatOpenABox) {
    const struct {
        PopScript script;
        QStringList boxes;
        QString status, caption;
    } cases[] = {
        {{"S: +OK", "C: CAPA", "S: -ERR", "C: USER alice", "S: -ERR no such user", "C: QUIT",
          "S: +OK Logging out."},
         {"Invalid Username. Try Again"},
         "Disconnected",
         "Get Mail"},
        {{"S: +OK", "C: CAPA", "S: -ERR", "C: USER alice", "S: +OK", "C: PASS secret",
          "S: -ERR [AUTH] failed.", "C: QUIT", "S: +OK"},
         {"Invalid Username or Password. Try Again"},
         "Disconnected",
         "Get Mail"},
        {Join({kLogin, {"C: LIST", "S: -ERR locked"}}),
         {"Error from LIST command"},
         "Retrieving list",
         "Disconnect"},
    };
    for (const auto& c : cases) {
        dialogs.clear();
        getMail();
        window.lstHeaders->setCurrentRow(0);
        ASSERT_EQ(PlayConversation(*server, c.script), "");
        EXPECT_EQ(boxes(), c.boxes);
        EXPECT_EQ(status(), c.status);
        EXPECT_EQ(caption(), c.caption);
        EXPECT_FALSE(busy());
        EXPECT_TRUE(window.cmdConnect->isEnabled());
        EXPECT_TRUE(rows().isEmpty() || rows().value(0) == kRow1); // no mark
        server->serverCloses();
    }
}

namespace {

// While each message box is open, as if the user took a while to press OK, the server sends
// the next of `replies`: it must still be read. No box may open inside the data handler.
class SlowBoxes final : public platform::Dialogs {
public:
    SlowBoxes(ScriptedDialogs& scripted, FakeTransport& server, std::vector<std::string> replies)
        : scripted(scripted), server(server), replies(std::move(replies)) {
        platform::installDialogs(this);
    }
    ~SlowBoxes() override { platform::installDialogs(&scripted); }
    platform::MsgAnswer messageBox(QWidget* p, const QString& text, platform::MsgButtons b,
                                   platform::MsgIcon i, const QString& t) override {
        EXPECT_FALSE(server.reading()) << "a box inside the data handler";
        if (sent < replies.size()) {
            server.serverSends(replies[sent++]);
        }
        return scripted.messageBox(p, text, b, i, t);
    }
    std::optional<QString> openFileName(QWidget*, const platform::FileDialogRequest&) override {
        return {};
    }
    std::optional<QString> saveFileName(QWidget*, const platform::FileDialogRequest&) override {
        return {};
    }
    std::optional<QString> folderName(QWidget*, const platform::FileDialogRequest&) override {
        return {};
    }
    bool printerDialog(QWidget*, QPrinter&) override { return false; }
    QAction* popupMenu(QMenu&, const QPoint&) override { return nullptr; }

private:
    ScriptedDialogs& scripted;
    FakeTransport& server;
    std::vector<std::string> replies;
    std::size_t sent = 0;
};

} // namespace

// The three ways a session used to stall for good: a reply arriving while a box is open.
TEST_F(SessionTest, RepliesArrivingDuringABoxAreRead) {
    const std::string top = "+OK\r\nSubject: s\r\n\r\n.\r\n";
    const struct {
        PopScript script;
        std::vector<std::string> duringBoxes;
        QString status;
    } cases[] = {
        {{"S: junk", "C: CAPA", "S: -ERR", "C: USER alice"}, {"+OK ready\r\n"}, "Sending Username"},
        {{"S: +OK", "C: CAPA", "S: -ERR", "C: USER alice", "S: +OK", "S: junk", "C: PASS secret",
          "C: LIST", "S: +OK", "S: ."},
         {"+OK Logged in.\r\n"},
         "No Message"},
        {Join({kLogin,
               {"C: LIST", "S: +OK", "S: 1 1", "S: 2 1", "S: 3 1", "S: .", "C: TOP 1 10", "S: +OK",
                "S: .", "S: ", "C: TOP 2 10", "C: TOP 3 10", "S: +OK", "S: ."}}),
         {top + "\r\n"}, // the second stray line goes to the debug buffer
         "3 Messages listed"},
    };
    for (const auto& c : cases) {
        dialogs.clear();
        SlowBoxes slow(dialogs, *server, c.duringBoxes);
        getMail();
        ASSERT_EQ(PlayConversation(*server, c.script), "");
        EXPECT_EQ(boxes(), QStringList(c.duringBoxes.size(), "Response without command"));
        EXPECT_EQ(status(), c.status);
        server->serverCloses();
    }
}

TEST_F(SessionTest, DisconnectEndsTheSessionAtAnyStage) {
    window.cmdConnect->click();
    window.cmdConnect->click(); // during the attempt: it ends
    EXPECT_EQ(std::pair(server->connects, server->state()), std::pair(1, Closed::Closed));
    EXPECT_FALSE(busy());
    getMail(); // before the greeting: the connection just closes
    window.cmdConnect->click();
    EXPECT_EQ(server->state(), Closed::Closed);
    EXPECT_EQ(status(), QStringLiteral("Disconnected"));
    listThree(); // QUIT unanswered
    window.cmdConnect->click();
    EXPECT_EQ(server->takeLines(), std::vector<std::string>{"QUIT"});
    EXPECT_TRUE(window.cmdConnect->isEnabled()); // a second press ends it at once
    window.cmdConnect->click();
    EXPECT_EQ(status(), QStringLiteral("QUIT command not completed"));
    EXPECT_EQ(server->state(), Closed::Closed);
    EXPECT_TRUE(window.cmdConnect->isEnabled());
    // During the listing: QUIT waits behind the TOP in flight, no further TOP goes out.
    getMail();
    ASSERT_EQ(PlayConversation(*server, Join({kLogin,
                                              PopScript(kList3.begin(), kList3.begin() + 7),
                                              {Act([&] { window.cmdConnect->click(); }), "C: QUIT"},
                                              PopScript(kList3.begin() + 7, kList3.begin() + 14),
                                              {"S: +OK Bye"}})),
              "");
    EXPECT_EQ(rows(), QStringList{kRow1});
    EXPECT_EQ(caption(), QStringLiteral("Get Mail"));
    EXPECT_FALSE(busy());
}

// A minute without the reply awaited, or a reply past the cap, ends the session.
TEST_F(SessionTest, ASilentServerOrAnOversizedReplyEndsTheSession) {
    const std::pair<std::function<void()>, QString> cases[] = {
        {[&] { session().ReplyTimeout(); },
         "Error: No reply from server for 60 seconds, connection closed"},
        {[&] { server->serverSends("+OK\r\n" + std::string(5000, 'x')); },
         "Error: Server reply too large, connection closed"},
    };
    session().setMaxReplyBytes(4096);
    EXPECT_EQ(session().findChild<QTimer*>("silenceClock")->interval(), 1000); // a second a tick
    for (const auto& [end, text] : cases) {
        listThree();
        session().ReplyTimeout(); // nothing awaited: an idle session stays
        EXPECT_EQ(caption(), QStringLiteral("Disconnect"));
        window.lstHeaders->setCurrentRow(0);
        session().lstHeaders_DblClick();
        end();
        EXPECT_EQ(server->state(), Closed::Closed);
        EXPECT_FALSE(busy());
        tick(2);
        EXPECT_EQ(status(), text);
        EXPECT_EQ(caption(), QStringLiteral("Get Mail"));
        server->takeLines();
    }
}

// The server goes away at each step, or the socket fails: the window comes back to "Get
// Mail" with a normal pointer, and the next "Get Mail" works from scratch.
TEST_F(SessionTest, TheServerGoingAwayAtAnyStep) {
    const PopScript full = Join({kLogin, kList3});
    const std::size_t listEnd = kLogin.size() + 5; // the "." of the LIST reply
    for (std::size_t stop = 0; stop < full.size(); ++stop) {
        if (full[stop].kind != PopStep::Kind::Server) {
            continue;
        }
        getMail();
        ASSERT_EQ(PlayConversation(*server, PopScript(full.begin(), full.begin() + long(stop))),
                  "");
        const int listed = session().replyInFlight() ? session().headers().size() : -1;
        server->serverCloses();
        tick();
        // Cut short during the listing, the status says how far it came.
        const QString said =
            listed < 0 ? "Disconnected"
            : stop <= listEnd
                ? "Error: The server closed the connection before the list was complete"
                : QStringLiteral("Error: The server closed the connection: %1 of 3 "
                                 "messages listed")
                      .arg(listed);
        EXPECT_EQ(QStringList({caption(), status(), note()}),
                  QStringList({"Get Mail", said, "Disconnected"}));
        EXPECT_FALSE(busy());
        EXPECT_FALSE(session().replyInFlight());
        server->takeLines();
    }
    window.cmdConnect->click();
    server->fail(10061, QStringLiteral("Connection refused"));
    tick(2);
    EXPECT_EQ(boxes(), QStringList{"sckPOP Error [10061]: Connection refused"});
    EXPECT_EQ(status(), QStringLiteral("Error: Server mail.example.test refused the connection"));
    EXPECT_FALSE(busy());
    listThree();
}

TEST_F(SessionTest, SmallerCommands) {
    window.cmdReset->click();
    EXPECT_EQ(boxes(), QStringList{"Command invalid while disconnected."});
    QStringList notes;
    for (int i = 0; i < 4; ++i) {
        tick();
        notes << note();
    }
    EXPECT_EQ(notes, (QStringList{"Disconnected", "", "Disconnected", ""}));
    listThree();
    tick(60);
    EXPECT_EQ(server->takeLines(), std::vector<std::string>{"NOOP"});
    server->serverSends("+OK\r\n");
    window.mnKeepAlive->setChecked(false);
    tick(200);
    EXPECT_TRUE(server->takeLines().empty());
    QTest::mouseClick(window.lblStatus, Qt::LeftButton);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("3 Messages listed"));
    window.show();
    window.mnExit->trigger(); // leaving sends no QUIT
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(server->takeLines().empty());
    EXPECT_EQ(server->state(), Closed::Closed);
}

TEST_F(SessionTest, ConnectWaitsForTheOldSocketToClose) {
    server->holdClose(true);
    getMail();
    session().CloseSession(); // the socket takes its time to close
    window.cmdConnect->click();
    EXPECT_EQ(server->connects, 1);
    server->release();
    EXPECT_EQ(server->connects, 2);
    EXPECT_EQ(status(), QStringLiteral("Attempting connection with mail.example.test ..."));
}

TEST_F(SessionTest, MissingSetupIsAskedFor) {
    int setups = 0, passwords = 0;
    AccountRecord account;
    PopSession s(
        {&window, window.cmdConnect, window.cmdReset, window.cmdView, window.cmdDelete,
         window.lstHeaders, window.lblStatus, window.lblMsg, window.mnKeepAlive,
         window.mnEnableDebug, window.mnFilterSpam, window.mnConfirmDelete, window.mnExit,
         window.mnShowBuffer},
        account, [&] { ++setups; }, [&] { ++passwords; });
    s.cmdConnect_Click(); // nothing set up: the setup comes first, without a box
    EXPECT_EQ(std::pair(setups, passwords), std::pair(1, 0));
    account.POPAddress = "mail.example.test";
    s.cmdConnect_Click();
    EXPECT_EQ(boxes(), (QStringList{"Please enter password",
                                    "Setup not complete. Please fill all fields."}));
    EXPECT_EQ(std::pair(setups, passwords), std::pair(2, 1));
    EXPECT_EQ(server->connects, 0);
}

TEST_F(SessionTest, AnUnreadableAddressWaitsForNothing) {
    window.Account.POPAddress = "mail.example.test:99999";
    window.cmdConnect->click();
    session().ReplyTimeout(); // nothing to wait for
    EXPECT_EQ(boxes().last(), "Error in cmdConnect_Click():Invalid server address " +
                                  QString::fromStdString(window.Account.POPAddress));
    EXPECT_EQ(status(), QStringLiteral("Attempting connection with mail.example.test:99999 ..."));
}
