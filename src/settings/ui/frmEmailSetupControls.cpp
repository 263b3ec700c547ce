#include "settings/ui/frmEmailSetup.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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
    txtFromName = field("txtFromName");
    txtFromDomain = field("txtFromDomain");
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

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(3, 2);
    grid->setHorizontalSpacing(6);
    int row = 0;
    grid->addWidget(label(QStringLiteral("ISP"), "lblISP"), row, 0);
    grid->addWidget(cmbISP, row++, 1, 1, 3);
    grid->addWidget(label(QStringLiteral("POP Server"), "lblPOP"), row, 0);
    grid->addWidget(txtPOP, row++, 1, 1, 3);
    grid->addWidget(label(QStringLiteral("SMTP Server"), "lblSMTP"), row, 0);
    grid->addWidget(txtSMTP, row++, 1, 1, 3);
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
    grid->addLayout(checks, row++, 2, 1, 2);
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
    QList<QWidget*> chain{cmbISP,      txtPOP,        txtSMTP,         txtUsername,
                          txtDomain,   txtPass,       chkSavePassword, chkRemovePassword,
                          txtFromName, txtFromDomain, cmbAuth,         cmdOK,
                          cmdAdd,      cmdDelete,     cmdCancel,       cmdReset};
    if (passwordFirst) {
        // The password field leads, the account name comes after the other fields.
        chain.removeOne(txtPass);
        chain.prepend(txtPass);
        chain.removeOne(cmbISP);
        chain.insert(10, cmbISP);
    }
    for (qsizetype i = 1; i < chain.size(); ++i) {
        setTabOrder(chain.at(i - 1), chain.at(i));
    }
    chain.first()->setFocus(Qt::OtherFocusReason);
}
