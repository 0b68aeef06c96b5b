// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/soundcard/sound_card.h"

#include <functional>
#include <utility>

#include "platform/portaudio/portaudio_devices.h"
#include "platform/portaudio/portaudio_duplex.h"
#include "platform/pulse/pulse_devices.h"

namespace zorvane {

namespace {

// Full duplex made on its first open: a window that never measures never
// starts the library behind it.
class DeferredDuplex : public FullDuplex {
 public:
  DeferredDuplex(std::string name, std::function<std::unique_ptr<FullDuplex>()> make)
      : name_(std::move(name)), make_(std::move(make)) {}

  std::string Name() const override { return name_; }
  bool Open(uint32_t rate, std::string& error) override {
    if (!real_) real_ = make_();
    return real_->Open(rate, error);
  }
  size_t LatencyFrames() const override { return real_ ? real_->LatencyFrames() : 0; }
  bool Start(const float* play, size_t playFrames, float* record, size_t recordFrames,
             std::string& error) override {
    if (!real_) {
      error = "the sound devices are not open";
      return false;
    }
    return real_->Start(play, playFrames, record, recordFrames, error);
  }
  size_t Recorded() const override { return real_ ? real_->Recorded() : 0; }
  std::string Failure() const override { return real_ ? real_->Failure() : ""; }
  void Close() override {
    if (real_) real_->Close();
  }

 private:
  std::string name_;
  std::function<std::unique_ptr<FullDuplex>()> make_;
  std::unique_ptr<FullDuplex> real_;
};

}  // namespace

SoundCard::SoundCard(SoundLibrary wanted) : library_(wanted) {
  if (library_ == SoundLibrary::Automatic)
    library_ = PulseServerAnswers() ? SoundLibrary::Pulse : SoundLibrary::PortAudio;
}

bool SoundCard::HasDefaultDevices(std::string* description) const {
  if (library_ == SoundLibrary::PortAudio) return PortAudioHasDefaultDevices(description);
  if (!PulseServerAnswers(description)) return false;
  bool out = false, in = false;
  for (const AudioDeviceInfo& d : PulseDeviceList()) {
    out |= d.DefaultOutput;
    in |= d.DefaultInput;
  }
  if (!(out && in) && description) *description += ": no default sink or source";
  return out && in;
}

std::vector<AudioDeviceInfo> SoundCard::Devices() const {
  return library_ == SoundLibrary::Pulse ? PulseDeviceList() : PortAudioDeviceList();
}

bool SoundCard::Choose(const std::string& output, const std::string& input, DeviceChoice& choice,
                       std::string& error) const {
  if (output.empty() && input.empty()) return true;
  const std::vector<AudioDeviceInfo> devices = Devices();
  if (!output.empty() &&
      !MatchAudioDevice(output, devices, DeviceDirection::Output, choice.Output, error))
    return false;
  return input.empty() ||
         MatchAudioDevice(input, devices, DeviceDirection::Input, choice.Input, error);
}

AudioDevices SoundCard::Open(std::shared_ptr<const DeviceChoice> choice) const {
  return library_ == SoundLibrary::Pulse ? OpenPulseDevices(std::move(choice))
                                         : OpenPortAudioDevices(std::move(choice));
}

std::unique_ptr<FullDuplex> SoundCard::Duplex(std::shared_ptr<const DeviceChoice> choice) const {
  // The log sweep runs on PortAudio whatever the wave devices use; its
  // device numbers are PortAudio's own, so on PulseAudio it takes the
  // defaults (the server's, through ALSA's pulse plug-in).
  if (library_ == SoundLibrary::Pulse) choice = nullptr;
  return std::make_unique<DeferredDuplex>("portaudio",
                                          [choice] { return MakePortAudioDuplex(choice); });
}

}  // namespace zorvane
