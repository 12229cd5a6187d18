// One simulated board opened through the host loader, shared by the inputs of
// a fuzzing run. Opening costs a tenth of a second, so the instance is reused;
// it is closed and opened again now and then so that close meets whatever
// state the inputs left behind, and the host's books are checked each time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bfsim_control.hpp"
#include "tarvel_host.hpp"

namespace grabline::fuzz {

inline constexpr uint64_t kReopenEvery = 2000;

// A finding the sanitizers cannot see: the books say something was lost.
[[noreturn]] inline void Finding(const char *what) {
  std::fprintf(stderr, "finding: %s\n", what);
  std::abort();
}

class Session {
 public:
  // Never destroyed: at exit the host's own books go before any static of
  // ours could close the instance against them.
  static Session &Get() {
    static Session *session = new Session;
    return *session;
  }

  tarvel::Plugin &plugin() { return *plugin_; }

  // The open instance for the next input.
  tarvel::Instance &Instance() {
    if (instance_ && ++inputs_ % kReopenEvery == 0) Reopen();
    if (!instance_) Open();
    return *instance_;
  }

  // Closes the instance; every allocation of the plug-in must be back.
  void Close() {
    if (!instance_) return;
    instance_->Close();
    instance_.reset();
    if (tarvel::OutstandingAllocations() != 0) Finding("host allocations outstanding after close");
    if (tarvel::OutstandingImages() != 0) Finding("host images outstanding after close");
  }

 private:
  Session() {
    bfsim::Reset();
    std::string error;
    plugin_ = tarvel::Plugin::Load(GRABLINE_FUZZ_PLUGIN, &error);
    if (!plugin_) {
      std::fprintf(stderr, "cannot load %s: %s\n", GRABLINE_FUZZ_PLUGIN, error.c_str());
      std::abort();
    }
  }

  void Open() {
    Terr code = 0;
    instance_ = plugin_->Open(plugin_->Defaults(), &code);
    if (!instance_) {
      std::fprintf(stderr, "cannot open the simulated board: %d\n", code);
      std::abort();
    }
    // Frames only when an input asks for them: no clock thread races the inputs.
    bfsim::SetManualClock(0, true);
    // Waits an input may start end soon.
    instance_->SetParam("wait_frame_exposure_timeout", tarvel::Value::Int(10));
    instance_->SetParam("serial_timeout", tarvel::Value::Int(10));
  }

  void Reopen() {
    Close();
    bfsim::Reset();
    Open();
  }

  std::unique_ptr<tarvel::Plugin> plugin_;
  std::unique_ptr<tarvel::Instance> instance_;
  uint64_t inputs_ = 0;
};

// Reads fuzz input front to back; past the end everything reads as zero.
class Input {
 public:
  Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint64_t Word() {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = v << 8 | Byte();
    return v;
  }
  // Up to `max` bytes, ending before a NUL (which is consumed).
  std::string Text(size_t max) {
    std::string text;
    while (at_ < size_ && text.size() < max) {
      const char c = static_cast<char>(data_[at_++]);
      if (c == '\0') break;
      text.push_back(c);
    }
    return text;
  }
  std::string_view Rest() const {
    return {reinterpret_cast<const char *>(data_) + at_, size_ - at_};
  }

 private:
  const uint8_t *data_;
  size_t size_;
  size_t at_ = 0;
};

// Parameter records as an application might pass them: integers, doubles,
// strings, and records with tags no host uses. The texts live in `texts`.
inline std::vector<Tcpar> Records(Input &in, std::vector<std::string> *texts) {
  const size_t count = in.Byte() % 9;
  std::vector<Tcpar> records(count);
  texts->reserve(count);
  for (Tcpar &record : records) {
    switch (in.Byte() % 5) {
      case 0:
        record.type = TPAR_INT;
        record.par.l = static_cast<int64_t>(in.Word());
        break;
      case 1: {
        record.type = TPAR_DOUBLE;
        const uint64_t bits = in.Word();
        static_assert(sizeof bits == sizeof record.par.d);
        __builtin_memcpy(&record.par.d, &bits, sizeof bits);
        break;
      }
      case 2:
        record.type = TPAR_STRING;
        texts->push_back(in.Text(512));
        record.par.s = texts->back().data();
        break;
      case 3:
        record.type = TPAR_STRING;
        record.par.s = nullptr;
        break;
      default:
        // An unknown tag over an integer: never to be read as a pointer.
        record.type = static_cast<Tpar_tag>(in.Byte());
        if (record.type == TPAR_STRING) record.type = 0;
        record.par.l = static_cast<int64_t>(in.Word());
        break;
    }
  }
  return records;
}

// Inputs are kept to what a run can afford: a ring of a million buffers or a
// time-out of a day is a valid request, but not one a fuzzer should wait for.
inline bool Affordable(std::string_view name, const std::vector<Tcpar> &records) {
  std::string lower(name);
  for (char &c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  int64_t limit = INT64_MAX;
  if (lower.find("timeout") != std::string::npos || lower.find("delay") != std::string::npos) {
    limit = 50;
  } else if (lower.find("num_") != std::string::npos) {
    limit = 16;
  } else if (lower.find("size") != std::string::npos) {
    limit = 1 << 20;
  }
  for (const Tcpar &record : records) {
    if (record.type == TPAR_INT && (record.par.l > limit || record.par.l < -limit)) return false;
    if (record.type == TPAR_DOUBLE &&
        !(record.par.d <= double(limit) && record.par.d >= -double(limit))) {
      return false;
    }
    if (record.type == TPAR_STRING && record.par.s != nullptr && limit != INT64_MAX) {
      // Numbers in words ("10000") are as costly as integers.
      if (std::string_view(record.par.s).find_first_of("0123456789") != std::string_view::npos &&
          std::string_view(record.par.s).size() > 2) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace grabline::fuzz
