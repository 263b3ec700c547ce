#include "support/ScriptedDialogs.h"

#include <QAction>
#include <QMenu>
#include <gtest/gtest.h>

using platform::MsgAnswer;

ScriptedDialogs::ScriptedDialogs() {
    platform::installDialogs(this);
}

ScriptedDialogs::~ScriptedDialogs() {
    platform::installDialogs(nullptr);
}

ScriptedDialogs& ScriptedDialogs::answer(MsgAnswer a) {
    answers.push_back(a);
    return *this;
}

ScriptedDialogs& ScriptedDialogs::openFile(std::optional<QString> path) {
    opens.push_back(std::move(path));
    return *this;
}

ScriptedDialogs& ScriptedDialogs::saveFile(std::optional<QString> path) {
    saves.push_back(std::move(path));
    return *this;
}

ScriptedDialogs& ScriptedDialogs::printer(bool accept) {
    printerAnswers.push_back(accept);
    return *this;
}

ScriptedDialogs& ScriptedDialogs::popup(QString caption) {
    popupChoices.push_back(std::move(caption));
    return *this;
}

ScriptedDialogs& ScriptedDialogs::allowUnscriptedOk(bool allow) {
    unscriptedOk = allow;
    return *this;
}

QStringList ScriptedDialogs::messageTexts() const {
    QStringList texts;
    for (const Message& m : asked) {
        texts << m.text;
    }
    return texts;
}

void ScriptedDialogs::clear() {
    asked.clear();
    files.clear();
    menus.clear();
    printers = 0;
}

MsgAnswer ScriptedDialogs::messageBox(QWidget*, const QString& text, platform::MsgButtons buttons,
                                      platform::MsgIcon icon, const QString& title) {
    asked.push_back({text, buttons, icon, title.isEmpty() ? platform::applicationTitle() : title});
    if (!answers.empty()) {
        const MsgAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    if (!(unscriptedOk && buttons == platform::MsgButtons::Ok)) {
        ADD_FAILURE() << "unexpected message box: " << text.toStdString();
    }
    return buttons == platform::MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
}

std::optional<QString> ScriptedDialogs::openFileName(QWidget*,
                                                     const platform::FileDialogRequest& request) {
    files.push_back(request);
    if (opens.empty()) {
        ADD_FAILURE() << "unexpected open-file dialog";
        return std::nullopt;
    }
    auto path = opens.front();
    opens.pop_front();
    return path;
}

std::optional<QString> ScriptedDialogs::saveFileName(QWidget*,
                                                     const platform::FileDialogRequest& request) {
    files.push_back(request);
    if (saves.empty()) {
        ADD_FAILURE() << "unexpected save-file dialog";
        return std::nullopt;
    }
    auto path = saves.front();
    saves.pop_front();
    return path;
}

bool ScriptedDialogs::printerDialog(QWidget*, QPrinter&) {
    ++printers;
    if (printerAnswers.empty()) {
        ADD_FAILURE() << "unexpected printer dialog";
        return false;
    }
    const bool accept = printerAnswers.front();
    printerAnswers.pop_front();
    return accept;
}

QAction* ScriptedDialogs::popupMenu(QMenu& menu, const QPoint&) {
    QStringList captions;
    for (QAction* a : menu.actions()) {
        if (a->isVisible()) {
            captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
        }
    }
    menus.push_back(captions);
    if (popupChoices.empty()) {
        ADD_FAILURE() << "unexpected pop-up menu";
        return nullptr;
    }
    const QString choice = popupChoices.front();
    popupChoices.pop_front();
    for (QAction* a : menu.actions()) {
        if (a->isVisible() && !a->isSeparator() && a->text() == choice) {
            return a;
        }
    }
    return nullptr;
}
