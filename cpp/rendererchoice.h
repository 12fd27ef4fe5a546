#pragma once

#include <QString>

#include <functional>

// RendererChoice: picks how windows are drawn before the application object
// exists, without loading any OpenGL library.
//
// Where the only OpenGL the machine can give is a software rasteriser
// (Mesa's llvmpipe, softpipe or swrast: no GPU device, or Mesa told to draw
// in software), Qt Quick's software scene graph draws faster and in far
// less memory than OpenGL drawn by the processor, and no window (the splash
// included) needs the GL stack: the software scene graph is chosen and the
// xcb platform is told to load no GL integration. Where a GPU device is
// present, OpenGL stays. TAVRI_RENDERER=software or =opengl forces either;
// QT_QUICK_BACKEND and QT_XCB_GL_INTEGRATION given by the caller are kept.
class RendererChoice
{
public:
    enum class Renderer { OpenGl, Software };

    // Reads an environment variable ("" when unset).
    using Environment = std::function<QString(const char *name)>;

    // What the machine calls for: `environment` gives the variables,
    // `deviceRoot` is the folder of device nodes ("/dev").
    static Renderer choose(const Environment &environment, const QString &deviceRoot);
    // Applies choose() for this process (its environment and /dev); call
    // before the application object is made. Returns the renderer chosen.
    static Renderer applyForProcess();
};
