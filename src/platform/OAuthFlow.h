#pragma once

#include "settings/OAuthConfig.h"

#include <QDateTime>
#include <QOAuth2AuthorizationCodeFlow>
#include <QString>
#include <functional>

class QNetworkReply;
class QOAuthHttpServerReplyHandler;
class QTimer;

namespace platform {

// One exchange with an OAuth2 provider: the sign-in in the desktop's browser (authorization
// code with PKCE, RFC 7636, redirected to a listener on 127.0.0.1, RFC 8252) or a refresh of
// the access token. QtNetworkAuth 6.4 has no PKCE, encodes some codes twice, never reports
// an error from the token endpoint and listens on every interface unless told otherwise;
// this class makes up for each. Use one object per exchange.
class OAuthFlow : public QOAuth2AuthorizationCodeFlow {
    Q_OBJECT
public:
    struct Result {
        QString accessToken;  // empty exactly when error holds a sentence
        QString refreshToken; // the provider's newest (a refresh may keep the old one)
        QDateTime expires;    // invalid when the provider did not say
        QString error;
    };
    using Done = std::function<void(const Result&)>;

    OAuthFlow(const settings::OAuthConfig& config, QObject* parent = nullptr);
    ~OAuthFlow() override;

    // Opens the browser; done comes once, from the event loop, when the answer has come, the
    // provider refused, timeoutMs passed or cancel() was called.
    void signIn(int timeoutMs, Done done);
    void refresh(const QString& savedRefreshToken, Done done);
    void cancel();

private:
    void tokenReplyFinished(QNetworkReply* reply);
    void finish(Result result);
    void fail(QString sentence);
    QString unreachable(const QString& why) const;

    Done whenDone;
    QString verifier; // PKCE: the secret the code challenge was made from
    QString rawCode;  // the authorization code as the provider sent it
    QOAuthHttpServerReplyHandler* listener = nullptr;
    QTimer* limit = nullptr;
};

} // namespace platform
