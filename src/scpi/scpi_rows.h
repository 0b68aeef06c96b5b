// SPDX-License-Identifier: GPL-3.0-or-later
// What the command tables are made of: parameter readers that queue the
// standard error when a parameter does not fit, and makers that turn the
// common kinds of command into one row each. A new command is a row in
// AddInstrumentCommands (scpi_commands.cpp), for example
//   DataQuery(in, "FETCh:THING?", 2, [](Call& c, std::vector<double>& v) { ...; return true; });
//   MenuChoice(in, "[SENSe:]THING", &AppState::Thing, {{nullptr, 1, "ItemName"}, ...});
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "scpi/scpi_instrument.h"

namespace zorvane::scpi {

// Between min and max parameters (-109 / -108 otherwise).
bool Count(Call& c, size_t min, size_t max);
// Parameter i as a number, in `unit` if it has one (-104, -131).
bool NumberAt(Call& c, size_t i, double& v, const char* unit = "");
// Parameter i as written (a word in upper case, a string's content).
std::string TextAt(Call& c, size_t i);
// Parameter i as a control's name, spelt as the form spells it (-224).
bool NameAt(Call& c, size_t i, std::string& name);
// Parameter i inside the folder of --allow-files (-258, -257).
bool FileAt(Call& c, size_t i, std::string& path);

// A choice: a word (long form with the short form in capitals) and/or a
// number, and the menu item that selects it.
struct Choice {
  const char* Word;
  double Value;
  const char* Item;
};
// The choice parameter i names (-224 when none; choices must outlive it).
const Choice* ChoiceAt(Call& c, size_t i, const std::vector<Choice>& choices);
extern const std::vector<Choice> kOnOff;

// A setting chosen by a menu item; the state field holds the choice's value.
// The query answers the number, or the word's short form.
void MenuChoice(Instrument& in, const char* header, int32_t AppState::*field,
                std::vector<Choice> choices, bool numericReply = true);
// A setting a button cycles through, clicked until the field holds the choice
// (`flags` those of the setting's row).
void ButtonCycle(Instrument& in, const char* header, const char* button, int32_t AppState::*field,
                 std::vector<Choice> choices, bool numericReply, int flags = Command::kNone);
// A query of numbers (FORMat decides text or block); false from `series`
// when there are none (after queuing why).
using Series = std::function<bool(Call&, std::vector<double>&)>;
void DataQuery(Instrument& in, const char* header, int decimals, Series series);

// An image in the reply, PNG unless parameter 0 says BMP.
void ImageReply(Call& c, const Bitmap& image);
// What a remote-control command printed as "NAME = VALUE": the value.
std::string Printed(const std::string& line);

}  // namespace zorvane::scpi
