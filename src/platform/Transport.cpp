#include "platform/Transport.h"

#include "platform/TcpTransport.h"

namespace platform {

namespace {

const QString kNoTls = QStringLiteral("This connection cannot use TLS");

} // namespace

void Transport::connectToHostEncrypted(const QString&, std::uint16_t) {
    Q_EMIT error(10000, kNoTls);
}

void Transport::startTls() {
    Q_EMIT error(10000, kNoTls);
}

void Transport::setPinnedCertificate(const QString&) {}

std::unique_ptr<Transport> createTcpTransport() {
    return std::make_unique<TcpTransport>();
}

} // namespace platform
