// The header list on the screen: the listing, downloads and deletions.
#include "platform/ClickableLabel.h"
#include "platform/Dialogs.h"
#include "platform/SettingsStore.h"
#include "session/HeaderRow.h"
#include "session/ui/PopSession.h"
#include "session/ui/frmDebug.h"
#include "settings/SettingsKeys.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <exception>

using session::Pop3Command;
using session::Pop3Request;

namespace {

const QString kListBusy = QStringLiteral("Downloading List, Please Wait");
const QString kMessageBusy = QStringLiteral("Downloading Message, Please Wait");
const QString kQuitBusy = QStringLiteral("Disconnecting, Please Wait");

QString utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void message(QWidget* parent, const QString& text) {
    platform::dialogs().messageBox(parent, text);
}

} // namespace

// --- Rows ----------------------------------------------------------------------------------

void PopSession::showRow(int row) {
    flushListingView();
    if (QListWidgetItem* item = ui.lstHeaders->item(row)) {
        item->setText(utf8(rows.shown(row)));
    }
}

void PopSession::SetRowMark(int row, char mark) {
    rows.setMark(row, mark);
    showRow(row);
    ui.lstHeaders->setCurrentRow(row);
}

void PopSession::SelectNextRow(int from) {
    QListWidget* list = ui.lstHeaders;
    const int count = list->count();
    if (count == 0) {
        return;
    }
    const int row = from < count - 1 ? std::max(from + 1, 0) : count - 1;
    list->setCurrentRow(row);
    list->scrollToItem(list->item(row), QAbstractItemView::EnsureVisible);
}

// --- Retrieval -----------------------------------------------------------------------------

bool PopSession::refuseWhileBusy() {
    // DELE and NOOP replies are single lines that change nothing a new command depends on;
    // everything else must be answered before the next command goes out.
    const bool busy =
        listing ||
        std::any_of(engine.inFlight().begin(), engine.inFlight().end(), [](const Pop3Request& r) {
            return r.command != Pop3Command::Dele && r.command != Pop3Command::Noop;
        });
    if (!busy) {
        return false;
    }
    setNote(engine.inFlight(Pop3Command::Retr)   ? kMessageBusy
            : engine.inFlight(Pop3Command::Quit) ? kQuitBusy
                                                 : kListBusy);
    clearNotePending = true;
    return true;
}

void PopSession::lstHeaders_DblClick() {
    download(ui.lstHeaders->currentRow());
}

bool PopSession::download(int row) {
    try {
        if (sck->state() != platform::Transport::State::Connected) {
            message(ui.window, QStringLiteral("Connection closed, click Get Mail"));
            return false;
        }
        if (!listComplete) {
            setNote(kListBusy);
            clearNotePending = true;
            return false;
        }
        if (refuseWhileBusy()) {
            return false;
        }
        if (!rows.has(row)) {
            message(ui.window, QStringLiteral("No message selected!"));
            return false;
        }
        if (rows.isSexuallyExplicit(row)) {
            message(ui.window,
                    QStringLiteral(
                        "These messages stay on the server until deleted or Hell freezes over"));
            return false;
        }
        clearDebugBuffer();
        Q_EMIT downloadStarting();
        retrieving = true;
        advanceAfterView = false;
        busyPointer();
        setStatus(QStringLiteral("Downloading message"));
        if (!send({Pop3Command::Retr, rows.number(row), row})) {
            defaultPointer();
            return false;
        }
        return true;
    } catch (const std::exception&) {
        message(ui.window, QStringLiteral("Error in lstHeaders()"));
        return false;
    }
}

void PopSession::cmdView_Click() {
    QListWidget* list = ui.lstHeaders;
    const int row = list->currentRow();
    if (row >= 0) {
        const int target =
            session::ViewRow(rows.shown(row), row, rows.size(), ui.mnFilterSpam->isChecked());
        if (target != row) {
            list->setCurrentRow(target);
        }
    }
    if (download(list->currentRow())) {
        advanceAfterView = true;
    }
}

void PopSession::onRetrReply(const Pop3Request& request, std::string reply) {
    if (!retrieving) {
        return;
    }
    defaultPointer();
    const int row = request.tag;
    setStatus(QStringLiteral("Message # ") + QString::number(row + 1) + QStringLiteral(" of ") +
              QString::number(ui.lstHeaders->count()) + QStringLiteral(" Complete"));
    SetRowMark(row, 'R');
    if (advanceAfterView) {
        SelectNextRow(row);
    }
    retrieving = false;
    Q_EMIT messageDownloaded(std::move(reply));
}

// --- Deletion ------------------------------------------------------------------------------

void PopSession::cmdDelete_Click() {
    if (refuseWhileBusy()) {
        return;
    }
    QListWidget* list = ui.lstHeaders;
    const int row = list->currentRow();
    if (row < 0) {
        message(ui.window, QStringLiteral("No message selected!"));
        if (list->count() > 0) {
            list->setCurrentRow(0);
        }
        return;
    }
    if (rows.mark(row) == 'D') {
        message(ui.window, QStringLiteral("Message already marked for deletion"));
        return;
    }
    if (ui.mnConfirmDelete->isChecked() &&
        platform::dialogs().messageBox(
            ui.window, QStringLiteral("Are you sure you want\r\nto delete this message ?"),
            platform::MsgButtons::YesNo) != platform::MsgAnswer::Yes) {
        return;
    }
    send({Pop3Command::Dele, rows.number(row), row});
    if (list->currentRow() < 0 && list->count() > 0) {
        list->setCurrentRow(0);
    }
    if (QListWidgetItem* item = list->currentItem()) {
        item->setSelected(true);
    }
}

void PopSession::onDeleted(const Pop3Request& request) {
    const int row = request.tag;
    if (!rows.has(row)) {
        return;
    }
    setStatus(QStringLiteral("Message # ") + QString::number(row + 1) + QStringLiteral(" of ") +
              QString::number(ui.lstHeaders->count()) + QStringLiteral(" marked deleted"));
    SetRowMark(row, 'D');
    SelectNextRow(row);
}

void PopSession::DeleteAndViewNext() {
    cancelViewNext();
    QListWidget* list = ui.lstHeaders;
    const int remembered = list->currentRow();
    cmdDelete_Click();
    if (remembered == list->count() - 1) {
        return;
    }
    if (list->currentRow() != remembered) {
        download(list->currentRow());
        return;
    }
    // Normally the "+OK" to DELE moves the selection; whichever row it moves to is next.
    viewNextFrom = remembered;
    viewNext = connect(list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row != viewNextFrom) {
            cancelViewNext();
            download(row);
        }
    });
}

void PopSession::cancelViewNext() {
    if (viewNext) {
        disconnect(viewNext);
    }
    viewNext = {};
    viewNextFrom = -1;
}

bool PopSession::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui.cmdDelete && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        if (ui.cmdDelete->isEnabled()) {
            DeleteAndViewNext();
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// --- Debug buffer --------------------------------------------------------------------------

frmDebug* PopSession::debugWindow(bool create) {
    if (!debug && create) {
        debug = new frmDebug(ui.window, [](const char* key) {
            return platform::settingsStore().GetSetting(settings::keys::kSettings, key);
        });
    }
    return debug;
}

settings::WindowGeometry PopSession::debugWindowGeometry() const {
    if (debug) {
        const QRectF r = debug->windowTwips();
        return {r.top(), r.left(), r.height(), r.width()};
    }
    // Not open: what the window's own load would make of the stored values.
    auto stored = [](std::string_view key) {
        return platform::settingsStore().GetSetting(settings::keys::kSettings, key);
    };
    return settings::GeometryFromText(
        stored(settings::keys::kDeTop), stored(settings::keys::kDeLeft),
        stored(settings::keys::kDeHeight), stored(settings::keys::kDeWidth),
        settings::kBufferWindowLimits);
}

void PopSession::AddDebugText(const QString& text) {
    try {
        debugWindow(true)->appendText(text);
    } catch (const std::exception&) {
        message(ui.window, QStringLiteral("Error in AddDebugText()"));
    }
}

void PopSession::AddDebugBytes(std::string_view bytes) {
    try {
        debugWindow(true)->appendBytes(bytes);
    } catch (const std::exception&) {
        message(ui.window, QStringLiteral("Error in AddDebugText()"));
    }
}

void PopSession::clearDebugBuffer() {
    if (debug) {
        debug->setBytes({});
    }
}

void PopSession::ShowBuffer() {
    frmDebug* w = debugWindow(true);
    w->show();
    w->raise();
    w->activateWindow();
}

void PopSession::ShowRemovedTags(const std::string& tags) {
    // The removed tags borrow the debug window; its own text comes back when it is closed.
    std::string kept = debug ? debug->text() : std::string();
    frmDebug* w = debugWindow(true);
    w->hide();
    w->setBytes(tags);
    w->setWindowModality(Qt::ApplicationModal);
    connect(w, &QObject::destroyed, this, [this, kept = std::move(kept)]() mutable {
        // After the window is gone for good, so that a new one takes the text.
        QMetaObject::invokeMethod(
            this,
            [this, kept = std::move(kept)]() mutable {
                if (!kept.empty()) {
                    debugWindow(true)->setText(std::move(kept));
                }
            },
            Qt::QueuedConnection);
    });
    w->show();
}
