#include "decoding/ui/MessageView.h"
#include "platform/BrowserView.h"
#include "reader/ui/ReaderCommands.h"
#include "reader/ui/frmPOP.h"
#include "support/ScriptedDialogs.h"

#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <gtest/gtest.h>

using platform::MsgAnswer;

namespace {

// Prints to a PDF file and reads the text back with pdftotext.
class PrintTest : public ::testing::Test {
protected:
    PrintTest() {
        pdf = dir.filePath(QStringLiteral("page.pdf"));
        window.commands().printerFactory = [this] {
            auto printer = std::make_unique<QPrinter>();
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            return printer;
        };
        window.Fields.FromDate = "Mon, 7 Dec 20";
        window.Fields.FromAddress = "Ann Example <ann@example.org>";
        window.Fields.FromSubject = "Quarterly figures";
        window.txtMsg->setPlainText(QStringLiteral("First line\nSecond line\nThird line"));
    }

    QString printed() const {
        if (!QFile::exists(pdf)) {
            return {};
        }
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }

    void selectSecondLine() {
        QTextCursor cursor(window.txtMsg->document()->findBlockByNumber(1));
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        window.txtMsg->setTextCursor(cursor);
    }

    QTemporaryDir dir;
    QString pdf;
    ScriptedDialogs dialogs;
    frmPOP window;
};

TEST_F(PrintTest, TextViewWithoutSelectionPrintsEverythingWithoutAsking) {
    dialogs.printer(true);
    window.commands().Print();
    EXPECT_TRUE(dialogs.messages().empty());
    const QString text = printed();
    EXPECT_TRUE(text.contains("Date: Mon, 7 Dec 20")) << text.toStdString();
    EXPECT_TRUE(text.contains("From: Ann Example <ann@example.org>"));
    EXPECT_TRUE(text.contains("Subject: Quarterly figures"));
    EXPECT_TRUE(text.contains("First line"));
    EXPECT_TRUE(text.contains("Third line"));
}

TEST_F(PrintTest, SelectionAnswers) {
    struct Case {
        MsgAnswer answer;
        bool printedAtAll;
        bool firstLine;
    };
    for (const Case c : {Case{MsgAnswer::Yes, true, false}, Case{MsgAnswer::No, true, true},
                         Case{MsgAnswer::Cancel, false, false}}) {
        QFile::remove(pdf);
        dialogs.clear();
        selectSecondLine();
        dialogs.answer(c.answer);
        if (c.printedAtAll) {
            dialogs.printer(true);
        }
        window.commands().Print();
        ASSERT_EQ(dialogs.messages().size(), 1u);
        EXPECT_EQ(dialogs.messages()[0].text,
                  "Print only selected text?\n(No to print all, Cancel to print nothing)");
        EXPECT_EQ(dialogs.printerDialogs(), c.printedAtAll ? 1 : 0);
        const QString text = printed();
        EXPECT_EQ(text.contains("Second line"), c.printedAtAll);
        EXPECT_EQ(text.contains("First line"), c.firstLine);
    }
}

TEST_F(PrintTest, CancelledPrinterDialogPrintsNothing) {
    dialogs.printer(false);
    window.commands().Print();
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(PrintTest, HtmlViewAnsweredNoPrintsTheConvertedHtml) {
    window.btnHTML->setChecked(true);
    window.Browser.BrowserHTML = "<html><body><p>Rendered <b>bold</b> words</p></body></html>";
    dialogs.answer(MsgAnswer::No).printer(true);
    window.commands().Print();
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, "Print as HTML?\n(No to print as text, Cancel to abort)");
    const QString text = printed();
    EXPECT_TRUE(text.contains("Subject: Quarterly figures")) << text.toStdString();
    EXPECT_TRUE(text.contains("Rendered bold words")) << text.toStdString();
    EXPECT_FALSE(text.contains("First line"));
}

TEST_F(PrintTest, HtmlViewCancelledPrintsNothing) {
    window.btnHTML->setChecked(true);
    dialogs.answer(MsgAnswer::Cancel);
    window.commands().Print();
    EXPECT_EQ(dialogs.printerDialogs(), 0);
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(PrintTest, HtmlViewAnsweredYesPrintsThroughTheBrowser) {
    platform::BrowserView& view = window.view().ensureBrowser();
    QSignalSpy loaded(&view, &platform::BrowserView::documentComplete);
    QSignalSpy printed(&view, &QWebEngineView::printFinished);
    window.Session.ReceiveBuffer = "+OK\r\nContent-Type: text/html\r\n\r\n"
                                   "<html><body><p>Browser page</p></body></html>\r\n.\r\n";
    window.view().DecodeMessage();
    ASSERT_TRUE(window.btnHTML->isChecked());
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded.count() > 0; }, 30000));

    dialogs.answer(MsgAnswer::Yes).printer(true);
    window.commands().Print();
    EXPECT_EQ(dialogs.printerDialogs(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return printed.count() > 0; }, 60000));
    EXPECT_TRUE(printed.at(0).at(0).toBool());
    EXPECT_GT(QFileInfo(pdf).size(), 0);
}

TEST(ReaderWindowTitle, ActivationShowsTheAccount) {
    ScriptedDialogs dialogs;
    dialogs.allowUnscriptedOk();
    frmPOP window;
    EXPECT_EQ(window.windowTitle(), "Corvane Reader");
    window.Account.Isp = "Home";
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(window.windowTitle(), "Corvane - Home");
}

} // namespace
