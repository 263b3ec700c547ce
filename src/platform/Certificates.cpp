#include "platform/Certificates.h"

#include "platform/Dialogs.h"
#include "platform/SettingsStore.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QStringList>
#include <algorithm>

namespace platform {

namespace {

QString distinguishedName(const QSslCertificate& c, bool issuer) {
    QStringList parts;
    const QList<QByteArray> attributes =
        issuer ? c.issuerInfoAttributes() : c.subjectInfoAttributes();
    for (const QByteArray& attribute : attributes) {
        const QStringList values = issuer ? c.issuerInfo(attribute) : c.subjectInfo(attribute);
        parts << QString::fromLatin1(attribute) + QLatin1Char('=') +
                     values.join(QStringLiteral(", "));
    }
    return parts.join(QStringLiteral(", "));
}

// The names the certificate was issued for: its alternative names, else its common name.
QString issuedFor(const QSslCertificate& c) {
    QStringList names;
    const auto alternatives = c.subjectAlternativeNames();
    for (auto it = alternatives.cbegin(); it != alternatives.cend(); ++it) {
        names << it.value();
    }
    if (names.isEmpty()) {
        names = c.subjectInfo(QSslCertificate::CommonName);
    }
    return names.isEmpty() ? QStringLiteral("no name") : names.join(QStringLiteral(", "));
}

QString reason(const QSslError& error, const QSslCertificate& c, const QString& host) {
    const QString prefix = QStringLiteral("The server's certificate ");
    switch (error.error()) {
    case QSslError::SelfSignedCertificate:
        return prefix + QStringLiteral("is self-signed: no authority vouches for it.");
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
        return prefix + QStringLiteral("was issued by %1, which this computer does not trust.")
                            .arg(distinguishedName(c, true));
    case QSslError::HostNameMismatch:
        return prefix + QStringLiteral("was issued for %1, not %2.").arg(issuedFor(c), host);
    case QSslError::CertificateExpired:
        return prefix + QStringLiteral("expired on %1.")
                            .arg(c.expiryDate().toUTC().toString(QStringLiteral("yyyy-MM-dd")));
    case QSslError::CertificateNotYetValid:
        return prefix + QStringLiteral("is not valid before %1.")
                            .arg(c.effectiveDate().toUTC().toString(QStringLiteral("yyyy-MM-dd")));
    default:
        return prefix + QStringLiteral("could not be verified (%1).").arg(error.errorString());
    }
}

} // namespace

QString CertificateFingerprint(const QSslCertificate& certificate) {
    return QStringLiteral("SHA256:") +
           QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex().toUpper());
}

std::optional<CertificateProblem> CheckCertificate(const QSslCertificate& certificate,
                                                   const QList<QSslError>& errors,
                                                   const QString& host, const QString& pinned) {
    CertificateProblem problem;
    problem.fingerprint = CertificateFingerprint(certificate);
    if (!pinned.isEmpty() && problem.fingerprint.compare(pinned, Qt::CaseInsensitive) == 0) {
        return std::nullopt;
    }
    QStringList reasons;
    if (!pinned.isEmpty()) {
        problem.changed = true;
        problem.trusted = pinned;
        reasons << QStringLiteral(
            "The server's certificate is not the one you trusted for this account.");
    }
    for (const QSslError& error : errors) {
        const QString text = reason(error, certificate, host);
        if (!reasons.contains(text)) {
            reasons << text;
        }
    }
    if (reasons.isEmpty()) {
        return std::nullopt;
    }
    problem.what = reasons.join(QLatin1Char('\n'));
    problem.subject = distinguishedName(certificate, false);
    problem.issuer = distinguishedName(certificate, true);
    return problem;
}

QString GroupedFingerprint(const QString& fingerprint) {
    QString hex = fingerprint;
    if (hex.startsWith(QLatin1String("SHA256:"), Qt::CaseInsensitive)) {
        hex.remove(0, 7);
    }
    hex.remove(QLatin1Char(':'));
    hex = hex.toUpper();
    QString grouped;
    for (qsizetype i = 0; i < hex.size(); i += 4) {
        if (i > 0) {
            grouped += i % 32 == 0 ? QLatin1Char('\n') : QLatin1Char(' ');
        }
        grouped += hex.mid(i, 4);
    }
    return grouped;
}

QString ServerEndpoint(const QString& host, std::uint16_t port) {
    const QString shown =
        host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return shown + QLatin1Char(':') + QString::number(port);
}

bool TlsMetPlainText(const QString& handshakeError) {
    // OpenSSL's words when the first bytes are no TLS record: a greeting in clear text reads as
    // a record of an unknown version or an absurd length.
    static const char* const words[] = {"wrong version number", "unknown protocol",
                                        "packet length too long", "http request"};
    return std::any_of(std::begin(words), std::end(words), [&](const char* w) {
        return handshakeError.contains(QLatin1String(w), Qt::CaseInsensitive);
    });
}

CertificateQuestion CertificateQuestionFor(const CertificateProblem& problem,
                                           const QString& server) {
    CertificateQuestion q;
    q.offered = GroupedFingerprint(problem.fingerprint);
    QString text = QStringLiteral("Corvane refused the secure connection to %1.\n\n")
                       .arg(problem.server.isEmpty() ? server : problem.server) +
                   problem.what;
    if (problem.changed) {
        q.title = QStringLiteral("Server certificate changed");
        q.trusted = GroupedFingerprint(problem.trusted);
        text += QStringLiteral(
            "\n\nThis can mean that your provider has replaced its certificate. It can also mean "
            "that someone between you and the server is posing as it, to read your password and "
            "your mail. Do not trust the new certificate unless your provider confirms its "
            "fingerprint.");
    } else {
        q.title = QStringLiteral("Server certificate");
        text += QStringLiteral("\n\nTrust this certificate for this account only if you know "
                               "it is your server's own, for example because your provider "
                               "publishes this fingerprint.");
    }
    q.text = text + QStringLiteral("\n\nCertificate: ") + problem.subject +
             QStringLiteral("\nIssued by: ") + problem.issuer;
    return q;
}

bool AskToTrustCertificate(QWidget* parent, const CertificateProblem& problem,
                           const QString& server) {
    return dialogs().trustCertificate(parent, CertificateQuestionFor(problem, server));
}

QString TlsSummary(const QSslSocket& socket) {
    static const std::pair<QSsl::SslProtocol, const char*> names[] = {
        {QSsl::TlsV1_2, "TLSv1.2"},
        {QSsl::TlsV1_3, "TLSv1.3"},
    };
    const QSslCipher cipher = socket.sessionCipher();
    const QSsl::SslProtocol protocol = socket.sessionProtocol();
    QString version = cipher.protocolString();
    for (const auto& [p, name] : names) {
        if (p == protocol) {
            version = QLatin1String(name);
        }
    }
    return QStringLiteral("TLS: %1, cipher %2, certificate %3\r\n")
        .arg(version, cipher.name(), distinguishedName(socket.peerCertificate(), false));
}

QString PinnedCertificate(std::string_view account, std::string_view key) {
    return QString::fromStdString(settingsStore().GetSetting(account, key));
}

void PinCertificate(std::string_view account, std::string_view key, const QString& fingerprint) {
    settingsStore().SaveSetting(account, key, fingerprint.toStdString());
}

void TrustCertificateFileFromEnvironment() {
    static bool done = false;
    const QString file = qEnvironmentVariable("SSL_CERT_FILE");
    if (std::exchange(done, true) || file.isEmpty()) {
        return;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.addCaCertificates(QSslCertificate::fromPath(file));
    QSslConfiguration::setDefaultConfiguration(configuration);
}

} // namespace platform
