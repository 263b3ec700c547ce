#include "reader/ui/frmPOP.h"

#include "compose/ui/ReplyCommands.h"
#include "decoding/ui/MessageView.h"
#include "html/HtmlToText.h"
#include "platform/ClickableLabel.h"
#include "platform/Dialogs.h"
#include "platform/TextCodec.h"
#include "reader/ui/ReaderCommands.h"
#include "session/RowOrder.h"
#include "session/ui/HeaderListWidget.h"
#include "session/ui/PopSession.h"
#include "session/ui/frmDebug.h"
#include "settings/Numbers.h"
#include "settings/ui/AccountText.h"
#include "settings/ui/ReaderSettings.h"

#include <QAction>
#include <QActionGroup>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <cmath>
#include <stdexcept>

namespace {

constexpr double kMinWidth = 3000;
constexpr double kMinHeight = 6000;

// Header rows are fixed-width text: each reaches to the list's edge and is cut there, never
// elided, whatever width the first row gave the others.
class ClippedRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem row(option);
        row.textElideMode = Qt::ElideNone;
        if (const auto* view = qobject_cast<const QAbstractItemView*>(option.widget)) {
            row.rect.setRight(std::max(row.rect.right(), view->viewport()->width() - 1));
        }
        QStyledItemDelegate::paint(painter, row, index);
    }
};

QFont windowFont() {
    return QFont(QStringLiteral("MS Sans Serif"), 8);
}

} // namespace

frmPOP::frmPOP(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmPOP"));
    setWindowTitle(QStringLiteral("Corvane Reader"));
    setFont(windowFont());
    Loading = true;
    createControls();
    createMenus();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(3000);

    const Twips t = twips();
    setMinimumSize(t.toPixels(kMinWidth), t.toPixels(kMinHeight));

    wireSettings();
    wireSession();
    wireView();
    wireCompose();

    readerSettings->StartUp();
    Loading = false;
    Timer1->start();
    // The layout never makes the window narrower than its button row, and keeps 3000 below
    // the top of the message area; a window that loads smaller (the first start, with
    // nothing stored) is enlarged once to show the whole row and the whole message box.
    // Whole pixels, rounded up, so nothing is a pixel short.
    const double pixel = twips().fromPixels(1);
    const auto wholePixels = [pixel](double t) { return std::ceil(t / pixel) * pixel; };
    QRectF loaded = windowTwips();
    const double buttonRow = wholePixels(placement(cmdCompose).right() + 150);
    if (loaded.width() < buttonRow) {
        loaded.setWidth(buttonRow);
        setWindowTwips(loaded);
    }
    LayoutWindow();
    const double layoutHeight = wholePixels(placement(txtMsg).top() + 3000);
    if (loaded.height() < layoutHeight) {
        loaded.setHeight(layoutHeight);
        setWindowTwips(loaded);
        LayoutWindow();
    }
}

frmPOP::~frmPOP() = default;

void frmPOP::openArgument(const QString& argument) {
    if (!argument.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive)) {
        openMessageFile(QFileInfo(argument).absoluteFilePath());
        return;
    }
    const QByteArray utf8 = argument.toUtf8();
    const compose::MailtoResult parsed =
        compose::ParseMailto(std::string_view(utf8.constData(), utf8.size()));
    if (!parsed.ok) {
        platform::dialogs().messageBox(this,
                                       QStringLiteral("Cannot use the mailto: link. ") +
                                           QString::fromStdString(parsed.error),
                                       platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
        return;
    }
    openMailto(parsed.link);
}

void frmPOP::openHandedOver(const QStringList& arguments) {
    raise();
    activateWindow();
    handedOver += arguments;
    if (openingHandedOver) {
        return;
    }
    openingHandedOver = true;
    const QPointer<frmPOP> self(this);
    while (self && !handedOver.isEmpty()) {
        openArgument(handedOver.takeFirst());
    }
    if (self) {
        openingHandedOver = false;
    }
}

void frmPOP::openMailto(const compose::MailtoLink& link) {
    QString to = QString::fromStdString(link.to);
    if (!link.cc.empty()) {
        to += (to.isEmpty() ? QString() : QStringLiteral(", ")) + QString::fromStdString(link.cc);
    }
    QString body = QString::fromStdString(link.body);
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    replyCommands->ComposeTo(to, QString::fromStdString(link.subject), body);
}

void frmPOP::openMessageFile(const QString& path) {
    readerCommands->OpenFile(path);
}

// --- Message view and the window's own commands ----------------------------------------------

void frmPOP::wireView() {
    MessageView::Controls v;
    v.window = this;
    v.btnText = btnText;
    v.btnHTML = btnHTML;
    v.btnAll = btnAll;
    v.lstViewAs = lstViewAs;
    v.lblFrom = lblFrom;
    v.lblSubject = lblSubject;
    v.lblAttachments = lblAttachments;
    v.lblBrowser = lblBrowser;
    v.lblStatus = lblStatus;
    v.txtMsg = txtMsg;
    v.mnShowHTML = mnShowHTML;
    v.mnNoPictures = mnNoPictures;
    v.mnClearEmailInIMGTag = mnClearEmailInIMGTag;
    v.mnShowRemovedTags = mnShowRemovedTags;
    v.mnShowQuotedPrintable = mnShowQuotedPrintable;
    v.mnSaveAttachments = mnSaveAttachments;
    MessageView::Callbacks vc;
    vc.layout = [this] { LayoutWindow(); };
    vc.smtpDomain = [this] { return Account.SMTPDomain; };
    vc.showNote = [this](const QString& note) {
        lblMsg->setText(note);
        lblMsg->show();
        popSession->ClearNoteOnNextTick();
        if (!Timer1->isActive()) {
            Timer1->start();
        }
    };
    vc.browserCreated = [this](QWidget* browser) {
        WebBrowser1 = browser;
        const QRectF r = placement(txtMsg);
        place(browser, r.left(), r.top(), r.width(), r.height());
    };
    messageView = std::make_unique<MessageView>(v, std::move(vc));
    MessageView* shown = messageView.get();
    connect(Timer1, &QTimer::timeout, shown, [shown] { shown->BrowserUpkeep(); });
    connect(this, &frmPOP::unloading, shown, [shown] { shown->closeQuoted(); });

    ReaderCommands::Controls r;
    r.window = this;
    r.mnFileOpen = mnFileOpen;
    r.mnFileSaveAs = mnFileSaveAs;
    r.mnPrint = mnPrint;
    r.mnFontLarger = mnFontLarger;
    r.mnFontSmaller = mnFontSmaller;
    r.mnFixedWidth = mnFixedWidth;
    r.mnAbout = mnAbout;
    r.cmdPlus = cmdPlus;
    r.cmdMinus = cmdMinus;
    r.btnHTML = btnHTML;
    r.txtMsg = txtMsg;
    r.lstHeaders = lstHeaders;
    ReaderCommands::Callbacks rc;
    rc.replaceDebugText = [this](std::string_view text) {
        if (frmDebug* debug = popSession->debugWindow()) {
            debug->setBytes({});
        }
        popSession->AddDebugBytes(text);
    };
    rc.showMessage = [shown](std::string text) {
        shown->beginDownload();
        shown->showDownloaded(std::move(text));
    };
    rc.printHeader = [shown] {
        return ReaderCommands::PrintHeader{platform::TextCodec::fromBytes(shown->fields().FromDate),
                                           shown->fromText(), shown->shownSubject()};
    };
    rc.browserText = [shown] { return shown->BrowserText(); };
    rc.browser = [shown] { return shown->browser(); };
    rc.listHeight = [this] { return placement(lstHeaders).height(); };
    rc.setListHeight = [this](double height) {
        const QRectF list = placement(lstHeaders);
        place(lstHeaders, list.left(), list.top(), list.width(), height);
        LayoutWindow();
    };
    rc.pixelsToTwips = [this](int pixels) { return twips().fromPixels(pixels); };
    readerCommands = std::make_unique<ReaderCommands>(r, std::move(rc));
}

// --- Settings: start-up, exit, account menu and setup dialog -----------------------
void frmPOP::wireSettings() {
    ReaderSettings::Controls c;
    c.window = this;
    c.txtMsg = txtMsg;
    c.lstHeaders = lstHeaders;
    c.lblStatus = lblStatus;
    c.lblMsg = lblMsg;
    c.lblAttachments = lblAttachments;
    c.mnConfirmDelete = mnConfirmDelete;
    c.mnKeepAlive = mnKeepAlive;
    c.mnShowHTML = mnShowHTML;
    c.mnNoPictures = mnNoPictures;
    c.mnClearEmailInIMGTag = mnClearEmailInIMGTag;
    c.mnFilterSpam = mnFilterSpam;
    c.mnFixedWidth = mnFixedWidth;
    c.accountMenu = {this, mnISP, mnSetup, mnSelectISP};

    ReaderSettings::Callbacks cb;
    cb.isConnected = [this] { return popSession->isConnected(); };
    cb.disconnect = [this] { popSession->cmdConnect_Click(); };
    cb.debugGeometry = [this] { return popSession->debugWindowGeometry(); };
    cb.clearMessage = [this] {
        messageView->clearMessage();
        lstHeaders->clear();
    };
    readerSettings = std::make_unique<ReaderSettings>(c, Account, std::move(cb));
}

void frmPOP::wireCompose() {
    replyCommands = std::make_unique<ReplyCommands>(
        ReplyCommands::Controls{cmdReply, cmdCompose}, Account, this, [this] {
            const MessageView& view = *messageView;
            const decoding::MessageFields& f = view.fields();
            ReplySource s;
            s.from = view.fromText();
            s.subject = view.shownSubject();
            s.shownText = view.shownText();
            s.fromHtml = view.htmlShown();
            if (s.fromHtml) {
                s.htmlText = view.BrowserText();
            }
            s.fromField = f.FromAddress;
            s.replyToField = f.ReplyToField;
            s.xSenderField = f.XSenderField;
            s.apparentlyToField = f.ApparentlyToField;
            s.ccField = f.CcField;
            return s;
        });
    connect(this, &frmPOP::unloading, replyCommands.get(), &ReplyCommands::closeCompose);
}

void frmPOP::wireSession() {
    PopSession::Controls c;
    c.window = this;
    c.cmdConnect = cmdConnect;
    c.cmdReset = cmdReset;
    c.cmdView = cmdView;
    c.cmdDelete = cmdDelete;
    c.lstHeaders = lstHeaders;
    c.lblStatus = lblStatus;
    c.lblMsg = lblMsg;
    c.mnKeepAlive = mnKeepAlive;
    c.mnEnableDebug = mnEnableDebug;
    c.mnFilterSpam = mnFilterSpam;
    c.mnConfirmDelete = mnConfirmDelete;
    c.mnExit = mnExit;
    c.mnShowBuffer = mnShowBuffer;
    popSession = std::make_unique<PopSession>(
        c, Account, [this] { mnSetup->trigger(); },
        [this] {
            Account.GetPassword = true;
            mnSetup->trigger();
        });
    popSession->openHeaderCache();
    PopSession* s = popSession.get();
    // The view is made after the session; these run only once both exist.
    connect(s, &PopSession::sessionStarting, this, [this] { messageView->clearMessage(); });
    connect(s, &PopSession::downloadStarting, this, [this] { messageView->beginDownload(); });
    connect(s, &PopSession::messageDownloaded, this,
            [this](const std::shared_ptr<const std::string>& reply) {
                messageView->showDownloaded(reply);
            });
    connect(mnShowRemovedTags, &QAction::triggered, s,
            [this] { popSession->ShowRemovedTags(messageView->removedTags()); });
    connect(Timer1, &QTimer::timeout, s, &PopSession::Timer1_Timer);
    for (QAction* a : mnSortRows->actions()) {
        connect(a, &QAction::triggered, s,
                [s, a] { s->SortRows(static_cast<session::RowOrder>(a->data().toInt())); });
    }
}

void frmPOP::createControls() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("central"));
    setCentralWidget(central);

    auto button = [&](const char* name, const QString& caption, double left, double top,
                      double width, double height) {
        auto* b = new QPushButton(caption, central);
        b->setObjectName(QLatin1String(name));
        place(b, left, top, width, height);
        return b;
    };
    auto label = [&](const char* name, const QString& caption, double left, double top,
                     double width, double height) {
        auto* l = new QLabel(caption, central);
        l->setObjectName(QLatin1String(name));
        place(l, left, top, width, height);
        return l;
    };

    cmdConnect = button("cmdConnect", QStringLiteral("Get Mail"), 80, 120, 1070, 300);
    cmdConnect->setToolTip(QStringLiteral("Connect to server and get message headers"));
    cmdView = button("cmdView", QStringLiteral("View Msg"), 1200, 120, 975, 300);
    cmdDelete = button("cmdDelete", QStringLiteral("Delete Msg"), 2250, 120, 1140, 300);
    cmdDelete->setToolTip(QStringLiteral("Right-Click to delete message and view next"));
    cmdReset = button("cmdReset", QStringLiteral("Reset"), 3465, 120, 855, 300);
    cmdReply = button("cmdReply", QStringLiteral("Reply"), 4395, 120, 715, 300);
    cmdCompose = button("cmdCompose", QStringLiteral("Compose"), 5185, 120, 880, 300);

    Label1 = label("Label1", QStringLiteral("Status:"), 120, 480, 735, 255);
    lblStatus = new ClickableLabel(central);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblStatus->setWordWrap(true); // two lines tall: a long status goes on the second
    place(lblStatus, 720, 480, 2640, 375);
    lblMsg = label("lblMsg", QString(), 4080, 480, 2775, 255);

    lstHeaders = new HeaderListWidget(central);
    lstHeaders->setObjectName(QStringLiteral("lstHeaders"));
    lstHeaders->setFont(QFont(QStringLiteral("Courier New"), 8));
    lstHeaders->setToolTip(QStringLiteral("Double-Click on message to download"));
    lstHeaders->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstHeaders->setUniformItemSizes(true); // thousands of rows stay cheap
    lstHeaders->setItemDelegate(new ClippedRowDelegate(lstHeaders));
    lstHeaders->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    place(lstHeaders, 50, 860, 7215, 1740);
    cmdMinus = button("cmdMinus", QStringLiteral("-"), 7315, 860, 255, 300);
    cmdPlus = button("cmdPlus", QStringLiteral("+"), 7315, 1200, 255, 300);

    Label2 = label("Label2", QStringLiteral("View as:"), 120, 2760, 615, 255);
    viewGroup = new QButtonGroup(this);
    auto option = [&](const char* name, const QString& caption, double left) {
        auto* r = new QRadioButton(caption, central);
        r->setObjectName(QLatin1String(name));
        place(r, left, 2760, 800, 255);
        viewGroup->addButton(r);
        return r;
    };
    btnHTML = option("btnHTML", QStringLiteral("HTML"), 840);
    btnText = option("btnText", QStringLiteral("Text"), 1680);
    btnAll = option("btnAll", QStringLiteral("All"), 2520);
    btnText->setChecked(true);

    Label6 = label("Label6", QStringLiteral("MIME Part:"), 3240, 2760, 855, 255);
    lstViewAs = new QComboBox(central);
    lstViewAs->setObjectName(QStringLiteral("lstViewAs"));
    place(lstViewAs, 4080, 2720, 2055, 315);
    lblBrowser = label("lblBrowser", QString(), 6240, 2760, 1335, 255);

    Label3 = label("Label3", QStringLiteral("From:"), 120, 3060, 700, 255);
    lblFrom = label("lblFrom", QString(), 840, 3060, 6400, 255);
    Label4 = label("Label4", QStringLiteral("Subject:"), 120, 3360, 700, 255);
    lblSubject = label("lblSubject", QString(), 840, 3360, 6400, 255);
    Label5 = label("Label5", QStringLiteral("Attachments:"), 120, 3660, 1050, 255);
    lblAttachments = new ClickableLabel(central);
    lblAttachments->setObjectName(QStringLiteral("lblAttachments"));
    place(lblAttachments, 1200, 3660, 6000, 255);
    for (QLabel* l : {lblFrom, lblSubject, static_cast<QLabel*>(lblAttachments)}) {
        l->setTextFormat(Qt::PlainText);
    }
    lblStatus->setTextFormat(Qt::PlainText);
    lblMsg->setTextFormat(Qt::PlainText);

    txtMsg = new QPlainTextEdit(central);
    txtMsg->setObjectName(QStringLiteral("txtMsg"));
    txtMsg->setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    txtMsg->setContextMenuPolicy(Qt::CustomContextMenu); // the Edit pop-up menu
    txtMsg->setTabChangesFocus(true);                    // Tab leaves the message text
    place(txtMsg, 50, 3660, 7365, 2000);
}

void frmPOP::createMenus() {
    auto action = [this](QMenu* menu, const char* name, const QString& caption,
                         bool checkable = false) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        a->setCheckable(checkable);
        return a;
    };

    mnFile = menuBar()->addMenu(QStringLiteral("File"));
    mnFile->setObjectName(QStringLiteral("mnFile"));
    mnFileOpen = action(mnFile, "mnFileOpen", QStringLiteral("Open"));
    mnFileSaveAs = action(mnFile, "mnFileSaveAs", QStringLiteral("Save As"));
    mnSaveAttachments =
        action(mnFile, "mnSaveAttachments", QStringLiteral("Save Attachments\u2026"));
    mnPrint = action(mnFile, "mnPrint", QStringLiteral("Print"));
    mnFile->addSeparator();
    mnExit = action(mnFile, "mnExit", QStringLiteral("Exit"));
    mnFileOpen->setShortcut(QKeySequence::Open);
    mnFileSaveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    mnPrint->setShortcut(QKeySequence::Print);
    mnExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    mnISP = menuBar()->addMenu(QStringLiteral("ISP Setup"));
    mnISP->setObjectName(QStringLiteral("mnISP"));
    mnSetup = action(mnISP, "mnSetup", QStringLiteral("Edit"));
    mnISP->addSeparator();
    for (std::size_t i = 0; i < mnSelectISP.size(); ++i) {
        mnSelectISP[i] = action(mnISP, "mnSelectISP", QString(), true);
        mnSelectISP[i]->setData(static_cast<int>(i));
        mnSelectISP[i]->setVisible(i == 0);
    }

    mnOptions = menuBar()->addMenu(QStringLiteral("Options"));
    mnOptions->setObjectName(QStringLiteral("mnOptions"));
    mnConfirmDelete = action(mnOptions, "mnConfirmDelete", QStringLiteral("Confirm Delete"), true);
    mnKeepAlive = action(mnOptions, "mnKeepAlive", QStringLiteral("Keep Alive"), true);
    mnFilterSpam = action(mnOptions, "mnFilterSpam", QStringLiteral("Filter spam"), true);
    mnOptions->addSeparator();
    mnShowHTML = action(mnOptions, "mnShowHTML", QStringLiteral("Show HTML Msg in Browser"), true);
    mnNoPictures = action(mnOptions, "mnNoPictures", QStringLiteral("No Picture in HTML"), true);
    mnClearEmailInIMGTag = action(mnOptions, "mnClearEmailInIMGTag",
                                  QStringLiteral("Clear Suspicious IMG tags"), true);
    mnEnableDebug = action(mnOptions, "mnEnableDebug", QStringLiteral("Enable Debug Buffer"), true);
    mnOptions->addSeparator();
    mnFixedWidth = action(mnOptions, "mnFixedWidth", QStringLiteral("Fixed Width Font"), true);
    mnFontLarger = action(mnOptions, "mnFontLarger", QStringLiteral("Increase Text Size [Ctrl +]"));
    mnFontSmaller =
        action(mnOptions, "mnFontSmaller", QStringLiteral("Decrease Text Size [Ctrl -]"));
    mnOptions->addSeparator();
    mnSortRows = mnOptions->addMenu(QStringLiteral("Sort Messages By"));
    mnSortRows->setObjectName(QStringLiteral("mnSortRows"));
    auto* sortGroup = new QActionGroup(mnSortRows);
    const std::array<std::pair<session::RowOrder, QString>, 5> orders = {{
        {session::RowOrder::Server, QStringLiteral("Server Order")},
        {session::RowOrder::Date, QStringLiteral("Date")},
        {session::RowOrder::Sender, QStringLiteral("Sender")},
        {session::RowOrder::Size, QStringLiteral("Size")},
        {session::RowOrder::Subject, QStringLiteral("Subject")},
    }};
    for (const auto& [order, caption] : orders) {
        QAction* a = action(mnSortRows, "mnSortRowsBy", caption, true);
        a->setData(static_cast<int>(order));
        a->setChecked(order == session::RowOrder::Server);
        sortGroup->addAction(a);
    }
    // The designed states, before the stored options are applied.
    mnKeepAlive->setChecked(true);
    mnShowHTML->setChecked(true);
    mnClearEmailInIMGTag->setChecked(true);

    mnHelp = menuBar()->addMenu(QStringLiteral("Help"));
    mnHelp->setObjectName(QStringLiteral("mnHelp"));
    mnDebug = mnHelp->addMenu(QStringLiteral("Debug"));
    mnDebug->setObjectName(QStringLiteral("mnDebug"));
    mnShowBuffer = action(mnDebug, "mnShowBuffer", QStringLiteral("Show Buffer"));
    mnShowQuotedPrintable =
        action(mnDebug, "mnShowQuotedPrintable", QStringLiteral("Show Quoted-Printable"));
    mnShowRemovedTags = action(mnDebug, "mnShowRemovedTags", QStringLiteral("Show Removed Tags"));
    mnAbout = action(mnHelp, "mnAbout", QStringLiteral("About"));
}

Twips frmPOP::twips() const {
    return placements.twips();
}

void frmPOP::place(QWidget* control, double left, double top, double width, double height) {
    placements.place(control, left, top, width, height);
}

QRectF frmPOP::placement(QWidget* control) const {
    return placements.placement(control);
}

QRectF frmPOP::windowTwips() const {
    return placements.windowTwips();
}

void frmPOP::setWindowTwips(const QRectF& rect) {
    placements.setWindowTwips(rect);
}

void frmPOP::LayoutWindow() {
    if (Loading || isMinimized()) {
        return;
    }
    try {
        layoutSteps();
    } catch (const std::exception&) {
        platform::dialogs().messageBox(this, QStringLiteral("Error in Form_Resize()"));
    }
}

void frmPOP::layoutSteps() {
    const QRectF outer = windowTwips();
    double w = std::max(outer.width(), kMinWidth);
    const QRectF compose = placement(cmdCompose);
    w = std::max(w, compose.right() + 150);
    double h = std::max(outer.height(), kMinHeight);

    QRectF list = placement(lstHeaders);
    list.setWidth(w - 250 - 300);
    place(lstHeaders, list.left(), list.top(), list.width(), list.height());

    QRectF msg = placement(txtMsg);
    msg.setWidth(w - 200);

    const double sizeButtonsLeft = list.right() + 50;
    QRectF minus = placement(cmdMinus);
    place(cmdMinus, sizeButtonsLeft, minus.top(), minus.width(), minus.height());
    QRectF plus = placement(cmdPlus);
    place(cmdPlus, sizeButtonsLeft, plus.top(), plus.width(), plus.height());

    const double viewTop = list.bottom() + 130;
    for (QWidget* c :
         std::initializer_list<QWidget*>{btnHTML, btnText, Label2, btnAll, Label6, lblBrowser}) {
        const QRectF r = placement(c);
        place(c, r.left(), viewTop, r.width(), r.height());
    }
    const QRectF parts = placement(lstViewAs);
    place(lstViewAs, parts.left(), viewTop - 40, parts.width(), parts.height());

    const QRectF browserLabel = placement(lblBrowser);
    if (parts.right() + 500 < w) {
        place(lblBrowser, browserLabel.left(), viewTop, w - browserLabel.left(),
              browserLabel.height());
        lblBrowser->show();
    } else {
        lblBrowser->hide();
    }

    auto labelRow = [&](QLabel* caption, QLabel* value, double top) {
        const QRectF v = placement(value);
        place(value, v.left(), top, msg.left() + msg.width() - v.left(), v.height());
        const QRectF c = placement(caption);
        place(caption, c.left(), top, c.width(), c.height());
    };
    const double fromTop = viewTop + 300;
    labelRow(Label3, lblFrom, fromTop);
    const double subjectTop = fromTop + 300;
    labelRow(Label4, lblSubject, subjectTop);

    // The subject is cut at its end until it fits; never an ellipsis.
    const QString subject = messageView ? messageView->shownSubject() : QString();
    const QFontMetrics metrics(font());
    const int available = lblSubject->width();
    if (metrics.horizontalAdvance(subject) <= available) {
        lblSubject->setText(subject);
    } else {
        qsizetype fits = 0;
        qsizetype tooLong = subject.size();
        while (tooLong - fits > 1) {
            const qsizetype mid = fits + (tooLong - fits) / 2;
            if (metrics.horizontalAdvance(subject.left(mid)) <= available) {
                fits = mid;
            } else {
                tooLong = mid;
            }
        }
        lblSubject->setText(subject.left(fits));
    }

    const double attachmentsTop = subjectTop + 300;
    labelRow(Label5, lblAttachments, attachmentsTop);
    msg.moveTop(lblAttachments->text().isEmpty() ? subjectTop + 300 : attachmentsTop + 300);

    if (h - msg.top() < 3000) {
        h = msg.top() + 3000;
    }
    msg.setHeight(h - msg.top() - 700);
    place(txtMsg, msg.left(), msg.top(), msg.width(), msg.height());
    if (WebBrowser1) {
        place(WebBrowser1, msg.left(), msg.top(), msg.width(), msg.height());
    }
}

void frmPOP::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    LayoutWindow();
}

void frmPOP::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        setWindowTitle(accounttext::windowTitle(Account.Isp));
    }
}

void frmPOP::closeEvent(QCloseEvent* event) {
    if (!unloaded) {
        // The compose window closes with the reader: a typed draft is not thrown away unasked.
        if (!replyCommands->mayCloseCompose()) {
            event->ignore();
            return;
        }
        unloaded = true;
        Timer1->stop();
        popSession->CloseForUnload();
        readerSettings->SaveSettings();
        Q_EMIT unloading();
    }
    event->accept();
}
