#include "decoding/ui/frmQuoted.h"

#include "platform/Twips.h"

#include "platform/Dialogs.h"
#include "platform/SettingsStore.h"
#include "platform/TextCodec.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsValues.h"
#include "settings/WindowGeometry.h"

#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRectF>

namespace keys = settings::keys;

frmQuoted::frmQuoted(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("frmQuoted"));
    setWindowTitle(QStringLiteral("Quoted Text Buffer"));
    setAttribute(Qt::WA_DeleteOnClose);

    txtMsg = new QPlainTextEdit(this);
    txtMsg->setObjectName(QStringLiteral("txtMsg"));
    txtMsg->setFont(QFont(QStringLiteral("Courier New"), 9));
    txtMsg->setLineWrapMode(QPlainTextEdit::NoWrap);
    cmdSave = new QPushButton(QStringLiteral("Save"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    lblMsg = new QLabel(this);
    lblMsg->setObjectName(QStringLiteral("lblMsg"));
    connect(cmdSave, &QPushButton::clicked, this, [this] { cmdSave_Click(); });

    placeFromSettings();
}

frmQuoted::~frmQuoted() = default;

int frmQuoted::toPixels(double twips) const {
    return Twips::of(*this).toPixels(twips);
}

double frmQuoted::toTwips(int pixels) const {
    return Twips::of(*this).fromPixels(pixels);
}

void frmQuoted::placeFromSettings() {
    const platform::SettingsStore& store = platform::settingsStore();
    const auto setting = [&](std::string_view key) {
        return store.GetSetting(keys::kSettings, key);
    };
    const settings::WindowGeometry g = settings::GeometryFromText(
        setting(keys::kQuTop), setting(keys::kQuLeft), setting(keys::kQuHeight),
        setting(keys::kQuWidth), settings::kBufferWindowLimits);
    move(toPixels(g.Left), toPixels(g.Top));
    resize(toPixels(g.Width), toPixels(g.Height));
    layoutControls();
}

QRectF frmQuoted::geometryTwips() const {
    const QRect frame = frameGeometry();
    return QRectF(toTwips(frame.x()), toTwips(frame.y()), toTwips(width()), toTwips(height()));
}

void frmQuoted::saveToSettings() const {
    const QRectF g = geometryTwips();
    platform::settingsStore().SaveSettings(keys::kSettings,
                                           {{keys::kQuTop, settings::FormatSingle(g.top())},
                                            {keys::kQuLeft, settings::FormatSingle(g.left())},
                                            {keys::kQuHeight, settings::FormatSingle(g.height())},
                                            {keys::kQuWidth, settings::FormatSingle(g.width())}});
}

void frmQuoted::layoutControls() {
    const double w = toTwips(width());
    const double h = toTwips(height());
    const double textHeight = h > 2000 ? h - 1000 : toTwips(txtMsg->height());
    txtMsg->setGeometry(toPixels(120), toPixels(120), std::max(0, toPixels(w - 300)),
                        std::max(0, toPixels(textHeight)));
    const double buttonsTop = 120 + textHeight + 120;
    cmdSave->setGeometry(toPixels(120), toPixels(buttonsTop), toPixels(1000), toPixels(375));
    lblMsg->setGeometry(toPixels(1300), toPixels(buttonsTop + 60), std::max(0, toPixels(w - 1600)),
                        toPixels(255));
}

void frmQuoted::setText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    txtMsg->setPlainText(platform::ForTextView(std::move(shown)));
}

void frmQuoted::cmdSave_Click() {
    platform::FileDialogRequest request;
    request.filter = QStringLiteral("All Files (*.*)|*.*|Text Files(*.txt)|*.txt");
    request.filterIndex = 2;
    const std::optional<QString> path = platform::dialogs().saveFileName(this, request);
    if (!path || path->isEmpty()) {
        return;
    }
    QString text = txtMsg->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    std::string bytes = platform::TextCodec::toBytes(text);
    bytes.append("\r\n");
    QFile file(*path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return; // a failure ends the command silently
    }
    file.write(bytes.data(), qint64(bytes.size()));
    file.close();
}

void frmQuoted::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutControls();
}

void frmQuoted::closeEvent(QCloseEvent* event) {
    if (!saved) {
        saved = true;
        saveToSettings();
    }
    QWidget::closeEvent(event);
}
