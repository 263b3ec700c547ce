#include "platform/Transport.h"

#include "platform/TcpTransport.h"
#include "settings/ServerAddress.h"
#include "settings/SettingsKeys.h"

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

bool Transport::connectToPopServer(const AccountRecord& account) {
    const settings::ServerAddress address =
        settings::parseServerAddress(account.POPAddress, settings::kDefaultPopPort);
    if (!address.valid) {
        return false;
    }
    setPinnedCertificate(PinnedCertificate(account.Isp, settings::keys::kPOPCertificate));
    const QString host = QString::fromStdString(address.host);
    if (account.POPSecurity == settings::Security::Tls) {
        connectToHostEncrypted(host, address.port);
    } else {
        connectToHost(host, address.port);
    }
    return true;
}

} // namespace platform
