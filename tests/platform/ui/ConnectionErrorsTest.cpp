// What a person reads when a secure connection fails: the certificate questions and the window
// that asks them. (The reasons for real certificates are checked against real servers in the
// TLS peer tests.)
#include "platform/CertificateDialog.h"
#include "platform/Certificates.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
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

} // namespace
