#pragma once
#include <QSize>

#include <memory>

class QOpenGLContext;
class QOpenGLFramebufferObject;

// The off-screen colour + depth buffer of the scene's pick passes: one per
// size and context, reused by every pass. Begin binds it (remembering the
// framebuffer bound before), End binds that one again.
class ScenePickBuffer {
public:
    ScenePickBuffer();
    ~ScenePickBuffer();
    bool Begin(QSize size);
    void End();

private:
    std::unique_ptr<QOpenGLFramebufferObject> m_fbo;
    QOpenGLContext* m_pContext = nullptr;
    unsigned int m_nPrevious = 0;
    bool m_bBound = false;
};
