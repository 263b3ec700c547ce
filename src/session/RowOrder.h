#pragma once

#include "session/HeaderList.h"

#include <string_view>
#include <vector>

namespace session {

// The orders the header list can be shown in. Rows keep their positions in the list (and so
// their message numbers, marks and downloads); only the order they are shown in changes.
enum class RowOrder { Server, Date, Sender, Size, Subject };

// The sender and subject columns of a header row (UTF-8), blanks around the sender cut off.
std::string_view RowSender(std::string_view row);
std::string_view RowSubject(std::string_view row);

// The positions of rows in the order asked for: the date oldest first, sender and subject
// ignoring ASCII letter case, the size smallest first; rows that compare equal, and rows
// without a readable date or size, keep the server's order (those without go first).
std::vector<int> OrderRows(const HeaderList& rows, RowOrder order);

} // namespace session
