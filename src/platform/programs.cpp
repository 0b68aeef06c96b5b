// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/programs.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace zorvane {

std::string FindOnPath(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return "";
  std::string search;
  if (const char* env = std::getenv("PATH")) {
    search = env;
  } else {
    char buf[1024] = {};
    if (confstr(_CS_PATH, buf, sizeof buf) > 0) search = buf;
  }
  size_t start = 0;
  while (start <= search.size()) {
    size_t end = search.find(':', start);
    if (end == std::string::npos) end = search.size();
    const std::string dir = search.substr(start, end - start);
    start = end + 1;
    if (dir.empty() || dir[0] != '/') continue;
    const std::string candidate = dir + "/" + name;
    struct stat st;
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return "";
}

bool StartDetached(const std::string& path, const std::vector<std::string>& args) {
  // Everything the children need is prepared here: between fork and exec
  // only async-signal-safe calls are made.
  std::vector<std::string> store;
  store.reserve(args.size() + 1);
  store.push_back(path);
  store.insert(store.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : store) argv.push_back(s.data());
  argv.push_back(nullptr);

  // The grandchild reports a failed exec through this pipe; a successful
  // exec closes it (close-on-exec), which the parent reads as success.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return false;
  const pid_t child = ::fork();
  if (child < 0) {
    const int e = errno;
    ::close(report[0]);
    ::close(report[1]);
    errno = e;
    return false;
  }
  if (child == 0) {
    ::close(report[0]);
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0) {
      if (grandchild < 0) {
        const int e = errno;
        (void)!::write(report[1], &e, sizeof e);
      }
      ::_exit(0);
    }
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    const int devnull = ::open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      ::dup2(devnull, 0);
      ::dup2(devnull, 1);
      if (devnull > 2) ::close(devnull);
    }
    // No descriptor of the instrument (devices, files) reaches the program.
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    ::execv(path.c_str(), argv.data());
    const int e = errno;
    (void)!::write(report[1], &e, sizeof e);
    ::_exit(127);
  }
  ::close(report[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int failure = 0;
  ssize_t n;
  while ((n = ::read(report[0], &failure, sizeof failure)) < 0 && errno == EINTR) {
  }
  ::close(report[0]);
  if (n == static_cast<ssize_t>(sizeof failure)) {
    errno = failure;
    return false;
  }
  return true;
}

}  // namespace zorvane
