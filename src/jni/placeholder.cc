// JNI entry points come here.
