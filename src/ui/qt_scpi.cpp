// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt_scpi.h"

#include <algorithm>
#include <iostream>

namespace zorvane {

std::unique_ptr<QtScpiService> QtScpiService::Start(TZorvaneForm& form, Platform& platform,
                                                    LogSweepModel& measurement,
                                                    const std::string& listen,
                                                    const std::string& allowFiles,
                                                    std::string& error) {
  std::string host;
  uint16_t port = 0;
  scpi::FileAccess files;
  if (!ParseListenAddress(listen, host, port, error)) return nullptr;
  if (!allowFiles.empty() && !files.Allow(allowFiles, error)) return nullptr;
  std::unique_ptr<Listener> listener = ListenTcp(host, port, error);
  if (!listener) return nullptr;
  if (!IsLoopbackHost(host))
    std::cerr << "zorvane: warning: " << host
              << " is not a loopback address: other machines can control the instrument\n";
  std::unique_ptr<QtScpiService> service(
      new QtScpiService(form, platform, std::move(listener), std::move(files)));
  service->instrument_.AttachMeasurement(&measurement);
  return service;
}

QtScpiService::QtScpiService(TZorvaneForm& form, Platform& platform,
                             std::unique_ptr<Listener> listener, scpi::FileAccess files)
    : platform_(platform),
      listener_(std::move(listener)),
      instrument_(form, platform, std::move(files)),
      server_(*listener_, instrument_, platform, scpi::ServerLimits{},
              [](const std::string& line) { std::cerr << "zorvane: " << line << "\n"; }),
      notifier_(listener_->ReadyHandle(), QSocketNotifier::Read) {
  timer_.setSingleShot(true);
  QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { Poll(); });
  QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
}

void QtScpiService::Poll() {
  server_.Poll();
  const int64_t next = server_.NextPollUs();
  if (next == Platform::kNoEvent) return;
  const int64_t ms = (next - platform_.NowUs() + 999) / 1000;
  timer_.start(static_cast<int>(std::clamp<int64_t>(ms, 0, 1000)));
}

}  // namespace zorvane
