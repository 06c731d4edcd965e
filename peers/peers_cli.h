// The command line of pelvane-peers: running the simulated peers and managing the bank's
// accounts.
//
//   pelvane-peers [--role bank|gateway|merchant|all] [--bind ADDRESS] [--pause-ms N]
//                 [--db FILE] [--bank-host ADDRESS] [--gateway-host ADDRESS]
//   pelvane-peers account add [--db FILE] --first-name NAME --surname NAME
//                 --birth-number NUMBER [--password-file FILE] --balance CROWNS
//   pelvane-peers account list [--db FILE]
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace pelvane::peers {

// Exit codes: 0 success, 1 failure, 2 usage error.
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// The database used when --db is not given: $XDG_DATA_HOME/pelvane/bank.sqlite (by default
// ~/.local/share/pelvane/bank.sqlite). The folder is created when missing.
std::string DefaultDatabasePath();

// Runs the command line (args without the program name). Running the peers needs a
// QCoreApplication and returns when the event loop ends (SIGINT or SIGTERM end it); the
// account commands need none. Output goes to out, errors and the peers' log to err.
int RunPeersCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pelvane::peers
