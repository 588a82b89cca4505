#include "host/qtmessagedialog.h"

#include "base/version.h"
#include "host/centring.h"

#include <QMessageBox>

namespace ostrel::host {

void QtMessageDialog::ShowMessage(const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon,
                    QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size()),
                    QString::fromStdString(text), QMessageBox::Ok);
    box.setObjectName(QLatin1String(kMessageDialogName));
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    // A message has a title and a close button, nothing to minimise or maximise. (openbox draws
    // a minimise button on every dialog whatever the window asks; most window managers do not.)
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    box.adjustSize();
    CentreFrameOnScreen(box);
    box.exec();
}

} // namespace ostrel::host
