#pragma once

// The program's one report for a broken invariant.
//
// Writes the critical log line "Assertion Failure - '<expression>'" with the
// checking code's file, line and function as the log position, and returns so
// the caller can take its own recovery path. For developers, a non-empty
// OSTREL_TAVRI_ASSERT in the environment stops the program at the failure: the
// first failure in the process shows the "Tavri Fatal Error" box, and every
// failure then holds its caller in a nested event loop (the user interface
// keeps running) until the application quits. With `canContinue` false the
// handler does not return: after the report the process ends through Qt's
// fatal path, which aborts. Call it from the main thread; from another thread
// only the log line is written (and a non-continuable failure still ends the
// process).
void reportAssertionFailure(const char *expression, const char *file, int line, const char *function, bool canContinue);

// Checks `condition` and reports it when false, with the expression's own text
// and the caller's position. Evaluates to the condition, so a check reads
//     if (!TAVRI_CHECK(index >= 0)) return;
#define TAVRI_CHECK(condition)                                                                                         \
    (static_cast<bool>(condition)                                                                                      \
         ? true                                                                                                        \
         : (reportAssertionFailure(#condition, __FILE__, __LINE__, Q_FUNC_INFO, true), false))
