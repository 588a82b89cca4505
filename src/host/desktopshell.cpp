#include "host/desktopshell.h"

#include <QDesktopServices>
#include <QUrl>

namespace ostrel::host {

bool DesktopShell::OpenUrl(const std::string& url)
{
    const QUrl target(QString::fromStdString(url));
    return target.isValid() && QDesktopServices::openUrl(target);
}

} // namespace ostrel::host
