#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace session {

// The header list: one row per listed message, in listing order. Each row keeps the message
// number it was listed for (RETR and DELE use it, whatever rows are missing before it) and
// its mark, which the shown text carries in its mark column, and the message's unique id
// when the server gave one. Row texts are UTF-8.
class HeaderList {
public:
    struct Row {
        int number = 0;
        std::string text; // as built, mark column blank
        char mark = ' ';  // ' ' listed, 'R' retrieved, 'D' deleted
        std::string uid;
        std::string sender; // the sender's address (SenderAddress), whole
    };

    void clear() { rows.clear(); }
    void add(int number, std::string text, std::string uid = {}, std::string sender = {}) {
        rows.push_back(Row{number, std::move(text), ' ', std::move(uid), std::move(sender)});
    }
    int size() const { return static_cast<int>(rows.size()); }
    bool has(int row) const { return row >= 0 && row < size(); }

    // The message number of the row; 0 when there is no such row.
    int number(int row) const { return has(row) ? at(row).number : 0; }
    const std::string& uid(int row) const { return has(row) ? at(row).uid : none; }
    char mark(int row) const { return has(row) ? at(row).mark : ' '; }
    const std::string& sender(int row) const { return has(row) ? at(row).sender : none; }
    void setMark(int row, char mark) {
        if (has(row)) {
            rows[static_cast<std::size_t>(row)].mark = mark;
        }
    }
    // The text the list shows: the row with its mark in the mark column.
    std::string shown(int row) const;

    // The row contains "SEXUALLY EXPLICIT" in any case; it is never downloaded.
    bool isSexuallyExplicit(int row) const;

private:
    const Row& at(int row) const { return rows[static_cast<std::size_t>(row)]; }
    std::vector<Row> rows;
    std::string none; // the uid and sender of a row that is not there
};

} // namespace session
