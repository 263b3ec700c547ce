// Throughput of the transfer decodings on mail-shaped input: base64 in 76-character lines
// ending in CR LF, quoted-printable text with accented letters, "=3D" and soft line breaks.
// bench/peer_codecs.py builds the same bytes to time Python's codecs beside these.
#include "decoding/Base64.h"
#include "decoding/QuotedPrintable.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <string_view>

namespace {

// The same generator as the Python script, so both time identical bytes.
struct Lcg {
    std::uint64_t state = 0x2545F4914F6CDD1DULL;
    std::uint64_t Next() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state;
    }
};

std::string RandomBytes(std::size_t size) {
    Lcg rng;
    std::string bytes(size + 8, '\0');
    for (std::size_t i = 0; i < size; i += 8) {
        const std::uint64_t x = rng.Next();
        std::memcpy(&bytes[i], &x, 8); // little-endian, as the script's to_bytes
    }
    bytes.resize(size);
    return bytes;
}

// About size bytes of base64 text in 76-character lines, cut at a whole group so that
// strict decoders take it too.
std::string Base64Text(std::size_t size) {
    const std::size_t rest = size % 78;
    const std::size_t extra = rest >= 6 ? (rest - 2) / 4 * 3 : 0;
    const std::string raw = RandomBytes(size / 78 * 57 + extra);
    std::string text;
    text.reserve(size);
    for (std::size_t i = 0; i < raw.size(); i += 57) {
        text += modBase64::Base64Encode(std::string_view(raw).substr(i, 57));
        text += "\r\n";
    }
    return text;
}

// Quoted-printable text built token by token, with a soft line break ("=" CR LF) before a
// token that would pass column 75.
struct SoftWrappedText {
    std::string text;
    std::size_t lineLength = 0;

    void add(std::string_view token) {
        if (lineLength + token.size() > 75) {
            text += "=\r\n";
            lineLength = 0;
        }
        text += token;
        lineLength += token.size();
    }
    void hardBreak() {
        text += "\r\n";
        lineLength = 0;
    }
};

// size bytes of quoted-printable text: words, about one escape every 40 characters, hard
// line breaks now and then and soft breaks before column 76.
std::string QuotedPrintableText(std::size_t size) {
    static const char* const escapes[] = {"=E9", "=E8", "=E0", "=E7", "=FC", "=3D"};
    Lcg rng;
    SoftWrappedText out;
    out.text.reserve(size + 80);
    std::string token;
    while (out.text.size() < size) {
        const std::uint64_t x = rng.Next();
        const unsigned kind = static_cast<unsigned>((x >> 32) % 100);
        if (kind == 99) {
            out.hardBreak();
            continue;
        }
        if (kind < 15) {
            token = escapes[(x >> 40) % 6];
        } else {
            token.clear();
            const unsigned letters = 2 + static_cast<unsigned>((x >> 48) % 7);
            for (unsigned i = 0; i < letters; ++i) {
                token += static_cast<char>('a' + ((x >> (8 * i)) & 0xFF) % 26);
            }
            token += ' ';
        }
        out.add(token);
    }
    out.text.resize(size);
    return out.text;
}

// size bytes of escape-dense quoted-printable: UTF-8 prose where most letters are two-byte
// characters, so an escape comes every 3 to 6 bytes, with soft breaks before column 76.
std::string DenseQuotedPrintableText(std::size_t size) {
    static const char kHex[] = "0123456789ABCDEF";
    Lcg rng;
    SoftWrappedText out;
    out.text.reserve(size + 80);
    std::string token;
    while (out.text.size() < size) {
        const std::uint64_t x = rng.Next();
        token.clear();
        const unsigned letters = 2 + static_cast<unsigned>((x >> 56) % 7);
        for (unsigned i = 0; i < letters; ++i) {
            const unsigned bits = static_cast<unsigned>((x >> (6 * i)) & 0x3F);
            if (bits % 5 < 2) {
                token += static_cast<char>('a' + bits % 26);
            } else { // U+0430..U+044F: "=D0=B0".."=D1=8F"
                const unsigned c = 0x430 + bits % 32;
                const unsigned lead = 0xC0 | (c >> 6), trail = 0x80 | (c & 0x3F);
                for (const unsigned byte : {lead, trail}) {
                    token += '=';
                    token += kHex[byte >> 4];
                    token += kHex[byte & 15];
                }
            }
        }
        token += ' ';
        out.add(token);
    }
    out.text.resize(size);
    return out.text;
}

const std::string& Cached(char kind, std::size_t size) {
    static std::map<std::pair<char, std::size_t>, std::string> cache;
    auto& entry = cache[{kind, size}];
    if (entry.empty()) {
        entry = kind == 'b'   ? Base64Text(size)
                : kind == 'q' ? QuotedPrintableText(size)
                : kind == 'd' ? DenseQuotedPrintableText(size)
                              : RandomBytes(size);
    }
    return entry;
}

void BM_Base64Decode(benchmark::State& state) {
    const std::string& input = Cached('b', static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(modBase64::Base64Decode(input));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void BM_DecodeQP(benchmark::State& state) {
    const std::string& input = Cached('q', static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(decoding::DecodeQP(input));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void BM_DecodeQPDense(benchmark::State& state) {
    const std::string& input = Cached('d', static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(decoding::DecodeQP(input));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

// The byte decoder files go through, on the same escape-dense text.
void BM_DecodeQPBytesDense(benchmark::State& state) {
    const std::string& input = Cached('d', static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(decoding::DecodeQPBytes(input));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void BM_Base64Encode(benchmark::State& state) {
    const std::string& input = Cached('r', static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(modBase64::Base64Encode(input));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

constexpr std::int64_t kSmall = 4 << 20;
constexpr std::int64_t kLarge = 16 << 20;

} // namespace

BENCHMARK(BM_Base64Decode)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeQP)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeQPDense)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeQPBytesDense)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Base64Encode)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
