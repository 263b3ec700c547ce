// Throughput of the listing, framing, header and reply text functions at 1x and 4x input, to
// show they stay linear: MB/s should not fall as the input grows.
#include "decoding/Charset.h"
#include "decoding/Reply.h"
#include "session/ListReply.h"
#include "session/ReplyScanner.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string ListReplyText(std::size_t size) {
    std::string reply = "+OK\r\n";
    for (int n = 1; reply.size() < size; ++n) {
        reply += std::to_string(n % 30000 + 1) + " " + std::to_string(n * 37) + "\r\n";
    }
    return reply + ".\r\n";
}

// A message of short lines, a tenth of them dot-stuffed.
std::string MessageText(std::size_t size) {
    std::string text = "+OK message follows\r\n";
    for (int n = 0; text.size() < size; ++n) {
        text += n % 10 == 0 ? "..a stuffed line of text\r\n" : "a line of ordinary text\r\n";
    }
    return text + ".\r\n";
}

std::string EncodedHeader(std::size_t size) {
    std::string text;
    while (text.size() < size) {
        text += "=?utf-8?q?caf=C3?= =?utf-8?B?qSBhdSBsYWl0?= plain text ";
    }
    return text;
}

void SetBytes(benchmark::State& state, std::size_t bytes) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_ParseListReply(benchmark::State& state) {
    const std::string reply = ListReplyText(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(session::ParseListReply(reply));
    }
    SetBytes(state, reply.size());
}

void BM_ScanAndUnstuff(benchmark::State& state) {
    const std::string reply = MessageText(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        session::ReplyScanner scanner;
        for (std::size_t pos = 0; pos < reply.size(); pos += 1460) {
            scanner.Feed(std::string_view(reply).substr(pos, 1460));
        }
        benchmark::DoNotOptimize(session::DotUnstuff(reply));
    }
    SetBytes(state, reply.size());
}

void BM_DecodeEncodedWords(benchmark::State& state) {
    const std::string header = EncodedHeader(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(decoding::DecodeEncodedWords(header));
    }
    SetBytes(state, header.size());
}

void BM_BuildReplyText(benchmark::State& state) {
    const std::string text = MessageText(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(decoding::BuildReplyText(text, "\"Ann\" <a@x.org>", false));
    }
    SetBytes(state, text.size());
}

} // namespace

BENCHMARK(BM_ParseListReply)->Arg(1 << 18)->Arg(1 << 20);
BENCHMARK(BM_ScanAndUnstuff)->Arg(1 << 20)->Arg(1 << 22);
BENCHMARK(BM_DecodeEncodedWords)->Arg(1 << 18)->Arg(1 << 20);
BENCHMARK(BM_BuildReplyText)->Arg(1 << 20)->Arg(1 << 22);
