// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/version.h"

namespace zorvane {

const char* PackageVersion() { return ZORVANE_VERSION; }

std::string VersionText(const std::string& program) {
  return program + " " + PackageVersion() +
         "\n"
         "Copyright (C) 2026 the Zorvane authors\n"
         "License GPL-3.0-or-later: GNU GPL version 3 or later "
         "<https://gnu.org/licenses/gpl.html>.\n"
         "This is free software: you are free to change and redistribute it.\n"
         "There is NO WARRANTY, to the extent permitted by law.";
}

}  // namespace zorvane
