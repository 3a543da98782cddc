// Library-wide state of the JNI layer: created empty when the library is
// loaded, filled by the first init, never released.
#pragma once

#include <jni.h>
#include <nl_types.h>

#include <atomic>

class AlarmService;

extern "C" {
// The message catalog, opened with the native-method ids at the first init.
extern nl_catd alarm_catd;
// The VM, saved at the first init for the event threads.
extern JavaVM* vmBuf;
// Attach arguments of the event threads: no name, no group.
extern JavaVMAttachArgs vmArgs;
}

namespace nxjni {
// The one service; null until the first init allocates it, never reset.
extern std::atomic<AlarmService*> service;
// Set once the first init has resolved the native-method ids.
extern std::atomic<int> init_done;
}  // namespace nxjni
