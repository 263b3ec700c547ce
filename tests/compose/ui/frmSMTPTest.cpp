// The compose window's commands, events and layout, with scripted dialogs. Sends that reach
// a server are in tests/peer/SmtpPeerTest.cpp.
#include "compose/ui/frmSMTP.h"
#include "settings/AccountRecord.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

AccountRecord testAccount() {
    AccountRecord a; // nothing listens on port 1: a send fails at once
    std::tie(a.Isp, a.SMTPAddress, a.EmailFromName, a.EmailFromDomain) =
        std::tuple("Test ISP", "127.0.0.1:1", "alice", "example.com");
    return a;
}

int px(const QWidget& w, double twips) {
    return Twips::of(w).toPixels(twips);
}

TEST(frmSMTP, SessionEventsSetTheStatusLine) {
    struct Case {
        QString before;
        std::function<void(frmSMTP&)> event;
        QString box, after;
    };
    const auto error = [](qint16 n, const QString& text) {
        return [=](frmSMTP& w) { w.SMTP1_ErrorSMTP(n, text); };
    };
    const Case cases[] = {
        {QString(), &frmSMTP::SMTP1_ConnectSMTP, QString(), QStringLiteral("Connected")},
        {QString(), &frmSMTP::SMTP1_SendSMTP, QString(),
         QStringLiteral("Message successfully sent")},
        {QString(), error(550, QStringLiteral("5.1.1 No such user")),
         QStringLiteral("SMTP Error 550: 5.1.1 No such user"),
         QStringLiteral("Error 550: 5.1.1 No such user")},
        {QString(), error(550, QString()), // the error file's text, in the box only
         QStringLiteral("SMTP Error 550: Requested action not taken: mailbox unavailable"),
         QStringLiteral("Error 550: ")},
        {QStringLiteral("Message successfully sent"), error(421, QStringLiteral("Bye")), QString(),
         QStringLiteral("Message successfully sent, then received Error 421: Bye")},
        {QStringLiteral("SUCCESS"), error(451, QStringLiteral("x")), // case-sensitive
         QStringLiteral("SMTP Error 451: x"), QStringLiteral("Error 451: x")},
        {QStringLiteral("Error 550: x"), &frmSMTP::SMTP1_CloseSMTP, QString(),
         QStringLiteral("Error 550: x")},
        {QStringLiteral("Sending message"), &frmSMTP::SMTP1_CloseSMTP, QString(), QString()},
        {QStringLiteral("Error: x"), &frmSMTP::Timer1_Timer, QString(), QStringLiteral("Error: x")},
    };
    AccountRecord account = testAccount();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.after.toStdString());
        ScriptedDialogs dialogs;
        dialogs.allowUnscriptedOk();
        frmSMTP w(account);
        w.lblProgress->setText(c.before);
        c.event(w);
        EXPECT_EQ(dialogs.messageTexts().join(u'|'), c.box);
        EXPECT_EQ(w.lblProgress->text(), c.after);
        EXPECT_EQ(w.windowTitle(), QStringLiteral("Send mail using Test ISP"));
    }
    account.Isp = "Other"; // changed in the reader window: the timer follows
    frmSMTP w(account);
    w.Timer1_Timer();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Send mail using Other"));
}

// Each refusal, from the window, the session or the connection, leaves the message unsent,
// with the reason in the status line; the two short waits of a send are also seen here.
TEST(frmSMTP, ARefusedSendLeavesTheMessageUnsentWithTheReason) {
    QTemporaryDir dir;
    const QString gone = dir.filePath(QStringLiteral("gone.txt"));
    const QString lineBreak = QStringLiteral(
        " contains a line break or a null character; please correct it before sending.");
    const std::pair<std::function<void(AccountRecord&, frmSMTP&)>, QString> cases[] = {
        {[](AccountRecord& a, frmSMTP&) { a.EmailAuth = 2; },
         QStringLiteral("Please enter password")},
        {[](AccountRecord&, frmSMTP& w) {
             w.txtTo->setText(QStringLiteral("b@x\r\nRCPT TO:<e@y>"));
         },
         QStringLiteral("The recipient") + lineBreak},
        {[](AccountRecord&, frmSMTP& w) { w.txtSubject->setText(QStringLiteral("a") + QChar(0)); },
         QStringLiteral("The subject") + lineBreak},
        {[](AccountRecord& a, frmSMTP&) { a.EmailFromDomain = "example.com\nBcc: eve@y"; },
         QStringLiteral("The sender address") + lineBreak},
        {[](AccountRecord& a, frmSMTP&) { a.SMTPAddress = "mail.example.com:99999"; },
         QStringLiteral("The SMTP server \"mail.example.com:99999\" is not a valid address; "
                        "please correct it in the ISP setup.")},
        {[&](AccountRecord&, frmSMTP& w) { w.MsgAttachment = gone; },
         QStringLiteral("The attachment cannot be read:\n") + gone +
             QStringLiteral("\nThe file no longer exists.\nNothing was sent.")},
        {[](AccountRecord&, frmSMTP& w) { w.txtTo->setText(QStringLiteral(" , ")); },
         QStringLiteral("No recipient address")},
        {[](AccountRecord&, frmSMTP&) {}, // nobody listening
         QStringLiteral("Could not connect to the SMTP server 127.0.0.1 on port 1. The server may "
                        "be down, or its name or port may be wrong.")},
    };
    for (const auto& [setup, box] : cases) {
        SCOPED_TRACE(box.toStdString());
        ScriptedDialogs dialogs;
        dialogs.allowUnscriptedOk();
        AccountRecord account = testAccount();
        frmSMTP w(account);
        w.Timer1->stop();
        w.txtTo->setText(QStringLiteral("bob@example.net"));
        w.txtMsg->setPlainText(QStringLiteral("text"));
        setup(account, w);
        QTest::keyClick(w.txtMsg, Qt::Key_Return, Qt::ControlModifier); // sends
        EXPECT_EQ(w.lblProgress->text(), QStringLiteral("Sending Message"));
        w.cmdSend_Click(); // a second press during the wait starts nothing more
        w.Timer1_Timer();  // a box at once, or the message goes to the session
        EXPECT_NE(dialogs.messages().empty(), w.lblProgress->text() != u"Contacting 127.0.0.1:1");
        w.Timer1_Timer();
        EXPECT_NE(dialogs.messages().empty(), w.cmdSend->isEnabled());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.messages().empty(); }, 5000));
        EXPECT_EQ(dialogs.messageTexts(), QStringList{box});
        EXPECT_TRUE(w.lblProgress->text().endsWith(QString(box).replace(u'\n', u' ')));
        EXPECT_EQ(w.txtMsg->toPlainText(), QStringLiteral("text")); // no line break added
        dialogs.clear();
        w.cmdSend->click(); // no "Message already sent, send again?"
        EXPECT_EQ(dialogs.messageTexts(), QStringList());
    }
}

TEST(frmSMTP, ClearKeepsTheAttachmentAndSaveWritesTheMessage) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("saved.txt"));
    ScriptedDialogs dialogs;
    dialogs.saveFile(std::nullopt).saveFile(path).saveFile(dir.filePath(QStringLiteral("no/x")));
    dialogs.allowUnscriptedOk();
    const AccountRecord account = testAccount();
    frmSMTP w(account);
    w.MsgAttachment = QStringLiteral("/tmp/file.bin");
    w.lblProgress->setText(QStringLiteral("Error 1: x"));
    w.cmdClear->click(); // the attachment stays
    EXPECT_EQ(QStringList({w.lblProgress->text(), w.MsgAttachment}),
              QStringList({QString(), QStringLiteral("/tmp/file.bin")}));
    w.txtTo->setText(QStringLiteral("x"));
    w.txtSubject->setText(QStringLiteral("Re: y/z?"));
    w.txtMsg->setPlainText(QStringLiteral("z\nsecond line \u00e9"));
    w.cmdSave->click(); // cancelled: nothing written
    EXPECT_FALSE(QFile::exists(path));
    w.cmdSave->click();
    const platform::FileDialogRequest& request = dialogs.fileRequests()[1];
    EXPECT_EQ(request.filter, QStringLiteral("All Files (*.*)|*.*|Text Files(*.txt)|*.txt"));
    EXPECT_EQ(QStringList({QString::number(request.filterIndex), request.fileName}),
              QStringList({QStringLiteral("2"), QStringLiteral("Re yz")}));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Date: ")) && lines[0].size() > 10);
    EXPECT_EQ(lines.mid(1),
              QStringList({QString(), QStringLiteral("To: x"), QString(),
                           QStringLiteral("Subject: Re: y/z?"), QString(), QStringLiteral("z"),
                           QStringLiteral("second line \u00e9"), QString()}));
    w.cmdSave->click(); // a folder that does not exist
    EXPECT_TRUE(dialogs.messageTexts().value(0).startsWith(u"The message could not be saved"));
    EXPECT_EQ(frmSMTP::FileNameValid(QStringLiteral("Re: a/b?\\*<\"x\">|'.txt")),
              QStringLiteral("Re ab\"x\"'.txt"));
}

TEST(frmSMTP, LayoutKeepsTheMinimumAndShortensTheAttachmentFromTheLeft) {
    const QString longPath =
        QStringLiteral("/home/ann/") + QString(300, QLatin1Char('d')) + QStringLiteral("/file.txt");
    ScriptedDialogs dialogs;
    dialogs.openFile(std::nullopt).openFile(QStringLiteral("/tmp/a.txt")).openFile(longPath);
    const AccountRecord account = testAccount();
    frmSMTP w(account);
    w.show();             // a hidden window gets its resize events only when shown
    w.cmdAttach->click(); // cancelled
    EXPECT_TRUE(w.lblAttachment->isHidden() && w.Label4->isHidden());
    EXPECT_EQ(w.txtMsg->geometry().top(), px(w, 720));
    w.cmdAttach->click();
    EXPECT_FALSE(w.lblAttachment->isHidden() || w.Label4->isHidden());
    EXPECT_EQ(w.lblAttachment->text(), QStringLiteral("/tmp/a.txt"));
    EXPECT_EQ(w.txtMsg->geometry().top(), px(w, 1080));
    w.cmdAttach->click();
    const QString shown = w.lblAttachment->text();
    const QFontMetrics metrics(w.lblAttachment->font());
    EXPECT_TRUE(shown.startsWith(QStringLiteral("...")) && longPath.endsWith(shown.mid(3)));
    EXPECT_LE(metrics.horizontalAdvance(shown), w.lblAttachment->width());
    // The longest tail that fits: one more character would not.
    EXPECT_GT(metrics.horizontalAdvance(QStringLiteral("...") + longPath.right(shown.size() - 2)),
              w.lblAttachment->width());

    w.resize(10, 10);
    EXPECT_GE(w.width(), px(w, 6500) - 1);
    EXPECT_GE(w.height(), px(w, 3600) - 1);
    w.resize(px(w, 14000), px(w, 9000));
    for (QWidget* c : w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        EXPECT_TRUE(c->isHidden() || w.rect().contains(c->geometry()))
            << c->objectName().toStdString();
    }
    EXPECT_GT(w.txtMsg->height(), px(w, 9000) - px(w, 1900));
    EXPECT_LE(w.txtTo->geometry().right(), w.cmdSend->geometry().left());
    // Pointing at the message text puts the focus there.
    w.txtTo->setFocus();
    const QPointF inside = w.txtMsg->rect().center();
    QEnterEvent enter(inside, inside, w.txtMsg->mapToGlobal(inside));
    QApplication::sendEvent(w.txtMsg, &enter);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.focusWidget() == w.txtMsg; }, 1000));
}

} // namespace
