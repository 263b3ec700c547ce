// A shown message without the browser: controls, view commands, Edit menu, quoted-text window.

#include "decoding/TestData.h"
#include "decoding/ui/ViewTestSupport.h"
#include "decoding/ui/frmQuoted.h"
#include "platform/TextCodec.h"
#include "support/TempSettings.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <gtest/gtest.h>

using platform::MsgAnswer;
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

QString PartEntries(const frmPOP& window) {
    QStringList entries;
    for (int i = 0; i < window.lstViewAs->count(); ++i) {
        entries << window.lstViewAs->itemText(i);
    }
    return entries.join(QLatin1Char('|'));
}

std::string Sample(const std::string& name) {
    return testdata::ReadFile(testdata::Path("view/" + name));
}

TEST_F(MessageViewTest, ShownMessagesLandOnTheControls) {
    for (const auto& row : testdata::Table("view/shown.table", 5)) {
        SCOPED_TRACE(row[0]);
        Show(window, Sample(row[0]));
        EXPECT_EQ(PartEntries(window).toStdString(), row[1]);
        EXPECT_EQ(window.lstViewAs->currentText().toStdString(), row[2]);
        EXPECT_EQ(window.txtMsg->toPlainText().toStdString(), row[3]);
        EXPECT_EQ(window.lblAttachments->text().toStdString(), row[4]);
        EXPECT_TRUE(window.btnText->isChecked() && window.txtMsg->isVisible());
    }
    EXPECT_TRUE(dialogs.messages().empty()) << "the program's own selections ask nothing";
}

// A hostile message of one endless word is shown in pieces the view can lay out at once.
TEST_F(MessageViewTest, AnEndlessWordIsShownInPieces) {
    const qsizetype n = platform::kLongestRun;
    Show(window, "Subject: x\r\n\r\n" + std::string(3 * n, 'w') + "\r\n");
    const QStringList lines = window.txtMsg->toPlainText().split(u'\n');
    EXPECT_EQ(lines.filter(QString(n, u'w')).size(), 3) << lines.size();
    EXPECT_TRUE(
        std::all_of(lines.begin(), lines.end(), [&](const QString& l) { return l.size() <= n; }));
}

TEST_F(MessageViewTest, AMessageShowsTheSameWhateverWasReadBeforeIt) {
    dialogs.allowUnscriptedOk();
    // Among them a one-letter related boundary, and boundaries declared in the body only.
    std::vector<std::string> messages;
    for (const char* folder : {CORVANE_TEST_DATA "/messages", CORVANE_TEST_DATA "/view"}) {
        for (const QFileInfo& file : QDir(QString::fromUtf8(folder)).entryInfoList({"*.eml"})) {
            messages.push_back(testdata::ReadFile(file.filePath().toStdString()));
        }
    }
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
            EXPECT_EQ(window.btnHTML->isChecked(), first.btnHTML->isChecked());
        }
    }
    Show(window, Sample("one_letter_related_boundary.eml"));
    Show(window, Sample("boundaries_in_body_only.eml"));
    EXPECT_EQ(window.txtMsg->toPlainText(), "Reply Right Regards");
}

TEST_F(MessageViewTest, GetMailEmptiesEverythingShown) {
    Show(window, Sample("earlier_with_attachment.eml"));
    window.view().clearMessage();
    EXPECT_EQ(window.lblFrom->text() + window.lblSubject->text() + window.lblAttachments->text() +
                  window.txtMsg->toPlainText() + PartEntries(window),
              "");
    // Reply offers nothing old, and a resize brings no subject back.
    EXPECT_EQ(window.view().fields().ReplyToField + window.view().fields().FromSubject, "");
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
    // HTML answered No: the text stays; answered Yes, the question is not asked again.
    dialogs.answer(MsgAnswer::No).answer(MsgAnswer::Yes);
    window.btnHTML->click();
    EXPECT_TRUE(window.btnText->isChecked());
    EXPECT_EQ(window.txtMsg->toPlainText(), "\na=b");
    window.btnHTML->click();
    EXPECT_TRUE(window.txtMsg->isHidden());
    window.btnText->click();
    window.btnHTML->click();
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList(2, "Message does not contain HTML, display text as HTML anyhow?"));
    EXPECT_TRUE(window.btnHTML->isChecked());

    // A chosen part is shown and stays the text; "Image" falls back to the whole body.
    Show(window, Sample("two_attachments.eml"));
    choosePart(2);
    EXPECT_EQ(window.txtMsg->toPlainText(), "PK") << "not transfer-encoded, shown as it is";
    window.btnAll->click();
    window.btnText->click();
    EXPECT_EQ(window.txtMsg->toPlainText(), "PK");
    EXPECT_EQ(window.view().decoded().MsgText, "See attached.") << "the message stays as decoded";
    Show(window, Sample("related_picture.eml"));
    choosePart(2);
    EXPECT_TRUE(window.txtMsg->toPlainText().contains(QStringLiteral("--rel")));

    dialogs.answer(MsgAnswer::Ok);
    QTest::mouseDClick(window.lblAttachments, Qt::LeftButton);
    EXPECT_EQ(dialogs.messageTexts().last(), "yes");
}

TEST_F(MessageViewTest, EditMenuOnRightButtonRelease) {
    Show(window, Retrieved({"Content-Type: text/plain", "", "alpha beta"}));
    window.activateWindow();
    window.txtMsg->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.txtMsg->hasFocus(); }));
    window.txtMsg->find(QStringLiteral("alpha"));
    dialogs.popup(QStringLiteral("&Copy")).popup(QStringLiteral("&Delete"));
    QTest::mouseRelease(window.txtMsg->viewport(), Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(dialogs.popupMenus().at(0),
              QStringList({"Undo", "-", "Cu&t", "&Copy", "&Paste", "&Delete"}));
    EXPECT_EQ(QApplication::clipboard()->text(), "alpha");
    QTest::mouseRelease(window.txtMsg->viewport(), Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(window.txtMsg->toPlainText(), "\n beta");
}

TEST_F(MessageViewTest, QuotedTextWindow) {
    TempSettings settings;
    Show(window,
         Retrieved({"Content-Type: text/plain", "Content-Transfer-Encoding: quoted-printable", "",
                    "caf=E9 a=3Db", "soft=", "break"}));
    frmQuoted* quoted = window.view().quotedWindow();
    ASSERT_NE(quoted, nullptr);
    EXPECT_TRUE(quoted->isHidden());
    EXPECT_EQ(quoted->txtMsg->toPlainText(), QString::fromUtf8("\ncaf\xc3\xa9 a=b\nsoftbreak"));
    window.mnShowQuotedPrintable->trigger();
    EXPECT_EQ(quoted->windowTitle(), "Quoted Text Buffer");

    QSignalSpy destroyed(quoted, &QObject::destroyed);
    quoted->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return destroyed.count() > 0; }))
        << "closing destroys the window with its text";

    // "Show Removed Tags" is offered only while suspicious tags are cleared.
    const bool clearing = window.mnClearEmailInIMGTag->isChecked();
    window.mnClearEmailInIMGTag->trigger();
    EXPECT_EQ(window.mnShowRemovedTags->isEnabled(), !clearing);
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

void RightClick(QWidget* control) {
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(2, 2));
    QApplication::sendEvent(control, &click);
}

// The demo's report, opened from its file and saved from the attachments line's menu and
// with Save All: the same bytes, and an existing file replaced only when the user agrees.
TEST_F(MessageViewTest, AttachmentsSaveByteForByteAndNeverOverwriteUnasked) {
    const QString demo =
        QStringLiteral(CORVANE_TEST_DATA "/../../scripts/demo-mail/04-attachment.eml");
    const QByteArray eml = Contents(demo);
    const QByteArray marker = "filename=\"report.txt\"\n\n";
    const qsizetype at = eml.indexOf(marker) + marker.size();
    const QByteArray report = QByteArray::fromBase64(eml.mid(at, eml.indexOf('\n', at) - at));
    ASSERT_TRUE(report.startsWith("Quarterly"));

    dialogs.openFile(demo);
    window.mnFileOpen->trigger();
    ASSERT_EQ(window.lblAttachments->text(), "report.txt; ");
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("report.txt"));
    const QString saveAs = QStringLiteral("Save report.txt As\u2026");
    dialogs.popup(saveAs).saveFile(saved);
    RightClick(window.lblAttachments);
    EXPECT_EQ(dialogs.popupMenus().back(),
              (QStringList{saveAs, "-", QStringLiteral("Save All Attachments\u2026")}));
    EXPECT_EQ(Contents(saved), report);

    QFile mine(saved);
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly) && mine.write("mine") == 4);
    mine.close();
    // "No" keeps both, under the first free numbered name; every Save All ends with a summary.
    const QString where = QDir::toNativeSeparators(dir.path());
    for (const MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Yes}) {
        dialogs.clear();
        dialogs.folder(dir.path()).answer(answer).answer(MsgAnswer::Ok);
        window.mnSaveAttachments->trigger();
        const QString other = answer == MsgAnswer::No ? "report (2).txt" : "report (3).txt";
        EXPECT_EQ(
            dialogs.messageTexts(),
            (QStringList{"report.txt already exists in " + where +
                             ".\nReplace it?\n\nNo keeps both and saves this one as " + other + ".",
                         "Saved 1 of 1 attachments in " + where + "."}));
        EXPECT_EQ(Contents(saved), answer == MsgAnswer::Yes ? report : "mine");
    }
    EXPECT_EQ(Contents(dir.filePath(QStringLiteral("report (2).txt"))), report);

    // Hostile names stay in the chosen folder, distinct regardless of case; Cancel skips the
    // rest and says so.
    Show(window, Retrieved({"Content-Type: multipart/mixed; boundary=b", "", "--b",
                            "Content-Disposition: attachment; filename=\"../../.bashrc\"", "", "x",
                            "--b", "Content-Type: image/gif; name=\"CON\"", "", "y", "--b",
                            "Content-Type: image/gif; name=\"con\"", "", "z", "--b--"}));
    EXPECT_EQ(window.lblAttachments->text(), "../../.bashrc; CON; con; ");
    QDir inner(dir.filePath(QStringLiteral("inner")));
    ASSERT_TRUE(inner.mkpath(QStringLiteral(".")));
    dialogs.clear();
    dialogs.folder(inner.path()).answer(MsgAnswer::Ok);
    window.mnSaveAttachments->trigger();
    EXPECT_EQ(inner.entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{"_CON", "_con (2)", "bashrc"}));
    EXPECT_EQ(Contents(inner.filePath(QStringLiteral("_con (2)"))), "z");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"report (2).txt", "report.txt"}));
    dialogs.folder(inner.path()).answer(MsgAnswer::Cancel).answer(MsgAnswer::Ok);
    window.mnSaveAttachments->trigger();
    EXPECT_EQ(dialogs.messageTexts().last(), "Saved 0 of 3 attachments in " +
                                                 QDir::toNativeSeparators(inner.path()) +
                                                 ".\nSkipped: bashrc, _CON, _con (2)");
    Show(window, Retrieved({"Content-Type: text/plain", "", "No files"}));
    EXPECT_FALSE(window.mnSaveAttachments->isEnabled());
    const std::size_t menus = dialogs.popupMenus().size();
    RightClick(window.lblAttachments);
    EXPECT_EQ(dialogs.popupMenus().size(), menus);
}

} // namespace
