#include "camera_files.hpp"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace grabline::tool {
namespace {

namespace fs = std::filesystem;

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

bool HasExtension(std::string_view name, std::span<const std::string> extensions) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view extension = name.substr(dot + 1);
  return std::any_of(extensions.begin(), extensions.end(),
                     [&](const std::string &e) { return EqualsIgnoreCase(e, extension); });
}

bool Listed(std::string_view name, std::span<const std::string> extensions) {
  if (!extensions.empty()) return HasExtension(name, extensions);
  return !name.empty() && name[0] != '.' &&
         !(name.size() >= 6 && EqualsIgnoreCase(name.substr(0, 6), "readme"));
}

}  // namespace

std::string CamerasDirectory(const char *env_value, std::string_view built_in) {
  if (env_value != nullptr && env_value[0] != '\0') return env_value;
  return std::string(built_in);
}

std::string ShownPath(const std::string &path) {
  std::error_code ec;
  const fs::path here = fs::current_path(ec);
  if (ec || !fs::path(path).is_absolute()) return path;
  const fs::path relative = fs::path(path).lexically_normal().lexically_relative(here);
  if (relative.empty() || *relative.begin() == "..") return path;
  return relative.string();
}

std::string ResolveCameraFile(std::string_view given, const std::string &cameras_dir) {
  const std::string path(given);
  if (given == "default" || given.empty()) return path;
  std::error_code ec;
  if (fs::exists(path, ec)) return path;
  if (given.find('/') != std::string_view::npos || cameras_dir.empty()) return path;
  const fs::path shipped = fs::path(cameras_dir) / path;
  if (fs::is_regular_file(shipped, ec)) return shipped.string();
  return path;
}

bool ListCameraFiles(const std::string &dir, std::span<const std::string> extensions,
                     std::vector<std::string> *names, std::string *error) {
  names->clear();
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) {
    *error = ec.message();
    return false;
  }
  while (it != fs::directory_iterator()) {
    std::error_code type_error;
    std::string name = it->path().filename().string();
    if (it->is_regular_file(type_error) && Listed(name, extensions)) {
      names->push_back(std::move(name));
    }
    it.increment(ec);
    if (ec) break;
  }
  if (ec) {
    *error = ec.message();
    names->clear();
    return false;
  }
  std::sort(names->begin(), names->end());
  return true;
}

}  // namespace grabline::tool
