// Certificate questions and SMTP failures as a person reads them (with real servers: TlsPeerTest).
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
    CertificateProblem p{"Changed.",          "CN=a", "CN=b",
                         fingerprint("mail"), true,   fingerprint("other").toLower(),
                         "[::1]:995"};
    const CertificateQuestion q = CertificateQuestionFor(p, QStringLiteral("as typed"));
    EXPECT_EQ(q.title, "Server certificate changed");
    EXPECT_TRUE(q.text.startsWith("Corvane refused the secure connection to [::1]:995.\n\n"
                                  "Changed.\n\nThis can mean that your provider has replaced"));
    EXPECT_EQ(q.wholeText(), q.text + "\n\nTrusted before:\n"
                                      "9368 FEF6 698B 6C34 06B6 B9A5 8237 92DC\n"
                                      "60D7 7460 DB3E 7CFA C68B B047 223B 3319\n\nOffered now:\n"
                                      "C1B4 40B5 3B83 0DB0 6E66 8EE0 6D31 9D7E\n"
                                      "9AD7 C26B 9326 24B0 1127 9928 557B 60D9");
    p.server.clear();
    EXPECT_TRUE(CertificateQuestionFor(p, QStringLiteral("as typed"))
                    .text.startsWith("Corvane refused the secure connection to as typed."));
}

// Cancel is the default; trusting a changed certificate needs the confirmation first.
TEST(CertificateDialog, TrustingAChangedCertificateIsASecondStep) {
    for (const bool changed : {false, true}) {
        CertificateDialog d({{}, {}, "AAAA 1111\nCCCC", changed ? "AAAA 2222\nCCCC" : ""}, nullptr);
        d.show();
        EXPECT_EQ(d.cmdTrust->isEnabled(), !changed);
        QTest::keyClick(&d, Qt::Key_Return);
        EXPECT_EQ(d.result(), QDialog::Rejected);
        EXPECT_EQ(d.lblOffered->text(), changed ? "AAAA <b>1111</b><br>CCCC" : "AAAA 1111<br>CCCC");
        if (changed) {
            EXPECT_EQ(d.lblTrusted->text(), "AAAA <b>2222</b><br>CCCC"); // the group that differs
            d.show();
            d.chkConfirmed->click();
            d.cmdTrust->click();
            EXPECT_EQ(d.result(), QDialog::Accepted);
        }
    }
}

// A TLS mismatch only when TLS was asked for; a silent port 465 is a TLS port.
TEST(SmtpSession, ATlsMismatchNamesTheUsualPorts) {
    const QString plain = QStringLiteral("error:0A00010B:SSL routines::wrong version number");
    auto text = [&](CURLcode code, bool tls) {
        return SmtpSession::failureText(code, QStringLiteral("s"), 465, tls, plain);
    };
    EXPECT_EQ(text(CURLE_SSL_CONNECT_ERROR, false),
              "A secure connection to the SMTP server s on port 465 could not be set up (" + plain +
                  ").");
    EXPECT_EQ(text(CURLE_OPERATION_TIMEDOUT, true),
              "The SMTP server s on port 465 did not answer in time.");
    EXPECT_EQ(text(CURLE_OPERATION_TIMEDOUT, false),
              text(CURLE_OPERATION_TIMEDOUT, true) +
                  " Port 465 usually expects TLS from the first byte: choose TLS for this server "
                  "in the ISP setup.");
}

} // namespace
