#include "platform/CertificateDialog.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QStyle>
#include <QVBoxLayout>

namespace platform {

namespace {

// A grouped fingerprint as rich text, with the groups that differ from `other` in bold.
QString marked(const QString& fingerprint, const QString& other) {
    const QStringList lines = fingerprint.split(QLatin1Char('\n'));
    const QStringList otherLines = other.split(QLatin1Char('\n'));
    QStringList shown;
    for (qsizetype l = 0; l < lines.size(); ++l) {
        const QStringList groups = lines.at(l).split(QLatin1Char(' '));
        const QStringList otherGroups =
            otherLines.value(l).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QStringList line;
        for (qsizetype g = 0; g < groups.size(); ++g) {
            const QString group = groups.at(g).toHtmlEscaped();
            line << (!other.isEmpty() && groups.at(g) != otherGroups.value(g)
                         ? QStringLiteral("<b>%1</b>").arg(group)
                         : group);
        }
        shown << line.join(QLatin1Char(' '));
    }
    return shown.join(QStringLiteral("<br>"));
}

QLabel* fingerprintLabel(const QString& richText, const char* name, QWidget* parent) {
    auto* label = new QLabel(richText, parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::RichText);
    label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

CertificateDialog::CertificateDialog(const CertificateQuestion& question, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("CertificateDialog"));
    setWindowTitle(question.title);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const bool changed = question.changed();

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);
    lblText = new QLabel(question.text, this);
    lblText->setObjectName(QStringLiteral("lblText"));
    lblText->setTextFormat(Qt::PlainText);
    lblText->setWordWrap(true);
    lblText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblText->setMinimumWidth(520);

    auto* fingerprints = new QGridLayout;
    fingerprints->setHorizontalSpacing(24);
    lblOffered = fingerprintLabel(marked(question.offered, question.trusted), "lblOffered", this);
    if (changed) {
        lblTrusted =
            fingerprintLabel(marked(question.trusted, question.offered), "lblTrusted", this);
        fingerprints->addWidget(new QLabel(QStringLiteral("Trusted before (SHA-256):"), this), 0,
                                0);
        fingerprints->addWidget(new QLabel(QStringLiteral("Offered now (SHA-256):"), this), 0, 1);
        fingerprints->addWidget(lblTrusted, 1, 0);
        fingerprints->addWidget(lblOffered, 1, 1);
    } else {
        fingerprints->addWidget(new QLabel(QStringLiteral("SHA-256 fingerprint:"), this), 0, 0);
        fingerprints->addWidget(lblOffered, 1, 0);
    }
    fingerprints->setColumnStretch(2, 1);

    cmdTrust = new QPushButton(changed ? QStringLiteral("Trust the new certificate")
                                       : QStringLiteral("Trust for this account"),
                               this);
    cmdTrust->setObjectName(QStringLiteral("cmdTrust"));
    cmdTrust->setAutoDefault(false);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setDefault(true);
    connect(cmdTrust, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* text = new QVBoxLayout;
    text->addWidget(lblText);
    text->addSpacing(8);
    text->addLayout(fingerprints);
    if (changed) {
        chkConfirmed = new QCheckBox(
            QStringLiteral("I have confirmed the new fingerprint with my provider"), this);
        chkConfirmed->setObjectName(QStringLiteral("chkConfirmed"));
        cmdTrust->setEnabled(false);
        connect(chkConfirmed, &QCheckBox::toggled, cmdTrust, &QPushButton::setEnabled);
        text->addSpacing(8);
        text->addWidget(chkConfirmed);
    }
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdTrust);
    buttons->addWidget(cmdCancel);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addSpacing(8);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);
    cmdCancel->setFocus(Qt::OtherFocusReason);
}

} // namespace platform
