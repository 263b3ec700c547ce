#pragma once

#include "platform/Transport.h"

#include <QAbstractSocket>

class QTcpSocket;

namespace platform {

// Transport over a QTcpSocket. The socket's own error numbers are turned into
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

    static int errorNumber(QAbstractSocket::SocketError error);

private:
    void onStateChanged(QAbstractSocket::SocketState socketState);
    void onErrorOccurred(QAbstractSocket::SocketError socketError);

    QTcpSocket* socket;
    QAbstractSocket::SocketState lastState = QAbstractSocket::UnconnectedState;
};

} // namespace platform
