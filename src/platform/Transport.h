#pragma once

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
    // Everything received and not read yet.
    virtual std::string readAll() = 0;
    // Closes at once; `closed` follows (synchronously) when the transport was
    // not closed already.
    virtual void close() = 0;

Q_SIGNALS:
    void connected();
    void readyRead();
    // The connection is gone, whoever ended it.
    void closed();
    // A failure other than the peer closing the connection (that one is `closed`).
    void error(int number, const QString& description);
};

// The real transport, over QTcpSocket.
std::unique_ptr<Transport> createTcpTransport();

} // namespace platform
