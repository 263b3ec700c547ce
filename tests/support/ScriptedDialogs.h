#pragma once

#include "platform/Dialogs.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

// Answers the program's dialogs from a script and records what was asked.
// Installs itself for its lifetime. A dialog that the script did not expect
// is a test failure (and is answered with Cancel / OK).
class ScriptedDialogs final : public platform::Dialogs {
public:
    struct Message {
        QString text;
        QString title; // as shown: the application's name when none was given
    };

    ScriptedDialogs() { platform::installDialogs(this); }
    ~ScriptedDialogs() override { platform::installDialogs(nullptr); }

    // Queue answers, consumed in order by the kind of dialog they belong to.
    ScriptedDialogs& answer(platform::MsgAnswer a) { return queue(answers, a); }
    ScriptedDialogs& openFile(std::optional<QString> path) { return queue(opens, path); }
    ScriptedDialogs& saveFile(std::optional<QString> path) { return queue(saves, path); }
    ScriptedDialogs& folder(std::optional<QString> path) { return queue(folders, path); }
    ScriptedDialogs& printer(bool accept) { return queue(printerAnswers, accept); }
    // Chooses the menu action whose text is `caption`; empty dismisses the menu.
    ScriptedDialogs& popup(QString caption) { return queue(popupChoices, caption); }
    // Runs while the next message box is open, as a modal box runs the event loop.
    ScriptedDialogs& whileOpen(std::function<void()> run) {
        duringNextBox = std::move(run);
        return *this;
    }
    // Message boxes with no queued answer get OK (Ok boxes only) without failing.
    ScriptedDialogs& allowUnscriptedOk(bool allow = true) {
        unscriptedOk = allow;
        return *this;
    }

    const std::vector<Message>& messages() const { return asked; }
    QStringList messageTexts() const {
        QStringList texts;
        for (const Message& m : asked) {
            texts << m.text;
        }
        return texts;
    }
    const std::vector<platform::FileDialogRequest>& fileRequests() const { return files; }
    const std::vector<QStringList>& popupMenus() const { return menus; }
    void clear() {
        asked.clear();
        files.clear();
        menus.clear();
    }

    platform::MsgAnswer messageBox(QWidget* parent, const QString& text,
                                   platform::MsgButtons buttons, platform::MsgIcon icon,
                                   const QString& title) override;
    std::optional<QString> openFileName(QWidget* parent,
                                        const platform::FileDialogRequest& request) override;
    std::optional<QString> saveFileName(QWidget* parent,
                                        const platform::FileDialogRequest& request) override;
    std::optional<QString> folderName(QWidget* parent,
                                      const platform::FileDialogRequest& request) override;
    bool printerDialog(QWidget* parent, QPrinter& printer) override;
    QAction* popupMenu(QMenu& menu, const QPoint& globalPos) override;

private:
    template <class T> ScriptedDialogs& queue(std::deque<T>& script, T answer) {
        script.push_back(std::move(answer));
        return *this;
    }

    std::deque<platform::MsgAnswer> answers;
    std::deque<std::optional<QString>> opens;
    std::deque<std::optional<QString>> saves;
    std::deque<std::optional<QString>> folders;
    std::deque<bool> printerAnswers;
    std::deque<QString> popupChoices;
    bool unscriptedOk = false;
    std::function<void()> duringNextBox;

    std::vector<Message> asked;
    std::vector<platform::FileDialogRequest> files;
    std::vector<QStringList> menus;
};
