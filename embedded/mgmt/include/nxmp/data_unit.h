// DataUnit: an immutable, shared byte string. Copies share one buffer, so
// passing names and encodings around costs a reference count, not a copy.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

class DataUnit {
 public:
  DataUnit();
  // Null and empty texts both give the empty unit.
  DataUnit(const char* text);  // NOLINT(google-explicit-constructor): names are passed as literals
  DataUnit(const std::string& text);  // NOLINT
  DataUnit(std::string&& text);  // NOLINT: takes the text's buffer, no copy
  DataUnit(const void* bytes, std::size_t length);

  // The bytes followed by a NUL, valid as long as this unit or a copy lives.
  const char* chp() const { return bytes_->c_str(); }
  const unsigned char* data() const {
    return reinterpret_cast<const unsigned char*>(bytes_->data());
  }
  std::size_t size() const { return bytes_->size(); }
  bool empty() const { return bytes_->empty(); }
  std::string str() const { return *bytes_; }
  std::string_view view() const { return *bytes_; }

  friend bool operator==(const DataUnit& a, const DataUnit& b) { return *a.bytes_ == *b.bytes_; }
  friend bool operator!=(const DataUnit& a, const DataUnit& b) { return !(a == b); }

 private:
  std::shared_ptr<const std::string> bytes_;
};

// Names the platform library hands its clients for events and properties.
namespace nxmp {
inline const DataUnit OBJECT_CREATED{"OBJECT_CREATED"};
inline const DataUnit OBJECT_DESTROYED{"OBJECT_DESTROYED"};
inline const DataUnit ATTR_CHANGED{"ATTR_CHANGED"};
// Journal entries were removed before this process read them: what it
// watches must be read again.
inline const DataUnit EVENTS_LOST{"EVENTS_LOST"};
// After each run of events delivered at once.
inline const DataUnit EVENT_RUN_END{"EVENT_RUN_END"};
inline const DataUnit PLATFORM_OBJNAME{"PLATFORM_OBJNAME"};
inline const DataUnit APPLICATION_OBJNAME{"APPLICATION_OBJNAME"};
inline const DataUnit REPLACE{"REPLACE"};
inline const DataUnit NX{"NX"};
inline const DataUnit EMPTY{};
}  // namespace nxmp
