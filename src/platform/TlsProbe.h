#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>

class QTcpSocket;

namespace platform {

// Finds out whether a server that stays silent where it should greet is waiting for TLS. A
// server that speaks TLS from the first byte says nothing until the client's hello comes, so a
// client speaking plain text and a server waiting for TLS would both wait until a time-out. The
// probe asks on a second connection: it sends a TLS ClientHello and reads the first two bytes of
// the answer. A TLS server answers with a handshake or an alert record (0x16 or 0x15, then
// 0x03); a plain server greets in text, or says nothing, and the probe ends quietly.
class TlsProbe : public QObject {
    Q_OBJECT
public:
    explicit TlsProbe(QObject* parent = nullptr);
    ~TlsProbe() override;

    void start(const QString& host, std::uint16_t port);
    // Ends a probe under way; no signal follows.
    void stop();

    // The same question asked on the calling thread, waiting at most timeoutMs in all.
    static bool ServerExpectsTls(const QString& host, std::uint16_t port, int timeoutMs);
    // A ClientHello as a TLS 1.2 client sends it (server name included for a host name).
    static QByteArray ClientHello(const QString& host);
    // The first bytes of the answer: a TLS record (true), something else (false).
    static bool IsTlsRecord(const QByteArray& head);

Q_SIGNALS:
    // The server answered the hello in TLS.
    void tlsFound();

private:
    QTcpSocket* socket = nullptr;
    QString hostName;
};

} // namespace platform
