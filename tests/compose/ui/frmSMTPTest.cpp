// The compose window's commands, events and layout, with scripted dialogs. Sends that must
// reach a server are in tests/peer/SmtpPeerTest.cpp.
#include "compose/ui/frmSMTP.h"
#include "platform/SmtpSession.h"
#include "platform/Twips.h"
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

using platform::MsgAnswer;

namespace {

AccountRecord testAccount() {
    AccountRecord a;
    a.Isp = "Test ISP";
    a.SMTPAddress = "127.0.0.1:1"; // nothing listens there: a send fails at once
    a.EmailFromName = "alice";
    a.EmailFromDomain = "example.com";
    a.EmailUsername = "alice";
    return a;
}

int px(const QWidget& w, double twips) {
    return Twips{w.logicalDpiY() > 0 ? double(w.logicalDpiY()) : 96.0}.toPixels(twips);
}

TEST(frmSMTP, LoadsEmptyWithTheAccountInItsTitle) {
    AccountRecord account = testAccount();
    frmSMTP w(account);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Send mail using Test ISP"));
    EXPECT_TRUE(w.txtTo->text().isEmpty());
    EXPECT_TRUE(w.txtMsg->toPlainText().isEmpty());
    EXPECT_TRUE(w.lblProgress->text().isEmpty());
    EXPECT_TRUE(w.MsgAttachment.isEmpty());
    EXPECT_FALSE(w.messageSent());
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(w.Timer1->interval(), 500);
    EXPECT_NE(w.SMTP1, nullptr);
    for (QWidget* c : {static_cast<QWidget*>(w.Label1), static_cast<QWidget*>(w.Label2),
                       static_cast<QWidget*>(w.Label3), static_cast<QWidget*>(w.Label5)}) {
        EXPECT_FALSE(c->isHidden()) << c->objectName().toStdString();
    }
    EXPECT_TRUE(w.lblAttachment->isHidden());
    EXPECT_TRUE(w.Label4->isHidden());
    EXPECT_EQ(w.Label4->text(), QStringLiteral("Attach:"));
    EXPECT_EQ(w.Label5->text(), QStringLiteral("Status:"));
    EXPECT_EQ(w.txtMsg->geometry().top(), px(w, 720));
    EXPECT_EQ(w.cmdSend->text(), QStringLiteral("Send"));

    // The title follows an account change made in the reader window.
    account.Isp = "Other";
    w.Timer1_Timer();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Send mail using Other"));
}

TEST(frmSMTP, FileNameValidDropsTheEightForbiddenCharacters) {
    const struct {
        QString in, out;
    } cases[] = {
        {QStringLiteral("Re: a/b?"), QStringLiteral("Re ab")},
        {QStringLiteral("a:b\\c/d?e*f<g>h|i"), QStringLiteral("abcdefghi")},
        {QStringLiteral("\"quoted\" & 'kept'.txt"), QStringLiteral("\"quoted\" & 'kept'.txt")},
        {QString(), QString()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(frmSMTP::FileNameValid(c.in), c.out) << c.in.toStdString();
    }
}

TEST(frmSMTP, SessionEventsSetTheStatusLine) {
    const AccountRecord account = testAccount();
    struct Case {
        const char* name;
        QString before;
        std::function<void(frmSMTP&)> event;
        QStringList boxes;
        QString after;
    };
    const Case cases[] = {
        {"connected, no status text",
         QString(),
         [](frmSMTP& w) { w.SMTP1_ConnectSMTP(); },
         {},
         QStringLiteral("Connected")},
        {"sent, no status text",
         QString(),
         [](frmSMTP& w) { w.SMTP1_SendSMTP(); },
         {},
         QStringLiteral("Message successfully sent")},
        {"error with its text",
         QStringLiteral("Sending recipient"),
         [](frmSMTP& w) { w.SMTP1_ErrorSMTP(550, QStringLiteral("5.1.1 No such user")); },
         {QStringLiteral("SMTP Error 550: 5.1.1 No such user")},
         QStringLiteral("Error 550: 5.1.1 No such user")},
        {"error without text takes the error file's",
         QString(),
         [](frmSMTP& w) { w.SMTP1_ErrorSMTP(550, QString()); },
         {QStringLiteral("SMTP Error 550: Requested action not taken: mailbox unavailable")},
         QStringLiteral("Error 550: ")},
        {"error after success: no box",
         QStringLiteral("Message successfully sent"),
         [](frmSMTP& w) { w.SMTP1_ErrorSMTP(421, QStringLiteral("Closing")); },
         {},
         QStringLiteral("Message successfully sent, then received Error 421: Closing")},
        {"the success test is case-sensitive",
         QStringLiteral("SUCCESS"),
         [](frmSMTP& w) { w.SMTP1_ErrorSMTP(-3, QStringLiteral("x")); },
         {QStringLiteral("SMTP Error -3: x")},
         QStringLiteral("Error -3: x")},
        {"close keeps an error",
         QStringLiteral("Error 550: x"),
         [](frmSMTP& w) { w.SMTP1_CloseSMTP(); },
         {},
         QStringLiteral("Error 550: x")},
        {"close shows the status text",
         QStringLiteral("Sending message"),
         [](frmSMTP& w) { w.SMTP1_CloseSMTP(); },
         {},
         QString()},
        {"the timer keeps an error",
         QStringLiteral("Error 7: refused"),
         [](frmSMTP& w) { w.Timer1_Timer(); },
         {},
         QStringLiteral("Error 7: refused")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDialogs dialogs;
        dialogs.allowUnscriptedOk();
        frmSMTP w(account);
        w.lblProgress->setText(c.before);
        c.event(w);
        EXPECT_EQ(dialogs.messageTexts(), c.boxes);
        for (const auto& m : dialogs.messages()) {
            EXPECT_EQ(m.buttons, platform::MsgButtons::Ok);
            EXPECT_EQ(m.icon, platform::MsgIcon::None);
            EXPECT_EQ(m.title, QStringLiteral("Corvane"));
        }
        EXPECT_EQ(w.lblProgress->text(), c.after);
    }
}

TEST(frmSMTP, SendRunsItsTwoWaitsThenHandsOverAndReportsTheOutcome) {
    ScriptedDialogs dialogs;
    dialogs.answer(MsgAnswer::Ok);
    const AccountRecord account = testAccount();
    frmSMTP w(account);
    w.Timer1->stop(); // the ticks below are the test's
    w.txtTo->setText(QStringLiteral("bob@example.net"));

    w.cmdSend_Click();
    EXPECT_EQ(w.lblProgress->text(), QStringLiteral("Sending Message"));
    EXPECT_EQ(w.waitTicks(), 1);
    EXPECT_FALSE(w.SMTP1->isSending());
    w.cmdSend_Click(); // a second press during the wait starts nothing more
    EXPECT_TRUE(dialogs.messages().empty());

    w.Timer1_Timer();
    EXPECT_EQ(w.lblProgress->text(), QStringLiteral("Contacting 127.0.0.1:1"));
    EXPECT_EQ(w.waitTicks(), 1);
    EXPECT_FALSE(w.SMTP1->isSending());
    EXPECT_TRUE(w.cmdSend->isEnabled());

    w.Timer1_Timer();
    EXPECT_EQ(w.waitTicks(), 0);
    EXPECT_TRUE(w.SMTP1->isSending());
    EXPECT_FALSE(w.cmdSend->isEnabled());
    EXPECT_TRUE(w.messageSent());

    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.SMTP1->isSending(); }, 10000));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages()[0].text.startsWith(QStringLiteral("SMTP Error 7: ")));
    EXPECT_TRUE(w.lblProgress->text().startsWith(QStringLiteral("Error 7: ")));

    // Any edit makes it a new message.
    w.txtSubject->setText(QStringLiteral("x"));
    EXPECT_FALSE(w.messageSent());
    EXPECT_TRUE(w.lblProgress->text().isEmpty());
    EXPECT_TRUE(w.cmdSend->isEnabled());
}

TEST(frmSMTP, NoRecipientIsReportedByTheSession) {
    ScriptedDialogs dialogs;
    dialogs.answer(MsgAnswer::Ok);
    const AccountRecord account = testAccount();
    frmSMTP w(account);
    w.Timer1->stop();
    w.txtTo->setText(QStringLiteral(" , "));
    w.cmdSend_Click();
    w.Timer1_Timer();
    w.Timer1_Timer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.messages().empty(); }, 2000));
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{QStringLiteral("SMTP Error 43: No recipient address")});
    EXPECT_EQ(w.lblProgress->text(), QStringLiteral("Error 43: No recipient address"));
    EXPECT_FALSE(w.SMTP1->isSending());
}

TEST(frmSMTP, RefusedInputNeverReachesTheSession) {
    QTemporaryDir dir;
    const QString gone = dir.filePath(QStringLiteral("gone.txt"));
    struct Case {
        const char* name;
        std::function<void(AccountRecord&, frmSMTP&)> setup;
        QString box;
    };
    const QString lineBreak = QStringLiteral(
        " contains a line break or a null character; please correct it before sending.");
    const Case cases[] = {
        {"no password with a login", [](AccountRecord& a, frmSMTP&) { a.EmailAuth = 2; },
         QStringLiteral("Please enter password")},
        {"line break in To",
         [](AccountRecord&, frmSMTP& w) {
             w.txtTo->setText(QStringLiteral("bob@x\r\nRCPT TO:<eve@y>"));
         },
         QStringLiteral("The recipient") + lineBreak},
        {"NUL in Subject",
         [](AccountRecord&, frmSMTP& w) { w.txtSubject->setText(QStringLiteral("a") + QChar(0)); },
         QStringLiteral("The subject") + lineBreak},
        {"line break in the sender",
         [](AccountRecord& a, frmSMTP&) { a.EmailFromDomain = "example.com\nBcc: eve@y"; },
         QStringLiteral("The sender address") + lineBreak},
        {"server port out of range",
         [](AccountRecord& a, frmSMTP&) { a.SMTPAddress = "mail.example.com:99999"; },
         QStringLiteral("The SMTP server \"mail.example.com:99999\" is not a valid address; "
                        "please correct it in the ISP setup.")},
        {"attachment gone", [gone](AccountRecord&, frmSMTP& w) { w.MsgAttachment = gone; },
         QStringLiteral("The attachment cannot be read:\n") + gone +
             QStringLiteral("\nThe file no longer exists.\nNothing was sent.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDialogs dialogs;
        dialogs.answer(MsgAnswer::Ok);
        AccountRecord account = testAccount();
        frmSMTP w(account);
        w.Timer1->stop();
        w.txtTo->setText(QStringLiteral("bob@example.net"));
        c.setup(account, w);
        w.cmdSend_Click();
        w.Timer1_Timer();
        w.Timer1_Timer();
        EXPECT_EQ(dialogs.messageTexts(), QStringList{c.box});
        EXPECT_FALSE(w.SMTP1->isSending());
        EXPECT_TRUE(w.SMTP1->Attachments().isEmpty());
        EXPECT_TRUE(w.SMTP1->StatusText().isEmpty());
        EXPECT_TRUE(w.cmdSend->isEnabled());
        EXPECT_TRUE(w.messageSent()); // the Send command ran, whatever it sent
    }
}

TEST(frmSMTP, ClearEmptiesTheFieldsButKeepsTheAttachment) {
    const AccountRecord account = testAccount();
    frmSMTP w(account);
    w.txtTo->setText(QStringLiteral("a"));
    w.txtSubject->setText(QStringLiteral("b"));
    w.txtMsg->setPlainText(QStringLiteral("c"));
    w.MsgAttachment = QStringLiteral("/tmp/file.bin");
    w.lblProgress->setText(QStringLiteral("Error 1: x"));
    w.cmdClear->click();
    EXPECT_TRUE(w.txtTo->text().isEmpty());
    EXPECT_TRUE(w.txtSubject->text().isEmpty());
    EXPECT_TRUE(w.txtMsg->toPlainText().isEmpty());
    EXPECT_TRUE(w.lblProgress->text().isEmpty());
    EXPECT_EQ(w.MsgAttachment, QStringLiteral("/tmp/file.bin"));
}

TEST(frmSMTP, SaveWritesDateToAndSubjectLinesThenTheText) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("saved.txt"));
    ScriptedDialogs dialogs;
    dialogs.saveFile(std::nullopt).saveFile(path);
    const AccountRecord account = testAccount();
    frmSMTP w(account);
    w.txtTo->setText(QStringLiteral("x"));
    w.txtSubject->setText(QStringLiteral("Re: y/z?"));
    w.txtMsg->setPlainText(QStringLiteral("z\nsecond line \u00e9"));

    w.cmdSave->click(); // cancelled: nothing written
    EXPECT_FALSE(QFile::exists(path));
    w.cmdSave->click();

    ASSERT_EQ(dialogs.fileRequests().size(), 2u);
    const platform::FileDialogRequest& request = dialogs.fileRequests()[1];
    EXPECT_EQ(request.filter, QStringLiteral("All Files (*.*)|*.*|Text Files(*.txt)|*.txt"));
    EXPECT_EQ(request.filterIndex, 2);
    EXPECT_EQ(request.fileName, QStringLiteral("Re yz"));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 9) << lines.join(u'|').toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Date: ")));
    EXPECT_GT(lines[0].size(), 10);
    EXPECT_EQ(lines.mid(1),
              (QStringList{QString(), QStringLiteral("To: x"), QString(),
                           QStringLiteral("Subject: Re: y/z?"), QString(), QStringLiteral("z"),
                           QStringLiteral("second line \u00e9"), QString()}));
}

TEST(frmSMTP, SaveFailureIsReported) {
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    dialogs.saveFile(dir.filePath(QStringLiteral("no/such/folder/x.txt")));
    dialogs.answer(MsgAnswer::Ok);
    const AccountRecord account = testAccount();
    frmSMTP w(account);
    w.cmdSave->click();
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(
        dialogs.messages()[0].text.startsWith(QStringLiteral("The message could not be saved")));
}

TEST(frmSMTP, AttachShowsThePathShortenedFromTheLeft) {
    const QString longPath =
        QStringLiteral("/home/ann/") + QString(300, QLatin1Char('d')) + QStringLiteral("/file.txt");
    ScriptedDialogs dialogs;
    dialogs.openFile(std::nullopt).openFile(QStringLiteral("/tmp/a.txt")).openFile(longPath);
    const AccountRecord account = testAccount();
    frmSMTP w(account);
    w.show();
    w.txtSubject->setText(QStringLiteral("a:b"));

    w.cmdAttach->click(); // cancelled
    EXPECT_TRUE(w.MsgAttachment.isEmpty());
    EXPECT_TRUE(w.lblAttachment->isHidden());
    ASSERT_EQ(dialogs.fileRequests().size(), 1u);
    EXPECT_EQ(dialogs.fileRequests()[0].filterIndex, 2);
    EXPECT_EQ(dialogs.fileRequests()[0].fileName, QStringLiteral("ab"));

    w.cmdAttach->click();
    EXPECT_EQ(w.MsgAttachment, QStringLiteral("/tmp/a.txt"));
    EXPECT_FALSE(w.lblAttachment->isHidden());
    EXPECT_FALSE(w.Label4->isHidden());
    EXPECT_EQ(w.lblAttachment->text(), QStringLiteral("/tmp/a.txt"));
    EXPECT_EQ(w.txtMsg->geometry().top(), px(w, 1080));

    w.cmdAttach->click();
    const QString shown = w.lblAttachment->text();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("..."))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("/file.txt")));
    const QFontMetrics metrics(w.lblAttachment->font());
    EXPECT_LE(metrics.horizontalAdvance(shown), w.lblAttachment->width());
    // The longest tail that fits: one more character would not.
    const QString oneMore = QStringLiteral("...") + longPath.right(shown.size() - 3 + 1);
    EXPECT_GT(metrics.horizontalAdvance(oneMore), w.lblAttachment->width());

    // A wider window shows more of the path.
    w.resize(w.width() * 2, w.height());
    EXPECT_GT(w.lblAttachment->text().size(), shown.size());
}

TEST(frmSMTP, WindowKeepsItsMinimumAndStretchesTheFields) {
    const AccountRecord account = testAccount();
    frmSMTP w(account);
    w.show(); // a hidden window gets its resize events only when shown
    w.resize(10, 10);
    EXPECT_GE(w.width(), px(w, 6500) - 1);
    EXPECT_GE(w.height(), px(w, 3600) - 1);

    w.resize(px(w, 12000), px(w, 8000));
    const int narrowField = w.txtTo->width();
    w.resize(px(w, 14000), px(w, 9000));
    EXPECT_GT(w.txtTo->width(), narrowField);
    EXPECT_GT(w.txtMsg->height(), px(w, 9000) - px(w, 1600));
    // Every control lies inside the window, and the rows do not overlap.
    for (QWidget* c : w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!c->isHidden()) {
            EXPECT_TRUE(w.rect().contains(c->geometry())) << c->objectName().toStdString();
        }
    }
    EXPECT_LE(w.txtTo->geometry().bottom(), w.txtSubject->geometry().top());
    EXPECT_LE(w.txtSubject->geometry().bottom(), w.txtMsg->geometry().top());
    EXPECT_LE(w.txtMsg->geometry().bottom(), w.lblProgress->geometry().top());
    EXPECT_LE(w.txtTo->geometry().right(), w.cmdSend->geometry().left());
}

TEST(frmSMTP, PointingAtTheMessageTextFocusesIt) {
    const AccountRecord account = testAccount();
    frmSMTP w(account);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.txtTo->setFocus();
    ASSERT_EQ(w.focusWidget(), w.txtTo);
    // The event the toolkit sends when the pointer comes over the field.
    const QPointF inside = w.txtMsg->rect().center();
    QEnterEvent enter(inside, inside, w.txtMsg->mapToGlobal(inside));
    QApplication::sendEvent(w.txtMsg, &enter);
    // Offscreen windows are never active, so the focus shows as the window's focus widget.
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.focusWidget() == w.txtMsg; }, 1000));
}

// Set CORVANE_GRAB_DIR to keep a picture of the window, to look at.
TEST(frmSMTP, Picture) {
    const AccountRecord account = testAccount();
    frmSMTP w(account);
    w.txtTo->setText(QStringLiteral("\"Ann Lee\" <ann@example.com>"));
    w.txtSubject->setText(QStringLiteral("Re: Meeting notes"));
    w.txtMsg->setPlainText(QStringLiteral("\n\n> \"Ann Lee\" said:\n> \n> See you at ten."));
    w.MsgAttachment = QStringLiteral("/home/ann/Documents/projects/2024/agenda-for-the-"
                                     "quarterly-planning-meeting.txt");
    w.lblProgress->setText(QStringLiteral("Message successfully sent"));
    w.show();
    w.LayoutWindow();
    const QPixmap picture = w.grab();
    EXPECT_FALSE(picture.isNull());
    w.resize(w.minimumSize());
    const QPixmap smallest = w.grab();
    EXPECT_FALSE(smallest.isNull());
    if (const QString dir = qEnvironmentVariable("CORVANE_GRAB_DIR"); !dir.isEmpty()) {
        picture.save(dir + QStringLiteral("/frmSMTP.png"));
        smallest.save(dir + QStringLiteral("/frmSMTP-smallest.png"));
    }
}

} // namespace
