#include "platform/OAuthTokens.h"

#include "platform/AccountPasswords.h"
#include "platform/OAuthFlow.h"
#include "platform/SettingsStore.h"
#include "settings/SettingsKeys.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QPointer>
#include <QWidget>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace platform {

namespace {

using Secret = AccountPasswords::Secret;
namespace keys = settings::keys;

// An access token with less than this left is renewed before it is used.
constexpr qint64 kRenewAheadSeconds = 60;

QString notSignedIn(const std::string& account) {
    return QString::fromStdString(account) +
           QStringLiteral(" is not signed in with its provider. Please sign in with \"Sign in…\" "
                          "in the account's setup.");
}

bool complete(const settings::OAuthConfig& c, bool browser) {
    return !c.ClientId.empty() && !c.TokenUrl.empty() && (!browser || !c.AuthorizeUrl.empty());
}

const QString kIncomplete =
    QStringLiteral("The OAuth2 sign-in is not set up: it needs the provider's addresses and "
                   "your client id (see the account's setup).");

} // namespace

struct OAuthTokens::State {
    struct Waiter {
        QPointer<QObject> context;
        Done done;
    };
    struct Account {
        QString access; // in memory only
        QDateTime expires;
        std::optional<std::string> refresh; // as saved, once read
        OAuthFlow* renewing = nullptr;
        std::vector<Waiter> waiting;
    };

    const std::string& saved(const std::string& name, QWidget* parent) {
        Account& a = accounts[name];
        if (!a.refresh) {
            a.refresh = accountPasswords().load(
                name, settingsStore().GetSetting(name, keys::kOAuthRefreshToken), parent,
                Secret::RefreshToken);
        }
        return *a.refresh;
    }

    // Where the password would go: the keyring, else the settings file.
    void save(const std::string& name, const std::string& token, QWidget* parent) {
        const std::string stored =
            accountPasswords().save(name, token, parent, Secret::RefreshToken);
        settingsStore().SaveSetting(name, keys::kOAuthRefreshToken, stored);
        accounts[name].refresh = token;
    }

    void answer(const std::string& name, const QString& token, const QString& error) {
        for (Waiter& w : std::exchange(accounts[name].waiting, {})) {
            deliver(w.context, std::move(w.done), token, error);
        }
    }

    static void deliver(QObject* context, Done done, const QString& token, const QString& error) {
        if (context) {
            QMetaObject::invokeMethod(
                context, [done = std::move(done), token, error] { done(token, error); },
                Qt::QueuedConnection);
        }
    }

    std::map<std::string, Account> accounts;
    QPointer<OAuthFlow> signingIn;
    int signInTimeoutMs = 5 * 60 * 1000;
};

// The exchanges belong to the application, not to this object that outlives it: one still
// running at the end goes with the application.
OAuthTokens::OAuthTokens() : d(std::make_unique<State>()) {}

OAuthTokens::~OAuthTokens() = default;

void OAuthTokens::setSignInTimeout(int milliseconds) {
    d->signInTimeoutMs = milliseconds;
}

void OAuthTokens::accessToken(const AccountRecord& account, QObject* context, Done done) {
    const std::string name = account.Isp;
    State::Account& a = d->accounts[name];
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (!a.access.isEmpty() &&
        (!a.expires.isValid() || now.secsTo(a.expires) > kRenewAheadSeconds)) {
        return State::deliver(context, std::move(done), a.access, {});
    }
    a.access.clear();
    a.waiting.push_back({context, std::move(done)});
    if (a.renewing) {
        return; // one refresh answers everyone waiting
    }
    const std::string saved = d->saved(name, nullptr);
    if (saved.empty()) {
        return d->answer(name, {}, notSignedIn(name));
    }
    if (!complete(account.OAuth, false)) {
        return d->answer(name, {}, kIncomplete);
    }
    auto* flow = new OAuthFlow(account.OAuth, QCoreApplication::instance());
    a.renewing = flow;
    flow->refresh(QString::fromStdString(saved), [this, name, flow](const OAuthFlow::Result& r) {
        flow->deleteLater();
        auto it = d->accounts.find(name);
        if (it == d->accounts.end() || it->second.renewing != flow) {
            return; // forgotten meanwhile
        }
        State::Account& renewed = it->second;
        renewed.renewing = nullptr;
        renewed.access = r.accessToken;
        renewed.expires = r.expires;
        // A provider may hand out a new refresh token with each refresh (and void the old).
        if (!r.refreshToken.isEmpty() && r.refreshToken.toStdString() != renewed.refresh) {
            d->save(name, r.refreshToken.toStdString(), nullptr);
        }
        d->answer(name, r.accessToken, r.error);
    });
}

void OAuthTokens::refused(const std::string& account) {
    d->accounts[account].access.clear();
}

void OAuthTokens::signIn(const std::string& account, const settings::OAuthConfig& config,
                         QWidget* parent, QObject* context, Done done) {
    cancelSignIn();
    if (!complete(config, true)) {
        return State::deliver(context, std::move(done), {}, kIncomplete);
    }
    auto* flow = new OAuthFlow(config, QCoreApplication::instance());
    d->signingIn = flow;
    flow->signIn(d->signInTimeoutMs, [this, account, flow, owner = QPointer<QWidget>(parent),
                                      context = QPointer<QObject>(context),
                                      done = std::move(done)](const OAuthFlow::Result& r) {
        flow->deleteLater();
        if (r.error.isEmpty()) {
            State::Account& a = d->accounts[account];
            a.access = r.accessToken;
            a.expires = r.expires;
            if (!r.refreshToken.isEmpty()) {
                d->save(account, r.refreshToken.toStdString(), owner);
            }
        }
        if (context) {
            done(r.accessToken, r.error);
        }
    });
}

void OAuthTokens::cancelSignIn() {
    if (d->signingIn) {
        d->signingIn->cancel();
        d->signingIn = nullptr;
    }
}

bool OAuthTokens::signedIn(const std::string& account) const {
    return !d->saved(account, nullptr).empty();
}

void OAuthTokens::forget(const std::string& account) {
    if (auto it = d->accounts.find(account); it != d->accounts.end()) {
        if (it->second.renewing) {
            it->second.renewing->deleteLater();
            it->second.renewing = nullptr;
        }
        d->answer(account, {}, notSignedIn(account));
        d->accounts.erase(account);
    }
    accountPasswords().forget(account, Secret::RefreshToken);
    SettingsStore& store = settingsStore();
    if (!store.GetSetting(account, keys::kOAuthRefreshToken).empty()) {
        store.SaveSetting(account, keys::kOAuthRefreshToken, "");
    }
}

OAuthTokens& oauthTokens() {
    static OAuthTokens tokens;
    return tokens;
}

} // namespace platform
