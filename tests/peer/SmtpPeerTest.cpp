// The compose window against a real SMTP server (aiosmtpd on 127.0.0.1, started through
// scripts/smtp-sink). What arrives is read back with Python's own mail parser, so the checks
// do not share a line of code with what sent it.
#include "compose/ui/frmSMTP.h"
#include "platform/SmtpSession.h"
#include "settings/AccountRecord.h"
#include "support/ScriptedDialogs.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using platform::MsgAnswer;

namespace {

const QString kScript = QStringLiteral(CORVANE_SOURCE_DIR "/scripts/smtp-sink");

// Reads one saved message with the email package and prints what the checks need.
const char* const kParser = R"PY(
import email, email.utils, hashlib, json, sys
from email.header import decode_header, make_header
raw = open(sys.argv[1], 'rb').read()
msg = email.message_from_bytes(raw)
text = lambda v: None if v is None else str(make_header(decode_header(v)))
out = {'raw': raw.decode('latin-1'), 'parts': [],
       'envelope': json.load(open(sys.argv[1][:-4] + '.json')),
       'date_ok': email.utils.parsedate_tz(msg.get('Date', '')) is not None}
for name in ('From', 'To', 'Subject', 'Message-ID'):
    out[name] = text(msg.get(name))
for part in msg.walk():
    if not part.is_multipart():
        payload = part.get_payload(decode=True)
        out['parts'].append({'type': part.get_content_type(), 'filename': part.get_filename(),
            'name': text(part.get_param('name')), 'sha256': hashlib.sha256(payload).hexdigest(),
            'text': payload.decode(part.get_content_charset() or 'latin-1')})
print(json.dumps(out))
)PY";

class SmtpSink {
public:
    explicit SmtpSink(const QStringList& options = {}) {
        QProcess p;
        p.start(kScript, QStringList{QStringLiteral("start"), dir.path()} + options);
        EXPECT_TRUE(p.waitForFinished(30000));
        port = QString::fromLatin1(p.readAllStandardOutput()).trimmed().toUShort();
        EXPECT_NE(port, 0) << p.readAllStandardError().toStdString();
    }
    ~SmtpSink() {
        QProcess p;
        p.start(kScript, {QStringLiteral("stop"), dir.path()});
        p.waitForFinished(30000);
    }
    int count() const {
        return QDir(dir.filePath(QStringLiteral("messages")))
            .entryList({QStringLiteral("*.eml")}, QDir::Files)
            .size();
    }
    // Message n (from 1) as the parser reads it, with its envelope.
    QJsonObject message(int n) const {
        QProcess p;
        p.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-c"), QString::fromLatin1(kParser),
                 dir.filePath(QStringLiteral("messages/%1.eml").arg(n, 4, 10, QLatin1Char('0')))});
        EXPECT_TRUE(p.waitForFinished(30000));
        return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    }

    QTemporaryDir dir;
    quint16 port = 0;
};

AccountRecord accountFor(quint16 port, std::int16_t auth = 0, std::string password = {}) {
    AccountRecord a;
    a.Isp = "Loopback";
    a.SMTPAddress = "127.0.0.1:" + std::to_string(port);
    a.EmailFromName = "alice";
    a.EmailFromDomain = "example.com";
    a.EmailUsername = "alice";
    a.EmailPass = std::move(password);
    a.EmailAuth = auth;
    return a;
}

// The Send command with its two short waits run by explicit ticks, then the session's
// events until the transfer is over (its last events come together with the end).
void sendAndWait(frmSMTP& w) {
    w.cmdSend_Click();
    w.Timer1_Timer();
    w.Timer1_Timer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.SMTP1 && !w.SMTP1->isSending(); }, 20000));
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    return path;
}

QString field(const QJsonObject& o, const char* name) {
    return o[QLatin1String(name)].toString();
}

TEST(SmtpPeer, AMessageArrivesIntact) {
    SmtpSink sink;
    ScriptedDialogs dialogs;
    const AccountRecord account = accountFor(sink.port);
    frmSMTP w(account);
    QTemporaryDir files;
    QByteArray binary;
    for (int i = 0; i < 3000; ++i) {
        binary.append(static_cast<char>((i * 7) & 0xFF));
    }
    binary.append("\r\n.\r\n", 5); // an end-of-data mark inside the file must not end it
    const QString name = QStringLiteral("\u00fcn\u00efc\u00f6d\u00e9 \u0444\u0430\u0439\u043b "
                                        "\u65e5\u672c.pdf");
    w.MsgAttachment = writeFile(files, name, binary);
    const QString text = QStringLiteral("Hello Bob,\n.leading dot\n.\n..two\nna\u00efve caf\u00e9 "
                                        "\u2014 \u2713\n\nlast line");
    w.txtTo->setText(QStringLiteral("Bob Example <bob@example.net>, \"Lee, Ann\" <ann@x.org>, "));
    w.txtSubject->setText(QStringLiteral("Gr\u00fc\u00dfe aus K\u00f6ln"));
    w.txtMsg->setPlainText(text);
    sendAndWait(w);
    EXPECT_TRUE(dialogs.messages().empty()) << dialogs.messageTexts().join(u'|').toStdString();
    EXPECT_EQ(w.lblProgress->text(), QStringLiteral("Message successfully sent"));
    EXPECT_FALSE(w.cmdSend->isEnabled());

    ASSERT_EQ(sink.count(), 1);
    const QJsonObject m = sink.message(1);
    EXPECT_EQ(field(m, "From"), QStringLiteral("alice@example.com"));
    EXPECT_EQ(field(m, "To"),
              QStringLiteral("Bob Example <bob@example.net>, \"Lee, Ann\" <ann@x.org>"));
    EXPECT_EQ(field(m, "Subject"), w.txtSubject->text());
    EXPECT_TRUE(field(m, "Message-ID").endsWith(u"@example.com>"));
    EXPECT_TRUE(m[QStringLiteral("date_ok")].toBool());
    for (const QChar c : field(m, "raw")) { // names and subject go out encoded
        ASSERT_LT(c.unicode(), 0x80);
    }
    const QJsonObject envelope = m[QStringLiteral("envelope")].toObject();
    EXPECT_EQ(field(envelope, "mail_from"), QStringLiteral("alice@example.com"));
    EXPECT_EQ(envelope[QStringLiteral("rcpt_tos")].toArray(),
              (QJsonArray{QStringLiteral("bob@example.net"), QStringLiteral("ann@x.org")}));
    EXPECT_TRUE(envelope[QStringLiteral("login")].isNull());

    const QJsonArray parts = m[QStringLiteral("parts")].toArray();
    ASSERT_EQ(parts.size(), 2);
    EXPECT_EQ(field(parts[0].toObject(), "text"),
              QString(text).replace(QStringLiteral("\n"), QStringLiteral("\r\n")));
    const QJsonObject file = parts[1].toObject();
    EXPECT_EQ(QStringList({field(file, "filename"), field(file, "name"), field(file, "type")}),
              QStringList({name, name, QStringLiteral("application/pdf")}));
    EXPECT_EQ(field(file, "sha256"),
              QCryptographicHash::hash(binary, QCryptographicHash::Sha256).toHex());
}

TEST(SmtpPeer, LogsInOnlyWhenTheAccountAuthenticates) {
    SmtpSink sink({QStringLiteral("--auth"), QStringLiteral("alice:s3cret")});
    for (const std::int16_t auth : {3, 2, 1, 0}) {
        SCOPED_TRACE(auth);
        ScriptedDialogs dialogs;
        const AccountRecord account = accountFor(sink.port, auth, auth ? "s3cret" : "");
        frmSMTP w(account);
        QStringList statuses;
        QObject::connect(w.SMTP1, &platform::SmtpSession::statusTextChanged,
                         [&](const QString& s) { statuses << s; });
        w.txtTo->setText(QStringLiteral("bob@example.net"));
        sendAndWait(w);
        EXPECT_EQ(w.lblProgress->text(), QStringLiteral("Message successfully sent"));
        // The login shows as a step, never with what was sent in it.
        EXPECT_EQ(statuses.contains(QStringLiteral("Logging in")), auth > 0);
        EXPECT_FALSE(statuses.join(u'|').contains(QStringLiteral("s3cret")));
        const QJsonObject envelope =
            sink.message(sink.count())[QStringLiteral("envelope")].toObject();
        EXPECT_EQ(field(envelope[QStringLiteral("login")].toObject(), "user"),
                  auth > 0 ? QStringLiteral("alice") : QString());
    }
    EXPECT_EQ(sink.count(), 4);
}

TEST(SmtpPeer, FailuresShowTheServersWordsOrASentence) {
    SmtpSink sink({QStringLiteral("--auth"), QStringLiteral("alice:s3cret"),
                   QStringLiteral("--reject"), QStringLiteral("nobody@example.net")});
    quint16 closed = 0; // a port that was free a moment ago, with nobody listening on it
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closed = probe.serverPort();
    }
    const QString refused = QStringLiteral("Could not connect to the SMTP server 127.0.0.1 on "
                                           "port %1. The server may be down, or its name or port "
                                           "may be wrong.")
                                .arg(closed);
    const std::pair<AccountRecord, QString> cases[] = {
        {accountFor(sink.port),
         QStringLiteral("SMTP Error 550: 5.1.1 <nobody@example.net>: Recipient address rejected")},
        {accountFor(sink.port, 3, "wrong"),
         QStringLiteral("SMTP Error 535: 5.7.8 Authentication credentials invalid")},
        {accountFor(closed), refused},
    };
    for (const auto& [account, box] : cases) {
        SCOPED_TRACE(box.toStdString());
        ScriptedDialogs dialogs;
        dialogs.answer(MsgAnswer::Ok);
        frmSMTP w(account);
        w.txtTo->setText(QStringLiteral("nobody@example.net"));
        sendAndWait(w);
        EXPECT_EQ(dialogs.messageTexts(), QStringList{box});
        w.Timer1_Timer(); // the timer does not overwrite an error
        EXPECT_EQ(w.lblProgress->text(),
                  box.startsWith(u"SMTP ") ? box.mid(5) : QStringLiteral("Error: ") + box);
        EXPECT_TRUE(w.cmdSend->isEnabled());
    }
    EXPECT_EQ(sink.count(), 0);
}

TEST(SmtpPeer, EachSendTakesTheAttachmentShownAndAsksBeforeSendingTwice) {
    SmtpSink sink;
    ScriptedDialogs dialogs;
    const AccountRecord account = accountFor(sink.port);
    frmSMTP w(account);
    QTemporaryDir files;
    w.MsgAttachment = writeFile(files, QStringLiteral("notes.txt"), "line one\r\n");
    w.txtTo->setText(QStringLiteral(" , ")); // refused: nothing may stay queued
    dialogs.answer(MsgAnswer::Ok);
    w.cmdSend_Click();
    w.Timer1_Timer();
    w.Timer1_Timer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.messages().empty(); }, 5000));
    EXPECT_EQ(dialogs.messageTexts(), QStringList{QStringLiteral("No recipient address")});

    w.txtTo->setText(QStringLiteral("bob@example.net"));
    sendAndWait(w);
    dialogs.clear();
    dialogs.answer(MsgAnswer::No);
    w.cmdSend_Click();
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{QStringLiteral("Message already sent, send again?")});
    EXPECT_EQ(w.lblProgress->text(), QStringLiteral("Message successfully sent"));
    dialogs.answer(MsgAnswer::Yes);
    sendAndWait(w);

    // Emptied for a new message: no question, and no file.
    dialogs.clear();
    w.fill(QStringLiteral("carl@example.org"), QStringLiteral("new"), QStringLiteral("text"));
    sendAndWait(w);
    EXPECT_TRUE(dialogs.messages().empty());

    ASSERT_EQ(sink.count(), 3);
    for (const auto& [n, parts] : {std::pair{1, 2}, {2, 2}, {3, 1}}) {
        EXPECT_EQ(sink.message(n)[QStringLiteral("parts")].toArray().size(), parts) << n;
    }
    EXPECT_EQ(field(sink.message(1)[QStringLiteral("parts")][1].toObject(), "type"),
              QStringLiteral("text/plain"));
}

TEST(SmtpPeer, ClosingTheWindowDuringASendEndsItPromptly) {
    // A server that accepts the connection and never says a word.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    std::vector<QTcpSocket*> held;
    QObject::connect(&silent, &QTcpServer::newConnection,
                     [&] { held.push_back(silent.nextPendingConnection()); });
    ScriptedDialogs dialogs;
    const AccountRecord account = accountFor(silent.serverPort());
    QPointer<frmSMTP> w = new frmSMTP(account);
    w->txtTo->setText(QStringLiteral("bob@example.net"));
    w->cmdSend_Click();
    w->Timer1_Timer();
    w->Timer1_Timer();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return w->lblProgress->text().startsWith(u"Connected"); }, 10000));

    // An edit enables Send again; a second message waits for the first.
    dialogs.answer(MsgAnswer::Ok);
    w->txtSubject->setText(QStringLiteral("second"));
    w->cmdSend_Click();
    w->Timer1_Timer();
    w->Timer1_Timer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.messages().empty(); }, 2000));
    EXPECT_EQ(dialogs.messageTexts(), QStringList{QStringLiteral("A message is still being sent")});
    dialogs.clear();

    QElapsedTimer clock;
    clock.start();
    w->close();
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.isNull(); }, 5000));
    EXPECT_TRUE(dialogs.messages().empty());
}

} // namespace
