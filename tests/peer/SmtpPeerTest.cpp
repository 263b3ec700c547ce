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
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using platform::MsgAnswer;

namespace {

const QString kSink = QStringLiteral(CORVANE_SOURCE_DIR "/scripts/smtp-sink");

// Prints what the checks need of one saved message, as the email package reads it.
const char* const kParser = R"PY(
import email, email.utils, hashlib, json, sys
from email.header import decode_header, make_header
raw = open(sys.argv[1], 'rb').read()
msg = email.message_from_bytes(raw)
text = lambda v: None if v is None else str(make_header(decode_header(v)))
out = {'raw': raw.decode('latin-1'), 'parts': [], 'envelope': json.load(open(sys.argv[2])),
       'Date': email.utils.parsedate_tz(msg['Date']) is not None}
for name in ('From', 'To', 'Subject', 'Message-ID'):
    out[name] = text(msg[name])
for part in (p for p in msg.walk() if not p.is_multipart()):
    payload = part.get_payload(decode=True)
    out['parts'].append({'type': part.get_content_type(), 'filename': part.get_filename(),
        'name': text(part.get_param('name')), 'sha256': hashlib.sha256(payload).hexdigest(),
        'text': payload.decode(part.get_content_charset() or 'latin-1')})
print(json.dumps(out))
)PY";

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
    // Message n (from 1) with its envelope.
    QJsonObject message(int n) const {
        const QString base =
            dir.filePath(QStringLiteral("messages/%1").arg(n, 4, 10, QLatin1Char('0')));
        return QJsonDocument::fromJson(run(QStringLiteral("/usr/bin/python3"),
                                           {QStringLiteral("-c"), QString::fromLatin1(kParser),
                                            base + ".eml", base + ".json"})
                                           .toUtf8())
            .object();
    }
    QTemporaryDir dir;
    quint16 port;
};

AccountRecord accountFor(quint16 port, std::int16_t auth = 0, std::string password = {}) {
    AccountRecord a;
    a.SMTPAddress = "127.0.0.1:" + std::to_string(port);
    a.EmailFromName = a.EmailUsername = "alice";
    a.EmailFromDomain = "example.com";
    a.EmailPass = std::move(password);
    a.EmailAuth = auth;
    return a;
}

// The Send command with its two short waits run by explicit ticks.
void send(frmSMTP& w) {
    w.cmdSend_Click();
    w.Timer1_Timer();
    w.Timer1_Timer();
}

// A send, then the session's events until the transfer is over; its last events come with
// the end.
void sendAndWait(frmSMTP& w) {
    send(w);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.SMTP1->isSending(); }, 20000));
}

QString value(const QJsonValue& o, const char* name) {
    return o[QLatin1String(name)].toString();
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
    send(w);
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
    w.fill(QStringLiteral("carl@example.org"), QStringLiteral("new"), QString());
    sendAndWait(w); // a new message: no question, and no file
    const QString again = QStringLiteral("Message already sent, send again?");
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList({QStringLiteral("No recipient address"), again, again}));

    ASSERT_EQ(sink.count(), 3);
    for (const auto& [n, parts] : {std::pair{2, 2}, {3, 1}}) {
        EXPECT_EQ(sink.message(n)["parts"].toArray().size(), parts) << n;
    }
    const QJsonObject m = sink.message(1);
    EXPECT_EQ(
        QStringList({value(m, "From"), value(m, "To"), value(m, "Subject")}),
        QStringList({QStringLiteral("alice@example.com"),
                     QStringLiteral("Bob Example <bob@example.net>, \"Lee, Ann\" <ann@x.org>"),
                     subject}));
    EXPECT_TRUE(value(m, "Message-ID").endsWith(u"@example.com>") && m["Date"].toBool());
    for (const QChar c : value(m, "raw")) { // names and subject go out encoded
        ASSERT_LT(c.unicode(), 0x80);
    }
    const QJsonValue envelope = m["envelope"];
    EXPECT_EQ(value(envelope, "mail_from"), QStringLiteral("alice@example.com"));
    EXPECT_EQ(envelope["rcpt_tos"].toArray(), (QJsonArray{"bob@example.net", "ann@x.org"}));
    const QJsonArray parts = m["parts"].toArray();
    ASSERT_EQ(parts.size(), 2);
    EXPECT_EQ(value(parts[0], "text"),
              QString(text).replace(QStringLiteral("\n"), QStringLiteral("\r\n")));
    EXPECT_EQ(QStringList({value(parts[1], "filename"), value(parts[1], "name"),
                           value(parts[1], "type"), value(parts[1], "sha256")}),
              QStringList({name, name, QStringLiteral("application/pdf"),
                           QCryptographicHash::hash(binary, QCryptographicHash::Sha256).toHex()}));
}

TEST(SmtpPeer, LoginsAndFailures) {
    SmtpSink sink({QStringLiteral("--auth"), QStringLiteral("alice:s3cret"),
                   QStringLiteral("--reject"), QStringLiteral("nobody@example.net")});
    QTcpServer probe; // a port that was free a moment ago, with nobody listening on it
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 closed = probe.serverPort();
    probe.close();
    struct Case {
        AccountRecord account;
        const char* to;
        QString box = {}; // none: sent, with a login when the account has one
    };
    const Case cases[] = {
        {accountFor(sink.port, 3, "s3cret"), "bob@x"},
        {accountFor(sink.port, 2, "s3cret"), "bob@x"},
        {accountFor(sink.port, 1, "s3cret"), "bob@x"},
        {accountFor(sink.port, 0, "s3cret"), "bob@x"},
        {accountFor(sink.port), "nobody@example.net",
         QStringLiteral("SMTP Error 550: 5.1.1 <nobody@example.net>: Recipient address rejected")},
        {accountFor(sink.port, 3, "wrong"), "bob@x",
         QStringLiteral("SMTP Error 535: 5.7.8 Authentication credentials invalid")},
        {accountFor(closed), "bob@x",
         QStringLiteral("Could not connect to the SMTP server 127.0.0.1 on port %1. The server "
                        "may be down, or its name or port may be wrong.")
             .arg(closed)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box.toStdString() + std::to_string(c.account.EmailAuth));
        ScriptedDialogs dialogs;
        dialogs.allowUnscriptedOk();
        frmSMTP w(c.account);
        QStringList statuses;
        QObject::connect(w.SMTP1, &platform::SmtpSession::statusTextChanged,
                         [&](const QString& s) { statuses << s; });
        const int before = sink.count();
        w.txtTo->setText(QString::fromLatin1(c.to));
        sendAndWait(w);
        w.Timer1_Timer(); // the timer does not overwrite an error
        EXPECT_EQ(dialogs.messageTexts().join(u'|'), c.box);
        EXPECT_EQ(w.lblProgress->text(),
                  c.box.isEmpty()              ? QStringLiteral("Message successfully sent")
                  : c.box.startsWith(u"SMTP ") ? c.box.mid(5)
                                               : QStringLiteral("Error: ") + c.box);
        EXPECT_EQ(w.cmdSend->isEnabled(), !c.box.isEmpty());
        // The login shows as a step, never with what was sent in it.
        EXPECT_FALSE(statuses.join(u'|').contains(QStringLiteral("s3cret")));
        ASSERT_EQ(sink.count(), before + (c.box.isEmpty() ? 1 : 0));
        if (c.box.isEmpty()) {
            EXPECT_EQ(statuses.contains(QStringLiteral("Logging in")), c.account.EmailAuth > 0);
            EXPECT_EQ(value(sink.message(sink.count())["envelope"][QLatin1String("login")], "user"),
                      c.account.EmailAuth > 0 ? QStringLiteral("alice") : QString());
        }
    }
}

TEST(SmtpPeer, ClosingTheWindowDuringASendEndsItPromptly) {
    QTcpServer silent; // takes the connection and never says a word
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    ScriptedDialogs dialogs;
    dialogs.allowUnscriptedOk();
    const AccountRecord account = accountFor(silent.serverPort());
    QPointer<frmSMTP> w = new frmSMTP(account);
    w->txtTo->setText(QStringLiteral("bob@example.net"));
    send(*w);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return w->lblProgress->text().startsWith(u"Connected"); }, 10000));
    // An edit enables Send again; a second message waits for the first.
    w->txtSubject->setText(QStringLiteral("second"));
    send(*w);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.messages().empty(); }, 2000));
    QElapsedTimer clock;
    clock.start();
    w->close();
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.isNull(); }, 5000));
    EXPECT_EQ(dialogs.messageTexts(), QStringList{QStringLiteral("A message is still being sent")});
}

} // namespace
