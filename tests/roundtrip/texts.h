#ifndef KIV_TESTS_ROUNDTRIP_TEXTS_H_
#define KIV_TESTS_ROUNDTRIP_TEXTS_H_

// The texts the round-trip tests convert, and what a target program
// prints for each of them. Written from the conversion rules, not from
// Kiv's code, so that the two can disagree.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::roundtrip {

struct Text {
  std::string name;
  std::string bytes;
};

// What the print command of any preset prints for `text`: each line feed
// and each carriage return becomes a line feed, a blank directly before
// one of them disappears, and the end of the text adds one line feed.
std::string printed_text(std::string_view text);

// Whether a preset's print command can carry the text faithfully (the
// cases that it cannot carry are shown in limits_test.cpp).
bool c_carries(std::string_view text);           // no NUL, no trigraph
bool php_carries(std::string_view text);         // no $name, ${ or {$
bool javascript_carries(std::string_view text);  // well-formed UTF-8
bool bash_carries(std::string_view text);        // no NUL, $, ` or backslash
bool sed_carries(std::string_view text);         // everything

using Carries = bool (*)(std::string_view);

// Realistic texts: markup, code, data, awkward whitespace, encodings.
const std::vector<Text>& realistic_texts();

// The realistic texts that `carries` accepts.
std::vector<Text> realistic_texts_for(Carries carries);

// `count` random texts made from bytes (or, with utf8, from characters
// encoded as UTF-8), each accepted by `carries`; the same seed always
// gives the same texts.
std::vector<Text> random_texts(std::uint32_t seed, int count, Carries carries,
                               bool utf8 = false);

// `count` random texts made of pieces of markup, script and text (tags,
// entities, comment and script delimiters, line breaks, blanks,
// backslashes, umlauts, an emoji, line separators, `${x}`); all of them
// are UTF-8. The same seed always gives the same texts.
std::vector<Text> random_page_texts(std::uint32_t seed, int count);

}  // namespace kiv::roundtrip

#endif  // KIV_TESTS_ROUNDTRIP_TEXTS_H_
