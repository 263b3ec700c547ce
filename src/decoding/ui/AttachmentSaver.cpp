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

AttachmentSaver::AttachmentSaver(const Controls& controls) : c(controls) {
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

void AttachmentSaver::setMessage(std::string raw) {
    setMessage(std::make_shared<const std::string>(std::move(raw)));
}

void AttachmentSaver::setMessage(std::shared_ptr<const std::string> raw) {
    message = raw ? std::move(raw) : std::make_shared<const std::string>();
    tree = decoding::ParseMime(decoding::MessageText(*message), platform::TextCodec::charsetToUtf8);
    files = decoding::FindAttachments(tree);
    names = decoding::SaveNames(files);
    if (c.mnSaveAttachments) {
        c.mnSaveAttachments->setEnabled(!files.empty());
    }
}

void AttachmentSaver::clear() {
    message = std::make_shared<const std::string>(); // a large message is let go at once
    tree = {};
    files.clear();
    names.clear();
    if (c.mnSaveAttachments) {
        c.mnSaveAttachments->setEnabled(false);
    }
}

QString AttachmentSaver::attachmentsLine() const {
    return fromUtf8(decoding::AttachmentsLine(files, names));
}

std::optional<AttachmentSaver::Picture> AttachmentSaver::picture(const QString& reference,
                                                                 bool cid) const {
    const std::size_t i = decoding::FindReferencedPart(tree, reference.toStdString(), cid);
    if (i == decoding::NoParent || !tree.Parts[i].Type.starts_with("image/")) {
        return std::nullopt;
    }
    const decoding::MimePart& part = tree.Parts[i];
    return Picture{QByteArray::fromStdString(part.Type),
                   QByteArray::fromStdString(decoding::PartBytes(*message, part))};
}

void AttachmentSaver::ShowMenu(const QPoint& globalPos) {
    if (files.empty()) {
        return;
    }
    QMenu menu(c.window);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string shown = decoding::ElideName(names[i], MenuNameChars);
        QAction* a = menu.addAction(QStringLiteral("Save %1 As\u2026").arg(fromUtf8(shown)));
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
    int saved = 0;
    QStringList skipped;
    for (std::size_t i = 0; i < files.size(); ++i) {
        QString path = target.filePath(fromUtf8(names[i]));
        const QFileInfo info(path);
        if (info.absolutePath() != folder) {
            continue; // a safe name never leads elsewhere; should one ever, nothing is written
        }
        if (info.exists() || info.isSymLink()) {
            // "No" keeps both: this one goes under the first free numbered name.
            QString other;
            for (int n = 2;
                 other.isEmpty() || QFileInfo(other).exists() || QFileInfo(other).isSymLink();
                 ++n) {
                other = target.filePath(fromUtf8(decoding::NumberedName(names[i], n)));
            }
            const platform::MsgAnswer answer = platform::dialogs().messageBox(
                c.window,
                QStringLiteral("%1 already exists in %2.\nReplace it?\n\nNo keeps both and saves "
                               "this one as %3.")
                    .arg(info.fileName(), QDir::toNativeSeparators(folder),
                         QFileInfo(other).fileName()),
                platform::MsgButtons::YesNoCancel, platform::MsgIcon::Question);
            if (answer == platform::MsgAnswer::Cancel) {
                for (std::size_t j = i; j < files.size(); ++j) {
                    skipped << fromUtf8(decoding::ElideName(names[j], MenuNameChars));
                }
                break;
            }
            if (answer != platform::MsgAnswer::Yes) {
                path = other;
            }
        }
        if (!write(i, path)) {
            return;
        }
        ++saved;
    }
    QString summary = QStringLiteral("Saved %1 of %2 attachments in %3.")
                          .arg(saved)
                          .arg(files.size())
                          .arg(QDir::toNativeSeparators(folder));
    if (!skipped.isEmpty()) {
        summary += QStringLiteral("\nSkipped: ") + skipped.join(QStringLiteral(", "));
    }
    platform::dialogs().messageBox(c.window, summary, platform::MsgButtons::Ok,
                                   platform::MsgIcon::Information);
}

bool AttachmentSaver::write(std::size_t index, const QString& path) {
    // A link in the chosen place is replaced by the file, never written through.
    if (QFileInfo(path).isSymLink()) {
        QFile::remove(path);
    }
    const std::string bytes = decoding::AttachmentContent(*message, tree, files[index]);
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
