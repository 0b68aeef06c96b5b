// SPDX-License-Identifier: GPL-3.0-or-later
// The SCPI server in the window: Qt's event loop wakes it when its listener
// has something (a socket notifier) and when it asks to be polled again (a
// timer). Commands then run inside the event loop, nested in whatever pumps
// it, as clicks do.
#pragma once

#include <QSocketNotifier>
#include <QTimer>
#include <memory>
#include <string>

#include "platform/listener.h"
#include "scpi/scpi_server.h"

namespace zorvane {

class QtScpiService {
 public:
  // Listens on "ADDRESS:PORT"; file commands confined to allowFiles (none
  // when empty); the log sweep commands drive `measurement`, which must
  // outlive the service. Nothing (and why) when it cannot.
  static std::unique_ptr<QtScpiService> Start(TZorvaneForm& form, Platform& platform,
                                              LogSweepModel& measurement,
                                              const std::string& listen,
                                              const std::string& allowFiles, std::string& error);
  std::string Address() const { return listener_->LocalAddress(); }

 private:
  QtScpiService(TZorvaneForm& form, Platform& platform, std::unique_ptr<Listener> listener,
                scpi::FileAccess files);
  void Poll();

  Platform& platform_;
  std::unique_ptr<Listener> listener_;
  scpi::Instrument instrument_;
  scpi::Server server_;
  QSocketNotifier notifier_;
  QTimer timer_;
};

}  // namespace zorvane
