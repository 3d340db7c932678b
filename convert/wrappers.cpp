#include "convert/wrappers.h"

#include <cstring>
#include <string_view>

#include "io/output.h"
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

// The warning as written: each of its three "%s" becomes the print command.
constexpr std::size_t kWarningLength =
    sizeof kMultiSyntaxWarning - 1 + 3 * (sizeof kPrintFileCommand - 1 - 2);

constexpr std::size_t sum_of(std::string_view Syntax::*piece) {
  std::size_t sum = 0;
  for (const Syntax* syntax : kOpenOrder) sum += (syntax->*piece).size();
  return sum;
}
static_assert(sum_of(&Syntax::frame_opener) + sum_of(&Syntax::command_opener) <=
                  kOpenersRoom,
              "the openers outgrow their room");
static_assert(sum_of(&Syntax::command_closer) + sum_of(&Syntax::frame_closer) +
                      kWarningLength + 1 <=
                  kClosersRoom,
              "the closers and the warning outgrow their room");

unsigned char* put(unsigned char* out, std::string_view piece) {
  std::memcpy(out, piece.data(), piece.size());
  return out + piece.size();
}

bool chosen(const Options& options, const Syntax* syntax) {
  return syntax != nullptr && options.*(syntax->flag);
}

}  // namespace

std::size_t put_openers(const Options& options, unsigned char* out) {
  unsigned char* o = out;
  if (options.print_frame) {
    for (const Syntax* syntax : kOpenOrder) {
      if (chosen(options, syntax)) o = put(o, syntax->frame_opener);
    }
  }
  if (options.print_command) {
    for (const Syntax* syntax : kOpenOrder) {
      if (chosen(options, syntax)) o = put(o, syntax->command_opener);
    }
  }
  return static_cast<std::size_t>(o - out);
}

std::size_t put_closers(const Options& options, unsigned char* out) {
  unsigned char* o = out;
  if (options.print_command) {
    for (const CloserGroup& group : kCommandCloseOrder) {
      for (const Syntax* syntax : group.members) {
        if (chosen(options, syntax)) {
          o = put(o, syntax->command_closer);
          break;
        }
      }
    }
  }
  if (options.print_frame) {
    for (const Syntax* syntax : kFrameCloseOrder) {
      if (chosen(options, syntax)) o = put(o, syntax->frame_closer);
    }
  }
  if (options.print_command && syntax_count(options) > 1) {
    std::size_t room = kClosersRoom - static_cast<std::size_t>(o - out);
    int length =
        std::snprintf(reinterpret_cast<char*>(o), room, kMultiSyntaxWarning,
                      kPrintFileCommand, kPrintFileCommand, kPrintFileCommand);
    if (length > 0) o += static_cast<std::size_t>(length);
  }
  return static_cast<std::size_t>(o - out);
}

bool write_openers(std::FILE* output, const Options& options) {
  unsigned char pieces[kOpenersRoom];
  return write_all(descriptor_of(output), pieces, put_openers(options, pieces));
}

bool write_closers(std::FILE* output, const Options& options) {
  unsigned char pieces[kClosersRoom];
  return write_all(descriptor_of(output), pieces, put_closers(options, pieces));
}

}  // namespace kiv
