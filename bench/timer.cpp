// Times commands for bench/run without the shell's own cost: each round
// runs the commands in turn (the order alternating from round to round),
// and prints one line per round with the wall time of each in seconds.
// The files named with --remove are deleted before every run, outside the
// timing. (Peak RSS is left to /usr/bin/time: a child started from this
// larger program would inherit its high-water mark.)
//
//   kiv_timer ROUNDS [--remove FILE]... -- COMMAND... [-- COMMAND...]

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

extern char** environ;

namespace {

struct Result {
  double seconds;
  bool ok;
  int status;  // as waitpid gives it; -1 if the command did not start
};

Result run(char* const* argv) {
  timespec start;
  timespec stop;
  clock_gettime(CLOCK_MONOTONIC, &start);
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv, environ) != 0) {
    return {0, false, -1};
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return {0, false, -1};
  clock_gettime(CLOCK_MONOTONIC, &stop);
  double seconds = static_cast<double>(stop.tv_sec - start.tv_sec) +
                   static_cast<double>(stop.tv_nsec - start.tv_nsec) / 1e9;
  bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return {seconds, ok, status};
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: kiv_timer ROUNDS [--remove FILE]... -- COMMAND... "
                 "[-- COMMAND...]\n");
    return 2;
  }
  int rounds = std::atoi(argv[1]);
  std::vector<const char*> removals;
  std::vector<std::vector<char*>> commands;
  int at = 2;
  while (at < argc && std::strcmp(argv[at], "--") != 0) {
    if (std::strcmp(argv[at], "--remove") == 0 && at + 1 < argc) {
      removals.push_back(argv[at + 1]);
      at += 2;
    } else {
      std::fprintf(stderr, "kiv_timer: unknown argument %s\n", argv[at]);
      return 2;
    }
  }
  while (at < argc) {  // argv[at] is "--"
    commands.emplace_back();
    for (++at; at < argc && std::strcmp(argv[at], "--") != 0; ++at) {
      commands.back().push_back(argv[at]);
    }
    commands.back().push_back(nullptr);
  }
  if (commands.empty() || commands[0].size() < 2) {
    std::fprintf(stderr, "kiv_timer: no command\n");
    return 2;
  }
  std::vector<Result> results(commands.size());
  for (int round = 0; round < rounds; ++round) {
    for (std::size_t i = 0; i < commands.size(); ++i) {
      std::size_t which = round % 2 == 0 ? i : commands.size() - 1 - i;
      for (const char* path : removals) unlink(path);
      results[which] = run(commands[which].data());
      if (!results[which].ok) {
        // Which run of which command, and how it ended, so that a rare
        // failure (a Wine start that went wrong) can be told from a
        // program's own.
        int status = results[which].status;
        std::fprintf(stderr, "kiv_timer: round %d:", round + 1);
        for (char* const* arg = commands[which].data(); *arg; ++arg) {
          std::fprintf(stderr, " %s", *arg);
        }
        if (status == -1) {
          std::fprintf(stderr, ": did not start\n");
        } else if (WIFSIGNALED(status)) {
          std::fprintf(stderr, ": ended by signal %d\n", WTERMSIG(status));
        } else {
          std::fprintf(stderr, ": exit status %d\n", WEXITSTATUS(status));
        }
        return 1;
      }
    }
    for (std::size_t i = 0; i < commands.size(); ++i) {
      std::printf("%s%.6f", i > 0 ? " " : "", results[i].seconds);
    }
    std::printf("\n");
  }
  return 0;
}
