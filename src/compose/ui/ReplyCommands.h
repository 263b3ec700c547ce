#pragma once

#include "decoding/Reply.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <functional>
#include <string>

class QAction;
class QMenu;
class QPushButton;
class QWidget;
class frmSMTP;
struct AccountRecord;

// What a reply needs of the shown message, read at the moment of the reply.
struct ReplySource {
    QString from;      // the From line as shown
    QString subject;   // the whole subject as shown
    QString shownText; // the text view's text
    bool fromHtml = false;
    QString htmlText; // the shown HTML converted to text; used when fromHtml
    // The raw header values of the message; empty when it has none. Without a raw From,
    // the reply goes to the From line as shown.
    std::string fromField;
    std::string replyToField;
    std::string xSenderField;
    std::string apparentlyToField;
    std::string ccField;
};

// Reply and Compose: fill the compose window from the shown message.
class ReplyCommands : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QPushButton* cmdReply = nullptr;
        QPushButton* cmdCompose = nullptr;
    };

    // account must outlive this object; window is the parent of the menu, the questions and
    // the compose window; source is asked for the shown message at each reply.
    ReplyCommands(Controls controls, const AccountRecord& account, QWidget* window,
                  std::function<ReplySource()> source);
    ~ReplyCommands() override;

    // The address pop-up menu: a title item, a separator and six address items.
    QMenu* mnReply = nullptr;
    QAction* mnChoose = nullptr;
    QAction* mnReplyBar = nullptr;
    std::array<QAction*, decoding::kReplyMenuItems> mnReplyTo{};

    // A mouse button went down on the Reply button.
    void cmdReply_MouseDown();
    // The user chose address item index of the pop-up menu.
    void mnReplyTo_Click(int index);
    void cmdCompose_Click();
    // A new message to, with subject and text filled in (a mailto: link), as Compose does.
    void ComposeTo(const QString& to, const QString& subject, const QString& text);

    // The compose window, or nullptr when it is not loaded.
    frmSMTP* composeWindow() const;
    // The program is ending: the compose window closes with it.
    void closeCompose();
    // The reader is closing, and the compose window with it: a typed draft is asked about
    // first. False when the user keeps it.
    bool mayCloseCompose();

private:
    void createMenu();
    frmSMTP& ensureCompose();
    void showCompose();
    // Loads and shows the compose window; true when its fields may be filled anew (nothing
    // typed there, or the user agreed to discard it).
    bool openCompose();
    // Fills the compose window with a reply to to and shows it, unless the user keeps the
    // message being written there.
    void BuildReply(const QString& to);

    Controls controls;
    const AccountRecord& account;
    QWidget* window;
    std::function<ReplySource()> source;
    ReplySource shown; // the message the open menu answers
    QPointer<frmSMTP> compose;
    std::array<decoding::ReplyMenuItem, decoding::kReplyMenuItems> items{};
};
