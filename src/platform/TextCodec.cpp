#include "platform/TextCodec.h"

#include "decoding/Charset.h"

#include <QStringDecoder>
#include <array>

namespace platform {

namespace {

// Code points of the bytes 0x80..0x9F in Windows-1252; the rest equal their byte.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char toByte(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
        return static_cast<char>(unit);
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == unit) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

QByteArrayView view(std::string_view bytes) {
    return QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string toStdString(const QByteArray& bytes) {
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// Letters, digits and the punctuation charset names are made of (RFC 2978).
bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == ':' || c == '+' || c == '(' || c == ')';
}

// A charset name as a header or document may write it: blanks and quotes around it go.
std::string_view trimName(std::string_view name) {
    const auto junk = [](char c) { return isBlank(c) || c == '"' || c == '\''; };
    while (!name.empty() && junk(name.front())) {
        name.remove_prefix(1);
    }
    while (!name.empty() && junk(name.back())) {
        name.remove_suffix(1);
    }
    return name;
}

std::size_t findNoCase(std::string_view text, std::string_view lowerNeedle, std::size_t from) {
    if (lowerNeedle.size() > text.size()) {
        return std::string_view::npos;
    }
    for (std::size_t i = from; i + lowerNeedle.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < lowerNeedle.size() && asciiLower(text[i + k]) == lowerNeedle[k]) {
            ++k;
        }
        if (k == lowerNeedle.size()) {
            return i;
        }
    }
    return std::string_view::npos;
}

// How a charset is decoded.
enum class Family {
    Unknown,     // not a charset the platform knows: Windows-1252
    Windows1252, // windows-1252 and the sets it extends (US-ASCII, ISO-8859-1)
    Utf8,
    Wide, // UTF-16 and UTF-32: no line structure in the bytes
    Other,
};

constexpr auto kDecoderFlags = QStringConverter::Flag::Stateless;

struct Resolved {
    Family family = Family::Unknown;
    std::string name; // as given, for the decoder
    int unitBytes = 1;
};

Resolved resolve(std::string_view charset) {
    charset = trimName(charset);
    Resolved r;
    if (charset.empty() || charset.size() > 64) {
        return r;
    }
    for (char c : charset) {
        if (!isNameChar(c)) {
            return r;
        }
    }
    r.name = charset;
    const QStringDecoder decoder(r.name.c_str(), kDecoderFlags);
    if (!decoder.isValid()) {
        return r;
    }
    const char* canonical = decoder.name();
    const QByteArray c = canonical ? QByteArray(canonical) : QByteArray();
    if (c == "Locale") {
        // The user's own locale is not a charset a message can declare.
        return r;
    }
    if (c == "UTF-8") {
        r.family = Family::Utf8;
    } else if (c == "US-ASCII" || c == "ISO-8859-1" || c == "windows-1252") {
        r.family = Family::Windows1252;
    } else if (c.startsWith("UTF-16") || c.startsWith("UTF-32")) {
        r.family = Family::Wide;
        r.unitBytes = c.startsWith("UTF-16") ? 2 : 4;
    } else {
        r.family = Family::Other;
    }
    return r;
}

// Calls piece(text) for consecutive runs of whole lines, each of at least minBytes (the last
// may be shorter); a line longer than that is a run of its own.
template <class Piece>
void forEachRunOfLines(std::string_view bytes, std::size_t minBytes, Piece piece) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = pos;
        while (end < bytes.size() && end - pos < minBytes) {
            const std::size_t eol = bytes.find('\n', end);
            end = eol == std::string_view::npos ? bytes.size() : eol + 1;
        }
        piece(bytes.substr(pos, end - pos));
        pos = end;
    }
}

// Text is converted in runs of lines of this size, so that one bad byte in a large body
// costs a second look at its own run only.
constexpr std::size_t kChunkBytes = 64 * 1024;

// UTF-8 with the Windows-1252 character for every byte outside a well-formed sequence.
QString decodeUtf8(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    forEachRunOfLines(bytes, kChunkBytes, [&](std::string_view chunk) {
        QStringDecoder decoder(QStringConverter::Utf8,
                               kDecoderFlags | QStringConverter::Flag::ConvertInitialBom);
        QString text = decoder.decode(view(chunk));
        if (!decoder.hasError()) {
            out += text;
            return;
        }
        const std::string clean = decoding::SanitizeUtf8(chunk);
        out += QString::fromUtf8(clean.data(), static_cast<qsizetype>(clean.size()));
    });
    return out;
}

// Where a piece of text is cut in two: after the line end nearest its middle; 0 when it is a
// single line.
std::size_t middleLineEnd(std::string_view piece) {
    const std::size_t mid = piece.size() / 2;
    const std::size_t after = piece.find('\n', mid);
    if (after != std::string_view::npos && after + 1 < piece.size()) {
        return after + 1;
    }
    const std::size_t before = mid == 0 ? std::string_view::npos : piece.rfind('\n', mid - 1);
    return before == std::string_view::npos ? 0 : before + 1;
}

// Bytes in an ASCII-based charset: every line in the charset, except lines with bytes
// invalid in it, which are shown as Windows-1252.
class LineDecoder {
public:
    LineDecoder(const char* charset, std::size_t size)
        : charset(charset), budget(4096 + size / 64) {
        out.reserve(static_cast<qsizetype>(size));
    }

    QString run(std::string_view bytes) && {
        forEachRunOfLines(bytes, kChunkBytes, [&](std::string_view chunk) {
            if (!tryDecode(chunk)) {
                settle(chunk);
            }
        });
        return std::move(out);
    }

private:
    bool tryDecode(std::string_view piece) {
        // A new decoder each time: resetState() does not clear the error count of Qt's ICU
        // converters, and after it they no longer convert.
        QStringDecoder decoder(charset, kDecoderFlags);
        QString text = decoder.decode(view(piece));
        if (decoder.hasError()) {
            return false;
        }
        out += text;
        return true;
    }

    // piece has invalid bytes: halve it at a line end until the bad lines are found. Each
    // try costs as much as a few hundred bytes of text, so the tries are rationed in
    // proportion to the size; text with invalid bytes nearly everywhere runs out of them
    // and is shown in larger pieces.
    void settle(std::string_view piece) {
        const std::size_t split = middleLineEnd(piece);
        if (split == 0 || budget <= 0) {
            out += TextCodec::fromBytes(piece);
            return;
        }
        for (const std::string_view half : {piece.substr(0, split), piece.substr(split)}) {
            --budget;
            if (!tryDecode(half)) {
                settle(half);
            }
        }
    }

    const char* charset;
    long long budget;
    QString out;
};

} // namespace

QString TextCodec::fromBytes(std::string_view bytes) {
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = QChar(byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : char16_t(byte));
    }
    return text;
}

std::string TextCodec::toBytes(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = units[i];
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() &&
            QChar::isLowSurrogate(units[i + 1])) {
            ++i; // one character outside the set, one "?"
            bytes.push_back('?');
            continue;
        }
        bytes.push_back(toByte(unit));
    }
    return bytes;
}

bool TextCodec::knowsCharset(std::string_view charset) {
    return resolve(charset).family != Family::Unknown;
}

QString TextCodec::decode(std::string_view bytes, std::string_view charset) {
    if (bytes.empty()) {
        return {};
    }
    const Resolved r = resolve(charset);
    switch (r.family) {
    case Family::Unknown:
    case Family::Windows1252:
        return fromBytes(bytes);
    case Family::Utf8:
        return decodeUtf8(bytes);
    case Family::Other:
        return LineDecoder(r.name.c_str(), bytes.size()).run(bytes);
    case Family::Wide:
        break;
    }
    // UTF-16 and UTF-32 have no lines to fall back by; an odd byte at the end would come
    // out as U+FFFD without an error.
    if (bytes.size() % r.unitBytes != 0) {
        return fromBytes(bytes);
    }
    QStringDecoder decoder(r.name.c_str(), kDecoderFlags);
    QString text = decoder.decode(view(bytes));
    return decoder.hasError() ? fromBytes(bytes) : text;
}

std::string TextCodec::charsetToUtf8(std::string_view charset, std::string_view bytes) {
    const QString text = charset.empty() ? decodeUtf8(bytes) : decode(bytes, charset);
    return toStdString(text.toUtf8());
}

std::string TextCodec::headerUtf8(std::string_view headerValue) {
    std::string text = decoding::DecodeEncodedWords(headerValue, &TextCodec::charsetToUtf8);
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = ' ';
        }
    }
    return text;
}

QString TextCodec::headerText(std::string_view headerValue) {
    const std::string text = headerUtf8(headerValue);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string TextCodec::htmlMetaCharset(std::string_view html) {
    // Browsers look for the declaration near the top; mail often puts a long style sheet
    // before it, so the look goes further than theirs.
    constexpr std::size_t kScanBytes = 64 * 1024;
    const std::string_view head = html.substr(0, kScanBytes);
    std::size_t pos = 0;
    while ((pos = findNoCase(head, "<meta", pos)) != std::string_view::npos) {
        pos += 5;
        std::size_t end = head.find('>', pos);
        if (end == std::string_view::npos) {
            end = head.size();
        }
        const std::string_view tag = head.substr(pos, end - pos);
        pos = end;
        if (tag.empty() || !(isBlank(tag.front()) || tag.front() == '/')) {
            continue; // <metadata> and the like
        }
        // Both forms: charset="x" and content="text/html; charset=x".
        for (std::size_t at = 0; (at = findNoCase(tag, "charset", at)) != std::string_view::npos;) {
            std::size_t p = at + 7;
            at = p;
            while (p < tag.size() && isBlank(tag[p])) {
                ++p;
            }
            if (p >= tag.size() || tag[p] != '=') {
                continue;
            }
            ++p;
            while (p < tag.size() && (isBlank(tag[p]) || tag[p] == '"' || tag[p] == '\'')) {
                ++p;
            }
            const std::size_t start = p;
            while (p < tag.size() && isNameChar(tag[p])) {
                ++p;
            }
            if (p > start) {
                std::string name(tag.substr(start, p - start));
                for (char& c : name) {
                    c = asciiLower(c);
                }
                return name;
            }
        }
    }
    return {};
}

std::string TextCodec::htmlCharset(std::string_view html, std::string_view declaredCharset) {
    // A byte-order mark outranks every label (as in browsers).
    if (html.substr(0, 3) == "\xEF\xBB\xBF") {
        return "utf-8";
    }
    if (html.substr(0, 2) == "\xFF\xFE") {
        return "utf-16le";
    }
    if (html.substr(0, 2) == "\xFE\xFF") {
        return "utf-16be";
    }
    const auto lower = [](std::string_view name) {
        std::string out(trimName(name));
        for (char& c : out) {
            c = asciiLower(c);
        }
        return out;
    };
    if (knowsCharset(declaredCharset)) {
        return lower(declaredCharset);
    }
    const std::string meta = htmlMetaCharset(html);
    const Family family = resolve(meta).family;
    if (family == Family::Wide) {
        return "utf-8"; // a <meta> that can be read as ASCII is not in UTF-16
    }
    if (family != Family::Unknown) {
        return meta;
    }
    return "windows-1252";
}

QByteArray TextCodec::htmlForBrowser(std::string_view html, std::string_view declaredCharset) {
    const std::string charset = htmlCharset(html, declaredCharset);
    if (resolve(charset).family == Family::Utf8) {
        // Well-formed UTF-8 goes to the browser as it is: one copy, no round trip.
        std::string_view bytes = html;
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
            bytes.remove_prefix(3);
        }
        if (QUtf8StringView(bytes.data(), qsizetype(bytes.size())).isValidUtf8()) {
            return QByteArray(bytes.data(), qsizetype(bytes.size()));
        }
    }
    return decode(html, charset).toUtf8();
}

namespace {

bool BreaksRun(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c.unicode() >= 0x2E80;
}

} // namespace

QString ForTextView(QString text) {
    QString shown; // made only when a run needs breaking
    qsizetype copied = 0, run = 0;
    for (qsizetype at = 0; at < text.size(); ++at) {
        run = BreaksRun(text[at]) ? 0 : run + 1;
        if (run > kLongestRun) {
            shown.append(QStringView(text).mid(copied, at - copied)).append(u'\n');
            copied = at;
            run = 1;
        }
    }
    if (copied == 0) {
        return text;
    }
    return shown.append(QStringView(text).mid(copied));
}

} // namespace platform
