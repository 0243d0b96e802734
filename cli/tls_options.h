#pragma once
// kelvane-gen's TLS settings, as the mysql client takes them: --ssl-mode, --ssl-ca, --ssl-cert,
// --ssl-key on the command line, or the same keys in the [client] / [kelvane-gen] groups of the
// option files (as gathered in option_files.h); the command line wins.
#include <string>
#include <vector>

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
  bool verbose = false;  // --verbose: say how the connection is encrypted
};

// Adds --ssl-mode, --ssl-ca, --ssl-cert, --ssl-key and --verbose to the parser.
void AddTlsOptions(CLI::App& app, TlsSettings& settings);

// Resolves the settings (command line over the option files' text as gathered for the client
// library; a CA without a mode means VERIFY_CA) into options. Returns a usage error ("" when
// fine); warnings are for standard error.
std::string ResolveTls(const TlsSettings& settings, const std::string& optionText,
                       const std::string& optionGroup, ConnectOptions& options,
                       std::vector<std::string>& warnings);

// "--ssl-mode=VERIFY_CA" and the like, for messages.
std::string ModeName(SslMode mode);

// What a failed connection means for TLS, or "" when TLS played no part. `serverOffersTls`
// is what the server's greeting said.
std::string TlsFailureHint(const ConnectOptions& options, const std::string& host,
                           unsigned errorCode, bool serverOffersTls);

// "over TLSv1.3 (TLS_AES_256_GCM_SHA384)" or "without encryption".
std::string DescribeTls(const TlsState& state);

}  // namespace kelvane::cli
