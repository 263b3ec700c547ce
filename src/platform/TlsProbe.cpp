#include "platform/TlsProbe.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpSocket>

namespace platform {

namespace {

void put16(QByteArray& out, int value) {
    out.append(char((value >> 8) & 0xff));
    out.append(char(value & 0xff));
}

void put24(QByteArray& out, int value) {
    out.append(char((value >> 16) & 0xff));
    put16(out, value);
}

// One extension: its type, then its data with a 16-bit length.
void extension(QByteArray& out, int type, const QByteArray& data) {
    put16(out, type);
    put16(out, int(data.size()));
    out.append(data);
}

QByteArray list16(std::initializer_list<int> values) {
    QByteArray out;
    put16(out, int(values.size() * 2));
    for (int v : values) {
        put16(out, v);
    }
    return out;
}

} // namespace

TlsProbe::TlsProbe(QObject* parent) : QObject(parent) {}

TlsProbe::~TlsProbe() {
    stop();
}

QByteArray TlsProbe::ClientHello(const QString& host) {
    QByteArray extensions;
    if (QHostAddress(host).isNull() && !host.isEmpty()) { // a name, not an address
        const QByteArray name = host.toUtf8();
        QByteArray sni;
        put16(sni, int(name.size() + 3));
        sni.append('\0'); // host_name
        put16(sni, int(name.size()));
        sni.append(name);
        extension(extensions, 0x0000, sni);
    }
    extension(extensions, 0x000a, list16({0x001d, 0x0017, 0x0018})); // x25519, P-256, P-384
    extension(extensions, 0x000b, QByteArray("\x01\x00", 2));        // uncompressed points
    extension(extensions, 0x000d, list16({0x0403, 0x0804, 0x0401, 0x0503, 0x0805, 0x0501}));

    QByteArray hello;
    put16(hello, 0x0303); // TLS 1.2
    for (int i = 0; i < 8; ++i) {
        const quint32 r = QRandomGenerator::global()->generate();
        hello.append(reinterpret_cast<const char*>(&r), sizeof r);
    }
    hello.append('\0'); // no session id
    QByteArray suites = list16({0xc02b, 0xc02f, 0xc02c, 0xc030, 0xcca9, 0xcca8, 0x009c, 0x009d});
    hello.append(suites);
    hello.append("\x01\x00", 2); // no compression
    put16(hello, int(extensions.size()));
    hello.append(extensions);

    QByteArray handshake;
    handshake.append('\x01'); // ClientHello
    put24(handshake, int(hello.size()));
    handshake.append(hello);

    QByteArray record("\x16\x03\x01", 3);
    put16(record, int(handshake.size()));
    record.append(handshake);
    return record;
}

bool TlsProbe::IsTlsRecord(const QByteArray& head) {
    return head.size() >= 2 && (head[0] == '\x16' || head[0] == '\x15') && head[1] == '\x03';
}

void TlsProbe::start(const QString& host, std::uint16_t port) {
    stop();
    hostName = host;
    socket = new QTcpSocket(this);
    connect(socket, &QTcpSocket::connected, this, [this] { socket->write(ClientHello(hostName)); });
    connect(socket, &QTcpSocket::readyRead, this, [this] {
        if (socket->bytesAvailable() < 2) {
            return;
        }
        const bool tls = IsTlsRecord(socket->read(2));
        stop();
        if (tls) {
            Q_EMIT tlsFound();
        }
    });
    // Refused, closed or failed: the probe learnt nothing, and says nothing.
    connect(
        socket, &QTcpSocket::errorOccurred, this, [this] { stop(); }, Qt::QueuedConnection);
    socket->connectToHost(host, port);
}

void TlsProbe::stop() {
    if (socket) {
        QTcpSocket* s = std::exchange(socket, nullptr);
        s->disconnect(this);
        s->abort();
        s->deleteLater();
    }
}

bool TlsProbe::ServerExpectsTls(const QString& host, std::uint16_t port, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QTcpSocket s;
    s.connectToHost(host, port);
    if (!s.waitForConnected(int(deadline.remainingTime()))) {
        return false;
    }
    s.write(ClientHello(host));
    while (s.bytesAvailable() < 2) {
        if (deadline.hasExpired() || !s.waitForReadyRead(int(deadline.remainingTime()))) {
            return false;
        }
    }
    return IsTlsRecord(s.read(2));
}

} // namespace platform
