#pragma once
// The window's behaviour without a toolkit: both windows (Qt and Win32) forward their events
// here and draw what the core tells them through WindowView. The core runs the four steps
// (connect, choose a database, choose a table, generate) and the copy buttons' text, keeps the
// lists' names, the chosen table's columns and the generated texts, and sends every server
// request to one worker thread, so that the window keeps answering while a server is slow.
// One command at a time: events that would start a second one while the first waits are
// ignored. Everything here is called on the UI thread, except WindowView::Post.
#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "schema/field_table.h"
#include "ui/window_definition.h"

namespace kelvane::ui {

// What a window draws on the core's word. Each call but Post comes on the UI thread.
class WindowView {
 public:
  virtual ~WindowView() = default;
  // A label's caption or a pane's whole content.
  virtual void SetText(Id control, const std::string& text) = 0;
  // A list's rows (the names as the server sent them), none selected.
  virtual void SetItems(Id list, const std::vector<std::string>& items) = 0;
  // Puts a list's selection back (-1: none) after the user moved it while a command ran.
  virtual void SelectRow(Id list, int row) = 0;
  virtual void ShowPage(int page) = 0;
  // A command waits on the server: the busy cursor, or the normal one again.
  virtual void SetBusy(bool busy) = 0;
  // Runs `task` on the UI thread after the events already queued (a queued call, a posted
  // message). Called from the worker thread; safe from any thread.
  virtual void Post(std::function<void()> task) = 0;
};

// The connect page's boxes as they read at the moment of the event.
struct ServerInput {
  std::string address;   // the IP box
  std::string user;      // trimmed by the commands
  std::string password;  // trimmed by the commands
};

// Page 1's check boxes at the moment of the event.
struct TextChoices {
  bool comments = false;    // 选择框_注释: the column comments in the texts
  bool primaryKey = false;  // 选择框_主键: the one-column primary key as the record key of the
                            // set class and the C# list class (kelvane-gen's --key auto)
};

class WindowCore {
 public:
  // `defaultPort`: the port used when the IP box names none (3306 for the user).
  explicit WindowCore(WindowView& view, unsigned defaultPort = 3306);
  // Waits for a command still running, then closes the connection. A window that is closing
  // calls EndIfBusy first, so that nothing waits.
  ~WindowCore();
  WindowCore(const WindowCore&) = delete;
  WindowCore& operator=(const WindowCore&) = delete;

  // Events.
  void ConnectClicked(const ServerInput& input);           // 按钮1
  void DatabaseSelected(int row, const ServerInput& input);  // 选择列表框1's selection
  void TableSelected(int row, const TextChoices& choices);  // 列表框2's selection
  void GenerateClicked(const TextChoices& choices);        // 按钮2
  void PageShown(int page);                                // by a click on a tab, or ShowPage
  void PaneChanged(Id pane);                               // anything but the core changed it

  // The text a copy button hands over without reading its pane: what 按钮2 generated, while
  // nothing has changed the pane since. Null: the pane's own content is what gets copied.
  const std::string* UntouchedPaneText(Id pane) const;
  // True when the pane's control holds the text UntouchedPaneText gives (its page was shown
  // since it was generated): a window may hand over what it last set there.
  bool PaneHoldsGeneratedText(Id pane) const;

  // At the end of the message loop: when a command still waits on the server, the program
  // ends here and now with `status` (the worker is never waited for).
  void EndIfBusy(int status) const;

  bool busy() const { return busy_; }
  int page() const { return page_; }
  // Tests and benchmarks: from now on each table choice also copies its columns to this side,
  // for fields() (the columns of the last table choice that ran to its end).
  void KeepColumns() { keepColumns_ = true; }
  const FieldTable& fields() const { return fields_; }

 private:
  struct Server;   // what only the worker touches
  struct Mailbox;  // the way back to the UI thread, closed when the core goes
  struct TableResult;
  struct GenerateResult;

  // Runs `work` on the worker with the window busy; `done` gets its result on the UI thread.
  template <typename Result>
  void Start(std::function<Result(Server&)> work, std::function<void(Result&)> done);
  void Finish();
  void ShowPage(int page);
  void FillShownPanes();
  void IgnoredSelection(Id list);
  std::string Name(const std::vector<std::string>& names, int row) const;

  WindowView& view_;
  unsigned defaultPort_;
  std::shared_ptr<Mailbox> mailbox_;
  std::shared_ptr<Server> server_;
  bool busy_ = false;
  bool delivering_ = false;  // the core itself is setting a pane's text
  int page_ = 0;
  std::vector<std::string> databases_, tables_;
  int database_ = -1, table_ = -1;  // selected rows
  bool keepColumns_ = false;
  FieldTable fields_;
  // The five panes in generate order: the generated text, whether the pane's control has it
  // yet, and whether it still holds it unchanged.
  struct PaneText {
    std::string text;
    bool delivered = true;
    bool untouched = false;
  };
  std::array<PaneText, kPanesInOrder.size()> panes_;
  std::unique_ptr<class CommandWorker> worker_;  // last: ends first, while the rest still exists
};

}  // namespace kelvane::ui
