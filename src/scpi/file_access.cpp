// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi/file_access.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <memory>

#include "scpi/scpi_errors.h"

namespace zorvane::scpi {

namespace {

// The path with every symbolic link resolved; empty when it does not exist.
std::string RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : std::string();
}

}  // namespace

bool FileAccess::Allow(const std::string& folder, std::string& error) {
  const std::string real = RealPath(folder);
  struct stat st {};
  if (real.empty() || stat(real.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    error = "--allow-files: " + folder + " is not a folder";
    return false;
  }
  root_ = real;
  return true;
}

bool FileAccess::Resolve(const std::string& name, std::string& path, int& code,
                         std::string& why) const {
  code = err::FileNameError;
  if (root_.empty()) {
    code = err::MediaProtected;
    why = "file commands over the network need --allow-files DIR";
    return false;
  }
  if (name.empty() || name.find('\0') != std::string::npos) {
    why = "no file name";
    return false;
  }
  for (size_t start = 0; start <= name.size();) {
    size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0) {
      why = "a name with \"..\" in it";
      return false;
    }
    start = end + 1;
  }
  const std::string full = name[0] == '/' ? name : root_ + "/" + name;
  const size_t slash = full.rfind('/');
  const std::string leaf = full.substr(slash + 1);
  if (leaf.empty() || leaf == ".") {
    why = "not a file name: " + name;
    return false;
  }
  const std::string parent = RealPath(slash == 0 ? "/" : full.substr(0, slash));
  if (parent.empty()) {
    why = "no such folder: " + name;
    return false;
  }
  if (root_ != "/" && parent != root_ && parent.compare(0, root_.size() + 1, root_ + "/") != 0) {
    why = "outside the folder " + root_ + ": " + name;
    return false;
  }
  path = parent + "/" + leaf;
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    why = S_ISLNK(st.st_mode) ? "a symbolic link: " + name : "not a plain file: " + name;
    return false;
  }
  return true;
}

}  // namespace zorvane::scpi
