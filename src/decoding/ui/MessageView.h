#pragma once

#include "decoding/MessageDecoder.h"

#include <QObject>
#include <QPointer>
#include <array>
#include <string>

class QAction;
class QMenu;
class QPoint;
class QRadioButton;
class frmPOP;
class frmQuoted;

namespace platform {
class BrowserView;
}

// Shows the downloaded message: the decoding onto the controls, the three view modes, the
// MIME part list, the HTML view and its upkeep, the Edit pop-up menu of the message view,
// and the quoted-text window the decoder writes to.
class MessageView : public QObject {
    Q_OBJECT
public:
    explicit MessageView(frmPOP& window);
    ~MessageView() override;

    // --- Decoded-message state ------------------------------------------------------------
    decoding::DecodedMessage Decoded;
    decoding::Boundaries PartBoundaries; // kept from one message to the next

    // Decodes window.Session.ReceiveBuffer and shows it.
    void DecodeMessage();
    // What the session asks of the view (MessageViewSession.cpp).
    void clearMessage();
    void beginDownload();
    void showDownloaded(std::string reply);
    const std::string& removedTags() const;
    // Quietly selects the first part entry whose type is exactly partType.
    void SelectPartEntry(const std::string& partType);
    // Puts text into the message view, then runs the Text command.
    void ShowText(const std::string& text);
    // Filters, completes and shows html in the browser view.
    void DisplayHTML(const std::string& html);

    // --- The user's commands (each does nothing while its control is disabled) -------------
    void TextCommand();
    void HtmlCommand();
    void AllCommand();
    void PartChosen();
    void AttachmentsDoubleClick();
    // "Clear Suspicious IMG tags": the removed-tags log is offered only with the option on.
    void ClearEmailInIMGTagCommand();
    // "Show Quoted-Printable".
    void ShowQuotedPrintable();

    // The browser upkeep step of the window timer.
    void BrowserUpkeep();

    // --- Edit pop-up menu of the message view -------------------------------------------------
    QMenu* mnEditMain = nullptr;
    std::array<QAction*, 6> mnEdit{};
    void ShowEditMenu(const QPoint& globalPos);
    // Sends edit request `index` (0 undo, 2 cut, 3 copy, 4 paste, 5 delete) to the focused
    // text control; anything else beeps.
    void EditRequest(int index);

    // The HTML last shown, as plain text in its charset: what printing and replying use.
    QString BrowserText() const;

    // The browser view, or nullptr before the first HTML message.
    platform::BrowserView* browser() const;
    platform::BrowserView& ensureBrowser();
    // The quoted-text window, or nullptr when it is not open.
    frmQuoted* quotedWindow() const;
    frmQuoted& ensureQuoted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void wire();
    void createEditMenu();
    // Selects one of the three view buttons without running its command.
    void setViewButtons(QRadioButton* selected);
    // Runs change on the part list with the list disabled, so that it runs no command.
    template <class Change> void quietly(QWidget* control, Change change);
    void showInTextView(const std::string& text, const std::string& charset);
    void hideBrowser();
    void showBrowserFailure(const QString& description);
    std::string partCharset(std::size_t partStart) const;

    frmPOP& window;
    QPointer<platform::BrowserView> view;
    QPointer<frmQuoted> quoted;
    // The charset each text is shown in: the one its part (or the message) declares.
    std::string textCharset, htmlCharset, bodyCharset;
};
