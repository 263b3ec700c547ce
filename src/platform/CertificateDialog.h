#pragma once

#include "platform/Dialogs.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

namespace platform {

// The question about a refused certificate. Cancel is the default button. For a certificate
// that differs from the one trusted before, both fingerprints stand side by side (the groups
// that differ in bold), and the trust button stays disabled until the user confirms that the
// provider vouched for the new fingerprint.
class CertificateDialog : public QDialog {
    Q_OBJECT
public:
    CertificateDialog(const CertificateQuestion& question, QWidget* parent);

    QLabel* lblText = nullptr;
    QLabel* lblOffered = nullptr;
    QLabel* lblTrusted = nullptr;      // only when the certificate changed
    QCheckBox* chkConfirmed = nullptr; // only when the certificate changed
    QPushButton* cmdTrust = nullptr;
    QPushButton* cmdCancel = nullptr;
};

} // namespace platform
