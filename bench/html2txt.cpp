// Throughput of the HTML-to-text converter on newsletter-like mail HTML: a styled head, layout
// tables with short and long rows, paragraphs with links, inline tags and entities, lists,
// scripts and the conditional comments mail programs write. 1x is about 2 MB, 4x about 8 MB;
// the time per byte should stay flat.
// With HTML2TXT_BENCH_DIR set, the two documents are also written there as html2txt_1x.html and
// html2txt_4x.html, so that bench/peer_html2txt.sh can time other converters on the same bytes.
#include "html/HtmlToText.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Lcg {
    std::uint64_t state = 0x2545F4914F6CDD1DULL;
    std::uint32_t Next(std::uint32_t bound) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>((state >> 33) % bound);
    }
};

const std::vector<std::string> kWords = {
    "the",      "message", "account", "offer",    "please",       "your",         "order",
    "delivery", "team",    "weekly",  "update",   "customer",     "service",      "contact",
    "we",       "have",    "new",     "features", "and",          "improvements", "for",
    "you",      "today",   "caf\xe9", "na\xefve", "r\xe9sum\xe9", "price",        "subscription",
    "to",       "of",      "in",      "with",     "details",      "below",        "information"};

const std::vector<std::string> kEntities = {"&amp;", "&nbsp;", "&eacute;", "&#8217;", "&copy;",
                                            "&lt;",  "&gt;",   "&#233;",   "&quot;",  "&mdash;"};

std::string Sentence(Lcg& rng, int words) {
    std::string s;
    for (int i = 0; i < words; ++i) {
        if (i > 0) {
            s += rng.Next(9) == 0 ? "\r\n" : " ";
        }
        const std::uint32_t r = rng.Next(40);
        const std::string& w = kWords[rng.Next(static_cast<std::uint32_t>(kWords.size()))];
        if (r == 0) {
            s += "<b>" + w + "</b>";
        } else if (r == 1) {
            s += "<a href=\"https://example.com/track?id=" + std::to_string(rng.Next(100000)) +
                 "&amp;u=42\" style=\"color:#1a73e8;text-decoration:none\">" + w + "</a>";
        } else if (r == 2) {
            s += kEntities[rng.Next(static_cast<std::uint32_t>(kEntities.size()))];
        } else if (r == 3) {
            s += "<span style=\"font-family:Arial,sans-serif;font-size:14px\">" + w + "</span>";
        } else {
            s += w;
        }
    }
    return s + ".";
}

std::string Block(Lcg& rng) {
    switch (rng.Next(8)) {
    case 0:
        return "<p style=\"margin:0 0 12px 0\">" + Sentence(rng, 20 + rng.Next(60)) + "</p>\r\n";
    case 1: {
        std::string t =
            "<table width=\"600\" cellpadding=\"0\" cellspacing=\"0\" border=\"0\">\r\n";
        for (std::uint32_t r = 0, rows = 2 + rng.Next(5); r < rows; ++r) {
            t += "  <tr>\r\n";
            for (std::uint32_t c = 0, cols = 1 + rng.Next(3); c < cols; ++c) {
                t += "    <td valign=\"top\" style=\"padding:8px\">" +
                     Sentence(rng, 1 + rng.Next(c == 0 ? 20 : 4)) + "</td>\r\n";
            }
            t += "  </tr>\r\n";
        }
        return t + "</table>\r\n";
    }
    case 2: {
        const bool ordered = rng.Next(2) == 0;
        std::string l = ordered ? "<ol>\r\n" : "<ul>\r\n";
        for (std::uint32_t i = 0, n = 2 + rng.Next(6); i < n; ++i) {
            l += "  <li>" + Sentence(rng, 3 + rng.Next(12)) + "</li>\r\n";
        }
        return l + (ordered ? "</ol>\r\n" : "</ul>\r\n");
    }
    case 3:
        return "<script type=\"text/javascript\">\r\n  var track = {id: " +
               std::to_string(rng.Next(1000000)) +
               ", ok: a < b && c > d};\r\n  document.write('<img src=\"x\">');\r\n</script>\r\n";
    case 4:
        return "<!--[if mso]>\r\n<table><tr><td width=\"600\">\r\n<![endif]-->\r\n<!-- " +
               Sentence(rng, 8) + " -->\r\n";
    case 5:
        return "<div style=\"font-size:12px;color:#666666\">" + Sentence(rng, 10 + rng.Next(20)) +
               "<br>\r\n" + Sentence(rng, 5 + rng.Next(10)) + "<br/>\r\n</div>\r\n";
    case 6:
        return "<h2>" + Sentence(rng, 3 + rng.Next(5)) +
               "</h2>\r\n<img src=\"https://example.com/banner.png\" alt=\"\" width=\"600\" "
               "height=\"120\" style=\"display:block\">\r\n";
    default:
        return "<p>" + Sentence(rng, 10 + rng.Next(30)) +
               "<br>\r\n<a href=\"mailto:help@example.com\">help@example.com</a></p>\r\n";
    }
}

std::string Document(std::size_t size) {
    Lcg rng;
    std::string html =
        "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\">\r\n<html>\r\n<head>\r\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">\r\n"
        "<title>Your weekly update</title>\r\n<style type=\"text/css\">\r\n"
        "  body { margin:0; padding:0; } td { font-family: Arial, sans-serif; }\r\n"
        "  .footer a { color: #999999; }\r\n</style>\r\n</head>\r\n<body bgcolor=\"#ffffff\">\r\n";
    while (html.size() < size) {
        html += Block(rng);
    }
    return html + "</body>\r\n</html>\r\n";
}

const std::string& Html(int scale) {
    static const std::string one = Document(2u << 20);
    static const std::string four = Document(8u << 20);
    return scale == 4 ? four : one;
}

// Writes the documents for the peer script before the benchmarks run.
const bool kWritten = [] {
    if (const char* dir = std::getenv("HTML2TXT_BENCH_DIR")) {
        for (int scale : {1, 4}) {
            std::ofstream(std::string(dir) + "/html2txt_" + std::to_string(scale) + "x.html",
                          std::ios::binary)
                << Html(scale);
        }
    }
    return true;
}();

void BM_HTML2txt(benchmark::State& state) {
    const std::string& html = Html(static_cast<int>(state.range(0)));
    std::size_t outSize = 0;
    for (auto _ : state) {
        const std::string text = modHTML2txt::HTML2txt(html);
        outSize = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * html.size()));
    state.counters["in_MB"] = static_cast<double>(html.size()) / (1 << 20);
    state.counters["out_MB"] = static_cast<double>(outSize) / (1 << 20);
}
BENCHMARK(BM_HTML2txt)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

} // namespace
