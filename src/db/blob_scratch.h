// What decoding the blob attributes of rows needs from one row to the next:
// the decoder's text buffer and the short names of the identifiers seen.
// Each row reader owns one, so reads on different threads share nothing.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/management_platform.h"

class BlobScratch {
 public:
  static constexpr std::size_t kBufferSize = 64 * 1024;

  // kBufferSize bytes, made at the first use.
  char* buffer() {
    if (buffer_.empty()) buffer_.resize(kBufferSize);
    return buffer_.data();
  }
  // The registry name of the identifier after its last ':'; false when the
  // registry has none.
  bool short_name(const Oid& oid, const std::string*& name);

 private:
  static constexpr std::size_t kMaxNames = 4096;
  struct Entry {
    bool known;
    std::string name;
  };

  std::vector<char> buffer_;
  // Held, so that a registry put in its place is never taken for it.
  std::shared_ptr<const OidNameRegistry> registry_;
  std::unordered_map<std::string, Entry> names_;
};
