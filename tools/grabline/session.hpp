// session.hpp — the plug-in as the tool drives it through the host's application
// API: loading, opening with the user's options, parameter calls, and failure
// reports that name the operation and the result code.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "options.hpp"
#include "tarvel_host.hpp"
#include "value_text.hpp"

namespace grabline::tool {

inline bool Succeeded(Terr code) { return code == T_MSG_OK; }
std::string CodeText(Terr code);
std::string CodeName(Terr code);

// Loads the plug-in; prints why not and returns null when that fails.
std::unique_ptr<tarvel::Plugin> LoadPlugin(const std::string &interface);

// Opens an instance with `open` over the class defaults; the camera name is resolved
// against `cameras_dir`. Prints "open: CODE" and what may explain it on failure.
std::unique_ptr<tarvel::Instance> OpenInstance(tarvel::Plugin &plugin, const OpenOptions &open,
                                               const std::string &cameras_dir,
                                               tarvel::Plugin::OpenParams *used);

// Call before an operation whose failure may be reported: forgets what the plug-in
// printed so far.
void StartOperation();
// Prints "WHAT: CODE" and the plug-in's own messages since StartOperation().
void ReportFailure(std::string_view what, Terr code);
// The lines ReportFailure prints, for a report that goes elsewhere.
std::vector<std::string> FailureLines(std::string_view what, Terr code);
// The first line of the last failure this file reported ("open: FG_ERR_BOARD (5312)"),
// for summaries that carry the error.
const std::string &LastFailure();

// One --set or --get; a failure is reported as "NAME: CODE".
bool SetParam(tarvel::Instance &instance, const std::string &name,
              const std::vector<ParamValue> &values);
bool GetParam(tarvel::Instance &instance, const std::string &name, std::vector<ParamValue> *values);

// Whether a --set names `name` (names are matched without regard to case, as the
// plug-in matches them).
bool SetsParam(const Options &options, std::string_view name);

std::vector<tarvel::Value> ToHost(const std::vector<ParamValue> &values);
std::vector<ParamValue> FromHost(const std::vector<tarvel::Value> &values);

}  // namespace grabline::tool
