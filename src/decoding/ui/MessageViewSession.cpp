// Stand-in bodies for what the POP3 session asks of the view, moved out of the session.
#include "decoding/ui/MessageView.h"
#include "platform/BrowserView.h"
#include "platform/ClickableLabel.h"
#include "platform/TextCodec.h"
#include "reader/ui/frmPOP.h"
#include "session/RetrFields.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>

namespace {

void clearReplyCandidates(session::MessageFields& fields) {
    fields.ReplyToField.clear();
    fields.XSenderField.clear();
    fields.ApparentlyToField.clear();
    fields.CcField.clear();
}

} // namespace

void MessageView::clearMessage() {
    window.txtMsg->clear();
    Decoded.MsgHeader.clear();
    Decoded.MsgBody.clear();
    Decoded.MsgText.clear();
    Decoded.MsgHTML.clear();
    window.Browser.RemovedTags.clear();
    window.lstViewAs->setEnabled(false); // quietly: the part list runs no command
    window.lstViewAs->clear();
    window.lstViewAs->setEnabled(true);
    clearReplyCandidates(window.Fields);
    window.lblSubject->clear();
    window.lblFrom->clear();
    if (!window.lblAttachments->text().isEmpty()) {
        window.lblAttachments->clear();
        window.LayoutWindow();
    }
    if (window.btnHTML->isChecked()) {
        setViewButtons(window.btnText);
        hideBrowser();
        window.txtMsg->show();
    }
}

void MessageView::beginDownload() {
    Decoded.MsgBody.clear();
    window.txtMsg->clear();
    window.Session.ReceiveBuffer.clear();
    window.Browser.RemovedTags.clear();
    clearReplyCandidates(window.Fields);
    setViewButtons(window.btnText);
    hideBrowser();
    window.txtMsg->show();
    window.lblAttachments->clear();
    window.lstViewAs->setEnabled(false); // quietly: the part list runs no command
    window.lstViewAs->clear();
    window.lstViewAs->setEnabled(true);
    window.LayoutWindow();
}

void MessageView::showDownloaded(std::string reply) {
    window.Session.ReceiveBuffer = std::move(reply);
    session::StoreRetrFields(session::PickRetrFields(window.Session.ReceiveBuffer), window.Fields);
    window.lblFrom->setText(platform::TextCodec::headerText(window.Fields.FromAddress));
    window.LayoutWindow(); // the subject label shows the new subject
    DecodeMessage();
}

const std::string& MessageView::removedTags() const {
    return window.Browser.RemovedTags;
}
