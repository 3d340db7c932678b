#include "app/run.h"

// KivS: Kiv between pipes, always from standard input to standard output.
int main(int argc, char* argv[]) {
  return kiv::run(argc, argv, kiv::Variant::pipe);
}
