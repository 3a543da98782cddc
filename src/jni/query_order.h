// The order keys of a Java GenericQuery (GenericQuery.orderBy).
#pragma once

#include <jni.h>

#include "jni/convert.h"
#include "query/record_order.h"

namespace nxjni {

// Reads the query's order keys into order; ok with no keys for a null query.
// An attribute that cannot be ordered by raises AlarmException (orderBy
// refuses it, so only reflection gets one this far).
Conv jobject2Order(JNIEnv* env, jobject query, RecordOrder& order);

}  // namespace nxjni
