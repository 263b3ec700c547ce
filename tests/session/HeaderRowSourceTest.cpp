#include "session/HeaderRowSource.h"
#include "session/HeaderRow.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A row built from the cached source must be the row the whole TOP reply gives, for every
// reply: random ones made of header-like pieces, and the awkward ones below.
TEST(HeaderRowSource, GivesTheSameRowAsTheWholeReply) {
    std::vector<std::string> pieces; // header-like pieces, "/" between them
    std::istringstream all("x/ /./\r/\n/\r\n/From/Date/Subject/Return-Path: /From:Bob<b@c>/"
                           "=?UTF-8?B?w6k=?=/Subject: Hello/Date: Mon, 15 Jan 2024 10:00:00 +0000/"
                           "From: Ann <ann@example.org>/Return-Path: <r@example.org>");
    for (std::string piece; std::getline(all, piece, '/');) {
        pieces.push_back(piece);
    }
    std::mt19937 random(20261206);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1), length(0, 24);
    const session::HeaderValueDecoder decode = [](std::string_view raw) {
        return std::string(raw);
    };
    for (int round = 0; round < 20000; ++round) {
        std::string reply = "+OK\r\n";
        for (std::size_t n = length(random); n > 0; --n) {
            reply += pieces[pick(random)];
        }
        const std::string source = session::HeaderRowSource(reply);
        ASSERT_EQ(session::BuildHeaderRow(source, 1234), session::BuildHeaderRow(reply, 1234))
            << reply;
        ASSERT_EQ(session::BuildHeaderRow(source, std::nullopt, decode),
                  session::BuildHeaderRow(reply, std::nullopt, decode))
            << reply;
        ASSERT_EQ(session::SenderAddress(source), session::SenderAddress(reply)) << reply;
        ASSERT_LE(source.size(), reply.size());
    }
}

TEST(HeaderRowSource, KeepsOnlyTheLinesTheRowReads) {
    const std::string reply = "+OK\r\nReceived: x\r\nSubject: Hi\r\nFrom: a@b\r\nDate: Tue, 2 Jan "
                              "2024\r\nReturn-Path: <r@b>\r\n\r\nbody\r\n.\r\n";
    EXPECT_EQ(session::HeaderRowSource(reply),
              "\r\nDate: Tue, 2 Jan 2024\r\nFrom: a@b\r\nSubject: Hi\r\n");
    EXPECT_EQ(session::HeaderRowSource("+OK\r\n.\r\n"), "");
}

} // namespace
