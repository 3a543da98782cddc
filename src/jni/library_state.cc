#include "jni/library_state.h"

extern "C" {
__attribute__((visibility("default"))) nl_catd alarm_catd = reinterpret_cast<nl_catd>(-1);
__attribute__((visibility("default"))) JavaVM* vmBuf = nullptr;
__attribute__((visibility("default"))) JavaVMAttachArgs vmArgs = {0, nullptr, nullptr};
}

namespace nxjni {
std::atomic<AlarmService*> service{nullptr};
std::atomic<int> init_done{0};
}  // namespace nxjni
