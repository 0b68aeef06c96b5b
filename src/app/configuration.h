// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file's layout and the file operations behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zorvane {

constexpr int kConfigurationFields = 49;
constexpr size_t kConfigurationBytes = 4 * kConfigurationFields;

// True when path names a regular file (not a folder, a device or a link).
bool IsRegularSettingsFile(const std::string& path);

// Replaces the file at path by one holding `bytes`: written to a new file in
// the same folder, flushed to the disk and renamed over the old one, which
// therefore stays whole until the new one is. Keeps the old file's
// permissions, owner and group. False, with the old file untouched and
// nothing left behind, when any step fails, when path names something other
// than a regular file, or one this process may not both read and write.
bool ReplaceFileContents(const std::string& path, const uint8_t* bytes, size_t size);

// Removes what a save that never finished (the process killed while it
// wrote) left beside path.
void RemoveUnfinishedSaves(const std::string& path);

}  // namespace zorvane
