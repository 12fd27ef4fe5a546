#pragma once

// For a test that reaches Qt's real text-to-speech engines: include it in
// exactly one source file of the test.
//
// libspeechd leaks its error text each time it fails to reach a daemon, and
// the fast unwinder loses the trail inside glib; unwind fully so that the
// leak is seen to be the library's and nothing else is hidden.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libspeechd.so\n";
}
#endif
