// The compose window against a real SMTP server (aiosmtpd on 127.0.0.1, started through
// scripts/smtp-sink). What arrives is read back by read-mail.py with Python's own parser.
#include "compose/ui/frmSMTP.h"
#include "decoding/TestData.h"
#include "platform/SmtpSession.h"
#include "settings/AccountRecord.h"
#include "settings/ui/frmEmailSetup.h"
#include "support/OAuthServer.h"
#include "support/ScriptedDialogs.h"
#include "support/TempSettings.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using platform::MsgAnswer;

namespace {

const QString kSink = QStringLiteral(CORVANE_SOURCE_DIR "/scripts/smtp-sink");
const QString kReader = QStringLiteral(CORVANE_SOURCE_DIR "/tests/peer/read-mail.py");

QString run(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    EXPECT_TRUE(p.waitForFinished(30000)) << program.toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

struct SmtpSink {
    explicit SmtpSink(const QStringList& options = {})
        : port(run(kSink, QStringList{QStringLiteral("start"), dir.path()} + options).toUShort()) {}
    ~SmtpSink() { run(kSink, {QStringLiteral("stop"), dir.path()}); }
    int count() const {
        return QDir(dir.filePath(QStringLiteral("messages"))).entryList({"*.eml"}).size();
    }
    // Message n (from 1) and its envelope, one fact a line.
    QStringList message(int n) const {
        const QString base =
            dir.filePath(QStringLiteral("messages/%1").arg(n, 4, 10, QLatin1Char('0')));
        return run(kReader, {base + ".eml", base + ".json"}).split(u'\n', Qt::SkipEmptyParts);
    }
    QStringList logins() const { // "MECHANISM user", one a login
        QFile f(dir.filePath(QStringLiteral("logins")));
        return f.open(QIODevice::ReadOnly) ? QString(f.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                           : QStringList();
    }
    QTemporaryDir dir;
    quint16 port;
};

AccountRecord accountFor(quint16 port, std::int16_t auth = 0, const char* password = "") {
    AccountRecord a;
    std::tie(a.SMTPAddress, a.EmailFromName, a.EmailUsername, a.EmailFromDomain, a.EmailPass,
             a.EmailAuth) = std::tuple("127.0.0.1:" + std::to_string(port), "alice", "alice",
                                       "example.com", password, auth);
    return a;
}

// The Send command with its two short waits run by explicit ticks, then the session's
// events until done, by default until the transfer is over (its last events come with it).
void sendAndWait(frmSMTP& w, std::function<bool()> done = {}) {
    w.cmdSend_Click();
    w.Timer1_Timer();
    w.Timer1_Timer();
    ASSERT_TRUE(QTest::qWaitFor(
        done ? done : [&] { return !w.SMTP1->isSending(); }, 20000));
}

TEST(SmtpPeer, MessagesArriveIntactEachWithTheAttachmentShown) {
    SmtpSink sink;
    ScriptedDialogs dialogs;
    dialogs.allowUnscriptedOk();
    const AccountRecord account = accountFor(sink.port);
    frmSMTP w(account);
    // An end-of-data mark inside the file must not end the message.
    const QByteArray binary = QByteArray("\r\n.\r\n\0\x01\xff\x80", 9).repeated(300);
    const QString name = QStringLiteral("\u00fcn\u00efc\u00f6d\u00e9 \u0444\u0430\u0439\u043b "
                                        "\u65e5\u672c.pdf");
    QFile file(sink.dir.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(binary) == binary.size());
    file.close();
    w.MsgAttachment = file.fileName();
    w.txtTo->setText(QStringLiteral(" , ")); // refused: nothing may stay queued
    sendAndWait(w);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.messages().empty(); }, 5000));

    const QString text = QStringLiteral("Hi,\n.leading dot\n.\n..two\nna\u00efve \u2713\n\nend");
    w.txtTo->setText(QStringLiteral("Bob Example <bob@example.net>, \"Lee, Ann\" <ann@x.org>, "));
    const QString subject =
        QStringLiteral("Gr\u00fc\u00dfe aus K\u00f6ln, ") + QString(30, u'\u00e9');
    w.txtSubject->setText(subject);
    w.txtMsg->setPlainText(text);
    sendAndWait(w);
    EXPECT_EQ(w.lblProgress->text(), QStringLiteral("Message successfully sent"));
    EXPECT_FALSE(w.cmdSend->isEnabled());
    dialogs.answer(MsgAnswer::No);
    w.cmdSend_Click();
    EXPECT_EQ(w.lblProgress->text(), QStringLiteral("Message successfully sent"));
    dialogs.answer(MsgAnswer::Yes);
    sendAndWait(w);
    QStringList to, envelope; // fifty recipients, some with names
    for (int i = 1; i <= 50; ++i) {
        envelope << QStringLiteral("r%1@example.org").arg(i);
        to << (i % 10 == 0 ? QStringLiteral("J\u00f6rg <%1>") : QStringLiteral("%1"))
                  .arg(envelope.last());
    }
    w.fill(to.join(QStringLiteral(", ")), QStringLiteral("new"), QString());
    sendAndWait(w); // a new message: no question, and no file
    const QString again = QStringLiteral("Message already sent, send again?");
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList({QStringLiteral("No recipient address"), again, again}));

    ASSERT_EQ(sink.count(), 3);
    // The facts of the first message, names and subject sent encoded ("Bytes: ASCII").
    QFile facts(QStringLiteral(CORVANE_TEST_DATA "/peer/first-message.txt"));
    ASSERT_TRUE(facts.open(QIODevice::ReadOnly));
    const QByteArray hash = QCryptographicHash::hash(binary, QCryptographicHash::Sha256).toHex();
    EXPECT_EQ(sink.message(1), QString::fromUtf8(facts.readAll())
                                   .arg(subject, QString(text).replace(u'\n', u'|'), name, hash)
                                   .split(u'\n', Qt::SkipEmptyParts));
    EXPECT_EQ(sink.message(2).filter(QStringLiteral("File ")).size(), 1);
    const QStringList third = sink.message(3);
    EXPECT_EQ(third.filter(QStringLiteral("File ")).size(), 0);
    EXPECT_TRUE(third.contains(QStringLiteral("To: ") + to.join(QStringLiteral(", "))) &&
                third.contains(QStringLiteral("Envelope: alice@example.com to ") +
                               envelope.join(QStringLiteral(", "))));
    // The To field went folded, as libcurl was given it: no line a server refuses.
    QFile raw(sink.dir.filePath(QStringLiteral("messages/0003.eml")));
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QByteArray head = raw.readAll();
    const QByteArray field =
        head.mid(head.indexOf("\r\nTo: ") + 2).split('\n').mid(0, 20).join('\n');
    EXPECT_TRUE(field.startsWith("To: r1@") && field.count(",\r\n r") >= 8) << field.toStdString();
    for (const QByteArray& line : field.split('\n')) {
        EXPECT_LE(line.size(), 79) << line.toStdString(); // with its CR
    }
}

TEST(SmtpPeer, LoginsAndRefusals) {
    SmtpSink sink({QStringLiteral("--auth"), QStringLiteral("alice:s3cret-zażółć"),
                   QStringLiteral("--reject"), QStringLiteral("nobody@example.net")});
    for (const auto& row : testdata::Table("peer/logins.table")) {
        const int auth = std::stoi(row[0]);
        const QString box = QString::fromStdString(row[3]);
        SCOPED_TRACE(row[3] + row[0]);
        ScriptedDialogs dialogs;
        dialogs.allowUnscriptedOk();
        const AccountRecord account = accountFor(sink.port, auth, row[1].c_str());
        frmSMTP w(account);
        QStringList statuses;
        QObject::connect(w.SMTP1, &platform::SmtpSession::statusTextChanged,
                         [&](const QString& s) { statuses << s; });
        w.txtTo->setText(QString::fromStdString(row[2]));
        sendAndWait(w);
        w.Timer1_Timer(); // the timer does not overwrite an error
        EXPECT_EQ(dialogs.messageTexts().join(u'|'), box);
        EXPECT_EQ(w.lblProgress->text(),
                  box.isEmpty() ? QStringLiteral("Message successfully sent") : box.mid(5));
        EXPECT_EQ(w.cmdSend->isEnabled(), !box.isEmpty());
        // The login shows as a step, never with what was sent in it.
        EXPECT_FALSE(statuses.join(u'|').contains(QStringLiteral("s3cret")));
        if (box.isEmpty()) { // a login only when the account asks for one
            EXPECT_EQ(statuses.contains(QStringLiteral("Logging in")), auth > 0);
            EXPECT_TRUE(sink.message(sink.count())
                            .contains(auth > 0 ? QStringLiteral("Login: alice")
                                               : QStringLiteral("Login: none")));
        }
    }
    EXPECT_EQ(sink.count(), 4);
}

TEST(SmtpPeer, ClosingTheWindowDuringASendEndsItPromptly) {
    QTcpServer silent; // takes the connection and never says a word
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    ScriptedDialogs dialogs;
    dialogs.allowUnscriptedOk();
    const AccountRecord account = accountFor(silent.serverPort());
    QPointer<frmSMTP> w = new frmSMTP(account);
    w->txtTo->setText(QStringLiteral("bob@example.net"));
    sendAndWait(*w, [&] { return w->lblProgress->text().startsWith(u"Connected"); });
    w->txtSubject->setText(QStringLiteral("second"));             // an edit enables Send again
    sendAndWait(*w, [&] { return !dialogs.messages().empty(); }); // it waits for the first
    QElapsedTimer clock;
    clock.start();
    dialogs.answer(MsgAnswer::Yes); // the draft goes with the window
    w->close();
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.isNull(); }, 5000));
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList({QStringLiteral("A message is still being sent"),
                           QStringLiteral("Discard the message you are writing?")}));
}

// Signed in from the setup with the test provider (scripts/oauth-server), whose tokens the sink
// checks; a token the provider revoked is renewed once, unseen; a refusal of the renewed one is
// said in a sentence; a server without XOAUTH2 gets nothing.
TEST(SmtpPeer, OAuth2SignInSendRenewalAndRefusals) {
    OAuthServer provider;
    ASSERT_TRUE(provider.start({}));
    SmtpSink sink({QStringLiteral("--introspect"), provider.url("/introspect")});
    TempSettings settings;
    settings.setAccounts({"Mail"}, "Mail");
    const settings::OAuthConfig oauth = provider.config();
    settings.setSection("Mail", {{"SMTPAddress", "127.0.0.1:" + std::to_string(sink.port)},
                                 {"EmailUsername", "alice"},
                                 {"EmailFromName", "alice"},
                                 {"EmailFromDomain", "example.com"},
                                 {"EmailAuth", "4"},
                                 {"POPAuth", "OAuth2"},
                                 {"OAuthClientId", oauth.ClientId},
                                 {"OAuthAuthorizeUrl", oauth.AuthorizeUrl},
                                 {"OAuthTokenUrl", oauth.TokenUrl}});
    ScriptedDialogs dialogs;
    dialogs.allowUnscriptedOk();
    FakeBrowser browser;
    AccountRecord account;
    {
        frmEmailSetup setup(account, nullptr);
        setup.cmdSignIn->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return setup.lblSignIn->text() == "Signed in"; }, 20000));
        setup.cmdOK->click();
    }
    frmSMTP w(account);
    QStringList statuses;
    QObject::connect(w.SMTP1, &platform::SmtpSession::statusTextChanged,
                     [&](const QString& s) { statuses << s; });
    const QString sent = QStringLiteral("Message successfully sent");
    auto send = [&](const QString& subject) {
        dialogs.clear();
        w.fill(QStringLiteral("bob@example.net"), subject, QStringLiteral("text"));
        sendAndWait(w,
                    [&] { return w.lblProgress->text() == sent || !dialogs.messages().empty(); });
        return dialogs.messageTexts().join(u'|');
    };
    EXPECT_EQ(send(QStringLiteral("first")), "");
    ASSERT_TRUE(provider.control(QStringLiteral("revoke=1")));
    EXPECT_EQ(send(QStringLiteral("renewed")), "");
    EXPECT_EQ(sink.count(), 2);
    EXPECT_TRUE(sink.message(2).contains(QStringLiteral("Login: alice")));
    account.EmailUsername = "bob"; // the provider's tokens are alice's
    EXPECT_EQ(send(QStringLiteral("bob")), "The server refused the sign-in for bob");
    EXPECT_EQ(w.lblProgress->text(), "Error: The server refused the sign-in for bob");
    EXPECT_EQ(
        sink.logins(),
        QString("XOAUTH2 alice,XOAUTH2 alice,XOAUTH2 alice,XOAUTH2 bob,XOAUTH2 bob").split(','));
    EXPECT_FALSE(statuses.join(u'|').contains(QStringLiteral("at-")));

    SmtpSink passwordsOnly({QStringLiteral("--auth"), QStringLiteral("alice:pw")});
    account.SMTPAddress = "127.0.0.1:" + std::to_string(passwordsOnly.port);
    EXPECT_EQ(send(QStringLiteral("none")),
              QStringLiteral("The SMTP server 127.0.0.1 on port %1 does not offer the OAuth2 "
                             "sign-in (XOAUTH2); nothing was sent.")
                  .arg(passwordsOnly.port));
    EXPECT_EQ(passwordsOnly.count() + passwordsOnly.logins().size(), 0);
}

} // namespace
