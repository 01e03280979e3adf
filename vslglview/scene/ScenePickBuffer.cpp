#include "ScenePickBuffer.h"

#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>

#ifndef GL_FRAMEBUFFER_BINDING
#define GL_FRAMEBUFFER_BINDING 0x8CA6
#endif

ScenePickBuffer::ScenePickBuffer() = default;

ScenePickBuffer::~ScenePickBuffer() = default;

bool ScenePickBuffer::Begin(QSize size)
{
    QOpenGLContext* ctx = QOpenGLContext::currentContext();
    if (!ctx || size.isEmpty())
        return false;
    // Before creating: a new buffer object rebinds while it is set up.
    GLint previous = 0;
    ctx->functions()->glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    m_nPrevious = GLuint(previous);
    if (!m_fbo || m_pContext != ctx || m_fbo->size() != size) {
        m_fbo.reset();
        m_fbo = std::make_unique<QOpenGLFramebufferObject>(size, QOpenGLFramebufferObject::CombinedDepthStencil);
        m_pContext = ctx;
        if (!m_fbo->isValid()) {
            m_fbo.reset();
            ctx->functions()->glBindFramebuffer(GL_FRAMEBUFFER, m_nPrevious);
            return false;
        }
    }
    // By handle: Qt's record of the bound framebuffer stays the caller's.
    ctx->functions()->glBindFramebuffer(GL_FRAMEBUFFER, m_fbo->handle());
    m_bBound = true;
    return true;
}

void ScenePickBuffer::End()
{
    if (!m_bBound)
        return;
    m_bBound = false;
    if (QOpenGLContext* ctx = QOpenGLContext::currentContext())
        ctx->functions()->glBindFramebuffer(GL_FRAMEBUFFER, m_nPrevious);
}
