#ifndef KIV_APP_RUN_H_
#define KIV_APP_RUN_H_

namespace kiv {

// Exit codes of a run.
enum ExitCode {
  kExitConverted = 0,
  kExitHelp = 1,          // too few arguments: the help screen
  kExitSameFile = 2,      // source and target are one file
  kExitNoSource = 3,      // the source cannot be opened
  kExitUsage = 4,         // source or target not named
  kExitUnwritable = 5,    // the target cannot be opened or written
  kExitUnreadable = 6,    // reading the source failed
};

// How the program was called: Kiv takes file names, KivS always runs
// between pipes, from standard input to standard output.
enum class Variant { files, pipe };

// Performs one whole call: options, stream selection and checks,
// conversion. Returns the exit code; all messages go to standard output.
int run(int argc, char* argv[], Variant variant);

}  // namespace kiv

#endif  // KIV_APP_RUN_H_
