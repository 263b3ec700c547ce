#pragma once

// Messages written line by line, shown on the reader window as a download shows them.

#include "decoding/ui/MessageView.h"
#include "platform/ClickableLabel.h"
#include "reader/ui/frmPOP.h"
#include "support/ScriptedDialogs.h"

#include <initializer_list>
#include <string>
#include <string_view>

namespace viewtest {

// The server's status line, the lines joined with CR LF, and the end mark.
inline std::string Retrieved(std::initializer_list<std::string_view> lines) {
    std::string raw = "+OK message follows\r\n";
    for (std::string_view line : lines) {
        raw.append(line).append("\r\n");
    }
    return raw.append(".\r\n");
}

inline void Show(frmPOP& window, std::string raw) {
    window.view().beginDownload();
    window.view().showDownloaded(std::move(raw));
}

} // namespace viewtest
