#include "settings/ui/ReaderSettings.h"

#include "reader/ui/ClickableLabel.h"
#include "reader/ui/frmPOP.h"

ReaderSettings::ReaderSettings(frmPOP& window) : window(window) {}

void ReaderSettings::StartUp() {
    window.lblStatus->setText(QStringLiteral("Ready"));
}

void ReaderSettings::SaveSettings() {}
