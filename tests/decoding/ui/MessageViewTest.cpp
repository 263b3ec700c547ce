// The reader window's message display without the HTML view: what a shown message puts on
// the controls, the Text/All/part-list commands, the questions, the Edit pop-up menu and the
// quoted-text window.

#include "decoding/ui/ViewTestSupport.h"
#include "decoding/ui/frmQuoted.h"
#include "support/TempSettings.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using platform::MsgAnswer;
using viewtest::PartEntries;
using viewtest::Retrieved;
using viewtest::Show;

namespace {

class MessageViewTest : public ::testing::Test {
protected:
    MessageViewTest() {
        window.mnShowHTML->setChecked(false);
        window.show();
    }

    void choosePart(int i) {
        window.lstViewAs->setCurrentIndex(i);
        Q_EMIT window.lstViewAs->activated(i);
    }

    ScriptedDialogs dialogs;
    frmPOP window;
};

struct ShownCase {
    const char* name;
    std::string raw;
    QString entries;  // the part list, "|" between entries
    QString selected; // the part entry shown as selected
    QString text;     // what the message view shows
    QString attachments;
};

// Messages whose decoding ends in the Text view, in the charset they declare.
std::vector<ShownCase> ShownCases() {
    const std::string mixed = Retrieved(
        {"Content-Type: multipart/mixed; boundary=\"mx\"", "", "--mx", "Content-Type: text/plain",
         "", "See attached.", "--mx", "Content-Type: application/pdf; name=\"a.pdf\"",
         "Content-Disposition: attachment; filename=\"a.pdf\"", "Content-Transfer-Encoding: base64",
         "", "JVBERi0=", "--mx", "Content-Type: application/zip",
         "Content-Disposition: attachment; filename=\"b.zip\"", "", "PK", "--mx--"});
    const std::string related =
        Retrieved({"Content-Type: multipart/related; boundary=\"rel\"", "", "--rel",
                   "Content-Type: text/plain", "", "Logo below", "--rel",
                   "Content-Type: image/png; name=\"logo.png\"",
                   "Content-Transfer-Encoding: base64", "", "iVBORw0KGgo=", "--rel--"});
    return {
        {"plain", Retrieved({"Content-Type: text/plain", "", "Hello", "World"}), "", "",
         "\nHello\nWorld", ""},
        {"no blank line: all is body", "Just one line\r\nand another\r\n", "", "",
         "Just one line\nand another\n", ""},
        {"HTML with ShowHTML off shows its source",
         Retrieved({"Content-Type: text/html", "", "<p>Hi</p>"}), "", "", "\n<p>Hi</p>", ""},
        {"two attachments", mixed, "text/plain|application/pdf|application/zip", "text/plain",
         "See attached.", "a.pdf; b.zip; "},
        {"related with a picture", related, "text/plain|image/png|Image", "text/plain",
         "Logo below", "logo.png; "},
        {"UTF-8 base64 part",
         Retrieved({"Content-Type: multipart/alternative; boundary=\"u\"", "", "--u",
                    "Content-Type: text/plain; charset=\"UTF-8\"",
                    "Content-Transfer-Encoding: base64", "", "R3LDvMOfZSDigqw=", "--u--"}),
         "text/plain", "text/plain", QStringLiteral("Gr\u00fc\u00dfe \u20ac"), ""},
        {"KOI8-R", Retrieved({"Content-Type: text/plain; charset=koi8-r", "", "\xf0\xd2\xc9!"}), "",
         "", QStringLiteral("\n\u041f\u0440\u0438!"), ""},
        {"ISO-8859-1 quoted-printable",
         Retrieved({"Content-Type: text/plain; charset=ISO-8859-1",
                    "Content-Transfer-Encoding: quoted-printable", "", "caf=E9"}),
         "", "", QStringLiteral("\ncaf\u00e9"), ""},
        {"no charset is Windows-1252",
         Retrieved({"Content-Type: text/plain", "", "\x93q\x94 \x80 \x96 caf\xe9"}), "", "",
         QStringLiteral("\n\u201cq\u201d \u20ac \u2013 caf\u00e9"), ""},
    };
}

TEST_F(MessageViewTest, ShownMessagesLandOnTheControls) {
    for (const ShownCase& c : ShownCases()) {
        SCOPED_TRACE(c.name);
        Show(window, c.raw);
        EXPECT_EQ(PartEntries(window).join(QLatin1Char('|')), c.entries);
        EXPECT_EQ(window.lstViewAs->currentText(), c.selected);
        EXPECT_EQ(window.txtMsg->toPlainText(), c.text);
        EXPECT_EQ(window.lblAttachments->text(), c.attachments);
        EXPECT_TRUE(window.btnText->isChecked());
        EXPECT_FALSE(window.txtMsg->isHidden());
    }
    EXPECT_TRUE(dialogs.messages().empty()) << "the program's own selections ask nothing";
}

TEST_F(MessageViewTest, AMessageShowsTheSameWhateverWasReadBeforeIt) {
    dialogs.allowUnscriptedOk();
    std::vector<std::string> messages;
    for (const QFileInfo& file :
         QDir(QStringLiteral(CORVANE_TEST_DATA "/messages")).entryInfoList({"*.eml"})) {
        QFile f(file.filePath());
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        messages.push_back(f.readAll().toStdString());
    }
    // A one-letter related boundary, then a message that declares its related and alternative
    // boundaries in its body only.
    messages.push_back(Retrieved({"Content-Type: multipart/related; boundary=\"R\"", "", "--R",
                                  "Content-Type: text/plain", "", "Short", "--R--"}));
    messages.push_back(Retrieved({"Content-Type: multipart/mixed; boundary=\"mx\"",
                                  "",
                                  "--mx",
                                  "Content-Type: multipart/related; boundary=\"rl\"",
                                  "",
                                  "--rl",
                                  "Content-Type: multipart/alternative; boundary=\"al\"",
                                  "",
                                  "--al",
                                  "Content-Type: text/plain",
                                  "Content-Transfer-Encoding: base64",
                                  "",
                                  "UmVwbHkgUmlnaHQgUmVnYXJkcw==",
                                  "--al--",
                                  "--rl--",
                                  "--mx",
                                  "Content-Type: application/pdf",
                                  "Content-Disposition: attachment; filename=\"R.pdf\"",
                                  "",
                                  "JVBERi0=",
                                  "--mx--"}));
    for (const std::string& message : messages) {
        frmPOP first;
        first.mnShowHTML->setChecked(false);
        Show(first, message);
        for (const std::string& before : messages) {
            Show(window, before);
            Show(window, message);
            EXPECT_EQ(window.txtMsg->toPlainText(), first.txtMsg->toPlainText()) << before;
            EXPECT_EQ(PartEntries(window), PartEntries(first));
            EXPECT_EQ(window.lblAttachments->text(), first.lblAttachments->text());
            ASSERT_EQ(window.btnHTML->isChecked(), first.btnHTML->isChecked());
            if (first.btnHTML->isChecked()) {
                EXPECT_EQ(window.view().BrowserText(), first.view().BrowserText());
            }
        }
    }
    EXPECT_EQ(window.txtMsg->toPlainText(), "Reply Right Regards");
}

TEST_F(MessageViewTest, GetMailEmptiesEverythingShown) {
    Show(window, "+OK\r\nFrom: Ann <a@x.org>\r\nSubject: Old\r\nReply-To: r@x.org\r\n\r\nOld\r\n");
    window.lblAttachments->setText(QStringLiteral("a.pdf; "));
    window.view().clearMessage();
    EXPECT_EQ(window.lblFrom->text() + window.lblSubject->text() + window.lblAttachments->text() +
                  window.txtMsg->toPlainText(),
              "");
    EXPECT_TRUE(window.view().fields().ReplyToField.empty()) << "Reply offers nothing old";
    EXPECT_TRUE(window.view().shownSubject().isEmpty()) << "a resize brings no subject back";
}

TEST_F(MessageViewTest, EmptyMessageAndTheViewCommands) {
    dialogs.answer(MsgAnswer::Ok);
    Show(window, "+OK\r\nSubject: nothing\r\n\r\n.\r\n");
    // HTML, Yes: there is still nothing to show, and the buttons stay as the user set them.
    dialogs.answer(MsgAnswer::Yes).answer(MsgAnswer::Ok);
    window.btnHTML->click();
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList({"Message is totally empty of text or HTML",
                           "Message does not contain HTML, display text as HTML anyhow?",
                           "Message is totally empty of text or HTML"}));
    EXPECT_EQ(dialogs.messages()[0].title, "Corvane");
    EXPECT_TRUE(window.btnHTML->isChecked());
    EXPECT_EQ(window.view().browser(), nullptr);

    dialogs.clear();
    Show(window, Retrieved({"Subject: Hi", "Content-Type: text/plain",
                            "Content-Transfer-Encoding: quoted-printable", "", "a=3Db"}));
    window.btnAll->click();
    EXPECT_EQ(window.txtMsg->toPlainText(),
              "+OK message follows\nSubject: Hi\nContent-Type: text/plain\n"
              "Content-Transfer-Encoding: quoted-printable\n\na=b");
    window.btnText->click();
    EXPECT_EQ(window.txtMsg->toPlainText(), "\na=b");
    // HTML answered No: the text stays.
    dialogs.answer(MsgAnswer::No);
    window.btnHTML->click();
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{"Message does not contain HTML, display text as HTML anyhow?"});
    EXPECT_TRUE(window.btnText->isChecked());
    EXPECT_EQ(window.txtMsg->toPlainText(), "\na=b");

    // A chosen part is shown and stays the text; "Image" falls back to the whole body.
    const std::vector<ShownCase> cases = ShownCases();
    Show(window, cases[3].raw);
    choosePart(2);
    EXPECT_EQ(window.txtMsg->toPlainText(), "PK") << "not transfer-encoded, shown as it is";
    window.btnAll->click();
    window.btnText->click();
    EXPECT_EQ(window.txtMsg->toPlainText(), "PK");
    Show(window, cases[4].raw);
    choosePart(2);
    EXPECT_TRUE(window.txtMsg->toPlainText().contains(QStringLiteral("--rel")));

    dialogs.answer(MsgAnswer::Ok);
    QTest::mouseDClick(window.lblAttachments, Qt::LeftButton);
    EXPECT_EQ(dialogs.messageTexts().last(), "yes");
}

TEST_F(MessageViewTest, ClearSuspiciousTagsSwitchesTheRemovedTagsItem) {
    const bool before = window.mnClearEmailInIMGTag->isChecked();
    window.mnClearEmailInIMGTag->trigger();
    EXPECT_EQ(window.mnShowRemovedTags->isEnabled(), !before);
    window.mnClearEmailInIMGTag->trigger();
    EXPECT_EQ(window.mnShowRemovedTags->isEnabled(), before);
}

TEST_F(MessageViewTest, EditMenuOnRightButtonRelease) {
    Show(window, Retrieved({"Content-Type: text/plain", "", "alpha beta"}));
    window.activateWindow();
    window.txtMsg->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.txtMsg->hasFocus(); }, 2000));
    QTextCursor cursor = window.txtMsg->textCursor();
    cursor.setPosition(1);
    cursor.setPosition(6, QTextCursor::KeepAnchor);
    window.txtMsg->setTextCursor(cursor);

    dialogs.popup(QStringLiteral("&Copy")).popup(QStringLiteral("&Delete"));
    QApplication::clipboard()->clear();
    QTest::mouseRelease(window.txtMsg->viewport(), Qt::RightButton, {}, QPoint(10, 10));
    ASSERT_EQ(dialogs.popupMenus().size(), 1u);
    EXPECT_EQ(dialogs.popupMenus()[0],
              QStringList({"Undo", "-", "Cu&t", "&Copy", "&Paste", "&Delete"}));
    EXPECT_EQ(QApplication::clipboard()->text(), "alpha");
    QTest::mouseRelease(window.txtMsg->viewport(), Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(window.txtMsg->toPlainText(), "\n beta");
    QTest::mouseRelease(window.txtMsg->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(dialogs.popupMenus().size(), 2u) << "only the right button opens the menu";
}

TEST_F(MessageViewTest, QuotedTextWindow) {
    TempSettings settings;
    settings.setSection("Settings", {{"quTop", "3000"}, {"quLeft", "2100"}, {"quWidth", "7200"}});
    Show(window,
         Retrieved({"Content-Type: text/plain", "Content-Transfer-Encoding: quoted-printable", "",
                    "caf=E9 a=3Db", "soft=", "break"}));
    frmQuoted* quoted = window.view().quotedWindow();
    ASSERT_NE(quoted, nullptr);
    EXPECT_TRUE(quoted->isHidden());
    EXPECT_EQ(quoted->txtMsg->toPlainText(), QString::fromUtf8("\ncaf\xc3\xa9 a=b\nsoftbreak"));
    window.mnShowQuotedPrintable->trigger();
    EXPECT_EQ(quoted->windowTitle(), "Quoted Text Buffer");
    EXPECT_EQ(quoted->geometryTwips(), QRectF(2100, 3000, 7200, 4500)) << "height at least 4500";

    QTemporaryDir dir;
    dialogs.saveFile(dir.filePath(QStringLiteral("qp.txt")));
    quoted->cmdSave->click();
    QFile saved(dir.filePath(QStringLiteral("qp.txt")));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray("\r\ncaf\xe9 a=b\r\nsoftbreak\r\n"));

    QSignalSpy destroyed(quoted, &QObject::destroyed);
    quoted->close();
    EXPECT_EQ(settings.get("quHeight"), "4500");
    EXPECT_TRUE(QTest::qWaitFor([&] { return destroyed.count() > 0; }))
        << "closing destroys the window with its text";
}

} // namespace
