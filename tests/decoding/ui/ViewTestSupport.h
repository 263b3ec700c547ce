#pragma once

// Helpers shared by the message view tests: messages written line by line, and the reader
// window under test.

#include "decoding/ui/MessageView.h"
#include "platform/ClickableLabel.h"
#include "reader/ui/frmPOP.h"
#include "support/ScriptedDialogs.h"

#include <QComboBox>
#include <QStringList>
#include <initializer_list>
#include <string>
#include <string_view>

namespace viewtest {

// A downloaded message as the session hands it over: the server's status line, the lines
// joined with CR LF, and the end mark.
inline std::string Retrieved(std::initializer_list<std::string_view> lines) {
    std::string raw = "+OK message follows\r\n";
    for (std::string_view line : lines) {
        raw.append(line).append("\r\n");
    }
    raw.append(".\r\n");
    return raw;
}

inline QStringList PartEntries(const frmPOP& window) {
    QStringList entries;
    for (int i = 0; i < window.lstViewAs->count(); ++i) {
        entries << window.lstViewAs->itemText(i);
    }
    return entries;
}

// What a download does: the view is emptied before the command, then shows the reply.
inline void Show(frmPOP& window, std::string raw) {
    window.view().beginDownload();
    window.view().showDownloaded(std::move(raw));
}

} // namespace viewtest
