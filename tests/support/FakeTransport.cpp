#include "support/FakeTransport.h"

#include <QCoreApplication>
#include <algorithm>

void FakeTransport::connectToHost(const QString&, std::uint16_t) {
    ++connects;
    current = State::Other;
}

void FakeTransport::write(std::string_view bytes) {
    written.append(bytes);
}

std::string_view FakeTransport::readAll() {
    handedOut.clear();
    handedOut.swap(incoming);
    return handedOut;
}

void FakeTransport::close() {
    if (holdingClose && current != State::Closed) {
        current = State::Other;
    } else {
        serverCloses();
    }
}

void FakeTransport::release() {
    holdingClose = false;
    serverCloses();
}

void FakeTransport::accept() {
    current = State::Connected;
    Q_EMIT connected();
}

void FakeTransport::serverSends(std::string_view bytes) {
    if (current != State::Connected) {
        return; // nothing arrives on a connection that is not there
    }
    incoming.append(bytes);
    // Like a real socket: no readyRead while a readyRead handler runs; what arrives then
    // waits until someone reads.
    if (inReadyRead) {
        return;
    }
    inReadyRead = true;
    Q_EMIT readyRead();
    inReadyRead = false;
    // What the handler left for the event loop (a deferred message box) runs before the
    // next bytes, as it would between two network packets.
    QCoreApplication::sendPostedEvents();
}

void FakeTransport::serverSendsInPieces(std::string_view bytes, std::size_t piece) {
    piece = std::max<std::size_t>(piece, 1);
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        serverSends(bytes.substr(at, piece));
    }
}

void FakeTransport::serverCloses() {
    if (current != State::Closed) {
        current = State::Closed;
        Q_EMIT closed();
    }
}

void FakeTransport::fail(int number, const QString& description) {
    Q_EMIT error(number, description);
    serverCloses();
    QCoreApplication::sendPostedEvents();
}

std::vector<std::string> FakeTransport::takeLines() {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = written.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
        out.emplace_back(written.substr(start, end - start));
    }
    written.erase(0, start);
    return out;
}
