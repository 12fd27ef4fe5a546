#pragma once

class QQuickWindow;

// StartupProbe: a developer tool for the start-up benchmark, off unless the
// environment sets TAVRI_STARTUP_PROBE. Then, for the window it watches, it
// prints to standard output once each:
//   "STARTUP-PROBE exposed <ns>"  the window is first exposed,
//   "STARTUP-PROBE frame <ns>"    its first frame is on screen,
//   "STARTUP-PROBE renderer <text>" the scene graph's backend (the OpenGL
//                                 renderer's name, or "software"),
// where <ns> is CLOCK_MONOTONIC in nanoseconds, the clock a runner reads as
// it starts the process. The program carries on as usual.
class StartupProbe
{
public:
    static void watch(QQuickWindow *window);
};
