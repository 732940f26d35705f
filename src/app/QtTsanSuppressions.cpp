// Under ThreadSanitizer only: Debian's Qt is not instrumented, so its thread pool (which scales
// pictures) and its event dispatcher show up as races inside Qt itself. Reports whose stacks run
// through Qt are about Qt; reports with only our own code stay errors.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KEYLUME_TSAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define KEYLUME_TSAN 1
#endif

#ifdef KEYLUME_TSAN
extern "C" const char* __tsan_default_suppressions();
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so.6\n"
           "race:libQt6Gui.so.6\n"
           "race:libQt6Widgets.so.6\n"
           "race:libglib-2.0.so.0\n"
           "deadlock:libQt6Core.so.6\n";
}
#endif
