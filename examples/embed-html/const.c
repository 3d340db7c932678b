/* Prints the page that page.html holds, from the constant page_html that
   kiv_convert writes into page.h at build time. */
#include <stdio.h>

#include "page.h"

int main(void) {
  size_t length = sizeof page_html - 1;
  return fwrite(page_html, 1, length, stdout) == length && fflush(stdout) == 0 ? 0 : 1;
}
