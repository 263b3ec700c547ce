// What a person reads when a secure connection fails: the certificate questions, the window
// that asks them, and the SMTP session's sentences. (The reasons for real certificates, and
// the POP3 transport's sentences, are checked against real servers in the TLS peer tests.)
#include "platform/CertificateDialog.h"
#include "platform/Certificates.h"
#include "platform/SmtpSession.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <curl/curl.h>
#include <gtest/gtest.h>

using namespace platform;

namespace {

TEST(Certificates, AChangedCertificateShowsBothFingerprintsInGroups) {
    auto fingerprint = [](const char* name) {
        return CertificateFingerprint(
            QSslCertificate::fromPath(QStringLiteral(CORVANE_TEST_DATA "/certs/%1.pem").arg(name))
                .value(0));
    };
    const QString offered = QStringLiteral("C1B4 40B5 3B83 0DB0 6E66 8EE0 6D31 9D7E\n"
                                           "9AD7 C26B 9326 24B0 1127 9928 557B 60D9");
    EXPECT_EQ(GroupedFingerprint(fingerprint("mail")), offered);
    EXPECT_EQ(GroupedFingerprint(fingerprint("mail").toLower().replace("sha256:", "SHA256:")),
              offered);
    CertificateProblem p{QStringLiteral("Changed."),
                         QStringLiteral("CN=a"),
                         QStringLiteral("CN=b"),
                         fingerprint("mail"),
                         true,
                         fingerprint("other"),
                         QStringLiteral("[::1]:995")};
    const CertificateQuestion q = CertificateQuestionFor(p, QStringLiteral("as typed"));
    EXPECT_EQ(q.title, "Server certificate changed");
    EXPECT_TRUE(q.text.startsWith("Corvane refused the secure connection to [::1]:995.\n\n"
                                  "Changed.\n\nThis can mean that your provider has replaced"));
    EXPECT_EQ(q.wholeText(), q.text + "\n\nTrusted before:\n" +
                                 GroupedFingerprint(fingerprint("other")) + "\n\nOffered now:\n" +
                                 offered);
    p.changed = false;
    p.server.clear();
    EXPECT_TRUE(CertificateQuestionFor(p, QStringLiteral("as typed"))
                    .wholeText()
                    .startsWith("Corvane refused the secure connection to as typed."));
}

// Cancel is the default; trusting a changed certificate needs the confirmation first.
TEST(CertificateDialog, TrustingAChangedCertificateIsASecondStep) {
    for (const bool changed : {false, true}) {
        const QString trusted = changed ? QStringLiteral("AAAA 2222\nCCCC") : QString();
        CertificateDialog d({QString(), QString(), QStringLiteral("AAAA 1111\nCCCC"), trusted},
                            nullptr);
        d.show();
        EXPECT_EQ(d.cmdTrust->isEnabled(), !changed);
        QTest::keyClick(&d, Qt::Key_Return);
        EXPECT_EQ(d.result(), QDialog::Rejected);
        if (!changed) {
            EXPECT_EQ(d.lblOffered->text(), "AAAA 1111<br>CCCC");
            continue;
        }
        EXPECT_EQ(d.lblTrusted->text(), "AAAA <b>2222</b><br>CCCC"); // the group that differs
        EXPECT_EQ(d.lblOffered->text(), "AAAA <b>1111</b><br>CCCC");
        d.show();
        d.chkConfirmed->click();
        d.cmdTrust->click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }
}

TEST(SmtpSession, ATlsMismatchNamesTheUsualPorts) {
    const QString plain = QStringLiteral("error:0A00010B:SSL routines::wrong version number");
    const struct {
        CURLcode code;
        quint16 port;
        bool tls;
        QString text;
    } cases[] = {
        {CURLE_SSL_CONNECT_ERROR, 587, false,
         "A secure connection to the SMTP server s on port 587 could not be set up (" + plain +
             ")."},
        {CURLE_OPERATION_TIMEDOUT, 465, false,
         "The SMTP server s on port 465 did not answer in time. Port 465 usually expects TLS "
         "from the first byte: choose TLS for this server in the ISP setup."},
        {CURLE_OPERATION_TIMEDOUT, 465, true,
         "The SMTP server s on port 465 did not answer in time."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SmtpSession::failureText(c.code, QStringLiteral("s"), c.port, c.tls, plain),
                  c.text);
    }
}

} // namespace
