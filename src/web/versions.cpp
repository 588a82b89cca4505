#include "web/versions.h"

#include "base/version.h"

#include <QtWebEngineCore/qtwebenginecoreglobal.h>

namespace ostrel::web {

QString VersionsText()
{
    return QStringLiteral("%1 %2\nQt %3\nQt WebEngine %4, Chromium %5 (beveiligingspatches tot %6)\n")
        .arg(QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size()),
             QString::fromUtf8(kApplicationVersion.data(), kApplicationVersion.size()),
             QString::fromLatin1(qVersion()), QString::fromLatin1(qWebEngineVersion()),
             QString::fromLatin1(qWebEngineChromiumVersion()),
             QString::fromLatin1(qWebEngineChromiumSecurityPatchVersion()));
}

} // namespace ostrel::web
