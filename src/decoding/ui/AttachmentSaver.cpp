#include "decoding/ui/AttachmentSaver.h"

#include "platform/ClickableLabel.h"
#include "platform/Dialogs.h"
#include "platform/TextCodec.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const QString kSaveAll = QStringLiteral("Save All Attachments\u2026");

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

AttachmentSaver::AttachmentSaver(const Controls& controls, MessageSource message)
    : c(controls), message(std::move(message)) {
    folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QDir::homePath();
    }
    c.lblAttachments->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(c.lblAttachments, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { ShowMenu(c.lblAttachments->mapToGlobal(at)); });
    if (c.mnSaveAttachments) {
        connect(c.mnSaveAttachments, &QAction::triggered, this, [this] { SaveAll(); });
    }
    clear();
}

void AttachmentSaver::refresh() {
    files = decoding::FindAttachments(message(), platform::TextCodec::charsetToUtf8);
    names = decoding::SaveNames(files);
    if (c.mnSaveAttachments) {
        c.mnSaveAttachments->setEnabled(!files.empty());
    }
}

void AttachmentSaver::clear() {
    files.clear();
    names.clear();
    if (c.mnSaveAttachments) {
        c.mnSaveAttachments->setEnabled(false);
    }
}

std::optional<AttachmentSaver::Picture> AttachmentSaver::inlinePicture(const QString& id) const {
    const QByteArray wanted = id.toUtf8();
    for (const decoding::Attachment& file : files) {
        if (file.ContentType.starts_with("image/") && !file.ContentId.empty() &&
            QByteArray::fromStdString(file.ContentId) == wanted) {
            return Picture{QByteArray::fromStdString(file.ContentType),
                           QByteArray::fromStdString(decoding::AttachmentContent(message(), file))};
        }
    }
    return std::nullopt;
}

void AttachmentSaver::ShowMenu(const QPoint& globalPos) {
    if (files.empty()) {
        return;
    }
    QMenu menu(c.window);
    for (std::size_t i = 0; i < files.size(); ++i) {
        QAction* a = menu.addAction(QStringLiteral("Save %1 As\u2026").arg(fromUtf8(names[i])));
        a->setData(int(i));
    }
    menu.addSeparator();
    QAction* all = menu.addAction(kSaveAll);
    QAction* chosen = platform::dialogs().popupMenu(menu, globalPos);
    if (chosen == all) {
        SaveAll();
    } else if (chosen) {
        SaveAs(std::size_t(chosen->data().toInt()));
    }
}

QString AttachmentSaver::suggested(std::size_t index) const {
    return QDir(folder).filePath(fromUtf8(names[index]));
}

void AttachmentSaver::SaveAs(std::size_t index) {
    if (index >= files.size()) {
        return;
    }
    platform::FileDialogRequest request;
    request.title = QStringLiteral("Save Attachment");
    request.filter = QStringLiteral("All Files (*.*)|*.*");
    request.fileName = suggested(index);
    // The file dialog asks before it returns the name of a file that exists.
    if (const auto path = platform::dialogs().saveFileName(c.window, request)) {
        if (write(index, *path)) {
            folder = QFileInfo(*path).absolutePath();
        }
    }
}

void AttachmentSaver::SaveAll() {
    if (files.empty()) {
        return;
    }
    // Every file goes into the chosen folder under its own safe name.
    platform::FileDialogRequest request;
    request.title = QStringLiteral("Save All Attachments");
    request.fileName = folder;
    const auto chosen = platform::dialogs().folderName(c.window, request);
    if (!chosen) {
        return;
    }
    const QDir target(*chosen);
    folder = target.absolutePath();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const QString path = target.filePath(fromUtf8(names[i]));
        const QFileInfo info(path);
        if (info.absolutePath() != folder) {
            continue; // a safe name never leads elsewhere; should one ever, nothing is written
        }
        if (info.exists() || info.isSymLink()) {
            const platform::MsgAnswer answer = platform::dialogs().messageBox(
                c.window,
                QStringLiteral("%1 already exists in %2.\nReplace it?")
                    .arg(info.fileName(), QDir::toNativeSeparators(folder)),
                platform::MsgButtons::YesNoCancel, platform::MsgIcon::Question);
            if (answer == platform::MsgAnswer::Cancel) {
                return;
            }
            if (answer != platform::MsgAnswer::Yes) {
                continue;
            }
        }
        if (!write(i, path)) {
            return;
        }
    }
}

bool AttachmentSaver::write(std::size_t index, const QString& path) {
    // A link in the chosen place is replaced by the file, never written through.
    if (QFileInfo(path).isSymLink()) {
        QFile::remove(path);
    }
    const std::string bytes = decoding::AttachmentContent(message(), files[index]);
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) &&
        file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size()) && file.commit()) {
        return true;
    }
    platform::dialogs().messageBox(c.window,
                                   QStringLiteral("Cannot save ") + QDir::toNativeSeparators(path) +
                                       QStringLiteral(": ") + file.errorString(),
                                   platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
    return false;
}
