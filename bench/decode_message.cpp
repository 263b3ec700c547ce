// Decoding speed of everyday mail with attachments, at two sizes (linearity), and of a
// message with very many parts.
#include "decoding/MessageDecoder.h"

#include "support/Base64Lines.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>

namespace {

// Quoted-printable prose with escapes and soft line breaks, about `bytes` long.
std::string QuotedLines(std::size_t bytes, bool html) {
    const std::string line = html
                                 ? "<p class=3D\"x\">Caf=E9 cr=E8me, na=EFve <b>r=E9sum=E9</b>=\r\n"
                                   " and more text</p>\r\n"
                                 : "Caf=E9 cr=E8me, na=EFve r=E9sum=E9 with a soft break =\r\n"
                                   "and the rest of the line.\r\n";
    std::string out;
    out.reserve(bytes + line.size());
    while (out.size() < bytes) {
        out += line;
    }
    return out;
}

// A mixed message: an alternative of quoted-printable text and HTML, then three base64
// attachments; the text parts take a fifth of the size.
std::string MixedMessage(std::size_t size) {
    const std::size_t textPart = size / 10;
    const std::size_t attachment = (size - 2 * textPart) * 3 / 4 / 3;
    std::string raw = "+OK message follows\r\nFrom: a@example.org\r\nSubject: bench\r\n"
                      "MIME-Version: 1.0\r\n"
                      "Content-Type: multipart/mixed; boundary=\"=_mix_boundary_5f3a\"\r\n\r\n"
                      "--=_mix_boundary_5f3a\r\n"
                      "Content-Type: multipart/alternative; boundary=\"=_alt_boundary_77c1\"\r\n"
                      "\r\n--=_alt_boundary_77c1\r\n"
                      "Content-Type: text/plain; charset=iso-8859-1\r\n"
                      "Content-Transfer-Encoding: quoted-printable\r\n\r\n";
    raw += QuotedLines(textPart, false);
    raw += "--=_alt_boundary_77c1\r\nContent-Type: text/html; charset=iso-8859-1\r\n"
           "Content-Transfer-Encoding: quoted-printable\r\n\r\n";
    raw += QuotedLines(textPart, true);
    raw += "--=_alt_boundary_77c1--\r\n\r\n";
    for (int i = 0; i < 3; ++i) {
        const std::string name = "file" + std::to_string(i) + ".bin";
        raw += "--=_mix_boundary_5f3a\r\nContent-Type: application/octet-stream; name=\"" + name +
               "\"\r\nContent-Transfer-Encoding: base64\r\n"
               "Content-Disposition: attachment; filename=\"" +
               name + "\"\r\n\r\n";
        raw += Base64Lines(attachment, 17 + i);
    }
    return raw + "--=_mix_boundary_5f3a--\r\n.\r\n";
}

std::string ManyParts(std::size_t parts) {
    std::string raw = "+OK\r\nContent-Type: multipart/mixed; boundary=\"part_sep_0042\"\r\n\r\n";
    for (std::size_t i = 0; i < parts; ++i) {
        raw += "--part_sep_0042\r\nContent-Type: text/plain; charset=us-ascii\r\n"
               "Content-Transfer-Encoding: quoted-printable\r\n\r\npart " +
               std::to_string(i) + " caf=E9\r\n";
    }
    return raw + "--part_sep_0042--\r\n.\r\n";
}

void DecodeMixed(benchmark::State& state) {
    const std::string raw = MixedMessage(static_cast<std::size_t>(state.range(0)) << 20);
    for (auto _ : state) {
        decoding::Boundaries boundaries;
        auto message = decoding::DecodeMessage(raw, true, boundaries);
        benchmark::DoNotOptimize(message);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * raw.size()));
}
BENCHMARK(DecodeMixed)->Arg(5)->Arg(20)->Unit(benchmark::kMillisecond);

// The content of one attachment, built when the user picks its entry.
void AttachmentContent(benchmark::State& state) {
    const std::string raw = MixedMessage(static_cast<std::size_t>(state.range(0)) << 20);
    decoding::Boundaries boundaries;
    const auto message = decoding::DecodeMessage(raw, true, boundaries);
    const std::size_t last = message.MsgParts.size() - 2;
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto content = decoding::PartContent(message, last);
        bytes = content.size();
        benchmark::DoNotOptimize(content);
    }
    state.counters["content_MB"] = static_cast<double>(bytes) / (1 << 20);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * raw.size()));
}
BENCHMARK(AttachmentContent)->Arg(20)->Unit(benchmark::kMillisecond);

void DecodeManyParts(benchmark::State& state) {
    const std::string raw = ManyParts(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        decoding::Boundaries boundaries;
        auto message = decoding::DecodeMessage(raw, true, boundaries);
        benchmark::DoNotOptimize(message);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * raw.size()));
}
BENCHMARK(DecodeManyParts)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);

} // namespace
