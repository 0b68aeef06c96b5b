// SPDX-License-Identifier: GPL-3.0-or-later
// Finding programs on the search path and starting them detached from the
// instrument, by path with an argument list, never through a shell.
#pragma once

#include <string>
#include <vector>

namespace zorvane {

// The first executable regular file called `name` in the folders of PATH
// (the system's default path when PATH is not set); empty when there is
// none. Only absolute folders are searched, so the current folder never
// supplies a program.
std::string FindOnPath(const std::string& name);

// Starts the program at `path` with `args` (argv[0] is the path itself) in a
// session of its own, reparented away from the instrument so that it
// outlives it and is never left a zombie. Standard input and output are
// /dev/null; standard error is shared. Returns false, with errno set, when
// the program could not be started (no such file, not executable, ...).
bool StartDetached(const std::string& path, const std::vector<std::string>& args);

}  // namespace zorvane
