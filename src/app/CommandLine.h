#pragma once

// `orvane COMMAND …`: the tags of files for scripts, without a window or a display. Writes go
// through the journal as the window's edits do.
namespace CommandLine {

// Whether the first argument names a command (otherwise the window starts).
bool isCommand(const char* argument);

// Runs the command of argv[1]; the process's exit code: 0 done (also when nothing matched),
// 1 an error, 2 a usage error. Messages go to stderr, prefixed "orvane: ".
int run(int argc, char* argv[]);

// The commands, for --help.
const char* summary();

}  // namespace CommandLine
