#pragma once

#include <QString>
#include <optional>

class QAction;
class QMenu;
class QPoint;
class QPrinter;
class QWidget;

namespace platform {

// YesNoDefaultNo: a question whose Yes throws away what the user typed, or puts it where the
// user may not want it; No is its default button, so that Enter never does.
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoDefaultNo, YesNoCancel, RetryCancel };
enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgAnswer { Ok, Cancel, Yes, No, Retry };

// A file dialog as the windows ask for it: the filter is written the classic
// way, "Caption|pattern|Caption|pattern", and the index counts from 1.
struct FileDialogRequest {
    QString title;
    QString filter;
    int filterIndex = 1;
    QString fileName;
};

// A question about a server's certificate that was refused.
struct CertificateQuestion {
    QString title;
    // What happened, why, what it can mean, and whose certificate it is.
    QString text;
    // The certificate's SHA-256 fingerprint, in groups ("ABCD 1234 ..."; two lines).
    QString offered;
    // The fingerprint trusted for this server before, when the offered certificate is another
    // one; empty otherwise. Trusting then is a deliberate second step.
    QString trusted;

    bool changed() const { return !trusted.isEmpty(); }
    // Everything above as one text, for a plain message box.
    QString wholeText() const;
};

// Every message box, file dialog, printer dialog and pop-up menu goes through
// here, so that tests can answer them from a script.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // An empty title shows the application's name.
    virtual MsgAnswer messageBox(QWidget* parent, const QString& text,
                                 MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None,
                                 const QString& title = {}) = 0;
    // The chosen file, or nothing when the user cancelled.
    virtual std::optional<QString> openFileName(QWidget* parent,
                                                const FileDialogRequest& request) = 0;
    virtual std::optional<QString> saveFileName(QWidget* parent,
                                                const FileDialogRequest& request) = 0;
    // An existing folder (the request's title and, as the starting place, its file name).
    virtual std::optional<QString> folderName(QWidget* parent,
                                              const FileDialogRequest& request) = 0;
    // True when the user accepted the printer dialog.
    virtual bool printerDialog(QWidget* parent, QPrinter& printer) = 0;
    // The chosen action, or nullptr when the menu was dismissed.
    virtual QAction* popupMenu(QMenu& menu, const QPoint& globalPos) = 0;
    // A server's certificate was refused: true when the user trusts it for the account.
    // Unless overridden, a Yes/No message box with the question's whole text and title.
    virtual bool trustCertificate(QWidget* parent, const CertificateQuestion& question);
};

// The dialogs in use: the real ones unless a test installed its own.
Dialogs& dialogs();
// Tests install a scripted implementation; nullptr restores the real one.
void installDialogs(Dialogs* replacement);

// "All Files (*.*)|*.*|Text Files(*.txt)|*.txt" -> the entries a Qt file
// dialog takes, in order.
QStringList filterEntries(const QString& classicFilter);

// The application's name, the title of every message box without one.
QString applicationTitle();

} // namespace platform
