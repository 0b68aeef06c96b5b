// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi/scpi_errors.h"

namespace zorvane::scpi {

const char* ErrorText(int code) {
  switch (code) {
    case 0:
      return "No error";
    case err::CommandError:
      return "Command error";
    case err::InvalidCharacter:
      return "Invalid character";
    case err::SyntaxError:
      return "Syntax error";
    case err::InvalidSeparator:
      return "Invalid separator";
    case err::DataTypeError:
      return "Data type error";
    case err::ParameterNotAllowed:
      return "Parameter not allowed";
    case err::MissingParameter:
      return "Missing parameter";
    case err::MnemonicTooLong:
      return "Program mnemonic too long";
    case err::UndefinedHeader:
      return "Undefined header";
    case err::NumericDataError:
      return "Numeric data error";
    case err::InvalidSuffix:
      return "Invalid suffix";
    case err::InvalidCharacterData:
      return "Invalid character data";
    case err::InvalidStringData:
      return "Invalid string data";
    case err::ExecutionError:
      return "Execution error";
    case err::InitIgnored:
      return "Init ignored";
    case err::SettingsConflict:
      return "Settings conflict";
    case err::DataOutOfRange:
      return "Data out of range";
    case err::IllegalParameterValue:
      return "Illegal parameter value";
    case err::DataStale:
      return "Data corrupt or stale";
    case err::HardwareError:
      return "Hardware error";
    case err::FileNameError:
      return "File name error";
    case err::MediaProtected:
      return "Media protected";
    case err::QueueOverflow:
      return "Queue overflow";
    case err::InputBufferOverrun:
      return "Input buffer overrun";
    case err::QueryInterrupted:
      return "Query INTERRUPTED";
    default:
      return code <= -100 && code > -200 ? "Command error" : "Execution error";
  }
}

void ErrorQueue::Push(int code, const std::string& detail) {
  if (code <= -100 && code > -200)
    Esr |= esr::CommandError;
  else if (code <= -200 && code > -300)
    Esr |= esr::ExecutionError;
  else if (code <= -400 && code > -500)
    Esr |= esr::QueryError;
  else
    Esr |= esr::DeviceError;
  if (entries_.size() >= kCapacity) {
    entries_.back() =
        std::to_string(err::QueueOverflow) + ",\"" + ErrorText(err::QueueOverflow) + "\"";
    return;
  }
  std::string text = std::string(ErrorText(code)) + (detail.empty() ? "" : ";" + detail);
  // The text is a string response: quotes double, line breaks cannot stand.
  std::string quoted;
  for (char c : text) {
    if (c == '"')
      quoted += "\"\"";
    else
      quoted += (c == '\n' || c == '\r') ? ' ' : c;
  }
  entries_.push_back(std::to_string(code) + ",\"" + quoted + "\"");
}

std::string ErrorQueue::Pop() {
  if (entries_.empty()) return "0,\"No error\"";
  std::string e = std::move(entries_.front());
  entries_.pop_front();
  return e;
}

}  // namespace zorvane::scpi
