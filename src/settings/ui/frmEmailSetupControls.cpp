#include "settings/ui/frmEmailSetup.h"

#include "settings/Security.h"
#include "settings/ServerAddress.h"
#include "settings/ui/AccountText.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>

using accounttext::bytes;

// The dialog's controls and their layout.

void frmEmailSetup::createControls() {
    auto label = [this](const QString& caption, const char* name) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    auto field = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        return e;
    };
    auto button = [this](const QString& caption, const char* name, const QString& tip) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(tip);
        b->setAutoDefault(false);
        return b;
    };

    cmbISP = new QComboBox(this);
    cmbISP->setObjectName(QStringLiteral("cmbISP"));
    cmbISP->setEditable(true);
    // The typed name is taken up by the dialog's own routine: Enter must not
    // add it to the list, and no completion may change what was typed.
    cmbISP->setInsertPolicy(QComboBox::NoInsert);
    cmbISP->setCompleter(nullptr);
    cmbISP->setDuplicatesEnabled(true);
    // A long account name must not widen the dialog: the box keeps its designed
    // width, and the drop-down list cuts long names in the middle.
    cmbISP->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cmbISP->setMinimumContentsLength(20);
    cmbISP->view()->setTextElideMode(Qt::ElideMiddle);

    txtPOP = field("txtPOP");
    txtSMTP = field("txtSMTP");
    txtPOP->setPlaceholderText(QStringLiteral("host or host:port"));
    txtSMTP->setPlaceholderText(QStringLiteral("host or host:port"));
    txtUsername = field("txtUsername");
    txtDomain = field("txtDomain");
    txtPass = field("txtPass");
    txtPass->setEchoMode(QLineEdit::Password);
    txtPass->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // "*"
    chkSavePassword = new QCheckBox(QStringLiteral("Save Password"), this);
    chkSavePassword->setObjectName(QStringLiteral("chkSavePassword"));
    chkRemovePassword = new QCheckBox(QStringLiteral("Unsave Password"), this);
    chkRemovePassword->setObjectName(QStringLiteral("chkRemovePassword"));
    // Showing and hiding it must not make the dialog jump in size.
    QSizePolicy keepSpace = chkRemovePassword->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true);
    chkRemovePassword->setSizePolicy(keepSpace);
    chkRemovePassword->hide();
    cmbPOPAuth = new QComboBox(this);
    cmbPOPAuth->setObjectName(QStringLiteral("cmbPOPAuth"));
    cmbPOPAuth->setToolTip(QStringLiteral(
        "How to log in to the POP server. Password: USER and PASS; SASL: SCRAM-SHA-256, or "
        "PLAIN inside TLS, and nothing else. OAuth2 (a sign-in with the mail provider) is not "
        "available yet"));
    for (const settings::PopAuth a :
         {settings::PopAuth::Password, settings::PopAuth::Sasl, settings::PopAuth::OAuth2}) {
        cmbPOPAuth->addItem(QString::fromLatin1(settings::PopAuthText(a)));
    }
    // The sign-in itself is still to come: OAuth2 stays shown for an account that has it
    // stored, but cannot be chosen.
    if (auto* model = qobject_cast<QStandardItemModel*>(cmbPOPAuth->model())) {
        model->item(cmbPOPAuth->count() - 1)->setEnabled(false);
    }
    txtFromName = field("txtFromName");
    txtFromDomain = field("txtFromDomain");
    // Each choice names the port it usually means, so that the server field can be matched.
    auto securityChoice = [this](const char* name, bool pop) {
        auto* c = new QComboBox(this);
        c->setObjectName(QLatin1String(name));
        c->setToolTip(
            pop ? QStringLiteral("TLS: encrypted from the start, usually on port 995; STARTTLS: "
                                 "the plain connection on port 110 is encrypted before the login; "
                                 "None: no encryption")
                : QStringLiteral("TLS: encrypted from the start, usually on port 465; STARTTLS: "
                                 "the plain connection on port 587 is encrypted before the login; "
                                 "None: no encryption"));
        for (const settings::Security s :
             {settings::Security::Tls, settings::Security::StartTls, settings::Security::None}) {
            c->addItem(QStringLiteral("%1 (port %2)")
                           .arg(QString::fromLatin1(settings::SecurityText(s)))
                           .arg(settings::UsualPort(s, pop)));
        }
        return c;
    };
    cmbPOPSecurity = securityChoice("cmbPOPSecurity", true);
    cmbSMTPSecurity = securityChoice("cmbSMTPSecurity", false);
    lblPortHint = label(QString(), "lblPortHint");
    lblPortHint->setStyleSheet(QStringLiteral("color: #a00000;"));
    lblPortHint->setWordWrap(true);
    lblPortHint->hide();
    lblSecurityWarning =
        label(QStringLiteral("With \"None\" your password travels unprotected over the network."),
              "lblSecurityWarning");
    lblSecurityWarning->setStyleSheet(QStringLiteral("color: #a00000;"));
    QSizePolicy keepWarningSpace = lblSecurityWarning->sizePolicy();
    keepWarningSpace.setRetainSizeWhenHidden(true);
    lblSecurityWarning->setSizePolicy(keepWarningSpace);
    lblSecurityWarning->hide();
    cmbAuth = new QComboBox(this);
    cmbAuth->setObjectName(QStringLiteral("cmbAuth"));
    cmbAuth->addItems({QStringLiteral("None"), QStringLiteral("POP3"), QStringLiteral("Auth Login"),
                       QStringLiteral("Auth Plain")});

    cmdOK = button(QStringLiteral("OK"), "cmdOK",
                   QStringLiteral("Select and update data for this ISP"));
    cmdOK->setDefault(true);
    cmdAdd =
        button(QStringLiteral("Add"), "cmdAdd", QStringLiteral("Add this ISP to the registry"));
    cmdDelete = button(QStringLiteral("Delete"), "cmdDelete",
                       QStringLiteral("Delete this ISP from the registry"));
    cmdCancel =
        button(QStringLiteral("Cancel"), "cmdCancel", QStringLiteral("Close form without changes"));
    cmdReset = button(QStringLiteral("Reset"), "cmdReset", QStringLiteral("Clear form"));

    lblFirstAccount = label(QStringLiteral("Corvane needs a mail account before it can get mail. "
                                           "Enter the details your provider gave you, then press "
                                           "Add."),
                            "lblFirstAccount");
    lblFirstAccount->setWordWrap(true);
    lblFirstAccount->hide();

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(3, 2);
    grid->setHorizontalSpacing(6);
    int row = 0;
    grid->addWidget(lblFirstAccount, row++, 0, 1, 5);
    grid->addWidget(label(QStringLiteral("ISP"), "lblISP"), row, 0);
    grid->addWidget(cmbISP, row++, 1, 1, 3);
    grid->addWidget(label(QStringLiteral("POP Server"), "lblPOP"), row, 0);
    grid->addWidget(txtPOP, row, 1, 1, 3);
    grid->addWidget(cmbPOPSecurity, row++, 4);
    grid->addWidget(label(QStringLiteral("SMTP Server"), "lblSMTP"), row, 0);
    grid->addWidget(txtSMTP, row, 1, 1, 3);
    grid->addWidget(cmbSMTPSecurity, row++, 4);
    grid->addWidget(lblPortHint, row++, 1, 1, 4);
    grid->addWidget(lblSecurityWarning, row++, 1, 1, 4);
    grid->addWidget(label(QStringLiteral("Username :"), "lblUsername"), row, 0);
    grid->addWidget(txtUsername, row, 1);
    grid->addWidget(label(QStringLiteral("@"), "lblAt1"), row, 2);
    grid->addWidget(txtDomain, row++, 3);
    grid->addWidget(label(QStringLiteral("Password"), "lblPass"), row, 0);
    grid->addWidget(txtPass, row, 1);
    auto* checks = new QHBoxLayout;
    checks->addWidget(chkSavePassword);
    checks->addWidget(chkRemovePassword);
    checks->addStretch();
    grid->addLayout(checks, row, 2, 1, 2);
    grid->addWidget(cmbPOPAuth, row++, 4);
    grid->addWidget(label(QStringLiteral("From Name:"), "lblFromName"), row, 0);
    grid->addWidget(txtFromName, row, 1);
    grid->addWidget(label(QStringLiteral("@"), "lblAt2"), row, 2);
    grid->addWidget(txtFromDomain, row++, 3);
    grid->addWidget(label(QStringLiteral("Authentication"), "lblAuth"), row, 0);
    grid->addWidget(cmbAuth, row++, 1);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdOK, cmdAdd, cmdDelete, cmdCancel, cmdReset}) {
        buttons->addWidget(b);
    }
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addSpacing(8);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);
    txtPOP->setMinimumWidth(260);
}

void frmEmailSetup::setTabChain(bool passwordFirst) {
    QList<QWidget*> chain{
        cmbISP,    txtPOP,  cmbPOPSecurity,  txtSMTP,           cmbSMTPSecurity, txtUsername,
        txtDomain, txtPass, chkSavePassword, chkRemovePassword, txtFromName,     txtFromDomain,
        cmbAuth,   cmdOK,   cmdAdd,          cmdDelete,         cmdCancel,       cmdReset};
    chain.insert(chain.indexOf(chkRemovePassword) + 1, cmbPOPAuth);
    if (passwordFirst) {
        // The password field leads, the account name comes after the other fields.
        chain.removeOne(txtPass);
        chain.prepend(txtPass);
        chain.removeOne(cmbISP);
        chain.insert(chain.indexOf(cmbAuth) + 1, cmbISP);
    }
    for (qsizetype i = 1; i < chain.size(); ++i) {
        setTabOrder(chain.at(i - 1), chain.at(i));
    }
    chain.first()->setFocus(Qt::OtherFocusReason);
}

// --- Security choices ----------------------------------------------------------------------

void frmEmailSetup::loadSecurity(const std::string& popStored, const std::string& smtpStored) {
    const std::string pop = bytes(txtPOP->text()), smtp = bytes(txtSMTP->text());
    cmbPOPSecurity->setCurrentIndex(static_cast<int>(settings::PopSecurity(popStored, pop)));
    cmbSMTPSecurity->setCurrentIndex(static_cast<int>(settings::SmtpSecurity(smtpStored, smtp)));
    popSecurityFollowsPort = smtpSecurityFollowsPort = false;
    showSecurityWarning();
}

void frmEmailSetup::defaultSecurity() {
    popSecurityFollowsPort = smtpSecurityFollowsPort = true;
    followPort(cmbPOPSecurity, txtPOP);
    followPort(cmbSMTPSecurity, txtSMTP);
}

void frmEmailSetup::followPort(QComboBox* choice, const QLineEdit* server) {
    const bool pop = choice == cmbPOPSecurity;
    if (pop ? popSecurityFollowsPort : smtpSecurityFollowsPort) {
        const settings::ServerAddress address = settings::parseServerAddress(
            bytes(server->text()), pop ? settings::kDefaultPopPort : settings::kDefaultSmtpPort);
        choice->setCurrentIndex(static_cast<int>(settings::DefaultSecurity(
            address.port, pop ? settings::kPopTlsPort : settings::kSmtpTlsPort)));
    }
    showSecurityWarning();
}

// A choice that cannot work on the port the server field names, in a sentence that says
// what would; empty when it fits.
QString frmEmailSetup::portHint(bool pop) const {
    const QLineEdit* server = pop ? txtPOP : txtSMTP;
    const auto security =
        static_cast<settings::Security>((pop ? cmbPOPSecurity : cmbSMTPSecurity)->currentIndex());
    const settings::ServerAddress address = settings::parseServerAddress(
        bytes(server->text()), pop ? settings::kDefaultPopPort : settings::kDefaultSmtpPort);
    if (!address.valid || settings::SecurityFitsPort(security, address.port, pop)) {
        return {};
    }
    const QString name = pop ? QStringLiteral("POP server") : QStringLiteral("SMTP server");
    const QString port = QString::number(address.port);
    const bool typed = server->text().trimmed().endsWith(QLatin1Char(':') + port);
    const QString where = typed ? QStringLiteral("%1: port %2").arg(name, port)
                                : QStringLiteral("%1: the default port %2").arg(name, port);
    if (security == settings::Security::Tls) {
        const QString tlsPort = QString::number(settings::UsualPort(security, pop));
        return where + QStringLiteral(" speaks plain text first. Choose STARTTLS, or ") +
               (typed ? QStringLiteral("port %1 for TLS.").arg(tlsPort)
                      : QStringLiteral("add :%1 for TLS.").arg(tlsPort));
    }
    return where + QStringLiteral(" expects TLS from the first byte. Choose TLS.");
}

void frmEmailSetup::showSecurityWarning() {
    const int none = static_cast<int>(settings::Security::None);
    lblSecurityWarning->setVisible(cmbPOPSecurity->currentIndex() == none ||
                                   cmbSMTPSecurity->currentIndex() == none);
    QStringList hints{portHint(true), portHint(false)};
    hints.removeAll(QString());
    lblPortHint->setText(hints.join(QLatin1Char('\n')));
    lblPortHint->setVisible(!hints.isEmpty());
}
