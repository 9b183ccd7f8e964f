#pragma once

#include <QString>

namespace miravon {

// How the engine's pictures are drawn. Software: the engine decodes and
// scales on the processor into memory. OpenGL: it decodes on the video
// hardware where it can and scales on the GPU, into an offscreen OpenGL
// framebuffer of the surface's render thread, read back for the surface;
// the windows themselves never hold an OpenGL surface, so none is ever
// re-created.
enum class VideoPath { Software, OpenGL };

// The path of this run, chosen at its first use, on the user-interface
// thread (the program calls it at start): MIRAVON_VIDEO=software or opengl when set; else OpenGL where the
// window system gives an OpenGL context whose renderer is hardware, software
// otherwise. After videoPathFailed(), Software.
VideoPath videoPath();

// The choice itself: `forced` is MIRAVON_VIDEO, `renderer` the
// GL_RENDERER string of a context (empty when none could be made).
VideoPath chooseVideoPath(const QString& forced, const QString& renderer);

// The OpenGL path failed on this machine (no context on a render thread,
// no render context): every surface attached from now on draws in
// software. The one that failed falls back by itself.
void videoPathFailed();

} // namespace miravon
