#include "compose/ui/ReplyCommands.h"

#include "compose/MailMessage.h"
#include "compose/ui/frmSMTP.h"
#include "platform/Dialogs.h"
#include "platform/TextCodec.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QPushButton>

namespace {

constexpr qsizetype kLargeMessage = 20000;

// A raw address field as a reply's recipient text, in UTF-8.
std::string replyAddress(const std::string& raw) {
    return compose::ReplyAddressText(raw, &platform::TextCodec::charsetToUtf8);
}

// Menu captions treat "&" as a mnemonic marker and a tab as the start of a shortcut.
QString menuText(const std::string& caption) {
    QString text = QString::fromStdString(caption);
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return text;
}

} // namespace

ReplyCommands::ReplyCommands(Controls controls, const AccountRecord& account, QWidget* window,
                             std::function<ReplySource()> source)
    : controls(controls), account(account), window(window), source(std::move(source)) {
    createMenu();
    // On the press, not the click: the menu opens where the button went down.
    connect(controls.cmdReply, &QPushButton::pressed, this, &ReplyCommands::cmdReply_MouseDown);
    connect(controls.cmdCompose, &QPushButton::clicked, this, &ReplyCommands::cmdCompose_Click);
}

ReplyCommands::~ReplyCommands() = default;

void ReplyCommands::closeCompose() {
    if (compose) {
        compose->closeWithReader();
    }
}

bool ReplyCommands::mayCloseCompose() {
    if (!compose) {
        return true;
    }
    const bool discard = compose->mayReplaceDraft();
    // The question runs an event loop: the user may have closed the window meanwhile.
    return discard || !compose;
}

void ReplyCommands::createMenu() {
    mnReply = new QMenu(window);
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
        compose = new frmSMTP(account, window);
    }
    return *compose;
}

bool ReplyCommands::openCompose() {
    const bool replace = ensureCompose().mayReplaceDraft();
    // The question runs an event loop: the window may have closed meanwhile.
    if (!compose) {
        return false;
    }
    showCompose();
    return replace;
}

void ReplyCommands::showCompose() {
    compose->show();
    compose->raise();
    compose->activateWindow();
}

void ReplyCommands::cmdReply_MouseDown() {
    // The button would stay pressed behind a question or the menu.
    controls.cmdReply->setDown(false);
    shown = source();
    // Counted as the program holds the text, with CR LF line breaks.
    const qsizetype length = shown.shownText.size() + shown.shownText.count(QLatin1Char('\n'));
    if (length > kLargeMessage &&
        platform::dialogs().messageBox(window,
                                       QStringLiteral("The message is fairly large, proceed?"),
                                       platform::MsgButtons::YesNo) != platform::MsgAnswer::Yes) {
        return;
    }

    decoding::ReplyAddresses addresses;
    addresses.From =
        shown.fromField.empty() ? shown.from.toStdString() : replyAddress(shown.fromField);
    addresses.ReplyToField = replyAddress(shown.replyToField);
    addresses.XSenderField = replyAddress(shown.xSenderField);
    addresses.ApparentlyToField = replyAddress(shown.apparentlyToField);
    addresses.CcField = replyAddress(shown.ccField);

    if (!decoding::NeedsAddressChoice(addresses)) {
        BuildReply(QString::fromStdString(addresses.From));
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
    BuildReply(
        QString::fromStdString(decoding::ChosenAddress(items, static_cast<std::size_t>(index))));
}

void ReplyCommands::BuildReply(const QString& to) {
    if (openCompose()) {
        const std::string text =
            compose::WithCrLf((shown.fromHtml ? shown.htmlText : shown.shownText).toStdString());
        const std::string reply =
            decoding::BuildReplyText(text, shown.from.toStdString(), shown.fromHtml);
        compose->fill(to,
                      QString::fromStdString(decoding::ReplySubject(shown.subject.toStdString())),
                      QString::fromStdString(reply));
    }
}

void ReplyCommands::ComposeTo(const QString& to, const QString& subject, const QString& text) {
    if (openCompose()) {
        compose->fill(to, subject, text);
    }
}

void ReplyCommands::cmdCompose_Click() {
    if (openCompose()) {
        compose->fill(QString(), QString(), QString());
    }
}
