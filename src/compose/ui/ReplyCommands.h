#pragma once

#include "decoding/Reply.h"

#include <QObject>
#include <QPointer>
#include <array>

class QAction;
class QMenu;
class frmPOP;
class frmSMTP;

// Reply and Compose: fill the compose window from the shown message.
class ReplyCommands : public QObject {
    Q_OBJECT
public:
    explicit ReplyCommands(frmPOP& window);
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
    // Fills the compose window's subject and text from the shown message and shows it.
    void BuildReply();

    // The compose window, or nullptr when it is not loaded.
    frmSMTP* composeWindow() const;
    // The compose window, loaded first when needed.
    frmSMTP& ensureCompose();

private:
    void createMenu();
    void showCompose();

    frmPOP& window;
    QPointer<frmSMTP> compose;
    std::array<decoding::ReplyMenuItem, decoding::kReplyMenuItems> items{};
};
