#include "platform/ClickableLabel.h"
#include "reader/ui/frmPOP.h"
#include "support/ScriptedDialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace {

class LayoutTest : public ::testing::Test {
protected:
    LayoutTest() { dialogs.allowUnscriptedOk(); }

    // Sizes the window in twips and lays it out.
    void resizeTwips(double width, double height) {
        window.Loading = false;
        const Twips t = window.twips();
        window.resize(t.toPixels(width), t.toPixels(height));
        window.LayoutWindow();
    }

    ScriptedDialogs dialogs;
    frmPOP window;
};

TEST_F(LayoutTest, ListAndMessageAreaFollowTheWidth) {
    resizeTwips(9000, 9000);
    EXPECT_DOUBLE_EQ(window.placement(window.lstHeaders).width(), 9000 - 550);
    EXPECT_DOUBLE_EQ(window.placement(window.txtMsg).width(), 9000 - 200);
    const QRectF list = window.placement(window.lstHeaders);
    EXPECT_DOUBLE_EQ(window.placement(window.cmdMinus).left(), list.right() + 50);
    EXPECT_DOUBLE_EQ(window.placement(window.cmdPlus).left(), list.right() + 50);
}

TEST_F(LayoutTest, NarrowWindowStopsAtTheButtonRow) {
    // 3000 twips wide: the arithmetic uses the button row's right edge + 150.
    resizeTwips(3000, 6000);
    const QRectF compose = window.placement(window.cmdCompose);
    const double w = compose.right() + 150;
    EXPECT_DOUBLE_EQ(window.placement(window.lstHeaders).width(), w - 550);
    EXPECT_DOUBLE_EQ(window.placement(window.txtMsg).width(), w - 200);
}

TEST_F(LayoutTest, ViewRowAndLabelRowsStackBelowTheList) {
    resizeTwips(9000, 9000);
    const double viewTop = window.placement(window.lstHeaders).bottom() + 130;
    for (QWidget* c : {static_cast<QWidget*>(window.btnHTML), static_cast<QWidget*>(window.btnText),
                       static_cast<QWidget*>(window.btnAll), static_cast<QWidget*>(window.Label2),
                       static_cast<QWidget*>(window.Label6)}) {
        EXPECT_DOUBLE_EQ(window.placement(c).top(), viewTop) << c->objectName().toStdString();
    }
    EXPECT_DOUBLE_EQ(window.placement(window.lstViewAs).top(), viewTop - 40);
    EXPECT_DOUBLE_EQ(window.placement(window.lblFrom).top(), viewTop + 300);
    EXPECT_DOUBLE_EQ(window.placement(window.Label3).top(), viewTop + 300);
    EXPECT_DOUBLE_EQ(window.placement(window.lblSubject).top(), viewTop + 600);
    const QRectF msg = window.placement(window.txtMsg);
    EXPECT_DOUBLE_EQ(window.placement(window.lblFrom).right(), msg.right());
    // No attachments: the message area takes the attachments line's place.
    EXPECT_DOUBLE_EQ(msg.top(), viewTop + 900);
}

TEST_F(LayoutTest, AttachmentsLineMovesTheMessageAreaAndBack) {
    resizeTwips(9000, 9000);
    const double without = window.placement(window.txtMsg).top();
    window.lblAttachments->setText(QStringLiteral("a.pdf; "));
    window.LayoutWindow();
    EXPECT_DOUBLE_EQ(window.placement(window.txtMsg).top(), without + 300);
    window.lblAttachments->clear();
    window.LayoutWindow();
    EXPECT_DOUBLE_EQ(window.placement(window.txtMsg).top(), without);
}

TEST_F(LayoutTest, ShortWindowKeepsThreeThousandTwipsForTheMessage) {
    resizeTwips(9000, 6000);
    const QRectF msg = window.placement(window.txtMsg);
    ASSERT_GT(msg.top() + 3000, 6000) << "the designed list should push the area low";
    EXPECT_DOUBLE_EQ(msg.height(), 2300);
}

TEST_F(LayoutTest, TallWindowGivesTheRestToTheMessage) {
    resizeTwips(9000, 12000);
    const QRectF msg = window.placement(window.txtMsg);
    EXPECT_DOUBLE_EQ(msg.height(), 12000 - msg.top() - 700);
}

TEST_F(LayoutTest, BrowserStatusLabelNeedsRoom) {
    struct Case {
        double width;
        bool shown;
    };
    const QRectF parts = window.placement(window.lstViewAs);
    const double edge = parts.right() + 500;
    for (const Case c :
         {Case{edge - 15, false}, Case{edge + 300, true}, Case{6500, false}, Case{9000, true}}) {
        resizeTwips(c.width, 8000);
        EXPECT_EQ(!window.lblBrowser->isHidden(), c.shown) << "width " << c.width;
        if (c.shown) {
            EXPECT_DOUBLE_EQ(window.placement(window.lblBrowser).width(),
                             window.windowTwips().width() -
                                 window.placement(window.lblBrowser).left());
        }
    }
}

TEST_F(LayoutTest, LongSubjectIsCutAtItsEndWithoutEllipsis) {
    const std::string subject(400, 'W');
    window.Fields.FromSubject = subject;
    resizeTwips(7000, 8000);
    const QString shown = window.lblSubject->text();
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_LT(shown.size(), 400);
    EXPECT_TRUE(QString::fromStdString(subject).startsWith(shown));
    const QFontMetrics metrics(window.font());
    EXPECT_LE(metrics.horizontalAdvance(shown), window.lblSubject->width());
    EXPECT_GT(metrics.horizontalAdvance(shown + QLatin1Char('W')), window.lblSubject->width());

    // Widening shows more of it again.
    resizeTwips(12000, 8000);
    EXPECT_GT(window.lblSubject->text().size(), shown.size());

    window.Fields.FromSubject.clear();
    window.LayoutWindow();
    EXPECT_TRUE(window.lblSubject->text().isEmpty());
}

TEST_F(LayoutTest, NothingMovesWhileLoading) {
    resizeTwips(9000, 9000);
    const QRectF before = window.placement(window.lstHeaders);
    window.Loading = true;
    const Twips t = window.twips();
    window.resize(t.toPixels(12000), t.toPixels(9000));
    window.LayoutWindow();
    EXPECT_EQ(window.placement(window.lstHeaders), before);
}

TEST(ReaderWindow, DesignedCaptionsAndMenus) {
    ScriptedDialogs dialogs;
    dialogs.allowUnscriptedOk();
    frmPOP window;
    EXPECT_EQ(window.cmdConnect->text(), "Get Mail");
    EXPECT_EQ(window.cmdConnect->toolTip(), "Connect to server and get message headers");
    EXPECT_EQ(window.cmdDelete->toolTip(), "Right-Click to delete message and view next");
    EXPECT_EQ(window.lstHeaders->toolTip(), "Double-Click on message to download");
    EXPECT_EQ(window.Label2->text(), "View as:");
    EXPECT_EQ(window.Label6->text(), "MIME Part:");
    EXPECT_EQ(window.Label5->text(), "Attachments:");

    QStringList options;
    for (QAction* a : window.mnOptions->actions()) {
        options << (a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    EXPECT_EQ(options.join(QLatin1Char('|')),
              "Confirm Delete|Keep Alive|Filter spam|-|Show HTML Msg in Browser|No Picture in "
              "HTML|Clear Suspicious IMG tags|Enable Debug Buffer|-|Fixed Width Font|Increase "
              "Text Size [Ctrl +]|Decrease Text Size [Ctrl -]");
    QStringList debug;
    for (QAction* a : window.mnDebug->actions()) {
        debug << a->text();
    }
    EXPECT_EQ(debug.join(QLatin1Char('|')), "Show Buffer|Show Quoted-Printable|Show Removed Tags");
}

} // namespace
