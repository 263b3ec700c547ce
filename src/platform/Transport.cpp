#include "platform/Transport.h"

#include "platform/TcpTransport.h"

namespace platform {

std::unique_ptr<Transport> createTcpTransport() {
    return std::make_unique<TcpTransport>();
}

} // namespace platform
