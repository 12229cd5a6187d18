// help_text.hpp — the prose of the help: the tool's overview and each command's usage
// and description, shown before its options (head), and what follows them (tail).
// The option lines come from the options' declarations (options.cpp).
#pragma once

#include <string>
#include <string_view>

namespace grabline::tool::help {

extern const std::string_view kOverviewHead;
// After the options of every command; `cameras_dir` is where camera files are looked
// for by default.
std::string OverviewTail(std::string_view cameras_dir);

extern const std::string_view kGrabHead;
extern const std::string_view kGrabTail;
extern const std::string_view kListHead;
extern const std::string_view kParamHead;
extern const std::string_view kParamTail;
extern const std::string_view kInfoHead;
extern const std::string_view kSerialHead;
extern const std::string_view kViewHead;

}  // namespace grabline::tool::help
