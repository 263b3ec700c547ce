#pragma once

#include "platform/Dialogs.h"

#include <QList>
#include <QSslCertificate>
#include <QSslError>
#include <QString>
#include <cstdint>
#include <optional>
#include <string_view>

class QSslSocket;
class QWidget;

namespace platform {

// Why a server's certificate was not accepted, in words a person can act on, with what
// identifies the certificate.
struct CertificateProblem {
    QString what; // one sentence per reason, a line each
    QString subject;
    QString issuer;
    QString fingerprint;  // "SHA256:" + hex, the form stored when it is trusted
    bool changed = false; // a certificate was trusted for this server, and this is another
    QString trusted;      // that trusted fingerprint, when changed
    QString server;       // "host:port" of the connection, when the transport knows it
};

// "SHA256:" + upper-case hex of the certificate's SHA-256 digest.
QString CertificateFingerprint(const QSslCertificate& certificate);

// A fingerprint as a person compares it: the hex digits (any "SHA256:" prefix and colons
// dropped) in groups of four, eight groups to a line.
QString GroupedFingerprint(const QString& fingerprint);

// "host:port", with an IPv6 address in brackets.
QString ServerEndpoint(const QString& host, std::uint16_t port);

// True when a failed TLS handshake's error text shows that the server answered in plain text
// (a POP3 or SMTP greeting where a TLS record should be).
bool TlsMetPlainText(const QString& handshakeError);

// The verdict on a server's certificate. errors are what the verification against the
// system's authorities and the host name found; pinned is the fingerprint the user trusted
// for this server, or empty. A pinned certificate is accepted whatever the errors; any other
// certificate is refused while a pin is set. Nothing when accepted.
std::optional<CertificateProblem> CheckCertificate(const QSslCertificate& certificate,
                                                   const QList<QSslError>& errors,
                                                   const QString& host, const QString& pinned);

// The question asked for a refused certificate. server names the server when the problem does
// not (the account's address as typed).
CertificateQuestion CertificateQuestionFor(const CertificateProblem& problem,
                                           const QString& server);

// Asks the question through the program's dialogs; true when the user trusts the
// certificate for this account.
bool AskToTrustCertificate(QWidget* parent, const CertificateProblem& problem,
                           const QString& server);

// One line for the debug buffer: protocol version, cipher and certificate subject.
QString TlsSummary(const QSslSocket& socket);

// The fingerprint the user trusted for a server of an account ("POPCertificate",
// "SMTPCertificate"), and storing a new one.
QString PinnedCertificate(std::string_view account, std::string_view key);
void PinCertificate(std::string_view account, std::string_view key, const QString& fingerprint);

// A file of extra authorities named by SSL_CERT_FILE is trusted besides the system's (the
// tests' own authority reaches the program this way). Called before the first connection.
void TrustCertificateFileFromEnvironment();

} // namespace platform
