// SPDX-License-Identifier: GPL-3.0-or-later
// A listening network endpoint and the connections it accepted, for a
// server polled from the message pump: no call blocks. Connections are
// numbered; a number is valid until Close.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zorvane {

class Listener {
 public:
  virtual ~Listener() = default;
  // A connection that has arrived, with the peer's address; -1 when none waits.
  virtual int Accept(std::string& peer) = 0;
  // Bytes read into buf (at most n); 0 when none are waiting; -1 when the
  // peer has closed or the connection failed.
  virtual long Receive(int connection, char* buf, size_t n) = 0;
  // Bytes taken from buf (0 when the connection cannot take more now); -1
  // when the connection failed.
  virtual long Send(int connection, const char* buf, size_t n) = 0;
  // What of the connection the ready handle signals: data or a closing that
  // arrived (while reading), room for more output (while writing).
  virtual void Watch(int connection, bool reading, bool writing) = 0;
  virtual void Close(int connection) = 0;
  // A descriptor that is readable while a connection waits to be accepted,
  // data or a closing has arrived, or a watched connection can take more:
  // for poll() or a socket notifier.
  virtual int ReadyHandle() const = 0;
  // "ADDRESS:PORT" it listens on (the port chosen when 0 was asked for).
  virtual std::string LocalAddress() const = 0;
};

// Splits "ADDRESS:PORT" ("[IPV6]:PORT" for IPv6); false with why.
bool ParseListenAddress(const std::string& text, std::string& host, uint16_t& port,
                        std::string& error);
// Whether a numeric address (or "localhost") is a loopback one.
bool IsLoopbackHost(const std::string& host);
// A TCP listener on a numeric address or "localhost"; nothing (and why)
// when it cannot listen there.
std::unique_ptr<Listener> ListenTcp(const std::string& host, uint16_t port, std::string& error);

}  // namespace zorvane
