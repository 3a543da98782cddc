// Class checks of the Java objects the natives receive. Reading a field or
// calling a cached method id on an object of another class is undefined in
// JNI (a crash, or a wrong value read silently), and the Java types do not
// rule it out: reflection can put any object into an Object[], a raw
// collection or a field, and open classes can be subclassed.
#pragma once

#include <jni.h>

namespace nxjni {

// True when obj is null (each caller has its own rule for nulls) or an
// instance of cls. Otherwise raises AlarmException "<what> is not
// <expected>" and returns false; also when cls was never resolved, since
// nothing can then be checked.
bool is_java_type(JNIEnv* env, jobject obj, jclass cls, const char* what, const char* expected);

// The same for every element of an array (of objects: check that first),
// so that a call can refuse a wrong element before it acts on any other.
bool are_java_types(JNIEnv* env, jobjectArray array, jclass cls, const char* what, const char* expected);

}  // namespace nxjni
