#pragma once

// A slow converter written the way the algorithm reads, step by step: 1-based positions,
// strings rebuilt per tag and per look-ahead, the whole row look-ahead rerun for every row.
// The tests and the fuzz target check the one-pass converter against it on small inputs.
#include "html/HtmlToText.h"

#include <string>

namespace reference {

class Converter {
public:
    explicit Converter(std::string html) : s_(std::move(html)), n_(static_cast<long>(s_.size())) {}

    std::string Run() {
        try {
            for (long p = 1; p <= n_; ++p) {
                if (Mid(p) == "<" && !inComment_) {
                    ReadTag(p);
                } else {
                    RunningText(p);
                }
            }
        } catch (const End&) {
        }
        return out_;
    }

private:
    struct End {};        // the conversion ends here
    struct EndOfInput {}; // a row look-ahead ran into the end of the input

    // The character at 1-based position p, or "" beyond the text.
    std::string Mid(long p) const {
        return p >= 1 && p <= n_ ? std::string(1, s_[p - 1]) : std::string();
    }
    static int Asc(const std::string& c) { return static_cast<unsigned char>(c[0]); }
    static std::string UCase(std::string t) {
        for (char& c : t) {
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 32);
            }
        }
        return t;
    }
    static bool Begins(const std::string& t, const std::string& prefix) {
        return t.compare(0, prefix.size(), prefix) == 0;
    }
    static bool Named(const std::string& upper, const std::string& name) {
        return upper == name || Begins(upper, name + " ");
    }

    void Written() { spaceSuppressed_ = lineBroken_ = blankLineDone_ = false; }

    void SpaceRule() {
        if (!spaceSuppressed_) {
            if (!inComment_ && !inScript_) {
                out_ += " ";
            }
            spaceSuppressed_ = true;
            column_ += 1;
            if (column_ >= 75) {
                out_ += "\r\n";
                column_ = 0;
            }
        }
    }

    void ReadTag(long& p) {
        p += 1;
        std::string collected;
        for (;;) {
            if (p == n_) {
                throw End{};
            }
            const std::string c = Mid(p);
            if (c != ">") {
                collected += c;
                p += 1;
            }
            if (c == ">" || p >= n_) {
                if (p < n_ && Asc(Mid(p + 1)) < 32) {
                    spaceSuppressed_ = true;
                }
                break;
            }
            if (collected == "!--") {
                break;
            }
        }
        std::string tag = collected;
        while (!tag.empty() && tag.front() == ' ') {
            tag.erase(0, 1);
        }
        while (!tag.empty() && tag.back() == ' ') {
            tag.pop_back();
        }

        long q = p + 1;
        if (q >= n_) {
            throw End{};
        }
        if (Asc(Mid(q)) <= 32) {
            bool passed = false;
            bool lastWasSpace = false;
            for (;;) {
                const std::string c = Mid(q);
                if (c == "<") {
                    if (passed) {
                        spaceSuppressed_ = true;
                    }
                    break;
                }
                if (Asc(c) > 32) {
                    spaceSuppressed_ = !lastWasSpace;
                    break;
                }
                passed = true;
                lastWasSpace = c == " ";
                q += 1;
                if (q == n_) {
                    throw End{};
                }
            }
        }

        if (!tag.empty() && tag[0] == '/') {
            Closing(tag);
        } else {
            Opening(tag, p);
        }
    }

    void Opening(const std::string& tag, long& p) {
        const std::string t = UCase(tag);
        if (Begins(t, "TITLE")) {
            p += 1;
            while (p < n_ && Mid(p) != "<") {
                out_ += Mid(p);
                p += 1;
            }
            if (!inComment_ && !inScript_) {
                out_ += "\r\n\r\n";
            }
            column_ = 0;
            blankLineDone_ = true;
            p -= 1;
        } else if (Begins(t, "BODY")) {
            if (!inScript_) {
                bodySeen_ = true;
            }
        } else if (Named(t, "P")) {
            if (!inScript_ && textSeen_ && !blankLineDone_ && !inComment_) {
                out_ += "\r\n\r\n";
                column_ = 0;
                blankLineDone_ = true;
            }
        } else if (Named(t, "TR")) {
            if (!inScript_) {
                RowLookAhead(p);
                out_ += "\r\n";
                column_ = 0;
                lineBroken_ = true;
                cellWritten_ = false;
            }
        } else if (Named(t, "TD") || Named(t, "TH")) {
            if (shortRow_) {
                if (cellWritten_) {
                    out_ += "   ";
                }
                cellWritten_ = true;
            } else {
                out_ += "\r\n";
                lineBroken_ = true;
            }
        } else if (t == "BR" || Begins(t, "TABLE")) {
            if (textSeen_ && !lineBroken_) {
                out_ += "\r\n";
                column_ = 0;
                lineBroken_ = true;
            }
        } else if (Named(t, "OPTION")) {
            out_ += "\r\n\t";
            column_ = 0;
        } else if (t == "H1" || t == "H2" || t == "H3" || t == "H4") {
            out_ += "\r\n";
            column_ = 0;
        } else if (Named(t, "SCRIPT")) {
            inScript_ = true;
        } else if (Begins(t, "!--")) {
            if (bodySeen_) {
                inComment_ = true;
            }
        } else if (Named(t, "OL")) {
            orderedList_ = true;
            out_ += "\r\n\r\n";
            column_ = 0;
        } else if (Named(t, "UL")) {
            out_ += "\r\n\r\n";
            column_ = 0;
        } else if (Named(t, "LI")) {
            out_ += "\r\n";
            column_ = 0;
            if (orderedList_) {
                itemNumber_ += 1;
                out_ += std::to_string(itemNumber_) + ". ";
            } else {
                out_ += "* ";
            }
            column_ += 2;
        }
    }

    void Closing(const std::string& tag) {
        if (Begins(UCase(modHTML2txt::RemoveSpaces(tag)), "/SCRIPT")) {
            inScript_ = false;
        }
        if (textSeen_) {
            const std::string three = UCase(modHTML2txt::RemoveSpaces(tag)).substr(0, 3);
            if (three == "/OL") {
                orderedList_ = false;
                if (!blankLineDone_) {
                    out_ += "\r\n\r\n";
                    column_ = 0;
                    blankLineDone_ = true;
                }
                itemNumber_ = 0;
            } else if (three == "/UL") {
                if (!blankLineDone_) {
                    out_ += "\r\n\r\n";
                    column_ = 0;
                    blankLineDone_ = true;
                }
            }
        }
    }

    // q on a "<": the text up to the next ">", q left on the ">".
    std::string LookAheadTag(long& q) const {
        std::string t;
        for (;;) {
            q += 1;
            if (q >= n_) {
                throw EndOfInput{};
            }
            if (Mid(q) == ">") {
                return t;
            }
            t += Mid(q);
        }
    }

    // A look-ahead that runs into the end of the input decides with the count so far (the
    // converter keeps going instead of dropping the rest of the text).
    void RowLookAhead(long p) {
        long counter = 0;
        try {
            long q = p + 1;
            for (;;) {
                if (Mid(q) == "<") {
                    const std::string t = UCase(LookAheadTag(q));
                    if (t == "/TR" || t == "/TABLE") {
                        shortRow_ = counter < 65;
                        return;
                    }
                    if (Named(t, "TABLE")) {
                        shortRow_ = false;
                        return;
                    }
                    if (Named(t, "TD") || Named(t, "TH")) {
                        for (;;) {
                            q += 1;
                            if (q >= n_) {
                                throw EndOfInput{};
                            }
                            if (Mid(q) == "<") {
                                const std::string inner = UCase(LookAheadTag(q));
                                if (modHTML2txt::RemoveSpaces(inner) == "/TD") {
                                    break;
                                }
                                if (Named(inner, "P") || Named(inner, "BR")) {
                                    counter = 66;
                                    break;
                                }
                            } else {
                                counter += 1;
                            }
                        }
                    }
                }
                if (q >= n_) {
                    throw EndOfInput{};
                }
                q += 1;
            }
        } catch (const EndOfInput&) {
            shortRow_ = counter < 65;
        }
    }

    void RunningText(long& p) {
        if (!bodySeen_) {
            return;
        }
        const std::string c = Mid(p);
        if (c == "<") {
            return;
        }
        if (c == " ") {
            SpaceRule();
            return;
        }
        if (c == "-") {
            if (!textSeen_) {
                return;
            }
            if (inComment_) {
                CommentEndSearch(p);
            } else if (!inScript_) {
                out_ += "-";
                column_ += 1;
                Written();
            }
            return;
        }
        if (c == "&") {
            long semicolon = 0;
            for (long k = p + 1; k <= p + 7 && k <= n_; ++k) {
                if (Mid(k) == "&") {
                    break;
                }
                if (Mid(k) == ";") {
                    semicolon = k;
                    break;
                }
            }
            if (semicolon != 0) {
                const std::string name = s_.substr(p, semicolon - p - 1);
                p = semicolon;
                if (!inComment_ && !inScript_) {
                    const std::string text = modHTML2txt::DecodeEntity(name);
                    out_ += text;
                    column_ += static_cast<long>(text.size());
                    Written();
                }
            } else if (!inComment_ && !inScript_) {
                out_ += "&";
                column_ += 1;
                Written();
            }
            return;
        }
        textSeen_ = true;
        if (Asc(c) < 31) {
            SpaceRule();
        } else if (Asc(c) > 31 && !inComment_ && !inScript_) {
            out_ += c;
            column_ += 1;
            Written();
        }
    }

    void CommentEndSearch(long& p) {
        std::string collected;
        for (long q = p;; ++q) {
            collected += Mid(q);
            if (Mid(q) == ">") {
                const std::string r = modHTML2txt::RemoveSpaces(collected);
                if (r.size() >= 3 && r.compare(r.size() - 3, 3, "-->") == 0) {
                    inComment_ = false;
                    if (q != n_) {
                        p = q;
                    }
                    return;
                }
            }
            if (q >= n_) {
                throw End{};
            }
        }
    }

    std::string s_;
    long n_;
    std::string out_;
    long column_ = 0;
    long itemNumber_ = 0;
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
};

inline std::string HTML2txt(std::string html) {
    return Converter(std::move(html)).Run();
}

} // namespace reference
