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
#include <deque>
#include <gtest/gtest.h>
#include <memory>

// Readable failures.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace sessiontest {

inline const PopScript kLogin = {
    "S: +OK Dovecot ready.", "C: USER alice", "S: +OK", "C: PASS secret", "S: +OK Logged in.",
};

// Three messages: a plain one, a "[spam]" one with a display name, and one with neither
// Date nor From but a Return-Path and an encoded-word subject.
inline const PopScript kList3 = {
    "C: LIST",
    "S: +OK 3 messages:",
    "S: 1 120",
    "S: 2 2000",
    "S: 3 12345",
    "S: .",
    "C: TOP 1 10",
    "S: +OK",
    "S: Date: Tue, 02 Jan 2024 10:00:00 +0000",
    "S: From: bob@example.test",
    "S: Subject: Hello",
    "S: ",
    "S: first body line",
    "S: .",
    "C: TOP 2 10",
    "S: +OK",
    "S: Date: 3 Feb 2024 08:15:00 +0100",
    "S: From: Carol Example <carol@example.test>",
    "S: Subject: Re: [spam] offer",
    "S: ",
    "S: .",
    "C: TOP 3 10",
    "S: +OK",
    "S: Return-Path: <dave@example.test>",
    "S: Subject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe?=",
    "S: ",
    "S: ..a stuffed body line",
    "S: .",
};

inline const QString kRow1 = QStringLiteral("02 Jan 2024 | bob@example.test       | |0k Hello");
inline const QString kRow2 =
    QStringLiteral("3 Feb 2024  | Carol Example  <caro.. | |2k Re: [spam] offer");
inline const QString kRow3 = QString(11, QLatin1Char(' ')) +
                             QStringLiteral(" | <dave@example.test>    | |12k Gr\u00fc\u00dfe");

// Runs the next step while each message box is open, as if the user took a while to press
// OK: what the server sends meanwhile must still be read.
class SlowBoxes final : public platform::Dialogs {
public:
    SlowBoxes(ScriptedDialogs& scripted, std::vector<std::function<void()>> steps)
        : scripted(scripted), during(steps.begin(), steps.end()) {
        platform::installDialogs(this);
    }
    ~SlowBoxes() override { platform::installDialogs(&scripted); }
    platform::MsgAnswer messageBox(QWidget* p, const QString& text, platform::MsgButtons b,
                                   platform::MsgIcon i, const QString& t) override {
        if (!during.empty()) {
            const std::function<void()> step = during.front();
            during.pop_front();
            step();
        }
        return scripted.messageBox(p, text, b, i, t);
    }
    std::optional<QString> openFileName(QWidget* p, const platform::FileDialogRequest& r) override {
        return scripted.openFileName(p, r);
    }
    std::optional<QString> saveFileName(QWidget* p, const platform::FileDialogRequest& r) override {
        return scripted.saveFileName(p, r);
    }
    bool printerDialog(QWidget* p, QPrinter& printer) override {
        return scripted.printerDialog(p, printer);
    }
    QAction* popupMenu(QMenu& menu, const QPoint& at) override {
        return scripted.popupMenu(menu, at);
    }

private:
    ScriptedDialogs& scripted;
    std::deque<std::function<void()>> during;
};

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
