#include "jni/record_packer.h"

#include <cstdio>

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
    if (!text) continue;
    const JavaField* f = java_field(id);
    if (!f) {
      std::fprintf(pfd, "%s", catalog_text(MSG_UNKNOWN_ATTRIBUTE));
      std::fflush(pfd);
      continue;
    }
    const auto slot = static_cast<char>(f->slot);
    switch (f->kind) {
      case FieldKind::kText:
      case FieldKind::kTextAlways:
        if (text->empty() && f->kind == FieldKind::kText) break;
        bytes_ += static_cast<char>(kOpText);
        bytes_ += slot;
        put_text(*text);
        break;
      case FieldKind::kState:
        if (*text == f->state_text) {
          bytes_ += static_cast<char>(kOpTrue);
          bytes_ += slot;
        }
        break;
      case FieldKind::kDateAlways:
      case FieldKind::kDateIfValid: {
        jint args[6];
        if (alarm_time_fields(*text, args)) {
          bytes_ += static_cast<char>(kOpDate);
          bytes_ += slot;
          for (jint a : args) put_int(a);
        } else if (f->kind == FieldKind::kDateAlways) {
          bytes_ += static_cast<char>(kOpNull);
          bytes_ += slot;
        }
        break;
      }
      case FieldKind::kRecordId: {
        jint number = 0;
        if (record_id_number(*text, number)) {
          bytes_ += static_cast<char>(kOpRecordId);
          put_int(number);
        }
        break;
      }
      case FieldKind::kMoName:
        bytes_ += static_cast<char>(kOpMoName);
        put_text(*text);
        break;
      case FieldKind::kSeverity: {
        const int index = severity_index(*text);
        if (index >= 0) {
          bytes_ += static_cast<char>(kOpSeverity);
          bytes_ += static_cast<char>(index);
        }
        break;
      }
    }
  }
  bytes_ += static_cast<char>(kOpEnd);
  ++records_;
}

}  // namespace nxjni
