// The reader window against a real Dovecot POP3 server on loopback.
#include "platform/ClickableLabel.h"
#include "reader/ui/frmPOP.h"
#include "session/ui/PopSession.h"
#include "support/DovecotServer.h"
#include "support/ScriptedDialogs.h"
#include "support/SessionWait.h"
#include "support/TempSettings.h"

#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

QString data(const char* name) {
    return QStringLiteral(CORVANE_TEST_DATA "/pop3/") + QLatin1String(name);
}

} // namespace

class PopPeerTest : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        dialogs.allowUnscriptedOk();
        open();
    }

    void TearDown() override {
        window.reset();
        server.stop();
    }

    void open() {
        window = std::make_unique<frmPOP>();
        window->Account.POPAddress = server.address().toStdString();
        window->Account.EmailUsername = "alice";
        window->Account.EmailPass = "secret";
        window->session().openHeaderCache(cacheFile);
    }

    bool waitUntil(const std::function<bool()>& done, int ms = 15000) {
        return WaitForSession(window->session(), done, ms);
    }

    QString status() const { return window->lblStatus->text(); }
    QString caption() const { return window->cmdConnect->text(); }

    QStringList rows() const {
        QStringList out;
        for (int i = 0; i < window->lstHeaders->count(); ++i) {
            out << window->lstHeaders->item(i)->text();
        }
        return out;
    }

    bool waitStatus(const QString& text) {
        return waitUntil([&] { return status() == text; });
    }

    void addThree() {
        ASSERT_TRUE(server.add({data("1-plain.eml"), data("2-spam.eml"), data("3-dots.eml")}));
    }

    // Get Mail and wait for the listing.
    void listed(const QString& expected) {
        window->cmdConnect->click();
        ASSERT_TRUE(waitStatus(expected)) << status().toStdString();
    }

    // Disconnect and wait until the server has answered QUIT.
    void disconnect() {
        window->cmdConnect->click();
        ASSERT_TRUE(waitUntil([&] { return caption() == QStringLiteral("Get Mail"); }));
    }

    // Stops the server's session process (SIGSTOP) on the first data that arrives with
    // when() true, after the window has handled that data; then kills it and waits for the
    // window to come back by itself.
    bool killedWhen(std::function<bool()> when, const std::function<void()>& start) {
        bool frozen = false;
        QObject tap;
        QObject::connect(&window->session().transport(), &platform::Transport::readyRead, &tap,
                         [&] {
                             if (!frozen && when()) {
                                 frozen = server.signalSessions(SIGSTOP) > 0;
                             }
                         });
        start();
        if (!waitUntil([&] { return frozen; })) {
            return false;
        }
        server.signalSessions(SIGKILL);
        return waitUntil([&] { return caption() == QStringLiteral("Get Mail"); }, 3500);
    }

    DovecotServer server;
    QTemporaryDir cacheDir;
    QString cacheFile = cacheDir.filePath(QStringLiteral("headers.sqlite"));
    TempSettings settings;
    ScriptedDialogs dialogs;
    std::unique_ptr<frmPOP> window;
};

namespace {

const QString kRow1 = QStringLiteral("02 Jan 2024 | Bob Sender  <bob@exa.. | |0k First message");
const QString kRow2 =
    QStringLiteral("3 Feb 2024  | carol@example.test     | |0k [spam] Cheap watches");
const QString kRow3 = QStringLiteral("10 Apr 2024 | dave@example.test      | |2k Dots");

} // namespace

TEST_F(PopPeerTest, LoginRefusedThenAcceptedOnAnEmptyMailbox) {
    window->Account.EmailPass = "wrong";
    window->cmdConnect->click();
    ASSERT_TRUE(waitUntil([&] { return !dialogs.messages().empty(); }));
    EXPECT_EQ(dialogs.messageTexts(), QStringList{"Invalid Username or Password. Try Again"});
    ASSERT_TRUE(waitUntil([&] { return caption() == QStringLiteral("Get Mail"); }));
    EXPECT_EQ(status(), QStringLiteral("Disconnected"));
    window->Account.EmailPass = "secret";
    listed(QStringLiteral("No Message"));
    EXPECT_EQ(window->lstHeaders->count(), 0);
    EXPECT_EQ(caption(), QStringLiteral("Disconnect"));
    disconnect();
    EXPECT_EQ(status(), QStringLiteral("Disconnected"));
    EXPECT_EQ(dialogs.messages().size(), 1u);
}

// A mark undone by Reset, or left behind by closing the window, deletes nothing.
TEST_F(PopPeerTest, ResetOrClosingWithoutDisconnectRemovesNothing) {
    addThree();
    const QStringList before = server.messageFiles();
    for (const bool reset : {true, false}) {
        listed(QStringLiteral("3 Messages listed"));
        window->lstHeaders->setCurrentRow(0);
        window->cmdDelete->click();
        ASSERT_TRUE(waitStatus(QStringLiteral("Message # 1 of 3 marked deleted")));
        if (reset) {
            window->cmdReset->click();
            ASSERT_TRUE(waitStatus(QStringLiteral("3 Messages listed")));
            EXPECT_EQ(rows(), (QStringList{kRow1, kRow2, kRow3}));
            disconnect();
        } else {
            window->close();
            open();
        }
    }
    // A later session still sees all three, and its QUIT deletes nothing.
    listed(QStringLiteral("3 Messages listed"));
    disconnect();
    EXPECT_EQ(server.messageFiles(), before);
}

// Dovecot offers PIPELINING and UIDL: the second listing comes from the header cache.
TEST_F(PopPeerTest, ADottedMessageIsShownUnstuffedAndDeleteRemovesExactlyTheMarkedOne) {
    addThree();
    const QStringList before = server.messageFiles();
    listed(QStringLiteral("3 Messages listed"));
    const QStringList first = rows();
    disconnect();
    listed(QStringLiteral("3 Messages listed"));
    EXPECT_EQ(rows(), first);
    EXPECT_EQ(first, (QStringList{kRow1, kRow2, kRow3}));
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);

    std::string buffer; // what the session hands the view
    QObject::connect(
        &window->session(), &PopSession::messageDownloaded,
        [&buffer](const std::shared_ptr<const std::string>& reply) { buffer = *reply; });
    window->lstHeaders->setCurrentRow(2);
    window->session().lstHeaders_DblClick();
    ASSERT_TRUE(waitStatus(QStringLiteral("Message # 3 of 3 Complete")));
    QFile file(data("3-dots.eml"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string message = file.readAll().replace("\n", "\r\n").toStdString();
    EXPECT_EQ(buffer, "+OK " + std::to_string(message.size()) + " octets\r\n" + message + ".\r\n");
    EXPECT_EQ(window->lstHeaders->item(2)->text().at(38), QLatin1Char('R'));
    EXPECT_EQ(window->lblSubject->text(), QStringLiteral("Dots"));
    EXPECT_TRUE(window->txtMsg->toPlainText().contains(
        QStringLiteral("\n.hidden line\n..two dots\n.\nlast of")));

    window->lstHeaders->setCurrentRow(1);
    window->cmdDelete->click();
    ASSERT_TRUE(waitStatus(QStringLiteral("Message # 2 of 3 marked deleted")));
    EXPECT_EQ(window->lstHeaders->item(1)->text().at(38), QLatin1Char('D'));
    EXPECT_EQ(server.messageFiles(), before); // nothing goes before QUIT
    disconnect();
    EXPECT_TRUE(dialogs.messages().empty());
    ASSERT_EQ(before.size(), 3);
    EXPECT_EQ(server.messageFiles(), (QStringList{before[0], before[2]}));
    listed(QStringLiteral("2 Messages listed"));
    EXPECT_EQ(rows(), (QStringList{kRow1, kRow3}));
}

// The server freezes as soon as the listing has begun (or a download has begun), then dies:
// the listing (or download) cannot have finished, and the window must come back by itself.
// The server's master is still there: "Get Mail" works again.
TEST_F(PopPeerTest, ServerGoneDuringTheListingOrADownload) {
    QTemporaryDir dir;
    QStringList files;
    for (int i = 0; i < 400; ++i) {
        files << dir.filePath(QStringLiteral("m%1.eml").arg(i));
        QFile f(files.back());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("From: x%1@example.test\nSubject: n %1\n\nbody\n").arg(i).toUtf8());
    }
    QFile big(files.emplace_back(dir.filePath(QStringLiteral("big.eml"))));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly)); // about 46 MB, more than the socket buffers hold
    big.write("From: big@example.test\nSubject: big\n\n" +
              QByteArray(76, 'x').append('\n').repeated(600000));
    big.close();
    ASSERT_TRUE(server.add(files));
    ASSERT_TRUE(killedWhen([&] { return window->session().replyInFlight(); },
                           [&] { window->cmdConnect->click(); }));
    EXPECT_LE(window->lstHeaders->count(), 2);
    EXPECT_FALSE(window->session().replyInFlight());
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    listed(QStringLiteral("401 Messages listed"));
    ASSERT_TRUE(killedWhen([&] { return status() == QStringLiteral("Downloading message"); },
                           [&] {
                               window->lstHeaders->setCurrentRow(400);
                               window->session().lstHeaders_DblClick();
                           }));
    EXPECT_NE(status(), QStringLiteral("Message # 401 of 401 Complete"));
    listed(QStringLiteral("401 Messages listed"));
}

// Several rows at once on a server that pipelines: one question, the row already marked passed
// over, and after QUIT exactly the selected messages are gone.
TEST_F(PopPeerTest, ASelectionOfRowsIsDeletedAndNothingElse) {
    addThree();
    ASSERT_TRUE(server.add({data("1-plain.eml"), data("3-dots.eml")}));
    const QStringList before = server.messageFiles();
    ASSERT_EQ(before.size(), 5);
    listed(QStringLiteral("5 Messages listed"));
    window->lstHeaders->setCurrentRow(3);
    window->cmdDelete->click();
    ASSERT_TRUE(waitStatus(QStringLiteral("Message # 4 of 5 marked deleted")));
    window->mnConfirmDelete->setChecked(true);
    dialogs.answer(platform::MsgAnswer::Yes);
    window->lstHeaders->clearSelection();
    for (int row : {0, 2, 3}) {
        window->lstHeaders->item(row)->setSelected(true);
    }
    window->cmdDelete->click();
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{QStringLiteral("Are you sure you want to delete these 2 messages?")});
    ASSERT_TRUE(waitStatus(QStringLiteral("2 of 2 messages marked deleted")));
    EXPECT_EQ(server.messageFiles(), before);
    disconnect();
    EXPECT_EQ(server.messageFiles(), (QStringList{before[1], before[4]}));
}
