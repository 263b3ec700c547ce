#include "session/HeaderList.h"

#include "decoding/Charset.h"
#include "session/HeaderRow.h"

namespace session {

std::string HeaderList::shown(int row) const {
    if (!has(row)) {
        return {};
    }
    const Row& r = at(row);
    return RowWithMark(r.text, std::string_view(&r.mark, 1), decoding::TextUnits::Utf8);
}

bool HeaderList::isSexuallyExplicit(int row) const {
    return has(row) && IsSexuallyExplicitRow(at(row).text);
}

} // namespace session
