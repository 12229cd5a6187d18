// Camera files: for now every readable file stands for the built-in camera;
// the parser of the camera-file format fills Camera from the file's text.
#include "model/camera.hpp"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace bfsim::model {
namespace {

constexpr size_t kMaxPath = 4095;

}  // namespace

Status LoadCamera(std::string_view name, Camera &camera) {
  if (name.empty() || name == "default") {
    camera = Camera{};
    return Status::kOk;
  }
  if (name.size() > kMaxPath) return Status::kNoCamera;
  std::string path(name);
  for (char &c : path) {
    if (c == '\\') c = '/';
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return Status::kNoCamera;
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::kNoCamera;
  camera = Camera{};
  camera.file = path;
  return Status::kOk;
}

}  // namespace bfsim::model
