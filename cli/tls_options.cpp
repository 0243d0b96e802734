#include "cli/tls_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <fstream>
#include <map>

namespace kelvane::cli {

namespace {

constexpr const char* kTlsKeys[] = {"ssl-mode", "ssl-ca", "ssl-cert", "ssl-key"};

const std::map<std::string, SslMode>& ModeNames() {
  static const std::map<std::string, SslMode> names = {
      {"DISABLED", SslMode::Disabled},   {"PREFERRED", SslMode::Preferred},
      {"REQUIRED", SslMode::Required},   {"VERIFY_CA", SslMode::VerifyCa},
      {"VERIFY_IDENTITY", SslMode::VerifyIdentity},
  };
  return names;
}

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::string TrimSpace(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The TLS keys of `groups` in the gathered option-file text (see option_files.h), later
// values winning, read the way the client library reads keys ('_' stands for '-', quotes
// around a value dropped).
std::map<std::string, std::string> TlsKeys(const std::string& text,
                                           const std::vector<std::string>& groups) {
  std::map<std::string, std::string> values;
  bool inGroup = false;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t to = text.find('\n', from);
    if (to == std::string::npos) to = text.size();
    const std::string line = TrimSpace(text.substr(from, to - from));
    from = to + 1;
    if (line.empty() || line[0] == '#' || line[0] == ';' || line[0] == '!') continue;
    if (line[0] == '[') {
      const auto close = line.find(']');
      inGroup = close != std::string::npos &&
                std::find(groups.begin(), groups.end(), TrimSpace(line.substr(1, close - 1))) !=
                    groups.end();
      continue;
    }
    if (!inGroup) continue;
    const auto equals = line.find('=');
    std::string key = TrimSpace(line.substr(0, equals));
    std::replace(key.begin(), key.end(), '_', '-');
    if (std::find(std::begin(kTlsKeys), std::end(kTlsKeys), key) == std::end(kTlsKeys)) continue;
    std::string value = equals == std::string::npos ? "" : TrimSpace(line.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    values[key] = value;
  }
  return values;
}

bool Readable(const std::string& file) { return std::ifstream(file).good(); }

}  // namespace

void AddTlsOptions(CLI::App& app, TlsSettings& settings) {
  app.add_option("--ssl-mode", settings.mode,
                 "TLS: DISABLED, PREFERRED (default: encrypt when the server offers TLS), "
                 "REQUIRED, VERIFY_CA or VERIFY_IDENTITY")
      ->check([](const std::string& mode) {
        return ModeNames().contains(Upper(mode))
                   ? std::string()
                   : "--ssl-mode must be DISABLED, PREFERRED, REQUIRED, VERIFY_CA or VERIFY_IDENTITY";
      });
  app.add_option("--ssl-ca", settings.ca, "CA certificate file (PEM) the server's certificate must chain to");
  app.add_option("--ssl-cert", settings.cert, "Client certificate file (PEM)");
  app.add_option("--ssl-key", settings.key, "Client private key file (PEM)");
  app.add_flag("--verbose", settings.verbose, "Say on standard error how the connection is encrypted");
}

std::string ResolveTls(const TlsSettings& settings, const std::string& optionText,
                       const std::string& optionGroup, ConnectOptions& options,
                       std::vector<std::string>& warnings) {
  std::map<std::string, std::string> values = TlsKeys(optionText, {"client", optionGroup});
  const auto pick = [&](const std::string& given, const char* key) {
    return !given.empty() ? given : values.contains(key) ? values[key] : std::string();
  };
  const std::string mode = Upper(pick(settings.mode, "ssl-mode"));
  options.sslCa = pick(settings.ca, "ssl-ca");
  options.sslCert = pick(settings.cert, "ssl-cert");
  options.sslKey = pick(settings.key, "ssl-key");

  if (mode.empty()) {
    // A CA given without a mode is there to be checked against.
    options.sslMode = options.sslCa.empty() ? SslMode::Preferred : SslMode::VerifyCa;
  } else if (!ModeNames().contains(mode)) {
    return "ssl-mode \"" + mode + "\" in an option file is not one of DISABLED, PREFERRED, "
           "REQUIRED, VERIFY_CA, VERIFY_IDENTITY";
  } else {
    options.sslMode = ModeNames().at(mode);
  }
  if (options.sslMode == SslMode::VerifyCa && options.sslCa.empty())
    return "--ssl-mode=VERIFY_CA needs --ssl-ca, the CA certificate to check the server's against";
  for (const auto& [file, option] : {std::pair{options.sslCa, "--ssl-ca"},
                                     std::pair{options.sslCert, "--ssl-cert"},
                                     std::pair{options.sslKey, "--ssl-key"}})
    if (!file.empty() && !Readable(file)) return std::string("cannot read the ") + option + " file " + file;
  if (!options.sslCa.empty() &&
      (options.sslMode != SslMode::VerifyCa && options.sslMode != SslMode::VerifyIdentity))
    warnings.push_back("--ssl-ca is not used with " + ModeName(options.sslMode) +
                       "; the server's certificate is checked only with VERIFY_CA or VERIFY_IDENTITY");
  if (options.sslMode == SslMode::Disabled && !(options.sslCert.empty() && options.sslKey.empty()))
    warnings.push_back("--ssl-cert and --ssl-key are not used with --ssl-mode=DISABLED");
  return {};
}

std::string ModeName(SslMode mode) {
  for (const auto& [name, value] : ModeNames())
    if (value == mode) return "--ssl-mode=" + name;
  return {};
}

std::string TlsFailureHint(const ConnectOptions& options, const std::string& host,
                           unsigned errorCode, bool serverOffersTls) {
  constexpr unsigned kTlsError = 2026;  // CR_SSL_CONNECTION_ERROR
  if (errorCode != kTlsError) return {};
  if (!serverOffersTls)
    return "the server does not offer TLS, and " + ModeName(options.sslMode) +
           " does not log in without it; nothing was sent (--ssl-mode=PREFERRED connects "
           "unencrypted to such a server)";
  switch (options.sslMode) {
    case SslMode::VerifyCa:
      return "the server's TLS certificate does not chain to the CA in " + options.sslCa;
    case SslMode::VerifyIdentity:
      return "the server's TLS certificate was refused: " + ModeName(options.sslMode) +
             " needs it to chain to " +
             (options.sslCa.empty() ? std::string("a CA the system trusts") : options.sslCa) +
             " and to name the host \"" + host + "\"";
    default:
      return "the TLS handshake with the server failed";
  }
}

std::string DescribeTls(const TlsState& state) {
  if (!state.encrypted) return "without encryption";
  return "over " + (state.version.empty() ? std::string("TLS") : state.version) +
         (state.cipher.empty() ? std::string() : " (" + state.cipher + ")");
}

}  // namespace kelvane::cli
