#include "help_text.hpp"

namespace grabline::tool::help {

const std::string_view kOverviewHead =
    R"(grabline: grab images from frame grabber boards through the grabline plug-ins

usage: grabline [--interface NAME] [--system FILE] [--cameras DIR] COMMAND [OPTIONS]

commands:
  grab     open a board, grab frames, save them as PNG with a contact sheet
  list     installed boards and the camera files found
  param    set and read parameters on one open instance
  info     what the plug-in's information queries answer
  serial   send commands to the camera over its serial port and print its answers
  view     grab continuously and serve a live view with controls over HTTP
  grabline help COMMAND, or grabline COMMAND --help: the options of a command
)";

std::string OverviewTail(std::string_view cameras_dir) {
  constexpr std::string_view kStart = R"(environment:
  GRABLINE_SIM_SYSTEM  system file of the simulated boards (format: cameras/README.md);
                       unset: one R64 Camera Link board, two ports, a free-running
                       8-bit camera
  GRABLINE_CAMERAS     directory of camera files; unset: )";
  constexpr std::string_view kEnd = R"(
  GRABLINE_SIM_DEBUG   set: the simulator's debug output goes to stderr
  GRABLINE_REGISTRY    directory tree the plug-in reads registry values from; the
                       camera-file query's directory is one of them
  TARVEL_PLUGIN_PATH   where the host loads plug-ins from; unset: beside the host library

exit status: 0 done, 1 an operation failed, 2 bad command line
)";
  return std::string(kStart) + std::string(cameras_dir) + std::string(kEnd);
}

const std::string_view kGrabHead = R"(usage: grabline grab [OPTIONS]

Opens the device, sets the parameters and grabs. Every saved frame is written as a
PNG: gray as 8 or 16 bits (32-bit gray as its upper 16 bits), three or four channel
images as one RGB PNG of images 0, 1, 2 as red, green, blue. A contact sheet of the
saved frames goes beside them. Progress goes to stderr: a bar on a terminal, a line
a second otherwise; the summary goes to stdout.
)";

const std::string_view kGrabTail =
    R"(A run ends after three time-outs in a row or at the first other grab error, and then
exits with status 1.
)";

const std::string_view kListHead =
    R"(usage: grabline list [--interface NAME] [--system FILE] [--cameras DIR]

Lists the installed (simulated) boards with the device name that opens each, family,
kinds, camera ports, switch and connector numbers, and the camera files found in the
camera files directory and in the directory the plug-in's camera-file query names.
)";

const std::string_view kParamHead =
    R"(usage: grabline param [OPEN OPTIONS] [--set NAME=VALUE]... [--get NAME]...
       grabline param list

Opens one instance and runs the --set and --get operations in the order given.
Each --get prints NAME = VALUE; the first failing operation prints NAME: CODE and
ends the command with status 1.

values:
  42, -7, 0x1f      an integer
  2.5, 1e-3         a decimal (with a point or an exponent)
  anything else     a string
  i:, d:, s:        force the type: i:7, d:7, s:7
  a,b,c             several values, each typed on its own
  \, \\ \xNN        a comma inside a value, a backslash, any byte
  --set NAME        an action without value, e.g. --set do_abort_grab
)";

const std::string_view kParamTail =
    R"(param list prints the parameter names the information queries give, marked
read-only, write-only or hidden, each with the description and the value list the
plug-in gives for it (NAME_description, NAME_values, read on an instance opened with
the open options).
)";

const std::string_view kInfoHead = R"(usage: grabline info [--interface NAME]

Prints what the plug-in's information queries answer: description, revision, default
open values, value lists and the parameter lists.
)";

const std::string_view kSerialHead =
    R"(usage: grabline serial [OPEN OPTIONS] [OPTIONS] "COMMAND"...
       grabline serial [OPEN OPTIONS] [OPTIONS] --interactive

Opens the serial port of the instance's camera (do_comm_open), sends each COMMAND
ended by CR (do_comm_write) and prints the camera's answer (serial_message, one
line, CR and LF removed). With --interactive, further commands come from standard
input line by line until end of input (Ctrl-D); a failing command is reported and
the console goes on. Bytes outside printable ASCII are shown as \xNN.
)";

const std::string_view kViewHead =
    R"(usage: grabline view [--device NAME] [--camera FILE] [--camera-port N] [--color gray|rgb]
                     [--bits N] [--set NAME=VALUE]... [--port N] [--listen ADDR]
                     [--no-open]

Opens one instance like grab, grabs continuously (a snap per frame for triggered camera
files) and serves a live view with controls at http://ADDR:PORT/; the address is
printed on start. Ctrl-C stops it: the instance is closed and the summary printed as
grab prints it.
)";

}  // namespace grabline::tool::help
