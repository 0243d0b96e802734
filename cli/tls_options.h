#pragma once
// kelvane-gen's TLS settings, as the mysql client takes them: --ssl-mode, --ssl-ca, --ssl-cert,
// --ssl-key on the command line, or the same keys in the [client] / [kelvane-gen] groups of the
// option files (as gathered in option_files.h); the command line wins.
#include <string>
#include <vector>

#include "cli/option_files.h"
#include "schema/mysql_access.h"

namespace CLI {
class App;
}

namespace kelvane::cli {

struct TlsSettings {
  std::string mode;  // as typed; empty: not given on the command line
  std::string ca;
  std::string cert;
  std::string key;
  std::string serverPublicKey;       // --server-public-key-path
  bool getServerPublicKey = false;   // --get-server-public-key
  bool verbose = false;  // --verbose: say how the connection is encrypted
};

// Adds --ssl-mode, --ssl-ca, --ssl-cert, --ssl-key, --server-public-key-path,
// --get-server-public-key and --verbose to the parser.
void AddTlsOptions(CLI::App& app, TlsSettings& settings);

// Resolves the settings (each command-line setting over the option files' ssl-mode, ssl-ca,
// ssl-cert, ssl-key, server-public-key-path (or server-public-key), get-server-public-key; a CA
// without a mode means VERIFY_CA) into options. The client library sees
// no TLS key of the option files, so nothing there can weaken what was resolved. The files named
// must be regular files holding what they claim. Returns a usage error ("" when fine); warnings
// are for standard error.
std::string ResolveTls(const TlsSettings& settings, const std::vector<OptionEntry>& optionEntries,
                       ConnectOptions& options, std::vector<std::string>& warnings);

// "--ssl-mode=VERIFY_CA" and the like, for messages.
std::string ModeName(SslMode mode);

// What a failed connection means for TLS (or for the clear-text password), or "" when TLS
// played no part.
std::string TlsFailureHint(const ConnectOptions& options, const std::string& host,
                           const ServerFailure& failure);

// "over TLSv1.3 (TLS_AES_256_GCM_SHA384)" or "without encryption".
std::string DescribeTls(const TlsState& state);

}  // namespace kelvane::cli
