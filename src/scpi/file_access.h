// SPDX-License-Identifier: GPL-3.0-or-later
// The one folder network clients may have files written into (and read
// from): without it every file command is refused; with it a name is taken
// relative to it, and refused when it has a ".." part, leaves the folder
// through a symbolic link, or is a symbolic link itself.
#pragma once

#include <string>

namespace zorvane::scpi {

class FileAccess {
 public:
  // False (and why) when folder is not a directory that can be used.
  bool Allow(const std::string& folder, std::string& error);
  bool Enabled() const { return !root_.empty(); }
  const std::string& Folder() const { return root_; }

  // The path to use for `name`; false with an error number and why.
  bool Resolve(const std::string& name, std::string& path, int& code, std::string& why) const;

 private:
  std::string root_;  // without symbolic links
};

}  // namespace zorvane::scpi
