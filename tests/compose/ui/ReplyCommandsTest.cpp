// Reply and Compose: the address menu, the questions, and what lands in the compose window.
#include "compose/ui/ReplyCommands.h"
#include "compose/ui/frmSMTP.h"
#include "decoding/TestData.h"
#include "settings/AccountRecord.h"
#include "support/ScriptedDialogs.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using platform::MsgAnswer;

namespace {

const QString kFrom = QStringLiteral("\"Ann Lee\" <ann@example.com>");

// A reader window reduced to what a reply reads: its two buttons and the shown message.
struct Reader {
    Reader() : replies({&reply, &compose}, account, &window, [this] { return shown; }) {
        shown.from = kFrom;
        shown.subject = QStringLiteral("Lunch");
        shown.shownText = QStringLiteral("Are you\nfree?");
    }
    frmSMTP* composer() { return replies.composeWindow(); }
    // To, Subject and the text with the program's CR LF line breaks.
    QStringList fields() {
        return {composer()->txtTo->text(), composer()->txtSubject->text(),
                composer()->txtMsg->toPlainText().replace(u'\n', QStringLiteral("\r\n"))};
    }
    void pressReply() { QTest::mousePress(&reply, Qt::LeftButton); }

    AccountRecord account;
    QWidget window;
    QPushButton reply{&window}, compose{&window};
    ReplySource shown;
    ReplyCommands replies;
};

// The subject, attribution and quoting rules have their own tables; here, what goes where.
TEST(ReplyCommands, TheReplyQuotesTheShownMessage) {
    for (const auto& c : testdata::Table("compose/reply-fields.table")) {
        SCOPED_TRACE(c[2]);
        ScriptedDialogs dialogs; // no menu, no question
        Reader r;
        r.shown.fromField = c[0];
        r.shown.fromHtml = !c[1].empty();
        r.shown.htmlText = QString::fromStdString(c[1]);
        r.pressReply();
        ASSERT_NE(r.composer(), nullptr);
        EXPECT_TRUE(r.composer()->isVisible() && !r.reply.isDown());
        EXPECT_EQ(r.fields().join(u'|').toStdString(), c[2] + "|Re: Lunch|" + c[3]);
    }
}

// Which addresses the menu offers has its own table; here, where the choice lands.
TEST(ReplyCommands, MenuOffersTheKnownAddressesAndReplyToAll) {
    const QString replyTo = QStringLiteral("\"Lee, Ann\" <list@example.org>");
    const QStringList menu = {QStringLiteral("Choose Address To Reply To:"), QStringLiteral("-"),
                              QStringLiteral("From: ") + kFrom,
                              QStringLiteral("Reply-To: ") + replyTo,
                              QStringLiteral("Reply To All")};
    const std::pair<QString, QString> cases[] = {
        {menu[3], replyTo},
        {menu[4], kFrom + QStringLiteral(", ") + replyTo + QStringLiteral(", ")},
        {QString(), QString()}, // dismissed: nothing happens
    };
    for (const auto& [choice, to] : cases) {
        SCOPED_TRACE(choice.toStdString());
        ScriptedDialogs dialogs;
        Reader r;
        r.shown.replyToField = "=?utf-8?q?Lee=2C_Ann?= <list@example.org>";
        dialogs.popup(choice);
        r.pressReply();
        EXPECT_EQ(dialogs.popupMenus(), std::vector<QStringList>{menu});
        EXPECT_EQ(r.composer() ? r.fields()[0] : QString(), to);
    }
}

TEST(ReplyCommands, AskBeforeALargeReplyOrReplacingADraft) {
    for (const auto& c : testdata::Table("compose/reply-questions.table")) {
        SCOPED_TRACE(c[3] + " " + c[4] + " " + c[5]);
        ScriptedDialogs dialogs;
        Reader r;
        r.compose.click();
        r.composer()->fill(QString(), QString(), QStringLiteral("untouched"));
        if (!c[1].empty()) {
            r.composer()->txtMsg->setPlainText(QString::fromStdString(c[1]));
        }
        r.shown.shownText = QString(std::stoi(c[0]), QLatin1Char('x'));
        dialogs.answer(c[4] == "Yes"  ? MsgAnswer::Yes
                       : c[4] == "No" ? MsgAnswer::No
                                      : MsgAnswer::Ok);
        c[2] == "compose" ? r.compose.click() : r.pressReply();
        EXPECT_EQ(dialogs.messageTexts().join(u'|').toStdString(), c[3]);
        const bool replied = r.fields()[1] == QStringLiteral("Re: Lunch");
        EXPECT_EQ(replied ? "reply" : r.fields()[2].toStdString(), c[5]);
        EXPECT_TRUE(r.composer()->isVisible());
    }
}

TEST(ReplyCommands, OneComposeWindowWhileItIsOpen) {
    ScriptedDialogs dialogs;
    Reader r;
    r.pressReply();
    frmSMTP* first = r.composer();
    first->MsgAttachment = QStringLiteral("/tmp/a.txt");
    r.compose.click(); // the same window, emptied, attachment and all
    EXPECT_EQ(r.composer(), first);
    EXPECT_TRUE(first->MsgAttachment.isEmpty() && first->lblAttachment->isHidden());
    first->close(); // closed, it is loaded anew; the program's end closes it
    EXPECT_TRUE(QTest::qWaitFor([&] { return r.composer() == nullptr; }, 2000));
    r.compose.click();
    ASSERT_NE(r.composer(), nullptr);
    r.replies.closeCompose();
    EXPECT_TRUE(QTest::qWaitFor([&] { return r.composer() == nullptr; }, 2000));
}

} // namespace
