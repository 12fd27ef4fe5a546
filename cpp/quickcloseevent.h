#pragma once

#include <QMetaType>

// The close event of a Qt Quick window, whose class is private to Qt. The
// program's windows only pass it along and never look into it; this lets
// their closing signal be connected to slots.
class QQuickCloseEvent;
Q_DECLARE_OPAQUE_POINTER(QQuickCloseEvent *)
