#pragma once

#include "platform/Transport.h"

#include <QAbstractSocket>
#include <optional>

class QSslSocket;

namespace platform {

// Transport over a QSslSocket, plain or with TLS. The socket's own error numbers are turned into
// the familiar Winsock numbers where there is one, so the message boxes read
// like every other mail program's.
class TcpTransport final : public Transport {
    Q_OBJECT
public:
    TcpTransport();
    ~TcpTransport() override;

    void connectToHost(const QString& host, std::uint16_t port) override;
    State state() const override;
    void write(std::string_view bytes) override;
    std::string readAll() override;
    void close() override;
    void connectToHostEncrypted(const QString& host, std::uint16_t port) override;
    void startTls() override;
    void setPinnedCertificate(const QString& fingerprint) override { pinned = fingerprint; }

    static int errorNumber(QAbstractSocket::SocketError error);

private:
    void onStateChanged(QAbstractSocket::SocketState socketState);
    void onErrorOccurred(QAbstractSocket::SocketError socketError);
    void onSslErrors(const QList<QSslError>& errors);
    void onEncrypted();

    QSslSocket* socket;
    QString hostName;
    std::uint16_t portNumber = 0;
    QString pinned;
    bool implicitTls = false;
    std::optional<CertificateProblem> refused; // the handshake fails because of it
    QAbstractSocket::SocketState lastState = QAbstractSocket::UnconnectedState;
};

} // namespace platform
