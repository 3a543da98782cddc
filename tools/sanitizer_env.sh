# Sourced by scripts that start a JVM on the build's library. In an ASan
# build (NX_SANITIZE=address, set by CTest) the JVM does not load the
# sanitizer runtime itself, so it is preloaded; the JVM handles SIGSEGV
# itself and its heap is not ours, so those checks are off.
if [ "${NX_SANITIZE:-}" = address ]; then
  asan=$(${CXX:-g++} -print-file-name=libasan.so)
  case $asan in
    /*) ;;
    *) echo "libasan.so not found" >&2; exit 1 ;;
  esac
  export LD_PRELOAD="$asan${LD_PRELOAD:+:$LD_PRELOAD}"
  export ASAN_OPTIONS="detect_leaks=0:handle_segv=0:allow_user_segv_handler=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
fi
