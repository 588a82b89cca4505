// On Windows the engine and WinINet read the Internet Options themselves: the program passes on
// only what proxy variables name, and fetches no script.
#include "host/proxysetting.h"

namespace ostrel::host {

ProxySetting ReadProxySetting()
{
    return ProxySettingFromEnvironment(QProcessEnvironment::systemEnvironment());
}

std::optional<QByteArray> FetchProxyScript(const QUrl&)
{
    return std::nullopt;
}

} // namespace ostrel::host
