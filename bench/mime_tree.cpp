// Parsing a 20 MB message and decoding every part: the MIME tree beside GMime 3 (when the
// bench is built with it), and the peak memory of one parse-and-decode run.
//   bench_mime_tree                      both, as Google Benchmark runs
//   bench_mime_tree --write-message F    writes the 20 MB message to F
//   bench_mime_tree --peak-memory F      reads F and parses and decodes it once: the peak
//                                        resident memory that reading, parsing and decoding
//                                        add, as a multiple of the message size
#include "decoding/MimeTree.h"

#include "support/Base64Lines.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <sys/resource.h>

#ifdef CORVANE_BENCH_GMIME
#include <gmime/gmime.h>
#endif

namespace {

std::string QuotedLines(std::size_t bytes) {
    const std::string line = "Caf=C3=A9 cr=C3=A8me, na=C3=AFve r=C3=A9sum=C3=A9 with a soft =\r\n"
                             "break and the rest of the line.\r\n";
    std::string out;
    while (out.size() < bytes) {
        out += line;
    }
    return out;
}

// Everyday mail at its largest: mixed{alternative{plain, related{html, 3 pictures}}, 4
// files}, a forwarded message among them; the files take most of the size.
std::string Message(std::size_t size) {
    // Five file-sized pieces of base64 in 78-byte lines that hold 57 bytes each.
    const std::size_t text = size / 20, file = (size - 3 * text) / 5 * 57 / 78;
    std::string raw =
        "From: a@example.org\r\nSubject: bench\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"=_mix_5f3a\"\r\n\r\n"
        "--=_mix_5f3a\r\nContent-Type: multipart/alternative; boundary=\"=_alt_77\"\r\n"
        "\r\n--=_alt_77\r\nContent-Type: text/plain; charset=utf-8\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n\r\n";
    raw += QuotedLines(text);
    raw += "--=_alt_77\r\nContent-Type: multipart/related; boundary=\"=_rel_9\"; "
           "type=\"text/html\"\r\n\r\n--=_rel_9\r\nContent-Type: text/html; charset=utf-8\r\n"
           "Content-Transfer-Encoding: quoted-printable\r\n\r\n";
    raw += QuotedLines(text);
    for (int i = 0; i < 3; ++i) {
        raw += "--=_rel_9\r\nContent-Type: image/png\r\nContent-ID: <p" + std::to_string(i) +
               "@x>\r\nContent-Transfer-Encoding: base64\r\n\r\n" + Base64Lines(file / 3, i);
    }
    raw += "--=_rel_9--\r\n--=_alt_77--\r\n";
    for (int i = 0; i < 4; ++i) {
        raw += "--=_mix_5f3a\r\nContent-Type: application/pdf; name=\"f" + std::to_string(i) +
               ".pdf\"\r\nContent-Disposition: attachment\r\nContent-Transfer-Encoding: "
               "base64\r\n\r\n" +
               Base64Lines(file, 10 + i);
    }
    raw += "--=_mix_5f3a\r\nContent-Type: message/rfc822\r\n\r\nSubject: fwd\r\n\r\n" +
           QuotedLines(text);
    return raw + "--=_mix_5f3a--\r\n";
}

const std::string& TwentyMegabytes() {
    static const std::string message = Message(20 << 20);
    return message;
}

std::size_t ParseAndDecode(const std::string& message) {
    const decoding::MimeTree tree = decoding::ParseMime(message);
    std::size_t total = 0;
    for (const decoding::MimePart& part : tree.Parts) {
        if (!part.IsContainer()) {
            total += decoding::PartBytes(message, part).size();
        }
    }
    return total;
}

void BM_MimeTree(benchmark::State& state) {
    const std::string& message = TwentyMegabytes();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ParseAndDecode(message));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * message.size()));
}
BENCHMARK(BM_MimeTree)->Unit(benchmark::kMillisecond);

#ifdef CORVANE_BENCH_GMIME
void DecodeLeaves(GMimeObject*, GMimeObject* part, gpointer total) {
    if (!GMIME_IS_PART(part)) {
        return;
    }
    GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(part));
    if (!content) {
        return;
    }
    GByteArray* bytes = g_byte_array_new();
    GMimeStream* sink = g_mime_stream_mem_new_with_byte_array(bytes);
    g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(sink), FALSE);
    g_mime_data_wrapper_write_to_stream(content, sink);
    *static_cast<std::size_t*>(total) += bytes->len;
    g_object_unref(sink);
    g_byte_array_free(bytes, TRUE);
}

void BM_GMime(benchmark::State& state) {
    g_mime_init();
    const std::string& message = TwentyMegabytes();
    for (auto _ : state) {
        GMimeStream* stream = g_mime_stream_mem_new_with_buffer(message.data(), message.size());
        GMimeParser* parser = g_mime_parser_new_with_stream(stream);
        GMimeMessage* parsed = g_mime_parser_construct_message(parser, nullptr);
        std::size_t total = 0;
        g_mime_message_foreach(parsed, DecodeLeaves, &total);
        benchmark::DoNotOptimize(total);
        g_object_unref(parsed);
        g_object_unref(parser);
        g_object_unref(stream);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * message.size()));
}
BENCHMARK(BM_GMime)->Unit(benchmark::kMillisecond);
#endif

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], "--write-message") == 0) {
        std::ofstream(argv[2], std::ios::binary) << TwentyMegabytes();
        return 0;
    }
    if (argc > 2 && std::strcmp(argv[1], "--peak-memory") == 0) {
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        std::ifstream in(argv[2], std::ios::binary | std::ios::ate);
        std::string message(static_cast<std::size_t>(in.tellg()), '\0');
        in.seekg(0).read(message.data(), static_cast<std::streamsize>(message.size()));
        const std::size_t decoded = ParseAndDecode(message);
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        const double mb = 1024.0 * 1024.0;
        const double added = double(after.ru_maxrss - before.ru_maxrss) * 1024.0;
        std::cout << "message " << message.size() / mb << " MB, decoded " << decoded / mb
                  << " MB; reading, parsing and decoding added at most " << added / mb
                  << " MB of resident memory: " << added / double(message.size())
                  << "x the message\n";
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
