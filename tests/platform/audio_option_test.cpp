// SPDX-License-Identifier: GPL-3.0-or-later
// The --audio option: the device and the simulated device under test, and
// every text that must be refused with a message naming it.
#include "platform/audio_option.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace zorvane;

TEST(AudioOption, DevicesAndFilterChains) {
  AudioOption o;
  std::string error;
  // The sound card, through whichever library answers or the one named.
  for (auto [text, library] : {std::pair{"system", SoundLibrary::Automatic},
                               {"pulse", SoundLibrary::Pulse},
                               {"portaudio", SoundLibrary::PortAudio}}) {
    ASSERT_TRUE(ParseAudioOption(text, o, error));
    EXPECT_EQ(o.Choice, AudioOption::Device::System);
    EXPECT_EQ(o.Library, library) << text;
  }
  ASSERT_TRUE(ParseAudioOption("loopback", o, error));
  EXPECT_EQ(o.Choice, AudioOption::Device::Loopback);
  EXPECT_TRUE(o.Cable.Filters.empty());
  EXPECT_EQ(o.Cable.Gain, 1.0);

  ASSERT_TRUE(ParseAudioOption(
      "loopback:lowpass=5000,highpass=20/0.5,peak=2000/2/-6.5,gain=-6,noise=-40,gain=+6,"
      "delay=12.3,poly=0.02/-0.05",
      o, error))
      << error;
  ASSERT_EQ(o.Cable.Filters.size(), 5u);
  EXPECT_TRUE(o.Cable.Filters[3].Kind == LoopbackFilter::Type::Delay &&
              o.Cable.Filters[3].Ms == 12.3);
  const LoopbackFilter& poly = o.Cable.Filters[4];
  EXPECT_TRUE(poly.Kind == LoopbackFilter::Type::Poly && poly.A2 == 0.02 && poly.A3 == -0.05);
  const LoopbackFilter& low = o.Cable.Filters[0];
  EXPECT_EQ(low.Kind, LoopbackFilter::Type::LowPass);
  EXPECT_EQ(low.Hz, 5000.0);
  EXPECT_NEAR(low.Q, std::sqrt(0.5), 1e-12);  // Butterworth unless given
  EXPECT_EQ(o.Cable.Filters[1].Kind, LoopbackFilter::Type::HighPass);
  EXPECT_EQ(o.Cable.Filters[1].Q, 0.5);
  const LoopbackFilter& peak = o.Cable.Filters[2];
  EXPECT_TRUE(peak.Kind == LoopbackFilter::Type::Peak && peak.Hz == 2000 && peak.Q == 2 &&
              peak.Db == -6.5);
  EXPECT_NEAR(o.Cable.Gain, 1.0, 1e-12);                              // -6 dB then +6 dB
  EXPECT_NEAR(o.Cable.NoiseRms, 32767 / std::sqrt(2.0) / 100, 1e-9);  // -40 dB of a full-scale sine
  EXPECT_EQ(o.Cable.RightGain, 0.5);
  ASSERT_TRUE(ParseAudioOption("loopback:gain=-60,gain=-60,gain=60,gain=-60", o, error)) << error;
  EXPECT_NEAR(o.Cable.Gain, 1e-6, 1e-18);
}

TEST(AudioOption, RefusesWhatItCannotUseAndNamesIt) {
  std::string many = "loopback:gain=0";
  for (int i = 0; i < 64; ++i) many += ",gain=0";
  struct Case {
    std::string text, named;
  };
  const Case cases[] = {
      {"", "''"},
      {"Loopback", "'Loopback'"},
      {"system:gain=1", "'system:gain=1'"},
      {"loopback:", "''"},
      {"loopback:gain=1,", "''"},
      {"loopback:lowpass", "'lowpass'"},
      {"loopback:lowpass=", "'lowpass='"},
      {"loopback:lowpass=abc", "'abc'"},
      {"loopback:lowpass=0", "'lowpass=0'"},
      {"loopback:lowpass=22050", "'lowpass=22050'"},
      {"loopback:highpass=1000/0", "'highpass=1000/0'"},
      {"loopback:highpass=1000/1/2", "'highpass=1000/1/2'"},
      {"loopback:peak=2000/2", "'peak=2000/2'"},
      {"loopback:peak=2000/2/90", "'peak=2000/2/90'"},
      {"loopback:gain=inf", "'inf'"},
      {"loopback:gain=nan", "'nan'"},
      {"loopback:gain=0x10", "'0x10'"},
      {"loopback:gain=1e999", "'1e999'"},
      {"loopback:gain=-6 ", "'-6 '"},
      {"loopback:noise=3", "'noise=3'"},
      {"loopback:delay=-1", "'delay=-1'"},
      {"loopback:delay=1000.5", "'delay=1000.5'"},
      {"loopback:poly=0.1", "'poly=0.1'"},
      {"loopback:poly=0/11", "'poly=0/11'"},
      {"loopback:echo=0.5", "'echo=0.5'"},
      {many, "at most 64"},
      // The gains of a chain add up within the bounds of one.
      {"loopback:gain=60,gain=60", "add up to 120 dB"},
      {"loopback:gain=-120,noise=-30,gain=-0.5", "add up to -121 dB"},
  };
  for (const Case& c : cases) {
    AudioOption o;
    std::string error;
    EXPECT_FALSE(ParseAudioOption(c.text, o, error)) << c.text;
    EXPECT_NE(error.find(c.named), std::string::npos) << c.text << " -> " << error;
  }
}
