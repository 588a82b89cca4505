#include "host/desktopshell.h"

#include "host/failurelog.h"

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
    if (target.isValid() && QDesktopServices::openUrl(target))
        return true;
    qCWarning(lcFailures, "the desktop did not open %s", url.c_str());
    return false;
}

void DesktopShell::StartProgram(const std::string& program, const std::string& parameters)
{
    if (program == kClearCacheProgram)
        return;
    const QString executable = program == kCalculatorProgram ? desktopCalculator() : QString::fromStdString(program);
    if (executable.isEmpty()) {
        qCWarning(lcFailures, "no program to start for %s", program.c_str());
        return;
    }
    if (!QProcess::startDetached(executable, QProcess::splitCommand(QString::fromStdString(parameters))))
        qCWarning(lcFailures, "%s did not start", qPrintable(executable));
}

} // namespace ostrel::host
