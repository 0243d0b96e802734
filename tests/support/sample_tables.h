#pragma once
// FieldTables built by hand for the generator tests, each with the table name it goes with.
// The golden folders under tests/golden/ are named after these cases.
#include <cstddef>
#include <string>
#include <vector>

#include "schema/field_table.h"

namespace kelvane::testing {

struct SampleTable {
  std::string caseName;   // folder name under tests/golden/<generator>/
  std::string tableName;  // the table name the generators receive
  FieldTable fields;
};

inline FieldRecord IntColumn(const std::string& name) { return {name, "整数型", "Jz", "int"}; }
inline FieldRecord TextColumn(const std::string& name) { return {name, "文本型", "Jw", "String"}; }

// user with id and name: the worked example of the generators.
inline SampleTable UserIdName() {
  return {"user_id_name", "user", {IntColumn("id"), TextColumn("name"), StateRecord()}};
}

// user with id, name and created (a DATETIME column).
inline SampleTable UserIdNameCreated() {
  return {"user_id_name_created",
          "user",
          {IntColumn("id"), TextColumn("name"), {"created", "日期时间型", "Jr", "DateTime"},
           StateRecord()}};
}

// One column of each of the seven prefixes, in the order Jx Jb Jl Jz Jw Jr Jj. "Jl" (逻辑型,
// bool) and "Jj" (字节集, byte[]) do not come out of the default type map; they are built
// here by hand.
inline SampleTable SevenPrefixes() {
  return {"seven_prefixes",
          "t7",
          {{"amount", "小数型", "Jx", "float"},
           {"level", "字节型", "Jb", "byte"},
           {"active", "逻辑型", "Jl", "bool"},
           {"id", "整数型", "Jz", "int"},
           {"title", "文本型", "Jw", "String"},
           {"born", "日期时间型", "Jr", "DateTime"},
           {"photo", "字节集", "Jj", "byte[]"},
           StateRecord()}};
}

// One column of every row of the type map (codes 0, 101, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13,
// 253, 25403 and the fallback row, here a TEXT column).
inline SampleTable EveryTypeMapRow() {
  return {"every_type_map_row",
          "all_types",
          {{"c_decimal", "小数型", "Jx", "float"},
           {"c_tinyint", "字节型", "Jb", "byte"},
           {"c_smallint", "整数型", "Jz", "int"},
           {"c_int", "整数型", "Jz", "int"},
           {"c_float", "小数型", "Jx", "float"},
           {"c_double", "小数型", "Jx", "float"},
           {"c_timestamp", "文本型", "Jw", "int"},
           {"c_bigint", "长整数型", "Jz", "long"},
           {"c_mediumint", "长整数型", "Jz", "int"},
           {"c_date", "文本型", "Jw", "DateTime"},
           {"c_time", "文本型", "Jw", "DateTime"},
           {"c_datetime", "日期时间型", "Jr", "DateTime"},
           {"c_year", "文本型", "Jw", "String"},
           {"c_varchar", "文本型", "Jw", "String"},
           {"c_char", "文本型", "Jw", "String"},
           {"c_text", "文本型", "Jw", "String"},
           StateRecord()}};
}

// A single table column.
inline SampleTable SingleColumn() { return {"single_column", "t1", {IntColumn("c"), StateRecord()}}; }

// Only the state record: what a rejected select leaves.
inline SampleTable OnlyX() { return {"only_x", "user", {StateRecord()}}; }

// Nothing at all: what a failed table check leaves.
inline SampleTable Empty() { return {"empty", "user", {}}; }

// The first column is not called id.
inline SampleTable FirstNotId() {
  return {"first_not_id", "goods", {TextColumn("code"), IntColumn("qty"), StateRecord()}};
}

// Table and columns named in Chinese.
inline SampleTable Chinese() {
  return {"chinese", "用户表", {IntColumn("编号"), TextColumn("名称"), StateRecord()}};
}

// A table name with a space.
inline SampleTable SpaceInName() {
  return {"space_in_name", "my table", {IntColumn("id"), TextColumn("name"), StateRecord()}};
}

// A table that has its own column X besides the state record.
inline SampleTable OwnColumnX() {
  return {"own_column_x", "flags", {IntColumn("id"), TextColumn("X"), StateRecord()}};
}

// The seven variable prefixes of the column types, with a type of each.
inline const FieldTable kSevenKinds = {
    {"", "小数型", "Jx", "float"},  {"", "字节型", "Jb", "byte"},
    {"", "逻辑型", "Jl", "bool"},   {"", "整数型", "Jz", "int"},
    {"", "文本型", "Jw", "String"}, {"", "日期时间型", "Jr", "DateTime"},
    {"", "字节集", "Jj", "byte[]"}};

// `count` table columns c0, c1, … cycling through `prefixes` (all seven when empty), each
// prefix with its own type (one outside the seven with "类型" / "t"), then the state record.
inline FieldTable MixedTable(std::size_t count, std::vector<std::string> prefixes = {}) {
  if (prefixes.empty())
    for (const FieldRecord& kind : kSevenKinds) prefixes.push_back(kind.prefix);
  FieldTable fields;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& prefix = prefixes[i % prefixes.size()];
    FieldRecord record{"", "类型", prefix, "t"};
    for (const FieldRecord& kind : kSevenKinds)
      if (kind.prefix == prefix) record = kind;
    record.columnName = "c" + std::to_string(i);
    fields.push_back(std::move(record));
  }
  fields.push_back(StateRecord());
  return fields;
}

// The cases that have golden files for every section of the set class.
inline std::vector<SampleTable> SetClassGoldenCases() {
  return {UserIdName(),   UserIdNameCreated(), SevenPrefixes(), SingleColumn(), OnlyX(),
          Empty(),        FirstNotId(),        Chinese(),       SpaceInName()};
}

}  // namespace kelvane::testing
