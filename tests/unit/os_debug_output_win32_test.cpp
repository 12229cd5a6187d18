// Debug output reaches the system's debug stream, where a viewer reads it
// through the stream's shared buffer when no debugger is attached.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/debug_output.hpp"
#include "platform/win32.hpp"

namespace grabline::os {
namespace {

// A viewer of the debug stream: the buffer and the two events the system's
// writers and readers hand it over with.
class DebugStreamViewer {
 public:
  DebugStreamViewer()
      : buffer_ready_(CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY")),
        data_ready_(CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY")),
        buffer_(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBytes,
                                   "DBWIN_BUFFER")),
        view_(buffer_ != nullptr ? MapViewOfFile(buffer_, FILE_MAP_READ, 0, 0, kBytes) : nullptr) {}
  ~DebugStreamViewer() {
    if (view_ != nullptr) UnmapViewOfFile(view_);
    for (HANDLE h : {buffer_, data_ready_, buffer_ready_}) {
      if (h != nullptr) CloseHandle(h);
    }
  }
  bool ready() const {
    return view_ != nullptr && buffer_ready_ != nullptr && data_ready_ != nullptr;
  }

  // Tells the writers the buffer is free.
  void Arm() { SetEvent(buffer_ready_); }
  // The next text this process wrote, or "(none)" after a few seconds.
  std::string Read() {
    while (WaitForSingleObject(data_ready_, 5000) == WAIT_OBJECT_0) {
      const auto *bytes = static_cast<const char *>(view_);
      const DWORD writer = *reinterpret_cast<const DWORD *>(bytes);
      std::string text(bytes + sizeof(DWORD), strnlen(bytes + sizeof(DWORD), kBytes - 4));
      if (writer == GetCurrentProcessId()) return text;
      Arm();  // another process's text
    }
    return "(none)";
  }

 private:
  static constexpr DWORD kBytes = 4096;
  HANDLE buffer_ready_;
  HANDLE data_ready_;
  HANDLE buffer_;
  void *view_;
};

TEST(OsDebugOutput, TextsReachTheSystemsDebugStream) {
  DebugStreamViewer viewer;
  ASSERT_TRUE(viewer.ready());
  for (const char *text : {"Starting CG thread\n", "Overwrite\n"}) {
    viewer.Arm();
    OutputDebugString(text);
    EXPECT_EQ(viewer.Read(), text);
  }
}

}  // namespace
}  // namespace grabline::os
