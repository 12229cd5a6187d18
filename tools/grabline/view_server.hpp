// view_server.hpp — the live view's HTTP side: the page, the frames as JPEG (one
// picture or a stream), the status and the parameters as JSON, and the changes a
// page or a script asks for, each checked before it reaches the acquisition.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "jpeg_encoder.hpp"
#include "live_source.hpp"
#include "view_requests.hpp"

namespace httplib {
class Server;
}

namespace grabline::tool {

// A shown frame as JPEG, numbered as the grab counted it, with the histograms of
// what it shows.
struct EncodedFrame {
  uint64_t number = 0;
  std::string jpeg;
  std::vector<Histogram> histograms;
};

class ViewServer {
 public:
  // `about`: what /status tells besides the live figures (interface, device, camera).
  ViewServer(LiveSource &source, std::map<std::string, std::string> about);
  ~ViewServer();
  ViewServer(const ViewServer &) = delete;
  ViewServer &operator=(const ViewServer &) = delete;

  // Listens on `address`:`port` (0: a free port) and serves on a thread of its own.
  bool Start(const std::string &address, int port, std::string *error);
  void Stop();
  const ListenAddress &listening() const { return listen_; }

 private:
  void Route();
  // The newest frame encoded, if one newer than `newer_than` (nullopt: any) comes
  // within `wait`; otherwise the last one encoded, null before the first.
  std::shared_ptr<const EncodedFrame> Encoded(std::optional<uint64_t> newer_than,
                                              std::chrono::milliseconds wait);
  std::shared_ptr<const EncodedFrame> Shown() const;

  LiveSource &source_;
  const std::map<std::string, std::string> about_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  ListenAddress listen_;
  std::atomic<bool> stopping_{false};
  std::mutex encode_mutex_;  // one encoding at a time, its result shared by every viewer
  JpegEncoder encoder_;      // guarded by encode_mutex_
  mutable std::mutex shown_mutex_;
  std::shared_ptr<const EncodedFrame> shown_;  // guarded by shown_mutex_
};

}  // namespace grabline::tool
