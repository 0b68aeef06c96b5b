// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pulse/pulse_connection.h"

#include <algorithm>
#include <cstdlib>

namespace zorvane::pulse {

namespace {

// The answers to a listing, filled on the loop's thread.
struct Listing {
  Connection* Owner = nullptr;
  std::atomic<int> Pending{0};  // replies still to come
  std::string DefaultSink, DefaultSource;
  struct Entry {
    DeviceDirection Direction;
    std::string Name;
    int Channels;
    uint32_t Rate;
  };
  std::vector<Entry> Entries;
};

void Finished(Listing& l) {
  l.Pending.fetch_sub(1);
  l.Owner->Wake();
}

void ServerInfo(pa_context*, const pa_server_info* info, void* user) {
  auto& l = *static_cast<Listing*>(user);
  if (info) {
    l.DefaultSink = info->default_sink_name ? info->default_sink_name : "";
    l.DefaultSource = info->default_source_name ? info->default_source_name : "";
  }
  Finished(l);
}

void SinkInfo(pa_context*, const pa_sink_info* info, int eol, void* user) {
  auto& l = *static_cast<Listing*>(user);
  if (eol) return Finished(l);
  if (info && info->name)
    l.Entries.push_back(
        {DeviceDirection::Output, info->name, info->sample_spec.channels, info->sample_spec.rate});
}

void SourceInfo(pa_context*, const pa_source_info* info, int eol, void* user) {
  auto& l = *static_cast<Listing*>(user);
  if (eol) return Finished(l);
  if (info && info->name)
    l.Entries.push_back(
        {DeviceDirection::Input, info->name, info->sample_spec.channels, info->sample_spec.rate});
}

// The device streams go to when none is named: what PULSE_SINK or
// PULSE_SOURCE says, else the server's default.
std::string StreamDefault(const char* variable, const std::string& serverDefault) {
  const char* named = std::getenv(variable);
  return named && *named ? named : serverDefault;
}

struct NameReply {
  Connection* Owner = nullptr;
  std::atomic<bool> Done{false};
  std::string Name;
};

void NameInfo(pa_context* c, const pa_server_info* info, void* user) {
  auto& r = *static_cast<NameReply*>(user);
  (void)c;
  if (info)
    r.Name = std::string(info->server_name ? info->server_name : "?") + " " +
             (info->server_version ? info->server_version : "?");
  r.Done.store(true);
  r.Owner->Wake();
}

}  // namespace

Connection::Connection() {
  loop_ = pa_threaded_mainloop_new();
  if (!loop_) {
    error_ = "libpulse could not make its main loop";
    return;
  }
  pa_proplist* props = pa_proplist_new();
  pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Zorvane");
  pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "zorvane");
  context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "Zorvane", props);
  pa_proplist_free(props);
  if (!context_) {
    error_ = "libpulse could not make a context";
    return;
  }
  pa_context_set_state_callback(context_, ContextState, this);
  // Never start a server of our own: none answering means no PulseAudio.
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    error_ = std::string("no PulseAudio server: ") + pa_strerror(pa_context_errno(context_));
    return;
  }
  if (pa_threaded_mainloop_start(loop_) < 0) {
    error_ = "libpulse could not start its main loop";
    return;
  }
  if (!Await([this] { return ready_.load(); }, kConnectLimit)) return;
  NameReply reply;
  reply.Owner = this;
  pa_operation* op;
  {
    LoopLock lock(loop_);
    op = pa_context_get_server_info(context_, NameInfo, &reply);
  }
  const bool answered = Await([&] { return reply.Done.load(); });
  LoopLock lock(loop_);
  if (op) {
    // A late answer must not reach the reply any more.
    if (!answered) pa_operation_cancel(op);
    pa_operation_unref(op);
  }
  if (!answered) return;
  serverName_ = reply.Name;
  tick_ =
      pa_context_rttime_new(context_, pa_rtclock_now() + kWatchPeriod.count() * 1000, Tick, this);
}

Connection::~Connection() {
  if (!loop_) return;
  if (context_) {
    {
      LoopLock lock(loop_);
      if (tick_) pa_threaded_mainloop_get_api(loop_)->time_free(tick_);
      pa_context_set_state_callback(context_, nullptr, nullptr);
      pa_context_disconnect(context_);
    }
    pa_threaded_mainloop_stop(loop_);
    pa_context_unref(context_);
  } else {
    pa_threaded_mainloop_stop(loop_);
  }
  pa_threaded_mainloop_free(loop_);
}

std::string Connection::Error() const {
  std::lock_guard<std::mutex> g(lock_);
  return error_;
}

void Connection::ContextState(pa_context* c, void* user) {
  auto* self = static_cast<Connection*>(user);
  switch (pa_context_get_state(c)) {
    case PA_CONTEXT_READY:
      self->ready_.store(true);
      self->Wake();
      break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
      self->Lost(std::string("the PulseAudio server is gone: ") + pa_strerror(pa_context_errno(c)));
      break;
    default:
      break;
  }
}

void Connection::Tick(pa_mainloop_api*, pa_time_event* e, const struct timeval*, void* user) {
  auto* self = static_cast<Connection*>(user);
  const Clock::time_point now = Clock::now();
  for (Listener* l : std::vector<Listener*>(self->listeners_)) l->Watch(now);
  pa_context_rttime_restart(self->context_, e, pa_rtclock_now() + kWatchPeriod.count() * 1000);
}

void Connection::Lost(const std::string& why) {
  if (!lost_.exchange(true)) {
    {
      std::lock_guard<std::mutex> g(lock_);
      error_ = why;
    }
    for (Listener* l : std::vector<Listener*>(listeners_)) l->ConnectionLost();
  }
  Wake();
}

bool Connection::Await(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> g(lock_);
  if (changed_.wait_for(g, limit, [&] { return done() || lost_.load(); })) return done();
  g.unlock();
  GiveUp("the PulseAudio server did not answer within " + std::to_string(limit.count()) + " ms");
  return false;
}

void Connection::Wake() {
  { std::lock_guard<std::mutex> g(lock_); }
  changed_.notify_all();
}

void Connection::GiveUp(const std::string& why) {
  LoopLock lock(loop_);
  Lost(why);
}

void Connection::AddListener(Listener* l) { listeners_.push_back(l); }

void Connection::RemoveListener(Listener* l) {
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), l), listeners_.end());
}

DeviceList Connection::Devices() {
  DeviceList list;
  if (!Ok()) return list;
  Listing l;
  l.Owner = this;
  l.Pending = 3;
  pa_operation* ops[3];
  {
    LoopLock lock(loop_);
    ops[0] = pa_context_get_server_info(context_, ServerInfo, &l);
    ops[1] = pa_context_get_sink_info_list(context_, SinkInfo, &l);
    ops[2] = pa_context_get_source_info_list(context_, SourceInfo, &l);
  }
  const bool answered = Await([&] { return l.Pending.load() == 0; });
  {
    LoopLock lock(loop_);
    for (pa_operation* op : ops)
      if (op) {
        if (!answered) pa_operation_cancel(op);
        pa_operation_unref(op);
      }
  }
  if (!answered) return list;
  const std::string sink = StreamDefault("PULSE_SINK", l.DefaultSink);
  const std::string source = StreamDefault("PULSE_SOURCE", l.DefaultSource);
  std::lock_guard<std::mutex> g(lock_);
  for (const Listing::Entry& e : l.Entries) {
    const auto key = std::make_pair(e.Direction, e.Name);
    auto it = std::find(numbered_.begin(), numbered_.end(), key);
    if (it == numbered_.end()) it = numbered_.insert(numbered_.end(), key);
    AudioDeviceInfo d;
    d.Index = static_cast<int>(it - numbered_.begin());
    d.HostApi = "Pulse";
    d.Name = e.Name;
    const bool out = e.Direction == DeviceDirection::Output;
    (out ? d.OutputChannels : d.InputChannels) = e.Channels;
    d.DefaultRate = e.Rate;
    d.DefaultOutput = out && e.Name == sink;
    d.DefaultInput = !out && e.Name == source;
    list.Devices.push_back(std::move(d));
    list.Names.push_back(e.Name);
  }
  std::sort(list.Devices.begin(), list.Devices.end(),
            [](const AudioDeviceInfo& a, const AudioDeviceInfo& b) { return a.Index < b.Index; });
  for (size_t i = 0; i < list.Devices.size(); ++i)
    list.Names[i] = numbered_[static_cast<size_t>(list.Devices[i].Index)].second;
  return list;
}

std::string Connection::DeviceName(int number, DeviceDirection direction) {
  std::lock_guard<std::mutex> g(lock_);
  if (number < 0 || number >= static_cast<int>(numbered_.size())) return "";
  const auto& entry = numbered_[static_cast<size_t>(number)];
  return entry.first == direction ? entry.second : "";
}

std::shared_ptr<Connection> AcquireConnection() {
  // Made once: a server that did not answer is not asked again.
  static std::mutex guard;
  static std::shared_ptr<Connection> connection;
  static bool tried = false;
  std::lock_guard<std::mutex> g(guard);
  if (!tried) {
    tried = true;
    connection = std::make_shared<Connection>();
  }
  return connection;
}

bool SampleSpecFor(uint16_t channels, uint16_t bits, uint32_t rate, uint16_t blockAlign,
                   pa_sample_spec& spec) {
  if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16) ||
      blockAlign != channels * bits / 8)
    return false;
  spec.format = bits == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
  spec.channels = static_cast<uint8_t>(channels);
  spec.rate = rate;
  return pa_sample_spec_valid(&spec) != 0;
}

uint32_t BytesFor(const pa_sample_spec& spec, uint64_t usec) {
  const size_t frame = pa_frame_size(&spec);
  const uint64_t frames = std::max<uint64_t>(1, usec * spec.rate / 1000000);
  return static_cast<uint32_t>(frames * frame);
}

}  // namespace zorvane::pulse
