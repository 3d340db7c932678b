#ifndef KIV_TESTS_ROUNDTRIP_CHAIN_H_
#define KIV_TESTS_ROUNDTRIP_CHAIN_H_

// The chain of the warning text, up to the page: a text becomes a
// JavaScript page (-J -Du), the page becomes a C program (-C -Du), and
// the compiled program prints the page.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/roundtrip/client.h"
#include "tests/roundtrip/texts.h"

namespace kiv::roundtrip {

// The C statement that prints case_marker(index).
std::string c_marker_call(std::size_t index);

// Runs the chain for every text: all the C programs are compiled with
// `gcc` into one program in `dir`, which is run. Succeeds when it prints
// every page as Kiv wrote it; `pages` then holds them, one per text.
::testing::AssertionResult print_chain_pages(const ScratchDir& dir, const std::string& gcc,
                                             const std::vector<Text>& texts,
                                             std::vector<std::string>& pages);

}  // namespace kiv::roundtrip

#endif  // KIV_TESTS_ROUNDTRIP_CHAIN_H_
