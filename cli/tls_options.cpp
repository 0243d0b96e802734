#include "cli/tls_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "os/platform.h"
#include "cli/safe_names.h"

namespace kelvane::cli {

namespace {

constexpr std::size_t kMaxPemBytes = 1 << 20;

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

// What a PEM file named by --ssl-ca, --ssl-cert or --ssl-key must be: a regular file of bounded
// size holding a certificate (or, for the key, a private key). "" when it is.
std::string PemProblem(const std::string& file, const char* option, bool key) {
  std::string bytes;
  const int error = platform::ReadRegularFile(file, kMaxPemBytes, bytes);
  const std::string named = std::string("the ") + option + " file " + Printable(file);
  if (error == EINVAL) return named + " is not a regular file";
  if (error == EFBIG) return named + " is larger than 1 MiB";
  if (error != 0) return "cannot read " + named + ": " + std::strerror(error);
  const bool certificate = bytes.find("-----BEGIN CERTIFICATE-----") != std::string::npos;
  const bool privateKey = bytes.find("PRIVATE KEY-----") != std::string::npos;
  if (key) return privateKey ? std::string() : named + " holds no private key (PEM)";
  if (certificate) return {};
  if (bytes.empty()) return named + " is empty; it must hold a certificate (PEM)";
  return named + (privateKey ? " holds a private key, not a certificate" : " holds no certificate (PEM)");
}

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
  app.add_option("--server-public-key-path", settings.serverPublicKey,
                 "The server's RSA public key (PEM file): without TLS, a password the server asks "
                 "for whole (caching_sha2_password, sha256_password) goes encrypted with it");
  app.add_flag("--get-server-public-key", settings.getServerPublicKey,
               "Without TLS and without --server-public-key-path, take the RSA key the server "
               "sends for that password; a man in the middle can send its own and read the password");
  app.add_flag("--verbose", settings.verbose, "Say on standard error how the connection is encrypted");
}

std::string ResolveTls(const TlsSettings& settings, const std::vector<OptionEntry>& optionEntries,
                       ConnectOptions& options, std::vector<std::string>& warnings) {
  // The option files' TLS keys, later ones winning; the client library sees none of them.
  std::map<std::string, std::string> values;
  bool fileFetchesKey = false;
  for (const OptionEntry& entry : optionEntries) {
    if (entry.key == "ssl-mode" || entry.key == "ssl-ca" || entry.key == "ssl-cert" || entry.key == "ssl-key")
      values[entry.key] = entry.value;
    if (entry.key == "server-public-key-path" || entry.key == "server-public-key")
      values["server-public-key-path"] = entry.value;
    // A boolean key of the client: alone, or =1 / =ON / =TRUE.
    if (entry.key == "get-server-public-key") {
      const std::string value = Upper(entry.value);
      fileFetchesKey = !entry.hasValue || value == "1" || value == "ON" || value == "TRUE";
    }
  }
  const auto pick = [&](const std::string& given, const char* key) {
    return !given.empty() ? given : values.contains(key) ? values[key] : std::string();
  };
  const std::string mode = Upper(pick(settings.mode, "ssl-mode"));
  options.sslCa = pick(settings.ca, "ssl-ca");
  options.sslCert = pick(settings.cert, "ssl-cert");
  options.sslKey = pick(settings.key, "ssl-key");
  options.serverPublicKey = pick(settings.serverPublicKey, "server-public-key-path");
  options.getServerPublicKey = settings.getServerPublicKey || fileFetchesKey;

  if (mode.empty()) {
    // A CA given without a mode is there to be checked against.
    options.sslMode = options.sslCa.empty() ? SslMode::Preferred : SslMode::VerifyCa;
  } else if (!ModeNames().contains(mode)) {
    return "ssl-mode \"" + Printable(mode) + "\" in an option file is not one of DISABLED, PREFERRED, "
           "REQUIRED, VERIFY_CA, VERIFY_IDENTITY";
  } else {
    options.sslMode = ModeNames().at(mode);
  }
  // --ssl-ca without --ssl-mode asks for VERIFY_CA: a file's ssl-mode may only ask for more.
  if (settings.mode.empty() && !settings.ca.empty() && options.sslMode < SslMode::VerifyCa)
    options.sslMode = SslMode::VerifyCa;
  if (options.sslMode == SslMode::VerifyCa && options.sslCa.empty())
    return "--ssl-mode=VERIFY_CA needs --ssl-ca, the CA certificate to check the server's against";
  for (const auto& [file, option] : {std::pair{options.sslCa, "--ssl-ca"},
                                     std::pair{options.sslCert, "--ssl-cert"},
                                     std::pair{options.sslKey, "--ssl-key"}})
    if (!file.empty())
      if (std::string problem = PemProblem(file, option, option == std::string("--ssl-key")); !problem.empty())
        return problem;
  if (!options.serverPublicKey.empty()) {
    std::string bytes;
    const int error = platform::ReadRegularFile(options.serverPublicKey, kMaxPemBytes, bytes);
    const std::string named = "the --server-public-key-path file " + Printable(options.serverPublicKey);
    if (error == EINVAL) return named + " is not a regular file";
    if (error == EFBIG) return named + " is larger than 1 MiB";
    if (error != 0) return "cannot read " + named + ": " + std::strerror(error);
    if (bytes.find("-----BEGIN PUBLIC KEY-----") == std::string::npos)
      return named + " holds no public key (PEM)";
  }
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
                           const ServerFailure& failure) {
  switch (failure.kind) {
    case FailureKind::TlsNotOffered:
      return "the server does not offer TLS (or did not send a well-formed greeting), and " +
             ModeName(options.sslMode) +
             " does not log in without it; no login was sent (--ssl-mode=PREFERRED connects "
             "unencrypted to a server without TLS)";
    case FailureKind::NotEncrypted:
      return "the login completed unencrypted although " + ModeName(options.sslMode) +
             " asked for TLS; the connection was closed at once";
    case FailureKind::SecureTransport:
      return "the server offers TLS and refuses this login unencrypted: it may require secure "
             "transport; leave out --ssl-mode=DISABLED (PREFERRED encrypts) or use "
             "--ssl-mode=REQUIRED";
    case FailureKind::ClearTextRefused:
      return "the server asks for the password in clear text (mysql_clear_password or dialog), "
             "which kelvane-gen sends only over TLS it requires: use --ssl-mode=REQUIRED or VERIFY_CA";
    case FailureKind::ClearTextChosen:
      return "default-auth in an option file names a plugin that sends the password in clear text "
             "(mysql_clear_password or dialog), which kelvane-gen uses only over TLS it requires: "
             "remove that line or use --ssl-mode=REQUIRED";
    case FailureKind::FullLoginRefused:
      return "the link is not encrypted and the password was not sent: give the server's RSA "
             "public key with --server-public-key-path=FILE, or allow taking the key the server "
             "sends with --get-server-public-key (a man in the middle could send its own), or "
             "use TLS";
    case FailureKind::TlsFailed:
      break;
    default:
      return {};
  }
  switch (options.sslMode) {
    case SslMode::VerifyCa:
      return "the server's TLS certificate does not chain to the CA in " + Printable(options.sslCa);
    case SslMode::VerifyIdentity:
      return "the server's TLS certificate was refused: " + ModeName(options.sslMode) +
             " needs it to chain to " +
             (options.sslCa.empty() ? std::string("a CA the system trusts") : Printable(options.sslCa)) +
             " and to name the host \"" + Printable(host) + "\"";
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
