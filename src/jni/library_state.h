// Library-wide state of the JNI layer: created empty when the library is
// loaded, filled at load (VM, catalog) and by the first init (service).
#pragma once

#include <jni.h>
#include <nl_types.h>

#include <atomic>

class AlarmService;

extern "C" {
// The message catalog, opened at load.
extern nl_catd alarm_catd;
// The VM, saved at load for the event threads.
extern JavaVM* vmBuf;
// Attach arguments of the event threads: no name, no group.
extern JavaVMAttachArgs vmArgs;
}

namespace nxjni {
// The one service; null until the first init allocates it, never reset.
extern std::atomic<AlarmService*> service;
// Set once the first init has set up the name lookup of the conversions.
extern std::atomic<int> init_done;
}  // namespace nxjni
