// One JVM per test process, started in-process with the API classes, and
// standard error capture for the messages natives write.
#pragma once

#include <jni.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "jni/java_ids.h"

inline JNIEnv* jvm_env() {
  static JNIEnv* env = [] {
    JavaVM* vm = nullptr;
    JNIEnv* e = nullptr;
    std::string cp = "-Djava.class.path=" NX_BUILD_DIR "/java/nxalarm-api.jar";
    JavaVMOption options[1];
    options[0].optionString = cp.data();
    JavaVMInitArgs args{};
    args.version = JNI_VERSION_1_8;
    args.nOptions = 1;
    args.options = options;
    args.ignoreUnrecognized = JNI_FALSE;
    if (JNI_CreateJavaVM(&vm, reinterpret_cast<void**>(&e), &args) != JNI_OK) return static_cast<JNIEnv*>(nullptr);
    nxjni::resolve_java_ids(e);  // what JNI_OnLoad does in the library
    return e;
  }();
  return env;
}

// Runs fn with standard error captured; returns what was written.
template <typename Fn>
inline std::string capture_stderr(Fn fn) {
  std::fflush(stderr);
  char path[] = "/tmp/nx-stderr-XXXXXX";
  const int fd = mkstemp(path);
  const int saved = dup(2);
  dup2(fd, 2);
  fn();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::string text;
  lseek(fd, 0, SEEK_SET);
  char buf[4096];
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
  close(fd);
  unlink(path);
  return text;
}

