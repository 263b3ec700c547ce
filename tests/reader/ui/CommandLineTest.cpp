// What a mailto: link or a message file given on the command line (or handed over by a later
// start) does to the reader window.
#include "compose/ui/ReplyCommands.h"
#include "compose/ui/frmSMTP.h"
#include "platform/SingleInstance.h"
#include "reader/ui/frmPOP.h"
#include "support/ScriptedDialogs.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>
#include <tuple>

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

// The command line is read before anything needs a display, and what cannot be read says so.
TEST(CommandLine, TheProgramReadsItsOptionsWithoutADisplay) {
    const std::tuple<QStringList, int, const char*> cases[] = {
        {{"--bogus"}, 1, "Unknown option 'bogus'."},
        {{"--help"}, 0, "\n  mailto:LINK|FILE.eml  Write to a mailto: link, or open a saved"},
        {{"-platform", "offscreen", "--version"}, 0, "Corvane "}};
    for (const auto& [arguments, exitCode, says] : cases) {
        QProcess corvane;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            environment.remove(QString::fromLatin1(name));
        }
        corvane.setProcessEnvironment(environment);
        corvane.start(QStringLiteral(CORVANE_BINARY_DIR "/corvane"), arguments);
        ASSERT_TRUE(corvane.waitForFinished(30000));
        const QByteArray said = corvane.readAllStandardOutput() + corvane.readAllStandardError();
        EXPECT_TRUE(corvane.exitStatus() == QProcess::NormalExit && said.contains(says))
            << said.toStdString();
        EXPECT_EQ(corvane.exitCode(), exitCode);
    }
}

// A later start, in its own thread as it would be its own process.
std::unique_ptr<QThread> laterStart(const QString& socket, const QString& argument) {
    std::unique_ptr<QThread> start(QThread::create([socket, argument] {
        EXPECT_TRUE(platform::SingleInstance(socket).handOver({argument}, 5000));
    }));
    start->start();
    return start;
}

// Links handed over by later starts while a box is open (the discard question, or the
// refusal of a link that cannot be used): the reader keeps running, asks about each link in
// turn, and a "No" keeps the draft. The box runs the event loop, as a real one does.
TEST(CommandLine, LinksHandedOverWhileABoxIsOpen) {
    using platform::MsgAnswer;
    const std::tuple<const char*, std::vector<MsgAnswer>, const char*, const char*> cases[] = {
        {"subject=First", {MsgAnswer::No, MsgAnswer::No}, "Discard Discard", "Draft"},
        {"subject=First", {MsgAnswer::Yes}, "Discard", "Second"},
        {"subject=x%0D%0ABcc:%20v@x.org",
         {MsgAnswer::Ok, MsgAnswer::No},
         "Cannot Discard",
         "Draft"}};
    int row = 0;
    for (const auto& [first, answers, asked, subject] : cases) {
        const QString socket =
            QStringLiteral("corvane-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(++row);
        ScriptedDialogs dialogs;
        frmPOP window;
        platform::SingleInstance running(socket);
        ASSERT_TRUE(running.listen());
        QObject::connect(&running, &platform::SingleInstance::received, &window,
                         &frmPOP::openHandedOver);
        window.openArgument(QStringLiteral("mailto:d@x.org?subject=Draft"));
        window.replies().composeWindow()->txtMsg->setPlainText(QStringLiteral("typed"));
        for (const MsgAnswer a : answers) {
            dialogs.answer(a);
        }
        std::unique_ptr<QThread> second;
        dialogs.whileOpen([&] {
            QSignalSpy handed(&running, &platform::SingleInstance::received);
            second = laterStart(socket, QStringLiteral("mailto:b@x.org?subject=Second"));
            EXPECT_TRUE(handed.wait(5000));
        });
        QSignalSpy opened(&running, &platform::SingleInstance::received);
        const auto firstStart = laterStart(socket, QStringLiteral("mailto:a@x.org?") + first);
        ASSERT_TRUE(opened.wait(5000) && second);
        firstStart->wait();
        second->wait();
        QStringList words; // of each box, the first
        for (const QString& text : dialogs.messageTexts()) {
            words << text.section(u' ', 0, 0);
        }
        EXPECT_EQ(words.join(u' '), QString::fromUtf8(asked)) << first;
        const frmSMTP* compose = window.replies().composeWindow();
        ASSERT_NE(compose, nullptr);
        EXPECT_EQ(compose->txtSubject->text() + compose->txtMsg->toPlainText(),
                  QString::fromUtf8(subject) +
                      (subject == std::string_view("Draft") ? "typed" : ""));
    }
}

} // namespace
