#include "host/desktopshell.h"

#include "host/failurelog.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace ostrel::host {

namespace {
QString desktopCalculator()
{
    for (const char* name : {"gnome-calculator", "kcalc", "mate-calc", "galculator", "qalculate-gtk", "xcalc"}) {
        QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!path.isEmpty())
            return path;
    }
    return {};
}

// The desktop entry id ("thunderbird.desktop") of the scheme's default handler, as xdg-open asks
// for it. The GUI waits for the answer, so a desktop that does not give one in time gives none.
QString defaultHandler(const QString& scheme)
{
    constexpr int kAnswerMs = 2000;
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QStringLiteral("x-scheme-handler/") + scheme});
    if (!query.waitForFinished(kAnswerMs)) {
        qCWarning(lcFailures, "xdg-mime named no handler for %s: %s", qPrintable(scheme),
                  qPrintable(query.errorString()));
        query.kill();
        query.waitForFinished();
        return {};
    }
    QString id = QString::fromUtf8(query.readAllStandardOutput()).section(u'\n', 0, 0).trimmed();
    if (id.isEmpty() || (id.endsWith(u".desktop") && !id.contains(u'/')))
        return id;
    qCWarning(lcFailures, "xdg-mime answered %s for %s, which is no desktop entry id", qPrintable(id),
              qPrintable(scheme));
    return {};
}

// The file of the desktop entry with this id in one applications folder: "foo-bar.desktop" is that
// file there, or "bar.desktop" in its folder "foo", and so on down.
QString entryFileIn(const QDir& folder, const QString& id)
{
    if (QFileInfo(folder.filePath(id)).isFile())
        return folder.filePath(id);
    for (qsizetype dash = id.indexOf(u'-', 1); dash > 0; dash = id.indexOf(u'-', dash + 1)) {
        const QString prefix = id.left(dash);
        QDir sub = folder;
        if (prefix != u"." && prefix != u".." && sub.cd(prefix)) {
            QString found = entryFileIn(sub, id.mid(dash + 1));
            if (!found.isEmpty())
                return found;
        }
    }
    return {};
}

// A value of a desktop entry with its escapes undone; a backslash before anything else stays.
QString unescaped(const QString& value)
{
    static const QString kEscapes = QStringLiteral("sntr\\"), kMeanings = QStringLiteral(" \n\t\r\\");
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const qsizetype escape =
            value[i] == u'\\' && i + 1 < value.size() ? kEscapes.indexOf(value[i + 1]) : -1;
        text += escape < 0 ? value[i] : kMeanings[escape];
        i += escape < 0 ? 0 : 1;
    }
    return text;
}

// The name a desktop entry shows a Dutch user: Name[nl], else Name, of its [Desktop Entry] group.
// Empty for an entry marked deleted (Hidden); one hidden from menus (NoDisplay) still takes links.
QString entryName(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qCWarning(lcFailures, "the desktop entry %s could not be read: %s", qPrintable(path),
                  qPrintable(file.errorString()));
        return {};
    }
    QString name, dutchName;
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inEntry = line == u"[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inEntry || equals < 0 || line.startsWith(u'#'))
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == u"Hidden" && value == u"true") {
            qCWarning(lcFailures, "the desktop entry %s is marked deleted", qPrintable(path));
            return {};
        }
        if (key == u"Name")
            name = value;
        else if (key == u"Name[nl]")
            dutchName = value;
    }
    return unescaped(dutchName.isEmpty() ? name : dutchName);
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

std::string DesktopShell::ProgramForScheme(const std::string& scheme)
{
    if (!IsUrlScheme(scheme)) {
        qCWarning(lcFailures, "no program looked up for %s, which is no URL scheme", scheme.c_str());
        return {};
    }
    // Schemes are case-insensitive, and xdg-open is handed them in lower case, as Qt writes URLs.
    const QString id = defaultHandler(QString::fromLatin1(scheme).toLower());
    if (id.isEmpty())
        return {};
    // The first applications folder that holds the id has the entry: the user's own, then the system's.
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
        const QString path = entryFileIn(QDir(folder), id);
        if (!path.isEmpty())
            return entryName(path).toStdString();
    }
    qCWarning(lcFailures, "xdg-mime named %s for %s, but no applications folder holds it", qPrintable(id),
              scheme.c_str());
    return {};
}

} // namespace ostrel::host
