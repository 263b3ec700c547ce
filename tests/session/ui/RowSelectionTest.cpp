// Several rows at once: the selection, the keyboard, the filter and the order of the rows.
#include "SessionTestSupport.h"

#include "session/ui/HeaderListWidget.h"

#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>

using namespace sessiontest;

namespace {

class RowSelectionTest : public SessionTest {
public:
    void SetUp() override {
        listThree();
        window.lstHeaders->setFocus();
    }

    // The rows as shown, by the message number each was listed for and its mark.
    QString shown() const {
        QString out;
        for (int i = 0; i < window.lstHeaders->count(); ++i) {
            const QListWidgetItem* item = window.lstHeaders->item(i);
            if (!item->isHidden()) {
                out += (rows()[i].endsWith(QStringLiteral("Hello"))   ? QStringLiteral("1")
                        : rows()[i].contains(QStringLiteral("offer")) ? QStringLiteral("2")
                                                                      : QStringLiteral("3")) +
                       item->text().at(38);
            }
        }
        return out;
    }
    void select(std::initializer_list<int> positions) {
        window.lstHeaders->clearSelection();
        for (int at : positions) {
            window.lstHeaders->item(at)->setSelected(true);
        }
    }
    void key(int key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(window.lstHeaders, static_cast<Qt::Key>(key), modifiers);
    }
    HeaderListWidget* list() const { return static_cast<HeaderListWidget*>(window.lstHeaders); }
};

} // namespace

// One question for the rows together, rows marked "D" passed over; without PIPELINING the
// DELEs go one at a time, each row marked as its "+OK" comes, a refusal told at the end.
TEST_F(RowSelectionTest, DeleteKeyAsksOnceAndPassesOverDeletedRows) {
    const struct {
        std::initializer_list<int> selected;
        bool confirm;
        QString question;
        PopScript conversation;
        QString after;
        QString box;
    } cases[] = {
        {{0},
         true,
         "Are you sure you want\r\nto delete this message ?",
         {"C: DELE 1", "S: +OK"},
         "1D2 3 ",
         {}},
        {{0, 1, 2},
         true,
         "Are you sure you want to delete these 2 messages?",
         {"C: DELE 2", "S: -ERR locked", "C: DELE 3", "S: +OK"},
         "1D2 3D",
         "Unable to delete 1 of 2 messages (# 2). Try again"},
        {{1, 2}, false, {}, {"C: DELE 2", "S: +OK"}, "1D2D3D", {}},
        {{0, 2}, false, {}, {}, "1D2D3D", "These messages are already marked for deletion"},
    };
    for (const auto& c : cases) {
        window.mnConfirmDelete->setChecked(c.confirm);
        if (c.confirm) {
            dialogs.answer(platform::MsgAnswer::Yes);
        }
        select(c.selected);
        key(Qt::Key_Delete);
        EXPECT_EQ(PlayConversation(*server, c.conversation), "");
        EXPECT_EQ(shown(), c.after);
        QStringList expected;
        if (c.confirm) {
            expected << c.question;
        }
        if (!c.box.isEmpty()) {
            expected << c.box;
        }
        EXPECT_EQ(boxes(), expected) << c.after.toStdString();
        dialogs.clear();
    }
    // Reset takes every mark back.
    window.cmdReset->click();
    EXPECT_EQ(server->takeLines(), std::vector<std::string>{"RSET"});
}

// Enter downloads the current row, Ctrl+A with Delete asks for all three, and Tab leaves the
// message text without writing a tab into it.
TEST_F(RowSelectionTest, TheKeyboardDownloadsSelectsAndLeavesTheText) {
    window.lstHeaders->setCurrentRow(1);
    key(Qt::Key_Return);
    ASSERT_EQ(PlayConversation(*server, {"C: RETR 2", "S: +OK", "S: ."}), "");
    key(Qt::Key_A, Qt::ControlModifier);
    window.mnConfirmDelete->setChecked(true);
    dialogs.answer(platform::MsgAnswer::No);
    key(Qt::Key_Delete);
    EXPECT_EQ(boxes(), QStringList{"Are you sure you want to delete these 3 messages?"});
    EXPECT_TRUE(server->takeLines().empty());
    window.txtMsg->setFocus();
    QTest::keyClick(window.txtMsg, Qt::Key_Tab);
    EXPECT_FALSE(window.txtMsg->toPlainText().contains(QLatin1Char('\t')));
}

// The filter hides rows whose sender and subject lack the text; commands see only the
// visible selection; the pop-up menu selects the rows alike; Escape brings all back.
TEST_F(RowSelectionTest, TheFilterLeavesCommandsTheVisibleRowsOnly) {
    session().ShowFilter();
    ASSERT_FALSE(list()->filterLine()->isHidden());
    QTest::keyClicks(list()->filterLine(), QStringLiteral("E"));
    EXPECT_EQ(shown(), QStringLiteral("1 2 3 ")); // "bob@example", "Carol Example", "dave@ex.."
    list()->filterLine()->setText(QStringLiteral("offer"));
    EXPECT_EQ(shown(), QStringLiteral("2 "));
    list()->filterLine()->setText(QStringLiteral("hELLo"));
    EXPECT_EQ(shown(), QStringLiteral("1 "));
    select({0, 1, 2});
    key(Qt::Key_Delete);
    ASSERT_EQ(PlayConversation(*server, {"C: DELE 1", "S: +OK"}), "");
    QTest::keyClick(list()->filterLine(), Qt::Key_Escape);
    EXPECT_TRUE(list()->filterLine()->isHidden());
    EXPECT_EQ(shown(), QStringLiteral("1D2 3 "));
    // "Select All From This Sender" replaces the selection with the rows alike.
    select({0, 1, 2});
    std::unique_ptr<QMenu> menu(session().RowMenu(2, nullptr));
    ASSERT_EQ(menu->actions().size(), 2);
    menu->actions()[0]->trigger();
    EXPECT_EQ(window.lstHeaders->selectedItems().size(), 1);
    EXPECT_TRUE(window.lstHeaders->item(2)->isSelected());
}

// Sorted, each row still downloads and deletes its own message, keeps its mark, and the
// server's order comes back with the marks.
TEST_F(RowSelectionTest, SortedRowsKeepTheirMessageNumbersAndMarks) {
    const struct {
        session::RowOrder order;
        QString shown;
    } orders[] = {
        {session::RowOrder::Sender, "3 1 2 "}, // "<dave..", "bob..", "Carol.." (any case)
        {session::RowOrder::Size, "1 2 3 "},
        {session::RowOrder::Subject, "3 1 2 "},
        {session::RowOrder::Date, "3 1 2 "}, // no date first
    };
    for (const auto& o : orders) {
        session().SortRows(o.order);
        EXPECT_EQ(shown(), o.shown);
    }
    session().SortRows(session::RowOrder::Sender);
    window.lstHeaders->setCurrentRow(2); // Carol's
    key(Qt::Key_Enter);
    ASSERT_EQ(PlayConversation(*server, {"C: RETR 2", "S: +OK", "S: ."}), "");
    select({0});
    key(Qt::Key_Delete);
    ASSERT_EQ(PlayConversation(*server, {"C: DELE 3", "S: +OK"}), "");
    EXPECT_EQ(shown(), QStringLiteral("3D1 2R"));
    EXPECT_EQ(window.lstHeaders->currentRow(), 1); // the next row shown, not the next number
    session().SortRows(session::RowOrder::Server);
    EXPECT_EQ(shown(), QStringLiteral("1 2R3D"));
}

// Two senders whose column is cut alike are not one sender: the menu selects by the whole
// address, whatever the display names.
TEST_F(SessionTest, SelectingBySenderTellsCutSendersApart) {
    getMail();
    PopScript conversation = {"C: LIST", "S: +OK", "S: 1 100", "S: 2 100", "S: 3 100", "S: ."};
    int n = 0;
    for (const char* from :
         {"Customer Service Team <help@bank.example>",
          "Customer Service Team <help@bank.example.evil>", "Bank <HELP@bank.example>"}) {
        for (const std::string& line :
             {"C: TOP " + std::to_string(++n) + " 10", std::string("S: +OK"),
              std::string("S: From: ") + from, std::string("S:"), std::string("S: .")}) {
            conversation.emplace_back(std::string_view(line));
        }
    }
    ASSERT_EQ(PlayConversation(*server, Join({kLogin, conversation})), "");
    ASSERT_EQ(status(), QStringLiteral("3 Messages listed"));
    EXPECT_EQ(rows()[0].mid(14, 22), rows()[1].mid(14, 22)); // cut alike
    std::unique_ptr<QMenu> menu(session().RowMenu(0, nullptr));
    menu->actions()[0]->trigger();
    QList<int> selected;
    for (int i = 0; i < window.lstHeaders->count(); ++i) {
        if (window.lstHeaders->item(i)->isSelected()) {
            selected << i;
        }
    }
    EXPECT_EQ(selected, (QList<int>{0, 2}));
}
