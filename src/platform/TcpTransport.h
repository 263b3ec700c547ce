#pragma once

#include "platform/TlsProbe.h"
#include "platform/Transport.h"

#include <QAbstractSocket>
#include <optional>
#include <string>
#include <string_view>

class QSslSocket;
class QTimer;

namespace platform {

// Transport over a QSslSocket, plain or with TLS. The socket's own error numbers are turned into
// the familiar Winsock numbers where there is one, so the message boxes read like every other
// mail program's; failures Winsock has no number for get 20000 + Qt's number, and a TLS
// handshake that met a server speaking plain text gets kNotTls, and a plain connection to a server
// that waits for TLS gets kTlsExpected. The error's description is a
// sentence that says what happened and what to check.
class TcpTransport final : public Transport {
    Q_OBJECT
public:
    TcpTransport();
    ~TcpTransport() override;

    void connectToHost(const QString& host, std::uint16_t port) override;
    State state() const override;
    void write(std::string_view bytes) override;
    std::string_view readAll() override;
    void close() override;
    void connectToHostEncrypted(const QString& host, std::uint16_t port) override;
    void startTls() override;
    void setPinnedCertificate(const QString& fingerprint) override { pinned = fingerprint; }

    static int errorNumber(QAbstractSocket::SocketError error);
    static constexpr int kNotTls = 20100;
    static constexpr int kTlsExpected = 20101;
    // How long a plain connection waits for the server's first bytes before it asks, on the
    // side, whether the server is waiting for TLS instead.
    static constexpr int kGreetingProbeMs = 1000;
    static constexpr qint64 kReadBufferBytes = qint64{256} << 10;

private:
    void onStateChanged(QAbstractSocket::SocketState socketState);
    void onErrorOccurred(QAbstractSocket::SocketError socketError);
    void onSslErrors(const QList<QSslError>& errors);
    void onEncrypted();
    void onTlsFound();
    QString describe(QAbstractSocket::SocketError error, bool notTls) const;

    QSslSocket* socket;
    QTimer* silentStart;
    TlsProbe probe;
    QString hostName;
    std::uint16_t portNumber = 0;
    QString pinned;
    bool implicitTls = false;
    std::optional<CertificateProblem> refused; // the handshake fails because of it
    QAbstractSocket::SocketState lastState = QAbstractSocket::UnconnectedState;
    std::string readBuffer; // what readAll() hands out
};

// The status line's words for a transport error, naming the server as the account does:
// "Error: Server pop.example.org not found". Failures without words of their own read
// "Error: Unexpectedly disconnected from server".
QString SocketErrorStatus(int number, const QString& server);

} // namespace platform
