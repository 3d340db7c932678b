#include "convert/wrappers.h"

#include <string_view>

#include "texts/messages.h"

namespace kiv {
namespace {

// The pieces one syntax writes around the text; empty where it has none.
struct Syntax {
  bool Options::*flag;
  std::string_view frame_opener;
  std::string_view command_opener;
  std::string_view command_closer;
  std::string_view frame_closer;
};

constexpr Syntax kC = {
    &Options::syntax_c,
    "#include <stdio.h>\n\nint main()\n{\n",
    "printf(\"",
    "\");\n",
    "} // main()\n",
};

constexpr Syntax kPhp = {
    &Options::syntax_php,
    "<?php\n",
    "print(\"",
    "\");\n",
    "?>\n",
};

constexpr Syntax kJavaScript = {
    &Options::syntax_javascript,
    "<script type=\"text/javascript\">\n<!--\n",
    "document.write(\"",
    "\");\n",
    "//-->\n</script>\n",
};

constexpr Syntax kBash = {
    &Options::syntax_bash,
    "#!/bin/bash\n",
    "echo -e \"",
    "\"\n",
    "",
};

constexpr Syntax kSed = {
    &Options::syntax_sed,
    "#!/bin/sed -f\n",
    "s/#Suchwort/",
    "/\n",
    "",
};

constexpr const Syntax* kOpenOrder[] = {&kC, &kPhp, &kJavaScript, &kBash,
                                        &kSed};

// C, PHP and JavaScript share one command closer, written once for all of
// them, between sed's and Bash's.
struct CloserGroup {
  const Syntax* members[3];
};
constexpr CloserGroup kCommandCloseOrder[] = {
    {{&kSed}},
    {{&kC, &kPhp, &kJavaScript}},
    {{&kBash}},
};

constexpr const Syntax* kFrameCloseOrder[] = {&kJavaScript, &kPhp, &kC};

void put(std::FILE* output, std::string_view piece) {
  std::fwrite(piece.data(), 1, piece.size(), output);
}

bool chosen(const Options& options, const Syntax* syntax) {
  return syntax != nullptr && options.*(syntax->flag);
}

}  // namespace

void write_openers(std::FILE* output, const Options& options) {
  if (options.print_frame) {
    for (const Syntax* syntax : kOpenOrder) {
      if (chosen(options, syntax)) put(output, syntax->frame_opener);
    }
  }
  if (options.print_command) {
    for (const Syntax* syntax : kOpenOrder) {
      if (chosen(options, syntax)) put(output, syntax->command_opener);
    }
  }
}

void write_closers(std::FILE* output, const Options& options) {
  if (options.print_command) {
    for (const CloserGroup& group : kCommandCloseOrder) {
      for (const Syntax* syntax : group.members) {
        if (chosen(options, syntax)) {
          put(output, syntax->command_closer);
          break;
        }
      }
    }
  }
  if (options.print_frame) {
    for (const Syntax* syntax : kFrameCloseOrder) {
      if (chosen(options, syntax)) put(output, syntax->frame_closer);
    }
  }
  if (options.print_command && syntax_count(options) > 1) {
    std::fprintf(output, kMultiSyntaxWarning, kPrintFileCommand,
                 kPrintFileCommand, kPrintFileCommand);
  }
}

}  // namespace kiv
