#include "programwindow.h"

#include <QQmlContext>
#include <QQuickView>
#include <QUrl>

#include "tavriapplication.h"
#include "windowstyle.h"

namespace {

TavriApplication *sharingApplication()
{
    TavriApplication *app = TavriApplication::instance();
    return app && app->qmlEngine() ? app : nullptr;
}

} // namespace

QQuickView *ProgramWindow::create()
{
    TavriApplication *app = sharingApplication();
    auto *view = app ? new QQuickView(app->qmlEngine(), nullptr) : new QQuickView();
    view->setFlags(Qt::FramelessWindowHint);
    host::WindowStyle::clearTaskbarStyles(view);
    view->setResizeMode(QQuickView::SizeRootObjectToView);
    QQmlContext *windowContext = context(view);
    windowContext->setContextProperty(QStringLiteral("mainViewer"), view);
    if (app)
        app->setQmlRootContextProperties(windowContext);
    return view;
}

QQmlContext *ProgramWindow::context(QQuickView *view)
{
    if (!view)
        return nullptr;
    TavriApplication *app = sharingApplication();
    return app ? app->windowContext(view) : view->rootContext();
}

void ProgramWindow::load(QQuickView *view, const QUrl &source)
{
    if (TavriApplication *app = sharingApplication())
        app->loadWindowQml(view, source);
    else
        view->setSource(source);
}

void ProgramWindow::show(QQuickView *view)
{
    if (TavriApplication *app = sharingApplication()) {
        app->showFrame(*view, TavriApplication::tpNone, true, true);
        return;
    }
    view->show();
    view->raise();
}
