#pragma once

#include "session/MailboxSession.h"
#include "settings/AccountRecord.h"

#include <QObject>
#include <functional>

class QWidget;

// The OAuth2 access token of the reader's POP3 session: got before the connection is made,
// renewed once when the server refuses it. Getting one may read the keyring and ask the
// provider, so it never runs inside a socket handler.
class PopSignIn : public QObject {
    Q_OBJECT
public:
    // pump shows what the core reports after it was given a renewed token.
    PopSignIn(QWidget* window, session::MailboxSession& core, std::function<void()> pump);

    // Whether the session may start: at once for an account without OAuth2, and once the
    // token is in the core. Else the token is asked for, and then() runs when it has come; a
    // box says why when none can be had.
    bool ready(const AccountRecord& account, std::function<void()> then);
    // The server refused the token: the core gets a renewed one, or the reason there is none.
    void renew(const AccountRecord& account);

private:
    QWidget* window;
    session::MailboxSession& core;
    std::function<void()> pump;
    enum class Token { None, Asked, Ready };
    Token token = Token::None;
};
