#include "support/server_env.h"

#include <gtest/gtest.h>
#include <mysql.h>

#include <cstdlib>

namespace kelvane::testing {

unsigned TestPort() {
  const char* port = std::getenv("KELVANE_TEST_PORT");
  if (port == nullptr || *port == '\0') {
    ADD_FAILURE() << "KELVANE_TEST_PORT is not set: run the tests through scripts/test, "
                     "which starts the test server";
    return 0;
  }
  return static_cast<unsigned>(std::strtoul(port, nullptr, 10));
}

namespace {

MYSQL* AdminConnect(const std::string& database) {
  const unsigned port = TestPort();
  if (port == 0) return nullptr;
  MYSQL* conn = mysql_init(nullptr);
  mysql_options(conn, MYSQL_SET_CHARSET_NAME, "utf8mb4");
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

bool AdminExec(const std::string& sql, const std::string& database) {
  MYSQL* conn = AdminConnect(database);
  if (!conn) return false;
  const bool ok = RunAll(conn, sql, nullptr);
  mysql_close(conn);
  return ok;
}

std::vector<std::string> AdminQuery(const std::string& sql, const std::string& database) {
  std::vector<std::string> rows;
  if (MYSQL* conn = AdminConnect(database)) {
    RunAll(conn, sql, &rows);
    mysql_close(conn);
  }
  return rows;
}

bool IsAllowedStatement(const std::string& sql) {
  if (sql == "show databases" || sql == "show tables") return true;
  const std::string head = "select * from `", tail = "` where 1=0";
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
