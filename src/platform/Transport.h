#pragma once

#include "platform/Certificates.h"
#include "settings/AccountRecord.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// The event-driven TCP client the POP3 session talks through. Bytes go in and
// out as std::string (one byte = one character); every event is a signal, so
// nothing ever waits for the network.
class Transport : public QObject {
    Q_OBJECT
public:
    // Only these two states matter to the session; connecting, resolving and
    // closing all count as Other.
    enum class State { Closed, Connected, Other };

    ~Transport() override = default;

    virtual void connectToHost(const QString& host, std::uint16_t port) = 0;
    virtual State state() const = 0;
    virtual void write(std::string_view bytes) = 0;
    // Everything received and not read yet; the bytes stay valid until the next call.
    virtual std::string_view readAll() = 0;
    // Closes at once; `closed` follows (synchronously) when the transport was
    // not closed already.
    virtual void close() = 0;

    // --- TLS. A transport without it refuses with `error`. ---------------------------------
    // TLS from the first byte: `encrypted`, then `connected`, once the certificate is
    // accepted.
    virtual void connectToHostEncrypted(const QString& host, std::uint16_t port);
    // The plain connection turns into TLS (after STLS); bytes the server sent before are
    // dropped. `encrypted` follows once the certificate is accepted.
    virtual void startTls();
    // The fingerprint the user trusted for this server ("SHA256:" + hex), or empty: the
    // certificate must then pass the system's verification.
    virtual void setPinnedCertificate(const QString& fingerprint);
    // Connects to the account's POP3 server as its security setting says, with the
    // certificate the user trusted for it. False when the server address cannot be read.
    bool connectToPopServer(const AccountRecord& account);

Q_SIGNALS:
    void connected();
    void readyRead();
    // The connection is gone, whoever ended it.
    void closed();
    // A failure other than the peer closing the connection (that one is `closed`).
    void error(int number, const QString& description);
    // The TLS handshake is done; summary names the protocol, cipher and certificate.
    void encrypted(const QString& summary);
    // The certificate was not accepted; the connection closes (`closed` follows).
    void certificateRefused(const platform::CertificateProblem& problem);
};

// The real transport, over QSslSocket.
std::unique_ptr<Transport> createTcpTransport();

} // namespace platform
