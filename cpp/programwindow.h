#pragma once

class QQmlContext;
class QQuickView;
class QUrl;

// ProgramWindow: builds the stand-alone windows that services open (the
// search windows): a frameless view kept off the taskbar's tool-window
// band, its root following the view's size. Inside the program a window
// shares the application's engine and carries the context properties every
// window has; without the application (tests of a service alone) it gets an
// engine of its own. GUI thread only.
class ProgramWindow
{
public:
    // A new parentless view whose context already holds "mainViewer".
    static QQuickView *create();
    // The context the window's QML is created in.
    static QQmlContext *context(QQuickView *view);
    static void load(QQuickView *view, const QUrl &source);
    // Shows the window centred and raised, with no transient parent.
    static void show(QQuickView *view);

private:
    ProgramWindow() = delete;
};
