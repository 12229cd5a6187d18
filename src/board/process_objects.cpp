#include "board/process_objects.hpp"

namespace grabline {

os::Event *g_frame_done_ready = nullptr;
os::Event *g_exposure_done_ready = nullptr;
os::Mutex *g_cg_list_mutex = nullptr;

bool CreateProcessObjects() {
  if (g_frame_done_ready == nullptr) g_frame_done_ready = os::CreateEvent(false);
  if (g_exposure_done_ready == nullptr) g_exposure_done_ready = os::CreateEvent(false);
  if (g_cg_list_mutex == nullptr) g_cg_list_mutex = os::CreateMutex();
  return g_frame_done_ready != nullptr && g_exposure_done_ready != nullptr &&
         g_cg_list_mutex != nullptr;
}

void DestroyProcessObjects() {
  if (g_frame_done_ready != nullptr) os::CloseEvent(g_frame_done_ready);
  if (g_exposure_done_ready != nullptr) os::CloseEvent(g_exposure_done_ready);
  if (g_cg_list_mutex != nullptr) os::CloseMutex(g_cg_list_mutex);
  g_frame_done_ready = nullptr;
  g_exposure_done_ready = nullptr;
  g_cg_list_mutex = nullptr;
}

}  // namespace grabline
