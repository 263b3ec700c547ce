#include "session/RowOrder.h"
#include "session/HeaderRow.h"

#include <gtest/gtest.h>

using session::RowOrder;

// Rows as the listing builds them: the date column as the Date header gave it (cut to 11
// characters), sizes in whole thousands or unknown, senders and subjects in any case.
TEST(RowOrder, EachKeyOrdersTheRowsAndTiesKeepTheServersOrder) {
    session::HeaderList rows;
    const char* const built[] = {
        "02 Jan 2025 | bob@example.test       | |1k Zebra",
        "3 Feb 2024  | Carol  <carol@exampl.. | |12k apple",
        "12 Dec 202  | alice@example.test     | |2k Mango", // a year cut short
        "#4          |                        | | ",        // no header from the server
        "3 feb 2024  | bob@example.test       | |1k zebra", // the same day as row 1
        "15 Mar 2024 | =?garbled?=            | |100k Banana",
    };
    for (int i = 0; i < 6; ++i) {
        rows.add(i + 1, built[i]);
    }
    const struct {
        RowOrder order;
        std::vector<int> expected;
    } cases[] = {
        {RowOrder::Server, {0, 1, 2, 3, 4, 5}},  {RowOrder::Date, {2, 3, 1, 4, 5, 0}},
        {RowOrder::Size, {3, 0, 4, 2, 1, 5}},    {RowOrder::Sender, {3, 5, 2, 0, 4, 1}},
        {RowOrder::Subject, {3, 1, 5, 2, 0, 4}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(session::OrderRows(rows, c.order), c.expected) << static_cast<int>(c.order);
    }
    EXPECT_EQ(session::RowSender(rows.shown(1)), "Carol  <carol@exampl..");
    EXPECT_EQ(session::RowSubject(rows.shown(5)), "Banana");
    EXPECT_EQ(session::RowSubject(rows.shown(3)), "");
}
