#include "help_text.hpp"

namespace grabline::tool {
namespace {

constexpr std::string_view kOverview =
    R"(grabline: grab images from frame grabber boards through the grabline plug-ins

usage: grabline [--interface NAME] [--system FILE] [--cameras DIR] COMMAND [OPTIONS]

commands:
  grab     open a board, grab frames, save them as PNG with a contact sheet
  list     installed boards and the camera files found
  param    set and read parameters on one open instance
  info     what the plug-in's information queries answer
  serial   send commands to the camera over its serial port and print its answers
  grabline help COMMAND, or grabline COMMAND --help: the options of a command

options of every command:
  --interface NAME  plug-in to load: grablinexl (default), grabline or pargrabline;
                    a plug-in of another host build runs in the tool built for that
                    host (grabline, grabline-standard, grabline-par, side by side)
  --system FILE     simulated boards from this system file (sets GRABLINE_SIM_SYSTEM)
  --cameras DIR     directory of camera files (sets GRABLINE_CAMERAS)

environment:
  GRABLINE_SIM_SYSTEM  system file of the simulated boards (format: cameras/README.md);
                       unset: one R64 Camera Link board, two ports, a free-running
                       8-bit camera
  GRABLINE_CAMERAS     directory of camera files; unset: )";

constexpr std::string_view kOverviewEnd = R"(
  GRABLINE_SIM_DEBUG   set: the simulator's debug output goes to stderr
  GRABLINE_REGISTRY    directory tree the plug-in reads registry values from; the
                       camera-file query's directory is one of them
  TARVEL_PLUGIN_PATH   where the host loads plug-ins from; unset: beside the host library

exit status: 0 done, 1 an operation failed, 2 bad command line
)";

constexpr std::string_view kOpenOptions = R"(open options:
  --device NAME     default (the first board), R64:0, RoadRunner:1, Raven:0, GN2:0 or
                    Switch:S,Connector:C
  --camera FILE     camera file, or default (the board's own); a name without '/' that
                    is not in the working directory is looked for in the camera files
                    directory
  --port N          camera port (default 0)
  --color gray|rgb  colour space (default gray)
  --bits N          bits per channel; -1 (default): the camera's depth
)";

constexpr std::string_view kGrab = R"(usage: grabline grab [OPTIONS]

Opens the device, sets the parameters and grabs. Every saved frame is written as a
PNG: gray as 8 or 16 bits (32-bit gray as its upper 16 bits), three or four channel
images as one RGB PNG of images 0, 1, 2 as red, green, blue. A contact sheet of the
saved frames goes beside them. Progress goes to stderr: a bar on a terminal, a line
a second otherwise; the summary goes to stdout.

)";

constexpr std::string_view kGrabOptions = R"(grab options:
  --mode MODE       snap (default): one snap a frame; async: the next snap starts while
                    the last frame is saved; continuous: the board fills the ring itself,
                    8 buffers unless --buffers, and when the tool falls behind the oldest
                    frame is dropped and counted (overwrite_method ignore, unless --set
                    overwrite_method=abort)
  --frames N        frames to grab (default 10 unless --duration is given)
  --duration S      grab for S seconds (with --frames: whichever ends first)
  --timeout MS      grab_timeout: how long one grab waits for its frame
  --buffers N       num_buffers: buffers in the ring (2 to 65535)
  --volatile        images over the ring buffers instead of copies (gray only)
  --set NAME=VALUE  set a parameter before grabbing; repeatable; values as for param
  --max-age MS      async only: the oldest started frame a grab still takes (default 1000)
  --out DIR         where the PNG files go (default out)
  --every N         save every Nth frame (default 1; 0 saves none)
  --json            the summary as one JSON object (frames, seconds, fps, dropped,
                    timeouts, errors, ...)
  --trigger SOURCE  software: every grab fires one software trigger (software_trigger
                    enable; needs a one-shot camera file such as oneshot8.cam);
                    external: frames follow the board's trigger input (external_trigger
                    enable; a triggered camera file, or a board that triggers any camera)
  --pulse-rate HZ   with --trigger external: the tool drives the simulated board's
                    trigger input with pulses at this rate (default 100; 0: no pulses,
                    grabs then wait for a trigger that never comes)

A run ends after three time-outs in a row or at the first other grab error, and then
exits with status 1.
)";

constexpr std::string_view kParam =
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

constexpr std::string_view kParamList = R"(
param list prints the parameter names the information queries give, marked
read-only, write-only or hidden, each with the description and the value list the
plug-in gives for it (NAME_description, NAME_values, read on an instance opened with
the open options).
)";

constexpr std::string_view kSerial =
    R"(usage: grabline serial [OPEN OPTIONS] [OPTIONS] "COMMAND"...
       grabline serial [OPEN OPTIONS] [OPTIONS] --interactive

Opens the serial port of the instance's camera (do_comm_open), sends each COMMAND
ended by CR (do_comm_write) and prints the camera's answer (serial_message, one
line, CR and LF removed). With --interactive, further commands come from standard
input line by line until end of input (Ctrl-D); a failing command is reported and
the console goes on. Bytes outside printable ASCII are shown as \xNN.

serial options:
  --baud N          line speed: 9600, 19200, 38400, 57600, 115200 or 230400
                    (serial_baudrate); unset: the port's current line. The camera
                    hears only at its own speed (the simulated camera: 9600)
  --timeout MS      how long to wait for each byte of an answer (serial_timeout,
                    default 1000)
  --lines N         answer lines to read after each command (default 1; 0: send only)
  --interactive     read commands from standard input after those given

)";

constexpr std::string_view kList =
    R"(usage: grabline list [--interface NAME] [--system FILE] [--cameras DIR]

Lists the installed (simulated) boards with the device name that opens each, family,
kinds, camera ports, switch and connector numbers, and the camera files found in the
camera files directory and in the directory the plug-in's camera-file query names.
)";

constexpr std::string_view kInfo = R"(usage: grabline info [--interface NAME]

Prints what the plug-in's information queries answer: description, revision, default
open values, value lists and the parameter lists.
)";

}  // namespace

std::string HelpText(Command command, std::string_view cameras_dir) {
  switch (command) {
    case Command::kGrab:
      return std::string(kGrab) + std::string(kOpenOptions) + std::string(kGrabOptions);
    case Command::kParam:
      return std::string(kParam) + std::string(kOpenOptions) + std::string(kParamList);
    case Command::kList:
      return std::string(kList);
    case Command::kInfo:
      return std::string(kInfo);
    case Command::kSerial:
      return std::string(kSerial) + std::string(kOpenOptions);
    case Command::kView:
    case Command::kNone:
      break;
  }
  return std::string(kOverview) + std::string(cameras_dir) + std::string(kOverviewEnd);
}

}  // namespace grabline::tool
