#pragma once

#include "settings/AccountRecord.h"
#include "settings/OAuthConfig.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace platform {

// The OAuth2 tokens of the accounts that sign in with it. The access token lives in memory
// only and is refreshed before it expires; the refresh token is kept where the account's
// password would be (the keyring, else the settings file, with the same rules and questions).
// Nothing of a token is ever shown, logged or put in the debug buffer.
class OAuthTokens : public QObject {
    Q_OBJECT
public:
    // accessToken is empty exactly when error holds a sentence for the user.
    using Done = std::function<void(const QString& accessToken, const QString& error)>;

    OAuthTokens();
    ~OAuthTokens() override;

    // A valid access token for the account: the one in memory while it has more than a minute
    // left, else one got with the saved refresh token from account.OAuth's token endpoint. With
    // no refresh token, or when the refresh fails, error asks the user to sign in again. done
    // is called once, from the event loop (never inside this call), and not at all once
    // context is gone.
    void accessToken(const AccountRecord& account, QObject* context, Done done);
    // The server refused the access token: the next accessToken() refreshes it.
    void refused(const std::string& account);

    // The sign-in in the desktop's browser: the authorization code flow with PKCE and a
    // redirect to a listener on 127.0.0.1 that lives until the answer comes, the user cancels
    // (cancelSignIn) or five minutes pass. On success the refresh token is saved for the account
    // (boxes over parent where the keyring asks) and done gets the access token.
    void signIn(const std::string& account, const settings::OAuthConfig& config, QWidget* parent,
                QObject* context, Done done);
    void cancelSignIn();
    // Whether a refresh token is saved for the account: the setup dialog shows it as the
    // account's sign-in state.
    bool signedIn(const std::string& account) const;
    // The account is gone, or no longer signs in with OAuth2: both tokens are forgotten.
    void forget(const std::string& account);

    // How long the browser sign-in may take (tests shorten it).
    void setSignInTimeout(int milliseconds);

private:
    struct State;
    std::unique_ptr<State> d;
};

OAuthTokens& oauthTokens();

} // namespace platform
