#pragma once

#include "decoding/MessageDecoder.h"
#include "decoding/MessageFields.h"
#include "html/BrowserState.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class AttachmentSaver;
class ClickableLabel;
class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPoint;
class QRadioButton;
class QWidget;
class frmQuoted;

namespace platform {
class BrowserView;
}

// Shows the downloaded message: the decoding onto the controls, the three view modes, the
// MIME part list, the HTML view and its upkeep, the Edit pop-up menu of the message view,
// and the quoted-text window the decoder writes to. It owns what it shows: the decoded
// message, the header fields of the message and the browser state.
class MessageView : public QObject {
    Q_OBJECT
public:
    // The controls it drives; the window keeps owning them.
    struct Controls {
        QWidget* window = nullptr; // dialogs' parent, pointer shape
        QRadioButton* btnText = nullptr;
        QRadioButton* btnHTML = nullptr;
        QRadioButton* btnAll = nullptr;
        QComboBox* lstViewAs = nullptr;
        QLabel* lblFrom = nullptr;
        QLabel* lblSubject = nullptr;
        ClickableLabel* lblAttachments = nullptr;
        QLabel* lblBrowser = nullptr;
        QLabel* lblStatus = nullptr;
        QPlainTextEdit* txtMsg = nullptr;
        QAction* mnShowHTML = nullptr;
        QAction* mnNoPictures = nullptr;
        QAction* mnClearEmailInIMGTag = nullptr;
        QAction* mnShowRemovedTags = nullptr;
        QAction* mnShowQuotedPrintable = nullptr;
        QAction* mnSaveAttachments = nullptr; // File menu: "Save Attachments…"
    };
    // What it needs from the rest of the window.
    struct Callbacks {
        std::function<void()> layout;                 // the window's layout operation
        std::function<std::string()> smtpDomain;      // the active account's mail domain
        std::function<void(const QString&)> showNote; // a short note the window clears later
        std::function<void(QWidget*)> browserCreated; // place the new browser view
    };

    MessageView(const Controls& controls, Callbacks callbacks);
    ~MessageView() override;

    // --- What the session and the file command hand over -----------------------------------
    // "Get Mail": nothing of the previous message stays on show.
    void clearMessage();
    // Just before a download: the view is emptied and set to Text.
    void beginDownload();
    // reply: a complete RETR reply (status line, dot-unstuffed message, end mark) or the text
    // of a message file. Picks the header fields, fills From, Subject and Attachments,
    // decodes and shows the message. The view keeps the message shared, not copied.
    void showDownloaded(std::shared_ptr<const std::string> reply);
    void showDownloaded(std::string reply);

    // --- Read access for replying and printing -----------------------------------------------
    const decoding::MessageFields& fields() const { return messageFields; }
    const decoding::DecodedMessage& decoded() const { return Decoded; }
    QString fromText() const;
    // The subject as the labels show it, whole.
    QString shownSubject() const;
    bool htmlShown() const;
    // The text the message view shows.
    QString shownText() const;
    // The HTML last shown, as plain text in its charset.
    QString BrowserText() const;
    const html::BrowserState& browserState() const { return Browser; }
    // The files of the message on show, and their saving.
    AttachmentSaver& attachments() { return *saver; }
    const std::string& removedTags() const { return Browser.RemovedTags; }

    // --- Decoding steps --------------------------------------------------------------------
    // Quietly selects the first part entry whose type is exactly partType.
    void SelectPartEntry(const std::string& partType);
    // Puts text into the message view, then runs the Text command.
    void ShowText(std::string_view text, const std::string& charset);
    // Filters, completes and shows html (in charset) in the browser view.
    void DisplayHTML(std::string_view html, const std::string& charset);

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

    // The browser view, or nullptr before the first HTML message.
    platform::BrowserView* browser() const;
    platform::BrowserView& ensureBrowser();
    // The quoted-text window, or nullptr when it is not open.
    frmQuoted* quotedWindow() const;
    frmQuoted& ensureQuoted();
    void closeQuoted();

Q_SIGNALS:
    // A message or an HTML text has been shown: what replying and printing read has changed.
    void shown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void wire();
    void createEditMenu();
    // Decodes raw and decides the charset of each part, once.
    void decode(std::shared_ptr<const std::string> raw);
    // Fills the part list and shows the decoded message.
    void show();
    void showHtml();
    // What the Text and HTML views show: the text is the part the user chose, else the
    // message's text; the HTML is the message's, or the text the user asked to see as HTML.
    const std::string& textToShow() const;
    const std::string& textToShowCharset() const;
    std::string_view htmlToShow() const;
    const std::string& htmlToShowCharset() const;
    // Empties the part list, the attachments line and the text view, back in Text mode.
    void emptyControls();
    // Selects one of the three view buttons without running its command.
    void setViewButtons(QRadioButton* selected);
    // Runs change on the part list with the list disabled, so that it runs no command.
    template <class Change> void quietly(QWidget* control, Change change);
    void showInTextView(std::string_view text, const std::string& charset);
    void hideBrowser();
    void showBrowserFailure(const QString& description);
    std::string partCharset(std::size_t partStart) const;

    Controls c;
    Callbacks callbacks;
    decoding::DecodedMessage Decoded;
    decoding::MessageFields messageFields;
    html::BrowserState Browser;
    QPointer<platform::BrowserView> view;
    QPointer<frmQuoted> quoted;
    AttachmentSaver* saver = nullptr;
    // The charset each text is shown in: the one its part (or the message) declares.
    std::string textCharset, htmlCharset, bodyCharset;
    std::vector<std::string> partCharsets; // one per record of the part list
    std::optional<std::string> chosen;     // the part the user chose, shown as the text
    std::string chosenCharset;
    enum class HtmlSource { Html, Text, Body };
    HtmlSource htmlFrom = HtmlSource::Html;
    std::string shownHtmlCharset; // of the HTML last shown
};
