#pragma once

#include "compose/MailtoLink.h"
#include "decoding/ui/MessageView.h"
#include "platform/Twips.h"
#include "settings/AccountRecord.h"

#include <QHash>
#include <QMainWindow>
#include <QRectF>
#include <QStringList>
#include <array>
#include <memory>

class QAction;
class QButtonGroup;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class ClickableLabel;
class PopSession;
class ReaderCommands;
class ReaderSettings;
class ReplyCommands;

class frmPOP;

// The reader window. It owns the state the whole program shares (the account,
// the POP3 session, the listing, the downloaded message, the browser) and
// hands each group of controls to the subsystem that drives it.
class frmPOP : public QMainWindow {
    Q_OBJECT
public:
    explicit frmPOP(QWidget* parent = nullptr);
    ~frmPOP() override;

    // --- Shared state -------------------------------------------------------
    AccountRecord Account;
    bool Loading = false;

    // --- Controls -------------------------------------------------------------
    QPushButton* cmdConnect = nullptr;
    QPushButton* cmdView = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdReset = nullptr;
    QPushButton* cmdReply = nullptr;
    QPushButton* cmdCompose = nullptr;
    QLabel* Label1 = nullptr;
    ClickableLabel* lblStatus = nullptr;
    QLabel* lblMsg = nullptr;
    QListWidget* lstHeaders = nullptr;
    QPushButton* cmdMinus = nullptr;
    QPushButton* cmdPlus = nullptr;
    QLabel* Label2 = nullptr;
    QRadioButton* btnHTML = nullptr;
    QRadioButton* btnText = nullptr;
    QRadioButton* btnAll = nullptr;
    QButtonGroup* viewGroup = nullptr;
    QLabel* Label6 = nullptr;
    QComboBox* lstViewAs = nullptr;
    QLabel* lblBrowser = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* lblFrom = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* lblSubject = nullptr;
    QLabel* Label5 = nullptr;
    ClickableLabel* lblAttachments = nullptr;
    QPlainTextEdit* txtMsg = nullptr;
    QWidget* WebBrowser1 = nullptr; // created on first use; shares txtMsg's rectangle
    QTimer* Timer1 = nullptr;       // 3000 ms: keep-alive and status upkeep

    // --- Menus ----------------------------------------------------------------
    QMenu* mnFile = nullptr;
    QAction* mnFileOpen = nullptr;
    QAction* mnFileSaveAs = nullptr;
    QAction* mnSaveAttachments = nullptr;
    QAction* mnPrint = nullptr;
    QAction* mnExit = nullptr;
    QMenu* mnISP = nullptr;
    QAction* mnSetup = nullptr;
    std::array<QAction*, 5> mnSelectISP{};
    QMenu* mnOptions = nullptr;
    QAction* mnConfirmDelete = nullptr;
    QAction* mnKeepAlive = nullptr;
    QAction* mnFilterSpam = nullptr;
    QAction* mnShowHTML = nullptr;
    QAction* mnNoPictures = nullptr;
    QAction* mnClearEmailInIMGTag = nullptr;
    QAction* mnEnableDebug = nullptr;
    QAction* mnFixedWidth = nullptr;
    QAction* mnFontLarger = nullptr;
    QAction* mnFontSmaller = nullptr;
    QMenu* mnSortRows = nullptr; // actions: the session::RowOrder as data
    QMenu* mnHelp = nullptr;
    QMenu* mnDebug = nullptr;
    QAction* mnShowBuffer = nullptr;
    QAction* mnShowQuotedPrintable = nullptr;
    QAction* mnShowRemovedTags = nullptr;
    QAction* mnAbout = nullptr;

    // --- Subsystems -----------------------------------------------------------
    PopSession& session() { return *popSession; }
    MessageView& view() { return *messageView; }
    ReaderSettings& settings() { return *readerSettings; }
    ReplyCommands& replies() { return *replyCommands; }
    ReaderCommands& commands() { return *readerCommands; }

    // --- From the command line or a later start ---------------------------------
    // A command-line argument: a mailto: link fills the compose window (a link that cannot
    // be used says why), anything else is a message file to open.
    void openArgument(const QString& argument);
    // Arguments handed over by a later start, opened in turn: while one of them waits for an
    // answer (the discard question, a refused link), the next ones wait behind it.
    void openHandedOver(const QStringList& arguments);
    // Opens the compose window filled from a mailto: link.
    void openMailto(const compose::MailtoLink& link);
    // Opens a message file as File > Open does.
    void openMessageFile(const QString& path);

    // --- Geometry in twips ------------------------------------------------------
    Twips twips() const;
    // Places a control; the twips values are kept so that layout arithmetic
    // never accumulates pixel rounding.
    void place(QWidget* control, double left, double top, double width, double height);
    QRectF placement(QWidget* control) const;
    // The window's outer position and size in twips.
    QRectF windowTwips() const;
    void setWindowTwips(const QRectF& rect);

    // Re-arranges the lower controls after a resize or a change of the
    // attachments line or the header list's height.
    void LayoutWindow();

Q_SIGNALS:
    // The window is going away: secondary windows close themselves.
    void unloading();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void createControls();
    void createMenus();
    void layoutSteps();
    // Builds the message view and the window's own commands and connects them.
    void wireView();
    void wireSettings();
    void wireCompose();
    void wireSession();

    platform::TwipsPlacement placements{*this};
    std::unique_ptr<ReaderSettings> readerSettings;
    std::unique_ptr<PopSession> popSession;
    std::unique_ptr<MessageView> messageView;
    std::unique_ptr<ReplyCommands> replyCommands;
    std::unique_ptr<ReaderCommands> readerCommands;
    bool unloaded = false;
    QStringList handedOver;         // arguments of later starts not yet opened
    bool openingHandedOver = false; // one of them is being opened
};
