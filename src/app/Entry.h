#pragma once

namespace brimlet {

// Runs one use of the program chosen from the command line and returns the exit status.
[[nodiscard]] int runEntry(int argc, char* argv[]);

}  // namespace brimlet
