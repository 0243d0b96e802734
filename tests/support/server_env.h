#pragma once
// The real MariaDB server the test script starts. Tests that need it fail (never skip)
// when it is not there.
#include <string>
#include <vector>

namespace kelvane::testing {

inline constexpr const char* kTestHost = "127.0.0.1";
inline constexpr const char* kTestUser = "root";
inline constexpr const char* kTestPassword = "271828";

// Port of the test server from KELVANE_TEST_PORT; adds a test failure and returns 0 if unset.
unsigned TestPort();
// The second test server, which accepts only TLS (KELVANE_TEST_TLS_PORT), and the files of its
// certificate chain beside KELVANE_TEST_TLS_CA: "ca.pem" signed its certificate (for localhost
// and 127.0.0.1; it also listens on 127.0.0.2), "other-ca.pem" did not.
unsigned TlsTestPort();
std::string TlsTestFile(const std::string& name);

// Runs statements as root on the test server (or the one on `port`), outside the code under
// test (for setting up and tearing down scenario tables). Returns false and adds a failure on
// error.
bool AdminExec(const std::string& sql, const std::string& database = "", unsigned port = 0);

// Runs a query as root and returns column 0 of every row.
std::vector<std::string> AdminQuery(const std::string& sql, const std::string& database = "",
                                    unsigned port = 0);

// True for "show databases", "show tables" and the metadata select
// "select * from `name` where 1=0" (name quoted correctly): the only statements the program
// may send; with `comments` also "show full columns from `name`", the one sent for comments.
bool IsAllowedStatement(const std::string& sql, bool comments = false);

}  // namespace kelvane::testing
