// The domain of the account that runs the program.
#pragma once

#include <string>
#include <string_view>

namespace ostrel::host {

class AccountDomainSource {
public:
    virtual ~AccountDomainSource() = default;
    // Empty when it cannot be told.
    virtual std::string AccountDomain() = 0;
};

// The domain in an account name as SSSD or winbind report domain accounts ("name@domain",
// "DOMAIN\name"); for a local account the computer's name, as Windows reports it for local accounts.
std::string DomainOfAccount(std::string_view accountName, std::string_view hostName);

// The system's user database (NSS) for the running user, and the host name.
class SystemAccountDomain final : public AccountDomainSource {
public:
    std::string AccountDomain() override;
};

} // namespace ostrel::host
