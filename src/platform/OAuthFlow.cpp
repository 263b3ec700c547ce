#include "platform/OAuthFlow.h"

#include <QCryptographicHash>
#include <QDesktopServices>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QOAuthHttpServerReplyHandler>
#include <QOAuthOobReplyHandler>
#include <QRandomGenerator>
#include <QTimer>
#include <QUrl>
#include <utility>

namespace platform {

namespace {

constexpr auto kBase64Url = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

// RFC 7636 section 4.1: 32 random octets, base64url, 43 characters.
QString newVerifier() {
    QByteArray bytes(32, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(bytes.data()),
                                          bytes.size() / 4);
    return QString::fromLatin1(bytes.toBase64(kBase64Url));
}

QString challengeOf(const QString& verifier) {
    return QString::fromLatin1(
        QCryptographicHash::hash(verifier.toLatin1(), QCryptographicHash::Sha256)
            .toBase64(kBase64Url));
}

QString qs(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// "invalid_grant: Bad code", from a token endpoint's error answer (RFC 6749 section 5.2).
QString providerError(const QByteArray& body) {
    const QJsonObject o = QJsonDocument::fromJson(body).object();
    const QString error = o.value(QLatin1String("error")).toString();
    const QString description = o.value(QLatin1String("error_description")).toString();
    return description.isEmpty() ? error : error + QStringLiteral(": ") + description;
}

const QString kSignInAgain =
    QStringLiteral(" Please sign in again with \"Sign in…\" in the account's setup.");

} // namespace

OAuthFlow::OAuthFlow(const settings::OAuthConfig& config, QObject* parent)
    : QOAuth2AuthorizationCodeFlow(parent) {
    auto* manager = new QNetworkAccessManager(this);
    manager->setTransferTimeout(60000); // a token endpoint that never answers is unreachable
    setNetworkAccessManager(manager);
    setAuthorizationUrl(QUrl(qs(config.AuthorizeUrl)));
    setAccessTokenUrl(QUrl(qs(config.TokenUrl)));
    setClientIdentifier(qs(config.ClientId));
    setClientIdentifierSharedKey(qs(config.ClientSecret));
    setScope(qs(config.Scope));
    // Qt 6.4 reports no error of the token endpoint: it logs one and waits for ever. This
    // manager carries nothing but token requests.
    connect(manager, &QNetworkAccessManager::finished, this, &OAuthFlow::tokenReplyFinished);
    connect(this, &QAbstractOAuth::granted, this, [this] {
        finish({token(), refreshToken(), expirationAt(), {}});
    });
    setModifyParametersFunction([this](Stage stage, QMultiMap<QString, QVariant>* p) {
        if (stage == Stage::RequestingAuthorization) {
            p->insert(QStringLiteral("code_challenge"), challengeOf(verifier));
            p->insert(QStringLiteral("code_challenge_method"), QStringLiteral("S256"));
        } else if (stage == Stage::RequestingAccessToken) {
            p->insert(QStringLiteral("code_verifier"), verifier);
            // Qt 6.4 encodes the code it was handed still encoded, so a code with "/" or "+"
            // reaches the provider garbled; the code as sent is encoded once here instead.
            p->remove(QStringLiteral("code"));
            p->insert(QStringLiteral("code"),
                      QString::fromLatin1(QUrl::toPercentEncoding(rawCode)));
        } else if (stage == Stage::RefreshingAccessToken) {
            p->remove(QStringLiteral("redirect_uri")); // no redirect in a refresh
        }
        // A public client presents no secret at all (Microsoft refuses one that does).
        if (p->value(QStringLiteral("client_secret")).toString().isEmpty()) {
            p->remove(QStringLiteral("client_secret"));
        }
    });
}

OAuthFlow::~OAuthFlow() = default;

void OAuthFlow::signIn(int timeoutMs, Done done) {
    whenDone = std::move(done);
    verifier = newVerifier();
    // Port 0: any free port; the address: loopback only, never every interface.
    listener = new QOAuthHttpServerReplyHandler(QHostAddress::LocalHost, 0, this);
    if (!listener->isListening()) {
        return fail(QStringLiteral("The sign-in could not start: Corvane could not "
                                   "listen on 127.0.0.1 for the browser's return."));
    }
    listener->setCallbackText(
        QStringLiteral("Corvane has the provider's answer. You can close this page."));
    setReplyHandler(listener);
    connect(listener, &QAbstractOAuthReplyHandler::callbackReceived, this,
            [this](const QVariantMap& values) {
                // words: the provider's own text, form-encoded, where "+" stands for a blank.
                auto value = [&values](const char* key, bool words = false) {
                    QString raw = values.value(QLatin1String(key)).toString();
                    if (words) {
                        raw.replace(QLatin1Char('+'), QLatin1Char(' '));
                    }
                    return QUrl::fromPercentEncoding(raw.toUtf8());
                };
                if (value("state") != state()) {
                    return; // not the answer to this sign-in
                }
                rawCode = value("code");
                if (!value("error").isEmpty()) {
                    const QString what = value("error_description", true);
                    fail(QStringLiteral("The provider refused the sign-in (") + value("error") +
                         (what.isEmpty() ? QString() : QStringLiteral(": ") + what) +
                         QStringLiteral(")."));
                }
            });
    connect(this, &QAbstractOAuth::authorizeWithBrowser, this, [this](const QUrl& url) {
        if (!QDesktopServices::openUrl(url)) {
            fail(QStringLiteral("No browser could be opened for the sign-in."));
        }
    });
    limit = new QTimer(this);
    limit->setSingleShot(true);
    connect(limit, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("The sign-in was not finished in the browser within "
                            "5 minutes, so it was ended. Please try again."));
    });
    limit->start(timeoutMs);
    grant();
}

void OAuthFlow::refresh(const QString& savedRefreshToken, Done done) {
    whenDone = std::move(done);
    // No listener: a refresh has no redirect (without any handler, Qt never reports a grant).
    setReplyHandler(new QOAuthOobReplyHandler(this));
    setRefreshToken(savedRefreshToken);
    refreshAccessToken();
}

void OAuthFlow::cancel() {
    fail(QStringLiteral("The sign-in was cancelled."));
}

void OAuthFlow::tokenReplyFinished(QNetworkReply* reply) {
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        return fail(unreachable(reply->errorString()));
    }
    // peek: the reply handler still reads the body of a good answer.
    const QByteArray body = reply->peek(reply->bytesAvailable());
    QString error = providerError(body);
    if (error.isEmpty() && reply->error() != QNetworkReply::NoError) {
        error = QStringLiteral("HTTP ") + QString::number(status.toInt()) + QLatin1Char(' ') +
                reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    }
    if (error.isEmpty() &&
        !QJsonDocument::fromJson(body).object().contains(QLatin1String("access_token"))) {
        error = QStringLiteral("its answer held no access token");
    }
    if (error.isEmpty()) {
        return; // Qt takes the tokens from here
    }
    const bool refreshing = listener == nullptr;
    fail(refreshing ? QStringLiteral("The provider did not renew the sign-in (") + error +
                          QStringLiteral(").") + kSignInAgain
                    : QStringLiteral("The sign-in server refused to give a token (") + error +
                          QStringLiteral(")."));
}

QString OAuthFlow::unreachable(const QString& why) const {
    return QStringLiteral("The sign-in server ") + accessTokenUrl().host() +
           QStringLiteral(" could not be reached: ") + why;
}

void OAuthFlow::fail(QString sentence) {
    Result result;
    result.error = std::move(sentence);
    finish(std::move(result));
}

void OAuthFlow::finish(Result result) {
    if (!whenDone) {
        return; // said already
    }
    if (limit) {
        limit->stop();
    }
    if (listener) {
        listener->close(); // the port is open no longer than needed
    }
    // Qt 6.4 leaves a failed refresh "in progress" for good; this object is not reused, but
    // nothing may see it stuck either.
    if (!result.error.isEmpty() && status() == Status::RefreshingToken) {
        setStatus(Status::NotAuthenticated);
    }
    QMetaObject::invokeMethod(
        this, [done = std::exchange(whenDone, {}), result = std::move(result)] { done(result); },
        Qt::QueuedConnection);
}

} // namespace platform
