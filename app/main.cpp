#include "app/run.h"

int main(int argc, char* argv[]) {
  return kiv::run(argc, argv, kiv::Variant::files);
}
