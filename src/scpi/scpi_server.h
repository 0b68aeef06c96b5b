// SPDX-License-Identifier: GPL-3.0-or-later
// The network side of the instrument: one controlling client at a time on a
// listener, its bytes cut into lines for the instrument and its responses
// sent back, all from Poll, which the message pump calls. Others who connect
// meanwhile get one line saying so and are closed. Lines, unread input,
// queued commands and unsent output are bounded; a client idle too long is
// dropped.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/listener.h"
#include "platform/platform.h"
#include "scpi/scpi_instrument.h"

namespace zorvane::scpi {

struct ServerLimits {
  size_t MaxLine = 64 * 1024;
  size_t MaxInput = 256 * 1024;
  size_t MaxQueued = 1024;
  // Responses not yet sent beyond which no further command runs.
  size_t MaxOutput = 8 * 1024 * 1024;
  int64_t IdleTimeoutUs = 300 * 1000000LL;  // 0: never
};

class Server {
 public:
  // log receives one line per client event (connected, refused, gone).
  Server(Listener& listener, Instrument& instrument, Platform& platform, ServerLimits limits,
         std::function<void(const std::string&)> log);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Accepts, reads, runs what is due and sends; re-entrant.
  void Poll();
  // When Poll is due again if the ready handle stays quiet.
  int64_t NextPollUs();
  // Sends what is pending (as far as the client takes it).
  void Flush();
  bool HasClient() const { return client_ >= 0; }

 private:
  void AcceptAll();
  void Read();
  void TakeLines();
  void Drop(const std::string& why);
  void Watch();

  Listener& listener_;
  Instrument& instrument_;
  Platform& platform_;
  ServerLimits limits_;
  std::function<void(const std::string&)> log_;
  int client_ = -1;
  std::string peer_;
  std::string in_, out_;
  size_t outStart_ = 0;
  bool skipping_ = false;  // the rest of an overlong line is dropped
  int64_t lastActivityUs_ = 0;
};

}  // namespace zorvane::scpi
