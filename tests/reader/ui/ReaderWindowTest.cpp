// The reader window's arrangement, status and header rows, list height, files and printing.
#include "compose/ui/ReplyCommands.h"
#include "compose/ui/frmSMTP.h"
#include "platform/ClickableLabel.h"
#include "reader/ui/ReaderCommands.h"
#include "reader/ui/frmPOP.h"
#include "session/ui/PopSession.h"
#include "session/ui/frmDebug.h"
#include "support/ScriptedDialogs.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLayout>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

using platform::MsgAnswer;

namespace {

class ReaderWindowTest : public ::testing::Test {
protected:
    ReaderWindowTest() { dialogs.allowUnscriptedOk(); }

    // Sizes the window in twips and lays it out.
    void resizeTwips(double width, double height) {
        const Twips t = window.twips();
        window.resize(t.toPixels(width), t.toPixels(height));
        window.LayoutWindow();
    }
    QRectF at(QWidget* control) const { return window.placement(control); }
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    frmPOP window;
};

TEST_F(ReaderWindowTest, LayoutFollowsTheWindowSize) {
    struct Case {
        double width, height;
        bool browserStatus;
    };
    const double edge = at(window.lstViewAs).right() + 500;
    const QString subject(400, QLatin1Char('W'));
    window.view().showDownloaded("Subject: " + subject.toStdString() + "\r\n\r\nBody\r\n");
    for (const Case& c : {Case{9000, 12000, true}, Case{3000, 6000, false},
                          Case{edge - 15, 8000, false}, Case{edge + 300, 8000, true}}) {
        SCOPED_TRACE(c.width);
        resizeTwips(c.width, c.height);
        const double w = // never narrower than the button row
            std::max(window.windowTwips().width(), at(window.cmdCompose).right() + 150);
        const QRectF list = at(window.lstHeaders), msg = at(window.txtMsg);
        EXPECT_DOUBLE_EQ(list.width(), w - 550);
        EXPECT_DOUBLE_EQ(msg.width(), w - 200);
        // At least 3000 below the message area's top, 700 of it under the text.
        EXPECT_DOUBLE_EQ(msg.height(), std::max(window.windowTwips().height(), msg.top() + 3000) -
                                           msg.top() - 700);
        EXPECT_EQ(!window.lblBrowser->isHidden(), c.browserStatus);
        const double viewTop = list.bottom() + 130;
        EXPECT_DOUBLE_EQ(at(window.btnText).top(), viewTop);
        EXPECT_DOUBLE_EQ(at(window.lblFrom).right(), msg.right());
        EXPECT_DOUBLE_EQ(msg.top(), viewTop + 900) << "no attachments: the text takes their line";
        // The subject is cut at its end to fit, never elided.
        const QString shown = window.lblSubject->text();
        const QFontMetrics metrics(window.font());
        EXPECT_TRUE(subject.startsWith(shown) && !shown.isEmpty());
        EXPECT_LE(metrics.horizontalAdvance(shown), window.lblSubject->width());
        EXPECT_GT(metrics.horizontalAdvance(shown + QLatin1Char('W')), window.lblSubject->width());
    }
    window.lblAttachments->setText(QStringLiteral("a.pdf; "));
    window.LayoutWindow();
    EXPECT_DOUBLE_EQ(at(window.txtMsg).top(), at(window.lblAttachments).top() + 300);
}

// Whether a label, as drawn, holds anything but its background below its first line.
bool InkBelowFirstLine(QLabel* label) {
    const QImage image = label->grab().toImage();
    const int top = label->fontMetrics().height();
    const QImage below = image.copy(0, top, image.width(), image.height() - top);
    QImage blank = below;
    blank.fill(image.pixel(image.width() - 1, image.height() - 1));
    return below != blank;
}

// Nothing is stored here: the window loads 3000 by 6000 twips and is enlarged to show its
// whole button row and its whole message box.
TEST_F(ReaderWindowTest, FirstStartShowsTheWholeButtonRowAndMessageBox) {
    EXPECT_GE(window.windowTwips().width(), at(window.cmdCompose).right() + 150);
    window.show();
    window.layout()->activate();
    const QRect shown = window.centralWidget()->rect();
    for (QWidget* control : std::initializer_list<QWidget*>{
             window.cmdConnect, window.cmdView, window.cmdDelete, window.cmdReset, window.cmdReply,
             window.cmdCompose, window.lblSubject, window.txtMsg}) {
        EXPECT_TRUE(shown.contains(control->geometry())) << control->objectName().toStdString();
    }
}

TEST_F(ReaderWindowTest, LongStatusWrapsOntoTheSecondLine) {
    window.show();
    window.lblStatus->setText(QStringLiteral("Ready"));
    EXPECT_FALSE(InkBelowFirstLine(window.lblStatus));
    window.lblStatus->setText(
        QStringLiteral("Error: Unexpectedly disconnected from the server mail.example.org"));
    EXPECT_TRUE(InkBelowFirstLine(window.lblStatus));
}

TEST_F(ReaderWindowTest, HeaderRowsAreCutAtTheListsEdgeWithoutEllipsis) {
    window.show();
    resizeTwips(7000, 9000);
    QListWidget* list = window.lstHeaders;
    const QFontMetrics metrics(list->font());
    // The first row gives every row its width; the second is longer: blanks past the edge,
    // then more text.
    const QString fits((list->viewport()->width() - 20) /
                           metrics.horizontalAdvance(QLatin1Char('x')),
                       QLatin1Char('x'));
    const QString row = fits + QString(60, QLatin1Char(' ')) + QStringLiteral("tail of the row");
    list->addItems({fits, row});
    const auto drawn = [list] {
        list->doItemsLayout(); // rows are laid out lazily
        return list->viewport()->grab().toImage();
    };
    const QImage wide = drawn();
    list->item(1)->setText(fits);
    EXPECT_EQ(drawn(), wide)
        << "the row is shown as far as the list reaches, with nothing put in its place";
}

TEST_F(ReaderWindowTest, ListHeightAndTextSize) {
    resizeTwips(9000, 9000);
    const double start = at(window.lstHeaders).height();
    window.cmdPlus->click();
    EXPECT_DOUBLE_EQ(at(window.lstHeaders).height(), start + window.commands().RowHeight());
    for (int i = 0; i < 20; ++i) {
        window.cmdMinus->click();
    }
    EXPECT_DOUBLE_EQ(at(window.lstHeaders).height(), 1400) << "the floor";
    const qreal text = window.txtMsg->font().pointSizeF();
    window.mnFontLarger->trigger();
    EXPECT_EQ(window.txtMsg->font().pointSizeF(), text + 1);
    EXPECT_GT(at(window.lstHeaders).height(), 1400) << "the list gains a row of the new size";
}

TEST_F(ReaderWindowTest, OpenShowsTheFileAsADownloadedMessage) {
    QFile earlier(QStringLiteral(CORVANE_TEST_DATA "/view/earlier_with_attachment.eml"));
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    window.view().showDownloaded(earlier.readAll().toStdString());
    ASSERT_EQ(window.lblAttachments->text(), "old.pdf; ");
    window.session().AddDebugBytes("old protocol data");
    QFile file(dir.filePath(QStringLiteral("saved.eml")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("From: Ann <ann@example.org>\nSubject: Saved\nCc: c@example.org\n"
               "Content-Type: text/plain\n\nHello from a file"); // no last line end
    file.close();
    dialogs.openFile(file.fileName());
    window.mnFileOpen->trigger();
    EXPECT_EQ(window.lblFrom->text(), "Ann <ann@example.org>");
    EXPECT_EQ(window.lblSubject->text(), "Saved");
    EXPECT_TRUE(window.lblAttachments->text().isEmpty());
    EXPECT_EQ(window.txtMsg->toPlainText(), "\nHello from a file\n");
    // Reply answers the opened message's sender, with its own candidates.
    EXPECT_EQ(window.view().fields().CcField, "c@example.org");
    EXPECT_TRUE(window.view().fields().ReplyToField.empty());
    ASSERT_NE(window.session().debugWindow(), nullptr);
    EXPECT_EQ(window.session().debugWindow()->bytes(),
              "From: Ann <ann@example.org>\r\nSubject: Saved\r\nCc: c@example.org\r\n"
              "Content-Type: text/plain\r\n\r\nHello from a file\r\n");

    dialogs.openFile(std::nullopt); // cancelled: nothing changes
    window.mnFileOpen->trigger();
    EXPECT_EQ(window.lblSubject->text(), "Saved");
}

TEST_F(ReaderWindowTest, SaveAsWritesTheShownText) {
    // Windows-1252 where it holds the text, else UTF-8 so that nothing is lost.
    for (const auto& [text, bytes] :
         {std::pair{QStringLiteral("Hi\nw\u00f6rld"), QByteArray("Hi\r\nw\xf6rld\r\n")},
          std::pair{QStringLiteral("\u041f"), QByteArray("\xd0\x9f\r\n")}}) {
        window.txtMsg->setPlainText(text);
        dialogs.saveFile(dir.filePath(QStringLiteral("saved.txt")));
        window.mnFileSaveAs->trigger();
        QFile file(dir.filePath(QStringLiteral("saved.txt")));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), bytes);
    }
}

TEST_F(ReaderWindowTest, PrintAsksAndPrintsTheHeaderAndTheText) {
    const QString pdf = dir.filePath(QStringLiteral("page.pdf"));
    window.commands().printerFactory = [pdf] {
        auto printer = std::make_unique<QPrinter>();
        printer->setOutputFileName(pdf); // a PDF file instead of a printer
        return printer;
    };
    window.view().showDownloaded("+OK\r\nDate: Mon, 7 Dec 2026 10:00\r\nFrom: Ann <ann@x.org>\r\n"
                                 "Subject: Figures\r\nContent-Type: text/html\r\n\r\n"
                                 "<p>Rendered <b>bold</b> words</p>\r\n.\r\n");
    const QString selection =
        "Print only selected text?\n(No to print all, Cancel to print nothing)";
    const QString html = "Print as HTML?\n(No to print as text, Cancel to abort)";
    struct Case {
        bool html, selected;
        MsgAnswer answer;          // Ok: no question
        QString question, printed; // printed: "" when nothing is
    };
    for (const Case& c : {Case{false, false, MsgAnswer::Ok, "", "First line\nSecond line"},
                          Case{false, true, MsgAnswer::Yes, selection, "Second line"},
                          Case{false, true, MsgAnswer::No, selection, "First line\nSecond line"},
                          Case{false, true, MsgAnswer::Cancel, selection, ""},
                          Case{true, false, MsgAnswer::No, html, "Rendered bold words"}}) {
        SCOPED_TRACE(c.printed.toStdString());
        QFile::remove(pdf);
        dialogs.clear();
        (c.html ? window.btnHTML : window.btnText)->setChecked(true);
        window.txtMsg->setPlainText(QStringLiteral("First line\nSecond line"));
        QTextCursor cursor(window.txtMsg->document()->findBlockByNumber(1));
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        window.txtMsg->setTextCursor(c.selected ? cursor : QTextCursor(window.txtMsg->document()));
        if (c.answer != MsgAnswer::Ok) {
            dialogs.answer(c.answer);
        }
        dialogs.printer(true);
        window.mnPrint->trigger();
        EXPECT_EQ(dialogs.messageTexts(),
                  c.question.isEmpty() ? QStringList() : QStringList{c.question});
        QProcess pdftotext;
        pdftotext.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        pdftotext.waitForFinished(30000);
        const QString page = QString::fromUtf8(pdftotext.readAllStandardOutput()).trimmed();
        // The header and the text, then the page number.
        const QString expected =
            "Date: Mon, 7 Dec 2026\nFrom: Ann <ann@x.org>\nSubject: Figures\n" + c.printed + "\n\n";
        EXPECT_EQ(page.startsWith(expected), !c.printed.isEmpty()) << page.toStdString();
        EXPECT_EQ(page.isEmpty(), c.printed.isEmpty());
    }
}

// The compose window closes with the reader: a typed draft is asked about first, and "No"
// keeps the reader, the compose window and the draft; a draft only filled in is not asked about.
TEST_F(ReaderWindowTest, ClosingAsksBeforeADraftIsThrownAway) {
    struct Case {
        bool typed;
        MsgAnswer answer; // Ok: no question
        bool closed;
    };
    for (const Case& c : {Case{false, MsgAnswer::Ok, true}, Case{true, MsgAnswer::No, false},
                          Case{true, MsgAnswer::Yes, true}}) {
        SCOPED_TRACE(int(c.answer));
        dialogs.clear();
        frmPOP reader;
        reader.show();
        reader.replies().ComposeTo(QStringLiteral("a@x.org"), QStringLiteral("Hi"), {});
        const QPointer<frmSMTP> compose = reader.replies().composeWindow();
        ASSERT_FALSE(compose.isNull());
        if (c.typed) {
            QTest::keyClicks(compose->txtMsg, QStringLiteral("typed"));
        }
        if (c.answer != MsgAnswer::Ok) {
            dialogs.answer(c.answer);
        }
        EXPECT_EQ(reader.close(), c.closed);
        EXPECT_EQ(dialogs.messageTexts(),
                  c.answer == MsgAnswer::Ok
                      ? QStringList()
                      : QStringList{QStringLiteral("Discard the message you are writing?")});
        EXPECT_EQ(reader.isVisible(), !c.closed);
        ASSERT_EQ(compose.isNull() || !compose->isVisible(), c.closed);
        if (!c.closed) {
            EXPECT_EQ(compose->txtMsg->toPlainText(), QStringLiteral("typed"));
        }
    }
}

} // namespace
