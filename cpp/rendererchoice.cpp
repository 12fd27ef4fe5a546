#include "rendererchoice.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QQuickWindow>
#include <QSGRendererInterface>

namespace {

bool isTrue(const QString &value)
{
    return !value.isEmpty() && value != QLatin1String("0")
           && value.compare(QLatin1String("false"), Qt::CaseInsensitive) != 0
           && value.compare(QLatin1String("no"), Qt::CaseInsensitive) != 0;
}

bool isSoftwareRasteriser(const QString &driver)
{
    static const char *const names[] = {"llvmpipe", "softpipe", "swrast", "kms_swrast"};
    for (const char *name : names) {
        if (driver.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Whether a GPU the OpenGL drivers can use has a device node: a DRM render
// node, or the device of NVIDIA's own driver.
bool hasGpuDevice(const QString &deviceRoot)
{
    const QDir dri(deviceRoot + QStringLiteral("/dri"));
    if (!dri.entryList({QStringLiteral("renderD*")}, QDir::System | QDir::Files | QDir::NoDotAndDotDot).isEmpty())
        return true;
    return QFileInfo::exists(deviceRoot + QStringLiteral("/nvidiactl"))
           || QFileInfo::exists(deviceRoot + QStringLiteral("/nvidia0"));
}

QString processVariable(const char *name)
{
    return qEnvironmentVariable(name);
}

} // namespace

RendererChoice::Renderer RendererChoice::choose(const Environment &environment, const QString &deviceRoot)
{
    const QString forced = environment("TAVRI_RENDERER").toLower();
    if (forced == QLatin1String("software"))
        return Renderer::Software;
    if (forced == QLatin1String("opengl"))
        return Renderer::OpenGl;
    // Mesa told to draw in software.
    if (isTrue(environment("LIBGL_ALWAYS_SOFTWARE")) || isSoftwareRasteriser(environment("GALLIUM_DRIVER"))
        || isSoftwareRasteriser(environment("MESA_LOADER_DRIVER_OVERRIDE")))
        return Renderer::Software;
    // Without a GPU device, Mesa's software rasteriser is all there is.
    return hasGpuDevice(deviceRoot) ? Renderer::OpenGl : Renderer::Software;
}

RendererChoice::Renderer RendererChoice::applyForProcess()
{
    const QString backend = qEnvironmentVariable("QT_QUICK_BACKEND");
    Renderer renderer;
    if (!backend.isEmpty() && processVariable("TAVRI_RENDERER").isEmpty())
        renderer = backend == QLatin1String("software") ? Renderer::Software : Renderer::OpenGl;
    else
        renderer = choose(&processVariable, QStringLiteral("/dev"));
    if (renderer == Renderer::Software) {
        if (backend.isEmpty())
            QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
        // No window needs GL then: the xcb platform loads none of it.
        if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
            qputenv("QT_XCB_GL_INTEGRATION", "none");
    }
    qDebug() << "RendererChoice::applyForProcess"
             << (renderer == Renderer::Software ? "software scene graph, no OpenGL" : "OpenGL");
    return renderer;
}
