// camera_files.hpp — where the tool looks for camera files, and how a name the user
// gives becomes the path the plug-in opens.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace grabline::tool {

// The directory of the shipped camera files: `env_value` (GRABLINE_CAMERAS) when set
// and not empty, else `built_in`.
std::string CamerasDirectory(const char *env_value, std::string_view built_in);

// "default" stays as it is; a path that exists is taken as given; a bare name that
// does not exist here but in `cameras_dir` becomes that file; anything else is left
// for the plug-in to refuse.
std::string ResolveCameraFile(std::string_view given, const std::string &cameras_dir);

// `path` as the user would type it from the working directory: relative when
// it lies inside it ("cameras"), else as it is.
std::string ShownPath(const std::string &path);

// Names of the regular files in `dir`, sorted. With `extensions` (without the dot,
// any letter case) only files ending in one of them; without, every file except
// hidden ones and README files. False with a message when `dir` cannot be read.
bool ListCameraFiles(const std::string &dir, std::span<const std::string> extensions,
                     std::vector<std::string> *names, std::string *error);

}  // namespace grabline::tool
