// Load and unload of the library: the VM, the message catalog and the one
// table of Java ids are set up here, before any native runs.
#include <jni.h>

#include <cstdio>

#include "jni/java_ids.h"
#include "jni/library_state.h"
#include "jni/messages.h"
#include "platform/management_platform.h"

extern "C" JNIEXPORT jint JNICALL JNI_OnLoad(JavaVM* vm, void*) {
  nxjni::open_catalog();
  JNIEnv* env = nullptr;
  if (vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_8) != JNI_OK || !env) {
    std::fprintf(pfd, "%s", nxjni::catalog_text(nxjni::MSG_GET_VM));
    std::fflush(pfd);
    return JNI_ERR;
  }
  vmBuf = vm;
  // A lookup that fails leaves a location line and a null entry; the
  // natives needing it refuse, the others still work.
  nxjni::resolve_java_ids(env);
  return JNI_VERSION_1_8;
}

extern "C" JNIEXPORT void JNICALL JNI_OnUnload(JavaVM* vm, void*) {
  JNIEnv* env = nullptr;
  if (vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_8) == JNI_OK && env) nxjni::release_java_ids(env);
}
