#include "web/logindialog.h"

#include <QAuthenticator>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QUrl>

namespace ostrel::web {

bool LoginDialog::Ask(QWidget* parent, const QUrl& url, QAuthenticator* authenticator)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("LoginDialog"));
    dialog.setWindowTitle(QStringLiteral("Aanmelden"));
    auto* layout = new QFormLayout(&dialog);
    auto* site = new QLabel;
    site->setTextFormat(Qt::PlainText);
    site->setText(url.host() + QStringLiteral(": ") + authenticator->realm());
    auto* user = new QLineEdit;
    user->setObjectName(QStringLiteral("user"));
    auto* password = new QLineEdit;
    password->setObjectName(QStringLiteral("password"));
    password->setEchoMode(QLineEdit::Password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(site);
    layout->addRow(QStringLiteral("Gebruikersnaam"), user);
    layout->addRow(QStringLiteral("Wachtwoord"), password);
    layout->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    authenticator->setUser(user->text());
    authenticator->setPassword(password->text());
    return true;
}

} // namespace ostrel::web
