// The destination catalogue: for every clickable control of the header, the command its click runs.
#pragma once

#include "base/control.h"

#include <span>
#include <string>
#include <string_view>

namespace ostrel::host {
class Browser;
class ConnectionProbe;
class CurrentUserRegistry;
class MessageDialog;
class Pause;
class Shell;
} // namespace ostrel::host

namespace ostrel::navigation {

enum class CommandKind { EmbeddedNavigation, ShellLaunch, VersionPost, GatewaySelection };
enum class SilentAction { Unchanged, On, Off };
// After the command: nothing; a pause, then Refresh2; or the browser's cache emptied, Refresh2 and
// the message that says so.
enum class FollowUp { None, PauseThenRefresh, ClearCacheRefreshThenMessage };

inline constexpr int kFlagsOmitted = -1;

// How a row's target is made: from the compiled-in addresses, the Citrix Receiver version, or a
// program the shell starts.
enum class TargetKind { Address, VersionStampedPortal, DownloadsWithCitrixVersion, Program };

struct Destination {
    Control control;
    CommandKind kind;
    TargetKind target;
    std::string_view origin; // the compiled-in address (or the program)
    std::string_view path;   // path and query after the origin (or the program's parameters)
    int flags;
    SilentAction silent;
    FollowUp then;
};

extern const std::span<const Destination> kDestinations;
// The row of a control, or nothing for a control that runs no command (a bevel, a label).
const Destination* FindDestination(Control control);

inline constexpr int kPortalRefreshPauseMs = 1000;
inline constexpr char kConnectionProblem[] = "Er is een probleem met de verbinding!";
inline constexpr char kCacheCleared[] = "Tijdelijke internetbestanden zijn verwijderd";

// The primary and the secondary remote-workplace gateway, in the order they are tried.
std::string PrimaryGatewayUrl();
std::string SecondaryGatewayUrl();

// The insurer's own compiled-in addresses, whose pages the program trusts to hand over a
// remote-workplace launch file (the remote-support vendor's is not one of them).
std::span<const std::string_view> InsurerAddresses();

// Runs the catalogue's commands against the host.
class Commands {
public:
    struct Host {
        host::Browser& browser;
        host::CurrentUserRegistry& registry;
        host::Shell& shell;
        host::Pause& pause;
        host::ConnectionProbe& probe;
        host::MessageDialog& messages;
    };
    explicit Commands(const Host& host) : host_(host) {}

    // The command of the control's row; a control without a row does nothing.
    void Run(Control control);

    // Opens the first gateway that answers 200, with the Citrix Receiver version, or says that
    // there is a connection problem.
    void SelectGateway();

private:
    std::string targetOf(const Destination& row);

    Host host_;
};

} // namespace ostrel::navigation
