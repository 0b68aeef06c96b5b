// SPDX-License-Identifier: GPL-3.0-or-later
// The instrument as a SCPI device. Lines from the controlling client become
// message units in a queue; Run, called from the message pump, takes them in
// order and runs their commands, which act on the form through the remote
// control's commands, as a script's lines do. A command whose handler pumps
// messages (START runs the analyzer inside its click) lets the following
// units run inside it, as a click in the window would; a unit that must wait
// for the instrument (*OPC? while a sweep runs, FETCh? until a block is
// analysed) stays at the head of the queue until it can answer.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/Zorvane.h"
#include "app/remote_control.h"
#include "scpi/file_access.h"
#include "scpi/scpi_errors.h"
#include "scpi/scpi_parser.h"

namespace zorvane::scpi {

class Instrument;

// What a command's handler works with.
struct Call {
  Instrument& In;
  const Unit& U;
  std::string Reply;  // a query's response data
};

enum class Done { Yes, Later };

struct Command {
  // Later units run inside a command whose handler pumps messages, as
  // clicks would, except inside a kAlone one. Commands that may start a
  // loop (kMayNest) wait while kMaxDepth of them are running inside each
  // other; the others (ABORt among them) still run. Commands that start
  // the sound devices (kDevices) are refused while a log sweep measurement
  // has them.
  enum Flags {
    kNone = 0,
    kMayNest = 1,
    kAlone = 2,
    kDevices = 4,
  };
  std::string Header;
  Pattern Match;
  int Flags;
  std::function<Done(Call&)> Run;
};

class Instrument {
 public:
  Instrument(TZorvaneForm& form, Platform& platform, FileAccess files = {});
  ~Instrument();
  Instrument(const Instrument&) = delete;
  Instrument& operator=(const Instrument&) = delete;

  // Receives each response message, its "\n" included.
  std::function<void(const std::string&)> Respond;

  // A client takes control (clean queue, errors and status) or leaves (its
  // queue and the responses still owed to it are dropped).
  void StartSession();
  void EndSession();
  // One line from the client, without its line end.
  void Receive(std::string_view line);
  // Runs what is due; re-entrant.
  void Run();
  // While set (the client does not read its responses) no unit starts.
  bool Hold = false;
  // Units waiting to run.
  size_t Queued() const { return queue_.size(); }
  // When Run should be called again if nothing else happens.
  int64_t NextRunUs();

  // The command table; a command is one row.
  void Add(const char* header, int flags, std::function<Done(Call&)> run);
  const std::vector<Command>& Commands() const { return commands_; }

  // For the handlers.
  TZorvaneForm& Form;
  Platform& Plat;
  const FileAccess Files;
  ErrorQueue Errors;
  // Runs one remote-control command; a failure is queued as an execution
  // error and returns false. Printed lines go to `out` when given.
  bool Remote(const std::string& line, std::string* out = nullptr);
  // Settings changed: data fetched from now on comes from a block begun
  // once the change has had time to reach the input.
  void MarkChange();
  // A block analysed since the last change.
  bool FreshData() { return FreshBlocks() > 0; }
  // Blocks analysed since the last change had settled.
  uint64_t FreshBlocks();
  // A sweep that ends by itself, a single run or a log sweep measurement,
  // still going.
  bool OperationPending() const;
  // The log sweep measurement the commands drive (the "measure" commands
  // too); none: they are refused. It must outlive the instrument.
  void AttachMeasurement(LogSweepModel* model);
  LogSweepModel* Measurement() const { return measurement_; }
  void WaitFor(int64_t ms) { waitUntilUs_ = Plat.NowUs() + ms * 1000; }
  // Data format of FETCh? responses: ASCII or 32-bit floats, big-endian
  // unless swapped.
  bool Real32 = false;
  bool Swapped = false;

 private:
  struct Pending {
    Unit U;
    const Command* Cmd;
    bool LastInLine;
    uint64_t Session;
  };
  void FinishResponse();
  void UpdateFreshBase();

  RemoteControl remote_;
  std::vector<Command> commands_;
  std::deque<Pending> queue_;
  std::string response_;
  bool responseOpen_ = false;
  bool sessionActive_ = false;
  uint64_t session_ = 0;
  int depth_ = 0;
  int alone_ = 0;
  int64_t waitUntilUs_ = 0;
  int64_t changeUs_ = 0;
  std::optional<uint64_t> freshBase_;
  LogSweepModel* measurement_ = nullptr;
};

// The table: the common commands, the instrument's own, those for images,
// files and the remote control's commands, and the readouts' and the log
// sweep's.
void AddCommonCommands(Instrument& in);
void AddInstrumentCommands(Instrument& in);
void AddControlCommands(Instrument& in);
void AddMeasureCommands(Instrument& in);

// Response data helpers.
std::string Number(double v);
std::string QuotedString(const std::string& s);
// An IEEE 488.2 definite-length block: "#" digits length bytes.
std::string Block(const void* data, size_t size);
// Values as comma-separated text or as a block of 32-bit floats.
std::string Values(const Instrument& in, const std::vector<double>& v, int decimals);

}  // namespace zorvane::scpi
