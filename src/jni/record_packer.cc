#include "jni/record_packer.h"

#include <bitset>
#include <cstdio>
#include <cstdlib>

#include "jni/java_fields.h"
#include "jni/java_strings.h"
#include "jni/messages.h"
#include "platform/management_platform.h"

namespace nxjni {

void RecordPacker::put_int(std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  const char b[4] = {static_cast<char>(u >> 24), static_cast<char>(u >> 16), static_cast<char>(u >> 8),
                     static_cast<char>(u)};
  bytes_.append(b, 4);
}

void RecordPacker::put_text(const std::string& text) {
  const std::size_t at = bytes_.size();
  put_int(0);
  append_java_utf8(bytes_, text);
  const auto n = static_cast<std::uint32_t>(bytes_.size() - at - 4);
  for (int k = 0; k < 4; ++k) bytes_[at + k] = static_cast<char>(n >> (24 - 8 * k));
}

bool RecordPacker::put_field(AlarmAttributeId id, const std::string& text) {
  const JavaField* f = java_field(id);
  if (!f) {
    std::fprintf(pfd, "%s", catalog_text(MSG_UNKNOWN_ATTRIBUTE));
    std::fflush(pfd);
    return false;
  }
  const auto slot = static_cast<char>(f->slot);
  switch (f->kind) {
    case FieldKind::kText:
    case FieldKind::kTextAlways:
      if (text.empty() && f->kind == FieldKind::kText) return false;
      bytes_ += static_cast<char>(kOpText);
      bytes_ += slot;
      put_text(text);
      return true;
    case FieldKind::kState:
      if (text != f->state_text) return false;
      bytes_ += static_cast<char>(kOpTrue);
      bytes_ += slot;
      return true;
    case FieldKind::kDateAlways:
    case FieldKind::kDateIfValid: {
      jint args[6];
      if (alarm_time_fields(text, args)) {
        bytes_ += static_cast<char>(kOpDate);
        bytes_ += slot;
        for (jint a : args) put_int(a);
        return true;
      }
      if (f->kind != FieldKind::kDateAlways) return false;
      bytes_ += static_cast<char>(kOpNull);
      bytes_ += slot;
      return true;
    }
    case FieldKind::kRecordId: {
      jint number = 0;
      if (!record_id_number(text, number)) return false;
      bytes_ += static_cast<char>(kOpRecordId);
      put_int(number);
      return true;
    }
    case FieldKind::kMoName:
      bytes_ += static_cast<char>(kOpMoName);
      put_text(text);
      return true;
    case FieldKind::kSeverity: {
      const int index = severity_index(text);
      if (index < 0) return false;
      bytes_ += static_cast<char>(kOpSeverity);
      bytes_ += static_cast<char>(index);
      return true;
    }
  }
  return false;
}

void RecordPacker::add(const RecordFields& fields) {
  const auto& wanted = fields.wanted();
  for (std::size_t i = 0; i < wanted.size(); ++i) {
    // One field per attribute, however often it is listed.
    if (fields.repeat(i)) continue;
    const AlarmAttributeId id = wanted[i];
    if (id == ATTR_LOG_NAME) {
      bytes_ += static_cast<char>(kOpLogName);
      continue;
    }
    // The record identifier is the record's own, not a map entry.
    const std::string* text = id == ATTR_LOG_RECORD_ID ? &fields.record_id() : fields.text(i);
    if (text) put_field(id, *text);
  }
  bytes_ += static_cast<char>(kOpEnd);
  ++records_;
}

namespace {

// The Java attribute code of the attributes that join an event record's own
// attribute set; -1 for the others.
int member_code(AlarmAttributeId id) {
  switch (id) {
    case ATTR_ACK_OPERATOR: return 0;
    case ATTR_ACK_STATE: return 1;
    case ATTR_ACK_TEXT: return 2;
    case ATTR_ACK_TIME: return 3;
    case ATTR_CLEAR_OPERATOR: return 4;
    case ATTR_CLEAR_STATE: return 5;
    case ATTR_CLEAR_TEXT: return 6;
    case ATTR_CLEAR_TIME: return 7;
    case ATTR_DISPLAY_OPERATOR: return 8;
    case ATTR_DISPLAY_STATE: return 9;
    case ATTR_DISPLAY_TEXT: return 10;
    case ATTR_DISPLAY_TIME: return 11;
    case ATTR_LOG_RECORD_ID: return 15;
    case ATTR_ADDITIONAL_TEXT: return 19;
    case ATTR_LOG_NAME: return 20;
    default: return -1;
  }
}

bool same_log(const EventLog& a, const EventLog& b) {
  return a.number == b.number && a.id == b.id && a.mis == b.mis;
}

}  // namespace

void RecordPacker::add_event(EventKind kind, const EventLog& log, const AlarmAttributeMap& attributes,
                             const std::string& record_id, const std::vector<AlarmAttributeId>& wanted) {
  bytes_ += static_cast<char>(kind);
  // 0: the previous event's log; 1: named; 2: numbered.
  if (last_log_ && same_log(*last_log_, log)) {
    bytes_ += '\0';
  } else {
    bytes_ += log.number ? '\2' : '\1';
    put_text(log.mis);
    if (log.number) {
      put_int(static_cast<std::int32_t>(std::strtol(log.id.c_str(), nullptr, 10)));
    } else {
      put_text(log.id);
    }
    last_log_ = log;
  }
  const bool members = kind != kEventCreated;
  if (kind != kEventResync) {
    std::bitset<ALARM_ATTRIBUTE_ID_COUNT> done;
    for (AlarmAttributeId id : wanted) {
      // One field per attribute, however often it is listed.
      const auto bit = static_cast<std::size_t>(id);
      if (bit < done.size()) {
        if (done[bit]) continue;
        done[bit] = true;
      }
      if (id == ATTR_LOG_NAME) {
        // A deletion's or change's record names its log in any case, last.
        if (!members) bytes_ += static_cast<char>(kOpLogName);
        continue;
      }
      const std::string* text = &record_id;
      if (id != ATTR_LOG_RECORD_ID) {
        const auto it = attributes.find(AlarmAttribute(id));
        if (it == attributes.end()) continue;
        text = &it->second;
      }
      const bool set = put_field(id, *text);
      // A member when present, but the record identifier only when its field was set.
      const int code = member_code(id);
      if (members && code >= 0 && (set || id != ATTR_LOG_RECORD_ID)) {
        bytes_ += static_cast<char>(kOpMember);
        bytes_ += static_cast<char>(code);
      }
    }
  }
  if (members) {
    bytes_ += static_cast<char>(kOpLogName);
    bytes_ += static_cast<char>(kOpMember);
    bytes_ += static_cast<char>(member_code(ATTR_LOG_NAME));
  }
  bytes_ += static_cast<char>(kOpEnd);
  ++records_;
}

}  // namespace nxjni
