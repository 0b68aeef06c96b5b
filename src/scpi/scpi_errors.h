// SPDX-License-Identifier: GPL-3.0-or-later
// The instrument's error queue and IEEE 488.2 status bytes: errors by their
// standard numbers (-1xx command, -2xx execution, -3xx device-specific, -4xx
// query errors), oldest first, at most kCapacity of them; the event status
// register records each class.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

namespace zorvane::scpi {

namespace err {
constexpr int CommandError = -100;
constexpr int InvalidCharacter = -101;
constexpr int SyntaxError = -102;
constexpr int InvalidSeparator = -103;
constexpr int DataTypeError = -104;
constexpr int ParameterNotAllowed = -108;
constexpr int MissingParameter = -109;
constexpr int MnemonicTooLong = -112;
constexpr int UndefinedHeader = -113;
constexpr int NumericDataError = -120;
constexpr int InvalidSuffix = -131;
constexpr int InvalidCharacterData = -141;
constexpr int InvalidStringData = -151;
constexpr int ExecutionError = -200;
constexpr int InitIgnored = -213;
constexpr int SettingsConflict = -221;
constexpr int DataOutOfRange = -222;
constexpr int IllegalParameterValue = -224;
constexpr int DataStale = -230;
constexpr int HardwareError = -240;
constexpr int FileNameError = -257;
constexpr int MediaProtected = -258;
constexpr int QueueOverflow = -350;
constexpr int InputBufferOverrun = -363;
constexpr int QueryInterrupted = -410;
}  // namespace err

// The standard text of an error number ("Undefined header").
const char* ErrorText(int code);

// Bits of the event status register.
namespace esr {
constexpr int OperationComplete = 1;
constexpr int QueryError = 4;
constexpr int DeviceError = 8;
constexpr int ExecutionError = 16;
constexpr int CommandError = 32;
}  // namespace esr

class ErrorQueue {
 public:
  static constexpr size_t kCapacity = 32;

  // Queues code with its standard text and, when given, a detail after ";".
  // A full queue keeps its oldest entries and ends in "Queue overflow".
  void Push(int code, const std::string& detail = "");
  // The oldest entry as SYSTem:ERRor? answers it: 0,"No error" when empty.
  std::string Pop();
  size_t Count() const { return entries_.size(); }
  void Clear() { entries_.clear(); }

  // Event status register (read and cleared by *ESR?), its enable mask and
  // the service request enable mask.
  int Esr = 0;
  int Ese = 0;
  int Sre = 0;

 private:
  std::deque<std::string> entries_;
};

}  // namespace zorvane::scpi
