#include "platform/Dialogs.h"

#include "platform/CertificateDialog.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace platform {

namespace {

QMessageBox::Icon toQtIcon(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toQtButtons(MsgButtons buttons) {
    switch (buttons) {
    case MsgButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoDefaultNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MsgButtons::RetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    case MsgButtons::Ok:
        break;
    }
    return QMessageBox::Ok;
}

MsgAnswer fromQtButton(int button) {
    switch (button) {
    case QMessageBox::Cancel:
        return MsgAnswer::Cancel;
    case QMessageBox::Yes:
        return MsgAnswer::Yes;
    case QMessageBox::No:
        return MsgAnswer::No;
    case QMessageBox::Retry:
        return MsgAnswer::Retry;
    default:
        return MsgAnswer::Ok;
    }
}

class QtDialogs final : public Dialogs {
public:
    MsgAnswer messageBox(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon,
                         const QString& title) override {
        QMessageBox box(toQtIcon(icon), title.isEmpty() ? applicationTitle() : title, text,
                        toQtButtons(buttons), parent);
        if (buttons == MsgButtons::YesNoDefaultNo) {
            box.setDefaultButton(QMessageBox::No);
        }
        const int result = box.exec();
        // Closing the box with the window's close button means "no" to a question.
        if (result == QMessageBox::Escape || result == 0) {
            return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
        }
        return fromQtButton(result);
    }

    std::optional<QString> openFileName(QWidget* parent,
                                        const FileDialogRequest& request) override {
        return runFileDialog(parent, request, QFileDialog::AcceptOpen);
    }

    std::optional<QString> saveFileName(QWidget* parent,
                                        const FileDialogRequest& request) override {
        return runFileDialog(parent, request, QFileDialog::AcceptSave);
    }

    std::optional<QString> folderName(QWidget* parent, const FileDialogRequest& request) override {
        const QString folder =
            QFileDialog::getExistingDirectory(parent, request.title, request.fileName);
        return folder.isEmpty() ? std::nullopt : std::optional<QString>(folder);
    }

    bool printerDialog(QWidget* parent, QPrinter& printer) override {
        QPrintDialog dialog(&printer, parent);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
        return dialog.exec() == QDialog::Accepted;
    }

    QAction* popupMenu(QMenu& menu, const QPoint& globalPos) override {
        return menu.exec(globalPos);
    }

    bool trustCertificate(QWidget* parent, const CertificateQuestion& question) override {
        CertificateDialog dialog(question, parent);
        return dialog.exec() == QDialog::Accepted;
    }

private:
    static std::optional<QString> runFileDialog(QWidget* parent, const FileDialogRequest& request,
                                                QFileDialog::AcceptMode mode) {
        QFileDialog dialog(parent, request.title);
        dialog.setAcceptMode(mode);
        dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                           : QFileDialog::AnyFile);
        // The read-only box is never offered.
        dialog.setOption(QFileDialog::ReadOnly, false);
        const QStringList entries = filterEntries(request.filter);
        if (!entries.isEmpty()) {
            dialog.setNameFilters(entries);
            const int index = request.filterIndex - 1;
            if (index >= 0 && index < entries.size()) {
                dialog.selectNameFilter(entries.at(index));
            }
        }
        if (!request.fileName.isEmpty()) {
            dialog.selectFile(request.fileName);
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        return dialog.selectedFiles().constFirst();
    }
};

Dialogs* installed = nullptr;

} // namespace

QString CertificateQuestion::wholeText() const {
    return changed() ? text + QStringLiteral("\n\nTrusted before:\n") + trusted +
                           QStringLiteral("\n\nOffered now:\n") + offered
                     : text + QStringLiteral("\n\nSHA-256 fingerprint:\n") + offered;
}

bool Dialogs::trustCertificate(QWidget* parent, const CertificateQuestion& question) {
    return messageBox(parent, question.wholeText(), MsgButtons::YesNo, MsgIcon::Exclamation,
                      question.title) == MsgAnswer::Yes;
}

Dialogs& dialogs() {
    static QtDialogs real;
    return installed ? *installed : real;
}

void installDialogs(Dialogs* replacement) {
    installed = replacement;
}

QStringList filterEntries(const QString& classicFilter) {
    QStringList entries;
    const QStringList pieces = classicFilter.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < pieces.size(); i += 2) {
        QString caption = pieces.at(i);
        QString patterns = pieces.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the parentheses; keep the caption as written
        // and put the patterns where Qt looks for them.
        if (caption.contains(QLatin1Char('('))) {
            caption = caption.left(caption.indexOf(QLatin1Char('('))).trimmed();
        }
        entries << QStringLiteral("%1 (%2)").arg(caption, patterns);
    }
    return entries;
}

QString applicationTitle() {
    return QStringLiteral("Corvane");
}

} // namespace platform
