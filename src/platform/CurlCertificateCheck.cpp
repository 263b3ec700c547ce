#include "platform/CurlCertificateCheck.h"

#include <QByteArray>
#include <QHostAddress>
#include <QSslCertificate>
#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

namespace platform {

namespace {

int verifyCallback(X509_STORE_CTX* store, void* check) {
    return static_cast<CurlCertificateCheck*>(check)->verify(store);
}

CURLcode contextCallback(CURL*, void* sslContext, void* check) {
    auto* context = static_cast<SSL_CTX*>(sslContext);
    // libcurl checks after the handshake and only when told to; here the handshake itself
    // fails on a refused certificate, before a byte of the login is sent.
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_cert_verify_callback(context, verifyCallback, check);
    return CURLE_OK;
}

QSslError::SslError qtError(int x509Error) {
    switch (x509Error) {
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        return QSslError::SelfSignedCertificate;
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        return QSslError::SelfSignedCertificateInChain;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        return QSslError::UnableToGetLocalIssuerCertificate;
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return QSslError::CertificateExpired;
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return QSslError::CertificateNotYetValid;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return QSslError::HostNameMismatch;
    default:
        return QSslError::CertificateUntrusted;
    }
}

} // namespace

CurlCertificateCheck::CurlCertificateCheck(std::string host, std::uint16_t port, std::string pinned)
    : host(std::move(host)), port(port), pinned(std::move(pinned)) {}

bool CurlCertificateCheck::install(CURL* curl) {
    if (const char* file = std::getenv("SSL_CERT_FILE"); file != nullptr && *file != '\0') {
        curl_easy_setopt(curl, CURLOPT_CAINFO, file); // the route of the tests' authority
    }
    // With a pin, libcurl's own checks would refuse the trusted certificate; the callback
    // below does the whole check then. Without one, both check.
    const long own = pinned.empty() ? 1L : 0L;
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, own);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, own * 2);
    return curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, contextCallback) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, this) == CURLE_OK;
}

int CurlCertificateCheck::verify(void* storeContext) {
    auto* store = static_cast<X509_STORE_CTX*>(storeContext);
    X509* leaf = X509_STORE_CTX_get0_cert(store);
    X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(store);
    if (!QHostAddress(QString::fromStdString(host)).isNull()) {
        X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
    } else {
        X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size());
    }
    int ok = X509_verify_cert(store);
    verifyError = X509_STORE_CTX_get_error(store);
    certificate.clear();
    if (leaf != nullptr) {
        unsigned char* der = nullptr;
        const int size = i2d_X509(leaf, &der);
        if (size > 0) {
            certificate.assign(reinterpret_cast<const char*>(der), static_cast<std::size_t>(size));
        }
        OPENSSL_free(der);
    }
    if (!pinned.empty()) {
        const QSslCertificate c(QByteArray::fromStdString(certificate), QSsl::Der);
        ok = CertificateFingerprint(c).compare(QString::fromStdString(pinned),
                                               Qt::CaseInsensitive) == 0;
        if (ok) {
            X509_STORE_CTX_set_error(store, X509_V_OK);
        }
    }
    refused = ok != 1;
    return ok == 1 ? 1 : 0;
}

std::optional<CertificateProblem> CurlCertificateCheck::problem() const {
    if (!refused) {
        return std::nullopt;
    }
    const QSslCertificate c(QByteArray::fromStdString(certificate), QSsl::Der);
    QList<QSslError> errors;
    if (verifyError != X509_V_OK) {
        errors << QSslError(qtError(verifyError), c);
    }
    std::optional<CertificateProblem> p =
        CheckCertificate(c, errors, QString::fromStdString(host), QString::fromStdString(pinned));
    if (!p) { // refused for a reason the words above do not cover
        p = CheckCertificate(c, {QSslError(QSslError::CertificateUntrusted, c)},
                             QString::fromStdString(host), {});
    }
    if (p) {
        p->server = ServerEndpoint(QString::fromStdString(host), port);
    }
    return p;
}

} // namespace platform
