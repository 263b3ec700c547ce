#include "reader/ui/ReaderCommands.h"
#include "reader/ui/frmPOP.h"
#include "support/ScriptedDialogs.h"

#include <QAction>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using platform::MsgAnswer;

namespace {

class CommandsTest : public ::testing::Test {
protected:
    CommandsTest() {
        dialogs.allowUnscriptedOk();
        window.Loading = false;
        const Twips t = window.twips();
        window.resize(t.toPixels(9000), t.toPixels(9000));
    }

    double listHeight() const { return window.placement(window.lstHeaders).height(); }

    ScriptedDialogs dialogs;
    frmPOP window;
};

TEST_F(CommandsTest, PlusAndMinusChangeTheListByOneRow) {
    const double start = listHeight();
    const double row = window.commands().RowHeight();
    ASSERT_GT(row, 0);
    window.cmdPlus->click();
    EXPECT_DOUBLE_EQ(listHeight(), start + row);
    EXPECT_EQ(window.Listing.VisibleRows, static_cast<int>(std::lround((start + row) * 8 / 1740)));
    window.cmdMinus->click();
    EXPECT_DOUBLE_EQ(listHeight(), start);
}

TEST_F(CommandsTest, MinusStopsAtTheFloor) {
    for (int i = 0; i < 20; ++i) {
        window.cmdMinus->click();
    }
    EXPECT_DOUBLE_EQ(listHeight(), 1400);
    EXPECT_EQ(window.Listing.VisibleRows, 6); // 1400 * 8 / 1740 = 6.4
    // The view row follows the list.
    EXPECT_DOUBLE_EQ(window.placement(window.btnText).top(), 860 + 1400 + 130);
}

TEST_F(CommandsTest, TextSizeStepsMoveBothFontsAndTheList) {
    const qreal text = window.txtMsg->font().pointSizeF();
    const qreal list = window.lstHeaders->font().pointSizeF();
    const double height = listHeight();
    window.mnFontLarger->trigger();
    EXPECT_EQ(window.txtMsg->font().pointSizeF(), text + 1);
    EXPECT_EQ(window.lstHeaders->font().pointSizeF(), list + 1);
    EXPECT_GT(listHeight(), height) << "the list gains a row of the new size";
    window.mnFontSmaller->trigger();
    window.mnFontSmaller->trigger();
    EXPECT_EQ(window.txtMsg->font().pointSizeF(), text - 1);
    EXPECT_EQ(window.lstHeaders->font().pointSizeF(), list - 1);
}

TEST_F(CommandsTest, TextSizeHasBounds) {
    for (int i = 0; i < 100; ++i) {
        window.commands().SmallerText();
    }
    EXPECT_GE(window.txtMsg->font().pointSizeF(), 4);
    for (int i = 0; i < 200; ++i) {
        window.commands().LargerText();
    }
    EXPECT_LE(window.txtMsg->font().pointSizeF(), 72);
}

TEST_F(CommandsTest, FixedWidthTwiceRestoresTheDesignedFont) {
    window.mnFixedWidth->trigger();
    EXPECT_TRUE(window.mnFixedWidth->isChecked());
    EXPECT_EQ(window.txtMsg->font().family(), "Courier New");
    window.mnFixedWidth->trigger();
    EXPECT_FALSE(window.mnFixedWidth->isChecked());
    EXPECT_EQ(window.txtMsg->font().family(), "MS Sans Serif");
}

TEST_F(CommandsTest, SaveAsWritesTheShownTextWithCrLf) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("saved.txt"));
    window.txtMsg->setPlainText(QStringLiteral("Hello\nwörld"));
    dialogs.saveFile(path);
    window.mnFileSaveAs->trigger();
    ASSERT_EQ(dialogs.fileRequests().size(), 1u);
    EXPECT_EQ(dialogs.fileRequests()[0].filter,
              "All Files (*.*)|*.*|Text Files(*.txt)|*.txt|HTML Files (*.html)|*.html");
    EXPECT_EQ(dialogs.fileRequests()[0].filterIndex, 2);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("Hello\r\nw\xf6rld\r\n"));
}

TEST_F(CommandsTest, SaveAsKeepsCharactersOutsideWindows1252) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("saved.txt"));
    window.txtMsg->setPlainText(QStringLiteral("Привет"));
    dialogs.saveFile(path);
    window.commands().SaveAs();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), QStringLiteral("Привет\r\n"));
}

TEST_F(CommandsTest, SaveAsCancelledOrUnwritableDoesNothing) {
    dialogs.saveFile(std::nullopt);
    window.commands().SaveAs();
    dialogs.saveFile(QStringLiteral("/nonexistent-folder/x.txt"));
    window.commands().SaveAs();
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(CommandsTest, AboutNamesTheVersion) {
    dialogs.answer(MsgAnswer::Ok);
    window.mnAbout->trigger();
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].title, "Kestrelle");
    EXPECT_TRUE(dialogs.messages()[0].text.startsWith("Email POP client, V0.1.50\n"));
}

} // namespace
