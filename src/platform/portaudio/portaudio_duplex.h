// SPDX-License-Identifier: GPL-3.0-or-later
// Full duplex on the sound card: one PortAudio stream with an input and an
// output, so that the two run off one clock from one start.
#pragma once

#include <memory>

#include "platform/duplex.h"
#include "platform/portaudio/portaudio_devices.h"

namespace zorvane {

// The devices `choice` names (the defaults without one). Call only after
// PortAudioHasDefaultDevices returned true or a choice was made.
std::unique_ptr<FullDuplex> MakePortAudioDuplex(
    std::shared_ptr<const PortAudioDeviceChoice> choice = nullptr);

}  // namespace zorvane
