// The headless host's exit statuses.
#pragma once

namespace zentrada::shell {

inline constexpr int kExitStopped = 0;            // stopped on request, --help / --version, or --check passed
inline constexpr int kExitDriverNotLoaded = 1;    // the driver library could not be loaded
inline constexpr int kExitPortNotOpened = 2;      // the printer port could not be opened
inline constexpr int kExitAlreadyRunning = 3;     // another instance of the same name runs
inline constexpr int kExitThreadNotStarted = 4;   // the worker thread could not be started
inline constexpr int kExitBadPath = 5;            // a directory too long, or the executable's path unknown
inline constexpr int kExitCheckFailed = 6;        // --check: a file would not be taken or a line would fail
inline constexpr int kExitServiceFailed = 7;      // --install-service, --uninstall-service: not done
inline constexpr int kExitSendFailed = 8;        // --send: no connection, a file unreadable or not answered whole
inline constexpr int kExitUsage = 64;             // unknown option or missing option value

// --status: what the agent beside the program is doing.
inline constexpr int kStatusPrinterOnline = 0;    // running, the printer on line
inline constexpr int kStatusPrinterOffline = 1;   // running, the printer off line
inline constexpr int kStatusNotRunning = 2;       // stopped, or its status stale or missing

}  // namespace zentrada::shell
