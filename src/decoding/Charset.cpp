#include "decoding/Charset.h"

#include "decoding/TextSearch.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace decoding {

namespace {

// Length of the well-formed UTF-8 sequence at text[pos] (Unicode table 3-7), 0 when the
// bytes there do not form one.
std::size_t SequenceLength(std::string_view text, std::size_t pos) {
    const auto byte = [&](std::size_t i) -> unsigned {
        return static_cast<unsigned char>(text[pos + i]);
    };
    const std::size_t avail = text.size() - pos;
    const unsigned c0 = byte(0);
    if (c0 < 0x80) {
        return 1;
    }
    std::size_t len = 0;
    unsigned lo = 0x80;
    unsigned hi = 0xBF;
    if (c0 >= 0xC2 && c0 <= 0xDF) {
        len = 2;
    } else if (c0 >= 0xE0 && c0 <= 0xEF) {
        len = 3;
        lo = c0 == 0xE0 ? 0xA0 : 0x80; // no overlong forms
        hi = c0 == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (c0 >= 0xF0 && c0 <= 0xF4) {
        len = 4;
        lo = c0 == 0xF0 ? 0x90 : 0x80;
        hi = c0 == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (avail < len || byte(1) < lo || byte(1) > hi) {
        return 0;
    }
    for (std::size_t i = 2; i < len; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return len;
}

// Windows-1252 0x80..0x9F; the five undefined codes keep their own value.
constexpr std::array<std::uint16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendCp1252Char(std::string& out, unsigned char c) {
    unsigned cp = c;
    if (c >= 0x80 && c <= 0x9F) {
        cp = kCp1252High[c - 0x80];
    }
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (LowerAscii(text[i]) != LowerAscii(prefix[i])) {
            return false;
        }
    }
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// --- Content-Type parameters

// Reads the Content-Type value (already unfolded) and returns the charset parameter.
std::string CharsetParameter(std::string_view value) {
    const std::size_t n = value.size();
    std::size_t i = 0;

    const auto skipComment = [&] {
        // Comments nest (RFC 5322 section 3.2.2); an unclosed one runs to the end.
        int depth = 0;
        while (i < n) {
            const char c = value[i++];
            if (c == '\\' && i < n) {
                ++i;
            } else if (c == '(') {
                ++depth;
            } else if (c == ')' && --depth == 0) {
                return;
            }
        }
    };
    const auto skipToSemicolon = [&] {
        while (i < n && value[i] != ';') {
            if (value[i] == '"') {
                ++i;
                while (i < n && value[i] != '"') {
                    i += value[i] == '\\' ? 2 : 1;
                }
                ++i;
            } else if (value[i] == '(') {
                skipComment();
            } else {
                ++i;
            }
        }
    };
    const auto skipWhiteAndComments = [&] {
        while (i < n && (IsLinearWhite(value[i]) || value[i] == '(')) {
            if (value[i] == '(') {
                skipComment();
            } else {
                ++i;
            }
        }
    };

    skipToSemicolon(); // past the media type
    while (i < n) {
        ++i; // the ";"
        skipWhiteAndComments();
        const std::size_t nameStart = i;
        while (i < n && value[i] != '=' && value[i] != ';' && !IsLinearWhite(value[i]) &&
               value[i] != '(') {
            ++i;
        }
        const std::string name = LowerAscii(value.substr(nameStart, i - nameStart));
        skipWhiteAndComments();
        if (i >= n || value[i] != '=') {
            skipToSemicolon();
            continue;
        }
        ++i;
        skipWhiteAndComments();
        std::string parameter;
        if (i < n && value[i] == '"') {
            ++i;
            while (i < n && value[i] != '"') {
                if (value[i] == '\\' && i + 1 < n) {
                    ++i;
                }
                parameter += value[i++];
            }
            ++i;
        } else {
            const std::size_t start = i;
            while (i < n && value[i] != ';' && !IsLinearWhite(value[i]) && value[i] != '(') {
                ++i;
            }
            parameter = value.substr(start, i - start);
        }
        if (name == "charset") {
            return LowerAscii(TrimWhite(parameter));
        }
        if (name == "charset*") {
            // RFC 2231: the value is written charset'language'value, and the charset of the
            // text is the value, after the second "'" (what precedes them is the charset of
            // the parameter value itself).
            const std::size_t first = parameter.find('\'');
            const std::size_t second =
                first == std::string::npos ? first : parameter.find('\'', first + 1);
            const std::string_view text = second == std::string::npos
                                              ? std::string_view(parameter)
                                              : std::string_view(parameter).substr(second + 1);
            return LowerAscii(TrimWhite(text));
        }
        skipToSemicolon();
    }
    return {};
}

// --- Encoded words

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return -1;
}

// Decodes base64 text that holds alphabet characters only; a last group of 2 or 3
// characters gives 1 or 2 bytes, a single leftover character carries no whole byte.
void AppendBase64(std::string& out, std::string_view text) {
    std::uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        bits = (bits << 6) | static_cast<std::uint32_t>(Base64Value(c));
        if (++count == 4) {
            out += static_cast<char>((bits >> 16) & 0xFF);
            out += static_cast<char>((bits >> 8) & 0xFF);
            out += static_cast<char>(bits & 0xFF);
            bits = 0;
            count = 0;
        }
    }
    if (count == 2) {
        out += static_cast<char>((bits >> 4) & 0xFF);
    } else if (count == 3) {
        out += static_cast<char>((bits >> 10) & 0xFF);
        out += static_cast<char>((bits >> 2) & 0xFF);
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// RFC 2047 section 4.2: "_" is a blank, "=XX" a byte; a lone "=" is kept.
std::string DecodeQ(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_') {
            out += ' ';
        } else if (c == '=' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

struct EncodedWord {
    std::string Charset; // lower-case, language removed
    char Encoding = 0;   // 'B' or 'Q'
    std::string_view Text;
    std::size_t End = 0; // just past "?="
};

// Charset names are short; the cap keeps a run of "=?" candidates linear.
constexpr std::size_t kMaxCharsetLength = 64;

bool ParseEncodedWord(std::string_view h, std::size_t start, EncodedWord& word) {
    const std::size_t n = h.size();
    std::size_t p = start + 2;
    const std::size_t charsetStart = p;
    while (p < n && h[p] != '?' && static_cast<unsigned char>(h[p]) > 0x20 &&
           static_cast<unsigned char>(h[p]) < 0x7F && p - charsetStart <= kMaxCharsetLength) {
        ++p;
    }
    if (p >= n || h[p] != '?' || p == charsetStart) {
        return false;
    }
    std::string_view charset = h.substr(charsetStart, p - charsetStart);
    charset = charset.substr(0, charset.find('*')); // RFC 2231 language suffix
    if (charset.empty()) {
        return false;
    }
    ++p;
    if (p + 1 >= n || h[p + 1] != '?') {
        return false;
    }
    const char encoding = h[p] == 'b' ? 'B' : h[p] == 'q' ? 'Q' : h[p];
    if (encoding != 'B' && encoding != 'Q') {
        return false;
    }
    p += 2;
    const std::size_t textStart = p;
    while (p < n && h[p] != '?' && !IsLinearWhite(h[p])) {
        ++p;
    }
    if (p + 1 >= n || h[p] != '?' || h[p + 1] != '=') {
        return false;
    }
    std::string_view text = h.substr(textStart, p - textStart);
    if (encoding == 'B') {
        while (!text.empty() && text.back() == '=') {
            text.remove_suffix(1);
        }
        for (char c : text) {
            if (Base64Value(c) < 0) {
                return false;
            }
        }
        if (text.size() % 4 == 1) {
            return false; // a lone last character carries no whole byte
        }
    }
    word.Charset = LowerAscii(charset);
    word.Encoding = encoding;
    word.Text = h.substr(textStart, p - textStart);
    word.End = p + 2;
    return true;
}

class RunBuilder {
public:
    void Append(std::string_view charset, std::string_view bytes) {
        if (bytes.empty()) {
            return;
        }
        if (runs.empty() || runs.back().Charset != charset) {
            runs.push_back({std::string(charset), {}});
        }
        runs.back().Bytes += bytes;
    }

    // Bytes outside encoded words, with folded lines unfolded.
    void AppendPlain(std::string_view text) {
        std::string unfolded;
        unfolded.reserve(text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' && i + 2 < text.size() && text[i + 1] == '\n' &&
                IsBlank(text[i + 2])) {
                ++i;
                continue;
            }
            if (text[i] == '\n' && i + 1 < text.size() && IsBlank(text[i + 1])) {
                continue;
            }
            unfolded += text[i];
        }
        Append("", unfolded);
    }

    std::vector<CharsetRun> runs;
};

} // namespace

std::size_t Utf8Length(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); ++count) {
        const std::size_t len = SequenceLength(text, pos);
        pos += len == 0 ? 1 : len;
    }
    return count;
}

std::size_t Utf8Offset(std::string_view text, std::size_t n) {
    std::size_t pos = 0;
    for (std::size_t count = 0; count < n && pos < text.size(); ++count) {
        const std::size_t len = SequenceLength(text, pos);
        pos += len == 0 ? 1 : len;
    }
    return pos;
}

std::string Utf8Left(std::string_view text, std::size_t n) {
    return std::string(text.substr(0, Utf8Offset(text, n)));
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    AppendWindows1252AsUtf8(out, bytes);
    return out;
}

void AppendWindows1252AsUtf8(std::string& out, std::string_view bytes) {
    const auto ascii = [](char c) { return static_cast<unsigned char>(c) < 0x80; };
    for (auto at = bytes.begin(); at != bytes.end();) {
        const auto run = std::find_if_not(at, bytes.end(), ascii);
        out.append(at, run);
        if (run != bytes.end()) {
            AppendCp1252Char(out, static_cast<unsigned char>(*run));
            at = run + 1;
        } else {
            at = run;
        }
    }
}

std::string SanitizeUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t len = SequenceLength(text, pos);
        if (len == 0) {
            AppendCp1252Char(out, static_cast<unsigned char>(text[pos]));
            ++pos;
        } else {
            out.append(text.substr(pos, len));
            pos += len;
        }
    }
    return out;
}

std::size_t CharCount(std::string_view text, TextUnits units) {
    return units == TextUnits::Utf8 ? Utf8Length(text) : text.size();
}

std::size_t CharOffset(std::string_view text, std::size_t n, TextUnits units) {
    return units == TextUnits::Utf8 ? Utf8Offset(text, n) : std::min(n, text.size());
}

std::string FindCharset(std::string_view head) {
    const std::size_t n = head.size();
    bool sawField = false;
    std::size_t pos = 0;
    while (pos < n) {
        std::size_t eol = head.find('\n', pos);
        if (eol == std::string_view::npos) {
            eol = n;
        }
        std::string_view line = head.substr(pos, eol - pos);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            if (sawField) {
                return {}; // end of the head
            }
            pos = eol + 1;
            continue;
        }
        sawField = true;
        if (StartsWithNoCase(line, "content-type")) {
            std::size_t colon = 12;
            while (colon < line.size() && IsBlank(line[colon])) {
                ++colon;
            }
            if (colon < line.size() && line[colon] == ':') {
                // Join the continuation lines (RFC 5322 section 2.2.3).
                std::string value(line.substr(colon + 1));
                pos = eol + 1;
                while (pos < n && IsBlank(head[pos])) {
                    eol = head.find('\n', pos);
                    if (eol == std::string_view::npos) {
                        eol = n;
                    }
                    std::string_view more = head.substr(pos, eol - pos);
                    if (!more.empty() && more.back() == '\r') {
                        more.remove_suffix(1);
                    }
                    value += more;
                    pos = eol + 1;
                }
                return CharsetParameter(value);
            }
        }
        pos = eol + 1;
    }
    return {};
}

std::vector<CharsetRun> DecodeEncodedWordRuns(std::string_view header) {
    RunBuilder builder;
    bool lastWasWord = false;
    std::size_t plainStart = 0;
    std::size_t searchFrom = 0;
    while (true) {
        const std::size_t candidate = header.find("=?", searchFrom);
        if (candidate == std::string_view::npos) {
            break;
        }
        EncodedWord word;
        if (!ParseEncodedWord(header, candidate, word)) {
            searchFrom = candidate + 1;
            continue;
        }
        const std::string_view gap = header.substr(plainStart, candidate - plainStart);
        bool adjacent = lastWasWord;
        for (std::size_t i = 0; adjacent && i < gap.size(); ++i) {
            adjacent = IsLinearWhite(gap[i]);
        }
        if (!adjacent) {
            builder.AppendPlain(gap);
        }
        if (word.Encoding == 'Q') {
            builder.Append(word.Charset, DecodeQ(word.Text));
        } else {
            // Each word is decoded on its own (RFC 2047 section 5); padding may be missing.
            std::string_view text = word.Text;
            while (!text.empty() && text.back() == '=') {
                text.remove_suffix(1);
            }
            std::string bytes;
            AppendBase64(bytes, text);
            builder.Append(word.Charset, bytes);
        }
        lastWasWord = true;
        plainStart = searchFrom = word.End;
    }
    builder.AppendPlain(header.substr(plainStart));
    return std::move(builder.runs);
}

std::string FallbackConvert(std::string_view charset, std::string_view bytes) {
    if (charset.empty() || charset == "utf-8" || charset == "utf8") {
        return SanitizeUtf8(bytes);
    }
    return Windows1252ToUtf8(bytes);
}

std::string DecodeEncodedWords(std::string_view header, const CharsetConverter& convert) {
    std::string out;
    out.reserve(header.size());
    for (const CharsetRun& run : DecodeEncodedWordRuns(header)) {
        if (convert) {
            out += SanitizeUtf8(convert(run.Charset, run.Bytes));
        } else {
            out += FallbackConvert(run.Charset, run.Bytes);
        }
    }
    return out;
}

} // namespace decoding
