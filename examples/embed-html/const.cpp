// Prints the page that page.html holds, from the constant page_html that
// kiv_convert writes into page.h at build time.
#include <iostream>

#include "page.h"

int main() {
  std::cout.write(page_html, sizeof page_html - 1);
  return std::cout.flush() ? 0 : 1;
}
