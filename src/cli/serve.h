// SPDX-License-Identifier: GPL-3.0-or-later
// zorvane-cli serve: the instrument without a window, controlled over the
// network with SCPI.
#pragma once

#include <string>

namespace zorvane {

struct ServeOptions {
  std::string Audio;
  std::string OutputDevice, InputDevice;
  std::string Listen = "127.0.0.1:5025";
  std::string AllowFiles;     // the folder file commands are confined to; empty: none
  double IdleTimeoutS = 300;  // 0: never
};

// Serves until the instrument ends (QUIT, or a device failure); the exit
// status.
int RunServe(const ServeOptions& options);

}  // namespace zorvane
