#pragma once

#include "decoding/Attachments.h"
#include "decoding/MimeTree.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class ClickableLabel;
class QAction;
class QPoint;
class QWidget;

// The files of the message on show, from one walk of its MIME tree: the attachments line, a
// pop-up menu on it with one "Save … As…" per file and "Save All Attachments…", the File
// menu's "Save Attachments…", and the message's own pictures for the HTML view. Files are
// written only where the user chose, under names that cannot leave that folder, and an
// existing file is replaced only when the user says so.
class AttachmentSaver : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QWidget* window = nullptr; // dialogs' parent
        ClickableLabel* lblAttachments = nullptr;
        QAction* mnSaveAttachments = nullptr;
    };

    explicit AttachmentSaver(const Controls& controls);

    // raw: a RETR reply or the text of a message file. Its tree is walked once here. The
    // saver keeps the message shared with whoever else holds it: no copy is made.
    void setMessage(std::shared_ptr<const std::string> raw);
    void setMessage(std::string raw);
    // No message is on show.
    void clear();
    const std::vector<decoding::Attachment>& attachments() const { return files; }
    // The names the files are offered under, in the same order.
    const std::vector<std::string>& saveNames() const { return names; }
    // What the attachments line shows: exactly the files that can be saved.
    QString attachmentsLine() const;

    // The picture a cid: address (cid true) or a Content-Location refers to, as its
    // content type and bytes; only image parts are pictures.
    struct Picture {
        QByteArray contentType, bytes;
    };
    std::optional<Picture> picture(const QString& reference, bool cid) const;

    void ShowMenu(const QPoint& globalPos);
    void SaveAs(std::size_t index);
    void SaveAll();

    // Menu entries show at most this many characters of a name.
    static constexpr std::size_t MenuNameChars = 60;

private:
    // Writes file index to path; false (the user told) when that failed.
    bool write(std::size_t index, const QString& path);
    QString suggested(std::size_t index) const;

    Controls c;
    std::shared_ptr<const std::string> message; // never null
    decoding::MimeTree tree;
    std::vector<decoding::Attachment> files;
    std::vector<std::string> names;
    QString folder; // where the last file went; the next dialog starts there
};
