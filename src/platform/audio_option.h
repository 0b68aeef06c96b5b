// SPDX-License-Identifier: GPL-3.0-or-later
// The --audio option both executables take: which sound device to use and,
// for the built-in cable, the device under test it simulates.
//
//   system                      the sound card: through the PulseAudio server when
//                               one answers (PipeWire's included), else PortAudio
//   pulse, portaudio            the sound card through that library only
//   loopback                    the built-in cable, straight through
//   loopback:FILTER[,FILTER...] the cable with a simulated device under test:
//     gain=DB                   a gain in decibels
//     lowpass=HZ[/Q]            second-order low-pass (Q 0.7071, Butterworth, when absent)
//     highpass=HZ[/Q]           second-order high-pass
//     peak=HZ/Q/DB              peaking equalizer section
//     delay=MS                  a pure delay (whole samples at 44,100 Hz)
//     poly=A2/A3                y = x + A2 x^2 + A3 x^3 (x in full scale)
//     noise=DBFS                white noise at the input, RMS relative to a full-scale sine
#pragma once

#include <string>
#include <string_view>

#include "platform/loopback/loopback.h"

namespace zorvane {

// The library that reaches the sound card.
enum class SoundLibrary { Automatic, Pulse, PortAudio };

struct AudioOption {
  enum class Device { Automatic, System, Loopback };
  Device Choice = Device::Automatic;  // Automatic: the sound card when there is one
  SoundLibrary Library = SoundLibrary::Automatic;
  LoopbackOptions Cable;
};

// Reads the value of --audio. A pure function: on failure returns false with
// a message naming the text it could not use in error.
bool ParseAudioOption(std::string_view text, AudioOption& option, std::string& error);

}  // namespace zorvane
