#include "html/HtmlToText.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace modHTML2txt {
namespace {

constexpr std::string_view kCrLf = "\r\n";

// A row whose cells hold this many characters (or a P or BR, or a nested table) puts each cell
// on its own line.
constexpr std::uint8_t kLongRow = 65;

// Lines are broken at the first white space from this column on.
constexpr std::int64_t kWrapColumn = 75;

constexpr unsigned Code(char c) {
    return static_cast<unsigned char>(c);
}

constexpr char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

// upper is an upper-case literal.
bool EqualsNoCase(std::string_view s, std::string_view upper) {
    if (s.size() != upper.size()) {
        return false;
    }
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (Upper(s[i]) != upper[i]) {
            return false;
        }
    }
    return true;
}

bool StartsNoCase(std::string_view s, std::string_view upper) {
    return s.size() >= upper.size() && EqualsNoCase(s.substr(0, upper.size()), upper);
}

// "TD" or "TD align=left": attributes are recognised only after a space, not a tab or line end.
bool IsTag(std::string_view tag, std::string_view upperName) {
    return StartsNoCase(tag, upperName) &&
           (tag.size() == upperName.size() || tag[upperName.size()] == ' ');
}

std::string_view TrimSpaces(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// How a TR tag lays out its row is decided by looking ahead: from the tag's end, cells (TD, TH)
// are scanned to their /TD and their characters counted, until the row's /TR or /TABLE. Rows
// without a /TR (common in older HTML) would make every row scan to the table's end, so the
// count is computed for all positions at once, from the end backwards: for position i,
// between[i] is what a scan starting there between cells counts, capped at kLongRow (a nested
// TABLE, or a P or BR in a cell, counts as a long row). A scan that runs into the end of the
// input stops there with the count so far; the text after such a row is still converted.
std::vector<std::uint8_t> RowLengths(std::string_view s) {
    const std::size_t n = s.size();
    const std::size_t last = n - 1;
    std::vector<std::uint8_t> between(n, 0);
    std::uint8_t betweenNext = 0; // counts from i + 1, between cells and inside a cell
    std::uint8_t cellNext = 0;
    bool haveClose = false; // close: the first ">" after i, where a tag starting at i ends
    std::size_t close = 0;
    std::uint8_t betweenAfterClose = 0; // counts from close + 1
    std::uint8_t cellAfterClose = 0;
    std::size_t nonSpace = 0; // non-space characters of s[i + 1, close), the first three kept
    char first[3] = {};
    for (std::size_t i = n; i-- > 0;) {
        std::uint8_t b = 0;
        std::uint8_t c = 0;
        if (i >= last) {
            // The scan stops at the last character.
        } else if (s[i] != '<') {
            b = betweenNext;
            c = static_cast<std::uint8_t>(std::min<int>(kLongRow, cellNext + 1));
        } else if (haveClose && close < last) {
            const std::string_view tag = s.substr(i + 1, close - i - 1);
            if (EqualsNoCase(tag, "/TR") || EqualsNoCase(tag, "/TABLE")) {
                b = 0;
            } else if (IsTag(tag, "TABLE")) {
                b = kLongRow;
            } else if (IsTag(tag, "TD") || IsTag(tag, "TH")) {
                b = cellAfterClose;
            } else {
                b = betweenAfterClose;
            }
            if (nonSpace == 3 && first[0] == '/' && Upper(first[1]) == 'T' &&
                Upper(first[2]) == 'D') {
                c = betweenAfterClose;
            } else if (IsTag(tag, "P") || IsTag(tag, "BR")) {
                c = kLongRow;
            } else {
                c = cellAfterClose;
            }
        }
        between[i] = b;
        if (s[i] == '>') {
            haveClose = true;
            close = i;
            betweenAfterClose = betweenNext;
            cellAfterClose = cellNext;
            nonSpace = 0;
        } else if (s[i] != ' ') {
            first[2] = first[1];
            first[1] = first[0];
            first[0] = s[i];
            ++nonSpace;
        }
        betweenNext = b;
        cellNext = c;
    }
    return between;
}

// One conversion. Every handler moves the position p forward (or leaves it) and returns false
// when the text ends early; the main loop then returns what was written so far.
class Converter {
public:
    explicit Converter(std::string_view html) : s_(html), n_(html.size()), last_(n_ - 1) {}

    std::string Run() {
        for (std::size_t p = 0; p < n_; ++p) {
            const bool go = s_[p] == '<' && !inComment_ ? Tag(p) : RunningText(p);
            if (!go) {
                break;
            }
        }
        return std::move(out_);
    }

private:
    bool Tag(std::size_t& p);
    void OpeningTag(std::string_view tag, std::size_t& p);
    void ClosingTag(std::string_view tag);
    void TitleCopy(std::size_t& p);
    bool RunningText(std::size_t& p);
    void Entity(std::size_t& p);
    bool CommentEnd(std::size_t& p);
    std::size_t FindCommentEnd(std::size_t from);

    void Write(std::string_view text) {
        out_ += text;
        column_ += static_cast<std::int64_t>(text.size());
        spaceSuppressed_ = false;
        lineBroken_ = false;
        blankLineDone_ = false;
    }
    void NewLine() {
        out_ += kCrLf;
        column_ = 0;
    }
    void BlankLine() {
        out_ += kCrLf;
        NewLine();
    }
    // One space for a run of white space; inside a script or comment nothing is written but
    // the column still counts it, so the wrap may still write its line break.
    void Space() {
        if (spaceSuppressed_) {
            return;
        }
        if (!inComment_ && !inScript_) {
            out_ += ' ';
        }
        spaceSuppressed_ = true;
        if (++column_ >= kWrapColumn) {
            NewLine();
        }
    }

    std::string_view s_;
    std::size_t n_;
    std::size_t last_; // index of the last character
    std::string out_;

    std::int64_t column_ = 0;
    std::int64_t itemNumber_ = 0;
    bool spaceSuppressed_ = false;
    bool bodySeen_ = false;
    bool textSeen_ = false;
    bool inScript_ = false;
    bool inComment_ = false;
    bool lineBroken_ = false;
    bool blankLineDone_ = false;
    bool shortRow_ = false;
    bool cellWritten_ = false;
    bool orderedList_ = false;

    std::vector<std::uint8_t> rowLengths_; // computed at the first TR

    // The last comment end found (see FindCommentEnd).
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t commentEnd_ = kNone;
    std::size_t commentEndDash_ = 0; // the first "-" of its "-->"
    bool noMoreCommentEnds_ = false;
};

// p is on the "<". Reads to the ">" (or just past a "<!--"), then looks at the white space after
// the tag: a run of white space that ends at a tag, or at text after a line end, writes no space.
bool Converter::Tag(std::size_t& p) {
    const std::size_t start = ++p;
    for (;;) {
        if (p >= last_) {
            return false;
        }
        if (s_[p] == '>') {
            if (Code(s_[p + 1]) < 32) {
                spaceSuppressed_ = true;
            }
            break;
        }
        if (++p >= last_) {
            return false;
        }
        if (p - start == 3 && s_.substr(start, 3) == "!--") {
            break; // p is on the character after "<!--", which is skipped
        }
    }
    const std::string_view tag = TrimSpaces(s_.substr(start, p - start));

    std::size_t q = p + 1;
    if (q >= last_) {
        return false;
    }
    if (Code(s_[q]) <= 32) {
        bool lastNotSpace = false;
        for (;;) {
            const unsigned c = Code(s_[q]);
            if (c == '<') {
                spaceSuppressed_ = true;
                break;
            }
            if (c > 32) {
                spaceSuppressed_ = lastNotSpace;
                break;
            }
            lastNotSpace = c != ' ';
            if (++q == last_) {
                return false;
            }
        }
    }

    if (!tag.empty() && tag[0] == '/') {
        ClosingTag(tag);
    } else {
        OpeningTag(tag, p);
    }
    return true;
}

void Converter::OpeningTag(std::string_view tag, std::size_t& p) {
    if (StartsNoCase(tag, "TITLE")) {
        TitleCopy(p);
    } else if (StartsNoCase(tag, "BODY")) {
        if (!inScript_) {
            bodySeen_ = true;
        }
    } else if (IsTag(tag, "P")) {
        if (!inScript_ && textSeen_ && !blankLineDone_ && !inComment_) {
            BlankLine();
            blankLineDone_ = true;
        }
    } else if (IsTag(tag, "TR")) {
        if (!inScript_) {
            if (rowLengths_.empty()) {
                rowLengths_ = RowLengths(s_);
            }
            shortRow_ = rowLengths_[p + 1] < kLongRow;
            NewLine();
            lineBroken_ = true;
            cellWritten_ = false;
        }
    } else if (IsTag(tag, "TD") || IsTag(tag, "TH")) {
        if (shortRow_) {
            if (cellWritten_) {
                out_ += "   ";
            }
            cellWritten_ = true;
        } else {
            out_ += kCrLf; // the column is not reset here
            lineBroken_ = true;
        }
    } else if (EqualsNoCase(tag, "BR") || StartsNoCase(tag, "TABLE")) {
        if (textSeen_ && !lineBroken_) {
            NewLine();
            lineBroken_ = true;
        }
    } else if (IsTag(tag, "OPTION")) {
        out_ += "\r\n\t";
        column_ = 0;
    } else if (EqualsNoCase(tag, "H1") || EqualsNoCase(tag, "H2") || EqualsNoCase(tag, "H3") ||
               EqualsNoCase(tag, "H4")) {
        NewLine();
    } else if (IsTag(tag, "SCRIPT")) {
        inScript_ = true;
    } else if (StartsNoCase(tag, "!--")) {
        if (bodySeen_) {
            inComment_ = true;
        }
    } else if (IsTag(tag, "OL")) {
        orderedList_ = true;
        BlankLine();
    } else if (IsTag(tag, "UL")) {
        BlankLine();
    } else if (IsTag(tag, "LI")) {
        NewLine();
        if (orderedList_) {
            out_ += std::to_string(++itemNumber_);
            out_ += ". ";
        } else {
            out_ += "* ";
        }
        column_ += 2;
    }
}

void Converter::ClosingTag(std::string_view tag) {
    // Only the first characters of the tag without its spaces matter.
    char head[7];
    std::size_t k = 0;
    for (std::size_t i = 0; i < tag.size() && k < sizeof head; ++i) {
        if (tag[i] != ' ') {
            head[k++] = Upper(tag[i]);
        }
    }
    const std::string_view name(head, k);
    if (name.starts_with("/SCRIPT")) {
        inScript_ = false;
    }
    if (!textSeen_) {
        return;
    }
    const std::string_view three = name.substr(0, 3);
    if (three == "/OL") {
        orderedList_ = false;
        if (!blankLineDone_) {
            BlankLine();
            blankLineDone_ = true;
        }
        itemNumber_ = 0;
    } else if (three == "/UL") {
        if (!blankLineDone_) {
            BlankLine();
            blankLineDone_ = true;
        }
    }
}

// The title is copied as it stands, up to the next tag, whether or not the body has begun, so
// that it opens the text. p is on the TITLE tag's ">" and is left before the next "<".
void Converter::TitleCopy(std::size_t& p) {
    ++p;
    std::size_t end = s_.find('<', p);
    end = std::min(end, last_);
    out_.append(s_.substr(p, end - p));
    p = end;
    if (!inComment_ && !inScript_) {
        out_ += "\r\n\r\n";
    }
    column_ = 0;
    blankLineDone_ = true;
    --p;
}

bool Converter::RunningText(std::size_t& p) {
    if (!bodySeen_) {
        return true;
    }
    const char c = s_[p];
    switch (c) {
    case '<': // only met inside a comment
        return true;
    case ' ':
        Space();
        return true;
    case '-':
        if (!textSeen_) {
            return true;
        }
        if (inComment_) {
            return CommentEnd(p);
        }
        if (!inScript_) {
            Write("-");
        }
        return true;
    case '&':
        Entity(p);
        return true;
    default:
        break;
    }
    textSeen_ = true;
    const unsigned code = Code(c);
    if (code < 31) {
        Space();
    } else if (code > 31 && !inComment_ && !inScript_) {
        Write(std::string_view(&c, 1));
    }
    return true;
}

// An entity name is what stands between "&" and a ";" among the next seven characters, unless
// another "&" comes first; without one the "&" is text.
void Converter::Entity(std::size_t& p) {
    const std::size_t end = std::min(p + 7, last_);
    for (std::size_t k = p + 1; k <= end; ++k) {
        if (s_[k] == '&') {
            break;
        }
        if (s_[k] == ';') {
            if (!inComment_ && !inScript_) {
                Write(DecodeEntity(s_.substr(p + 1, k - p - 1)));
            }
            p = k;
            return;
        }
    }
    if (!inComment_ && !inScript_) {
        Write("&");
    }
}

// p is on a "-" inside a comment. The comment ends at the first ">" whose two non-space
// characters before it, from p on, are "--". When that ">" is the last character, p stays and
// the rest is read again as text.
bool Converter::CommentEnd(std::size_t& p) {
    const std::size_t end = FindCommentEnd(p);
    if (end == kNone) {
        return false;
    }
    inComment_ = false;
    if (end != last_) {
        p = end;
    }
    return true;
}

// Searches start at increasing positions. A later search finds the same end as the previous one
// when it starts no further than that end's "--", and otherwise goes on scanning after it, so no
// character is scanned twice even when comments are read again.
std::size_t Converter::FindCommentEnd(std::size_t from) {
    if (noMoreCommentEnds_) {
        return kNone;
    }
    std::size_t q = from;
    std::size_t prev1 = kNone; // the last two non-space characters before q, at or after from
    std::size_t prev2 = kNone;
    if (commentEnd_ != kNone && from <= commentEnd_) {
        if (commentEndDash_ >= from) {
            return commentEnd_;
        }
        q = commentEnd_ + 1;
        prev1 = commentEnd_;
    }
    for (; q < n_; ++q) {
        const char c = s_[q];
        if (c == ' ') {
            continue;
        }
        if (c == '>' && prev2 != kNone && s_[prev2] == '-' && s_[prev1] == '-') {
            commentEnd_ = q;
            commentEndDash_ = prev2;
            return q;
        }
        prev2 = prev1;
        prev1 = q;
    }
    noMoreCommentEnds_ = true;
    return kNone;
}

} // namespace

std::string HTML2txt(std::string_view html) {
    if (html.empty()) {
        return {};
    }
    return Converter(html).Run();
}

std::string RemoveSpaces(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c != ' ') {
            result += c;
        }
    }
    return result;
}

} // namespace modHTML2txt
