// SPDX-License-Identifier: GPL-3.0-or-later
// The sound devices the user chose in the window: remembered in zorvane.conf
// beside the settings file, offered in the "Audio Devices…" dialog, and put
// into force at the next open of each device.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/device_choice.h"

namespace zorvane {

// A text of "key = value" lines. Reading ignores damaged lines (no '=', a
// key that is not one word, control characters); writing gives back every
// other line as it was, with the values set since in place of the old ones
// and new keys at the end, so that keys this version does not know survive.
class KeyValueText {
 public:
  void Parse(std::string_view text);
  std::string Text() const;
  std::optional<std::string> Get(std::string_view key) const;
  void Set(const std::string& key, const std::string& value);

 private:
  struct Line {
    std::string Raw;  // the line as read (or as last written)
    std::string Key;  // empty for a comment, a blank or a damaged line
    std::string Value;
  };
  std::vector<Line> lines_;
};

// Reads `path` into `text` (empty unless the whole file was read): Missing
// when there is no such file, NotWhole when it cannot be read or read whole
// (not a regular file, unreadable, over 16 MiB), which a writer must then
// leave alone.
enum class KeyValueFile { Missing, Whole, NotWhole };
KeyValueFile LoadKeyValueFile(const std::string& path, KeyValueText& text);
// Writes `text` to `path` safely (a new file renamed over the old one),
// creating the folder when it is missing; false when it could not be written.
bool SaveKeyValueFile(const std::string& path, const KeyValueText& text);

// What the dialog shows: per direction, "Default device" followed by the
// devices of that direction, and the selected row. The view mirrors it and
// reports the rows the user selects.
class AudioDevicesDialogModel {
 public:
  static constexpr const char* kDefaultEntry = "Default device";

  // Lists `devices`, selecting the devices numbered `output` and `input`
  // (the default row for -1 or a number not listed).
  void Fill(const std::vector<AudioDeviceInfo>& devices, int output, int input);
  const std::vector<std::string>& Entries(DeviceDirection direction) const;
  int Row(DeviceDirection direction) const;
  void SelectRow(DeviceDirection direction, int row);  // a row out of range is ignored
  // The device of the selected row: its number and name, or -1 and "" for
  // the default.
  int ChosenIndex(DeviceDirection direction) const;
  std::string ChosenName(DeviceDirection direction) const;

 private:
  struct List {
    std::vector<std::string> Entries;
    std::vector<const AudioDeviceInfo*> Devices;  // nullptr for the default row
    int Row = 0;
  };
  const List& Of(DeviceDirection d) const { return d == DeviceDirection::Input ? input_ : output_; }
  List& Of(DeviceDirection d) { return d == DeviceDirection::Input ? input_ : output_; }
  std::vector<AudioDeviceInfo> devices_;
  List output_, input_;
};

// Keeps the chosen devices: resolves them at start-up from the command line
// or zorvane.conf, and takes the dialog's choice. `apply` receives the
// device numbers (-1: the default) whenever they change.
class AudioDeviceChooser {
 public:
  static constexpr const char* kOutputKey = "output-device";
  static constexpr const char* kInputKey = "input-device";

  AudioDeviceChooser(std::function<std::vector<AudioDeviceInfo>()> list, std::string confPath,
                     std::function<void(int output, int input)> apply);

  // The devices named on the command line (empty: none named) or else the
  // ones remembered in zorvane.conf. A named device that cannot be found is
  // an error (false, with the matcher's message); a remembered one that is
  // gone leaves the default in use and adds a line to `notices`.
  bool Start(const std::string& outputOption, const std::string& inputOption, std::string& error,
             std::vector<std::string>& notices);

  int Output() const { return output_; }
  int Input() const { return input_; }

  // Fills the dialog's lists from the devices there are now.
  AudioDevicesDialogModel& OpenDialog();
  // Puts the dialog's choice into force and remembers it in zorvane.conf;
  // false when the file could not be written (the choice is in force anyway).
  bool AcceptDialog();

 private:
  std::function<std::vector<AudioDeviceInfo>()> list_;
  std::string confPath_;
  std::function<void(int, int)> apply_;
  int output_ = -1, input_ = -1;
  AudioDevicesDialogModel dialog_;
};

}  // namespace zorvane
