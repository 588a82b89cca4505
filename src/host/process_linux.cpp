#include "host/account.h"
#include "host/process.h"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <vector>

namespace ostrel::host {

ProcessInfo CurrentProcess(int argc, char** argv)
{
    ProcessInfo info;
    std::error_code error;
    info.programPath = std::filesystem::read_symlink("/proc/self/exe", error).string();
    if (error && argc > 0)
        info.programPath = argv[0];
    for (int i = 1; i < argc; ++i)
        info.arguments.emplace_back(argv[i]);
    // A Linux launcher asks for no show command: showCommand stays kNoShowCommand.
    return info;
}

std::string DomainOfAccount(std::string_view accountName, std::string_view hostName)
{
    if (const auto at = accountName.rfind('@'); at != std::string_view::npos)
        return std::string(accountName.substr(at + 1));
    if (const auto backslash = accountName.find('\\'); backslash != std::string_view::npos)
        return std::string(accountName.substr(0, backslash));
    // A local account: the computer's name, without a DNS domain.
    return std::string(hostName.substr(0, hostName.find('.')));
}

std::string SystemAccountDomain::AccountDomain()
{
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    std::array<char, 256> host{};
    if (gethostname(host.data(), host.size() - 1) != 0)
        host[0] = '\0';
    return DomainOfAccount(found->pw_name, host.data());
}

} // namespace ostrel::host
