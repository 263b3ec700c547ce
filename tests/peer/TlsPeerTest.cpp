// TLS against real servers: Dovecot for the reader window, aiosmtpd for the compose window.
// Each loopback address serves its own certificate, all made with openssl for this run; the
// tests' authority reaches both OpenSSL users through SSL_CERT_FILE.
#include "compose/ui/frmSMTP.h"
#include "platform/Certificates.h"
#include "platform/ClickableLabel.h"
#include "platform/SmtpSession.h"
#include "reader/ui/frmPOP.h"
#include "session/ui/PopSession.h"
#include "session/ui/frmDebug.h"
#include "settings/AccountRecord.h"
#include "support/DovecotServer.h"
#include "support/ScriptedDialogs.h"
#include "support/TempSettings.h"

#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using settings::Security;

namespace {

const QString kScripts = QStringLiteral(CORVANE_SOURCE_DIR "/scripts/");

QString run(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    EXPECT_TRUE(p.waitForFinished(60000) && p.exitCode() == 0) << program.toStdString();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// What each address serves, and the refusal it earns ("" when it is accepted).
struct Case {
    const char* ip;
    const char* pinned; // the certificate trusted beforehand, or ""
    QString refused;
    bool trust = false; // the answer to the question: trust it, or cancel
};

struct Servers {
    QTemporaryDir certs;
    DovecotServer pop;
    QTemporaryDir tlsSink, startTlsSink, plainSink;
    quint16 tlsPort = 0, startTlsPort = 0, plainPort = 0;
    std::vector<Case> cases;

    Servers() {
        run(kScripts + QStringLiteral("make-certs"), {certs.path()});
        const QString expiredOn =
            QDateTime::currentDateTimeUtc().addDays(-1).toString("yyyy-MM-dd");
        qputenv("SSL_CERT_FILE", file("ca.pem").toUtf8());
        const QString issued = QStringLiteral("The server's certificate ");
        const QString selfSigned = issued + "is self-signed: no authority vouches for it.";
        const QString changed = issued + "is not the one you trusted for this account.";
        cases = {{"127.0.0.1", "", {}},
                 {"127.0.0.2", "", selfSigned},
                 {"127.0.0.3", "", issued + "was issued for mail.example.org, not 127.0.0.3."},
                 {"127.0.0.4", "", issued + "expired on " + expiredOn + "."},
                 {"127.0.0.2", "", selfSigned, true},
                 {"127.0.0.2", "self-signed", {}},
                 {"127.0.0.5", "self-signed", changed},
                 {"127.0.0.1", "self-signed", changed}};
        const char* served[] = {"trusted", "self-signed", "wrong-name", "expired",
                                "other-self-signed"};
        auto listeners = [&](const char* option) {
            QStringList options;
            for (int i = 0; i < 5; ++i) {
                options
                    << option
                    << QStringLiteral("127.0.0.%1:%2.pem:%2.key").arg(i + 1).arg(file(served[i]));
            }
            return options;
        };
        EXPECT_TRUE(pop.start(listeners("--tls"))) << pop.error().toStdString();
        EXPECT_TRUE(pop.add({kScripts + QStringLiteral("demo-mail/01-welcome.eml")}));
        const QStringList login{QStringLiteral("--auth"), QStringLiteral("alice:secret")};
        tlsPort = sink(tlsSink, login + listeners("--tls"));
        startTlsPort = sink(startTlsSink, login + listeners("--starttls"));
        plainPort = sink(plainSink, login);
    }
    ~Servers() {
        for (QTemporaryDir* d : {&tlsSink, &startTlsSink, &plainSink}) {
            run(kScripts + "smtp-sink", {"stop", d->path()});
        }
    }
    static quint16 sink(const QTemporaryDir& dir, const QStringList& options) {
        return run(kScripts + "smtp-sink", QStringList{"start", dir.path()} + options).toUShort();
    }
    QString file(const QString& name) const { return certs.filePath(name); }
    // As openssl computes it: the value the settings must hold for a trusted certificate.
    QString fingerprint(const QString& name) const {
        const QString out =
            run(QStringLiteral("openssl"), {"x509", "-noout", "-fingerprint", "-sha256", "-in",
                                            file(name + QStringLiteral(".pem"))});
        return QStringLiteral("SHA256:") + out.section('=', 1).remove(':');
    }
};

Servers* setup = nullptr;

std::string str(const QString& text) {
    return text.toStdString();
}

// What the SMTP server kept: "messages" received, or "logins" tried (a line each).
int count(const QTemporaryDir& sink, const char* what) {
    QFile f(sink.filePath(what));
    return f.open(QIODevice::ReadOnly)
               ? int(f.readAll().count('\n'))
               : QDir(sink.filePath(what)).entryList({QStringLiteral("*.eml")}).size();
}

} // namespace

class TlsPeer : public ::testing::Test {
public:
    static void SetUpTestSuite() { setup = new Servers; }
    static void TearDownTestSuite() { delete std::exchange(setup, nullptr); }

    // Get Mail, until the listing ends or the question about the certificate is asked.
    void getMail(frmPOP& w, Security security, const QString& address) {
        std::tie(w.Account.Isp, w.Account.POPAddress, w.Account.EmailUsername, w.Account.EmailPass,
                 w.Account.POPSecurity) =
            std::tuple("tls", address.toStdString(), "alice", "secret", security);
        w.cmdConnect->click();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                const QString status = w.lblStatus->text();
                return !dialogs.messages().empty() || status.endsWith("listed") ||
                       status == "No Message";
            },
            15000));
    }

    // Sends a message with a login, until the transfer is over.
    void send(Security security, const QString& address) {
        std::tie(account.Isp, account.SMTPAddress, account.EmailUsername, account.EmailPass,
                 account.EmailAuth, account.EmailFromName, account.EmailFromDomain,
                 account.SMTPSecurity) = std::tuple("tls", address.toStdString(), "alice", "secret",
                                                    2, "alice", "example.com", security);
        compose = std::make_unique<frmSMTP>(account);
        compose->fill(QStringLiteral("bob@example.net"), QStringLiteral("Hi"), QStringLiteral("x"));
        compose->cmdSend_Click();
        compose->Timer1_Timer();
        compose->Timer1_Timer();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !compose->SMTP1->isSending(); }, 20000));
    }

    TempSettings settings;
    ScriptedDialogs dialogs;
    AccountRecord account;
    std::unique_ptr<frmSMTP> compose;
};

TEST_F(TlsPeer, AcceptsWhatVerifiesOrWasTrustedAndRefusesTheRestWithItsReason) {
    const QString selfSigned = setup->fingerprint("self-signed");
    for (const Security security : {Security::Tls, Security::StartTls}) {
        const bool tls = security == Security::Tls;
        const QTemporaryDir& sink = tls ? setup->tlsSink : setup->startTlsSink;
        const int logins = count(sink, "logins");
        for (const Case& c : setup->cases) {
            SCOPED_TRACE(std::string(c.ip) + " pinned " + c.pinned);
            const std::string pinned = *c.pinned ? str(setup->fingerprint(c.pinned)) : "";
            settings.setSection("tls", {{"POPCertificate", pinned}, {"SMTPCertificate", pinned}});
            dialogs.clear();
            for (int i = c.refused.isEmpty() ? 0 : 2; i > 0; --i) {
                dialogs.answer(c.trust ? platform::MsgAnswer::Yes : platform::MsgAnswer::No);
            }
            frmPOP w;
            getMail(w, security, setup->pop.address(c.ip, tls));
            const int sent = count(sink, "messages");
            send(security,
                 QStringLiteral("%1:%2").arg(c.ip).arg(tls ? setup->tlsPort : setup->startTlsPort));
            if (c.refused.isEmpty() || c.trust) { // trusting it connects again with the pin
                ASSERT_TRUE(
                    QTest::qWaitFor([&] { return w.lblStatus->text().endsWith("listed"); }));
                EXPECT_EQ(str(w.lblStatus->text()), "1 Messages listed");
                ASSERT_NE(w.session().debugWindow(), nullptr);
                EXPECT_TRUE(
                    QString::fromStdString(w.session().debugWindow()->text())
                        .contains(QRegularExpression("TLS: TLSv1.3, cipher TLS_\\w+, "
                                                     "certificate CN=localhost, O=Corvane")));
                EXPECT_EQ(str(compose->lblProgress->text()), "Message successfully sent");
                EXPECT_EQ(count(sink, "messages"), sent + 1);
            } else {
                EXPECT_EQ(str(w.lblStatus->text()), str("Error: " + c.refused));
                EXPECT_EQ(str(compose->lblProgress->text()), str("Error: " + c.refused));
                EXPECT_EQ(count(sink, "messages"), sent);
            }
            ASSERT_EQ(dialogs.messages().size(), c.refused.isEmpty() ? 0u : 2u);
            const QString trusted =
                *c.pinned ? "Trusted before:\n" +
                                platform::GroupedFingerprint(QString::fromStdString(pinned)) +
                                "\n\nOffered now:\n"
                          : "SHA-256 fingerprint:\n";
            for (const auto& question : dialogs.messages()) {
                EXPECT_TRUE(question.text.startsWith("Corvane refused the secure connection to " +
                                                     QString(c.ip) + ":"));
                EXPECT_TRUE(question.text.contains(".\n\n" + c.refused + "\n"));
                EXPECT_TRUE(question.text.contains(trusted));
            }
            for (const char* key : {"POPCertificate", "SMTPCertificate"}) {
                EXPECT_EQ(settings.store().GetSetting("tls", key),
                          c.trust ? str(selfSigned) : pinned);
            }
        }
        // Only the three accepted certificates led to an SMTP login.
        EXPECT_EQ(count(sink, "logins"), logins + 3);
    }
}

// A POP3 peer on the wire: it answers CAPA and STLS as scripted, turns to TLS after an
// "+OK" to STLS (listing what it can do again, truly), and keeps every line it receives.
class WirePeer : public QTcpServer {
public:
    WirePeer(QByteArray capa, QByteArray stls) : capa(capa), stls(stls) {
        listen(QHostAddress::LocalHost);
    }
    QStringList lines;

protected:
    void incomingConnection(qintptr handle) override {
        auto* s = new QSslSocket(this);
        s->setSocketDescriptor(handle);
        s->setLocalCertificate(setup->file("trusted.pem"));
        s->setPrivateKey(setup->file("trusted.key"));
        s->write("+OK ready\r\n");
        connect(s, &QSslSocket::readyRead, s, [this, s] {
            while (s->canReadLine()) {
                const QByteArray line = s->readLine().trimmed();
                lines << QString::fromLatin1(line);
                s->write(line == "CAPA"   ? (s->isEncrypted() ? "+OK\r\nUSER\r\n.\r\n" : capa)
                         : line == "STLS" ? stls
                         : line == "LIST" ? QByteArray("+OK\r\n.\r\n")
                                          : "+OK\r\n");
                if (line == "STLS" && stls.startsWith("+OK go")) {
                    s->startServerEncryption();
                }
            }
        });
    }

private:
    QByteArray capa, stls;
};

TEST_F(TlsPeer, WithoutStlsNothingOfTheLoginIsSent) {
    const QByteArray offered = "+OK\r\nSTLS\r\n.\r\n";
    const QString refused = "Error: The server refused STLS, login not sent";
    const QString missing = "Error: The server does not offer STLS, login not sent";
    const struct {
        QByteArray capa, stls;
        QString status;
        const char* wire; // the lines the server received
    } cases[] = {
        {"+OK\r\nUSER\r\n.\r\n", "", missing, "CAPA"},
        {"-ERR unknown\r\n", "", missing, "CAPA"},
        {offered, "-ERR not now\r\n", refused, "CAPA STLS"},
        // What comes with the "+OK" to STLS was sent in clear: it is no reply to the CAPA
        // that follows the handshake.
        {offered, "+OK go\r\n+OK\r\nX-FORGED\r\n.\r\n", "No Message",
         "CAPA STLS CAPA USER alice PASS secret LIST"},
    };
    dialogs.allowUnscriptedOk();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capa.toStdString() + c.stls.toStdString());
        dialogs.clear();
        WirePeer peer(c.capa, c.stls);
        frmPOP w;
        getMail(w, Security::StartTls, QStringLiteral("127.0.0.1:%1").arg(peer.serverPort()));
        EXPECT_EQ(str(w.lblStatus->text()), str(c.status));
        EXPECT_EQ(str(peer.lines.mid(0, 6).join(' ')), c.wire);
    }
    {
        // A server that says "+OK" to STLS and never shakes hands is timed out like a silent one.
        WirePeer peer(offered, "+OK\r\n");
        frmPOP w;
        w.session().ReplyTimeout(); // not connected yet: nothing to end
        std::tie(w.Account.Isp, w.Account.POPAddress, w.Account.EmailUsername, w.Account.EmailPass,
                 w.Account.POPSecurity) =
            std::tuple("tls", QStringLiteral("127.0.0.1:%1").arg(peer.serverPort()).toStdString(),
                       "alice", "secret", Security::StartTls);
        w.cmdConnect->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.lblStatus->text() == "Starting TLS"; }, 15000));
        w.session().ReplyTimeout();
        EXPECT_EQ(str(w.lblStatus->text()),
                  "Error: No reply from server for 60 seconds, connection closed");
        EXPECT_EQ(str(peer.lines.join(' ')), "CAPA STLS");
    }
    // SMTP: a server without STARTTLS gets no AUTH either.
    send(Security::StartTls, QStringLiteral("127.0.0.1:%1").arg(setup->plainPort));
    EXPECT_TRUE(compose->lblProgress->text().startsWith("Error"));
    EXPECT_EQ(count(setup->plainSink, "logins"), 0);
    EXPECT_EQ(count(setup->plainSink, "messages"), 0);
}

// A security choice that does not fit the port, and a server that does not exist: said in a
// sentence, with the ports that usually fit.
TEST_F(TlsPeer, AWrongSecurityOrAnUnknownServerIsSaidInASentence) {
    dialogs.allowUnscriptedOk();
    const QString plain = setup->pop.address(QStringLiteral("127.0.0.1"), false);
    for (const QString& address : {plain, QStringLiteral("nohost.invalid")}) {
        dialogs.clear();
        frmPOP w;
        getMail(w, Security::Tls, address);
        const bool tls = address == plain;
        EXPECT_EQ(str(w.lblStatus->text()),
                  str("Error: Server " + address +
                      (tls ? " does not speak TLS on this port" : " not found")));
        EXPECT_TRUE(dialogs.messageTexts().value(0).startsWith(
            tls ? "sckPOP Error [20100]: The server 127.0.0.1 does not speak TLS on port " +
                      plain.section(':', 1) + ". POP3 servers usually offer TLS on port 995"
                : "sckPOP Error [11001]: The server nohost.invalid was not found."));
    }
    send(Security::Tls, QStringLiteral("127.0.0.1:%1").arg(setup->plainPort));
    EXPECT_TRUE(compose->lblProgress->text().startsWith(
        QStringLiteral("Error: The SMTP server 127.0.0.1 does not speak TLS on port %1. SMTP "
                       "servers usually offer TLS on port 465 and STARTTLS on port 587")
            .arg(setup->plainPort)));
    // Plain text to a port that waits for TLS: both sides would wait for the other until the
    // time-out; asked on the side, the server shows itself within seconds.
    const QString tlsOnly = setup->pop.address(QStringLiteral("127.0.0.1"), true);
    for (Security security : {Security::None, Security::StartTls}) {
        dialogs.clear();
        frmPOP w;
        getMail(w, security, tlsOnly);
        EXPECT_EQ(str(w.lblStatus->text()),
                  str("Error: Server " + tlsOnly + " expects TLS on this port"));
        EXPECT_TRUE(dialogs.messageTexts().value(0).startsWith(
            "sckPOP Error [20101]: The server 127.0.0.1 expects a secure connection from the "
            "first byte on port " +
            tlsOnly.section(':', 1)));
        send(security, QStringLiteral("127.0.0.1:%1").arg(setup->tlsPort));
        EXPECT_TRUE(compose->lblProgress->text().contains(
            QStringLiteral("The SMTP server 127.0.0.1 expects a secure connection from the first "
                           "byte on port %1")
                .arg(setup->tlsPort)))
            << str(compose->lblProgress->text());
    }
}
