#include "windowstyle.h"

#include <QWindow>

namespace host {

void WindowStyle::clearTaskbarStyles(QWindow *window)
{
    if (!window || window->type() != Qt::Tool)
        return;
    const Qt::WindowFlags hints = window->flags() & ~Qt::WindowFlags(Qt::WindowType_Mask);
    window->setFlags(hints | Qt::Window);
}

void WindowStyle::leaveTopmostBand(QWindow *window)
{
    if (!window || !(window->flags() & Qt::WindowStaysOnTopHint))
        return;
    window->setFlags(window->flags() & ~Qt::WindowStaysOnTopHint);
}

} // namespace host
