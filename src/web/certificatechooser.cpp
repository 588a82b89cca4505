#include "web/certificatechooser.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace ostrel::web {

namespace {
QString Validity(const QSslCertificate& certificate)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString until =
        QLocale().toString(certificate.expiryDate().toLocalTime().date(), QLocale::ShortFormat);
    if (certificate.expiryDate() < now)
        return QStringLiteral("verlopen op ") + until;
    if (certificate.effectiveDate() > now)
        return QStringLiteral("nog niet geldig");
    return QStringLiteral("tot ") + until;
}
} // namespace

std::optional<qsizetype> CertificateChooser::Choose(QWidget* parent, const QString& server,
                                                    const QList<QSslCertificate>& offered,
                                                    const QByteArray& sentBefore)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("CertificateChooser"));
    dialog.setWindowTitle(QStringLiteral("Certificaat kiezen voor ") + server);
    dialog.setMinimumWidth(520);
    auto* layout = new QVBoxLayout(&dialog);
    auto* why =
        new QLabel(QStringLiteral("De server %1 vraagt om een certificaat waarmee u zich bekendmaakt. "
                                  "Kies het certificaat dat Ostrel Web stuurt.")
                       .arg(server));
    why->setTextFormat(Qt::PlainText);
    why->setWordWrap(true);
    layout->addWidget(why);

    auto* list = new QTreeWidget;
    list->setObjectName(QStringLiteral("certificates"));
    list->setAccessibleName(QStringLiteral("Certificaten"));
    list->setRootIsDecorated(false);
    list->setAllColumnsShowFocus(true);
    list->setHeaderLabels(
        {QStringLiteral("Op naam van"), QStringLiteral("Uitgegeven door"), QStringLiteral("Geldig")});
    const QDateTime now = QDateTime::currentDateTime();
    QTreeWidgetItem* before = nullptr;
    for (const QSslCertificate& certificate : offered) {
        auto* item = new QTreeWidgetItem(
            {certificate.subjectDisplayName(), certificate.issuerDisplayName(), Validity(certificate)});
        if (certificate.expiryDate() < now || certificate.effectiveDate() > now)
            item->setFlags(Qt::NoItemFlags); // greyed, its reason in the last column
        else if (!sentBefore.isEmpty() && certificate.digest(QCryptographicHash::Sha256) == sentBefore)
            before = item;
        list->addTopLevelItem(item);
    }
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    if (before)
        list->setCurrentItem(before);
    why->setBuddy(list);
    layout->addWidget(list);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton* send = buttons->button(QDialogButtonBox::Ok);
    send->setText(QStringLiteral("Sturen"));
    send->setDefault(true);
    // Only a row the user chose, or the one sent before, goes: the list's current row alone (which
    // the list sets on the first row when it takes the focus) is no choice.
    send->setEnabled(before != nullptr);
    QObject::connect(list, &QTreeWidget::itemSelectionChanged, send,
                     [list, send] { send->setEnabled(!list->selectedItems().isEmpty()); });
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuleren"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QTreeWidget::itemActivated, &dialog, [&dialog](QTreeWidgetItem* item) {
        if (item->isSelected()) // Enter or a double click on a chosen row
            dialog.accept();
    });
    layout->addWidget(buttons);
    list->setFocus();

    if (dialog.exec() != QDialog::Accepted || list->selectedItems().isEmpty())
        return std::nullopt;
    return list->indexOfTopLevelItem(list->selectedItems().constFirst());
}

} // namespace ostrel::web
