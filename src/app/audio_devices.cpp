// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/audio_devices.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <utility>

#include "app/Zorvane.h"
#include "app/configuration.h"

namespace zorvane {

namespace {

// zorvane.conf holds a few lines; a longer file is neither read nor
// rewritten.
constexpr size_t kMaxConfBytes = 16 * 1024 * 1024;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool KeyCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.';
}

bool HasControlCharacters(std::string_view s) {
  return std::any_of(s.begin(), s.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u < 32 && c != '\t' && c != '\r') || u == 127;
  });
}

// A device of that direction whose name is exactly `name`; -1 when none.
int DeviceNamed(const std::string& name, const std::vector<AudioDeviceInfo>& devices,
                DeviceDirection direction) {
  for (const AudioDeviceInfo& d : devices)
    if (HasDirection(d, direction) && d.Name == name) return d.Index;
  return -1;
}

}  // namespace

void KeyValueText::Parse(std::string_view text) {
  lines_.clear();
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view raw = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    Line line;
    line.Raw = std::string(raw);
    const std::string_view content = Trim(raw);
    const size_t eq = content.find('=');
    if (!content.empty() && content.front() != '#' && eq != std::string_view::npos &&
        !HasControlCharacters(raw)) {
      const std::string_view key = Trim(content.substr(0, eq));
      if (!key.empty() && std::all_of(key.begin(), key.end(), KeyCharacter)) {
        line.Key = std::string(key);
        line.Value = std::string(Trim(content.substr(eq + 1)));
      }
    }
    lines_.push_back(std::move(line));
  }
}

std::string KeyValueText::Text() const {
  std::string text;
  for (const Line& line : lines_) text += line.Raw + "\n";
  return text;
}

std::optional<std::string> KeyValueText::Get(std::string_view key) const {
  if (key.empty()) return std::nullopt;
  // The last line of a key counts, as when the file is read top to bottom.
  for (auto it = lines_.rbegin(); it != lines_.rend(); ++it)
    if (it->Key == key) return it->Value;
  return std::nullopt;
}

void KeyValueText::Set(const std::string& key, const std::string& value) {
  // A value is one line: line breaks and other control characters become blanks.
  std::string clean = value;
  for (char& c : clean)
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = ' ';
  clean = std::string(Trim(clean));
  Line line{key + " = " + clean, key, clean};
  bool replaced = false;
  for (auto it = lines_.begin(); it != lines_.end();) {
    if (it->Key != key) {
      ++it;
    } else if (!replaced) {
      *it++ = line;
      replaced = true;
    } else {
      it = lines_.erase(it);
    }
  }
  if (!replaced) lines_.push_back(std::move(line));
}

KeyValueFile LoadKeyValueFile(const std::string& path, KeyValueText& text) {
  text = KeyValueText();
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return KeyValueFile::Missing;
  if (!S_ISREG(st.st_mode) || st.st_size > static_cast<off_t>(kMaxConfBytes))
    return KeyValueFile::NotWhole;
  std::ifstream in(path, std::ios::binary);
  if (!in) return KeyValueFile::NotWhole;
  // Read to its end, however long its lines: every line goes back as it was.
  std::string bytes(std::istreambuf_iterator<char>(in), {});
  if (in.bad() || bytes.size() > kMaxConfBytes) return KeyValueFile::NotWhole;
  text.Parse(bytes);
  return KeyValueFile::Whole;
}

bool SaveKeyValueFile(const std::string& path, const KeyValueText& text) {
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) ::mkdir(path.substr(0, slash).c_str(), 0755);
  const std::string bytes = text.Text();
  return ReplaceFileContents(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

void AudioDevicesDialogModel::Fill(const std::vector<AudioDeviceInfo>& devices, int output,
                                   int input) {
  devices_ = devices;
  for (DeviceDirection d : {DeviceDirection::Output, DeviceDirection::Input}) {
    List& list = Of(d);
    const int chosen = d == DeviceDirection::Output ? output : input;
    list = List();
    list.Entries.push_back(kDefaultEntry);
    list.Devices.push_back(nullptr);
    for (const AudioDeviceInfo& device : devices_) {
      if (!HasDirection(device, d)) continue;
      if (device.Index == chosen) list.Row = static_cast<int>(list.Entries.size());
      list.Entries.push_back(device.Name + " (" + device.HostApi + ")");
      list.Devices.push_back(&device);
    }
  }
}

const std::vector<std::string>& AudioDevicesDialogModel::Entries(DeviceDirection d) const {
  return Of(d).Entries;
}

int AudioDevicesDialogModel::Row(DeviceDirection d) const { return Of(d).Row; }

void AudioDevicesDialogModel::SelectRow(DeviceDirection d, int row) {
  List& list = Of(d);
  if (row >= 0 && row < static_cast<int>(list.Entries.size())) list.Row = row;
}

int AudioDevicesDialogModel::ChosenIndex(DeviceDirection d) const {
  const List& list = Of(d);
  return list.Devices.empty() || !list.Devices[list.Row] ? -1 : list.Devices[list.Row]->Index;
}

std::string AudioDevicesDialogModel::ChosenName(DeviceDirection d) const {
  const List& list = Of(d);
  return list.Devices.empty() || !list.Devices[list.Row] ? "" : list.Devices[list.Row]->Name;
}

AudioDeviceChooser::AudioDeviceChooser(std::function<std::vector<AudioDeviceInfo>()> list,
                                       std::string confPath, std::function<void(int, int)> apply)
    : list_(std::move(list)), confPath_(std::move(confPath)), apply_(std::move(apply)) {}

bool AudioDeviceChooser::Start(const std::string& outputOption, const std::string& inputOption,
                               std::string& error, std::vector<std::string>& notices) {
  KeyValueText conf;
  if (LoadKeyValueFile(confPath_, conf) == KeyValueFile::NotWhole)
    notices.push_back(confPath_ +
                      " cannot be read whole; a choice of devices will not be "
                      "remembered in it");
  const std::vector<AudioDeviceInfo> devices = list_();
  auto resolve = [&](const std::string& option, const char* key, DeviceDirection direction,
                     int& index) {
    index = -1;
    if (!option.empty()) return MatchAudioDevice(option, devices, direction, index, error);
    const std::string remembered = conf.Get(key).value_or("");
    if (remembered.empty()) return true;
    index = DeviceNamed(remembered, devices, direction);
    if (index < 0)
      notices.push_back(std::string("the ") +
                        (direction == DeviceDirection::Input ? "input" : "output") + " device \"" +
                        remembered + "\" remembered in " + confPath_ +
                        " is gone; using the default device");
    return true;
  };
  if (!resolve(outputOption, kOutputKey, DeviceDirection::Output, output_) ||
      !resolve(inputOption, kInputKey, DeviceDirection::Input, input_))
    return false;
  if (apply_) apply_(output_, input_);
  return true;
}

AudioDevicesDialogModel& AudioDeviceChooser::OpenDialog() {
  dialog_.Fill(list_(), output_, input_);
  return dialog_;
}

bool AudioDeviceChooser::AcceptDialog() {
  output_ = dialog_.ChosenIndex(DeviceDirection::Output);
  input_ = dialog_.ChosenIndex(DeviceDirection::Input);
  if (apply_) apply_(output_, input_);
  KeyValueText conf;
  // A file that cannot be read whole would lose what was not read.
  if (LoadKeyValueFile(confPath_, conf) == KeyValueFile::NotWhole) return false;
  conf.Set(kOutputKey, dialog_.ChosenName(DeviceDirection::Output));
  conf.Set(kInputKey, dialog_.ChosenName(DeviceDirection::Input));
  return SaveKeyValueFile(confPath_, conf);
}

void TZorvaneForm::AttachAudioDevices(AudioDeviceChooser* chooser) {
  deviceChooser_ = chooser;
  Find("AudioDevices1")->SetEnabled(chooser != nullptr);
}

void TZorvaneForm::AudioDevices1Click() {
  if (!deviceChooser_) return;
  if (!platform.ChooseAudioDevices(deviceChooser_->OpenDialog())) return;
  if (!deviceChooser_->AcceptDialog())
    platform.MessageBox("The choice of devices is in force but could not be remembered",
                        "Audio Devices");
}

}  // namespace zorvane
