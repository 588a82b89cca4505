#include "host/qtmessagedialog.h"

#include "navigation/version.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

namespace ostrel::host {

void QtMessageDialog::ShowMessage(const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size()),
                    QString::fromStdString(text), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        box.move(screen->availableGeometry().center() - box.rect().center());
    box.exec();
}

} // namespace ostrel::host
