#include "web/launchfile.h"

namespace ostrel::web {

bool HasLaunchFileName(const QString& fileName)
{
    return fileName.endsWith(QLatin1String(".ica"), Qt::CaseInsensitive);
}

bool IsLaunchFileContent(const QByteArray& content)
{
    if (content.size() > kLaunchFileMaxBytes)
        return false;
    bool launchSection = false;
    for (QByteArray line : content.split('\n')) {
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

bool OnOrigin(const QUrl& url, const QList<QUrl>& origins)
{
    const auto port = [](const QUrl& u) { return u.port(u.scheme() == QLatin1String("https") ? 443 : 80); };
    for (const QUrl& origin : origins)
        if (!url.host().isEmpty() && url.scheme() == origin.scheme() &&
            url.host().compare(origin.host(), Qt::CaseInsensitive) == 0 && port(url) == port(origin))
            return true;
    return false;
}

} // namespace ostrel::web
