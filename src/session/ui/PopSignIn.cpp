#include "session/ui/PopSignIn.h"

#include "platform/Dialogs.h"
#include "platform/OAuthTokens.h"

#include <QWidget>
#include <utility>

PopSignIn::PopSignIn(QWidget* window, session::MailboxSession& core, std::function<void()> pump)
    : QObject(window), window(window), core(core), pump(std::move(pump)) {}

bool PopSignIn::ready(const AccountRecord& account, std::function<void()> then) {
    if (account.POPAuth != settings::PopAuth::OAuth2 || token == Token::Ready) {
        token = Token::None; // each connection asks afresh: the token may be near its end
        return true;
    }
    if (token == Token::Asked) {
        return false; // the answer is on its way
    }
    token = Token::Asked;
    window->setCursor(Qt::WaitCursor);
    platform::oauthTokens().accessToken(
        account, this, [this, then = std::move(then)](const QString& got, const QString& error) {
            window->unsetCursor();
            if (got.isEmpty()) {
                token = Token::None;
                platform::dialogs().messageBox(window, error);
                return;
            }
            core.setAccessToken(got.toStdString());
            token = Token::Ready;
            then();
        });
    return false;
}

void PopSignIn::renew(const AccountRecord& account) {
    platform::oauthTokens().refused(account.Isp);
    // The refusal arrives inside the socket's handler: the token service is asked from the
    // event loop.
    QMetaObject::invokeMethod(
        this,
        [this, account] {
            platform::oauthTokens().accessToken(
                account, this, [this](const QString& got, const QString& error) {
                    core.tokenRenewed(got.toStdString(), error.toStdString());
                    pump();
                });
        },
        Qt::QueuedConnection);
}
