#pragma once

// The reader window with a fake server behind it, and the mailbox most session tests use.

#include "platform/ClickableLabel.h"
#include "reader/ui/frmPOP.h"
#include "session/ui/PopSession.h"
#include "support/FakeTransport.h"
#include "support/PopConversation.h"
#include "support/ScriptedDialogs.h"
#include "support/TempSettings.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

// Readable failures.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace sessiontest {

inline const PopScript kLogin = {
    "S: +OK Dovecot ready.", "C: CAPA", "S: -ERR unknown command",
    "C: USER alice",         "S: +OK",  "C: PASS secret",
    "S: +OK Logged in.",
};

inline const PopScript kList3 = LoadScript("list3.script"); // three messages

inline const QString kRow1 = QStringLiteral("02 Jan 2024 | bob@example.test       | |0k Hello");
inline const QString kRow2 =
    QStringLiteral("3 Feb 2024  | Carol Example  <caro.. | |2k Re: [spam] offer");
inline const QString kRow3 = QString(11, QLatin1Char(' ')) +
                             QStringLiteral(" | <dave@example.test>    | |12k Gr\u00fc\u00dfe");

class SessionTest : public ::testing::Test {
public:
    SessionTest() {
        auto owned = std::make_unique<FakeTransport>();
        server = owned.get();
        session().setTransport(std::move(owned));
        window.Account.POPAddress = "mail.example.test";
        window.Account.EmailUsername = "alice";
        window.Account.EmailPass = "secret";
        dialogs.allowUnscriptedOk();
    }

    PopSession& session() { return window.session(); }

    // "Get Mail" and the server accepts the connection.
    void getMail() {
        window.cmdConnect->click();
        server->accept();
    }

    // Logs in and lists the three-message mailbox.
    void listThree() {
        getMail();
        ASSERT_EQ(PlayConversation(*server, Join({kLogin, kList3})), "");
        ASSERT_EQ(status(), QStringLiteral("3 Messages listed"));
    }

    QString status() const { return window.lblStatus->text(); }
    QString note() const { return window.lblMsg->text(); }
    QString caption() const { return window.cmdConnect->text(); }
    bool busy() const { return window.cursor().shape() == Qt::WaitCursor; }
    QStringList boxes() const { return dialogs.messageTexts(); }

    QStringList rows() const {
        QStringList out;
        for (int i = 0; i < window.lstHeaders->count(); ++i) {
            out << window.lstHeaders->item(i)->text();
        }
        return out;
    }

    void tick(int times = 1) {
        for (int i = 0; i < times; ++i) {
            session().Timer1_Timer();
        }
    }

    TempSettings settings;
    ScriptedDialogs dialogs;
    frmPOP window;
    FakeTransport* server = nullptr;
};

} // namespace sessiontest
