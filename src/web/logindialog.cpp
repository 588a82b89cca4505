#include "web/logindialog.h"

#include "host/tokenpin.h"
#include "web/showntext.h"
#include "web/trust.h"

#include <QApplication>
#include <QAuthenticator>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QUrl>

namespace ostrel::web {

namespace {
constexpr int kMaxRealm = 120;

QLabel* TextLine(const QString& text)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

// The form every login shares: the lines about who asks, then (added by the caller) the fields,
// then the buttons; Enter in any field signs in.
QFormLayout* LoginForm(QDialog& dialog, const QString& title, const QStringList& lines)
{
    dialog.setObjectName(QStringLiteral("LoginDialog"));
    dialog.setWindowTitle(title);
    dialog.setMinimumWidth(400); // the lines about who asks read as sentences, not as a column
    auto* layout = new QFormLayout(&dialog);
    for (const QString& line : lines)
        layout->addRow(TextLine(line));
    return layout;
}

void AddButtons(QDialog& dialog, QFormLayout* layout)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton* signIn = buttons->button(QDialogButtonBox::Ok);
    signIn->setText(QStringLiteral("Aanmelden"));
    signIn->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuleren"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);
}

QLineEdit* SecretField(const char* name)
{
    auto* field = new QLineEdit;
    field->setObjectName(QLatin1String(name));
    field->setEchoMode(QLineEdit::Password);
    return field;
}

bool AskWith(QWidget* parent, const QString& title, const QStringList& lines, const QString& knownUser,
             QAuthenticator* authenticator)
{
    QDialog dialog(parent);
    QFormLayout* layout = LoginForm(dialog, title, lines);
    auto* user = new QLineEdit;
    user->setObjectName(QStringLiteral("user"));
    QLineEdit* password = SecretField("password");
    layout->addRow(QStringLiteral("&Gebruikersnaam"), user);
    layout->addRow(QStringLiteral("&Wachtwoord"), password);
    AddButtons(dialog, layout);
    user->setText(knownUser);
    (knownUser.isEmpty() ? user : password)->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    authenticator->setUser(user->text());
    authenticator->setPassword(password->text());
    return true;
}

// The asker's own words are a page's text: shown as plain text, as they were meant, and not at any
// length.
QString Realm(const QAuthenticator& authenticator)
{
    QString realm = ShownRealm(authenticator.realm()).simplified();
    if (realm.size() > kMaxRealm)
        realm = realm.first(kMaxRealm) + u'\u2026';
    return realm;
}

QString Unencrypted()
{
    return QStringLiteral("Let op: uw gegevens gaan onversleuteld over het netwerk");
}
} // namespace

PageDialog::Question LoginDialog::ForSite(const QUrl& url, const QUrl& page,
                                          const QAuthenticator& authenticator)
{
    const QString origin = OriginOf(url); // the port always told
    QStringList lines{origin + QStringLiteral(" vraagt om een gebruikersnaam en wachtwoord.")};
    if (const QString realm = Realm(authenticator); !realm.isEmpty())
        lines << QStringLiteral("De site zegt: \u201C%1\u201D").arg(realm);
    if (page.isValid() && OriginOf(page) != origin)
        lines << QStringLiteral("Een ander adres in deze pagina vraagt om uw gegevens");
    if (url.scheme() != QLatin1String("https"))
        lines << Unencrypted();
    PageDialog::Question question;
    question.heading = QStringLiteral("Aanmelden bij ") + origin;
    question.text = lines.join(u'\n');
    question.login = true;
    question.cancel = true;
    question.acceptText = QStringLiteral("Aanmelden");
    return question;
}

// A proxy is reached over plain HTTP: what it asks for goes as readable as its method makes it.
bool LoginDialog::AskForProxy(QWidget* parent, const QString& proxy, int attempt, int attempts,
                              const QString& user, QAuthenticator* authenticator)
{
    QStringList lines{
        QStringLiteral("De proxy %1 van uw netwerk vraagt om een gebruikersnaam en wachtwoord.").arg(proxy)};
    if (const QString realm = Realm(*authenticator); !realm.isEmpty())
        lines << QStringLiteral("De proxy zegt: \u201C%1\u201D").arg(realm);
    if (attempt > 1)
        lines << QStringLiteral(
                     "De proxy heeft de gebruikersnaam of het wachtwoord geweigerd (poging %1 van %2).")
                     .arg(attempt)
                     .arg(attempts);
    lines << Unencrypted();
    return AskWith(parent, QStringLiteral("Aanmelden bij proxy ") + proxy, lines, user, authenticator);
}

std::optional<QString> LoginDialog::AskForPin(const QString& token, int attempt)
{
    QStringList lines{
        QStringLiteral("Uw pas \u201C%1\u201D is nodig voor een certificaat waarmee u zich bekendmaakt.")
            .arg(token)};
    if (attempt > 1)
        lines << QStringLiteral(
                     "De pincode was niet juist (poging %1 van %2). Na te veel pogingen kan de pas "
                     "geblokkeerd raken.")
                     .arg(attempt)
                     .arg(host::kPinAttempts);
    QDialog dialog(QApplication::activeWindow());
    QFormLayout* layout = LoginForm(dialog, QStringLiteral("Pincode voor ") + token, lines);
    QLineEdit* pin = SecretField("pin");
    layout->addRow(QStringLiteral("&Pincode"), pin);
    AddButtons(dialog, layout);
    pin->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    QString given = pin->text();
    pin->clear(); // the PIN lives no longer than the answer
    return given;
}

} // namespace ostrel::web
