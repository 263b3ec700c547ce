#include "decoding/ui/MessageView.h"

#include "decoding/Charset.h"
#include "decoding/TextSearch.h"
#include "html/HtmlPrepare.h"
#include "html/HtmlToText.h"
#include "platform/BrowserView.h"
#include "platform/ClickableLabel.h"
#include "platform/Dialogs.h"
#include "platform/TextCodec.h"
#include "reader/ui/frmPOP.h"
#include "session/ui/frmQuoted.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextEdit>
#include <QTimer>
#include <exception>

namespace {

const QString kTotallyEmpty = QStringLiteral("Message is totally empty of text or HTML");

// Message bytes as text, in the charset their part declares.
QString bytesToText(std::string_view bytes, const std::string& charset) {
    QString text = platform::TextCodec::decode(bytes, charset);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

} // namespace

MessageView::MessageView(frmPOP& window) : window(window) {
    createEditMenu();
    wire();
}

MessageView::~MessageView() = default;

void MessageView::wire() {
    connect(window.btnText, &QRadioButton::clicked, this, [this] { TextCommand(); });
    connect(window.btnHTML, &QRadioButton::clicked, this, [this] { HtmlCommand(); });
    connect(window.btnAll, &QRadioButton::clicked, this, [this] { AllCommand(); });
    connect(window.lstViewAs, &QComboBox::activated, this, [this] { PartChosen(); });
    connect(window.lblAttachments, &ClickableLabel::doubleClicked, this,
            [this] { AttachmentsDoubleClick(); });
    connect(window.mnClearEmailInIMGTag, &QAction::triggered, this,
            [this] { ClearEmailInIMGTagCommand(); });
    connect(window.mnShowQuotedPrintable, &QAction::triggered, this,
            [this] { ShowQuotedPrintable(); });
    connect(window.Timer1, &QTimer::timeout, this, [this] { BrowserUpkeep(); });
    connect(&window, &frmPOP::unloading, this, [this] {
        if (quoted) {
            quoted->close();
        }
    });
    window.txtMsg->viewport()->installEventFilter(this);
}

// --- Decoding -----------------------------------------------------------------------------

std::string MessageView::partCharset(std::size_t partStart) const {
    if (partStart >= Decoded.MsgBody.size()) {
        return {};
    }
    return decoding::FindCharset(std::string_view(Decoded.MsgBody).substr(partStart));
}

void MessageView::DecodeMessage() {
    Decoded = decoding::DecodeMessage(window.Session.ReceiveBuffer, window.mnShowHTML->isChecked(),
                                      PartBoundaries);
    if (Decoded.BodyDecodedQP) {
        ensureQuoted().setText(platform::TextCodec::fromBytes(Decoded.QPText));
    }

    // Which charset each text is in: a single part's is in the message header; in a
    // multipart message the first plain and the first HTML part carry their own.
    const std::string headerCharset = decoding::FindCharset(Decoded.MsgHeader);
    const bool multipart = Decoded.MsgParts.size() > 1;
    bodyCharset = multipart ? std::string() : headerCharset;
    textCharset = htmlCharset = bodyCharset;
    if (multipart) {
        const auto first = [&](std::string_view marker) {
            return partCharset(decoding::FindTextNoCase(Decoded.MsgBody, marker));
        };
        textCharset = first("CONTENT-TYPE: TEXT/PLAIN");
        htmlCharset = first("CONTENT-TYPE: TEXT/HTML");
    }

    quietly(window.lstViewAs, [&] {
        window.lstViewAs->clear();
        QStringList entries;
        entries.reserve(qsizetype(Decoded.PartEntries.size()));
        for (const std::string& entry : Decoded.PartEntries) {
            entries << platform::TextCodec::fromBytes(entry);
        }
        window.lstViewAs->addItems(entries);
    });

    if (!Decoded.Attachments.empty()) {
        window.lblAttachments->setText(
            window.lblAttachments->text() +
            QString::fromStdString(decoding::DecodeEncodedWords(
                Decoded.Attachments, platform::TextCodec::charsetToUtf8)));
    }
    if (!window.lblAttachments->text().isEmpty()) {
        window.LayoutWindow();
    }
    quietly(window.lstViewAs, [&] {
        if (window.lstViewAs->count() > 0) {
            window.lstViewAs->setCurrentIndex(0);
        }
    });

    switch (decoding::ViewToShow(Decoded)) {
    case decoding::DecodedView::Html:
        SelectPartEntry("text/html");
        DisplayHTML(Decoded.MsgHTML);
        break;
    case decoding::DecodedView::Text:
        SelectPartEntry("text/plain");
        ShowText(Decoded.MsgText);
        break;
    case decoding::DecodedView::Body:
        ShowText(Decoded.MsgBody);
        break;
    }
}

void MessageView::SelectPartEntry(const std::string& partType) {
    const std::size_t i = decoding::FindPartEntry(Decoded, partType);
    if (i == std::string::npos || int(i) >= window.lstViewAs->count()) {
        return;
    }
    quietly(window.lstViewAs, [&] { window.lstViewAs->setCurrentIndex(int(i)); });
}

void MessageView::ShowText(const std::string& text) {
    const std::string& charset = (&text == &Decoded.MsgHTML)   ? htmlCharset
                                 : (&text == &Decoded.MsgBody) ? bodyCharset
                                                               : textCharset;
    showInTextView(text, charset);
    TextCommand();
}

// --- View commands ------------------------------------------------------------------------

template <class Change> void MessageView::quietly(QWidget* control, Change change) {
    control->setEnabled(false);
    change();
    control->setEnabled(true);
}

void MessageView::setViewButtons(QRadioButton* selected) {
    QRadioButton* const buttons[] = {window.btnText, window.btnHTML, window.btnAll};
    for (QRadioButton* b : buttons) {
        b->setEnabled(false);
    }
    selected->setChecked(true);
    for (QRadioButton* b : buttons) {
        b->setEnabled(true);
    }
}

void MessageView::showInTextView(const std::string& text, const std::string& charset) {
    window.txtMsg->setPlainText(bytesToText(text, charset));
}

void MessageView::hideBrowser() {
    if (view) {
        view->hide();
    }
}

void MessageView::TextCommand() {
    if (!window.btnText->isEnabled()) {
        return;
    }
    setViewButtons(window.btnText);
    hideBrowser();
    if (!Decoded.MsgText.empty()) {
        showInTextView(Decoded.MsgText, textCharset);
    } else if (!Decoded.MsgHTML.empty()) {
        showInTextView(Decoded.MsgHTML, htmlCharset);
    } else if (!Decoded.MsgBody.empty()) {
        showInTextView(Decoded.MsgBody, bodyCharset);
    } else {
        platform::dialogs().messageBox(&window, kTotallyEmpty);
    }
    window.txtMsg->show();
    window.txtMsg->setFocus();
}

void MessageView::HtmlCommand() {
    if (!window.btnHTML->isEnabled()) {
        return;
    }
    if (Decoded.MsgHTML.empty()) {
        const platform::MsgAnswer answer = platform::dialogs().messageBox(
            &window, QStringLiteral("Message does not contain HTML, display text as HTML anyhow?"),
            platform::MsgButtons::YesNo);
        if (answer != platform::MsgAnswer::Yes) {
            setViewButtons(window.btnText);
            window.txtMsg->setFocus();
            return;
        }
        if (!Decoded.MsgText.empty()) {
            Decoded.MsgHTML = Decoded.MsgText;
            htmlCharset = textCharset;
        } else if (!Decoded.MsgBody.empty()) {
            Decoded.MsgHTML = Decoded.MsgBody;
            htmlCharset = bodyCharset;
        } else {
            platform::dialogs().messageBox(&window, kTotallyEmpty);
            window.txtMsg->setFocus();
            return;
        }
    }
    setViewButtons(window.btnHTML);
    window.txtMsg->hide();
    DisplayHTML(Decoded.MsgHTML);
}

void MessageView::AllCommand() {
    if (!window.btnAll->isEnabled()) {
        return;
    }
    setViewButtons(window.btnAll);
    hideBrowser();
    std::string all;
    all.reserve(Decoded.MsgHeader.size() + Decoded.MsgBody.size());
    all.append(Decoded.MsgHeader).append(Decoded.MsgBody);
    // The message as received: no charset applies to header and body together.
    showInTextView(all, std::string());
    window.txtMsg->show();
    window.txtMsg->setFocus();
}

QString MessageView::BrowserText() const {
    const std::string& html = window.Browser.BrowserHTML;
    return platform::TextCodec::decode(modHTML2txt::HTML2txt(html),
                                       platform::TextCodec::htmlCharset(html, htmlCharset));
}

void MessageView::PartChosen() {
    if (!window.lstViewAs->isEnabled()) {
        return;
    }
    const int i = window.lstViewAs->currentIndex();
    if (i < 0) {
        return;
    }
    const std::size_t index = std::size_t(i);
    const std::string content = decoding::PartContent(Decoded, index);
    const bool hasRecord = index < Decoded.MsgParts.size();
    const std::string charset =
        hasRecord ? partCharset(Decoded.MsgParts[index].Start) : std::string();
    showInTextView(content, charset);
    if (hasRecord && Decoded.MsgParts[index].PartType == "text/html") {
        HtmlCommand();
        return;
    }
    Decoded.MsgText = content;
    textCharset = charset;
    TextCommand();
}

void MessageView::AttachmentsDoubleClick() {
    platform::dialogs().messageBox(&window, QStringLiteral("yes"));
}

void MessageView::ClearEmailInIMGTagCommand() {
    window.mnShowRemovedTags->setEnabled(window.mnClearEmailInIMGTag->isChecked());
}

// --- HTML view ----------------------------------------------------------------------------

platform::BrowserView* MessageView::browser() const {
    return view.data();
}

platform::BrowserView& MessageView::ensureBrowser() {
    if (!view) {
        auto* created = new platform::BrowserView(window.txtMsg->parentWidget());
        created->setObjectName(QStringLiteral("WebBrowser1"));
        created->hide();
        connect(created, &platform::BrowserView::statusTextChanged, this,
                [this](const QString& text) { window.lblBrowser->setText(text); });
        connect(created, &platform::BrowserView::downloadBegun, this,
                [this] { window.setCursor(Qt::WaitCursor); });
        connect(created, &platform::BrowserView::downloadComplete, this,
                [this] { window.unsetCursor(); });
        connect(created, &platform::BrowserView::documentComplete, this,
                [this] { window.unsetCursor(); });
        view = created;
        window.WebBrowser1 = created;
        const QRectF r = window.placement(window.txtMsg);
        window.place(created, r.left(), r.top(), r.width(), r.height());
    }
    return *view;
}

void MessageView::DisplayHTML(const std::string& html) {
    window.Browser.BrowserHTML = html;
    if (html.empty()) {
        platform::dialogs().messageBox(&window, QStringLiteral("Message empty"));
        return;
    }
    try {
        html::HtmlOptions options;
        options.NoPictures = window.mnNoPictures->isChecked();
        options.ClearEmailInIMGTag = window.mnClearEmailInIMGTag->isChecked();
        options.SMTPDomain = window.Account.SMTPDomain;
        html::PreparedHtml prepared = html::PrepareHTML(html, options);
        window.Browser.RemovedTags += prepared.RemovedTags;
        if (prepared.LinkRemoved) {
            window.lblMsg->setText(QStringLiteral("Link removed from IMG tag"));
            window.lblMsg->show();
            window.Session.ClearMsgPending = true;
            if (!window.Timer1->isActive()) {
                window.Timer1->start();
            }
        }
        window.Browser.BrowserHTML = std::move(prepared.BrowserHTML);

        setViewButtons(window.btnHTML);
        window.Browser.BrowserUsed = true;
        window.setCursor(Qt::WaitCursor);

        platform::BrowserView& b = ensureBrowser();
        b.setBlockRemoteContent(options.NoPictures);
        b.show();
        b.raise();
        window.txtMsg->hide();
        // Given as UTF-8, so that the browser reads the text exactly as the text view does.
        b.showDocument(platform::TextCodec::htmlForBrowser(window.Browser.BrowserHTML, htmlCharset),
                       QByteArrayLiteral("utf-8"));
        b.setFocus();
    } catch (const std::exception& e) {
        showBrowserFailure(QString::fromLocal8Bit(e.what()));
    }
}

void MessageView::showBrowserFailure(const QString& description) {
    window.unsetCursor();
    platform::dialogs().messageBox(&window, QStringLiteral("Error opening browser ") + description +
                                                QStringLiteral(" 0"));
    hideBrowser();
    setViewButtons(window.btnText);
    window.Browser.BrowserHTML.clear();
    // The message stays readable as text.
    window.txtMsg->show();
}

void MessageView::BrowserUpkeep() {
    if (!view) {
        return;
    }
    if (window.Browser.BrowserUsed && !view->isBusy()) {
        window.unsetCursor();
    }
    if (window.btnHTML->isChecked()) {
        // A message written into the view has no address of its own; only a real one is
        // worth the status line.
        const QString address = view->currentAddress();
        if (!address.isEmpty() && address != QLatin1String("http:///")) {
            window.lblStatus->setText(address);
        }
    }
}

// --- Quoted-text window ---------------------------------------------------------------------

frmQuoted* MessageView::quotedWindow() const {
    return quoted.data();
}

frmQuoted& MessageView::ensureQuoted() {
    if (!quoted) {
        quoted = new frmQuoted(&window);
    }
    return *quoted;
}

void MessageView::ShowQuotedPrintable() {
    frmQuoted& q = ensureQuoted();
    q.show();
    q.raise();
    q.activateWindow();
}

// --- Edit pop-up menu -----------------------------------------------------------------------

void MessageView::createEditMenu() {
    mnEditMain = new QMenu(QStringLiteral("Edit"), &window);
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

void MessageView::EditRequest(int index) {
    QWidget* focused = QApplication::focusWidget();
    if (auto* plain = qobject_cast<QPlainTextEdit*>(focused)) {
        switch (index) {
        case 0:
            plain->undo();
            return;
        case 2:
            plain->cut();
            return;
        case 3:
            plain->copy();
            return;
        case 4:
            plain->paste();
            return;
        case 5:
            if (!plain->isReadOnly()) {
                plain->textCursor().removeSelectedText();
            }
            return;
        }
    } else if (auto* rich = qobject_cast<QTextEdit*>(focused)) {
        switch (index) {
        case 0:
            rich->undo();
            return;
        case 2:
            rich->cut();
            return;
        case 3:
            rich->copy();
            return;
        case 4:
            rich->paste();
            return;
        case 5:
            if (!rich->isReadOnly()) {
                rich->textCursor().removeSelectedText();
            }
            return;
        }
    } else if (auto* line = qobject_cast<QLineEdit*>(focused)) {
        switch (index) {
        case 0:
            line->undo();
            return;
        case 2:
            line->cut();
            return;
        case 3:
            line->copy();
            return;
        case 4:
            line->paste();
            return;
        case 5:
            if (!line->isReadOnly() && line->hasSelectedText()) {
                line->del();
            }
            return;
        }
    }
    QApplication::beep();
}

bool MessageView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window.txtMsg->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            ShowEditMenu(mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
