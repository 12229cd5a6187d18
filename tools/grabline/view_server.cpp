#include "view_server.hpp"

#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "frame_files.hpp"
#include "view_page.hpp"

namespace grabline::tool {
namespace {

using Json = nlohmann::ordered_json;

// Long enough for a frame to come from a running camera, short enough that a page
// asking while nothing runs gets the last frame without a noticeable wait.
constexpr auto kFreshFrameWait = std::chrono::milliseconds(300);
// A stream waits this long for each frame before it looks whether to stop.
constexpr auto kStreamWait = std::chrono::milliseconds(500);
constexpr size_t kMaxBody = 64 * 1024;
// A screen shows no more than this; sending more would only cost the machine that
// grabs the time the browser spends decoding frames nobody sees.
constexpr auto kStreamFrameInterval = std::chrono::milliseconds(33);
constexpr std::string_view kBoundary = "grablineframe";

std::string Dump(const Json &json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void Answer(httplib::Response &res, int status, const Json &json) {
  res.status = status;
  res.set_content(Dump(json), "application/json");
}

void Refuse(httplib::Response &res, int status, const std::string &message) {
  Json json;
  json["ok"] = false;
  json["code"] = nullptr;
  json["code_name"] = nullptr;
  json["message"] = message;
  Answer(res, status, json);
}

Json ValueJson(const ParamValue &value) {
  switch (value.type) {
    case ParamValue::Type::kInt:
      return value.i;
    case ParamValue::Type::kDouble:
      return value.d;
    case ParamValue::Type::kString:
      return value.s;
  }
  return nullptr;
}

Json AnswerJson(const PluginAnswer &answer) {
  Json json;
  json["ok"] = answer.ok;
  json["code"] = answer.code_name.empty() && answer.code == 0 ? Json() : Json(answer.code);
  json["code_name"] = answer.code_name.empty() ? Json() : Json(answer.code_name);
  json["message"] = answer.message;
  return json;
}

// A refusal of the plug-in is the request's fault as far as HTTP goes.
int HttpStatus(const PluginAnswer &answer) { return answer.ok ? 200 : 422; }

Json StatusJson(const LiveStatus &s, const EncodedFrame *shown) {
  Json json;
  json["frames"] = s.counts.frames;
  json["fps"] = std::round(s.fps * 10) / 10;
  json["dropped"] = s.counts.dropped;
  json["timeouts"] = s.counts.timeouts;
  json["errors"] = s.counts.errors;
  json["width"] = s.width;
  json["height"] = s.height;
  json["channels"] = s.channels;
  json["bits"] = s.bits;
  json["frame_time"] = s.frame_time;
  json["running"] = s.running;
  json["trigger"] = TriggerModeName(s.trigger);
  json["continuous"] = s.continuous;
  json["last_error"] = s.last_error;
  if (s.timing) {
    json["timing"] = {{"exposure", s.timing->exposure},
                      {"period", s.timing->period},
                      {"trig_mode", s.timing->trig_mode},
                      {"polarity", s.timing->polarity},
                      {"output", s.timing->output}};
  } else {
    json["timing"] = nullptr;
  }
  json["shown_frame"] = shown != nullptr ? Json(shown->number) : Json();
  Json histograms = Json::array();
  if (shown != nullptr) {
    for (const Histogram &histogram : shown->histograms) histograms.push_back(histogram);
  }
  json["histogram"] = histograms;
  return json;
}

Json ParamsJson(const std::vector<ParamEntry> &entries) {
  Json list = Json::array();
  for (const ParamEntry &entry : entries) {
    Json json;
    json["name"] = entry.name;
    json["read_only"] = entry.read_only;
    json["write_only"] = entry.write_only;
    json["hidden"] = entry.hidden;
    if (!entry.value) {
      json["value"] = nullptr;
    } else if (entry.value->size() == 1) {
      json["value"] = ValueJson(entry.value->front());
    } else {
      Json values = Json::array();
      for (const ParamValue &value : *entry.value) values.push_back(ValueJson(value));
      json["value"] = values;
    }
    json["description"] = entry.description;
    json["values"] = entry.values;
    list.push_back(json);
  }
  return list;
}

// The frame as a PNG file's bytes, written through the host's PNG writer.
bool FramePng(const LiveFrame &frame, std::string *png, std::string *error) {
  static std::atomic<uint64_t> serial{0};
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() /
      ("grabline_view_" + std::to_string(getpid()) + "_" + std::to_string(serial++) + ".png");
  const bool written = WritePlanesPng(path.string(), frame.Views(), error);
  if (written) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    *png = bytes.str();
  }
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  return written;
}

std::string StreamPart(const EncodedFrame &frame) {
  return "--" + std::string(kBoundary) +
         "\r\nContent-Type: image/jpeg\r\nContent-Length: " + std::to_string(frame.jpeg.size()) +
         "\r\nX-Frame-Number: " + std::to_string(frame.number) + "\r\n\r\n" + frame.jpeg + "\r\n";
}

}  // namespace

ViewServer::ViewServer(LiveSource &source, std::map<std::string, std::string> about)
    : source_(source), about_(std::move(about)), server_(std::make_unique<httplib::Server>()) {}

ViewServer::~ViewServer() { Stop(); }

bool ViewServer::Start(const std::string &address, int port, std::string *error) {
  Route();
  int bound = port;
  if (port == 0) {
    bound = server_->bind_to_any_port(address);
  } else if (!server_->bind_to_port(address, port)) {
    bound = -1;
  }
  if (bound <= 0) {
    *error = "cannot listen on " + address + " port " + std::to_string(port) +
             (port != 0 ? " (in use, or not an address of this machine; --port 0 picks a free one)"
                        : " (not an address of this machine)");
    return false;
  }
  listen_ = ListenAddress{address, bound};
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  return true;
}

void ViewServer::Stop() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  server_->stop();
  thread_.join();
}

std::shared_ptr<const EncodedFrame> ViewServer::Shown() const {
  std::lock_guard<std::mutex> lock(shown_mutex_);
  return shown_;
}

std::shared_ptr<const EncodedFrame> ViewServer::Encoded(std::optional<uint64_t> newer_than,
                                                        std::chrono::milliseconds wait) {
  std::lock_guard<std::mutex> lock(encode_mutex_);
  std::shared_ptr<const EncodedFrame> shown = Shown();
  if (shown != nullptr && (!newer_than || shown->number > *newer_than)) return shown;
  std::optional<uint64_t> ask = newer_than;
  if (shown != nullptr) ask = std::max(shown->number, newer_than.value_or(0));
  const std::shared_ptr<const LiveFrame> frame = source_.NextFrame(ask, wait);
  if (frame == nullptr || (shown != nullptr && frame->number <= shown->number)) return shown;
  auto next = std::make_shared<EncodedFrame>();
  next->number = frame->number;
  DisplayImage image = ToDisplay(*frame);
  std::string why;
  if (!encoder_.Encode(image, &next->jpeg, &why)) return shown;
  next->histograms = std::move(image.histograms);
  std::lock_guard<std::mutex> shown_lock(shown_mutex_);
  shown_ = next;
  return shown_;
}

void ViewServer::Route() {
  httplib::Server &server = *server_;
  // The library's default lets a second program bind the same port (SO_REUSEPORT),
  // and the two would share the requests; the port must be this view's alone.
  server.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  });
  server.set_payload_max_length(kMaxBody);
  // A page left open keeps its connection; stopping should not wait long for it.
  server.set_keep_alive_timeout(1);
  server.set_default_headers(
      {{"Cache-Control", "no-store"}, {"X-Content-Type-Options", "nosniff"}});

  // A page of another site may send requests here through the user's browser; only
  // requests that name this server and come from its own page reach the board.
  server.set_pre_routing_handler([this](const httplib::Request &req, httplib::Response &res) {
    const std::string host = req.get_header_value("Host");
    if (!HostAllowed(host, listen_)) {
      Refuse(res, 403, "Host '" + Printable(host, 128) + "' is not this server");
      return httplib::Server::HandlerResponse::Handled;
    }
    const std::string origin = req.get_header_value("Origin");
    if (!OriginAllowed(origin, listen_)) {
      Refuse(res, 403, "Origin '" + Printable(origin, 128) + "' is not this server's page");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  server.Get("/", [](const httplib::Request &, httplib::Response &res) {
    res.set_header("Content-Security-Policy",
                   "default-src 'self'; img-src 'self' blob:; style-src 'unsafe-inline'; "
                   "script-src 'unsafe-inline'; frame-ancestors 'none'");
    res.set_content(std::string(kViewPage), "text/html; charset=utf-8");
  });

  server.Get("/frame.jpg", [this](const httplib::Request &, httplib::Response &res) {
    const std::shared_ptr<const EncodedFrame> shown = Shown();
    const std::shared_ptr<const EncodedFrame> frame = Encoded(
        shown != nullptr ? std::optional<uint64_t>(shown->number) : std::nullopt, kFreshFrameWait);
    if (frame == nullptr) return Refuse(res, 503, "no frame yet");
    res.set_header("X-Frame-Number", std::to_string(frame->number));
    res.set_content(frame->jpeg, "image/jpeg");
  });

  server.Get("/frame.png", [this](const httplib::Request &, httplib::Response &res) {
    const std::shared_ptr<const LiveFrame> frame = source_.NextFrame(std::nullopt, kFreshFrameWait);
    if (frame == nullptr) return Refuse(res, 503, "no frame yet");
    std::string png, why;
    if (!FramePng(*frame, &png, &why)) return Refuse(res, 500, "PNG: " + why);
    char name[48];
    std::snprintf(name, sizeof(name), "frame_%06llu.png",
                  static_cast<unsigned long long>(frame->number));
    res.set_header("Content-Disposition", std::string("attachment; filename=\"") + name + "\"");
    res.set_content(png, "image/png");
  });

  server.Get("/stream.mjpg", [this](const httplib::Request &, httplib::Response &res) {
    res.set_content_provider(
        "multipart/x-mixed-replace; boundary=" + std::string(kBoundary),
        [this, sent = std::optional<uint64_t>(), next = std::chrono::steady_clock::now()](
            size_t, httplib::DataSink &sink) mutable {
          // Each part waits for a frame newer than the last one sent, so a slow
          // browser is sent fewer frames, never a backlog.
          std::this_thread::sleep_until(next);
          next = std::chrono::steady_clock::now() + kStreamFrameInterval;
          while (!stopping_) {
            const std::shared_ptr<const EncodedFrame> frame = Encoded(sent, kStreamWait);
            if (!sink.is_writable()) return false;
            if (frame == nullptr || (sent && frame->number <= *sent)) continue;
            const std::string part = StreamPart(*frame);
            if (!sink.write(part.data(), part.size())) return false;
            sent = frame->number;
            return true;
          }
          sink.done();
          return true;
        });
  });

  server.Get("/status", [this](const httplib::Request &, httplib::Response &res) {
    Json status = StatusJson(source_.Status(), Shown().get());
    for (const auto &[key, value] : about_) status[key] = value;
    Answer(res, 200, status);
  });

  // ?names=a,b: only these (a page that shows two values need not read sixty).
  server.Get("/params", [this](const httplib::Request &req, httplib::Response &res) {
    std::vector<std::string> only;
    std::stringstream names(req.get_param_value("names"));
    for (std::string name; std::getline(names, name, ',');) {
      if (!name.empty()) only.push_back(name);
    }
    Answer(res, 200, ParamsJson(source_.Params(only)));
  });

  server.Post("/param", [this](const httplib::Request &req, httplib::Response &res) {
    ParamRequest request;
    std::string why;
    if (!ParseParamRequest(req.body, &request, &why)) return Refuse(res, 400, why);
    const PluginAnswer answer = source_.SetParam(request.name, request.values);
    Answer(res, HttpStatus(answer), AnswerJson(answer));
  });

  server.Post("/trigger", [this](const httplib::Request &, httplib::Response &res) {
    const PluginAnswer answer = source_.Trigger();
    Answer(res, answer.ok ? 200 : 409, AnswerJson(answer));
  });

  // Start, stop and the trigger mode: {"running": true} or {"trigger": "software"}.
  server.Post("/acquisition", [this](const httplib::Request &req, httplib::Response &res) {
    const Json json = Json::parse(req.body, nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
      return Refuse(res, 400, "the body is not a JSON object");
    }
    PluginAnswer answer;
    if (const auto trigger = json.find("trigger"); trigger != json.end()) {
      const std::optional<TriggerMode> mode =
          trigger->is_string() ? TriggerModeNamed(trigger->get<std::string>()) : std::nullopt;
      if (!mode) return Refuse(res, 400, "trigger: one of free, software, external");
      answer = source_.SetTrigger(*mode);
    }
    if (const auto running = json.find("running"); answer.ok && running != json.end()) {
      if (!running->is_boolean()) return Refuse(res, 400, "running: true or false");
      answer = source_.SetRunning(running->get<bool>());
    }
    Answer(res, HttpStatus(answer), AnswerJson(answer));
  });
}

}  // namespace grabline::tool
