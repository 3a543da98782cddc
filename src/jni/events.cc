#include "jni/events.h"

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <thread>
#include <string>
#include <vector>

#include "jni/java_ids.h"
#include "jni/java_lookup.h"
#include "jni/library_state.h"
#include "jni/locations.h"
#include "jni/messages.h"
#include "jni/record_packer.h"
#include "jni/scoped_jni.h"
#include "model/alarm_record.h"
#include "model/object_name.h"
#include "platform/management_platform.h"

namespace {

// A run is handed over early past this size, so that a run of large texts
// does not pile up.
constexpr std::size_t kRunBytes = 1 << 20;

std::mutex& attribute_guard() {
  static auto* m = new std::mutex;
  return *m;
}
std::list<AlarmAttributeId> g_event_ids;
jobject g_event_set = nullptr;  // global reference
unsigned long g_event_generation = 1;  // changes with each new list

// The run being packed. Only the platform's event thread packs and sends,
// one callback at a time under the process-wide lock.
struct Run {
  nxjni::RecordPacker packer;
  std::string spare;  // a sent run's buffer, reused
  unsigned long generation = 0;
  std::vector<AlarmAttributeId> wanted;
  jobject set = nullptr;  // global reference: what creations carry as attrSet
};
Run& run() {
  static auto* r = new Run;  // touched by an event thread left running at exit
  return *r;
}

JNIEnv* attach() {
  JNIEnv* env = nullptr;
  // As a daemon: the VM must not wait for the platform's event thread
  // when the program's main thread ends.
  if (vmBuf->AttachCurrentThreadAsDaemon(reinterpret_cast<void**>(&env), &vmArgs) < 0 || !env) {
    // A VM whose main thread has returned refuses attaches until the
    // launcher calls exit() with the program's own status: give that exit
    // time to happen, so the program does not end with ours instead.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    std::fprintf(pfd, "%s", nxjni::catalog_text(nxjni::MSG_ATTACH_THREAD));
    std::fflush(pfd);
    std::exit(-1);
  }
  return env;
}

// Hands the packed events to RecordAssembler.deliverEvents.
void send_run(JNIEnv* env) {
  Run& r = run();
  if (r.packer.records() == 0) return;
  std::string bytes = r.packer.take(std::move(r.spare));
  ScopedLocalFrame frame(env, 8);
  if (!frame.ok()) {
    location_line(kApiSource, loc::kNoFrame);
    checkForException(env);
    r.spare = std::move(bytes);
    return;
  }
  const nxjni::JavaIds& n = nxjni::java_ids();
  const auto length = static_cast<jsize>(bytes.size());
  jbyteArray array = env->NewByteArray(length);
  if (!array) {
    location_line(kApiSource, loc::kNoBuffer);
    checkForException(env);
  } else {
    env->SetByteArrayRegion(array, 0, length, reinterpret_cast<const jbyte*>(bytes.data()));
    env->CallStaticVoidMethod(n.assembler, n.assembler_events, array, length, r.set, n.severity_array);
    // The handlers' own exceptions are not the caller's: clear them here so
    // the next run starts clean.
    if (env->ExceptionCheck()) {
      location_line(kApiSource, loc::kAssemblyFailed);
      checkForException(env);
    }
  }
  r.spare = std::move(bytes);
}

// Takes up the current attribute list when it changed; what was packed
// under the previous one goes first.
void follow_attributes(JNIEnv* env) {
  Run& r = run();
  {
    std::lock_guard<std::mutex> lock(attribute_guard());
    if (r.generation == g_event_generation) return;
  }
  send_run(env);
  jobject previous = r.set;
  std::lock_guard<std::mutex> lock(attribute_guard());
  r.generation = g_event_generation;
  r.wanted.assign(g_event_ids.begin(), g_event_ids.end());
  r.set = g_event_set ? env->NewGlobalRef(g_event_set) : nullptr;
  if (previous) env->DeleteGlobalRef(previous);
}

// The log of an event as its LogName is made; false (reported) when the
// record's log identifier is neither a string nor an int.
bool event_log(const AlarmRecord& record, nxjni::EventLog& out) {
  const std::string log = record.get_log_name();
  // The log identifier as a value: a string's quotes may hold '/' or doubled quotes.
  const std::optional<NameValue> value = NameValue::parse(log);
  const bool number = value && value->form() == NameValue::Form::kNumber;
  bool ok = value && (number || value->form() == NameValue::Form::kString);
  if (ok && number) {
    // A numbered log's id must fit the Java int: never wrap into another log.
    const long long n = std::strtoll(value->text().c_str(), nullptr, 10);
    ok = n >= INT_MIN && n <= INT_MAX;
  }
  if (!ok) {
    std::printf("Received an event but can not parse log:%s\n", log.c_str());
    std::fflush(stdout);
    return false;
  }
  out.mis = record.get_mis_name();
  out.id = value->text();
  out.number = number;
  return true;
}

void pack(nxjni::EventKind kind, void* arg) {
  if (!arg || !vmBuf) return;
  const auto& record = *static_cast<const AlarmRecord*>(arg);
  JNIEnv* env = attach();
  follow_attributes(env);
  Run& r = run();
  if (r.wanted.empty()) return;  // no attributes chosen: no events
  nxjni::EventLog log;
  if (!event_log(record, log)) return;
  r.packer.add_event(kind, log, record.get_attribute_list(), record.get_record_id(), r.wanted);
  if (r.packer.bytes().size() >= kRunBytes) send_run(env);
}

}  // namespace

void alarmCreationCallback(void*, void* arg) { pack(nxjni::kEventCreated, arg); }
void alarmDeletionCallback(void*, void* arg) { pack(nxjni::kEventDeleted, arg); }
void alarmModificationCallback(void*, void* arg) { pack(nxjni::kEventChanged, arg); }
void alarmResyncCallback(void*, void* arg) { pack(nxjni::kEventResync, arg); }

void alarmRunEndCallback(void*, void*) {
  if (!vmBuf || run().packer.records() == 0) return;
  send_run(attach());
}

namespace nxjni {

void set_event_attributes(JNIEnv* env, std::list<AlarmAttributeId> ids, jobject set) {
  jobject global = set ? env->NewGlobalRef(set) : nullptr;
  jobject previous;
  {
    std::lock_guard<std::mutex> lock(attribute_guard());
    g_event_ids = std::move(ids);
    previous = g_event_set;
    g_event_set = global;
    ++g_event_generation;
  }
  if (previous) env->DeleteGlobalRef(previous);
}

}  // namespace nxjni
