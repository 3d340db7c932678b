#include "app/platform.h"

namespace kiv {

bool same_numbers(const FileIdentity& a, const FileIdentity& b) {
  return a.known && b.known && a.index == b.index &&
         a.index_high == b.index_high &&
         (a.device == b.device || !a.device_known || !b.device_known);
}

bool same_file(const FileIdentity& a, const FileIdentity& b) {
  return a.comparable && b.comparable && a.block_device == b.block_device &&
         same_numbers(a, b);
}

}  // namespace kiv
