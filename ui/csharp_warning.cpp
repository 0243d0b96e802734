#include "ui/csharp_warning.h"

namespace kelvane {

namespace {

std::string Named(const std::string& name) { return "“" + name + "”"; }

}  // namespace

std::vector<std::string> CSharpWarningLines(const std::string& table, const FieldTable& fields,
                                            const ColumnFactsList& facts, std::size_t listKey,
                                            std::string_view keyBoxCaption) {
  std::vector<std::string> lines;
  for (const CSharpReason& reason : CSharpEntityProblems(table, fields, facts, listKey)) {
    std::string line = "C#：";
    switch (reason.problem) {
      case CSharpProblem::NoIdColumn:
        line += "本表没有id列，列表类的删除/修改/提取按id比较，编译不过";
        break;
      case CSharpProblem::IdNotComparable:
        line += "id列是" + fields[reason.column].csharpType + "，列表类拿它与int比较，编译不过";
        break;
      case CSharpProblem::SecondX:
        line += "本表自有列“X”，与状态列X重名，编译不过";
        break;
      case CSharpProblem::NamedLikeClass:
        line += "列" + Named(fields[reason.column].columnName) + "与实体类同名，编译不过";
        break;
      case CSharpProblem::Keyword:
        line += (reason.column == kNoColumn ? "表名" + Named(table) : "列名" + Named(fields[reason.column].columnName)) +
                "是C#关键字，编译不过";
        break;
    }
    if (reason.fix == CSharpFix::KeyAuto)
      line += "；勾选“" + std::string(keyBoxCaption) + "”改按主键" + Named(fields[reason.fixColumn].columnName) + "比较";
    lines.push_back(line + "。");
  }
  return lines;
}

}  // namespace kelvane
