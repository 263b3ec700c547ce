// What a mailto: link or a message file given on the command line (or handed over by a later
// start) does to the reader window.
#include "compose/ui/ReplyCommands.h"
#include "compose/ui/frmSMTP.h"
#include "reader/ui/frmPOP.h"
#include "support/ScriptedDialogs.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct LinkCase {
    const char* link;
    const char* to;
    const char* subject;
    const char* text;
};

TEST(CommandLine, MailtoLinksFillTheComposeWindow) {
    ScriptedDialogs dialogs;
    frmPOP window;
    const LinkCase cases[] = {
        {"mailto:someone@example.org?subject=Hi", "someone@example.org", "Hi", ""},
        {"mailto:a@x.org,b@x.org?cc=c@x.org&subject=Gr%C3%BC%C3%9Fe&body=one%0D%0Atwo&x=y",
         "a@x.org, b@x.org, c@x.org", "Grüße", "one\ntwo"},
    };
    for (const LinkCase& c : cases) {
        window.openArgument(QString::fromUtf8(c.link));
        frmSMTP* compose = window.replies().composeWindow();
        ASSERT_NE(compose, nullptr);
        EXPECT_TRUE(compose->isVisible());
        EXPECT_EQ(compose->txtTo->text(), QString::fromUtf8(c.to));
        EXPECT_EQ(compose->txtSubject->text(), QString::fromUtf8(c.subject));
        EXPECT_EQ(compose->txtMsg->toPlainText(), QString::fromUtf8(c.text));
    }
    // A hostile link says why and leaves the window as it was.
    dialogs.answer(platform::MsgAnswer::Ok);
    window.openArgument(QStringLiteral("mailto:a@x.org?subject=x%0D%0ABcc:%20v@x.org"));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(
        dialogs.messages()[0].text.startsWith(QStringLiteral("Cannot use the mailto: link.")));
    EXPECT_EQ(window.replies().composeWindow()->txtTo->text(),
              QStringLiteral("a@x.org, b@x.org, c@x.org"));
}

TEST(CommandLine, AMessageFileOpensAsFileOpenDoes) {
    ScriptedDialogs dialogs;
    frmPOP window;
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("saved.eml")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("From: Ann <ann@example.org>\r\nSubject: Saved\r\n\r\nHello from a file\r\n");
    file.close();
    window.openArgument(file.fileName());
    EXPECT_EQ(window.lblFrom->text(), QStringLiteral("Ann <ann@example.org>"));
    EXPECT_TRUE(window.txtMsg->toPlainText().contains(QStringLiteral("Hello from a file")));

    dialogs.answer(platform::MsgAnswer::Ok);
    window.openArgument(dir.filePath(QStringLiteral("missing.eml")));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages()[0].text.startsWith(QStringLiteral("Cannot open ")));
}

} // namespace
