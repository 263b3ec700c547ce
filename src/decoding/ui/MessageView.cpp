#include "decoding/ui/MessageView.h"

#include "decoding/Charset.h"
#include "decoding/TextSearch.h"
#include "decoding/ui/AttachmentSaver.h"
#include "decoding/ui/frmQuoted.h"
#include "html/HtmlPrepare.h"
#include "html/HtmlToText.h"
#include "platform/BrowserView.h"
#include "platform/ClickableLabel.h"
#include "platform/Dialogs.h"
#include "platform/TextCodec.h"
#include "session/RetrFields.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextEdit>
#include <exception>
#include <type_traits>

namespace {

const QString kTotallyEmpty = QStringLiteral("Message is totally empty of text or HTML");

// Message bytes as text, in the charset their part declares.
QString bytesToText(std::string_view bytes, const std::string& charset) {
    QString text = platform::TextCodec::decode(bytes, charset);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

// Assigning a string that fits in its own small buffer keeps the target's capacity: a large
// message would stay allocated behind a small one. Moving out first frees it.
template <class T> void replace(T& value, T fresh) {
    T old = std::move(value);
    value = std::move(fresh);
}

} // namespace

MessageView::MessageView(const Controls& controls, Callbacks callbacks)
    : c(controls), callbacks(std::move(callbacks)) {
    saver = new AttachmentSaver({c.window, c.lblAttachments, c.mnSaveAttachments});
    saver->setParent(this);
    createEditMenu();
    wire();
}

MessageView::~MessageView() {
    // The browser view may outlive this object by a moment; it asks it for nothing more.
    if (view) {
        view->setPictureSource({});
    }
}

void MessageView::wire() {
    connect(c.btnText, &QRadioButton::clicked, this, [this] { TextCommand(); });
    connect(c.btnHTML, &QRadioButton::clicked, this, [this] { HtmlCommand(); });
    connect(c.btnAll, &QRadioButton::clicked, this, [this] { AllCommand(); });
    connect(c.lstViewAs, &QComboBox::activated, this, [this] { PartChosen(); });
    connect(c.lblAttachments, &ClickableLabel::doubleClicked, this,
            [this] { AttachmentsDoubleClick(); });
    connect(c.mnClearEmailInIMGTag, &QAction::triggered, this,
            [this] { ClearEmailInIMGTagCommand(); });
    connect(c.mnShowQuotedPrintable, &QAction::triggered, this, [this] { ShowQuotedPrintable(); });
    // The browser reports link addresses as they are: never read as markup.
    c.lblBrowser->setTextFormat(Qt::PlainText);
    c.txtMsg->viewport()->installEventFilter(this);
}

// --- What the session hands over ----------------------------------------------------------

void MessageView::emptyControls() {
    c.txtMsg->clear();
    setViewButtons(c.btnText);
    hideBrowser();
    c.txtMsg->show();
    quietly(c.lstViewAs, [&] { c.lstViewAs->clear(); });
    c.lblAttachments->clear();
    c.lblBrowser->clear();
}

void MessageView::clearMessage() {
    replace(Decoded, {});
    chosen.reset();
    htmlFrom = HtmlSource::Html;
    saver->clear();
    messageFields = decoding::MessageFields{};
    Browser.RemovedTags.clear();
    c.lblFrom->clear();
    c.lblSubject->clear();
    const bool hadAttachments = !c.lblAttachments->text().isEmpty();
    const bool wasHtml = c.btnHTML->isChecked();
    c.txtMsg->clear();
    quietly(c.lstViewAs, [&] { c.lstViewAs->clear(); });
    c.lblAttachments->clear();
    c.lblBrowser->clear();
    if (wasHtml) {
        setViewButtons(c.btnText);
        hideBrowser();
        c.txtMsg->show();
    }
    if (hadAttachments) {
        callbacks.layout();
    }
}

void MessageView::beginDownload() {
    Decoded.MsgBody = {};
    Decoded.BodyStore.reset();
    saver->clear();
    Browser.RemovedTags.clear();
    messageFields.ReplyToField.clear();
    messageFields.XSenderField.clear();
    messageFields.ApparentlyToField.clear();
    messageFields.CcField.clear();
    const bool hadAttachments = !c.lblAttachments->text().isEmpty();
    emptyControls();
    if (hadAttachments) {
        callbacks.layout();
    }
}

void MessageView::showDownloaded(std::string reply) {
    showDownloaded(std::make_shared<const std::string>(std::move(reply)));
}

void MessageView::showDownloaded(std::shared_ptr<const std::string> reply) {
    if (!reply) {
        reply = std::make_shared<const std::string>();
    }
    // Each label counts after a line break; a message file has none before its first line.
    session::StoreRetrFields(session::PickRetrFields(*reply, true), messageFields);
    c.lblFrom->setText(fromText());
    c.lblBrowser->clear();
    decode(reply);
    saver->setMessage(std::move(reply));
    // A new message: nothing of the one before stays on its lines. One layout places the
    // subject and the attachments line.
    c.lblAttachments->setText(saver->attachmentsLine());
    callbacks.layout();
    show();
    Q_EMIT shown();
}

QString MessageView::fromText() const {
    return platform::TextCodec::headerText(messageFields.FromAddress);
}

QString MessageView::shownSubject() const {
    return platform::TextCodec::headerText(messageFields.FromSubject);
}

bool MessageView::htmlShown() const {
    return c.btnHTML->isChecked();
}

QString MessageView::shownText() const {
    return c.txtMsg->toPlainText();
}

// --- Decoding -----------------------------------------------------------------------------

std::string MessageView::partCharset(std::size_t partStart) const {
    if (partStart >= Decoded.MsgBody.size()) {
        return {};
    }
    return decoding::FindCharset(std::string_view(Decoded.MsgBody).substr(partStart));
}

void MessageView::decode(std::shared_ptr<const std::string> raw) {
    // Each message is cut by the boundaries it declares itself, so that it shows the same
    // whatever was read before it.
    decoding::Boundaries boundaries;
    replace(Decoded, {});
    Decoded = decoding::DecodeMessage(std::move(raw), c.mnShowHTML->isChecked(), boundaries);
    chosen.reset();
    htmlFrom = HtmlSource::Html;
    if (Decoded.BodyDecodedQP) {
        ensureQuoted().setText(platform::TextCodec::fromBytes(Decoded.QPText));
    }

    // The charset of each part is decided once: a single part's is in the message header; in
    // a multipart message each listed part carries its own, and the first plain and the first
    // HTML part are the message's text and HTML.
    const bool multipart = Decoded.MsgParts.size() > 1;
    bodyCharset = multipart ? std::string() : decoding::FindCharset(Decoded.MsgHeader);
    textCharset = htmlCharset = bodyCharset;
    partCharsets.assign(Decoded.MsgParts.size(), std::string());
    for (std::size_t i = 0; i + 1 < Decoded.MsgParts.size(); ++i) {
        partCharsets[i] = partCharset(Decoded.MsgParts[i].Start);
    }
    if (multipart) {
        const auto first = [&](std::string_view marker) {
            const std::size_t at = decoding::FindTextNoCase(Decoded.MsgBody, marker);
            for (std::size_t i = 0; i + 1 < Decoded.MsgParts.size(); ++i) {
                if (Decoded.MsgParts[i].Start == at) {
                    return partCharsets[i];
                }
            }
            return partCharset(at);
        };
        textCharset = first("CONTENT-TYPE: TEXT/PLAIN");
        htmlCharset = first("CONTENT-TYPE: TEXT/HTML");
    }
}

void MessageView::show() {
    quietly(c.lstViewAs, [&] {
        c.lstViewAs->clear();
        QStringList entries;
        entries.reserve(qsizetype(Decoded.PartEntries.size()));
        for (const std::string& entry : Decoded.PartEntries) {
            entries << platform::TextCodec::fromBytes(entry);
        }
        c.lstViewAs->addItems(entries);
        if (c.lstViewAs->count() > 0) {
            c.lstViewAs->setCurrentIndex(0);
        }
    });

    switch (decoding::ViewToShow(Decoded)) {
    case decoding::DecodedView::Html:
        SelectPartEntry("text/html");
        showHtml();
        break;
    case decoding::DecodedView::Text:
        SelectPartEntry("text/plain");
        ShowText(Decoded.MsgText, textCharset);
        break;
    case decoding::DecodedView::Body:
        ShowText(Decoded.MsgBody, bodyCharset);
        break;
    }
}

void MessageView::SelectPartEntry(const std::string& partType) {
    const std::size_t i = decoding::FindPartEntry(Decoded, partType);
    if (i == std::string::npos || int(i) >= c.lstViewAs->count()) {
        return;
    }
    quietly(c.lstViewAs, [&] { c.lstViewAs->setCurrentIndex(int(i)); });
}

void MessageView::ShowText(std::string_view text, const std::string& charset) {
    // The Text command shows the same text again; it is converted once.
    if (!c.btnText->isEnabled()) {
        showInTextView(text, charset);
    }
    TextCommand();
}

const std::string& MessageView::textToShow() const {
    return chosen ? *chosen : Decoded.MsgText;
}

const std::string& MessageView::textToShowCharset() const {
    return chosen ? chosenCharset : textCharset;
}

std::string_view MessageView::htmlToShow() const {
    switch (htmlFrom) {
    case HtmlSource::Text:
        return textToShow();
    case HtmlSource::Body:
        return Decoded.MsgBody;
    case HtmlSource::Html:
        break;
    }
    return Decoded.MsgHTML;
}

const std::string& MessageView::htmlToShowCharset() const {
    switch (htmlFrom) {
    case HtmlSource::Text:
        return textToShowCharset();
    case HtmlSource::Body:
        return bodyCharset;
    case HtmlSource::Html:
        break;
    }
    return htmlCharset;
}

// --- View commands ------------------------------------------------------------------------

template <class Change> void MessageView::quietly(QWidget* control, Change change) {
    control->setEnabled(false);
    change();
    control->setEnabled(true);
}

void MessageView::setViewButtons(QRadioButton* selected) {
    QRadioButton* const buttons[] = {c.btnText, c.btnHTML, c.btnAll};
    for (QRadioButton* b : buttons) {
        b->setEnabled(false);
    }
    selected->setChecked(true);
    for (QRadioButton* b : buttons) {
        b->setEnabled(true);
    }
}

void MessageView::showInTextView(std::string_view text, const std::string& charset) {
    c.txtMsg->setPlainText(platform::ForTextView(bytesToText(text, charset)));
}

void MessageView::hideBrowser() {
    if (view) {
        view->hide();
    }
}

void MessageView::TextCommand() {
    if (!c.btnText->isEnabled()) {
        return;
    }
    setViewButtons(c.btnText);
    hideBrowser();
    if (!textToShow().empty()) {
        showInTextView(textToShow(), textToShowCharset());
    } else if (!htmlToShow().empty()) {
        showInTextView(htmlToShow(), htmlToShowCharset());
    } else if (!Decoded.MsgBody.empty()) {
        showInTextView(Decoded.MsgBody, bodyCharset);
    } else {
        platform::dialogs().messageBox(c.window, kTotallyEmpty);
    }
    c.txtMsg->show();
    c.txtMsg->setFocus();
}

void MessageView::HtmlCommand() {
    if (!c.btnHTML->isEnabled()) {
        return;
    }
    if (htmlToShow().empty()) {
        const platform::MsgAnswer answer = platform::dialogs().messageBox(
            c.window, QStringLiteral("Message does not contain HTML, display text as HTML anyhow?"),
            platform::MsgButtons::YesNo);
        if (answer != platform::MsgAnswer::Yes) {
            setViewButtons(c.btnText);
            c.txtMsg->setFocus();
            return;
        }
        if (!textToShow().empty()) {
            htmlFrom = HtmlSource::Text;
        } else if (!Decoded.MsgBody.empty()) {
            htmlFrom = HtmlSource::Body;
        } else {
            platform::dialogs().messageBox(c.window, kTotallyEmpty);
            c.txtMsg->setFocus();
            return;
        }
    }
    setViewButtons(c.btnHTML);
    c.txtMsg->hide();
    showHtml();
    Q_EMIT shown();
}

void MessageView::AllCommand() {
    if (!c.btnAll->isEnabled()) {
        return;
    }
    setViewButtons(c.btnAll);
    hideBrowser();
    std::string all;
    all.reserve(Decoded.MsgHeader.size() + Decoded.MsgBody.size());
    all.append(Decoded.MsgHeader).append(Decoded.MsgBody);
    // The message as received: no charset applies to header and body together.
    showInTextView(all, std::string());
    c.txtMsg->show();
    c.txtMsg->setFocus();
}

QString MessageView::BrowserText() const {
    const std::string& html = Browser.BrowserHTML;
    return platform::TextCodec::decode(modHTML2txt::HTML2txt(html),
                                       platform::TextCodec::htmlCharset(html, shownHtmlCharset));
}

void MessageView::PartChosen() {
    if (!c.lstViewAs->isEnabled()) {
        return;
    }
    const int i = c.lstViewAs->currentIndex();
    if (i < 0) {
        return;
    }
    const std::size_t index = std::size_t(i);
    std::string content = decoding::PartContent(Decoded, index);
    const bool hasRecord = index < partCharsets.size();
    const std::string& charset = hasRecord ? partCharsets[index] : bodyCharset;
    showInTextView(content, hasRecord ? charset : std::string());
    if (hasRecord && Decoded.MsgParts[index].PartType == "text/html") {
        HtmlCommand();
        return;
    }
    // The chosen part is the text from now on; the decoded message stays as it was.
    chosen = std::move(content);
    chosenCharset = hasRecord ? charset : std::string();
    TextCommand();
}

void MessageView::AttachmentsDoubleClick() {
    platform::dialogs().messageBox(c.window, QStringLiteral("yes"));
}

void MessageView::ClearEmailInIMGTagCommand() {
    c.mnShowRemovedTags->setEnabled(c.mnClearEmailInIMGTag->isChecked());
}

// --- HTML view ----------------------------------------------------------------------------

platform::BrowserView* MessageView::browser() const {
    return view.data();
}

platform::BrowserView& MessageView::ensureBrowser() {
    if (!view) {
        auto* created = new platform::BrowserView(c.txtMsg->parentWidget());
        created->setObjectName(QStringLiteral("WebBrowser1"));
        created->hide();
        connect(created, &platform::BrowserView::statusTextChanged, this,
                [this](const QString& text) { c.lblBrowser->setText(text); });
        connect(created, &platform::BrowserView::downloadBegun, this,
                [this] { c.window->setCursor(Qt::WaitCursor); });
        connect(created, &platform::BrowserView::downloadComplete, this,
                [this] { c.window->unsetCursor(); });
        connect(created, &platform::BrowserView::documentComplete, this,
                [this] { c.window->unsetCursor(); });
        // Pictures the HTML refers to by cid: come from the message on show.
        created->setPictureSource([this](const QString& reference, bool cid) {
            std::optional<platform::BrowserView::InlinePicture> found;
            if (auto picture = saver->picture(reference, cid)) {
                found = {std::move(picture->contentType), std::move(picture->bytes)};
            }
            return found;
        });
        view = created;
        if (callbacks.browserCreated) {
            callbacks.browserCreated(created);
        }
    }
    return *view;
}

void MessageView::showHtml() {
    DisplayHTML(htmlToShow(), htmlToShowCharset());
}

void MessageView::DisplayHTML(std::string_view html, const std::string& charset) {
    if (html.empty()) {
        Browser.BrowserHTML.clear();
        platform::dialogs().messageBox(c.window, QStringLiteral("Message empty"));
        return;
    }
    try {
        html::HtmlOptions options;
        options.NoPictures = c.mnNoPictures->isChecked();
        options.ClearEmailInIMGTag = c.mnClearEmailInIMGTag->isChecked();
        options.SMTPDomain = callbacks.smtpDomain ? callbacks.smtpDomain() : std::string();
        // The HTML is copied twice on its way: prepared, then converted for the browser.
        html::PreparedHtml prepared = html::PrepareHTML(html, options);
        Browser.RemovedTags += prepared.RemovedTags;
        if (prepared.LinkRemoved) {
            if (callbacks.showNote) {
                callbacks.showNote(QStringLiteral("Link removed from IMG tag"));
            }
        }
        Browser.BrowserHTML = std::move(prepared.BrowserHTML);
        shownHtmlCharset = charset;

        setViewButtons(c.btnHTML);
        Browser.BrowserUsed = true;
        c.window->setCursor(Qt::WaitCursor);

        platform::BrowserView& b = ensureBrowser();
        b.setBlockRemoteContent(options.NoPictures);
        b.show();
        b.raise();
        c.txtMsg->hide();
        // Given as UTF-8, so that the browser reads the text exactly as the text view does.
        b.showDocument(platform::TextCodec::htmlForBrowser(Browser.BrowserHTML, charset),
                       QByteArrayLiteral("utf-8"));
        b.setFocus();
    } catch (const std::exception& e) {
        showBrowserFailure(QString::fromLocal8Bit(e.what()));
    }
}

void MessageView::showBrowserFailure(const QString& description) {
    c.window->unsetCursor();
    platform::dialogs().messageBox(c.window, QStringLiteral("Error opening browser ") +
                                                 description + QStringLiteral(" 0"));
    hideBrowser();
    setViewButtons(c.btnText);
    Browser.BrowserHTML.clear();
    // The message stays readable as text.
    c.txtMsg->show();
}

void MessageView::BrowserUpkeep() {
    if (!view) {
        return;
    }
    if (Browser.BrowserUsed && !view->isBusy()) {
        c.window->unsetCursor();
    }
    if (c.btnHTML->isChecked()) {
        // A message written into the view has no address of its own; only a real one is
        // worth the status line.
        const QString address = view->currentAddress();
        if (!address.isEmpty() && address != QLatin1String("http:///")) {
            c.lblStatus->setText(address);
        }
    }
}

// --- Quoted-text window ---------------------------------------------------------------------

frmQuoted* MessageView::quotedWindow() const {
    return quoted.data();
}

frmQuoted& MessageView::ensureQuoted() {
    if (!quoted) {
        quoted = new frmQuoted(c.window);
    }
    return *quoted;
}

void MessageView::closeQuoted() {
    if (quoted) {
        quoted->close();
    }
}

void MessageView::ShowQuotedPrintable() {
    frmQuoted& q = ensureQuoted();
    q.show();
    q.raise();
    q.activateWindow();
}

// --- Edit pop-up menu -----------------------------------------------------------------------

void MessageView::createEditMenu() {
    mnEditMain = new QMenu(QStringLiteral("Edit"), c.window);
    mnEditMain->setObjectName(QStringLiteral("mnEditMain"));
    struct Item {
        const char* caption;
        QKeySequence shortcut;
    };
    const Item items[] = {
        {"Undo", {}},
        {"-", {}},
        {"Cu&t", QKeySequence(Qt::CTRL | Qt::Key_T)},
        {"&Copy", QKeySequence(Qt::CTRL | Qt::Key_C)},
        {"&Paste", QKeySequence(Qt::CTRL | Qt::Key_P)},
        {"&Delete", QKeySequence(Qt::CTRL | Qt::Key_D)},
    };
    for (std::size_t i = 0; i < mnEdit.size(); ++i) {
        QAction* a = QLatin1String(items[i].caption) == QLatin1String("-")
                         ? mnEditMain->addSeparator()
                         : mnEditMain->addAction(QString::fromLatin1(items[i].caption));
        a->setObjectName(QStringLiteral("mnEdit"));
        a->setData(int(i));
        a->setShortcut(items[i].shortcut);
        // The shortcuts belong to the open menu; Ctrl+P stays the window's Print.
        a->setShortcutContext(Qt::WidgetShortcut);
        mnEdit[i] = a;
    }
}

void MessageView::ShowEditMenu(const QPoint& globalPos) {
    QAction* chosen = platform::dialogs().popupMenu(*mnEditMain, globalPos);
    if (chosen) {
        EditRequest(chosen->data().toInt());
    }
}

namespace {

// Sends edit request index to a text control of any of Qt's kinds; false for a gap index.
template <class Edit> bool SendEditRequest(Edit* edit, int index) {
    switch (index) {
    case 0:
        edit->undo();
        return true;
    case 2:
        edit->cut();
        return true;
    case 3:
        edit->copy();
        return true;
    case 4:
        edit->paste();
        return true;
    case 5:
        if (!edit->isReadOnly()) {
            if constexpr (std::is_same_v<Edit, QLineEdit>) {
                if (edit->hasSelectedText()) {
                    edit->del();
                }
            } else {
                edit->textCursor().removeSelectedText();
            }
        }
        return true;
    }
    return false;
}

} // namespace

void MessageView::EditRequest(int index) {
    QWidget* focused = QApplication::focusWidget();
    bool sent = false;
    if (auto* plain = qobject_cast<QPlainTextEdit*>(focused)) {
        sent = SendEditRequest(plain, index);
    } else if (auto* rich = qobject_cast<QTextEdit*>(focused)) {
        sent = SendEditRequest(rich, index);
    } else if (auto* line = qobject_cast<QLineEdit*>(focused)) {
        sent = SendEditRequest(line, index);
    }
    if (!sent) {
        QApplication::beep();
    }
}

bool MessageView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == c.txtMsg->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            ShowEditMenu(mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
