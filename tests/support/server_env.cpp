#include "support/server_env.h"

#include <gtest/gtest.h>
#include <mysql.h>

#include <cstdlib>

namespace kelvane::testing {

namespace {

std::string Setting(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') {
    ADD_FAILURE() << name << " is not set: run the tests through scripts/test, which starts "
                     "the test servers";
    return {};
  }
  return value;
}

}  // namespace

unsigned TestPort() {
  return static_cast<unsigned>(std::strtoul(Setting("KELVANE_TEST_PORT").c_str(), nullptr, 10));
}

unsigned TlsTestPort() {
  return static_cast<unsigned>(std::strtoul(Setting("KELVANE_TEST_TLS_PORT").c_str(), nullptr, 10));
}

std::string TlsTestFile(const std::string& name) {
  const std::string ca = Setting("KELVANE_TEST_TLS_CA");
  return ca.substr(0, ca.rfind('/') + 1) + name;
}

namespace {

MYSQL* AdminConnect(const std::string& database, unsigned port) {
  if (port == 0) port = TestPort();
  if (port == 0) return nullptr;
  MYSQL* conn = mysql_init(nullptr);
  mysql_options(conn, MYSQL_SET_CHARSET_NAME, "utf8mb4");
  const my_bool tlsWhenOffered = 1;
  mysql_options(conn, MYSQL_OPT_SSL_ENFORCE, &tlsWhenOffered);
  if (!mysql_real_connect(conn, kTestHost, kTestUser, kTestPassword,
                          database.empty() ? nullptr : database.c_str(), port, nullptr,
                          CLIENT_MULTI_STATEMENTS)) {
    ADD_FAILURE() << "admin connect failed: " << mysql_error(conn);
    mysql_close(conn);
    return nullptr;
  }
  return conn;
}

// Sends sql and drains every result; false on the first error.
bool RunAll(MYSQL* conn, const std::string& sql, std::vector<std::string>* firstColumn) {
  if (mysql_real_query(conn, sql.data(), sql.size()) != 0) {
    ADD_FAILURE() << "admin statement failed: " << mysql_error(conn) << "\n  " << sql;
    return false;
  }
  int status = 0;
  do {
    if (MYSQL_RES* res = mysql_store_result(conn)) {
      while (MYSQL_ROW row = mysql_fetch_row(res))
        if (firstColumn) firstColumn->push_back(row[0] ? row[0] : "");
      mysql_free_result(res);
    }
    status = mysql_next_result(conn);
    if (status > 0) {
      ADD_FAILURE() << "admin statement failed: " << mysql_error(conn) << "\n  " << sql;
      return false;
    }
  } while (status == 0);
  return true;
}

}  // namespace

bool AdminExec(const std::string& sql, const std::string& database, unsigned port) {
  MYSQL* conn = AdminConnect(database, port);
  if (!conn) return false;
  const bool ok = RunAll(conn, sql, nullptr);
  mysql_close(conn);
  return ok;
}

std::vector<std::string> AdminQuery(const std::string& sql, const std::string& database,
                                    unsigned port) {
  std::vector<std::string> rows;
  if (MYSQL* conn = AdminConnect(database, port)) {
    RunAll(conn, sql, &rows);
    mysql_close(conn);
  }
  return rows;
}

bool IsAllowedStatement(const std::string& sql, bool comments) {
  if (sql == "show databases" || sql == "show tables") return true;
  const bool showColumns = comments && sql.starts_with("show full columns from `");
  const std::string head = showColumns ? "show full columns from `" : "select * from `";
  const std::string tail = showColumns ? "`" : "` where 1=0";
  if (sql.size() <= head.size() + tail.size() || !sql.starts_with(head) || !sql.ends_with(tail))
    return false;
  const std::string name = sql.substr(head.size(), sql.size() - head.size() - tail.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] != '`') continue;
    if (i + 1 == name.size() || name[i + 1] != '`') return false;
    ++i;  // a doubled backtick stands for one
  }
  return true;
}

}  // namespace kelvane::testing
