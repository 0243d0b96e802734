#include "ui/window_core.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>

#include "generators/generators.h"
#include "schema/schema_commands.h"
#include "schema/table_key.h"
#include "ui/command_worker.h"
#include "ui/csharp_warning.h"
#include "ui/server_address.h"
#include "ui/window_wording.h"

namespace kelvane::ui {

// The connection and the chosen table's columns as the server gave them: created, used and
// (through the last job) closed on the worker thread only.
struct WindowCore::Server {
  SchemaSession session;
  FieldTable fields;
  ColumnFactsList facts;  // key flags and comments, one entry per record of fields
};

// Jobs hand their results back through here; once the core is gone, nothing arrives.
struct WindowCore::Mailbox {
  std::mutex mutex;
  WindowView* view = nullptr;

  void Post(std::function<void()> task) {
    const std::lock_guard lock(mutex);
    if (view) view->Post(std::move(task));
  }
  void Close() {
    const std::lock_guard lock(mutex);
    view = nullptr;
  }
};

struct WindowCore::TableResult {
  std::vector<std::string> lines;  // 列表框1
  FieldTable fields;
  std::string warning;
};

struct WindowCore::GenerateResult {
  std::array<std::string, kPanesInOrder.size()> texts;
  std::string warning;  // the key warning as it stands for the texts made
};

namespace {

// Where a connect step goes: the IP box's address, or the default port when it names none.
// Nothing when the box holds no usable address; the step then fails without contacting anyone.
std::optional<std::pair<ConnectInput, unsigned>> Target(const ServerInput& input,
                                                        unsigned defaultPort) {
  const std::optional<ServerAddress> address = ReadAddress(input.address);
  if (!address) return std::nullopt;
  return std::pair{ConnectInput{address->host, input.user, input.password},
                   address->port != 0 ? address->port : defaultPort};
}

// The record key the check boxes ask for: with "以主键为记录键" the one-column primary key,
// which the C# list class then keys by too; `missing` when the table has none to offer.
struct KeyChosen {
  std::size_t position = TextOptions{}.keyPosition;
  bool inCSharpList = false;
  bool missing = false;
};

KeyChosen ChooseKey(const FieldTable& fields, const ColumnFactsList& facts,
                    const TextChoices& choices) {
  KeyChosen chosen;
  if (!choices.primaryKey) return chosen;
  const KeyChoice key = ChooseKeyColumn(kKeyAuto, fields, facts);
  if (!key.problem.empty()) {
    chosen.missing = fields.size() > 1;
    return chosen;
  }
  chosen.position = key.position;
  chosen.inCSharpList = true;
  return chosen;
}

// What page 1 says about the texts: the key warning and one line per reason the C# entity text
// will not compile.
std::string Warnings(const std::string& table, const FieldTable& fields,
                     const ColumnFactsList& facts, const KeyChosen& key) {
  std::string text = key.missing ? std::string(kNoSingleColumnKey) : std::string();
  const auto add = [&text](const std::string& line) {
    if (line.empty()) return;
    if (!text.empty()) text += "\n";
    text += line;
  };
  add(KeyWarningWindowText(fields, facts, key.position));
  for (const std::string& line :
       CSharpWarningLines(table, fields, facts, key.inCSharpList ? key.position : kNoColumn,
                          ControlOf(Id::KeyBox).text))
    add(line);
  return text;
}

}  // namespace

WindowCore::WindowCore(WindowView& view, unsigned defaultPort)
    : view_(view),
      defaultPort_(defaultPort),
      mailbox_(std::make_shared<Mailbox>()),
      server_(std::make_shared<Server>()),
      worker_(std::make_unique<CommandWorker>()) {
  mailbox_->view = &view;
}

WindowCore::~WindowCore() {
  mailbox_->Close();
  worker_->Run([server = server_] { server->session.Replace(0); });
  worker_.reset();
}

template <typename Result>
void WindowCore::Start(std::function<Result(Server&)> work, std::function<void(Result&)> done) {
  busy_ = true;
  view_.SetBusy(true);
  worker_->Run([this, server = server_, mailbox = mailbox_, work = std::move(work),
                done = std::move(done)] {
    auto result = std::make_shared<Result>(work(*server));
    mailbox->Post([this, result, done] {
      done(*result);
      Finish();
    });
  });
}

void WindowCore::Finish() {
  busy_ = false;
  view_.SetBusy(false);
}

std::string WindowCore::Name(const std::vector<std::string>& names, int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < names.size()
             ? names[static_cast<std::size_t>(row)]
             : std::string();
}

void WindowCore::IgnoredSelection(Id list) {
  view_.SelectRow(list, list == Id::DatabaseList ? database_ : table_);
}

void WindowCore::ConnectClicked(const ServerInput& input) {
  if (busy_) return;
  Start<ConnectServerResult>(
      [target = Target(input, defaultPort_)](Server& server) {
        if (!target) {
          server.session.Replace(0);  // an address that cannot be used is a failed attempt
          return ConnectServerResult{};
        }
        return ConnectServer(server.session, target->first, target->second);
      },
      [this](ConnectServerResult& result) {
        databases_ = std::move(result.databases);
        database_ = -1;
        view_.SetItems(Id::DatabaseList, databases_);
        view_.SetText(Id::KeyWarning, {});
        view_.SetText(Id::StatusLabel,
                      std::string(result.connected ? kStatusConnected : kStatusFailed));
        if (result.showTablesPage) ShowPage(kTablesPage);
      });
}

void WindowCore::DatabaseSelected(int row, const ServerInput& input) {
  if (busy_) return IgnoredSelection(Id::DatabaseList);
  database_ = row;
  const std::string database = Name(databases_, row);
  Start<ChooseDatabaseResult>(
      [target = Target(input, defaultPort_), database](Server& server) {
        if (!target) {
          server.session.Replace(0);
          return ChooseDatabaseResult{};
        }
        return ChooseDatabase(server.session, target->first, database, target->second);
      },
      [this, database](ChooseDatabaseResult& result) {
        view_.SetText(Id::StatusLabel, result.connected
                                           ? std::string(kStatusConnectedTo) + database
                                           : std::string(kStatusFailed));
        tables_ = std::move(result.tables);
        table_ = -1;
        view_.SetItems(Id::TableList, tables_);
        view_.SetItems(Id::ColumnList, {});
        view_.SetText(Id::KeyWarning, {});
      });
}

void WindowCore::TableSelected(int row, const TextChoices& choices) {
  if (busy_) return IgnoredSelection(Id::TableList);
  if (row < 0) return;
  table_ = row;
  view_.SetItems(Id::ColumnList, {});
  Start<TableResult>(
      [table = Name(tables_, row), choices, keep = keepColumns_](Server& server) {
        TableResult result;
        result.lines = ChooseTable(server.session, table, server.fields, server.facts);
        if (keep) result.fields = server.fields;
        // The set class finds records by its key column, the C# list class by id: say so when
        // that will not work for this table.
        result.warning = Warnings(table, server.fields, server.facts,
                                  ChooseKey(server.fields, server.facts, choices));
        return result;
      },
      [this](TableResult& result) {
        fields_ = std::move(result.fields);
        view_.SetItems(Id::ColumnList, result.lines);
        view_.SetText(Id::KeyWarning, result.warning);
      });
}

void WindowCore::GenerateClicked(const TextChoices& choices) {
  if (busy_ || table_ < 0) return;
  Start<GenerateResult>(
      [table = Name(tables_, table_), choices](Server& server) {
        GenerateResult result;
        TextOptions options;
        // The one extra statement, only when the comments are asked for.
        const bool commentsRead =
            !choices.comments ||
            ReadColumnComments(server.session.handle(), table, server.fields, server.facts);
        const KeyChosen key = ChooseKey(server.fields, server.facts, choices);
        options.keyPosition = key.position;
        options.keyInCSharpList = key.inCSharpList;
        std::string warning = Warnings(table, server.fields, server.facts, key);
        if (choices.comments && commentsRead) options.comments = CommentsOf(server.facts);
        if (!commentsRead) warning += std::string(warning.empty() ? "" : "\n") + std::string(kCommentsUnread);
        result.warning = std::move(warning);
        for (std::size_t i = 0; i < result.texts.size(); ++i)
          result.texts[i] = BuildPaneText(kAllPanes[i], table, server.fields, options);
        return result;
      },
      [this](GenerateResult& result) {
        for (std::size_t i = 0; i < panes_.size(); ++i)
          panes_[i] = PaneText{std::move(result.texts[i]), false, true};
        view_.SetText(Id::KeyWarning, result.warning);
        ShowPage(kGeneratedPage);
      });
}

void WindowCore::ShowPage(int page) {
  page_ = page;
  FillShownPanes();
  view_.ShowPage(page);
}

void WindowCore::PageShown(int page) {
  page_ = page;
  FillShownPanes();
}

// A pane's control gets its generated text when its page is first shown: the texts of the
// pages nobody looks at yet cost nothing.
void WindowCore::FillShownPanes() {
  for (std::size_t i = 0; i < panes_.size(); ++i) {
    PaneText& pane = panes_[i];
    if (pane.delivered || ControlOf(kPanesInOrder[i]).page != page_) continue;
    pane.delivered = true;
    delivering_ = true;
    view_.SetText(kPanesInOrder[i], pane.text);
    delivering_ = false;
  }
}

void WindowCore::PaneChanged(Id pane) {
  const std::size_t i = PaneIndex(pane);
  if (delivering_ || i == panes_.size()) return;
  // Changed before its text arrived (it can only be by a program): what it holds now counts.
  panes_[i].delivered = true;
  panes_[i].untouched = false;
}

const std::string* WindowCore::UntouchedPaneText(Id pane) const {
  const std::size_t i = PaneIndex(pane);
  return i < panes_.size() && panes_[i].untouched ? &panes_[i].text : nullptr;
}

bool WindowCore::PaneHoldsGeneratedText(Id pane) const {
  const std::size_t i = PaneIndex(pane);
  return i < panes_.size() && panes_[i].untouched && panes_[i].delivered;
}

void WindowCore::EndIfBusy(int status) const {
  if (!busy_) return;
  // The worker may sit in a connect for seconds more: end without waiting for it and without
  // running destructors of what it still uses.
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace kelvane::ui
