#include "web/logindialog.h"

#include <QAuthenticator>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>

namespace ostrel::web {

namespace {
// The site's own words are a page's text: shown as plain text, and not at any length.
constexpr int kMaxRealm = 120;

// "https://host:port", the port always told.
QString Origin(const QUrl& url)
{
    const int port = url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
    return url.scheme() + QStringLiteral("://") + url.host(QUrl::FullyEncoded) + u':' + QString::number(port);
}

QLabel* TextLine(const QString& text)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}
} // namespace

bool LoginDialog::Ask(QWidget* parent, const QUrl& url, const QUrl& page, QAuthenticator* authenticator)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("LoginDialog"));
    const QString origin = Origin(url);
    dialog.setWindowTitle(QStringLiteral("Aanmelden bij ") + origin);
    dialog.setMinimumWidth(400); // the lines about who asks read as sentences, not as a column
    auto* layout = new QFormLayout(&dialog);
    layout->addRow(TextLine(origin + QStringLiteral(" vraagt om een gebruikersnaam en wachtwoord.")));
    QString realm = authenticator->realm().simplified();
    if (realm.size() > kMaxRealm)
        realm = realm.first(kMaxRealm) + u'\u2026';
    if (!realm.isEmpty())
        layout->addRow(TextLine(QStringLiteral("De site zegt: \u201C%1\u201D").arg(realm)));
    if (page.isValid() && Origin(page) != origin)
        layout->addRow(TextLine(QStringLiteral("Een ander adres in deze pagina vraagt om uw gegevens")));
    if (url.scheme() != QLatin1String("https"))
        layout->addRow(TextLine(QStringLiteral("Let op: uw gegevens gaan onversleuteld over het netwerk")));
    auto* user = new QLineEdit;
    user->setObjectName(QStringLiteral("user"));
    auto* password = new QLineEdit;
    password->setObjectName(QStringLiteral("password"));
    password->setEchoMode(QLineEdit::Password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton* signIn = buttons->button(QDialogButtonBox::Ok);
    signIn->setText(QStringLiteral("Aanmelden"));
    signIn->setDefault(true); // Enter in either field signs in
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuleren"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(QStringLiteral("&Gebruikersnaam"), user);
    layout->addRow(QStringLiteral("&Wachtwoord"), password);
    layout->addRow(buttons);
    user->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    authenticator->setUser(user->text());
    authenticator->setPassword(password->text());
    return true;
}

} // namespace ostrel::web
