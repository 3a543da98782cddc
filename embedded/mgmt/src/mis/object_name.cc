#include "mis/object_name.h"

#include <cerrno>
#include <cstdlib>

namespace nxmp_mis {
namespace {

// A cursor over the name text; every read checks the end first.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}
  bool done() const { return pos_ >= text_.size(); }
  bool take(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }
  // A double-quoted text without quotes inside; not empty.
  bool quoted(std::string& out) {
    if (!take("\"")) return false;
    std::size_t end = text_.find('"', pos_);
    if (end == std::string_view::npos || end == pos_) return false;
    out.assign(text_.substr(pos_, end - pos_));
    pos_ = end + 1;
    return true;
  }
  bool number(long& out, std::string& digits) {
    std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
    if (pos_ == start || pos_ - start > 18) return false;
    digits.assign(text_.substr(start, pos_ - start));
    out = std::strtol(digits.c_str(), nullptr, 10);
    return true;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

std::optional<ObjectRef> parse_object_name(std::string_view text) {
  Cursor c(text);
  ObjectRef ref;
  if (!c.take("/systemId=name:") || !c.quoted(ref.system)) return std::nullopt;
  if (c.done()) return ref;
  if (c.take("/applicationId=string:")) {
    if (!c.quoted(ref.application) || !c.done()) return std::nullopt;
    ref.kind = ObjectRef::Kind::kApplication;
    return ref;
  }
  if (!c.take("/logId=")) return std::nullopt;
  if (c.take("string:")) {
    if (!c.quoted(ref.log_id)) return std::nullopt;
  } else if (c.take("number:")) {
    long n = 0;
    if (!c.number(n, ref.log_id)) return std::nullopt;
    ref.log_id = std::to_string(n);  // one spelling per log: no leading zeros
    ref.log_is_number = true;
  } else {
    return std::nullopt;
  }
  ref.kind = ObjectRef::Kind::kLog;
  if (c.done()) return ref;
  std::string digits;
  // A record id is a number; its choice prefix may be left out.
  if (!c.take("/logRecordId=")) return std::nullopt;
  c.take("number:");
  if (!c.number(ref.record_id, digits) || !c.done()) {
    return std::nullopt;
  }
  ref.kind = ObjectRef::Kind::kRecord;
  return ref;
}

std::string format_object_name(const ObjectRef& ref) {
  // Appended in place: every record written and every event names one.
  std::string out;
  out.reserve(48 + ref.system.size() + ref.application.size() + ref.log_id.size());
  out += "/systemId=name:\"";
  out += ref.system;
  out += '"';
  switch (ref.kind) {
    case ObjectRef::Kind::kSystem:
      break;
    case ObjectRef::Kind::kApplication:
      out += "/applicationId=string:\"";
      out += ref.application;
      out += '"';
      break;
    case ObjectRef::Kind::kLog:
    case ObjectRef::Kind::kRecord:
      if (ref.log_is_number) {
        out += "/logId=number:";
        out += ref.log_id;
      } else {
        out += "/logId=string:\"";
        out += ref.log_id;
        out += '"';
      }
      if (ref.kind == ObjectRef::Kind::kRecord) {
        out += "/logRecordId=number:";
        out += std::to_string(ref.record_id);
      }
      break;
  }
  return out;
}

ObjectRef log_of(const ObjectRef& ref) {
  ObjectRef log = ref;
  log.kind = ObjectRef::Kind::kLog;
  log.record_id = 0;
  return log;
}

}  // namespace nxmp_mis
