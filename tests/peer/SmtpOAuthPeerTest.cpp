// OAuth2 logins to a real SMTP server (aiosmtpd through scripts/smtp-sink, which takes one
// access token per user and offers XOAUTH2 beside OAUTHBEARER, PLAIN and LOGIN).
#include "platform/SmtpSession.h"
#include "support/SmtpSink.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A realistic token: longer than aiosmtpd's own line limits and than an AUTH line may be.
const QString kToken = QStringLiteral("ya29.") + QString(3000, u'x');

struct Outcome {
    QString event; // "sent" or "error NUMBER: DESCRIPTION"
    QStringList statuses;
};

Outcome send(quint16 port, const QString& token) {
    platform::SmtpSession smtp;
    Outcome o;
    QObject::connect(&smtp, &platform::SmtpSession::statusTextChanged,
                     [&](const QString& s) { o.statuses << s; });
    QObject::connect(&smtp, &platform::SmtpSession::SendSMTP, [&] { o.event = "sent"; });
    QObject::connect(&smtp, &platform::SmtpSession::ErrorSMTP, [&](qint16 n, const QString& d) {
        o.event = QStringLiteral("error %1: %2").arg(n).arg(d);
    });
    std::tie(smtp.Server, smtp.Port, smtp.Username, smtp.AccessToken, smtp.MailFrom, smtp.SendTo) =
        std::tuple(QStringLiteral("127.0.0.1"), port, QStringLiteral("alice"), token,
                   QStringLiteral("alice@example.com"), QStringLiteral("bob@example.net"));
    smtp.SendEmail();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !smtp.isSending(); }, 20000));
    return o;
}

} // namespace

TEST(SmtpOAuthPeer, TheTokenLogsInWithXOAuth2AndNothingOfItIsShown) {
    SmtpSink sink({QStringLiteral("--oauth"), QStringLiteral("alice:") + kToken});
    const struct {
        QString token, event;
    } rows[] = {
        {kToken, "sent"},
        // libcurl gives up at the server's error challenge: the session still says 535.
        {kToken + "-revoked", "error 535: "},
    };
    for (const auto& row : rows) {
        const Outcome o = send(sink.port, row.token);
        EXPECT_EQ(o.event, row.event);
        EXPECT_TRUE(o.statuses.contains(QStringLiteral("Logging in")));
        EXPECT_FALSE(o.statuses.join(u'|').contains(QStringLiteral("xxxx")));
    }
    // XOAUTH2 by name, although libcurl would take OAUTHBEARER when offered both.
    EXPECT_EQ(sink.logins(), QStringList({"XOAUTH2 alice", "XOAUTH2 alice"}));
    ASSERT_EQ(sink.count(), 1);
    EXPECT_TRUE(sink.message(1).contains(QStringLiteral("Login: alice")));
}

TEST(SmtpOAuthPeer, AServerWithoutXOAuth2GetsNothing) {
    SmtpSink sink({QStringLiteral("--auth"), QStringLiteral("alice:secret")});
    const Outcome o = send(sink.port, kToken);
    EXPECT_EQ(o.event, QStringLiteral("error 67: The SMTP server 127.0.0.1 on port %1 does not "
                                      "offer the OAuth2 sign-in (XOAUTH2); nothing was sent.")
                           .arg(sink.port));
    EXPECT_TRUE(sink.logins().isEmpty());
    EXPECT_EQ(sink.count(), 0);
}
