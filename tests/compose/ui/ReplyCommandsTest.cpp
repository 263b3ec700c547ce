// Reply and Compose on a real reader window: the address menu, the recipient, the subject
// and the quoted text that land in the compose window.
#include "compose/ui/ReplyCommands.h"
#include "compose/ui/frmSMTP.h"
#include "reader/ui/frmPOP.h"
#include "support/ScriptedDialogs.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

using platform::MsgAnswer;

namespace {

const QString kFrom = QStringLiteral("\"Ann Lee\" <ann@example.com>");

struct Reader {
    Reader() {
        window.lblFrom->setText(kFrom);
        window.Fields.FromSubject = "Lunch";
        window.txtMsg->setPlainText(QStringLiteral("Are you free?\nAt noon."));
        window.btnText->setChecked(true);
    }
    ~Reader() {
        if (frmSMTP* c = window.replies().composeWindow()) {
            delete c;
        }
    }
    frmSMTP* compose() { return window.replies().composeWindow(); }
    void pressReply() { QTest::mousePress(window.cmdReply, Qt::LeftButton); }

    frmPOP window;
};

// The compose window's text with the program's CR LF line breaks.
QString composedText(frmSMTP& c) {
    return c.txtMsg->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

TEST(ReplyCommands, WithoutFurtherAddressesTheReplyGoesToFromAtOnce) {
    ScriptedDialogs dialogs;
    Reader r;
    r.pressReply();
    EXPECT_TRUE(dialogs.popupMenus().empty());
    ASSERT_NE(r.compose(), nullptr);
    frmSMTP& c = *r.compose();
    EXPECT_TRUE(c.isVisible());
    EXPECT_EQ(c.txtTo->text(), kFrom);
    EXPECT_EQ(c.txtSubject->text(), QStringLiteral("Re: Lunch"));
    EXPECT_EQ(composedText(c),
              QStringLiteral("\r\n\r\n> \"Ann Lee\" said:\r\n> \r\n> Are you free?\r\n> At noon."));
    EXPECT_TRUE(c.MsgAttachment.isEmpty());
    EXPECT_FALSE(r.window.cmdReply->isDown());
}

TEST(ReplyCommands, MenuOffersTheKnownAddressesAndReplyToAll) {
    struct Case {
        const char* choice;
        QString to;
    };
    const Case cases[] = {
        {"From: \"Ann Lee\" <ann@example.com>", kFrom},
        {"Reply-To: list@example.org", QStringLiteral("list@example.org")},
        {"Cc: bo@example.net, cy@example.net", QStringLiteral("bo@example.net, cy@example.net")},
        {"Reply To All",
         kFrom + QStringLiteral(", list@example.org, bo@example.net, cy@example.net, ")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.choice);
        ScriptedDialogs dialogs;
        Reader r;
        r.window.Fields.ReplyToField = "list@example.org";
        r.window.Fields.CcField = "bo@example.net, cy@example.net";
        dialogs.popup(QString::fromUtf8(c.choice));
        r.pressReply();
        ASSERT_EQ(dialogs.popupMenus().size(), 1u);
        EXPECT_EQ(dialogs.popupMenus()[0],
                  (QStringList{QStringLiteral("Choose Address To Reply To:"), QStringLiteral("-"),
                               QStringLiteral("From: ") + kFrom,
                               QStringLiteral("Reply-To: list@example.org"),
                               QStringLiteral("Cc: bo@example.net, cy@example.net"),
                               QStringLiteral("Reply To All")}));
        ASSERT_NE(r.compose(), nullptr);
        EXPECT_EQ(r.compose()->txtTo->text(), c.to);
        EXPECT_EQ(r.compose()->txtSubject->text(), QStringLiteral("Re: Lunch"));
        // The two unused items are hidden and empty.
        auto& replies = r.window.replies();
        EXPECT_FALSE(replies.mnReplyTo[4]->isVisible());
        EXPECT_TRUE(replies.mnReplyTo[5]->text().isEmpty());
    }
}

TEST(ReplyCommands, EveryKindOfAddressInItsOrder) {
    ScriptedDialogs dialogs;
    Reader r;
    r.window.Fields.CcField = "c@x";
    r.window.Fields.ApparentlyToField = "a@x";
    r.window.Fields.XSenderField = "=?utf-8?q?J=C3=B6rg?= <s@x>"; // shown decoded
    r.window.Fields.ReplyToField = "r@x";
    dialogs.popup(QString()); // dismissed: nothing happens
    r.pressReply();
    ASSERT_EQ(dialogs.popupMenus().size(), 1u);
    EXPECT_EQ(dialogs.popupMenus()[0].mid(2),
              (QStringList{QStringLiteral("From: ") + kFrom, QStringLiteral("Reply-To: r@x"),
                           QStringLiteral("X-Sender: J\u00f6rg <s@x>"),
                           QStringLiteral("X-Apparently-To: a@x"), QStringLiteral("Cc: c@x"),
                           QStringLiteral("Reply To All")}));
    EXPECT_EQ(r.compose(), nullptr);
}

TEST(ReplyCommands, SubjectAndAttributionRules) {
    struct Case {
        const char* name;
        std::string subject;
        QString from;
        QString subjectOut;
        QString textOut;
    };
    const QString quoted = QStringLiteral("> Are you free?\r\n> At noon.");
    const Case cases[] = {
        {"Re: doubled", "Re: Lunch", kFrom, QStringLiteral("Re: Re: Lunch"),
         QStringLiteral("\r\n\r\n> \"Ann Lee\" said:\r\n> \r\n") + quoted},
        {"empty subject stays empty", "", kFrom, QString(),
         QStringLiteral("\r\n\r\n> \"Ann Lee\" said:\r\n> \r\n") + quoted},
        {"no quotes: no attribution", "x", QStringLiteral("ann@example.com"),
         QStringLiteral("Re: x"), QStringLiteral("\r\n\r\n") + quoted},
        {"closing quote last: no attribution", "x", QStringLiteral("ann@example.com \"Ann\""),
         QStringLiteral("Re: x"), QStringLiteral("\r\n\r\n") + quoted},
        {"one quote: no attribution", "x", QStringLiteral("\"Ann <ann@example.com>"),
         QStringLiteral("Re: x"), QStringLiteral("\r\n\r\n") + quoted},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDialogs dialogs;
        Reader r;
        r.window.Fields.FromSubject = c.subject;
        r.window.lblFrom->setText(c.from);
        r.pressReply();
        ASSERT_NE(r.compose(), nullptr);
        EXPECT_EQ(r.compose()->txtSubject->text(), c.subjectOut);
        EXPECT_EQ(composedText(*r.compose()), c.textOut);
    }
}

TEST(ReplyCommands, TextWithoutLineBreaksIsOneQuotedLine) {
    ScriptedDialogs dialogs;
    Reader r;
    r.window.lblFrom->setText(QStringLiteral("ann@example.com"));
    r.window.txtMsg->setPlainText(QStringLiteral("Just one line"));
    r.pressReply();
    EXPECT_EQ(composedText(*r.compose()), QStringLiteral("\r\n\r\n> Just one line"));
}

TEST(ReplyCommands, LargeMessagesAskFirst) {
    struct Case {
        int length;
        bool asks;
        MsgAnswer answer;
        bool composed;
    };
    for (const Case c :
         {Case{20000, false, MsgAnswer::Ok, true}, Case{20001, true, MsgAnswer::No, false},
          Case{20001, true, MsgAnswer::Yes, true}}) {
        SCOPED_TRACE(c.length);
        ScriptedDialogs dialogs;
        if (c.asks) {
            dialogs.answer(c.answer);
        }
        Reader r;
        r.window.txtMsg->setPlainText(QString(c.length, QLatin1Char('x')));
        r.pressReply();
        if (c.asks) {
            ASSERT_EQ(dialogs.messages().size(), 1u);
            EXPECT_EQ(dialogs.messages()[0].text,
                      QStringLiteral("The message is fairly large, proceed?"));
            EXPECT_EQ(dialogs.messages()[0].buttons, platform::MsgButtons::YesNo);
        } else {
            EXPECT_TRUE(dialogs.messages().empty());
        }
        EXPECT_EQ(r.compose() != nullptr, c.composed);
    }
}

TEST(ReplyCommands, HtmlModeQuotesTheConvertedHtmlWithoutAttribution) {
    ScriptedDialogs dialogs;
    Reader r;
    r.window.Browser.BrowserHTML = "<html><body><p>Hello <b>there</b></p><p>Bye</p></body></html>";
    r.window.btnHTML->setChecked(true);
    r.pressReply();
    ASSERT_NE(r.compose(), nullptr);
    const QString text = composedText(*r.compose());
    EXPECT_TRUE(text.startsWith(QStringLiteral("\r\n\r\n> "))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("said:")));
    EXPECT_TRUE(text.contains(QStringLiteral("Hello there")));
    EXPECT_FALSE(text.contains(QLatin1Char('<')));
    // Every line of the quotation begins with "> ".
    const QStringList lines = text.split(QStringLiteral("\r\n")).mid(2);
    for (const QString& line : lines) {
        EXPECT_TRUE(line.startsWith(QStringLiteral("> "))) << line.toStdString();
    }
}

TEST(ReplyCommands, ComposeEmptiesTheWindowAndReplyReusesIt) {
    ScriptedDialogs dialogs;
    Reader r;
    r.pressReply();
    frmSMTP* first = r.compose();
    ASSERT_NE(first, nullptr);
    first->MsgAttachment = QStringLiteral("/tmp/a.txt");
    first->LayoutWindow();

    r.window.cmdCompose->click();
    EXPECT_EQ(r.compose(), first); // one compose window for the program
    EXPECT_TRUE(first->txtTo->text().isEmpty());
    EXPECT_TRUE(first->txtSubject->text().isEmpty());
    EXPECT_TRUE(first->txtMsg->toPlainText().isEmpty());
    EXPECT_TRUE(first->MsgAttachment.isEmpty());
    EXPECT_TRUE(first->lblAttachment->isHidden());
    EXPECT_TRUE(first->isVisible());

    // Closed, it is loaded anew by the next command.
    first->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return r.compose() == nullptr; }, 2000));
    r.window.cmdCompose->click();
    EXPECT_NE(r.compose(), nullptr);

    // The reader window takes the compose window with it.
    r.window.close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return r.compose() == nullptr; }, 2000));
}

} // namespace
