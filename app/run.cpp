#include "app/run.h"

#include <cstdio>
#include <cstring>

#include "app/platform.h"
#include "convert/stream.h"
#include "convert/wrappers.h"
#include "options/options.h"
#include "texts/help.h"
#include "texts/messages.h"

namespace kiv {
namespace {

constexpr char kStandardStreamName[] = "-";

// Returns the position of the first operand at or after `from`, or argc.
int next_operand(int argc, char* argv[], int from) {
  while (from < argc && !is_operand(argv[from])) ++from;
  return from;
}

// Takes the next operand for one stream: "-" turns on the standard stream,
// anything else is the file name. Returns the position after it.
int select_stream(int argc, char* argv[], int from, bool& use_standard,
                  const char*& name) {
  if (use_standard) return from;
  int at = next_operand(argc, argv, from);
  if (at == argc) return at;
  if (std::strcmp(argv[at], kStandardStreamName) == 0) {
    use_standard = true;
  } else {
    name = argv[at];
  }
  return at + 1;
}

// Writes everything still buffered and closes the output. A standard
// output stays open so that a message can still follow; it is closed
// when the process ends.
bool finish_output(std::FILE* output) {
  if (output == stdout) return std::fflush(output) == 0 && !std::ferror(output);
  bool written = !std::ferror(output);
  return std::fclose(output) == 0 && written;
}

// Refuses a source that is also the target. The message is left out when
// standard output goes into that very file: it would land in the source.
int refuse_same_file(const char* name, const FileIdentity& source) {
  if (!same_file(source, identify_stream(stdout))) {
    std::printf(kSameFile, name);
  }
  return kExitSameFile;
}

}  // namespace

int run(int argc, char* argv[], Variant variant) {
  const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : "Kiv";
  bool stdin_closed = fill_if_closed(0);
  bool stdout_closed = fill_if_closed(1);
  Options options = parse_options(argc, argv);
  if (variant == Variant::pipe) {
    options.read_stdin = true;
    options.write_stdout = true;
  }
  if (argc <= 2 && !options.read_stdin && !options.write_stdout) {
    show_help(stdout, program);
    return kExitHelp;
  }

  const char* source = nullptr;
  const char* target = nullptr;
  int next = select_stream(argc, argv, 1, options.read_stdin, source);
  select_stream(argc, argv, next, options.write_stdout, target);
  if ((source == nullptr && !options.read_stdin) ||
      (target == nullptr && !options.write_stdout)) {
    show_usage_error(stdout, program);
    return kExitUsage;
  }
  if (source != nullptr && target != nullptr &&
      std::strcmp(source, target) == 0) {
    return refuse_same_file(source, identify_path(source));
  }
  const char* source_name = source != nullptr ? source : kStandardStreamName;
  const char* target_name = target != nullptr ? target : kStandardStreamName;
  if (options.read_stdin && stdin_closed) {
    std::printf(kSourceUnreadable, source_name);
    return kExitUnreadable;
  }
  if (options.write_stdout && stdout_closed) return kExitUnwritable;

  std::FILE* input = stdin;
  if (source != nullptr) {
    input = std::fopen(source, kSourceMode);
    if (input == nullptr) {
      std::printf(kSourceMissing, source_name);
      return kExitNoSource;
    }
  } else {
    use_source_mode(stdin);
  }
  if (is_directory(input)) {
    std::fclose(input);
    std::printf(kSourceMissing, source_name);
    return kExitNoSource;
  }
  // Two names for one file (a link, "./a.txt", a redirection): opening the
  // target would empty the source before it is read.
  FileIdentity target_identity =
      target != nullptr ? identify_path(target) : identify_stream(stdout);
  FileIdentity source_identity = identify_stream(input);
  if (same_file(source_identity, target_identity)) {
    std::fclose(input);
    return refuse_same_file(source_name, source_identity);
  }

  std::FILE* output = stdout;
  if (target != nullptr) {
    output = std::fopen(target, "w");
    if (output == nullptr) {
      std::fclose(input);
      std::printf(kTargetUnwritable, target_name);
      return kExitUnwritable;
    }
  } else {
    use_text_mode(stdout);
  }
  // The filter writes large blocks of its own; a stream buffer would only
  // add a copy and a second write call per block.
  std::setvbuf(output, nullptr, _IONBF, 0);

  write_openers(output, options);
  ConvertStatus status =
      convert_text(input, output, options, kSourceLineEnds);
  bool read_failed = status == ConvertStatus::read_failed;
  std::fclose(input);
  if (status == ConvertStatus::ok && !read_failed) {
    write_closers(output, options);
    std::fputc('\n', output);
  }
  bool written = finish_output(output);
  if (read_failed) {
    std::printf(kSourceUnreadable, source_name);
    return kExitUnreadable;
  }
  if (!written || status == ConvertStatus::write_failed) {
    std::printf(kTargetUnwritable, target_name);
    return kExitUnwritable;
  }
  if (output == stdout && std::fclose(stdout) != 0) return kExitUnwritable;
  return kExitConverted;
}

}  // namespace kiv
