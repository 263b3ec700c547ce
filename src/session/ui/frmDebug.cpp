#include "session/ui/frmDebug.h"

#include "decoding/Charset.h"
#include "platform/Dialogs.h"
#include "platform/TextCodec.h"
#include "settings/Numbers.h"

#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>
#include <algorithm>
#include <exception>

namespace {

// The view's text for bytes that continue the buffer. A CR LF split between two pieces must
// still become one line break, so a trailing CR waits for the next piece.
QString viewText(std::string_view bytes, bool& heldCR) {
    std::string piece;
    piece.reserve(bytes.size() + 1);
    if (heldCR) {
        piece.push_back('\r');
        heldCR = false;
    }
    piece.append(bytes);
    if (!piece.empty() && piece.back() == '\r') {
        piece.pop_back();
        heldCR = true;
    }
    return QString::fromUtf8(piece.data(), static_cast<qsizetype>(piece.size()));
}

// The view offset of a buffer offset: UTF-16 units, every CR LF counted once.
std::size_t utf16Units(std::string_view utf8) {
    std::size_t units = 0;
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if ((b & 0xC0) != 0x80) {
            units += b >= 0xF0 ? 2 : 1; // four-byte sequences are surrogate pairs
        }
    }
    return units;
}

double stored(const frmDebug::SettingReader& read, const char* key) {
    return read ? settings::LeadingNumber(read(key)) : 0.0;
}

} // namespace

frmDebug::frmDebug(QWidget* owner, const SettingReader& readSetting) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("frmDebug"));
    setWindowTitle(QStringLiteral("Debug Buffer"));
    setAttribute(Qt::WA_DeleteOnClose);
    if (owner) {
        setFont(owner->font());
    }

    cmdSearch = new QPushButton(QStringLiteral("Search:"), this);
    cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    txtSearch = new QLineEdit(this);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    txtSearch->setToolTip(QStringLiteral("Enter search string then click Search"));
    cmdSave = new QPushButton(QStringLiteral("Save"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    lblMsg = new QLabel(this);
    lblMsg->setObjectName(QStringLiteral("lblMsg"));
    lblMsg->setTextFormat(Qt::PlainText);
    txtDebug = new QPlainTextEdit(this);
    txtDebug->setObjectName(QStringLiteral("txtDebug"));
    txtDebug->setReadOnly(true);
    txtDebug->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtDebug->setFont(QFont(QStringLiteral("Courier New"), 9));
    txtDebug->setUndoRedoEnabled(false);

    place(cmdSearch, 60, 60, 855, 315);
    place(txtSearch, 960, 60, 3000, 315);
    place(cmdSave, 4020, 60, 855, 315);
    place(lblMsg, 4980, 100, 1800, 255);

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &frmDebug::Timer1_Timer);
    connect(cmdSearch, &QPushButton::clicked, this, &frmDebug::cmdSearch_Click);
    connect(txtSearch, &QLineEdit::returnPressed, this, &frmDebug::cmdSearch_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmDebug::cmdSave_Click);

    double top = stored(readSetting, "deTop");
    double left = stored(readSetting, "deLeft");
    double height = stored(readSetting, "deHeight");
    double width = stored(readSetting, "deWidth");
    if (top < 2000) {
        top = 100;
    }
    if (left < 2000) {
        left = 200;
    }
    height = std::max(height, 4500.0);
    width = std::max(width, 5500.0);
    setWindowTwips(QRectF(left, top, width, height));
    LayoutWindow();
}

void frmDebug::place(QWidget* control, double left, double top, double width, double height) {
    placements.place(control, left, top, width, height);
}

QRectF frmDebug::windowTwips() const {
    return placements.windowTwips();
}

void frmDebug::setWindowTwips(const QRectF& rect) {
    placements.setWindowTwips(rect);
}

void frmDebug::LayoutWindow() {
    const Twips t = placements.twips();
    const double w = t.fromPixels(width());
    // The outer height, as the stored sizes count it.
    const double h = t.fromPixels(frameGeometry().height());
    const double viewHeight = h > 2000 ? h - 850 : placements.placement(txtDebug).height();
    place(txtDebug, 0, 420, std::max(0.0, w - 115), std::max(0.0, viewHeight));
}

void frmDebug::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutWindow();
}

void frmDebug::closeEvent(QCloseEvent* event) {
    Q_EMIT closing();
    QWidget::closeEvent(event);
}

void frmDebug::appendBytes(std::string_view bytes, int startsReply, std::size_t expected) {
    if (startsReply > 0) {
        reply = startsReply;
        replyStart = buffer.size();
        // A large reply of known size is taken in without growing the text again and again.
        if (expected > 0) {
            buffer.reserve(buffer.size() + expected + expected / 32);
        }
    }
    decoding::AppendWindows1252AsUtf8(buffer, bytes);
    if (isVisible()) {
        syncView();
    }
}

void frmDebug::cutReply(int cut, std::string_view line) {
    if (cut > 0 && cut == std::exchange(reply, 0) && replyStart <= buffer.size()) {
        if (viewed > replyStart) {
            QTextCursor shown(txtDebug->document());
            shown.setPosition(static_cast<int>(viewPosition(replyStart)));
            shown.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            shown.removeSelectedText();
            viewed = replyStart;
            heldCR = false;
        }
        buffer.resize(replyStart);
        buffer.shrink_to_fit();
        searchFrom = std::min(searchFrom, buffer.size() + 1);
    }
    append(line);
}

void frmDebug::appendText(const QString& text) {
    append(text.toUtf8().toStdString());
}

void frmDebug::append(std::string_view utf8) {
    buffer.append(utf8);
    if (isVisible()) {
        syncView();
    }
}

void frmDebug::setBytes(std::string_view bytes) {
    setText(decoding::Windows1252ToUtf8(bytes));
}

void frmDebug::setText(std::string utf8) {
    buffer.swap(utf8); // the old text goes with utf8: an emptied buffer keeps no capacity
    heldCR = false;
    viewed = 0;
    reply = 0;
    txtDebug->clear();
    searchFrom = 1;
    if (isVisible()) {
        syncView();
    }
}

void frmDebug::syncView() {
    if (viewed >= buffer.size()) {
        return;
    }
    const QString text = viewText(std::string_view(buffer).substr(viewed), heldCR);
    viewed = buffer.size();
    if (text.isEmpty()) {
        return;
    }
    QTextCursor end(txtDebug->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
}

void frmDebug::showEvent(QShowEvent* event) {
    // A hidden window only collects bytes; the view catches up when it is shown.
    syncView();
    QWidget::showEvent(event);
}

std::size_t frmDebug::viewPosition(std::size_t bytePos) const {
    bytePos = std::min(bytePos, buffer.size());
    std::size_t pairs = 0;
    for (std::size_t at = buffer.find("\r\n"); at != std::string::npos && at + 1 < bytePos;
         at = buffer.find("\r\n", at + 2)) {
        ++pairs;
    }
    return utf16Units(std::string_view(buffer).substr(0, bytePos)) - pairs;
}

std::size_t frmDebug::selectionStart() const {
    const QTextCursor c = txtDebug->textCursor();
    // Back from view to buffer: count the line breaks before the selection.
    const std::size_t viewPos = static_cast<std::size_t>(c.selectionStart());
    std::size_t bytePos = 0;
    std::size_t view = 0;
    while (view < viewPos && bytePos < buffer.size()) {
        const auto b = static_cast<unsigned char>(buffer[bytePos]);
        if (b == '\r' && bytePos + 1 < buffer.size() && buffer[bytePos + 1] == '\n') {
            bytePos += 2;
            ++view;
            continue;
        }
        view += b >= 0xF0 ? 2 : 1;
        do {
            ++bytePos;
        } while (bytePos < buffer.size() &&
                 (static_cast<unsigned char>(buffer[bytePos]) & 0xC0) == 0x80);
    }
    return bytePos;
}

std::size_t frmDebug::selectionLength() const {
    const QTextCursor c = txtDebug->textCursor();
    return static_cast<std::size_t>(c.selectedText().toUtf8().size());
}

void frmDebug::cmdSearch_Click() {
    try {
        std::string wanted = txtSearch->text().toStdString();
        if (!wanted.empty() && wanted.back() == '\n') {
            wanted.pop_back();
        }
        if (!wanted.empty() && wanted.back() == '\r') {
            wanted.pop_back();
        }
        if (wanted.empty()) {
            return;
        }
        syncView();
        const std::size_t from = std::max<std::size_t>(searchFrom, 1) - 1;
        const std::size_t found =
            from <= buffer.size() ? buffer.find(wanted, from) : std::string::npos;
        std::size_t pos = 0; // 1-based, 0 when not found
        if (found != std::string::npos) {
            pos = found + 1;
            const std::size_t start = viewPosition(found);
            const std::size_t end = viewPosition(found + wanted.size());
            QTextCursor c(txtDebug->document());
            c.setPosition(static_cast<int>(start));
            c.setPosition(static_cast<int>(end), QTextCursor::KeepAnchor);
            txtDebug->setTextCursor(c);
            txtDebug->ensureCursorVisible();
        } else {
            lblMsg->setText(QStringLiteral("Not found"));
            countdown = 3;
            Timer1->start();
        }
        // After "Not found" the next search starts near the top again.
        searchFrom = std::max<std::size_t>(pos + wanted.size(), 1);
    } catch (const std::exception&) {
    }
}

void frmDebug::Timer1_Timer() {
    if (countdown < 1) {
        Timer1->stop();
        lblMsg->clear();
    } else {
        --countdown;
    }
}

void frmDebug::cmdSave_Click() {
    try {
        platform::FileDialogRequest request;
        request.filter =
            QStringLiteral("All Files (*.*)|*.*|Text Files") + QStringLiteral("(*.txt)|*.txt");
        request.filterIndex = 2;
        const std::optional<QString> path = platform::dialogs().saveFileName(this, request);
        if (!path) {
            return;
        }
        // Every line that ends with CR LF as it is; a last unfinished line of two characters or
        // more gets its CR LF. The file is Windows-1252, as the protocol bytes were, unless the
        // text holds a character that has no place there: then UTF-8, so nothing is lost.
        const std::size_t lastBreak = buffer.rfind("\r\n");
        const std::size_t completeEnd = lastBreak == std::string::npos ? 0 : lastBreak + 2;
        std::string out = buffer.substr(0, completeEnd);
        const std::string_view last = std::string_view(buffer).substr(completeEnd);
        if (utf16Units(last) >= 2) {
            out.append(last);
            out.append("\r\n");
        }
        const QString text = QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size()));
        if (platform::TextCodec::fromBytes(platform::TextCodec::toBytes(text)) == text) {
            out = platform::TextCodec::toBytes(text);
        }
        QFile file(*path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            return;
        }
        file.write(out.data(), static_cast<qint64>(out.size()));
        file.close();
    } catch (const std::exception&) {
    }
}
