// The reader window's message display without the HTML view: what a decoded message puts on
// the controls, the Text/All/part-list commands, the questions, the Edit pop-up menu and the
// quoted-text window.

#include "decoding/ui/ViewTestSupport.h"
#include "platform/SettingsStore.h"
#include "decoding/ui/frmQuoted.h"
#include "settings/SettingsValues.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using platform::MsgAnswer;
using platform::MsgButtons;
using viewtest::Decode;
using viewtest::PartEntries;
using viewtest::Retrieved;

namespace {

class MessageViewTest : public ::testing::Test {
protected:
    MessageViewTest() {
        window.mnShowHTML->setChecked(false);
        window.show();
    }

    ScriptedDialogs dialogs;
    frmPOP window;
};

struct ShownCase {
    const char* name;
    std::string raw;
    QStringList entries;
    QString selected; // the part entry shown as selected ("" when the list is empty)
    QString text;     // what the message view shows
    QString attachments;
};

// Messages whose decoding ends in the Text view.
std::vector<ShownCase> ShownCases() {
    return {
        {"single plain part",
         Retrieved({"From: a@example.org", "Content-Type: text/plain", "", "Hello", "World"}),
         {},
         "",
         "\nHello\nWorld",
         ""},
        {"no blank line: all is body",
         "Just one line\r\nand another\r\n",
         {},
         "",
         "Just one line\nand another\n",
         ""},
        {"HTML message with ShowHTML off shows its source",
         Retrieved({"Content-Type: text/html", "", "<p>Hi</p>"}),
         {},
         "",
         "\n<p>Hi</p>",
         ""},
        {"base64 plain part",
         Retrieved({"Content-Type: text/plain", "Content-Transfer-Encoding: base64", "",
                    "SGVsbG8gYmFzZTY0"}),
         {},
         "",
         "Hello base64",
         ""},
        {"text with two attachments",
         Retrieved({"Content-Type: multipart/mixed; boundary=\"mx\"", "", "--mx",
                    "Content-Type: text/plain", "", "See attached.", "--mx",
                    "Content-Type: application/pdf; name=\"a.pdf\"",
                    "Content-Disposition: attachment; filename=\"a.pdf\"",
                    "Content-Transfer-Encoding: base64", "", "JVBERi0=", "--mx",
                    "Content-Type: application/zip",
                    "Content-Disposition: attachment; filename=\"b.zip\"", "", "PK", "--mx--"}),
         {"text/plain", "application/pdf", "application/zip"},
         "text/plain",
         "See attached.",
         "a.pdf; b.zip; "},
        {"part type in capitals is listed as written",
         Retrieved({"Content-Type: multipart/alternative; boundary=\"b1\"", "", "--b1",
                    "Content-Type: TEXT/PLAIN", "", "Shouted", "--b1--"}),
         {"TEXT/PLAIN"},
         "TEXT/PLAIN",
         "Shouted",
         ""},
        {"related text with a picture",
         Retrieved({"Content-Type: multipart/related; boundary=\"rel\"", "", "--rel",
                    "Content-Type: text/plain", "", "Logo below", "--rel",
                    "Content-Type: image/png; name=\"logo.png\"",
                    "Content-Transfer-Encoding: base64", "", "iVBORw0KGgo=", "--rel--"}),
         {"text/plain", "image/png", "Image"},
         "text/plain",
         "Logo below",
         "logo.png; "},
        {"UTF-8 part shown in its charset",
         Retrieved({"Content-Type: multipart/alternative; boundary=\"u\"", "", "--u",
                    "Content-Type: text/plain; charset=\"UTF-8\"", "", "caf\xc3\xa9 \xe2\x82\xac",
                    "--u--"}),
         {"text/plain"},
         "text/plain",
         QString::fromUtf8("caf\xc3\xa9 \xe2\x82\xac"),
         ""},
        {"ISO-8859-2 single part shown in its charset",
         Retrieved({"Content-Type: text/plain; charset=iso-8859-2", "", "\xb1\xe6"}),
         {},
         "",
         QString::fromUtf8("\n\xc4\x85\xc4\x87"),
         ""},
        {"undeclared charset is Windows-1252",
         Retrieved({"Content-Type: text/plain", "", "\x80 caf\xe9"}),
         {},
         "",
         QString::fromUtf8("\n\xe2\x82\xac caf\xc3\xa9"),
         ""},
    };
}

TEST_F(MessageViewTest, DecodedMessagesLandOnTheControls) {
    for (const ShownCase& c : ShownCases()) {
        SCOPED_TRACE(c.name);
        window.lblAttachments->clear(); // the download empties it first
        Decode(window, c.raw);
        EXPECT_EQ(PartEntries(window), c.entries);
        EXPECT_EQ(window.lstViewAs->currentText(), c.selected);
        EXPECT_TRUE(window.lstViewAs->isEnabled());
        EXPECT_EQ(window.txtMsg->toPlainText(), c.text);
        EXPECT_EQ(window.lblAttachments->text(), c.attachments);
        EXPECT_TRUE(window.btnText->isChecked());
        EXPECT_FALSE(window.txtMsg->isHidden());
        EXPECT_EQ(window.view().browser(), nullptr) << "no HTML, no browser";
    }
    EXPECT_TRUE(dialogs.messages().empty()) << "the program's own selections ask nothing";
}

TEST_F(MessageViewTest, AttachmentsLineMovesTheMessageDown) {
    Decode(window, ShownCases()[0].raw);
    const int plainTop = window.txtMsg->y();
    Decode(window, ShownCases()[4].raw);
    EXPECT_GT(window.txtMsg->y(), plainTop);
}

TEST_F(MessageViewTest, EmptyMessageSaysSo) {
    window.txtMsg->setPlainText(QStringLiteral("previous"));
    dialogs.answer(MsgAnswer::Ok);
    Decode(window, "+OK\r\nSubject: nothing\r\n\r\n.\r\n");
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, "Message is totally empty of text or HTML");
    EXPECT_EQ(dialogs.messages()[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(dialogs.messages()[0].title, "Corvane");
    EXPECT_EQ(window.txtMsg->toPlainText(), "") << "the empty body was put in first";

    // The Text command itself leaves the view as it is.
    window.txtMsg->setPlainText(QStringLiteral("typed by the user"));
    dialogs.answer(MsgAnswer::Ok);
    window.btnText->click();
    EXPECT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(window.txtMsg->toPlainText(), "typed by the user");
}

TEST_F(MessageViewTest, AllShowsHeaderAndBodyThenTextComesBack) {
    Decode(window, Retrieved({"Subject: Hi", "Content-Type: text/plain", "", "Body line"}));
    window.btnAll->click();
    EXPECT_TRUE(window.btnAll->isChecked());
    EXPECT_EQ(window.txtMsg->toPlainText(),
              "+OK message follows\nSubject: Hi\nContent-Type: text/plain\n\nBody line");
    window.btnText->click();
    EXPECT_TRUE(window.btnText->isChecked());
    EXPECT_EQ(window.txtMsg->toPlainText(), "\nBody line");
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(MessageViewTest, AllShowsTheQuotedPrintableBodyDecoded) {
    Decode(window, Retrieved({"Content-Type: text/plain",
                              "Content-Transfer-Encoding: quoted-printable", "", "a=3Db"}));
    window.btnAll->click();
    EXPECT_TRUE(window.txtMsg->toPlainText().endsWith(QStringLiteral("\n\na=b")));
}

TEST_F(MessageViewTest, PickingAPartShowsItAndTextKeepsIt) {
    Decode(window, ShownCases()[4].raw);
    window.lstViewAs->setCurrentIndex(2);
    Q_EMIT window.lstViewAs->activated(2);
    EXPECT_EQ(window.txtMsg->toPlainText(), "PK") << "not transfer-encoded, shown as it is";
    window.btnAll->click();
    window.btnText->click();
    EXPECT_EQ(window.txtMsg->toPlainText(), "PK") << "the chosen part stays the text";
    EXPECT_EQ(window.view().Decoded.MsgText, "PK");
}

TEST_F(MessageViewTest, ImageEntryFallsBackToTheBody) {
    const ShownCase& related = ShownCases()[6];
    Decode(window, related.raw);
    window.lstViewAs->setCurrentIndex(2); // "Image": the empty last record
    Q_EMIT window.lstViewAs->activated(2);
    EXPECT_TRUE(window.view().Decoded.MsgText.empty());
    EXPECT_TRUE(window.txtMsg->toPlainText().contains(QStringLiteral("--rel")))
        << "the whole body, as the last resort";
}

TEST_F(MessageViewTest, DisabledControlsRunNoCommand) {
    Decode(window, ShownCases()[4].raw);
    window.lstViewAs->setEnabled(false);
    window.lstViewAs->setCurrentIndex(1);
    Q_EMIT window.lstViewAs->activated(1);
    EXPECT_EQ(window.txtMsg->toPlainText(), "See attached.");
    window.lstViewAs->setEnabled(true);
    window.btnAll->setEnabled(false);
    window.view().AllCommand();
    EXPECT_TRUE(window.btnText->isChecked());
}

TEST_F(MessageViewTest, HtmlOfAPlainMessageAnsweredNoStaysText) {
    Decode(window, ShownCases()[0].raw);
    dialogs.answer(MsgAnswer::No);
    window.btnHTML->click();
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text,
              "Message does not contain HTML, display text as HTML anyhow?");
    EXPECT_EQ(dialogs.messages()[0].buttons, MsgButtons::YesNo);
    EXPECT_TRUE(window.btnText->isChecked());
    EXPECT_FALSE(window.txtMsg->isHidden());
    EXPECT_EQ(window.txtMsg->toPlainText(), "\nHello\nWorld");
    EXPECT_EQ(window.view().browser(), nullptr);
    EXPECT_TRUE(window.view().Decoded.MsgHTML.empty());
}

TEST_F(MessageViewTest, HtmlOfAnEmptyMessageAnsweredYesHasNothingToShow) {
    dialogs.answer(MsgAnswer::Ok);
    Decode(window, "+OK\r\nSubject: nothing\r\n\r\n.\r\n");
    dialogs.clear();
    dialogs.answer(MsgAnswer::Yes).answer(MsgAnswer::Ok);
    window.btnHTML->click();
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList({"Message does not contain HTML, display text as HTML anyhow?",
                           "Message is totally empty of text or HTML"}));
    EXPECT_TRUE(window.btnHTML->isChecked()) << "left as the user set it";
    EXPECT_EQ(window.view().browser(), nullptr);
}

TEST_F(MessageViewTest, AttachmentsDoubleClickSaysYes) {
    Decode(window, ShownCases()[4].raw);
    dialogs.answer(MsgAnswer::Ok);
    QTest::mouseDClick(window.lblAttachments, Qt::LeftButton);
    EXPECT_EQ(dialogs.messageTexts(), QStringList{"yes"});
}

TEST_F(MessageViewTest, ClearSuspiciousTagsSwitchesTheRemovedTagsItem) {
    const bool before = window.mnClearEmailInIMGTag->isChecked();
    window.mnClearEmailInIMGTag->trigger();
    EXPECT_NE(window.mnClearEmailInIMGTag->isChecked(), before);
    EXPECT_EQ(window.mnShowRemovedTags->isEnabled(), !before);
    window.mnClearEmailInIMGTag->trigger();
    EXPECT_EQ(window.mnShowRemovedTags->isEnabled(), before);
}

TEST_F(MessageViewTest, EditMenuOnRightButtonRelease) {
    Decode(window, Retrieved({"Content-Type: text/plain", "", "alpha beta"}));
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

    const QList<QAction*> items = window.view().mnEditMain->actions();
    ASSERT_EQ(items.size(), 6);
    EXPECT_EQ(items[2]->shortcut(), QKeySequence(QStringLiteral("Ctrl+T")));
    EXPECT_EQ(items[3]->shortcut(), QKeySequence(QStringLiteral("Ctrl+C")));
    EXPECT_EQ(items[4]->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    EXPECT_EQ(items[5]->shortcut(), QKeySequence(QStringLiteral("Ctrl+D")));
}

TEST_F(MessageViewTest, QuotedPrintableBodyFillsTheHiddenQuotedWindow) {
    EXPECT_EQ(window.view().quotedWindow(), nullptr);
    Decode(window,
           Retrieved({"Content-Type: text/plain", "Content-Transfer-Encoding: quoted-printable", "",
                      "caf=E9 a=3Db", "soft=", "break"}));
    frmQuoted* quoted = window.view().quotedWindow();
    ASSERT_NE(quoted, nullptr);
    EXPECT_TRUE(quoted->isHidden());
    EXPECT_EQ(quoted->txtMsg->toPlainText(), QString::fromUtf8("\ncaf\xc3\xa9 a=b\nsoftbreak"));
    EXPECT_EQ(window.txtMsg->toPlainText(), QString::fromUtf8("\ncaf\xc3\xa9 a=b\nsoftbreak"));

    window.mnShowQuotedPrintable->trigger();
    EXPECT_FALSE(quoted->isHidden());
    EXPECT_EQ(quoted->windowTitle(), "Quoted Text Buffer");

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("qp.txt"));
    dialogs.saveFile(path);
    quoted->cmdSave->click();
    ASSERT_EQ(dialogs.fileRequests().size(), 1u);
    EXPECT_EQ(dialogs.fileRequests()[0].filter, "All Files (*.*)|*.*|Text Files(*.txt)|*.txt");
    EXPECT_EQ(dialogs.fileRequests()[0].filterIndex, 2);
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray("\r\ncaf\xe9 a=b\r\nsoftbreak\r\n"));

    quoted->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.view().quotedWindow() == nullptr; }, 2000))
        << "closing destroys the window with its text";
}

TEST_F(MessageViewTest, ShowQuotedPrintableOpensAnEmptyWindowWhenNoneExists) {
    window.mnShowQuotedPrintable->trigger();
    frmQuoted* quoted = window.view().quotedWindow();
    ASSERT_NE(quoted, nullptr);
    EXPECT_TRUE(quoted->isVisible());
    EXPECT_TRUE(quoted->txtMsg->toPlainText().isEmpty());
    dialogs.saveFile(std::nullopt);
    quoted->cmdSave->click(); // cancelled: nothing happens
    quoted->close();
}

TEST_F(MessageViewTest, QuotedWindowKeepsItsPlaceInTheStore) {
    QTemporaryDir dir;
    platform::SettingsStore store(dir.filePath(QStringLiteral("Corvane.ini")));
    platform::installSettingsStore(&store);
    store.SaveSettings(
        "Settings",
        {{"quTop", "3000"}, {"quLeft", "2100"}, {"quHeight", "1200"}, {"quWidth", "7200"}});
    window.mnShowQuotedPrintable->trigger();
    frmQuoted* quoted = window.view().quotedWindow();
    ASSERT_NE(quoted, nullptr);
    EXPECT_EQ(quoted->geometryTwips(), QRectF(2100, 3000, 7200, 4500)) << "height at least 4500";

    quoted->resize(quoted->width() + 20, quoted->height());
    const QRectF moved = quoted->geometryTwips();
    quoted->close();
    EXPECT_EQ(store.GetSetting("Settings", "quWidth"), settings::FormatSingle(moved.width()));
    EXPECT_EQ(store.GetSetting("Settings", "quHeight"), "4500");
    EXPECT_EQ(store.GetSetting("Settings", "quTop"), "3000");
    platform::installSettingsStore(nullptr);
}

} // namespace
