// getAlarmPageNative: one page of a log's records in the query's order, read
// from the position a page token names (keyset), never by skipping rows.
#include <jni.h>

#include <optional>
#include <string>
#include <vector>

#include "com_qel_nx_api_alarm_AlarmLogImpl.h"
#include "db/page_reader.h"
#include "jni/batch.h"
#include "jni/convert.h"
#include "jni/java_ids.h"
#include "jni/java_lookup.h"
#include "jni/java_strings.h"
#include "jni/java_text.h"
#include "jni/java_types.h"
#include "jni/jni_calls.h"
#include "jni/locations.h"
#include "jni/messages.h"
#include "jni/native_support.h"
#include "jni/packed_records.h"
#include "jni/packed_stream.h"
#include "jni/query_order.h"
#include "jni/scoped_jni.h"
#include "platform/management_platform.h"
#include "query/alarm_query.h"
#include "query/page_token.h"

namespace {

// AlarmLogImpl.MAX_PAGE_SIZE.
constexpr jint kMaxPageSize = 10000;

void refuse(JNIEnv* env, nxjni::Message m, const std::string& what) {
  nxjni::throw_alarm_exception(env, nxjni::catalog_format(m, what.c_str()).c_str());
}

// The token's position; false with AlarmException raised when the token is
// refused, or false without one when its text could not be had.
bool token_position(JNIEnv* env, jstring token, const RecordOrder& order, const std::string& binding,
                    PagePosition& position) {
  if (env->GetStringLength(token) > static_cast<jsize>(kMaxPageTokenChars)) {
    refuse(env, nxjni::MSG_PAGE_TOKEN, token_fault_text(TokenFault::kLength));
    return false;
  }
  std::string text;
  if (!nxjni::java_text(env, token, nxjni::kAnyText, text)) return false;
  const TokenFault fault = decode_page_token(text, order, binding, position);
  if (fault != TokenFault::kNone) {
    refuse(env, nxjni::MSG_PAGE_TOKEN, token_fault_text(fault));
    return false;
  }
  return true;
}

}  // namespace

extern "C" JNIEXPORT jobject JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_getAlarmPageNative(
    JNIEnv* env, jobject self, jobject log_name, jobject query, jobject attr_set, jint limit, jstring page_token) {
  HviLock lock;
  Batch::reap();
  if (!nxjni::require_service(env)) return nullptr;
  const nxjni::JavaIds& ids = nxjni::java_ids();
  if (!nxjni::is_java_type(env, page_token, ids.string, "page token", "a String")) return nullptr;
  std::string log;
  if (!nxjni::log_name_text(env, log_name, ids.log_name_full, loc::kPageLogName, log)) return nullptr;
  if (limit <= 0 || limit > kMaxPageSize) {
    refuse(env, nxjni::MSG_PAGE_LIMIT, std::to_string(limit));
    return nullptr;
  }
  AlarmQuery native_query;
  RecordOrder order;
  std::list<AlarmAttributeId> attributes;
  nxjni::Conv c = jobject2FilterList(env, query, native_query);
  if (c == nxjni::Conv::ok) c = nxjni::jobject2Order(env, query, order);
  if (c == nxjni::Conv::ok) {
    if (attr_set) {
      c = jobject2AttrSet(env, attr_set, attributes);
    } else {
      location_line(kApiSource, loc::kNoAttributes);
    }
  }
  if (c != nxjni::Conv::ok) return nullptr;
  std::string condition;
  if (!native_query.create_sql_filter(condition)) {
    nxjni::throw_alarm_exception(env, nxjni::MSG_QUERY_NO_SQL);
    return nullptr;
  }
  // The token binds the log, the condition and the order: a token of
  // another read would start this one at a position that means nothing.
  const std::string binding = page_binding(log, condition, order);
  PagePosition after;
  if (page_token && !token_position(env, page_token, order, binding, after)) return nullptr;

  const std::vector<AlarmAttributeId> wanted(attributes.begin(), attributes.end());
  PageEnd end;
  const nxjni::FieldRead read = [&](const std::function<bool(const RecordFields&)>& sink) {
    return read_log_page(log, condition, order, page_token ? &after : nullptr, static_cast<std::size_t>(limit),
                         wanted, sink, end);
  };
  std::optional<nxjni::PackedRecords> packed;
  bool record_failed = false;
  const auto take = [&](nxjni::PackedRun& run) {
    if (!packed) packed.emplace(env, log_name, attr_set);
    record_failed = !packed->ok() || !packed->add(run);
    return !record_failed;
  };
  if (!nxjni::stream_packed(read, nxjni::kNoBatches, {}, take)) {
    nxjni::throw_alarm_exception(env, nxjni::MSG_LOAD_FAILED);
    return nullptr;
  }
  if (record_failed) return nullptr;
  ScopedLocalRef<jobjectArray> records(env, packed ? packed->drain() : env->NewObjectArray(0, ids.alarm_record, nullptr));
  if (!records) {
    location_line(kApiSource, loc::kNoArray);
    checkForException(env);
    return nullptr;
  }
  ScopedLocalRef<jstring> next(env, nullptr);
  if (end.more && end.records > 0) {
    next.reset(nxjni::new_java_string(env, encode_page_token(order, end.last, binding)));
    if (!next) {
      checkForException(env);
      return nullptr;
    }
  }
  jobject page = nxjni::new_object(env, ids.alarm_page, ids.page_ctor, records.get(), next.get(), self, log_name, query);
  if (!page) {
    location_line(kApiSource, loc::kNoPage);
    checkForException(env);
  }
  return page;
}
