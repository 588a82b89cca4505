#include "web/launchfile.h"

namespace ostrel::web {

bool HasLaunchFileName(const QString& fileName)
{
    return fileName.endsWith(QLatin1String(".ica"), Qt::CaseInsensitive);
}

QString LaunchFileName(const QString& suggested, const QString& mimeType)
{
    if (mimeType.compare(QLatin1String("application/x-ica"), Qt::CaseInsensitive) != 0 ||
        HasLaunchFileName(suggested))
        return suggested;
    const qsizetype dot = suggested.lastIndexOf(QLatin1Char('.'));
    return (dot > 0 ? suggested.left(dot) : suggested) + QLatin1String(".ica");
}

bool IsLaunchFileContent(const QByteArray& content)
{
    if (content.size() > kLaunchFileMaxBytes)
        return false;
    const QByteArray text = content.startsWith("\xEF\xBB\xBF") ? content.mid(3) : content;
    bool launchSection = false;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        for (const char c : line)
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
                return false; // not text
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(';'))
            continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            const QByteArray section = line.mid(1, line.size() - 2).trimmed().toLower();
            launchSection = launchSection || section == "applicationservers" || section == "wfclient";
            continue;
        }
        if (line.indexOf('=') <= 0)
            return false; // neither a section nor a key with its value
    }
    return launchSection;
}

} // namespace ostrel::web
