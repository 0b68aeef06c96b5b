// SPDX-License-Identifier: GPL-3.0-or-later
// What both programs say about themselves with --version.
#pragma once

#include <string>

namespace zorvane {

// The package's version, e.g. "1.20.0".
const char* PackageVersion();

// "PROGRAM VERSION" on the first line, then the copyright and the licence.
std::string VersionText(const std::string& program);

}  // namespace zorvane
