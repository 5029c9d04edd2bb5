#pragma once

#include "Platform/Image/SceneRasterizer.h"

#include <QString>

namespace pf {

// An OpenGL ES 3.2 context of its own, current on the thread that made it for as long as it lives, on
// the display the device asks for. It shares nothing; destroying it lets the context and everything
// made in it go, and releases the thread's EGL state.
class SceneRasterizerContext
{
public:
    explicit SceneRasterizerContext(SceneRasterizer::Device device);
    ~SceneRasterizerContext();
    SceneRasterizerContext(const SceneRasterizerContext&) = delete;
    SceneRasterizerContext& operator=(const SceneRasterizerContext&) = delete;

    bool isValid() const { return m_context != nullptr; }
    QString failureReason() const { return m_failure; }

private:
    void* m_display = nullptr;
    void* m_context = nullptr;
    QString m_failure;
};

} // namespace pf
