#include "support/ScriptedDialogs.h"

#include <QAction>
#include <QMenu>
#include <gtest/gtest.h>
#include <utility>

using platform::MsgAnswer;

namespace {

// The next scripted answer of a kind; a dialog nobody expected fails the test.
template <class T> T next(std::deque<T>& script, const std::string& dialog, T otherwise) {
    if (script.empty()) {
        ADD_FAILURE() << "unexpected " << dialog;
        return otherwise;
    }
    T answer = std::move(script.front());
    script.pop_front();
    return answer;
}

} // namespace

MsgAnswer ScriptedDialogs::messageBox(QWidget*, const QString& text, platform::MsgButtons buttons,
                                      platform::MsgIcon, const QString& title) {
    asked.push_back({text, title.isEmpty() ? platform::applicationTitle() : title});
    if (duringNextBox) {
        std::exchange(duringNextBox, nullptr)();
    }
    const bool okBox = buttons == platform::MsgButtons::Ok;
    if (answers.empty() && unscriptedOk && okBox) {
        return MsgAnswer::Ok;
    }
    return next(answers, "message box: " + text.toStdString(),
                okBox ? MsgAnswer::Ok : MsgAnswer::Cancel);
}

std::optional<QString> ScriptedDialogs::openFileName(QWidget*,
                                                     const platform::FileDialogRequest& request) {
    files.push_back(request);
    return next<std::optional<QString>>(opens, "open-file dialog", std::nullopt);
}

std::optional<QString> ScriptedDialogs::saveFileName(QWidget*,
                                                     const platform::FileDialogRequest& request) {
    files.push_back(request);
    return next<std::optional<QString>>(saves, "save-file dialog", std::nullopt);
}

std::optional<QString> ScriptedDialogs::folderName(QWidget*,
                                                   const platform::FileDialogRequest& request) {
    files.push_back(request);
    return next<std::optional<QString>>(folders, "folder dialog", std::nullopt);
}

bool ScriptedDialogs::printerDialog(QWidget*, QPrinter&) {
    return next(printerAnswers, "printer dialog", false);
}

QAction* ScriptedDialogs::popupMenu(QMenu& menu, const QPoint&) {
    QStringList captions;
    for (QAction* a : menu.actions()) {
        if (a->isVisible()) {
            captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
        }
    }
    menus.push_back(captions);
    const QString choice = next<QString>(popupChoices, "pop-up menu", QString());
    for (QAction* a : menu.actions()) {
        if (a->isVisible() && !a->isSeparator() && a->text() == choice) {
            return a;
        }
    }
    return nullptr;
}
