#include "compose/ui/ReplyCommands.h"

#include "compose/MailMessage.h"
#include "compose/ui/frmSMTP.h"
#include "decoding/Charset.h"
#include "decoding/ui/MessageView.h"
#include "platform/Dialogs.h"
#include "platform/TextCodec.h"
#include "reader/ui/frmPOP.h"

#include <QAction>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr qsizetype kLargeMessage = 20000;

// A header field as the user reads it: encoded words decoded, as UTF-8.
std::string shownField(const std::string& raw) {
    return platform::TextCodec::headerUtf8(raw);
}

// Menu captions treat "&" as a mnemonic marker and a tab as the start of a shortcut.
QString menuText(const std::string& caption) {
    QString text = QString::fromStdString(caption);
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return text;
}

} // namespace

ReplyCommands::ReplyCommands(frmPOP& window) : window(window) {
    createMenu();
    // On the press, not the click: the menu opens where the button went down.
    connect(window.cmdReply, &QPushButton::pressed, this, &ReplyCommands::cmdReply_MouseDown);
    connect(window.cmdCompose, &QPushButton::clicked, this, &ReplyCommands::cmdCompose_Click);
    connect(&window, &frmPOP::unloading, this, [this] {
        if (compose) {
            compose->close();
        }
    });
}

ReplyCommands::~ReplyCommands() = default;

void ReplyCommands::createMenu() {
    mnReply = new QMenu(&window);
    mnReply->setObjectName(QStringLiteral("mnReply"));
    mnChoose = mnReply->addAction(
        QString::fromLatin1(decoding::kChooseCaption.data(), decoding::kChooseCaption.size()));
    mnChoose->setObjectName(QStringLiteral("mnChoose"));
    mnChoose->setEnabled(false);
    mnReplyBar = mnReply->addSeparator();
    mnReplyBar->setObjectName(QStringLiteral("mnReplyBar"));
    for (std::size_t i = 0; i < mnReplyTo.size(); ++i) {
        mnReplyTo[i] = mnReply->addAction(QString());
        mnReplyTo[i]->setObjectName(QStringLiteral("mnReplyTo"));
        mnReplyTo[i]->setData(static_cast<int>(i));
        mnReplyTo[i]->setVisible(false);
    }
}

frmSMTP* ReplyCommands::composeWindow() const {
    return compose.data();
}

frmSMTP& ReplyCommands::ensureCompose() {
    if (!compose) {
        compose = new frmSMTP(window.Account, &window);
    }
    return *compose;
}

void ReplyCommands::showCompose() {
    compose->show();
    compose->raise();
    compose->activateWindow();
}

void ReplyCommands::cmdReply_MouseDown() {
    // The button would stay pressed behind a question or the menu.
    window.cmdReply->setDown(false);
    const QString shown = window.txtMsg->toPlainText();
    // Counted as the program holds the text, with CR LF line breaks.
    const qsizetype length = shown.size() + shown.count(QLatin1Char('\n'));
    if (length > kLargeMessage &&
        platform::dialogs().messageBox(&window,
                                       QStringLiteral("The message is fairly large, proceed?"),
                                       platform::MsgButtons::YesNo) != platform::MsgAnswer::Yes) {
        return;
    }

    decoding::ReplyAddresses addresses;
    addresses.From = window.lblFrom->text().toStdString();
    addresses.ReplyToField = shownField(window.Fields.ReplyToField);
    addresses.XSenderField = shownField(window.Fields.XSenderField);
    addresses.ApparentlyToField = shownField(window.Fields.ApparentlyToField);
    addresses.CcField = shownField(window.Fields.CcField);

    if (!decoding::NeedsAddressChoice(addresses)) {
        ensureCompose().txtTo->setText(window.lblFrom->text());
        BuildReply();
        return;
    }

    items = decoding::ReplyMenuItems(addresses);
    for (std::size_t i = 0; i < items.size(); ++i) {
        mnReplyTo[i]->setText(menuText(items[i].Caption));
        mnReplyTo[i]->setVisible(items[i].Visible);
    }
    QAction* chosen = platform::dialogs().popupMenu(*mnReply, QCursor::pos());
    if (chosen == nullptr || chosen == mnChoose || chosen == mnReplyBar) {
        return;
    }
    const int index = chosen->data().toInt();
    if (index >= 0 && static_cast<std::size_t>(index) < mnReplyTo.size() &&
        mnReplyTo[static_cast<std::size_t>(index)] == chosen) {
        mnReplyTo_Click(index);
    }
}

void ReplyCommands::mnReplyTo_Click(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) {
        return;
    }
    const std::string to = decoding::ChosenAddress(items, static_cast<std::size_t>(index));
    ensureCompose().txtTo->setText(QString::fromStdString(to));
    BuildReply();
}

void ReplyCommands::BuildReply() {
    frmSMTP& target = ensureCompose();
    // The whole subject: the label may show it cut to its width.
    target.txtSubject->setText(
        QString::fromStdString(decoding::ReplySubject(window.shownSubject().toStdString())));
    target.MsgAttachment.clear();
    target.LayoutWindow();

    const bool fromHtml = window.btnHTML->isChecked();
    std::string text;
    if (fromHtml) {
        // The converted HTML in the charset the browser showed it in.
        text = compose::WithCrLf(window.view().BrowserText().toStdString());
    } else {
        text = compose::WithCrLf(window.txtMsg->toPlainText().toStdString());
    }
    const std::string reply =
        decoding::BuildReplyText(text, window.lblFrom->text().toStdString(), fromHtml);
    target.txtMsg->setPlainText(QString::fromStdString(reply));
    showCompose();
}

void ReplyCommands::cmdCompose_Click() {
    frmSMTP& target = ensureCompose();
    target.txtTo->clear();
    target.txtSubject->clear();
    target.txtMsg->clear();
    target.MsgAttachment.clear();
    target.LayoutWindow();
    showCompose();
}
