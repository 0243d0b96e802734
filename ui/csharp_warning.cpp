#include "ui/csharp_warning.h"

#include "schema/identifier_check.h"
#include "text/text.h"
#include "ui/window_wording.h"

namespace kelvane {

namespace {

using ui::QuotedName;

// Why a name cannot stand in the texts by its characters; empty when it can. Keywords have
// their own line above.
std::string NameLine(std::string_view what, std::string_view name) {
  const NameProblem problem = IdentifierProblem(name);
  std::string why;
  switch (problem.fault) {
    case NameFault::None:
    case NameFault::Keyword:
      return {};
    case NameFault::Empty:
      return "C#与易语言：" + std::string(what) + "为空，不是标识符，编译不过。";
    case NameFault::LeadingDigit:
      why = "以数字开头";
      break;
    case NameFault::NotUtf8:
      why = "含非UTF-8字节";
      break;
    case NameFault::Character:
      why = IsControlCharacter(problem.codePoint)
                ? "含控制字符" + CodePointName(problem.codePoint)
                : "含" + QuotedName(name.substr(problem.at, problem.length)) + "（" + CodePointName(problem.codePoint) + "）";
      break;
  }
  return "C#与易语言：" + std::string(what) + QuotedName(name) + why + "，不是标识符，编译不过。";
}

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
        line += "列" + QuotedName(fields[reason.column].columnName) + "与实体类同名，编译不过";
        break;
      case CSharpProblem::Keyword:
        line += (reason.column == kNoColumn ? "表名" + QuotedName(table) : "列名" + QuotedName(fields[reason.column].columnName)) +
                "是C#关键字，编译不过";
        break;
    }
    if (reason.fix == CSharpFix::KeyAuto)
      line += "；勾选“" + std::string(keyBoxCaption) + "”改按主键" + QuotedName(fields[reason.fixColumn].columnName) + "比较";
    lines.push_back(line + "。");
  }
  if (std::string line = NameLine("表名", table); !line.empty()) lines.push_back(std::move(line));
  for (const FieldRecord& field : fields)
    if (std::string line = NameLine("列名", field.columnName); !line.empty()) lines.push_back(std::move(line));
  return lines;
}

}  // namespace kelvane
