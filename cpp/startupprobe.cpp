#include "startupprobe.h"

#include <QEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>

#include <cstdio>
#include <ctime>
#include <memory>

namespace {

void print(const char *what, const QByteArray &value)
{
    std::printf("STARTUP-PROBE %s %s\n", what, value.constData());
    std::fflush(stdout);
}

QByteArray now()
{
    timespec time{};
    clock_gettime(CLOCK_MONOTONIC, &time);
    return QByteArray::number(qint64(time.tv_sec) * 1000000000 + time.tv_nsec);
}

// Notes the first expose event that leaves the window exposed.
class ExposeWatcher : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
            print("exposed", now());
            watched->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }
};

} // namespace

void StartupProbe::watch(QQuickWindow *window)
{
    if (!window || !qEnvironmentVariableIsSet("TAVRI_STARTUP_PROBE"))
        return;
    window->installEventFilter(new ExposeWatcher(window));
    auto frame = std::make_shared<QMetaObject::Connection>();
    *frame = QObject::connect(window, &QQuickWindow::frameSwapped, window, [frame] {
        print("frame", now());
        QObject::disconnect(*frame);
    });
    // On the render thread, where the scene graph's context is current.
    auto renderer = std::make_shared<QMetaObject::Connection>();
    *renderer = QObject::connect(
        window, &QQuickWindow::sceneGraphInitialized, window,
        [window, renderer] {
            QByteArray name("software");
            if (QOpenGLContext *context = QOpenGLContext::currentContext())
                name = reinterpret_cast<const char *>(context->functions()->glGetString(GL_RENDERER));
            else if (window->rendererInterface()->graphicsApi() != QSGRendererInterface::Software)
                name = "unknown";
            print("renderer", name);
            QObject::disconnect(*renderer);
        },
        Qt::DirectConnection);
}
