#pragma once

#include "decoding/Attachments.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class ClickableLabel;
class QAction;
class QPoint;
class QWidget;

// Saves the files of the message on show: a pop-up menu on the attachments line with one
// "Save … As…" per file and "Save All Attachments…", and the File menu's "Save Attachments…".
// Files are written only where the user chose, under names that cannot leave that folder,
// and an existing file is replaced only when the user says so.
class AttachmentSaver : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QWidget* window = nullptr; // dialogs' parent
        ClickableLabel* lblAttachments = nullptr;
        QAction* mnSaveAttachments = nullptr;
    };
    using MessageSource = std::function<const decoding::DecodedMessage&()>;

    AttachmentSaver(const Controls& controls, MessageSource message);

    // A message has been decoded: its files are listed again.
    void refresh();
    // No message is on show.
    void clear();
    const std::vector<decoding::Attachment>& attachments() const { return files; }
    // The names the files are offered under, in the same order.
    const std::vector<std::string>& saveNames() const { return names; }

    // The picture whose Content-ID is id, as its content type and bytes.
    struct Picture {
        QByteArray contentType, bytes;
    };
    std::optional<Picture> inlinePicture(const QString& id) const;

    void ShowMenu(const QPoint& globalPos);
    void SaveAs(std::size_t index);
    void SaveAll();

private:
    // Writes file index to path; false (the user told) when that failed.
    bool write(std::size_t index, const QString& path);
    QString suggested(std::size_t index) const;

    Controls c;
    MessageSource message;
    std::vector<decoding::Attachment> files;
    std::vector<std::string> names;
    QString folder; // where the last file went; the next dialog starts there
};
