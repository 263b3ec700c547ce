#pragma once

#include "platform/Twips.h"

#include <QRectF>
#include <QWidget>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

// The debug buffer window: the raw protocol data the session has seen, searchable and
// savable. It is created on first use and destroyed with its text when closed.
//
// The buffer is kept as UTF-8 text: protocol bytes are taken as Windows-1252 characters,
// while text such as a header row keeps every character it has. The view shows it with
// each CR LF as one line break, and only while the window is shown (a hidden window costs
// no text layout). Positions are byte offsets of any size.
class frmDebug : public QWidget {
    Q_OBJECT
public:
    // Reads a stored geometry value ("deTop", ...) as text; "" when missing.
    using SettingReader = std::function<std::string(const char* key)>;

    explicit frmDebug(QWidget* owner, const SettingReader& readSetting = {});

    QLineEdit* txtSearch = nullptr;
    QPushButton* cmdSearch = nullptr;
    QPushButton* cmdSave = nullptr;
    QLabel* lblMsg = nullptr;
    QPlainTextEdit* txtDebug = nullptr;
    QTimer* Timer1 = nullptr; // 1000 ms: takes "Not found" away again

    // --- The buffer -----------------------------------------------------------------------
    // Protocol bytes, one Windows-1252 character each; reply above 0: they begin that reply,
    // whose announced size (expected, 0: unknown) the buffer makes room for.
    void appendBytes(std::string_view bytes, int reply = 0, std::size_t expected = 0);
    // The bytes from where reply began leave the buffer and the view, and line (UTF-8) takes
    // their place; a reply that did not begin here only adds the line.
    void cutReply(int reply, std::string_view line);
    void setBytes(std::string_view bytes);
    void appendText(const QString& text);
    void setText(std::string utf8);
    // The buffer as UTF-8 text.
    const std::string& text() const { return buffer; }
    const std::string& bytes() const { return buffer; }

    // --- Commands -------------------------------------------------------------------------
    void cmdSearch_Click();
    void cmdSave_Click();
    void Timer1_Timer();

    // Where the next search starts (1-based, as the search counts).
    std::size_t searchStart() const { return searchFrom; }
    // The selection in the view, as a byte range of the buffer.
    std::size_t selectionStart() const;
    std::size_t selectionLength() const;

    // Outer position and client size in twips, as the settings store keeps them.
    QRectF windowTwips() const;
    void setWindowTwips(const QRectF& rect);
    void LayoutWindow();

Q_SIGNALS:
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void place(QWidget* control, double left, double top, double width, double height);
    platform::TwipsPlacement placements{*this};
    // Buffer offset -> view offset: every CR LF is a single line break in the view.
    std::size_t viewPosition(std::size_t bytePos) const;
    // Puts the bytes the view has not shown yet into it.
    void syncView();

    void append(std::string_view utf8);

    std::string buffer;
    std::size_t viewed = 0; // bytes of the buffer handed to the view
    bool heldCR = false;    // the view has not been given the buffer's trailing CR yet
    int reply = 0;          // the last reply begun, at replyStart
    std::size_t replyStart = 0;
    std::size_t searchFrom = 1;
    int countdown = 0;
};
