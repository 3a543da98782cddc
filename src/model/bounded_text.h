// BoundedText: appends to a fixed, caller-owned buffer and remembers running
// out of room, so a name that does not fit is refused (finish gives the empty
// text) rather than cut into the name of another object. Used by the name
// conversions that hand out static buffers.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

class BoundedText {
 public:
  BoundedText(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}

  void put(char c) { put(std::string_view(&c, 1)); }
  void put(std::string_view text) {
    // One byte always stays free for the terminating NUL.
    if (overflow_ || text.size() >= capacity_ - length_) {
      overflow_ = true;
      return;
    }
    std::memcpy(buffer_ + length_, text.data(), text.size());
    length_ += text.size();
  }
  std::size_t length() const { return length_; }
  char last() const { return length_ == 0 ? '\0' : buffer_[length_ - 1]; }
  void drop_last() {
    if (length_ != 0 && !overflow_) --length_;
  }
  bool overflow() const { return overflow_; }
  const char* finish() {
    if (overflow_) length_ = 0;
    buffer_[length_] = '\0';
    return buffer_;
  }

 private:
  char* buffer_;
  std::size_t capacity_;
  std::size_t length_ = 0;
  bool overflow_ = false;
};
