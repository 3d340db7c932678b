#ifndef KIV_TESTS_E2E_TEXTS_H_
#define KIV_TESTS_E2E_TEXTS_H_

// The program's fixed texts as the end-to-end tests expect them: the
// messages of texts/messages.h with their names filled in; the help
// screen and the chain's results written out.

#include <string>

namespace kiv {

std::string help_screen(const std::string& program);
std::string usage_error(const std::string& program);
std::string same_name(const std::string& name);
std::string no_source(const std::string& name);
std::string unwritable(const std::string& name);
std::string unreadable(const std::string& name);

// What the chained example of the warning produces from "Dies ist ein
// Quelltext.\n" (JavaScript with frame, then C with frame).
extern const std::string kChainResult;
// The intermediate JavaScript of that chain.
extern const std::string kChainJavaScript;
// The warning that follows when several syntaxes are chosen.
extern const std::string kWarning;

}  // namespace kiv

#endif  // KIV_TESTS_E2E_TEXTS_H_
