// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi/scpi_server.h"

#include <algorithm>

namespace zorvane::scpi {

namespace {
constexpr const char* kRefusal =
    "Zorvane: another client controls the instrument; try again when it has gone\n";
constexpr int kAcceptsPerPoll = 16;
}  // namespace

Server::Server(Listener& listener, Instrument& instrument, Platform& platform, ServerLimits limits,
               std::function<void(const std::string&)> log)
    : listener_(listener),
      instrument_(instrument),
      platform_(platform),
      limits_(limits),
      log_(std::move(log)) {
  instrument_.Respond = [this](const std::string& response) {
    out_ += response;
    instrument_.Hold = out_.size() - outStart_ > limits_.MaxOutput;
  };
}

Server::~Server() {
  instrument_.Respond = nullptr;
  if (client_ >= 0) {
    Flush();
    listener_.Close(client_);
    instrument_.EndSession();
  }
}

void Server::Poll() {
  AcceptAll();
  if (client_ >= 0) Read();
  if (client_ >= 0 && !platform_.Terminated()) {
    TakeLines();
    instrument_.Run();
    TakeLines();  // room in the queue again
  }
  Flush();
  if (client_ >= 0 && limits_.IdleTimeoutUs > 0 &&
      platform_.NowUs() - lastActivityUs_ > limits_.IdleTimeoutUs &&
      (instrument_.Queued() == 0 || out_.size() > outStart_))
    Drop("dropped after " + std::to_string(limits_.IdleTimeoutUs / 1000000) + " s idle");
  if (client_ >= 0) Watch();
}

int64_t Server::NextPollUs() {
  int64_t next = instrument_.NextRunUs();
  if (client_ >= 0 && limits_.IdleTimeoutUs > 0)
    next = std::min(next, lastActivityUs_ + limits_.IdleTimeoutUs + 1);
  return next;
}

void Server::AcceptAll() {
  for (int i = 0; i < kAcceptsPerPoll; ++i) {
    std::string peer;
    const int c = listener_.Accept(peer);
    if (c < 0) return;
    // A client that has just closed makes room for the next one.
    if (client_ >= 0) Read();
    if (client_ >= 0) {
      listener_.Send(c, kRefusal, std::char_traits<char>::length(kRefusal));
      listener_.Close(c);
      if (log_) log_("refused " + peer + ": " + peer_ + " is in control");
      continue;
    }
    client_ = c;
    peer_ = peer;
    in_.clear();
    out_.clear();
    outStart_ = 0;
    skipping_ = false;
    lastActivityUs_ = platform_.NowUs();
    instrument_.StartSession();
    if (log_) log_("client " + peer_ + " connected");
  }
}

void Server::Read() {
  char buf[16384];
  while (client_ >= 0 && in_.size() < limits_.MaxInput) {
    const long n =
        listener_.Receive(client_, buf, std::min(sizeof buf, limits_.MaxInput - in_.size()));
    if (n == 0) return;
    if (n < 0) {
      Drop("disconnected");
      return;
    }
    in_.append(buf, static_cast<size_t>(n));
    lastActivityUs_ = platform_.NowUs();
  }
}

void Server::TakeLines() {
  size_t start = 0;
  while (client_ >= 0 && instrument_.Queued() < limits_.MaxQueued) {
    const size_t end = in_.find('\n', start);
    if (end == std::string::npos) {
      // A line longer than the limit is refused whole, up to its end.
      if (in_.size() - start > limits_.MaxLine) {
        if (!skipping_)
          instrument_.Errors.Push(
              err::InputBufferOverrun,
              "a line longer than " + std::to_string(limits_.MaxLine) + " bytes");
        skipping_ = true;
        start = in_.size();
      }
      break;
    }
    size_t length = end - start;
    if (skipping_ || length > limits_.MaxLine) {
      if (!skipping_)
        instrument_.Errors.Push(err::InputBufferOverrun,
                                "a line longer than " + std::to_string(limits_.MaxLine) + " bytes");
      skipping_ = false;
    } else {
      if (length > 0 && in_[start + length - 1] == '\r') --length;
      instrument_.Receive(std::string_view(in_).substr(start, length));
    }
    start = end + 1;
  }
  in_.erase(0, start);
}

void Server::Flush() {
  while (client_ >= 0 && outStart_ < out_.size()) {
    const long n = listener_.Send(client_, out_.data() + outStart_, out_.size() - outStart_);
    if (n < 0) {
      Drop("disconnected");
      return;
    }
    if (n == 0) break;
    outStart_ += static_cast<size_t>(n);
    lastActivityUs_ = platform_.NowUs();
  }
  if (outStart_ == out_.size()) {
    out_.clear();
    outStart_ = 0;
  } else if (outStart_ > out_.size() / 2) {
    out_.erase(0, outStart_);
    outStart_ = 0;
  }
  instrument_.Hold = out_.size() - outStart_ > limits_.MaxOutput;
}

void Server::Watch() {
  // Reading pauses while the input is full (the client then waits in TCP);
  // writing is watched while output waits.
  listener_.Watch(client_, in_.size() < limits_.MaxInput, outStart_ < out_.size());
}

void Server::Drop(const std::string& why) {
  listener_.Close(client_);
  client_ = -1;
  in_.clear();
  out_.clear();
  outStart_ = 0;
  instrument_.EndSession();
  if (log_) log_("client " + peer_ + " " + why);
}

}  // namespace zorvane::scpi
