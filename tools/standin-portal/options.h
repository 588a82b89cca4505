// The stand-in's command line, read once into Options; whoever needs a setting is handed them.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace standin {

// The exit status of a command line that cannot be served, and of files it names that cannot be
// used (the log, the certificate).
constexpr int kExitUsage = 2;

// What --help prints.
extern const char kUsage[];

// One role served at one port (ROLE=ORIGIN, or --https ROLE=PORT).
struct Role {
    std::string name;
    int port = 0;
    std::string prefix; // path part of the origin, no trailing '/'
    int vpn_status = 0; // 0 when not given on the command line
    bool vpn_hang = false;
};

struct Options {
    bool help = false;           // -h or --help: nothing after it was read
    std::vector<Role> roles;     // ROLE=ORIGIN, command-line order, --status applied
    std::vector<Role> tls_roles; // --https ROLE=PORT, likewise; a role given both ways has its path
    std::optional<std::string> log_path;
    std::optional<std::string> cert_path;
    std::optional<std::string> key_path;
    std::optional<std::string> client_ca_path;
    bool open_window = false;
    bool bench_page = false;
    bool portal_login = false;
    std::string start_page; // empty: none
    std::string portal_at;  // empty: none
};

// A command line the stand-in cannot serve; what() says why, without the program's name.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the arguments after the program's name. Throws UsageError.
Options ParseOptions(int argc, const char* const* argv);

} // namespace standin
