/* Prints the page that page.html holds. Kiv writes page.inc from it at
   build time, as one printf statement (-C -D). */
#include <stdio.h>

int main(void) {
#include "page.inc"
  return 0;
}
