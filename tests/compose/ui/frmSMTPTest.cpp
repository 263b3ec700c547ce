// The compose window's commands, events and layout, with scripted dialogs. Sends that reach
// a server are in tests/peer/SmtpPeerTest.cpp.
#include "compose/ui/frmSMTP.h"
#include "decoding/TestData.h"
#include "settings/AccountRecord.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <map>

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

QString text(const std::string& field) {
    return QString::fromStdString(field);
}

TEST(frmSMTP, SessionEventsSetTheStatusLine) {
    const std::map<std::string, void (frmSMTP::*)()> events = {
        {"connect", &frmSMTP::SMTP1_ConnectSMTP},
        {"sent", &frmSMTP::SMTP1_SendSMTP},
        {"close", &frmSMTP::SMTP1_CloseSMTP},
        {"timer", &frmSMTP::Timer1_Timer}};
    AccountRecord account = testAccount();
    for (const auto& r : testdata::Table("compose/session-events.table")) {
        SCOPED_TRACE(r[1] + " " + r[5]);
        ScriptedDialogs dialogs;
        dialogs.allowUnscriptedOk();
        frmSMTP w(account);
        w.lblProgress->setText(text(r[0]));
        r[1] == "error" ? w.SMTP1_ErrorSMTP(std::stoi(r[2]), text(r[3])) : (w.*events.at(r[1]))();
        EXPECT_EQ(dialogs.messageTexts().join(u'|'), text(r[4]));
        EXPECT_EQ(w.lblProgress->text(), text(r[5]));
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
    for (const auto& r : testdata::Table("compose/refused-sends.table")) {
        SCOPED_TRACE(r[2]);
        ScriptedDialogs dialogs;
        dialogs.allowUnscriptedOk();
        AccountRecord account = testAccount();
        frmSMTP w(account);
        w.Timer1->stop();
        w.txtTo->setText(QStringLiteral("bob@example.net"));
        w.txtMsg->setPlainText(QStringLiteral("text"));
        const std::map<std::string, std::function<void()>> set = {
            {"auth", [&] { account.EmailAuth = std::stoi(r[1]); }},
            {"to", [&] { w.txtTo->setText(text(r[1])); }},
            {"subject", [&] { w.txtSubject->setText(text(r[1])); }},
            {"from domain", [&] { account.EmailFromDomain = r[1]; }},
            {"server", [&] { account.SMTPAddress = r[1]; }},
            {"attachment", [&] { w.MsgAttachment = text(r[1]); }},
            {"", [] {}}};
        set.at(r[0])();
        const QString box = text(r[2]);
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
    EXPECT_EQ(request.filter + u'|' + QString::number(request.filterIndex) + u'|' +
                  request.fileName,
              QStringLiteral("All Files (*.*)|*.*|Text Files(*.txt)|*.txt|2|Re yz"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString saved = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(saved.startsWith(u"Date: ") && saved.indexOf(u'\r') > 10);
    EXPECT_EQ(
        saved.section(u'\n', 1),
        QStringLiteral("\r\nTo: x\r\n\r\nSubject: Re: y/z?\r\n\r\nz\r\nsecond line \u00e9\r\n"));
    w.cmdSave->click(); // a folder that does not exist
    EXPECT_TRUE(dialogs.messageTexts().value(0).startsWith(u"The message could not be saved"));
    EXPECT_EQ(frmSMTP::FileNameValid(QStringLiteral("Re: a/b?\\*<\"x\">|'.txt")),
              QStringLiteral("Re ab\"x\"'.txt"));
}

TEST(frmSMTP, TheAttachmentShowsShortenedFromTheLeftAndTheWindowKeepsItsMinimum) {
    const QString longPath =
        QStringLiteral("/home/ann/") + QString(300, QLatin1Char('d')) + QStringLiteral("/file.txt");
    ScriptedDialogs dialogs;
    dialogs.openFile(QStringLiteral("/tmp/a.txt")).openFile(longPath);
    const AccountRecord account = testAccount();
    frmSMTP w(account);
    w.show(); // a hidden window gets its resize events only when shown
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
}

// The window's close button asks before a draft is thrown away, as Compose does, and in the
// real box Enter presses the button that keeps the draft.
TEST(frmSMTP, ClosingAsksBeforeDiscardingAndEnterKeepsTheDraft) {
    const AccountRecord account = testAccount();
    QPointer<frmSMTP> w = new frmSMTP(account);
    w->show();
    w->txtMsg->setPlainText(QStringLiteral("typed"));
    QStringList asked;
    const auto enterInTheNextBox = [&asked] {
        QTimer::singleShot(0, [&asked] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            asked << box->text();
            QTest::keyClick(box, Qt::Key_Return);
        });
    };
    enterInTheNextBox();
    EXPECT_FALSE(w->mayReplaceDraft()); // as Compose, Reply and a handed-over link ask
    enterInTheNextBox();
    EXPECT_FALSE(w->close());
    ASSERT_FALSE(w.isNull());
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->txtMsg->toPlainText(), QStringLiteral("typed"));
    EXPECT_EQ(asked, QStringList(2, QStringLiteral("Discard the message you are writing?")));

    ScriptedDialogs dialogs;
    dialogs.answer(platform::MsgAnswer::Yes);
    EXPECT_TRUE(w->close());
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.isNull(); }, 2000));
    w = new frmSMTP(account); // nothing typed: nothing to ask
    w->fill(QStringLiteral("a@x.org"), QStringLiteral("filled"), QStringLiteral("text"));
    EXPECT_TRUE(w->close());
    EXPECT_EQ(dialogs.messages().size(), 1u);
}

} // namespace
