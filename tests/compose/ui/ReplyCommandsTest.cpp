// Reply and Compose: the address menu, the questions, and what lands in the compose window.
#include "compose/ui/ReplyCommands.h"
#include "compose/ui/frmSMTP.h"
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
        shown.shownText = QStringLiteral("Are you free?\nAt noon.");
    }
    frmSMTP& composer() { return *replies.composeWindow(); }
    // The compose window's fields, its text with the program's CR LF line breaks.
    QStringList fields() {
        return {
            composer().txtTo->text(), composer().txtSubject->text(),
            composer().txtMsg->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"))};
    }

    AccountRecord account;
    QWidget window;
    QPushButton reply{&window};
    QPushButton compose{&window};
    ReplySource shown;
    ReplyCommands replies;
};

const QString kQuoted =
    QStringLiteral("\r\n\r\n> \"Ann Lee\" said:\r\n> \r\n> Are you free?\r\n> At noon.");

TEST(ReplyCommands, TheReplyQuotesTheShownMessage) {
    struct Case {
        const char* name;
        std::function<void(ReplySource&)> shown;
        QStringList fields;
    };
    const QString plain = QStringLiteral("\r\n\r\n> Are you free?\r\n> At noon.");
    const Case cases[] = {
        {"no further address: straight to From",
         [](ReplySource&) {},
         {kFrom, QStringLiteral("Re: Lunch"), kQuoted}},
        {"Re: doubled",
         [](ReplySource& s) { s.subject = QStringLiteral("Re: Lunch"); },
         {kFrom, QStringLiteral("Re: Re: Lunch"), kQuoted}},
        {"empty subject stays empty",
         [](ReplySource& s) { s.subject.clear(); },
         {kFrom, QString(), kQuoted}},
        {"no quotes: no attribution",
         [](ReplySource& s) { s.from = QStringLiteral("a@x"); },
         {QStringLiteral("a@x"), QStringLiteral("Re: Lunch"), plain}},
        {"closing quote last: no attribution",
         [](ReplySource& s) { s.from = QStringLiteral("a@x \"Ann\""); },
         {QStringLiteral("a@x \"Ann\""), QStringLiteral("Re: Lunch"), plain}},
        {"one line",
         [](ReplySource& s) { s.shownText = QStringLiteral("Just one line"); },
         {kFrom, QStringLiteral("Re: Lunch"),
          QStringLiteral("\r\n\r\n> \"Ann Lee\" said:\r\n> \r\n> Just one line")}},
        {"HTML: the converted text, no attribution",
         [](ReplySource& s) {
             s.fromHtml = true;
             s.htmlText = QStringLiteral("Hello there\nBye");
         },
         {kFrom, QStringLiteral("Re: Lunch"), QStringLiteral("\r\n\r\n> Hello there\r\n> Bye")}},
        {"a name with specials is quoted",
         [](ReplySource& s) {
             s.fromField = "=?utf-8?q?evil=0D=0ABcc:_victim@example.test?= <r@example.test>";
         },
         {QStringLiteral("\"evil  Bcc: victim@example.test\" <r@example.test>"),
          QStringLiteral("Re: Lunch"), kQuoted}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDialogs dialogs;
        Reader r;
        c.shown(r.shown);
        QTest::mousePress(&r.reply, Qt::LeftButton);
        EXPECT_TRUE(dialogs.popupMenus().empty());
        ASSERT_NE(r.replies.composeWindow(), nullptr);
        EXPECT_TRUE(r.composer().isVisible());
        EXPECT_EQ(r.fields(), c.fields);
        EXPECT_FALSE(r.reply.isDown());
    }
}

TEST(ReplyCommands, MenuOffersTheKnownAddressesAndReplyToAll) {
    const QString menu[] = {QStringLiteral("From: ") + kFrom,
                            QStringLiteral("Reply-To: \"Lee, Ann\" <list@example.org>"),
                            QStringLiteral("X-Sender: J\u00f6rg <s@x>"),
                            QStringLiteral("Cc: bo@example.net, cy@example.net"),
                            QStringLiteral("Reply To All")};
    const std::pair<QString, QString> cases[] = {
        {menu[0], kFrom},
        {menu[1], menu[1].mid(10)},
        {menu[3], QStringLiteral("bo@example.net, cy@example.net")},
        {menu[4], kFrom + QStringLiteral(", \"Lee, Ann\" <list@example.org>, J\u00f6rg <s@x>, "
                                         "bo@example.net, cy@example.net, ")},
        {QString(), QString()}, // dismissed: nothing happens
    };
    for (const auto& [choice, to] : cases) {
        SCOPED_TRACE(choice.toStdString());
        ScriptedDialogs dialogs;
        Reader r;
        r.shown.replyToField = "=?utf-8?q?Lee=2C_Ann?= <list@example.org>";
        r.shown.xSenderField = "=?utf-8?q?J=C3=B6rg?= <s@x>";
        r.shown.ccField = "bo@example.net, cy@example.net";
        dialogs.popup(choice);
        QTest::mousePress(&r.reply, Qt::LeftButton);
        ASSERT_EQ(dialogs.popupMenus().size(), 1u);
        EXPECT_EQ(
            dialogs.popupMenus()[0],
            QStringList({QStringLiteral("Choose Address To Reply To:"), QStringLiteral("-")}) +
                QStringList(std::begin(menu), std::end(menu)));
        EXPECT_FALSE(r.replies.mnReplyTo[5]->isVisible());
        if (choice.isEmpty()) {
            EXPECT_EQ(r.replies.composeWindow(), nullptr);
        } else {
            EXPECT_EQ(r.fields().mid(0, 2), QStringList({to, QStringLiteral("Re: Lunch")}));
        }
    }
}

TEST(ReplyCommands, QuestionsBeforeAReply) {
    struct Case {
        const char* name;
        int length;            // of the shown text
        bool typed;            // the user wrote in the compose window first
        QStringList questions; // asked, in order
        QList<MsgAnswer> answers;
        bool replaced;
    };
    const QString large = QStringLiteral("The message is fairly large, proceed?");
    const QString discard = QStringLiteral("Discard the message you are writing?");
    const Case cases[] = {
        {"20000 characters: no question", 20000, false, {}, {}, true},
        {"20001 characters, No", 20001, false, {large}, {MsgAnswer::No}, false},
        {"20001 characters, Yes", 20001, false, {large}, {MsgAnswer::Yes}, true},
        {"a draft kept", 10, true, {discard}, {MsgAnswer::No}, false},
        {"a draft discarded", 10, true, {discard}, {MsgAnswer::Yes}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDialogs dialogs;
        for (const MsgAnswer a : c.answers) {
            dialogs.answer(a);
        }
        Reader r;
        r.shown.shownText = QString(c.length, QLatin1Char('x'));
        if (c.typed) {
            r.compose.click();
            r.composer().txtMsg->setPlainText(QStringLiteral("my draft"));
        }
        QTest::mousePress(&r.reply, Qt::LeftButton);
        EXPECT_EQ(dialogs.messageTexts(), c.questions);
        EXPECT_EQ(r.replies.composeWindow() && r.fields()[1] == QStringLiteral("Re: Lunch"),
                  c.replaced);
    }
}

TEST(ReplyCommands, ComposeEmptiesTheWindowUnlessTheUserKeepsADraft) {
    ScriptedDialogs dialogs;
    Reader r;
    QTest::mousePress(&r.reply, Qt::LeftButton);
    frmSMTP* first = r.replies.composeWindow();
    // A reply the user did not touch is replaced without a question, attachment and all.
    first->MsgAttachment = QStringLiteral("/tmp/a.txt");
    r.compose.click();
    EXPECT_EQ(r.replies.composeWindow(), first); // one compose window for the program
    EXPECT_EQ(r.fields(), QStringList({QString(), QString(), QString()}));
    EXPECT_TRUE(first->lblAttachment->isHidden());
    EXPECT_TRUE(dialogs.messages().empty());

    first->txtTo->setText(QStringLiteral("typed@x"));
    dialogs.answer(MsgAnswer::No);
    r.compose.click();
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{QStringLiteral("Discard the message you are writing?")});
    EXPECT_EQ(first->txtTo->text(), QStringLiteral("typed@x"));
    EXPECT_TRUE(first->isVisible());

    // Closed, it is loaded anew; the program's end closes it.
    first->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return r.replies.composeWindow() == nullptr; }, 2000));
    r.compose.click();
    ASSERT_NE(r.replies.composeWindow(), nullptr);
    r.replies.closeCompose();
    EXPECT_TRUE(QTest::qWaitFor([&] { return r.replies.composeWindow() == nullptr; }, 2000));
}

} // namespace
