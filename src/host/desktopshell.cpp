#include "host/desktopshell.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace ostrel::host {

namespace {
QString desktopCalculator()
{
    for (const char* name : {"gnome-calculator", "kcalc", "mate-calc", "galculator", "qalculate-gtk", "xcalc"}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!path.isEmpty())
            return path;
    }
    return {};
}
} // namespace

bool DesktopShell::OpenUrl(const std::string& url)
{
    const QUrl target(QString::fromStdString(url));
    return target.isValid() && QDesktopServices::openUrl(target);
}

void DesktopShell::StartProgram(const std::string& program, const std::string& parameters)
{
    if (program == kClearCacheProgram)
        return;
    const QString executable = program == kCalculatorProgram ? desktopCalculator() : QString::fromStdString(program);
    if (executable.isEmpty())
        return;
    QProcess::startDetached(executable, QProcess::splitCommand(QString::fromStdString(parameters)));
}

} // namespace ostrel::host
