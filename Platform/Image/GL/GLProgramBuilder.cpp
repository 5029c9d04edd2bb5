#include "Platform/Image/GL/GLProgramBuilder.h"

#include "Platform/Image/KernelParser.h"

#include <functional>

namespace pf {

QString GLProgramBuilder::uniformName(const char* base, int sampler, int stage)
{
    QString name = QStringLiteral("_pf_%1%2").arg(QLatin1String(base)).arg(sampler);
    if (stage >= 0)
        name += QStringLiteral("_%1").arg(stage);
    return name;
}

QByteArray GLProgramBuilder::vertexShader()
{
    // One rectangle, given in normalised device coordinates, drawn as a strip of four vertices.
    return QByteArrayLiteral(
        "#version 300 es\n"
        "uniform vec4 _pf_quad;\n"
        "void main() {\n"
        "    vec2 corner = vec2(float(gl_VertexID & 1), float((gl_VertexID >> 1) & 1));\n"
        "    gl_Position = vec4(mix(_pf_quad.xy, _pf_quad.zw, corner), 0.0, 1.0);\n"
        "}\n");
}

namespace {

// The kernel language's built-ins and the engine's texel reads, before any sampler.
QString preamble()
{
    QString s;
    s += QStringLiteral(
        "#version 300 es\n"
        "precision highp float;\n"
        "precision highp int;\n"
        "precision highp sampler2D;\n"
        "struct _pf_Sampler { int id; };\n"
        "uniform vec3 _pf_destination; // x origin, y scale, y offset\n"
        "vec2 _pf_dc;\n"
        "vec2 destCoord() { return _pf_dc; }\n"
        "vec4 premultiply(vec4 c) { return vec4(c.rgb * c.a, c.a); }\n"
        "vec4 unpremultiply(vec4 c) { return c.a > 0.0 ? vec4(c.rgb / c.a, c.a) : vec4(0.0); }\n"
        "float compare(float x, float y, float z) { return x < 0.0 ? y : z; }\n"
        "vec2 compare(vec2 x, vec2 y, vec2 z) { return mix(z, y, lessThan(x, vec2(0.0))); }\n"
        "vec3 compare(vec3 x, vec3 y, vec3 z) { return mix(z, y, lessThan(x, vec3(0.0))); }\n"
        "vec4 compare(vec4 x, vec4 y, vec4 z) { return mix(z, y, lessThan(x, vec4(0.0))); }\n"
        "vec4 _pf_fetch(sampler2D t, ivec2 i, ivec2 size) {\n"
        "    return any(lessThan(i, ivec2(0))) || any(greaterThanEqual(i, size)) ? vec4(0.0)\n"
        "                                                                   : texelFetch(t, i, 0);\n"
        "}\n"
        "vec4 _pf_bilinear(sampler2D t, vec2 p, ivec2 size) {\n"
        "    vec2 c = p - 0.5;\n"
        "    vec2 f = floor(c);\n"
        "    vec2 w = c - f;\n"
        "    ivec2 i = ivec2(f);\n"
        "    vec4 a = _pf_fetch(t, i, size);\n"
        "    vec4 b = _pf_fetch(t, i + ivec2(1, 0), size);\n"
        "    vec4 d = _pf_fetch(t, i + ivec2(0, 1), size);\n"
        "    vec4 e = _pf_fetch(t, i + ivec2(1, 1), size);\n"
        "    return mix(mix(a, b, w.x), mix(d, e, w.x), w.y);\n"
        "}\n");

    return s;
}

// One sampler's uniforms and its two readers, `_pf_read<i>(p)` and `_pf_readHere<i>()`.
void addReaders(QString& s, int i, const GLSamplerChain& chain)
{
    s += QStringLiteral("uniform mat3 %1;\nuniform vec4 %2;\n")
             .arg(GLProgramBuilder::uniformName("w2s", i), GLProgramBuilder::uniformName("extent", i));
    for (int k = 0; k < static_cast<int>(chain.stages.size()); ++k) {
        if (!chain.stages[static_cast<size_t>(k)].identityMap)
            s += QStringLiteral("uniform mat3 %1;\n").arg(GLProgramBuilder::uniformName("stageMap", i, k));
        s += QStringLiteral("uniform vec4 %1;\n").arg(GLProgramBuilder::uniformName("stageRect", i, k));
    }
    if (chain.terminal == GLSamplerChain::Terminal::Texture)
        s += QStringLiteral("uniform sampler2D %1;\nuniform mat3 %2;\nuniform float %3;\nuniform ivec2 "
                            "%4;\nuniform vec4 %5;\n")
                 .arg(GLProgramBuilder::uniformName("texture", i),
                      GLProgramBuilder::uniformName("textureMap", i), GLProgramBuilder::uniformName("lod", i),
                      GLProgramBuilder::uniformName("size", i), GLProgramBuilder::uniformName("round", i));
    else if (chain.terminal == GLSamplerChain::Terminal::Constant)
        s += QStringLiteral("uniform vec4 %1;\n").arg(GLProgramBuilder::uniformName("constant", i));

    // The chain's stages, then its terminal read at texture point t (by `fetch` when given).
    auto reader = [&](const QString& signature, const QString& start, bool single) {
        s += signature + QStringLiteral(" {\n") + start;
        for (int k = 0; k < static_cast<int>(chain.stages.size()); ++k) {
            const GLChainStage& stage = chain.stages[static_cast<size_t>(k)];
            const QString rect = GLProgramBuilder::uniformName("stageRect", i, k);
            if (!stage.identityMap)
                s += QStringLiteral("    p = (%1 * vec3(p, 1.0)).xy;\n")
                         .arg(GLProgramBuilder::uniformName("stageMap", i, k));
            if (stage.op == GLChainStage::Op::Crop)
                s += QStringLiteral(
                         "    if (any(lessThan(p, %1.xy)) || any(greaterThanEqual(p, %1.zw))) return "
                         "vec4(0.0);\n")
                         .arg(rect);
            else
                s += QStringLiteral("    p = clamp(p, %1.xy, %1.zw);\n").arg(rect);
        }
        switch (chain.terminal) {
        case GLSamplerChain::Terminal::Zero:
            s += QStringLiteral("    return vec4(0.0);\n");
            break;
        case GLSamplerChain::Terminal::Constant:
            s += QStringLiteral("    return %1;\n").arg(GLProgramBuilder::uniformName("constant", i));
            break;
        case GLSamplerChain::Terminal::Texture:
            // Level 0 is read texel by texel: exact at pixel centres (no trace of the neighbours that
            // normalised coordinates leave on large textures) and transparent outside the texture.
            // Reads of a mipmap level use the texture unit. Which one is decided here, not by a
            // branch in the program: a software rasterizer runs both sides of a branch.
            s += QStringLiteral("    vec2 t = (%1 * vec3(p, 1.0)).xy;\n")
                     .arg(GLProgramBuilder::uniformName("textureMap", i));
            if (chain.usesMipmap())
                s += QStringLiteral("    if (any(lessThan(t, vec2(0.0))) || any(greaterThan(t, vec2(%2)))) "
                                    "return vec4(0.0);\n"
                                    "    return textureLod(%1, t / vec2(%2), %3);\n")
                         .arg(GLProgramBuilder::uniformName("texture", i),
                              GLProgramBuilder::uniformName("size", i),
                              GLProgramBuilder::uniformName("lod", i));
            else if (single)
                // A texel centre exactly: its texel.
                s += QStringLiteral("    return _pf_fetch(%1, ivec2(floor(t)), %2);\n")
                         .arg(GLProgramBuilder::uniformName("texture", i),
                              GLProgramBuilder::uniformName("size", i));
            else if (chain.nearest)
                // A point on the border between two pixels reads the one above or to the right of it,
                // in the image's own upward coordinates: textures whose rows run downward round the
                // other way along y (round.xy flips an axis, round.zw moves back by one texel).
                s += QStringLiteral("    vec2 n = floor(t * %3.xy) * %3.xy + %3.zw;\n"
                                    "    return _pf_fetch(%1, ivec2(n), %2);\n")
                         .arg(GLProgramBuilder::uniformName("texture", i),
                              GLProgramBuilder::uniformName("size", i),
                              GLProgramBuilder::uniformName("round", i));
            else
                s += QStringLiteral("    return _pf_bilinear(%1, t, %2);\n")
                         .arg(GLProgramBuilder::uniformName("texture", i),
                              GLProgramBuilder::uniformName("size", i));
            break;
        }
        s += QStringLiteral("}\n");
    };
    reader(QStringLiteral("vec4 _pf_read%1(vec2 p)").arg(i), QString(), false);
    // At the pixel being computed.
    reader(QStringLiteral("vec4 _pf_readHere%1()").arg(i),
           QStringLiteral("    vec2 p = (%1 * vec3(_pf_dc, 1.0)).xy;\n")
               .arg(GLProgramBuilder::uniformName("w2s", i)),
           chain.aligned);
}

// Dispatch by sampler: `signature` returns, for the sampler whose id is one of `ids`, `perSampler` with
// the id filled in, else `fallback`.
void addDispatch(QString& s, const QString& signature, const std::vector<int>& ids,
                 const std::function<QString(int)>& perSampler, const QString& fallback)
{
    s += signature + QStringLiteral(" {\n");
    for (int i : ids)
        s += QStringLiteral("    if (s.id == %1) return %2;\n").arg(i).arg(perSampler(i));
    s += QStringLiteral("    return %1;\n}\n").arg(fallback);
}

QString uniformType(Kernel::ParameterType type)
{
    switch (type) {
    case Kernel::ParameterType::Float:
        return QStringLiteral("float");
    case Kernel::ParameterType::Vec2:
        return QStringLiteral("vec2");
    case Kernel::ParameterType::Vec3:
        return QStringLiteral("vec3");
    default:
        return QStringLiteral("vec4");
    }
}

} // namespace

QByteArray GLProgramBuilder::fragmentShader(const KernelData& kernel,
                                            const std::vector<GLSamplerChain>& chains)
{
    QString s = preamble();
    const int samplers = static_cast<int>(chains.size());
    for (int i = 0; i < samplers; ++i)
        addReaders(s, i, chains[static_cast<size_t>(i)]);

    auto dispatch = [&](const QString& signature, const QString& perSampler, const QString& fallback) {
        s += signature + QStringLiteral(" {\n");
        for (int i = 0; i < samplers; ++i)
            s += QStringLiteral("    if (s.id == %1) return %2;\n").arg(i).arg(perSampler.arg(i));
        s += QStringLiteral("    return %1;\n}\n").arg(fallback);
    };
    dispatch(QStringLiteral("vec4 _pf_sample(_pf_Sampler s, vec2 p)"), QStringLiteral("_pf_read%1(p)"),
             QStringLiteral("vec4(0.0)"));
    dispatch(QStringLiteral("vec4 _pf_sampleHere(_pf_Sampler s)"), QStringLiteral("_pf_readHere%1()"),
             QStringLiteral("vec4(0.0)"));
    dispatch(QStringLiteral("vec2 samplerTransform(_pf_Sampler s, vec2 p)"),
             QStringLiteral("(_pf_w2s%1 * vec3(p, 1.0)).xy"), QStringLiteral("p"));
    dispatch(QStringLiteral("vec2 samplerCoord(_pf_Sampler s)"),
             QStringLiteral("(_pf_w2s%1 * vec3(_pf_dc, 1.0)).xy"), QStringLiteral("_pf_dc"));
    dispatch(QStringLiteral("vec4 samplerExtent(_pf_Sampler s)"), QStringLiteral("_pf_extent%1"),
             QStringLiteral("vec4(0.0)"));
    s += QStringLiteral("vec2 samplerOrigin(_pf_Sampler s) { return samplerExtent(s).xy; }\n"
                        "vec2 samplerSize(_pf_Sampler s) { return samplerExtent(s).zw; }\n");

    // Scalar and vector arguments.
    QStringList call;
    int samplerIndex = 0;
    for (size_t p = 0; p < kernel.parameters.size(); ++p) {
        const Kernel::Parameter& parameter = kernel.parameters[p];
        const QString uniform = QStringLiteral("_pf_arg%1").arg(p);
        switch (parameter.type) {
        case Kernel::ParameterType::Sampler:
            call << QStringLiteral("_pf_Sampler(%1)").arg(samplerIndex++);
            continue;
        case Kernel::ParameterType::Float:
            s += QStringLiteral("uniform float %1;\n").arg(uniform);
            break;
        case Kernel::ParameterType::Vec2:
            s += QStringLiteral("uniform vec2 %1;\n").arg(uniform);
            break;
        case Kernel::ParameterType::Vec3:
            s += QStringLiteral("uniform vec3 %1;\n").arg(uniform);
            break;
        case Kernel::ParameterType::Vec4:
        case Kernel::ParameterType::Color:
            s += QStringLiteral("uniform vec4 %1;\n").arg(uniform);
            break;
        }
        call << uniform;
    }

    s += QStringLiteral("#line 1\n");
    s += *kernel.program;
    s += QStringLiteral("\nout vec4 _pf_out;\n"
                        "void main() {\n"
                        "    _pf_dc = vec2(gl_FragCoord.x + _pf_destination.x, gl_FragCoord.y * "
                        "_pf_destination.y + _pf_destination.z);\n"
                        "    _pf_out = %1(%2);\n"
                        "}\n")
             .arg(kernel.name, call.join(QStringLiteral(", ")));
    return s.toUtf8();
}

QByteArray GLProgramBuilder::fusedFragmentShader(const std::vector<GLFusedMember>& members,
                                                 const std::vector<GLSamplerChain>& chains)
{
    QString s = preamble();
    for (size_t i = 0; i < chains.size(); ++i) {
        if (chains[i].fusedMember < 0)
            addReaders(s, static_cast<int>(i), chains[i]);
        else
            s += QStringLiteral("uniform mat3 %1;\nuniform vec4 %2;\n")
                     .arg(uniformName("w2s", int(i)), uniformName("extent", int(i)));
    }
    // A member is read only by members before it, so they are written last to first: every function
    // is defined before it is called, and no function calls itself through another.
    for (int m = static_cast<int>(members.size()) - 1; m >= 0; --m) {
        const GLFusedMember& member = members[static_cast<size_t>(m)];
        const KernelData& kernel = *member.kernel;
        const QString prefix = QStringLiteral("_pf_m%1").arg(m);
        auto fused = [&](int i) { return chains[static_cast<size_t>(i)].fusedMember; };
        addDispatch(
            s, QStringLiteral("vec4 %1_pf_sample(_pf_Sampler s, vec2 p)").arg(prefix), member.samplers,
            [&](int i) {
                // Never called for a fused sampler: its kernel reads it only where it computes.
                return fused(i) >= 0 ? QStringLiteral("vec4(0.0)") : QStringLiteral("_pf_read%1(p)").arg(i);
            },
            QStringLiteral("vec4(0.0)"));
        addDispatch(
            s, QStringLiteral("vec4 %1_pf_sampleHere(_pf_Sampler s)").arg(prefix), member.samplers,
            [&](int i) {
                return fused(i) >= 0 ? QStringLiteral("_pf_fused%1()").arg(fused(i))
                                     : QStringLiteral("_pf_readHere%1()").arg(i);
            },
            QStringLiteral("vec4(0.0)"));
        addDispatch(
            s, QStringLiteral("vec2 %1samplerTransform(_pf_Sampler s, vec2 p)").arg(prefix), member.samplers,
            [](int i) { return QStringLiteral("(_pf_w2s%1 * vec3(p, 1.0)).xy").arg(i); },
            QStringLiteral("p"));
        addDispatch(
            s, QStringLiteral("vec2 %1samplerCoord(_pf_Sampler s)").arg(prefix), member.samplers,
            [](int i) { return QStringLiteral("(_pf_w2s%1 * vec3(_pf_dc, 1.0)).xy").arg(i); },
            QStringLiteral("_pf_dc"));
        addDispatch(
            s, QStringLiteral("vec4 %1samplerExtent(_pf_Sampler s)").arg(prefix), member.samplers,
            [](int i) { return QStringLiteral("_pf_extent%1").arg(i); }, QStringLiteral("vec4(0.0)"));
        s += QStringLiteral("vec2 %1samplerOrigin(_pf_Sampler s) { return %1samplerExtent(s).xy; }\n"
                            "vec2 %1samplerSize(_pf_Sampler s) { return %1samplerExtent(s).zw; }\n")
                 .arg(prefix);

        QStringList call;
        int samplerIndex = 0;
        for (size_t p = 0; p < kernel.parameters.size(); ++p) {
            const Kernel::Parameter& parameter = kernel.parameters[p];
            if (parameter.type == Kernel::ParameterType::Sampler) {
                call << QStringLiteral("_pf_Sampler(%1)").arg(member.samplers[size_t(samplerIndex++)]);
                continue;
            }
            const QString uniform = QStringLiteral("%1arg%2").arg(prefix).arg(p);
            s += QStringLiteral("uniform %1 %2;\n").arg(uniformType(parameter.type), uniform);
            call << uniform;
        }
        s += KernelParser::renamed(*kernel.program, *kernel.topLevelNames, prefix);
        s += QStringLiteral("\n");
        if (m > 0)
            s += QStringLiteral("uniform vec4 _pf_area%1;\n"
                                "vec4 _pf_fused%1() {\n"
                                "    if (any(lessThan(_pf_dc, _pf_area%1.xy)) || "
                                "any(greaterThanEqual(_pf_dc, _pf_area%1.zw))) return vec4(0.0);\n"
                                "    return %2%3(%4);\n"
                                "}\n")
                     .arg(m)
                     .arg(prefix, kernel.name, call.join(QStringLiteral(", ")));
        else
            s += QStringLiteral("out vec4 _pf_out;\n"
                                "void main() {\n"
                                "    _pf_dc = vec2(gl_FragCoord.x + _pf_destination.x, gl_FragCoord.y * "
                                "_pf_destination.y + _pf_destination.z);\n"
                                "    _pf_out = %1%2(%3);\n"
                                "}\n")
                     .arg(prefix, kernel.name, call.join(QStringLiteral(", ")));
    }
    return s.toUtf8();
}

} // namespace pf
