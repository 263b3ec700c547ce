#include "reader/ui/ReaderCommands.h"

#include "platform/Dialogs.h"
#include "platform/TextCodec.h"
#include "reader/FileText.h"
#include "reader/ui/frmPOP.h"
#include "settings/Numbers.h"

#include <QAction>
#include <QFile>
#include <QFontMetrics>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>

namespace {

constexpr int kSmallestFont = 4;
constexpr int kLargestFont = 72;

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

ReaderCommands::ReaderCommands(frmPOP& window) : window(window) {
    printerFactory = [] { return std::make_unique<QPrinter>(QPrinter::HighResolution); };

    connect(window.mnFileSaveAs, &QAction::triggered, this, &ReaderCommands::SaveAs);
    connect(window.cmdPlus, &QPushButton::clicked, this, &ReaderCommands::LongerList);
    connect(window.cmdMinus, &QPushButton::clicked, this, &ReaderCommands::ShorterList);
    connect(window.mnFontLarger, &QAction::triggered, this, &ReaderCommands::LargerText);
    connect(window.mnFontSmaller, &QAction::triggered, this, &ReaderCommands::SmallerText);
    connect(window.mnFixedWidth, &QAction::triggered, this, &ReaderCommands::FixedWidthFont);
    connect(window.mnAbout, &QAction::triggered, this, &ReaderCommands::About);

    // Ctrl with "=" / "+" and "-" change the text size, as the menu captions
    // announce; the captions stay as designed, so the keys live on the window.
    for (const QKeySequence& keys :
         {QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)}) {
        auto* shortcut = new QShortcut(keys, &window);
        connect(shortcut, &QShortcut::activated, this, &ReaderCommands::LargerText);
    }
    auto* smaller = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus), &window);
    connect(smaller, &QShortcut::activated, this, &ReaderCommands::SmallerText);
}

void ReaderCommands::Open() {}

void ReaderCommands::SaveAs() {
    platform::FileDialogRequest request;
    request.filter =
        QStringLiteral("All Files (*.*)|*.*|Text Files(*.txt)|*.txt|HTML Files (*.html)|*.html");
    request.filterIndex = 2;
    const auto path = platform::dialogs().saveFileName(&window, request);
    if (!path) {
        return;
    }
    QString text = window.txtMsg->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    text += QStringLiteral("\r\n");
    QSaveFile file(*path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(fileBytes(text));
        file.commit(); // a failed write leaves any earlier file as it was
    }
}

void ReaderCommands::Print() {}

void ReaderCommands::printText(const QString&) {}

double ReaderCommands::RowHeight() const {
    const QFontMetrics metrics(window.lstHeaders->font());
    return std::round(window.twips().fromPixels(metrics.height()));
}

void ReaderCommands::setListHeight(double height) {
    const QRectF list = window.placement(window.lstHeaders);
    window.place(window.lstHeaders, list.left(), list.top(), list.width(), height);
    window.Listing.VisibleRows = settings::ToInt16(height * 8 / 1740);
    window.LayoutWindow();
}

void ReaderCommands::LongerList() {
    setListHeight(reader::LongerList(window.placement(window.lstHeaders).height(), RowHeight()));
}

void ReaderCommands::ShorterList() {
    setListHeight(reader::ShorterList(window.placement(window.lstHeaders).height(), RowHeight()));
}

void ReaderCommands::changeTextSize(int delta) {
    QFont text = window.txtMsg->font();
    const qreal size = text.pointSizeF() + delta;
    if (size < kSmallestFont || size > kLargestFont) {
        return;
    }
    text.setPointSizeF(size);
    window.txtMsg->setFont(text);
    QFont list = window.lstHeaders->font();
    list.setPointSizeF(list.pointSizeF() + delta);
    window.lstHeaders->setFont(list);
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
    window.mnFixedWidth->setChecked(fixed);
    QFont font = window.txtMsg->font();
    font.setFamily(fixed ? QStringLiteral("Courier New") : QStringLiteral("MS Sans Serif"));
    window.txtMsg->setFont(font);
}

void ReaderCommands::About() {
    platform::dialogs().messageBox(&window,
                                   QStringLiteral("Email POP client, V" CORVANE_VERSION
                                                  "\nWritten by the Corvane developers."),
                                   platform::MsgButtons::Ok, platform::MsgIcon::None,
                                   QStringLiteral("Kestrelle"));
}
