#include "jni/java_lookup.h"
#include "jni/java_ids.h"
#include "jni/locations.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/alarm_database.h"

void location_line(const char* path, int check) {
  std::fprintf(stderr, "%s %d\n", path, check);
  std::fflush(stderr);
}

int checkForException(JNIEnv* env) {
  if (!env->ExceptionCheck()) return 0;
  env->ExceptionDescribe();  // prints and clears
  env->ExceptionClear();
  return 1;
}

jclass find_class(JNIEnv* env, const char* name) {
  jclass local = env->FindClass(name);
  if (!local) {
    location_line(kApiSource, loc::kFindClass);
    checkForException(env);
    return nullptr;
  }
  auto global = static_cast<jclass>(env->NewGlobalRef(local));
  env->DeleteLocalRef(local);
  return global;
}

jmethodID get_method_id(JNIEnv* env, jclass cls, const char* name, const char* sig, int is_static) {
  if (!cls) {
    location_line(kApiSource, loc::kNoClass);
    return nullptr;
  }
  jmethodID id = is_static ? env->GetStaticMethodID(cls, name, sig) : env->GetMethodID(cls, name, sig);
  if (!id) {
    location_line(kApiSource, loc::kGetMethod);
    checkForException(env);
  }
  return id;
}

jfieldID get_field_id(JNIEnv* env, jclass cls, const char* name, const char* sig, int is_static) {
  if (!cls) {
    location_line(kApiSource, loc::kNoClass);
    return nullptr;
  }
  jfieldID id = is_static ? env->GetStaticFieldID(cls, name, sig) : env->GetFieldID(cls, name, sig);
  if (!id) {
    location_line(kApiSource, loc::kGetField);
    checkForException(env);
  }
  return id;
}

namespace nxjni {

void throw_alarm_exception(JNIEnv* env, const char* text) {
  const jclass exception_class = java_ids().alarm_exception;
  if (!exception_class) {
    location_line(kApiSource, loc::kExceptionClass);
    return;
  }
  env->ThrowNew(exception_class, text);
}

namespace {
std::atomic<std::uint64_t> g_call_start{0};
}  // namespace

void begin_database_call() { g_call_start.store(nxdb::failure_serial(), std::memory_order_relaxed); }

void throw_alarm_exception(JNIEnv* env, Message m) {
  switch (m) {
    case MSG_NO_LOG:
    case MSG_LOAD_FAILED:
    case MSG_CLEAR_FAILED:
    case MSG_OPERATION_FAILED:
    case MSG_DELETE_FAILED: {
      // "The log does not exist" would send the operator the wrong way.
      const std::string why = nxdb::failure_since(g_call_start.load(std::memory_order_relaxed));
      if (!why.empty()) {
        throw_alarm_exception(env, why.c_str());
        return;
      }
      break;
    }
    default:
      break;
  }
  throw_alarm_exception(env, catalog_text(m));
}

}  // namespace nxjni
