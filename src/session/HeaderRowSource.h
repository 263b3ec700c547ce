#pragma once

#include <string>
#include <string_view>

namespace session {

// The few lines of a TOP reply that its header row is built from: the first line starting
// with "Date", "From" and "Subject", and the first "Return-Path: " line when there is no
// "From". Each comes back with the CR LF that led it, in an order where no line can be
// found by another line's search, so BuildHeaderRow gives the same row for the source as
// for the whole reply. This is what the header cache keeps per message.
std::string HeaderRowSource(std::string_view topReply);

} // namespace session
