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
const QString kPython = QStringLiteral("/usr/bin/python3");

// Reads one saved message with the email package and prints what the checks need.
const char* const kParser = R"PY(
import email, email.policy, hashlib, json, sys
from email.header import decode_header, make_header
raw = open(sys.argv[1], 'rb').read()
msg = email.message_from_bytes(raw, policy=email.policy.compat32)
out = {'headers': {}, 'raw': raw.decode('latin-1'), 'parts': []}
for name in ('Date', 'From', 'To', 'Subject', 'Message-ID', 'MIME-Version'):
    v = msg.get(name)
    out['headers'][name] = None if v is None else str(make_header(decode_header(v)))
out['date_ok'] = email.utils.parsedate_tz(msg.get('Date', '')) is not None
for part in msg.walk():
    if part.is_multipart():
        continue
    payload = part.get_payload(decode=True)
    entry = {'type': part.get_content_type(), 'filename': part.get_filename(),
             'charset': part.get_content_charset(),
             'encoding': part.get('Content-Transfer-Encoding'),
             'sha256': hashlib.sha256(payload).hexdigest()}
    if part.get_filename() is None:
        entry['text'] = payload.decode(part.get_content_charset() or 'ascii')
    out['parts'].append(entry)
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
    QStringList messages() const {
        QStringList names = QDir(dir.filePath(QStringLiteral("messages")))
                                .entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name);
        for (QString& n : names) {
            n = dir.filePath(QStringLiteral("messages/") + n);
        }
        return names;
    }
    // The parsed message and its envelope record.
    QJsonObject parsed(const QString& eml) const {
        QProcess p;
        p.start(kPython, {QStringLiteral("-c"), QString::fromLatin1(kParser), eml});
        EXPECT_TRUE(p.waitForFinished(30000));
        QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
        QFile envelope(eml.chopped(4) + QStringLiteral(".json"));
        EXPECT_TRUE(envelope.open(QIODevice::ReadOnly));
        o[QStringLiteral("envelope")] = QJsonDocument::fromJson(envelope.readAll()).object();
        return o;
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
// events until the transfer is over.
void sendAndWait(frmSMTP& w) {
    w.cmdSend_Click();
    w.Timer1_Timer();
    w.Timer1_Timer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.SMTP1 && !w.SMTP1->isSending(); }, 20000));
    QTest::qWait(20); // events posted just before the end
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

QString sha256(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

TEST(SmtpPeer, PlainSendArrivesIntact) {
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
    w.MsgAttachment = writeFile(files, QStringLiteral("data.bin"), binary);

    const QString text = QStringLiteral("Hello Bob,\n.leading dot\n.\n..two\nna\u00efve caf\u00e9 "
                                        "\u2014 \u2713\n\nlast line");
    w.txtTo->setText(QStringLiteral("Bob Example <bob@example.net>"));
    w.txtSubject->setText(QStringLiteral("Gr\u00fc\u00dfe aus K\u00f6ln"));
    w.txtMsg->setPlainText(text);
    sendAndWait(w);

    EXPECT_TRUE(dialogs.messages().empty()) << dialogs.messageTexts().join(u'|').toStdString();
    EXPECT_EQ(w.lblProgress->text(), QStringLiteral("Message successfully sent"));
    EXPECT_FALSE(w.cmdSend->isEnabled());
    EXPECT_TRUE(w.messageSent());

    const QStringList saved = sink.messages();
    ASSERT_EQ(saved.size(), 1);
    const QJsonObject m = sink.parsed(saved[0]);
    const QJsonObject h = m[QStringLiteral("headers")].toObject();
    EXPECT_EQ(h[QStringLiteral("From")].toString(), QStringLiteral("alice@example.com"));
    EXPECT_EQ(h[QStringLiteral("To")].toString(), QStringLiteral("Bob Example <bob@example.net>"));
    EXPECT_EQ(h[QStringLiteral("Subject")].toString(),
              QStringLiteral("Gr\u00fc\u00dfe aus K\u00f6ln"));
    EXPECT_EQ(h[QStringLiteral("MIME-Version")].toString(), QStringLiteral("1.0"));
    EXPECT_TRUE(h[QStringLiteral("Message-ID")].toString().endsWith(u"@example.com>"));
    EXPECT_TRUE(m[QStringLiteral("date_ok")].toBool());
    // The raw header carries no 8-bit byte: the subject went out encoded.
    const QString raw = m[QStringLiteral("raw")].toString();
    const QString head = raw.left(raw.indexOf(QStringLiteral("\r\n\r\n")));
    EXPECT_TRUE(head.contains(QStringLiteral("Subject: =?UTF-8?B?")));
    for (const QChar c : head) {
        ASSERT_LT(c.unicode(), 0x80) << head.toStdString();
    }

    const QJsonObject envelope = m[QStringLiteral("envelope")].toObject();
    EXPECT_EQ(envelope[QStringLiteral("mail_from")].toString(),
              QStringLiteral("alice@example.com"));
    EXPECT_EQ(envelope[QStringLiteral("rcpt_tos")].toArray(),
              QJsonArray{QStringLiteral("bob@example.net")});
    EXPECT_TRUE(envelope[QStringLiteral("login")].isNull());

    const QJsonArray parts = m[QStringLiteral("parts")].toArray();
    ASSERT_EQ(parts.size(), 2);
    const QJsonObject body = parts[0].toObject();
    EXPECT_EQ(body[QStringLiteral("type")].toString(), QStringLiteral("text/plain"));
    EXPECT_EQ(body[QStringLiteral("charset")].toString(), QStringLiteral("utf-8"));
    QString expected = text;
    expected.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    EXPECT_EQ(body[QStringLiteral("text")].toString(), expected);
    const QJsonObject file = parts[1].toObject();
    EXPECT_EQ(file[QStringLiteral("filename")].toString(), QStringLiteral("data.bin"));
    EXPECT_EQ(file[QStringLiteral("type")].toString(), QStringLiteral("application/octet-stream"));
    EXPECT_EQ(file[QStringLiteral("encoding")].toString(), QStringLiteral("base64"));
    EXPECT_EQ(file[QStringLiteral("sha256")].toString(), sha256(binary));
}

TEST(SmtpPeer, ReplyToAllListReachesEveryAddressOnce) {
    SmtpSink sink;
    ScriptedDialogs dialogs;
    const AccountRecord account = accountFor(sink.port);
    frmSMTP w(account);
    w.txtTo->setText(QStringLiteral("\"Lee, Ann\" <ann@example.net>, carl@example.org, "));
    w.txtSubject->setText(QStringLiteral("Re: plans"));
    w.txtMsg->setPlainText(QStringLiteral("ok"));
    sendAndWait(w);

    const QStringList saved = sink.messages();
    ASSERT_EQ(saved.size(), 1) << dialogs.messageTexts().join(u'|').toStdString();
    const QJsonObject m = sink.parsed(saved[0]);
    EXPECT_EQ(m[QStringLiteral("envelope")].toObject()[QStringLiteral("rcpt_tos")].toArray(),
              (QJsonArray{QStringLiteral("ann@example.net"), QStringLiteral("carl@example.org")}));
    EXPECT_EQ(m[QStringLiteral("headers")].toObject()[QStringLiteral("To")].toString(),
              QStringLiteral("\"Lee, Ann\" <ann@example.net>, carl@example.org"));
}

TEST(SmtpPeer, LogsInOnlyWhenTheAccountAuthenticates) {
    SmtpSink sink({QStringLiteral("--auth"), QStringLiteral("alice:s3cret")});
    QTemporaryDir files;
    const QString notes = writeFile(files, QStringLiteral("notes.txt"), "line one\r\nline two\r\n");
    struct Case {
        std::int16_t auth;
        bool loggedIn;
    };
    for (const Case c : {Case{3, true}, Case{2, true}, Case{1, true}, Case{0, false}}) {
        SCOPED_TRACE(c.auth);
        ScriptedDialogs dialogs;
        const AccountRecord account = accountFor(sink.port, c.auth, c.auth ? "s3cret" : "");
        frmSMTP w(account);
        QStringList statuses;
        QObject::connect(w.SMTP1, &platform::SmtpSession::statusTextChanged,
                         [&](const QString& s) { statuses << s; });
        w.MsgAttachment = notes;
        w.txtTo->setText(QStringLiteral("bob@example.net"));
        w.txtSubject->setText(QStringLiteral("auth ") + QString::number(c.auth));
        sendAndWait(w);
        EXPECT_EQ(w.lblProgress->text(), QStringLiteral("Message successfully sent"));
        // The login shows as a step, never with what was sent in it.
        EXPECT_EQ(statuses.contains(QStringLiteral("Logging in")), c.loggedIn);
        for (const QString& s : statuses) {
            EXPECT_FALSE(s.contains(QStringLiteral("s3cret"))) << s.toStdString();
            EXPECT_FALSE(s.contains(QStringLiteral("AGFsaWNlAHMzY3JldA"))) << s.toStdString();
        }
        EXPECT_EQ(statuses.last(), QStringLiteral("Message successfully sent"));

        const QStringList saved = sink.messages();
        ASSERT_FALSE(saved.isEmpty());
        const QJsonObject m = sink.parsed(saved.last());
        EXPECT_EQ(m[QStringLiteral("headers")].toObject()[QStringLiteral("Subject")].toString(),
                  QStringLiteral("auth ") + QString::number(c.auth));
        const QJsonValue login = m[QStringLiteral("envelope")].toObject()[QStringLiteral("login")];
        if (c.loggedIn) {
            EXPECT_EQ(login.toObject()[QStringLiteral("user")].toString(), QStringLiteral("alice"));
            EXPECT_EQ(login.toObject()[QStringLiteral("mechanism")].toString(),
                      QStringLiteral("PLAIN"));
        } else {
            EXPECT_TRUE(login.isNull());
        }
        const QJsonObject file = m[QStringLiteral("parts")].toArray()[1].toObject();
        EXPECT_EQ(file[QStringLiteral("filename")].toString(), QStringLiteral("notes.txt"));
        EXPECT_EQ(file[QStringLiteral("type")].toString(), QStringLiteral("text/plain"));
        EXPECT_EQ(file[QStringLiteral("sha256")].toString(), sha256("line one\r\nline two\r\n"));
    }
    EXPECT_EQ(sink.messages().size(), 4);
}

TEST(SmtpPeer, RefusalsShowTheServerCodeAndText) {
    SmtpSink sink({QStringLiteral("--auth"), QStringLiteral("alice:s3cret"),
                   QStringLiteral("--reject"), QStringLiteral("nobody@example.net")});
    struct Case {
        const char* name;
        std::int16_t auth;
        const char* password;
        const char* to;
        QString box;
    };
    const Case cases[] = {
        {"recipient refused", 0, "", "nobody@example.net",
         QStringLiteral("SMTP Error 550: 5.1.1 <nobody@example.net>: Recipient address rejected")},
        {"wrong password", 3, "wrong", "bob@example.net",
         QStringLiteral("SMTP Error 535: 5.7.8 Authentication credentials invalid")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDialogs dialogs;
        dialogs.answer(MsgAnswer::Ok);
        const AccountRecord account = accountFor(sink.port, c.auth, c.password);
        frmSMTP w(account);
        w.txtTo->setText(QString::fromLatin1(c.to));
        w.txtSubject->setText(QStringLiteral("refused"));
        sendAndWait(w);
        ASSERT_EQ(dialogs.messageTexts(), QStringList{c.box});
        EXPECT_EQ(w.lblProgress->text(), c.box.mid(QStringLiteral("SMTP ").size()));
        // The timer does not overwrite an error.
        w.Timer1_Timer();
        EXPECT_EQ(w.lblProgress->text(), c.box.mid(QStringLiteral("SMTP ").size()));
    }
    EXPECT_TRUE(sink.messages().isEmpty());
}

TEST(SmtpPeer, ServerNotListeningIsAClearError) {
    // A port that was free a moment ago and has nobody listening on it.
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    ScriptedDialogs dialogs;
    dialogs.answer(MsgAnswer::Ok);
    const AccountRecord account = accountFor(port);
    frmSMTP w(account);
    w.txtTo->setText(QStringLiteral("bob@example.net"));
    sendAndWait(w);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    const QString box = dialogs.messages()[0].text;
    EXPECT_TRUE(box.startsWith(QStringLiteral("SMTP Error 7: "))) << box.toStdString();
    EXPECT_TRUE(box.contains(QStringLiteral("127.0.0.1"))) << box.toStdString();
    EXPECT_TRUE(box.contains(QString::number(port))) << box.toStdString();
    EXPECT_TRUE(w.lblProgress->text().startsWith(QStringLiteral("Error 7: ")));
}

TEST(SmtpPeer, SecondSendWithoutEditsAsksFirst) {
    SmtpSink sink;
    ScriptedDialogs dialogs;
    const AccountRecord account = accountFor(sink.port);
    frmSMTP w(account);
    w.txtTo->setText(QStringLiteral("bob@example.net"));
    w.txtSubject->setText(QStringLiteral("once"));
    sendAndWait(w);
    ASSERT_EQ(sink.messages().size(), 1);

    dialogs.answer(MsgAnswer::No);
    w.cmdSend_Click();
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{QStringLiteral("Message already sent, send again?")});
    EXPECT_EQ(dialogs.messages()[0].buttons, platform::MsgButtons::YesNo);
    EXPECT_EQ(w.lblProgress->text(), QStringLiteral("Message successfully sent"));
    EXPECT_EQ(w.waitTicks(), 0);

    dialogs.clear();
    dialogs.answer(MsgAnswer::Yes);
    sendAndWait(w);
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{QStringLiteral("Message already sent, send again?")});
    EXPECT_EQ(sink.messages().size(), 2);

    // An edit makes it a new message: no question.
    dialogs.clear();
    w.txtMsg->setPlainText(QStringLiteral("changed"));
    EXPECT_TRUE(w.cmdSend->isEnabled());
    sendAndWait(w);
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_EQ(sink.messages().size(), 3);
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
    ASSERT_TRUE(w->SMTP1->isSending());

    // An edit enables Send again; a second message waits for the first.
    dialogs.answer(MsgAnswer::Ok);
    w->txtSubject->setText(QStringLiteral("second"));
    w->cmdSend_Click();
    w->Timer1_Timer();
    w->Timer1_Timer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.messages().empty(); }, 2000));
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{QStringLiteral("SMTP Error 55: A message is still being sent")});
    EXPECT_TRUE(w->SMTP1->isSending());
    dialogs.clear();

    QElapsedTimer clock;
    clock.start();
    w->close();
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.isNull(); }, 5000));
    EXPECT_TRUE(dialogs.messages().empty());
}

} // namespace
