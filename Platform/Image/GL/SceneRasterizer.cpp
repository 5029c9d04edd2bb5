#include "Platform/Image/SceneRasterizer.h"

#include "Platform/Image/GL/SceneRasterizerContext.h"

#include <GLES3/gl32.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

namespace pf {

namespace {

std::mutex forcedMutex;
QString forcedFailure;

QString currentForcedFailure()
{
    std::lock_guard lock(forcedMutex);
    return forcedFailure;
}

// One program draws everything: the texture as it is (premultiplied), with the alpha test done by
// discarding. A discarded fragment writes neither depth nor stencil, which the passes rely on.
constexpr const char* VertexShader = R"(#version 300 es
uniform mat4 projection;
layout(location = 0) in vec3 position;
layout(location = 1) in vec2 textureCoordinate;
out vec2 coordinate;
void main()
{
    coordinate = textureCoordinate;
    gl_Position = projection * vec4(position, 1.0);
}
)";

constexpr const char* FragmentShader = R"(#version 300 es
precision highp float;
uniform sampler2D image;
uniform int alphaTest; // 0 passes everything, 1 only alpha above the threshold, 2 only at or below it
uniform float threshold;
in vec2 coordinate;
out vec4 colour;
void main()
{
    vec4 c = texture(image, coordinate);
    if (alphaTest == 1 && !(c.a > threshold))
        discard;
    if (alphaTest == 2 && !(c.a <= threshold))
        discard;
    colour = c;
}
)";

enum AlphaTest
{
    PassAll = 0,
    PassOpaque = 1,
    PassTranslucent = 2,
};

// Everything one render makes in its context, let go in one place whatever way the render ends.
struct Objects
{
    GLuint depthStencil = 0;
    GLuint colour = 0;
    GLuint framebuffer = 0;
    GLuint program = 0;
    GLuint vertexArray = 0;
    GLuint vertexBuffer = 0;
    std::vector<GLuint> textures;

    ~Objects()
    {
        if (!textures.empty())
            glDeleteTextures(GLsizei(textures.size()), textures.data());
        glDeleteBuffers(1, &vertexBuffer);
        glDeleteVertexArrays(1, &vertexArray);
        glDeleteProgram(program);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &framebuffer);
        glDeleteRenderbuffers(1, &colour);
        glDeleteRenderbuffers(1, &depthStencil);
        glFinish();
    }
};

GLuint compile(GLenum type, const char* source)
{
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

GLuint link()
{
    const GLuint vertex = compile(GL_VERTEX_SHADER, VertexShader);
    const GLuint fragment = compile(GL_FRAGMENT_SHADER, FragmentShader);
    GLuint program = 0;
    if (vertex && fragment) {
        program = glCreateProgram();
        glAttachShader(program, vertex);
        glAttachShader(program, fragment);
        glLinkProgram(program);
        GLint ok = GL_FALSE;
        glGetProgramiv(program, GL_LINK_STATUS, &ok);
        if (!ok) {
            glDeleteProgram(program);
            program = 0;
        }
    }
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    return program;
}

bool hasTranslucency(const Bitmap& bitmap)
{
    for (int y = 0; y < bitmap.height(); ++y) {
        const uint8_t* row = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x)
            if (row[x * 4 + 3] != 255)
                return true;
    }
    return false;
}

class Render
{
public:
    Render(const SceneRasterizer::Scene& scene, QString forced) : m_scene(scene), m_forced(std::move(forced))
    {}

    SceneRasterizer::Result run(SceneRasterizer::Device device)
    {
        SceneRasterizerContext context(device);
        if (!context.isValid() || m_forced == QLatin1String("context"))
            return failed(SceneRasterizer::Failure::Context);
        std::optional<Bitmap> pixels;
        {
            Objects objects;
            pixels = draw(objects);
        }
        if (pixels)
            m_result.pixels = std::move(pixels);
        return m_result;
    }

private:
    SceneRasterizer::Result failed(SceneRasterizer::Failure failure, const QString& step = {})
    {
        m_result.failure = failure;
        m_result.step = step;
        return m_result;
    }

    // False, with the step recorded, when OpenGL has an error to report after it.
    bool check(const char* step)
    {
        if (m_forced == QLatin1String(step))
            glEnable(0); // an invalid capability: a real GL_INVALID_ENUM
        if (glGetError() == GL_NO_ERROR)
            return true;
        // Several flags may be raised; read them all so none is left for a later check.
        for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
        }
        failed(SceneRasterizer::Failure::Step, QString::fromLatin1(step));
        return false;
    }

    std::optional<Bitmap> draw(Objects& objects)
    {
        using Failure = SceneRasterizer::Failure;
        const int width = m_scene.width;
        const int height = m_scene.height;

        GLint largestBuffer = 0;
        GLint viewportLimits[2] = {0, 0};
        glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largestBuffer);
        glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewportLimits);
        if (width > largestBuffer || height > largestBuffer || width > viewportLimits[0] ||
            height > viewportLimits[1]) {
            failed(Failure::ReadBuffer);
            return std::nullopt;
        }

        glGenRenderbuffers(1, &objects.depthStencil);
        glBindRenderbuffer(GL_RENDERBUFFER, objects.depthStencil);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
        if (!check("creating depth render buffer"))
            return std::nullopt;
        glGenRenderbuffers(1, &objects.colour);
        glBindRenderbuffer(GL_RENDERBUFFER, objects.colour);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        if (!check("creating color render buffer"))
            return std::nullopt;
        glGenFramebuffers(1, &objects.framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, objects.framebuffer);
        if (!check("binding framebuffer"))
            return std::nullopt;
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                  m_forced == QLatin1String("color framebuffer") ? 0 : objects.colour);
        if (!check("specifying color render buffer"))
            return std::nullopt;
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            failed(Failure::ColorFramebuffer);
            return std::nullopt;
        }
        // Forced: a colour buffer where depth belongs, which no driver takes.
        const GLuint depth =
            m_forced == QLatin1String("depth framebuffer") ? objects.colour : objects.depthStencil;
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
        if (!check("specifying depth render buffer"))
            return std::nullopt;
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                  objects.depthStencil);
        if (!check("specifying stencil render buffer"))
            return std::nullopt;
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            glGetError(); // a forced mismatch may leave a flag behind
            failed(Failure::DepthFramebuffer);
            return std::nullopt;
        }

        glEnable(GL_DEPTH_TEST);
        glDepthMask(GL_TRUE);
        glDepthFunc(GL_LEQUAL);
        if (!check("enabling depth testing"))
            return std::nullopt;
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA); // premultiplied source over
        glClearColor(1, 1, 1, 1);
        glClearDepthf(1);
        glClearStencil(0);
        if (!check("specifying clear color"))
            return std::nullopt;
        glViewport(0, 0, width, height);
        if (!check("specifying viewport"))
            return std::nullopt;
        objects.program = link();
        if (!objects.program) {
            failed(Failure::Step, QStringLiteral("setting up view/model matrices"));
            return std::nullopt;
        }
        glUseProgram(objects.program);
        glUniformMatrix4fv(glGetUniformLocation(objects.program, "projection"), 1, GL_FALSE,
                           m_scene.projection.data());
        glUniform1i(glGetUniformLocation(objects.program, "image"), 0);
        glUniform1f(glGetUniformLocation(objects.program, "threshold"), SceneRasterizer::OpaqueThreshold);
        m_alphaTest = glGetUniformLocation(objects.program, "alphaTest");
        if (!check("setting up view/model matrices"))
            return std::nullopt;

        // Texture uploads raise their errors at the next check (after clearing).
        std::vector<bool> translucent;
        uploadTextures(objects, translucent);
        const std::vector<const SceneRasterizer::Quad*> quads = uploadQuads(objects);

        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (!check("clearing color and depth buffer"))
            return std::nullopt;

        drawScene(objects, quads, translucent);
        if (!check("rendering scene"))
            return std::nullopt;

        return readBack();
    }

    void uploadTextures(Objects& objects, std::vector<bool>& translucent)
    {
        const size_t count = m_scene.textures.size();
        objects.textures.assign(count, 0);
        translucent.assign(count, false);
        if (count == 0)
            return;
        glGenTextures(GLsizei(count), objects.textures.data());
        glActiveTexture(GL_TEXTURE0);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        for (size_t i = 0; i < count; ++i) {
            Bitmap bitmap = m_scene.textures[i];
            if (!bitmap.isNull() && bitmap.format() != Bitmap::Format::RGBA8)
                bitmap = bitmap.converted(Bitmap::Format::RGBA8);
            if (bitmap.isNull() || bitmap.width() <= 0 || bitmap.height() <= 0)
                continue;
            translucent[i] = hasTranslucency(bitmap);
            glBindTexture(GL_TEXTURE_2D, objects.textures[i]);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
            // Row 0 (the top) goes to texture row 0, where the quads' upper corners point.
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, bitmap.width(), bitmap.height(), 0, GL_RGBA,
                         GL_UNSIGNED_BYTE, bitmap.data());
        }
    }

    // One vertex buffer for every quad, four vertices each (background first); the quads that have a
    // texture to draw, in that order.
    std::vector<const SceneRasterizer::Quad*> uploadQuads(Objects& objects)
    {
        std::vector<const SceneRasterizer::Quad*> quads;
        auto usable = [this](const SceneRasterizer::Quad& quad) {
            return quad.texture >= 0 && size_t(quad.texture) < m_scene.textures.size() &&
                   !m_scene.textures[size_t(quad.texture)].isNull();
        };
        if (m_scene.background && usable(*m_scene.background))
            quads.push_back(&*m_scene.background);
        m_backgroundDrawn = !quads.empty();
        for (const SceneRasterizer::Quad& sprite : m_scene.sprites)
            if (usable(sprite))
                quads.push_back(&sprite);

        // Lower left, upper left, upper right, lower right: the image's top is texture row 0.
        static constexpr float Coordinates[4][2] = {{0, 1}, {0, 0}, {1, 0}, {1, 1}};
        std::vector<float> vertices;
        vertices.reserve(quads.size() * 20);
        for (const SceneRasterizer::Quad* quad : quads)
            for (int corner = 0; corner < 4; ++corner) {
                for (double value : quad->corners[size_t(corner)])
                    vertices.push_back(float(value));
                vertices.push_back(Coordinates[corner][0]);
                vertices.push_back(Coordinates[corner][1]);
            }
        glGenVertexArrays(1, &objects.vertexArray);
        glBindVertexArray(objects.vertexArray);
        glGenBuffers(1, &objects.vertexBuffer);
        glBindBuffer(GL_ARRAY_BUFFER, objects.vertexBuffer);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertices.size() * sizeof(float)), vertices.data(),
                     GL_STATIC_DRAW);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 5 * sizeof(float), nullptr);
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 5 * sizeof(float),
                              reinterpret_cast<const void*>(3 * sizeof(float)));
        return quads;
    }

    void drawScene(const Objects& objects, const std::vector<const SceneRasterizer::Quad*>& quads,
                   const std::vector<bool>& translucent)
    {
        auto drawQuad = [&](size_t index) {
            glBindTexture(GL_TEXTURE_2D, objects.textures[size_t(quads[index]->texture)]);
            glDrawArrays(GL_TRIANGLE_FAN, GLint(index * 4), 4);
        };
        const size_t first = m_backgroundDrawn ? 1 : 0;

        glUniform1i(m_alphaTest, PassAll);
        if (m_backgroundDrawn)
            drawQuad(0);

        // The opaque parts of every sprite, nearest wins.
        glUniform1i(m_alphaTest, PassOpaque);
        glClear(GL_DEPTH_BUFFER_BIT);
        for (size_t j = first; j < quads.size(); ++j)
            drawQuad(j);

        // Each sprite's translucent parts, only where it is the nearest surface: the stencil marks where
        // its every fragment beats the opaque parts of all the others. Only the pixels the sprite can
        // cover are read afterwards, so each round works inside the sprite's bounding box.
        std::vector<Box> boxes;
        for (const SceneRasterizer::Quad* quad : quads)
            boxes.push_back(boundingBox(*quad));
        glEnable(GL_STENCIL_TEST);
        glEnable(GL_SCISSOR_TEST);
        glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
        for (size_t i = first; i < quads.size(); ++i) {
            // A sprite without translucent texels has nothing to add here: every fragment of the
            // colour step below would be discarded.
            if (!translucent[size_t(quads[i]->texture)] || boxes[i].empty())
                continue;
            glScissor(boxes[i].x0, boxes[i].y0, boxes[i].x1 - boxes[i].x0, boxes[i].y1 - boxes[i].y0);
            glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
            glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
            for (size_t j = first; j < quads.size(); ++j) {
                if (j != i && !boxes[i].intersects(boxes[j]))
                    continue;
                glUniform1i(m_alphaTest, j == i ? PassAll : PassOpaque);
                glStencilFunc(GL_ALWAYS, j == i ? 1 : 0, 0xff);
                drawQuad(j);
            }
            glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
            glUniform1i(m_alphaTest, PassTranslucent);
            glStencilFunc(GL_EQUAL, 1, 0xff);
            drawQuad(i);
        }
        glDisable(GL_SCISSOR_TEST);
        glDisable(GL_STENCIL_TEST);
    }

    // Whole pixels, x0 <= x < x1 and y0 <= y < y1 from the bottom.
    struct Box
    {
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        bool empty() const { return x1 <= x0 || y1 <= y0; }
        bool intersects(const Box& other) const
        {
            return x0 < other.x1 && other.x0 < x1 && y0 < other.y1 && other.y0 < y1;
        }
    };

    // The pixels a quad can cover, a pixel to spare on each side; the whole output when a corner lies
    // at or behind the eye, where projecting the corners says nothing.
    Box boundingBox(const SceneRasterizer::Quad& quad) const
    {
        const Box whole{0, 0, m_scene.width, m_scene.height};
        const std::array<float, 16>& p = m_scene.projection;
        double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
        for (const std::array<double, 3>& c : quad.corners) {
            const double x = p[0] * c[0] + p[4] * c[1] + p[8] * c[2] + p[12];
            const double y = p[1] * c[0] + p[5] * c[1] + p[9] * c[2] + p[13];
            const double w = p[3] * c[0] + p[7] * c[1] + p[11] * c[2] + p[15];
            if (!(w > 1e-9) || !std::isfinite(x) || !std::isfinite(y))
                return whole;
            const double px = (x / w + 1) / 2 * m_scene.width;
            const double py = (y / w + 1) / 2 * m_scene.height;
            minX = std::min(minX, px), maxX = std::max(maxX, px);
            minY = std::min(minY, py), maxY = std::max(maxY, py);
        }
        auto clampTo = [](double v, int limit) { return int(std::clamp(v, 0.0, double(limit))); };
        return {clampTo(std::floor(minX) - 1, m_scene.width), clampTo(std::floor(minY) - 1, m_scene.height),
                clampTo(std::ceil(maxX) + 1, m_scene.width), clampTo(std::ceil(maxY) + 1, m_scene.height)};
    }

    std::optional<Bitmap> readBack()
    {
        using Failure = SceneRasterizer::Failure;
        const int width = m_scene.width;
        const int height = m_scene.height;
        const size_t rowBytes = size_t(width) * 4;
        std::unique_ptr<uint8_t[]> rows;
        if (m_forced != QLatin1String("read buffer"))
            rows.reset(new (std::nothrow) uint8_t[rowBytes * size_t(height)]);
        if (!rows) {
            failed(Failure::ReadBuffer);
            return std::nullopt;
        }
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rows.get());
        if (!check("reading pixels from framebuffer"))
            return std::nullopt;
        Bitmap upright;
        if (m_forced != QLatin1String("flipped buffer"))
            upright = Bitmap(width, height, Bitmap::Format::RGBA8, Bitmap::Fill::Uninitialized);
        if (upright.isNull()) {
            failed(Failure::FlippedBuffer);
            return std::nullopt;
        }
        // OpenGL's rows run from the bottom up; the result is opaque (the white ground is).
        for (int y = 0; y < height; ++y) {
            uint8_t* destination = upright.mutableRow(height - 1 - y);
            std::memcpy(destination, rows.get() + rowBytes * size_t(y), rowBytes);
            for (int x = 0; x < width; ++x)
                destination[x * 4 + 3] = 255;
        }
        return upright;
    }

    const SceneRasterizer::Scene& m_scene;
    const QString m_forced;
    SceneRasterizer::Result m_result;
    GLint m_alphaTest = -1;
    bool m_backgroundDrawn = false;
};

} // namespace

SceneRasterizer::Result SceneRasterizer::render(const Scene& scene, Device device)
{
    const QString forced = currentForcedFailure();
    Result result;
    // No buffer can be made for an output without pixels, or one whose bytes cannot be counted.
    constexpr int Largest = std::numeric_limits<int>::max() / 4;
    if (scene.width <= 0 || scene.height <= 0 || scene.width > Largest / scene.height) {
        result.failure = Failure::ReadBuffer;
        return result;
    }
    // A thread of its own, so that whatever context the caller's thread has stays current there, and
    // the context's per-thread state goes with the thread.
    std::thread worker([&] {
        try {
            result = Render(scene, forced).run(device);
        } catch (const std::bad_alloc&) {
            result = Result();
            result.failure = Failure::ReadBuffer;
        }
    });
    worker.join();
    return result;
}

std::array<float, 16> SceneRasterizer::frustum(double left, double right, double bottom, double top,
                                               double near, double far)
{
    std::array<float, 16> m{};
    m[0] = float(2 * near / (right - left));
    m[5] = float(2 * near / (top - bottom));
    m[8] = float((right + left) / (right - left));
    m[9] = float((top + bottom) / (top - bottom));
    m[10] = float(-(far + near) / (far - near));
    m[11] = -1;
    m[14] = float(-2 * far * near / (far - near));
    return m;
}

void SceneRasterizer::setForcedFailureForTesting(const QString& step)
{
    std::lock_guard lock(forcedMutex);
    forcedFailure = step;
}

} // namespace pf
