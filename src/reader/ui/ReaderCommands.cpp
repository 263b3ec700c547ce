#include "reader/ui/ReaderCommands.h"

#include "platform/BrowserView.h"
#include "platform/Dialogs.h"
#include "platform/TextCodec.h"
#include "reader/FileText.h"

#include <QAction>
#include <QFile>
#include <QFontMetrics>
#include <QJsonArray>
#include <QJsonDocument>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QShortcut>
#include <QTextCursor>
#include <QTextDocument>
#include <QWebEngineScript>

namespace {

constexpr int kSmallestFont = 4;
constexpr int kLargestFont = 72;
// The same cap as for one server reply: beyond it a file is not a message.
constexpr qint64 kLargestFile = qint64(256) * 1024 * 1024;

// Text saved by the user: Windows-1252 as the program holds mail, unless the
// text holds characters that set cannot, then UTF-8 so that nothing is lost.
QByteArray fileBytes(const QString& text) {
    const std::string bytes = platform::TextCodec::toBytes(text);
    if (platform::TextCodec::fromBytes(bytes) == text) {
        return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    return text.toUtf8();
}

} // namespace

ReaderCommands::ReaderCommands(const Controls& controls, Callbacks callbacks)
    : c(controls), callbacks(std::move(callbacks)) {
    printerFactory = [] { return std::make_unique<QPrinter>(QPrinter::HighResolution); };

    connect(c.mnFileOpen, &QAction::triggered, this, &ReaderCommands::Open);
    connect(c.mnFileSaveAs, &QAction::triggered, this, &ReaderCommands::SaveAs);
    connect(c.mnPrint, &QAction::triggered, this, &ReaderCommands::Print);
    connect(c.cmdPlus, &QPushButton::clicked, this, &ReaderCommands::LongerList);
    connect(c.cmdMinus, &QPushButton::clicked, this, &ReaderCommands::ShorterList);
    connect(c.mnFontLarger, &QAction::triggered, this, &ReaderCommands::LargerText);
    connect(c.mnFontSmaller, &QAction::triggered, this, &ReaderCommands::SmallerText);
    connect(c.mnFixedWidth, &QAction::triggered, this, &ReaderCommands::FixedWidthFont);
    connect(c.mnAbout, &QAction::triggered, this, &ReaderCommands::About);

    // Ctrl with "=" / "+" and "-" change the text size, as the menu captions
    // announce; the captions stay as designed, so the keys live on the window.
    for (const QKeySequence& keys :
         {QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)}) {
        auto* shortcut = new QShortcut(keys, c.window);
        connect(shortcut, &QShortcut::activated, this, &ReaderCommands::LargerText);
    }
    auto* smaller = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus), c.window);
    connect(smaller, &QShortcut::activated, this, &ReaderCommands::SmallerText);
}

void ReaderCommands::Open() {
    platform::FileDialogRequest request;
    request.filter =
        QStringLiteral("All Files (*.*)|*.*|Text Files(*.txt)|*.txt|Batch Files (*.bat)|*.bat");
    request.filterIndex = 2;
    const auto path = platform::dialogs().openFileName(c.window, request);
    if (path) {
        OpenFile(*path);
    }
}

void ReaderCommands::OpenFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        platform::dialogs().messageBox(c.window,
                                       QStringLiteral("Cannot open ") + path +
                                           QStringLiteral(": ") + file.errorString(),
                                       platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
        return;
    }
    if (file.size() > kLargestFile) {
        platform::dialogs().messageBox(c.window, QStringLiteral("The file is too large to open."),
                                       platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
        return;
    }
    // Read in one go: a large file opens at once instead of line by line.
    const QByteArray bytes = file.read(kLargestFile);
    std::string text = reader::CollectLines(std::string_view(bytes.constData(), bytes.size()));
    callbacks.replaceDebugText(text);
    callbacks.showMessage(std::move(text));
}

void ReaderCommands::SaveAs() {
    platform::FileDialogRequest request;
    request.filter =
        QStringLiteral("All Files (*.*)|*.*|Text Files(*.txt)|*.txt|HTML Files (*.html)|*.html");
    request.filterIndex = 2;
    const auto path = platform::dialogs().saveFileName(c.window, request);
    if (!path) {
        return;
    }
    QString text = c.txtMsg->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    text += QStringLiteral("\r\n");
    QSaveFile file(*path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(fileBytes(text));
        file.commit(); // a failed write leaves any earlier file as it was
    }
}

void ReaderCommands::Print() {
    const PrintHeader header = callbacks.printHeader();
    QString page = QStringLiteral("Date: ") + header.date + QStringLiteral("\nFrom: ") +
                   header.from + QStringLiteral("\nSubject: ") + header.subject +
                   QStringLiteral("\n\n");
    auto& dialogs = platform::dialogs();
    if (c.btnHTML->isChecked()) {
        const auto answer = dialogs.messageBox(
            c.window, QStringLiteral("Print as HTML?\n(No to print as text, Cancel to abort)"),
            platform::MsgButtons::YesNoCancel);
        if (answer == platform::MsgAnswer::Cancel) {
            return;
        }
        if (answer == platform::MsgAnswer::Yes) {
            printHtml();
            return;
        }
        page += callbacks.browserText();
    } else {
        const QTextCursor cursor = c.txtMsg->textCursor();
        if (cursor.hasSelection()) {
            const auto answer = dialogs.messageBox(
                c.window,
                QStringLiteral(
                    "Print only selected text?\n(No to print all, Cancel to print nothing)"),
                platform::MsgButtons::YesNoCancel);
            if (answer == platform::MsgAnswer::Cancel) {
                return;
            }
            // The selection comes back with paragraph separators for its line ends.
            page +=
                answer == platform::MsgAnswer::Yes
                    ? cursor.selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'))
                    : c.txtMsg->toPlainText();
        } else {
            page += c.txtMsg->toPlainText();
        }
    }
    printText(page);
}

void ReaderCommands::printHtml() {
    platform::BrowserView* view = callbacks.browser();
    if (!view || printingHtml) {
        return;
    }
    const PrintHeader header = callbacks.printHeader();
    const QString title = header.date + QStringLiteral(", ") + header.subject;
    std::unique_ptr<QPrinter> printer = printerFactory();
    printer->setDocName(title);
    if (!platform::dialogs().printerDialog(c.window, *printer)) {
        return;
    }
    // The page's own title heads the printout.
    const QString script =
        QStringLiteral("document.title = %1;")
            .arg(QString::fromUtf8(QJsonDocument(QJsonArray{title}).toJson(QJsonDocument::Compact))
                     .mid(1)
                     .chopped(1));
    view->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld);
    // The browser prints in the background; the printer lives until it is done.
    printingHtml = true;
    QPrinter* pending = printer.release();
    connect(
        view, &QWebEngineView::printFinished, this,
        [this, pending](bool ok) {
            printingHtml = false;
            delete pending;
            if (!ok) {
                platform::dialogs().messageBox(
                    c.window, QStringLiteral("The message could not be printed."),
                    platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
            }
        },
        Qt::SingleShotConnection);
    view->print(pending);
}

void ReaderCommands::printText(const QString& text) {
    std::unique_ptr<QPrinter> printer = printerFactory();
    if (!platform::dialogs().printerDialog(c.window, *printer)) {
        return;
    }
    QTextDocument document;
    document.setDefaultFont(c.txtMsg->font());
    document.setPlainText(text);
    document.print(printer.get());
    if (printer->printerState() == QPrinter::Error) {
        platform::dialogs().messageBox(c.window,
                                       QStringLiteral("The message could not be printed."),
                                       platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
    }
}

double ReaderCommands::RowHeight() const {
    const QFontMetrics metrics(c.lstHeaders->font());
    return std::round(callbacks.pixelsToTwips(metrics.height()));
}

void ReaderCommands::LongerList() {
    callbacks.setListHeight(reader::LongerList(callbacks.listHeight(), RowHeight()));
}

void ReaderCommands::ShorterList() {
    callbacks.setListHeight(reader::ShorterList(callbacks.listHeight(), RowHeight()));
}

void ReaderCommands::changeTextSize(int delta) {
    QFont text = c.txtMsg->font();
    const qreal size = text.pointSizeF() + delta;
    if (size < kSmallestFont || size > kLargestFont) {
        return;
    }
    text.setPointSizeF(size);
    c.txtMsg->setFont(text);
    QFont list = c.lstHeaders->font();
    list.setPointSizeF(list.pointSizeF() + delta);
    c.lstHeaders->setFont(list);
    if (delta > 0) {
        LongerList();
    } else {
        ShorterList();
    }
}

void ReaderCommands::LargerText() {
    changeTextSize(+1);
}

void ReaderCommands::SmallerText() {
    changeTextSize(-1);
}

void ReaderCommands::FixedWidthFont(bool fixed) {
    c.mnFixedWidth->setChecked(fixed);
    QFont font = c.txtMsg->font();
    font.setFamily(fixed ? QStringLiteral("Courier New") : QStringLiteral("MS Sans Serif"));
    c.txtMsg->setFont(font);
}

void ReaderCommands::About() {
    platform::dialogs().messageBox(c.window,
                                   QStringLiteral("Email POP client, V" CORVANE_VERSION
                                                  "\nWritten by the Corvane developers."),
                                   platform::MsgButtons::Ok, platform::MsgIcon::None,
                                   QStringLiteral("Kestrelle"));
}
