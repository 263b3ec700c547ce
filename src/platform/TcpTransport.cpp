#include "platform/TcpTransport.h"

#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>
#include <utility>

namespace platform {

TcpTransport::TcpTransport() : socket(new QSslSocket(this)), silentStart(new QTimer(this)) {
    // The socket takes in at most this much before it is read: each read hands the session a
    // bounded amount, so a fast server never keeps the window busy for long, and a large
    // reply is never held twice at once in full.
    socket->setReadBufferSize(kReadBufferBytes);
    silentStart->setSingleShot(true);
    silentStart->setInterval(kGreetingProbeMs);
    connect(silentStart, &QTimer::timeout, this, [this] { probe.start(hostName, portNumber); });
    connect(&probe, &TlsProbe::tlsFound, this, &TcpTransport::onTlsFound);
    // Small commands, one at a time: do not let Nagle hold them back.
    connect(socket, &QSslSocket::connected, this, [this] {
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        if (!implicitTls) {
            silentStart->start();
            Q_EMIT connected();
        }
    });
    connect(socket, &QSslSocket::sslErrors, this, &TcpTransport::onSslErrors);
    connect(socket, &QSslSocket::encrypted, this, &TcpTransport::onEncrypted);
    connect(socket, &QSslSocket::readyRead, this, [this] {
        silentStart->stop(); // the server speaks: whatever it says, it is not waiting for TLS
        probe.stop();
        Q_EMIT readyRead();
    });
    connect(socket, &QSslSocket::stateChanged, this, &TcpTransport::onStateChanged);
    connect(socket, &QSslSocket::errorOccurred, this, &TcpTransport::onErrorOccurred);
}

TcpTransport::~TcpTransport() {
    socket->blockSignals(true);
    socket->abort();
}

void TcpTransport::connectToHost(const QString& host, std::uint16_t port) {
    implicitTls = false;
    refused.reset();
    hostName = host;
    portNumber = port;
    socket->connectToHost(host, port);
}

void TcpTransport::connectToHostEncrypted(const QString& host, std::uint16_t port) {
    TrustCertificateFileFromEnvironment();
    socket->setSslConfiguration(QSslConfiguration::defaultConfiguration());
    implicitTls = true;
    refused.reset();
    hostName = host;
    portNumber = port;
    socket->connectToHostEncrypted(host, port);
}

void TcpTransport::startTls() {
    TrustCertificateFileFromEnvironment();
    socket->setSslConfiguration(QSslConfiguration::defaultConfiguration());
    // Whatever came before the handshake was sent in clear by anyone on the way.
    socket->readAll();
    socket->startClientEncryption();
}

void TcpTransport::onSslErrors(const QList<QSslError>& errors) {
    refused = CheckCertificate(socket->peerCertificate(), errors, hostName, pinned);
    if (refused) {
        refused->server = ServerEndpoint(hostName, portNumber);
    } else {
        socket->ignoreSslErrors(errors); // the certificate the user trusted for this server
    }
}

void TcpTransport::onEncrypted() {
    // A pin holds even when the system would accept another certificate.
    if (!refused) {
        refused = CheckCertificate(socket->peerCertificate(), {}, hostName, pinned);
        if (refused) {
            refused->server = ServerEndpoint(hostName, portNumber);
        }
    }
    if (refused) {
        const CertificateProblem problem = *std::exchange(refused, std::nullopt);
        Q_EMIT certificateRefused(problem);
        close();
        return;
    }
    Q_EMIT encrypted(TlsSummary(*socket));
    if (implicitTls) {
        Q_EMIT connected();
    }
}

Transport::State TcpTransport::state() const {
    switch (socket->state()) {
    case QAbstractSocket::UnconnectedState:
        return State::Closed;
    case QAbstractSocket::ConnectedState:
        return State::Connected;
    default:
        return State::Other;
    }
}

void TcpTransport::write(std::string_view bytes) {
    socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string_view TcpTransport::readAll() {
    const qint64 available = socket->bytesAvailable();
    if (available <= 0) {
        return {};
    }
    // One buffer for every read: a large download comes in thousands of reads.
    if (readBuffer.size() < static_cast<std::size_t>(available)) {
        readBuffer.resize(static_cast<std::size_t>(available));
    }
    const qint64 got = socket->read(readBuffer.data(), available);
    return std::string_view(readBuffer.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
}

void TcpTransport::onTlsFound() {
    if (socket->state() != QAbstractSocket::ConnectedState || socket->bytesAvailable() > 0) {
        return;
    }
    Q_EMIT error(kTlsExpected,
                 QStringLiteral("The server %1 expects a secure connection from the first byte on "
                                "port %2, and waits in silence for it. In the ISP setup, choose "
                                "TLS as the security for this port (POP3 servers usually offer TLS "
                                "on port 995 and STARTTLS on port 110).")
                     .arg(hostName)
                     .arg(portNumber));
    close();
}

void TcpTransport::close() {
    silentStart->stop();
    probe.stop();
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        return;
    }
    // abort() drops the connection at once; nothing is left to flush after a
    // POP3 reply, and the callers rely on being closed when this returns.
    socket->abort();
}

void TcpTransport::onStateChanged(QAbstractSocket::SocketState socketState) {
    const QAbstractSocket::SocketState previous = lastState;
    lastState = socketState;
    if (socketState == QAbstractSocket::UnconnectedState &&
        previous != QAbstractSocket::UnconnectedState) {
        silentStart->stop();
        probe.stop();
        Q_EMIT closed();
    }
}

void TcpTransport::onErrorOccurred(QAbstractSocket::SocketError socketError) {
    // The peer hanging up is an ordinary end of session, reported by `closed`.
    if (socketError == QAbstractSocket::RemoteHostClosedError) {
        return;
    }
    if (refused) { // the handshake failed on the certificate: that is the news
        const CertificateProblem problem = *std::exchange(refused, std::nullopt);
        Q_EMIT certificateRefused(problem);
        return;
    }
    const bool notTls = socketError == QAbstractSocket::SslHandshakeFailedError &&
                        TlsMetPlainText(socket->errorString());
    Q_EMIT error(notTls ? kNotTls : errorNumber(socketError), describe(socketError, notTls));
}

QString TcpTransport::describe(QAbstractSocket::SocketError socketError, bool notTls) const {
    const QString endpoint = ServerEndpoint(hostName, portNumber);
    if (notTls) {
        return QStringLiteral("The server %1 does not speak TLS on port %2. POP3 servers usually "
                              "offer TLS on port 995 and STARTTLS on port 110: in the ISP setup, "
                              "choose the security that fits the port.")
            .arg(hostName)
            .arg(portNumber);
    }
    switch (socketError) {
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("The server %1 was not found. Check the POP server's name in the "
                              "ISP setup, and that this computer is online.")
            .arg(hostName);
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("The server %1 refused the connection on port %2. The server may be "
                              "down, or the port may be wrong: POP3 servers usually listen on "
                              "port 995 for TLS and on port 110 for STARTTLS.")
            .arg(hostName)
            .arg(portNumber);
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("The server %1 did not answer on port %2.")
            .arg(hostName)
            .arg(portNumber);
    case QAbstractSocket::NetworkError:
        return QStringLiteral("The network failed on the way to %1 (%2). Check that this computer "
                              "is online.")
            .arg(endpoint, socket->errorString());
    case QAbstractSocket::SslHandshakeFailedError:
        return QStringLiteral("The secure connection to %1 could not be set up (%2).")
            .arg(endpoint, socket->errorString());
    default:
        return QStringLiteral("The connection to %1 failed (%2).")
            .arg(endpoint, socket->errorString());
    }
}

QString SocketErrorStatus(int number, const QString& server) {
    switch (number) {
    case 11001:
        return QStringLiteral("Error: Server %1 not found").arg(server);
    case 10061:
        return QStringLiteral("Error: Server %1 refused the connection").arg(server);
    case 10060:
        return QStringLiteral("Error: No answer from server %1").arg(server);
    case TcpTransport::kNotTls:
        return QStringLiteral("Error: Server %1 does not speak TLS on this port").arg(server);
    case TcpTransport::kTlsExpected:
        return QStringLiteral("Error: Server %1 expects TLS on this port").arg(server);
    case 20000 + QAbstractSocket::SslHandshakeFailedError:
        return QStringLiteral("Error: The secure connection to %1 failed").arg(server);
    default:
        return QStringLiteral("Error: Unexpectedly disconnected from server");
    }
}

int TcpTransport::errorNumber(QAbstractSocket::SocketError error) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return 10061;
    case QAbstractSocket::RemoteHostClosedError:
        return 10053;
    case QAbstractSocket::HostNotFoundError:
        return 11001;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    case QAbstractSocket::SocketResourceError:
        return 10055;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::NetworkError:
        return 10050;
    case QAbstractSocket::AddressInUseError:
        return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10045;
    default:
        // Outside Winsock's numbers: 10000 + Qt's number gave the TLS handshake the number
        // of "permission denied".
        return 20000 + static_cast<int>(error);
    }
}

} // namespace platform
