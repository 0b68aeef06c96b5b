// SPDX-License-Identifier: GPL-3.0-or-later
// Fake programs for the tests of starting other programs: a folder whose
// name a shell would take apart, put in front of nothing else on PATH, and
// programs in it that record how they were started.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace zorvane::testing {

// PATH is the fake folder (after two folders that are never searched: one
// missing, one relative) for the object's lifetime.
struct FakePrograms {
  TempDir dir;
  std::string bin = dir.File("bin dir 'q' \"qq\" $(touch pwned); x");
  std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";

  FakePrograms() {
    std::filesystem::create_directories(bin);
    ::setenv("PATH", ("/nonexistent:relative/bin:" + bin).c_str(), 1);
  }
  ~FakePrograms() { ::setenv("PATH", savedPath.c_str(), 1); }

  std::string Log(const std::string& name) const { return dir.File(name + ".log"); }

  // A program that writes its own path, its parent's process id and its
  // arguments, one a line, to <name>.log.
  std::string Add(const std::string& name) {
    const std::string path = bin + "/" + name;
    std::ofstream(path) << "#!/bin/sh\n"
                        << "printf '%s\\n' \"$0\" \"$PPID\" \"$@\" > '" << Log(name) << ".part'\n"
                        << "/bin/mv '" << Log(name) << ".part' '" << Log(name) << "'\n";
    ::chmod(path.c_str(), 0755);
    return path;
  }

  // How the program was started, once it has run (Path empty if it never
  // did).
  struct Run {
    std::string Path, Parent;
    std::vector<std::string> Args;
  };
  Run Recorded(const std::string& name) const {
    for (int i = 0; i < 500 && !std::filesystem::exists(Log(name)); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(Log(name));
    Run run;
    std::getline(in, run.Path);
    std::getline(in, run.Parent);
    for (std::string line; std::getline(in, line);) run.Args.push_back(line);
    return run;
  }
};

}  // namespace zorvane::testing
