#include "session/ui/DebugBuffer.h"

#include "platform/Dialogs.h"
#include "platform/SettingsStore.h"
#include "session/MailboxSession.h"
#include "session/ui/frmDebug.h"
#include "settings/SettingsKeys.h"

#include <exception>

namespace {

std::string stored(std::string_view key) {
    return platform::settingsStore().GetSetting(settings::keys::kSettings, key);
}

} // namespace

DebugBuffer::DebugBuffer(QWidget* parent) : QObject(parent), owner(parent) {}

frmDebug* DebugBuffer::window(bool create) {
    if (!debug && create) {
        debug = new frmDebug(owner, [](const char* key) { return stored(key); });
    }
    return debug;
}

settings::WindowGeometry DebugBuffer::geometry() const {
    if (debug) {
        const QRectF r = debug->windowTwips();
        return {r.top(), r.left(), r.height(), r.width()};
    }
    // Not open: what the window's own load would make of the stored values.
    return settings::GeometryFromText(
        stored(settings::keys::kDeTop), stored(settings::keys::kDeLeft),
        stored(settings::keys::kDeHeight), stored(settings::keys::kDeWidth),
        settings::kBufferWindowLimits);
}

void DebugBuffer::appendText(const QString& text) {
    try {
        window(true)->appendText(text);
    } catch (const std::exception&) {
        platform::dialogs().messageBox(owner, QStringLiteral("Error in AddDebugText()"));
    }
}

void DebugBuffer::appendBytes(std::string_view bytes, int reply, std::size_t expected) {
    try {
        window(true)->appendBytes(bytes, reply, expected);
    } catch (const std::exception&) {
        platform::dialogs().messageBox(owner, QStringLiteral("Error in AddDebugText()"));
    }
}

void DebugBuffer::add(const session::SessionEvent& event) {
    using Kind = session::SessionEvent::Kind;
    if (event.kind == Kind::DebugText) {
        appendText(QString::fromStdString(event.text));
    } else if (event.kind == Kind::DebugBytes) {
        appendBytes(event.text, event.row, event.expected);
    } else if (event.kind == Kind::DebugCut) {
        window(true)->cutReply(event.row, event.text);
    }
}

void DebugBuffer::clear() {
    if (debug) {
        debug->setBytes({});
    }
}

void DebugBuffer::show() {
    frmDebug* w = window(true);
    w->show();
    w->raise();
    w->activateWindow();
}

void DebugBuffer::close() {
    if (debug) {
        debug->close();
    }
}

void DebugBuffer::showRemovedTags(const std::string& tags) {
    std::string kept = debug ? debug->text() : std::string();
    frmDebug* w = window(true);
    w->hide();
    w->setBytes(tags);
    w->setWindowModality(Qt::ApplicationModal);
    connect(w, &QObject::destroyed, this, [this, kept = std::move(kept)]() mutable {
        // After the window is gone for good, so that a new one takes the text.
        QMetaObject::invokeMethod(
            this,
            [this, kept = std::move(kept)]() mutable {
                if (!kept.empty()) {
                    window(true)->setText(std::move(kept));
                }
            },
            Qt::QueuedConnection);
    });
    w->show();
}
