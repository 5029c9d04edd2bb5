#include "Platform/Image/GL/GLRenderer.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Image/CpuKernelRenderer.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/GL/GLProgramBuilder.h"
#include "Platform/Image/GL/GLSamplerChain.h"
#include "Platform/Image/KernelData.h"
#include "Platform/Image/PixelRects.h"
#include "Platform/Image/RenderStatistics.h"

#include <GLES3/gl32.h>
#include <QHash>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// GL_EXT_texture_norm16's single-channel format (its header does not build beside the ES 3.2 one).
#ifndef GL_R16_EXT
#define GL_R16_EXT 0x822A
#endif

namespace pf {

namespace {

// Whether the driver takes 16-bit normalised textures: 16-bit grey (masks) then costs half what floats
// would, and needs no conversion. Set once when the first renderer starts; the same for every context.
std::atomic<bool> norm16Textures{false};

// What a context keeps of its sources' textures, and what its pool keeps between renders (enough for the
// next preview's passes, not a full-size render's). A software rasterizer's textures are the process's
// own memory and an upload is a copy: there each context keeps an eighth, since several contexts (the
// render queue's, the live drawing's, the mask storing's) would otherwise each hold every layer's mask,
// and painting, not composing, would set the memory a session needs.
constexpr size_t CardSourceBudget = size_t(512) << 20;
constexpr size_t SoftwareSourceBudget = size_t(64) << 20;
constexpr size_t CardIdlePoolBudget = size_t(128) << 20;
constexpr size_t SoftwareIdlePoolBudget = size_t(16) << 20;
constexpr size_t PoolBudget = size_t(256) << 20;
constexpr size_t PassTextureBudget = size_t(1) << 30;

using PixelRects::areaOf;
using PixelRects::isFinite;
using PixelRects::pixelsCentredIn;
using PixelRects::project;
using PixelRects::roundOut;

void toMat3(const AffineTransform& t, float out[9])
{
    out[0] = float(t.a);
    out[1] = float(t.b);
    out[2] = 0;
    out[3] = float(t.c);
    out[4] = float(t.d);
    out[5] = 0;
    out[6] = float(t.tx);
    out[7] = float(t.ty);
    out[8] = 1;
}

Rect alignTo(const Rect& r, int block)
{
    if (block <= 1 || r.isNull())
        return r;
    const double b = block;
    const double x0 = std::floor(r.minX() / b) * b, y0 = std::floor(r.minY() / b) * b;
    const double x1 = std::ceil(r.maxX() / b) * b, y1 = std::ceil(r.maxY() / b) * b;
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

std::shared_ptr<const KernelData> copyKernel()
{
    // Never destroyed: renders and filters on other threads may still use it while the program exits.
    static const std::shared_ptr<const KernelData>& kernel = *new std::shared_ptr<const KernelData>([] {
        auto data = std::make_shared<KernelData>();
        data->name = QStringLiteral("_pf_copy");
        data->parameters = {{Kernel::ParameterType::Sampler, QStringLiteral("image")}};
        data->program = std::make_shared<const QString>(QStringLiteral(
            "vec4 _pf_copy(_pf_Sampler image) { return _pf_sample(image, samplerCoord(image)); }\n"));
        data->sourceName = QStringLiteral("engine copy");
        data->id = std::numeric_limits<quint64>::max();
        return data;
    }());
    return kernel;
}

struct Program
{
    GLuint id = 0;
    QHash<QString, GLint> locations;

    GLint location(const QString& name)
    {
        auto it = locations.find(name);
        if (it != locations.end())
            return *it;
        const GLint loc = glGetUniformLocation(id, name.toUtf8().constData());
        locations.insert(name, loc);
        return loc;
    }
};

struct PooledTexture
{
    GLuint id = 0;
    GLenum format = 0;
    int width = 0, height = 0, levels = 1;
    size_t bytes = 0;
};

struct SourceTexture
{
    GLuint id = 0;
    GLenum internal = 0;
    int width = 0, height = 0;
    bool mipmapped = false;
    size_t bytes = 0;
    quint64 lastUse = 0;
    // Bitmaps: expires with their pixels. The cache never keeps pixels alive that nobody else holds
    // (a picture replaced at every stroke would pile up to the cache's budget, twice over with its
    // texture); an expired entry's key may be reused by new pixels, so it is never looked up.
    std::weak_ptr<const void> pixels;
    std::vector<TileStore::Tile> tiles;  // tile stores: the tiles the texture shows
    std::shared_ptr<const void> lineage; // tile stores: keeps the key from being reused
};

// A kernel computed inside another's pass: the first member is the pass's own kernel, and every other
// one is read by one sampler of a member before it, at the pixel that member computes.
struct Member
{
    ImageNodePtr node;
    int parent = -1;          // the member that reads this one
    int parentChain = -1;     // through which of the pass's chains
    std::vector<int> chains;  // the pass's chains of this member's samplers, in parameter order
    Rect rect = Rect::null(); // per tile: the pixels of this member the pass computes
};

struct Producer
{
    enum class Kind
    {
        Pass,
        Source
    } kind = Kind::Pass;
    ImageNodePtr node;
    std::vector<Member> members;        // passes: the kernels the pass computes, the node's first
    std::vector<GLSamplerChain> chains; // one per sampler parameter of every member
    std::vector<int> chainProducer;     // producer of each chain's texture, or -1
    std::vector<size_t> chainArgument;  // argument index of each chain in its member's node
    int reservedSamplers = 0;           // samplers of the members, counted as they are chosen
    int mipLevels = 0;
    int consumers = 0;
    bool byRegion = false; // a source uploaded a tile's part at a time, never cached whole

    // Per tile.
    Rect required = Rect::null();
    Rect textureRect = Rect::null();
    GLuint texture = 0;
    bool flipped = false;
    bool pooled = false;
    PooledTexture pool;
    int remaining = 0;
};

int levelFor(double scale)
{
    if (!(scale > 2.0 && scale < 1e30))
        return 0;
    return std::min(12, static_cast<int>(std::ceil(std::log2(scale))));
}

} // namespace

struct GLRenderer::Private
{
    int maxTextureSize = 4096;
    int maxTile = 2048;
    GLenum passFormat = GL_RGBA32F;
    GLuint framebuffer = 0;
    GLuint vertexArray = 0;
    GLuint emptyTexture = 0;
    GLuint samplerObjects[4] = {0, 0, 0, 0}; // linear, nearest, linear+mip, nearest+mip
    GLuint vertexShader = 0;
    std::unordered_map<std::string, std::unique_ptr<Program>> programs;
    // Fused programs the compiler refused: their kernels are rendered in passes of their own instead.
    std::unordered_set<std::string> refusedPrograms;
    int textureUnits = 16;
    std::unordered_map<const void*, SourceTexture> sources;
    size_t sourceBytes = 0;
    // What sources and the idle pool may keep (set for the device when the context starts).
    size_t sourceBudget = CardSourceBudget;
    size_t idlePoolBudget = CardIdlePoolBudget;
    quint64 useClock = 0;
    std::vector<PooledTexture> pool;
    std::vector<float> readback;
    GLenum rootFormat = GL_RGBA32F;
    // The whole render's result texture, when it is kept (Target::resident); tiles draw into their part.
    GLuint residentTexture = 0;
    Rect residentRect = Rect::null();
    size_t poolBytes = 0;

    // The plan of the current render.
    std::vector<Producer> producers;
    std::unordered_map<const ImageNode*, int> producerOf;
    std::vector<ImageNodePtr> synthetic;
    std::unordered_map<const ImageNode*, ImageNodePtr> copyOf;
    // How many samplers of the recipe read each kernel node: one that only one reads may be fused.
    std::unordered_map<const ImageNode*, int> readers;
    bool fusing = true;
    QString failure;
    enum class Axis
    {
        Longer,
        X,
        Y
    } splitAxis = Axis::Longer;

    Private();
    ~Private();

    Program* program(const KernelData& kernel, const std::vector<GLSamplerChain>& chains, QString* error);
    Program* fusedProgram(const Producer& producer, QString* error);
    Program* link(const std::string& key, const QByteArray& fragmentSource, QString* error);
    void countReaders(const ImageNodePtr& node);
    int producerFor(const ImageNodePtr& node);
    int addMember(Producer& producer, const ImageNodePtr& node, int parent, int parentChain);
    bool fusable(const Producer& producer, const ImageNode& consumer, size_t argument,
                 const GLSamplerChain& chain, const ImageNodePtr& terminal) const;
    void countConsumers();
    ImageNodePtr copyNode(const ImageNodePtr& node);
    GLSamplerChain walk(const SamplerBinding& binding, ImageNodePtr* terminal);
    Rect propagate(const GLSamplerChain& chain, const Rect& roi) const;
    bool renderTile(const Rect& tile, const Target& target, const Rect& whole);
    enum class Plan
    {
        Ready,
        Split, // too much for one tile: `splitAxis` says along which axis to halve it
        Failed
    };
    Plan planTile(const Rect& tile);
    bool uploadsRegions(const Producer& producer) const;
    size_t wholeSourceBytes(const Producer& producer) const;
    // Marks the sources that the texture cache cannot hold with the others for the whole render,
    // `reserved` bytes of it being taken already.
    void chooseRegionSources(size_t reserved);
    Rect sourceRegion(const Producer& producer) const;
    bool prepareSource(Producer& producer);
    bool uploadRegion(Producer& producer);
    bool runPass(Producer& producer, bool isRoot);
    PooledTexture acquire(int width, int height, int levels, GLenum format);
    void release(PooledTexture texture);
    // Deletes the oldest pooled textures until the pool holds at most `budget` bytes.
    void trimPool(size_t budget);
    // Evicts the least recently used sources until the cache holds at most `budget` bytes. An evicted
    // texture of the given size and format is handed back for reuse instead of deleted.
    GLuint trimSources(size_t budget, int width = 0, int height = 0, GLenum internal = 0);
    // Deletes the textures of bitmaps whose pixels are gone.
    void dropDeadSources();
    void dropSource(std::unordered_map<const void*, SourceTexture>::iterator it);
    void releaseTile();
};

GLRenderer::Private::Private()
{
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize);
    glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS, &textureUnits);
    maxTile = std::min(2048, maxTextureSize);
    glGenFramebuffers(1, &framebuffer);
    glGenVertexArrays(1, &vertexArray);
    glGenTextures(1, &emptyTexture);
    glBindTexture(GL_TEXTURE_2D, emptyTexture);
    const uint8_t zero[4] = {0, 0, 0, 0};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, zero);
    glGenSamplers(4, samplerObjects);
    const float border[4] = {0, 0, 0, 0};
    const GLint filters[4][2] = {{GL_LINEAR, GL_LINEAR},
                                 {GL_NEAREST, GL_NEAREST},
                                 {GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR},
                                 {GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST}};
    for (int i = 0; i < 4; ++i) {
        glSamplerParameteri(samplerObjects[i], GL_TEXTURE_MIN_FILTER, filters[i][0]);
        glSamplerParameteri(samplerObjects[i], GL_TEXTURE_MAG_FILTER, filters[i][1]);
        glSamplerParameteri(samplerObjects[i], GL_TEXTURE_WRAP_S, GL_CLAMP_TO_BORDER);
        glSamplerParameteri(samplerObjects[i], GL_TEXTURE_WRAP_T, GL_CLAMP_TO_BORDER);
        glSamplerParameterfv(samplerObjects[i], GL_TEXTURE_BORDER_COLOR, border);
    }
    // Float colour buffers are what passes render into; half floats where a driver lacks them.
    GLint extensions = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &extensions);
    bool floatTargets = false;
    bool norm16 = false;
    for (GLint i = 0; i < extensions; ++i) {
        const char* name = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
        if (name && std::strcmp(name, "GL_EXT_color_buffer_float") == 0)
            floatTargets = true;
        if (name && std::strcmp(name, "GL_EXT_texture_norm16") == 0)
            norm16 = true;
    }
    norm16Textures.store(norm16, std::memory_order_relaxed);
    // A software rasterizer runs the shipped kernels slower than their C++ translations do.
    const char* device = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const bool software = device && (std::strstr(device, "llvmpipe") || std::strstr(device, "softpipe"));
    CpuKernelRenderer::setSoftwareRasterizer(software);
    sourceBudget = software ? SoftwareSourceBudget : CardSourceBudget;
    idlePoolBudget = software ? SoftwareIdlePoolBudget : CardIdlePoolBudget;
    passFormat = floatTargets ? GL_RGBA32F : GL_RGBA16F;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glDisable(GL_BLEND);
    glDisable(GL_DITHER);
}

GLRenderer::Private::~Private()
{
    for (auto& [key, program] : programs)
        glDeleteProgram(program->id);
    if (vertexShader)
        glDeleteShader(vertexShader);
    for (auto& [key, source] : sources)
        glDeleteTextures(1, &source.id);
    for (const PooledTexture& texture : pool)
        glDeleteTextures(1, &texture.id);
    glDeleteSamplers(4, samplerObjects);
    glDeleteTextures(1, &emptyTexture);
    glDeleteVertexArrays(1, &vertexArray);
    glDeleteFramebuffers(1, &framebuffer);
}

namespace {

QString shaderLog(GLuint shader)
{
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    QByteArray log(std::max(length, 1), '\0');
    glGetShaderInfoLog(shader, length, nullptr, log.data());
    return QString::fromUtf8(log.constData()).trimmed();
}

GLuint compileShader(GLenum type, const QByteArray& source, QString* error)
{
    GLuint shader = glCreateShader(type);
    const char* text = source.constData();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        if (error)
            *error = shaderLog(shader);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

} // namespace

Program* GLRenderer::Private::program(const KernelData& kernel, const std::vector<GLSamplerChain>& chains,
                                      QString* error)
{
    std::string key = std::to_string(kernel.id);
    for (const GLSamplerChain& chain : chains)
        key += '|' + chain.shapeKey().toStdString();
    auto it = programs.find(key);
    if (it != programs.end())
        return it->second.get();
    return link(key, GLProgramBuilder::fragmentShader(kernel, chains), error);
}

Program* GLRenderer::Private::fusedProgram(const Producer& producer, QString* error)
{
    // Keyed by the chain's kernels and its shape: which member reads which, and how each sampler reads.
    std::string key = "fused";
    std::vector<GLFusedMember> members;
    for (const Member& member : producer.members) {
        key += ':' + std::to_string(member.node->kernel->id) + '<' + std::to_string(member.parent);
        GLFusedMember fused;
        fused.kernel = member.node->kernel.get();
        fused.samplers = member.chains;
        members.push_back(std::move(fused));
    }
    for (const GLSamplerChain& chain : producer.chains)
        key += '|' + chain.shapeKey().toStdString();
    auto it = programs.find(key);
    if (it != programs.end())
        return it->second.get();
    if (refusedPrograms.count(key))
        return nullptr;
    Program* linked = link(key, GLProgramBuilder::fusedFragmentShader(members, producer.chains), error);
    if (!linked)
        refusedPrograms.insert(key);
    return linked;
}

Program* GLRenderer::Private::link(const std::string& key, const QByteArray& fragmentSource, QString* error)
{
    // Programs are small, but effects can make many variants: past a bound, start the cache afresh.
    if (programs.size() >= 1024) {
        for (auto& [name, cached] : programs)
            glDeleteProgram(cached->id);
        programs.clear();
    }
    if (!vertexShader) {
        vertexShader = compileShader(GL_VERTEX_SHADER, GLProgramBuilder::vertexShader(), error);
        if (!vertexShader)
            return nullptr;
    }
    GLuint fragment = compileShader(GL_FRAGMENT_SHADER, fragmentSource, error);
    if (!fragment)
        return nullptr;
    GLuint id = glCreateProgram();
    glAttachShader(id, vertexShader);
    glAttachShader(id, fragment);
    glLinkProgram(id);
    glDetachShader(id, vertexShader);
    glDetachShader(id, fragment);
    glDeleteShader(fragment);
    GLint ok = GL_FALSE;
    glGetProgramiv(id, GL_LINK_STATUS, &ok);
    if (!ok) {
        GLint length = 0;
        glGetProgramiv(id, GL_INFO_LOG_LENGTH, &length);
        QByteArray log(std::max(length, 1), '\0');
        glGetProgramInfoLog(id, length, nullptr, log.data());
        if (error)
            *error = QString::fromUtf8(log.constData()).trimmed();
        glDeleteProgram(id);
        return nullptr;
    }
    auto program = std::make_unique<Program>();
    program->id = id;
    Program* raw = program.get();
    programs.emplace(key, std::move(program));
    return raw;
}

ImageNodePtr GLRenderer::Private::copyNode(const ImageNodePtr& node)
{
    auto it = copyOf.find(node.get());
    if (it != copyOf.end())
        return it->second;
    auto copy = std::make_shared<ImageNode>();
    copy->kind = ImageNode::Kind::Kernel;
    copy->extent = node->extent;
    copy->domain = node->domain;
    copy->kernel = copyKernel();
    SamplerBinding binding;
    binding.image = node;
    copy->arguments.push_back(binding);
    synthetic.push_back(copy);
    copyOf.emplace(node.get(), copy);
    return copy;
}

GLSamplerChain GLRenderer::Private::walk(const SamplerBinding& binding, ImageNodePtr* terminal)
{
    GLSamplerChain chain;
    chain.nearest = binding.nearest;
    chain.workingToSampler = binding.matrix.inverted();
    ImageNodePtr node = binding.image;
    chain.samplerExtent = node ? node->extent : Rect::null();
    if (!binding.matrix.isInvertible() || !node) {
        chain.terminal = GLSamplerChain::Terminal::Zero;
        return chain;
    }

    AffineTransform map;
    bool identity = true;
    auto pushStage = [&](GLChainStage::Op op, const Rect& rect) {
        GLChainStage stage;
        stage.map = map;
        stage.identityMap = identity;
        stage.op = op;
        stage.rect = rect;
        chain.stages.push_back(stage);
        map = AffineTransform();
        identity = true;
    };
    if (binding.clamp && !node->extent.isInfinite()) {
        if (node->extent.isEmpty()) {
            chain.terminal = GLSamplerChain::Terminal::Zero;
            return chain;
        }
        pushStage(GLChainStage::Op::Clamp, node->extent);
    }

    for (;;) {
        switch (node->kind) {
        case ImageNode::Kind::Empty:
            chain.terminal = GLSamplerChain::Terminal::Zero;
            return chain;
        case ImageNode::Kind::Transform:
            if (!node->transform.isInvertible()) {
                chain.terminal = GLSamplerChain::Terminal::Zero;
                return chain;
            }
            map = map.concatenated(node->transform.inverted());
            identity = identity && node->transform.isIdentity();
            node = node->input;
            continue;
        case ImageNode::Kind::Crop:
        case ImageNode::Kind::Clamp: {
            const bool crop = node->kind == ImageNode::Kind::Crop;
            if (node->rect.isEmpty() && !node->rect.isInfinite()) {
                chain.terminal = GLSamplerChain::Terminal::Zero;
                return chain;
            }
            if (node->rect.isInfinite()) {
                node = node->input;
                continue;
            }
            if (static_cast<int>(chain.stages.size()) >= GLSamplerChain::MaxStages) {
                *terminal = copyNode(node);
                chain.terminal = GLSamplerChain::Terminal::Texture;
                break;
            }
            pushStage(crop ? GLChainStage::Op::Crop : GLChainStage::Op::Clamp, node->rect);
            node = node->input;
            continue;
        }
        case ImageNode::Kind::Constant:
            chain.terminal = GLSamplerChain::Terminal::Constant;
            chain.constant = node->color;
            break;
        case ImageNode::Kind::Bitmap:
        case ImageNode::Kind::Tiles:
        case ImageNode::Kind::Kernel:
            *terminal = node;
            chain.terminal = GLSamplerChain::Terminal::Texture;
            break;
        }
        break;
    }
    chain.finalMap = map;
    chain.terminalNode = terminal->get();

    // How many terminal pixels one destination pixel spans.
    AffineTransform whole = chain.workingToSampler;
    for (const GLChainStage& stage : chain.stages)
        whole = whole.concatenated(stage.map);
    whole = whole.concatenated(chain.finalMap);
    chain.scale = std::max(std::hypot(whole.a, whole.b), std::hypot(whole.c, whole.d));
    auto whole_ = [](double v) { return std::isfinite(v) && v == std::floor(v); };
    const bool straight = whole.b == 0 && whole.c == 0 && std::abs(whole.a) == 1 && std::abs(whole.d) == 1;
    const bool turned = whole.a == 0 && whole.d == 0 && std::abs(whole.b) == 1 && std::abs(whole.c) == 1;
    chain.aligned = chain.terminal == GLSamplerChain::Terminal::Texture && !chain.usesMipmap() &&
                    (straight || turned) && whole_(whole.tx) && whole_(whole.ty);
    for (const GLChainStage& stage : chain.stages) {
        const Rect& r = stage.rect;
        if (stage.op == GLChainStage::Op::Clamp &&
            !(whole_(r.minX()) && whole_(r.minY()) && whole_(r.maxX()) && whole_(r.maxY())))
            chain.aligned = false;
    }
    return chain;
}

int GLRenderer::Private::producerFor(const ImageNodePtr& node)
{
    auto found = producerOf.find(node.get());
    if (found != producerOf.end())
        return found->second;

    Producer producer;
    if (node->kind == ImageNode::Kind::Bitmap || node->kind == ImageNode::Kind::Tiles || node->computed) {
        producer.kind = Producer::Kind::Source;
        producer.node = node;
    } else if (node->kind == ImageNode::Kind::Kernel) {
        producer.kind = Producer::Kind::Pass;
        producer.node = node;
        addMember(producer, node, -1, -1);
        if (producer.members.size() > 1) {
            // A fused program the compiler refuses (it should not happen) costs passes, not the render.
            QString error;
            if (!fusedProgram(producer, &error)) {
                pf::warning(QStringLiteral("kernels fused with '%1' do not compile together; rendering them "
                                           "one pass each: %2")
                                .arg(node->kernel->name, error));
                const bool wasFusing = fusing;
                fusing = false;
                Producer single;
                single.kind = Producer::Kind::Pass;
                single.node = node;
                addMember(single, node, -1, -1);
                fusing = wasFusing;
                producer = std::move(single);
            }
        }
    } else {
        return producerFor(copyNode(node));
    }
    producers.push_back(std::move(producer));
    const int index = static_cast<int>(producers.size()) - 1;
    producerOf.emplace(node.get(), index);
    return index;
}

int GLRenderer::Private::addMember(Producer& producer, const ImageNodePtr& node, int parent, int parentChain)
{
    const int index = static_cast<int>(producer.members.size());
    Member member;
    member.node = node;
    member.parent = parent;
    member.parentChain = parentChain;
    producer.members.push_back(std::move(member));
    if (parent < 0)
        producer.reservedSamplers += node->kernel->samplerCount();
    std::vector<std::pair<int, ImageNodePtr>> fused; // chain, kernel computed in this pass
    for (size_t a = 0; a < node->arguments.size(); ++a) {
        const auto* binding = std::get_if<SamplerBinding>(&node->arguments[a]);
        if (!binding)
            continue;
        ImageNodePtr terminal;
        GLSamplerChain chain = walk(*binding, &terminal);
        const int c = static_cast<int>(producer.chains.size());
        int input = -1;
        if (fusable(producer, *node, a, chain, terminal)) {
            producer.reservedSamplers += terminal->kernel->samplerCount();
            fused.emplace_back(c, terminal);
        } else if (chain.terminal == GLSamplerChain::Terminal::Texture) {
            input = producerFor(terminal);
        }
        producer.chains.push_back(chain);
        producer.chainProducer.push_back(input);
        producer.chainArgument.push_back(a);
        producer.members[static_cast<size_t>(index)].chains.push_back(c);
    }
    for (const auto& [c, terminal] : fused)
        producer.chains[static_cast<size_t>(c)].fusedMember = addMember(producer, terminal, index, c);
    return index;
}

bool GLRenderer::Private::fusable(const Producer& producer, const ImageNode& consumer, size_t argument,
                                  const GLSamplerChain& chain, const ImageNodePtr& terminal) const
{
    // A program holds at most this many kernels: past it, a pass costs less than the program grows.
    constexpr size_t MaxMembers = 12;
    if (!fusing || !RenderStatistics::fusionEnabled() ||
        chain.terminal != GLSamplerChain::Terminal::Texture || !terminal ||
        terminal->kind != ImageNode::Kind::Kernel || terminal->computed || !terminal->kernel)
        return false;
    // Read by this sampler alone, at the very pixel being computed: no transform, offset, crop or clamp
    // between the two kernels, and the consumer reads nothing around that pixel.
    const auto count = readers.find(terminal.get());
    if (count == readers.end() || count->second != 1)
        return false;
    if (!chain.stages.empty() || !chain.finalMap.isIdentity() || !chain.workingToSampler.isIdentity())
        return false;
    const KernelData& reader = *consumer.kernel;
    const KernelData& read = *terminal->kernel;
    if (!reader.sharesPrograms || !read.sharesPrograms || argument >= reader.readOnlyHere.size() ||
        !reader.readOnlyHere[argument])
        return false;
    return producer.members.size() < MaxMembers &&
           producer.reservedSamplers + read.samplerCount() <= textureUnits;
}

void GLRenderer::Private::countReaders(const ImageNodePtr& node)
{
    if (node->kind != ImageNode::Kind::Kernel || node->computed)
        return;
    for (const KernelArgumentValue& argument : node->arguments) {
        const auto* binding = std::get_if<SamplerBinding>(&argument);
        if (!binding)
            continue;
        ImageNodePtr terminal;
        const GLSamplerChain chain = walk(*binding, &terminal);
        if (chain.terminal != GLSamplerChain::Terminal::Texture || !terminal)
            continue;
        if (readers[terminal.get()]++ == 0)
            countReaders(terminal);
    }
}

void GLRenderer::Private::countConsumers()
{
    for (Producer& producer : producers) {
        producer.consumers = 0;
        producer.mipLevels = 0;
    }
    for (const Producer& producer : producers) {
        for (size_t c = 0; c < producer.chainProducer.size(); ++c) {
            const int input = producer.chainProducer[c];
            if (input < 0)
                continue;
            Producer& used = producers[static_cast<size_t>(input)];
            used.consumers++;
            used.mipLevels = std::max(used.mipLevels, levelFor(producer.chains[c].scale));
        }
    }
}

Rect GLRenderer::Private::propagate(const GLSamplerChain& chain, const Rect& roi) const
{
    Rect r = roi;
    for (const GLChainStage& stage : chain.stages) {
        if (r.isNull())
            return r;
        if (!stage.identityMap)
            r = stage.map.map(r);
        r = stage.op == GLChainStage::Op::Crop ? r.intersected(stage.rect) : project(r, stage.rect);
    }
    if (r.isNull())
        return r;
    r = chain.finalMap.map(r);
    // Bilinear reads reach one pixel around the point; a mipmap level L reaches 2^L pixels.
    const double reach = double(1 << levelFor(chain.scale)) * (levelFor(chain.scale) > 0 ? 2.0 : 1.0);
    return r.insetBy(-reach, -reach);
}

PooledTexture GLRenderer::Private::acquire(int width, int height, int requestedLevels, GLenum format)
{
    int maxLevels = 1;
    while ((std::max(width, height) >> maxLevels) > 0)
        ++maxLevels;
    const int levels = std::min(requestedLevels, maxLevels);
    // Without mipmaps a pass draws into the lower-left part of a texture at least its size, so that
    // the tiles of a render, whose sizes differ at the picture's edges, share one texture instead of
    // each making (and the driver clearing) its own. Mipmaps are made of the whole texture and read
    // in normalised coordinates: those textures are made to measure.
    const bool bucketed = levels == 1;
    if (bucketed) {
        constexpr int Step = 256;
        width = std::min(maxTextureSize, (width + Step - 1) / Step * Step);
        height = std::min(maxTextureSize, (height + Step - 1) / Step * Step);
    }
    size_t best = pool.size();
    for (size_t i = 0; i < pool.size(); ++i) {
        const PooledTexture& t = pool[i];
        if (t.levels != levels || t.format != format)
            continue;
        const bool fits = bucketed
                              ? t.width >= width && t.height >= height &&
                                    size_t(t.width) * size_t(t.height) <= 2 * size_t(width) * size_t(height)
                              : t.width == width && t.height == height;
        if (fits && (best == pool.size() || size_t(t.width) * size_t(t.height) <
                                                size_t(pool[best].width) * size_t(pool[best].height)))
            best = i;
    }
    if (best < pool.size()) {
        PooledTexture texture = pool[best];
        pool.erase(pool.begin() + static_cast<std::ptrdiff_t>(best));
        poolBytes -= texture.bytes;
        return texture;
    }
    PooledTexture texture;
    texture.width = width;
    texture.height = height;
    texture.levels = levels;
    texture.format = format;
    const size_t bytesPerPixel = format == GL_RGBA32F ? 16 : format == GL_RGBA16F ? 8 : 4;
    texture.bytes = size_t(width) * size_t(height) * bytesPerPixel * (levels > 1 ? 4 : 3) / 3;
    glGenTextures(1, &texture.id);
    glBindTexture(GL_TEXTURE_2D, texture.id);
    glTexStorage2D(GL_TEXTURE_2D, levels, format, width, height);
    return texture;
}

void GLRenderer::Private::release(PooledTexture texture)
{
    if (!texture.id)
        return;
    pool.push_back(texture);
    poolBytes += texture.bytes;
    trimPool(PoolBudget);
}

void GLRenderer::Private::trimPool(size_t budget)
{
    while (poolBytes > budget && !pool.empty()) {
        poolBytes -= pool.front().bytes;
        glDeleteTextures(1, &pool.front().id);
        pool.erase(pool.begin());
    }
}

void GLRenderer::Private::dropSource(std::unordered_map<const void*, SourceTexture>::iterator it)
{
    sourceBytes -= it->second.bytes;
    glDeleteTextures(1, &it->second.id);
    sources.erase(it);
}

void GLRenderer::Private::dropDeadSources()
{
    for (auto it = sources.begin(); it != sources.end();) {
        const bool dead = !it->second.lineage && it->second.pixels.expired();
        auto next = std::next(it);
        if (dead)
            dropSource(it);
        it = next;
    }
}

GLuint GLRenderer::Private::trimSources(size_t budget, int width, int height, GLenum internal)
{
    GLuint reusable = 0;
    while (sourceBytes > budget && !sources.empty()) {
        auto oldest = sources.begin();
        for (auto it = sources.begin(); it != sources.end(); ++it) {
            if (it->second.lastUse < oldest->second.lastUse)
                oldest = it;
        }
        sourceBytes -= oldest->second.bytes;
        const SourceTexture& evicted = oldest->second;
        if (!reusable && evicted.width == width && evicted.height == height && evicted.internal == internal)
            reusable = evicted.id;
        else
            glDeleteTextures(1, &evicted.id);
        sources.erase(oldest);
    }
    return reusable;
}

namespace {

// Pixels of a bitmap in a form a texture takes: colour formats as they are, grey formats in one channel
// that reads as (v, v, v, 1), so a mask costs a quarter of what RGBA would.
struct UploadFormat
{
    GLenum internal;
    GLenum format;
    GLenum type;
    int bytesPerPixel;
    bool grey;
};

UploadFormat uploadFormat(Bitmap::Format format)
{
    switch (format) {
    case Bitmap::Format::Gray16:
        if (norm16Textures.load(std::memory_order_relaxed))
            return {GL_R16_EXT, GL_RED, GL_UNSIGNED_SHORT, 2, true};
        return {GL_R32F, GL_RED, GL_FLOAT, 4, true};
    case Bitmap::Format::RGBA8:
        return {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4, false};
    case Bitmap::Format::RGBAf:
        return {GL_RGBA32F, GL_RGBA, GL_FLOAT, 16, false};
    case Bitmap::Format::Gray8:
        return {GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1, true};
    default:
        return {GL_R32F, GL_RED, GL_FLOAT, 4, true};
    }
}

Bitmap uploadable(const Bitmap& bitmap)
{
    return bitmap.format() == Bitmap::Format::Gray16 && !norm16Textures.load(std::memory_order_relaxed)
               ? bitmap.converted(Bitmap::Format::Grayf)
               : bitmap;
}

// Grey pixels read as (v, v, v, 1); colour as they are (a recycled texture may have been grey).
void setSwizzle(const UploadFormat& upload)
{
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_G, upload.grey ? GL_RED : GL_GREEN);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_B, upload.grey ? GL_RED : GL_BLUE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, upload.grey ? GL_ONE : GL_ALPHA);
}

// Where a source's pixels lie and their format, known without computing CPU pixels. Bitmaps and tile
// stores sit at the origin; CPU pixels where their kernel's output is.
Rect sourceBounds(const ImageNode& node)
{
    if (node.computed)
        return node.computed->bounds();
    if (node.kind == ImageNode::Kind::Bitmap)
        return Rect(0, 0, node.bitmap.width(), node.bitmap.height());
    return Rect(0, 0, node.tiles.width(), node.tiles.height());
}

Bitmap::Format sourceFormat(const ImageNode& node)
{
    return node.computed                          ? node.computed->format()
           : node.kind == ImageNode::Kind::Bitmap ? node.bitmap.format()
                                                  : node.tiles.format();
}

// A source's pixels as one bitmap (tile stores have none); CPU pixels are computed on first use.
const Bitmap* sourceBitmap(const ImageNode& node)
{
    if (node.computed)
        return &node.computed->whole();
    if (node.kind == ImageNode::Kind::Bitmap)
        return &node.bitmap;
    return nullptr;
}

} // namespace

bool GLRenderer::Private::uploadsRegions(const Producer& producer) const
{
    const ImageNode& node = *producer.node;
    const Rect bounds = sourceBounds(node);
    const int width = int(bounds.width()), height = int(bounds.height());
    const UploadFormat upload = uploadFormat(sourceFormat(node));
    const size_t bytes = size_t(width) * size_t(height) * size_t(upload.bytesPerPixel);
    return producer.byRegion || width > maxTextureSize || height > maxTextureSize || bytes > sourceBudget;
}

size_t GLRenderer::Private::wholeSourceBytes(const Producer& producer) const
{
    const Rect bounds = sourceBounds(*producer.node);
    return size_t(bounds.width()) * size_t(bounds.height()) *
           size_t(uploadFormat(sourceFormat(*producer.node)).bytesPerPixel);
}

void GLRenderer::Private::chooseRegionSources(size_t reserved)
{
    // The sources a render reads whole stay in the texture cache only as far as it holds all of them
    // at once: were they more, every tile would evict what the next one reads and upload every source
    // again (a stack of full-size masks over a photo). The rest are uploaded a tile's part at a time.
    // Those already cached keep their place; then the smaller first.
    std::vector<Producer*> whole;
    for (Producer& producer : producers) {
        if (producer.kind == Producer::Kind::Source && !uploadsRegions(producer))
            whole.push_back(&producer);
    }
    auto cached = [&](const Producer* producer) {
        const Bitmap* bitmap = sourceBitmap(*producer->node);
        const auto it = sources.find(bitmap ? bitmap->identity() : producer->node->tiles.lineage());
        return it != sources.end() && !(bitmap && it->second.pixels.expired());
    };
    std::stable_sort(whole.begin(), whole.end(), [&](const Producer* a, const Producer* b) {
        const bool ca = cached(a), cb = cached(b);
        return ca != cb ? ca : wholeSourceBytes(*a) < wholeSourceBytes(*b);
    });
    size_t total = reserved;
    for (Producer* producer : whole) {
        const size_t bytes = wholeSourceBytes(*producer);
        if (total + bytes <= sourceBudget)
            total += bytes;
        else
            producer->byRegion = true;
    }
}

Rect GLRenderer::Private::sourceRegion(const Producer& producer) const
{
    // Aligned to the coarsest mipmap level read, so that every tile's levels average the same pixels.
    const Rect bounds = sourceBounds(*producer.node);
    const Rect needed = roundOut(producer.required.intersected(bounds));
    if (needed.isNull() || needed.isEmpty())
        return Rect::null();
    return alignTo(needed, 1 << producer.mipLevels).intersected(bounds);
}

bool GLRenderer::Private::uploadRegion(Producer& producer)
{
    // A source too large for one texture: upload the part this tile needs (planTile made sure it fits).
    const ImageNode& node = *producer.node;
    const Rect bounds = sourceBounds(node);
    const int height = int(bounds.height());
    const Rect needed = sourceRegion(producer);
    if (needed.isNull() || needed.isEmpty()) {
        producer.texture = 0;
        return true;
    }
    // In the source's own pixels from here on.
    const int x0 = int(needed.minX() - bounds.minX()), y0 = int(needed.minY() - bounds.minY());
    const int w = int(needed.width()), h = int(needed.height());
    if (w > maxTextureSize || h > maxTextureSize) {
        failure = QStringLiteral("a source region of %1 x %2 pixels exceeds the texture limit").arg(w).arg(h);
        return false;
    }
    const Bitmap::Format format = sourceFormat(node);
    const Bitmap* whole = sourceBitmap(node);
    if (whole && whole->isNull()) {
        failure = QStringLiteral("out of memory for the pixels of a source");
        return false;
    }
    Bitmap region;
    if (whole && uploadFormat(format).bytesPerPixel == Bitmap::bytesPerPixel(format)) {
        // Straight from the bitmap's rows: the region's top row is image row (height - (y0 + h)).
        region = *whole;
    } else {
        region = Bitmap(w, h, format);
        if (region.isNull()) {
            failure = QStringLiteral("out of memory for a source region");
            return false;
        }
        if (whole) {
            const int bpp = Bitmap::bytesPerPixel(format);
            for (int row = 0; row < h; ++row)
                std::memcpy(region.mutableRow(row), whole->row(height - (y0 + h) + row) + size_t(x0) * bpp,
                            region.bytesPerRow());
        } else {
            node.tiles.read(x0, height - (y0 + h), w, h, region);
        }
    }
    const bool direct = region.width() != w || region.height() != h;
    const Bitmap pixels = uploadable(region);
    const UploadFormat upload = uploadFormat(format);
    producer.pool = PooledTexture();
    glGenTextures(1, &producer.pool.id);
    glBindTexture(GL_TEXTURE_2D, producer.pool.id);
    if (direct) {
        glPixelStorei(GL_UNPACK_ROW_LENGTH, pixels.width());
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, x0);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, height - (y0 + h));
    }
    glTexImage2D(GL_TEXTURE_2D, 0, upload.internal, w, h, 0, upload.format, upload.type, pixels.data());
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    setSwizzle(upload);
    if (producer.mipLevels > 0)
        glGenerateMipmap(GL_TEXTURE_2D);
    producer.texture = producer.pool.id;
    producer.textureRect = needed;
    producer.flipped = true;
    producer.pooled = false;
    return true;
}

bool GLRenderer::Private::prepareSource(Producer& producer)
{
    const ImageNode& node = *producer.node;
    const Rect bounds = sourceBounds(node);
    const int width = int(bounds.width()), height = int(bounds.height());
    if (producer.required.isNull()) {
        producer.texture = 0;
        return true;
    }
    const Bitmap::Format format = sourceFormat(node);
    const UploadFormat upload = uploadFormat(format);
    const size_t bytes = size_t(width) * size_t(height) * size_t(upload.bytesPerPixel);
    if (uploadsRegions(producer))
        return uploadRegion(producer);

    const Bitmap* bitmap = sourceBitmap(node);
    const bool isBitmap = bitmap != nullptr;
    if (bitmap && bitmap->isNull()) {
        failure = QStringLiteral("out of memory for the pixels of a source");
        return false;
    }
    const void* key = isBitmap ? bitmap->identity() : node.tiles.lineage();
    auto it = sources.find(key);
    if (it != sources.end() && isBitmap && it->second.pixels.expired()) {
        dropSource(it);
        it = sources.end();
    }
    if (it == sources.end()) {
        // A photo's layers are rendered one after the other at the same size: the texture of one that
        // leaves the cache takes the next one's pixels, without the driver allocating and clearing anew.
        SourceTexture source;
        source.id = trimSources(sourceBudget - bytes, width, height, upload.internal);
        source.internal = upload.internal;
        source.width = width;
        source.height = height;
        source.bytes = bytes;
        const bool recycled = source.id != 0;
        if (!recycled)
            glGenTextures(1, &source.id);
        glBindTexture(GL_TEXTURE_2D, source.id);
        setSwizzle(upload);
        if (isBitmap) {
            const Bitmap pixels = uploadable(*bitmap);
            if (recycled)
                glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, upload.format, upload.type,
                                pixels.data());
            else
                glTexImage2D(GL_TEXTURE_2D, 0, upload.internal, width, height, 0, upload.format, upload.type,
                             pixels.data());
            source.pixels = bitmap->lifetime();
        } else {
            if (!recycled)
                glTexImage2D(GL_TEXTURE_2D, 0, upload.internal, width, height, 0, upload.format, upload.type,
                             nullptr);
            source.lineage = node.tiles.lineageOwner();
        }
        it = sources.emplace(key, std::move(source)).first;
        sourceBytes += bytes;
    }
    SourceTexture& source = it->second;
    glBindTexture(GL_TEXTURE_2D, source.id);
    if (!isBitmap) {
        // Bring the texture up to this snapshot: only tiles that differ are sent.
        const auto& tiles = node.tiles.tiles();
        if (source.tiles.size() != tiles.size())
            source.tiles.assign(tiles.size(), nullptr);
        bool changed = false;
        const int size = TileStore::TileSize;
        for (int ty = 0; ty < node.tiles.rows(); ++ty) {
            for (int tx = 0; tx < node.tiles.columns(); ++tx) {
                const size_t i = size_t(ty) * node.tiles.columns() + tx;
                if (source.tiles[i] == tiles[i])
                    continue;
                const int w = std::min(size, width - tx * size), h = std::min(size, height - ty * size);
                Bitmap tile(w, h, format);
                node.tiles.read(tx * size, ty * size, w, h, tile);
                const Bitmap pixels = uploadable(tile);
                glTexSubImage2D(GL_TEXTURE_2D, 0, tx * size, ty * size, w, h, upload.format, upload.type,
                                pixels.data());
                source.tiles[i] = tiles[i];
                changed = true;
            }
        }
        if (changed)
            source.mipmapped = false;
    }
    if (producer.mipLevels > 0 && !source.mipmapped) {
        glGenerateMipmap(GL_TEXTURE_2D);
        source.mipmapped = true;
    }
    source.lastUse = ++useClock;
    producer.texture = source.id;
    producer.textureRect = bounds;
    producer.flipped = true;
    producer.pooled = false;
    producer.pool = PooledTexture();
    return true;
}

GLRenderer::Private::Plan GLRenderer::Private::planTile(const Rect& tile)
{
    splitAxis = Axis::Longer;
    for (Producer& producer : producers) {
        producer.required = Rect::null();
        producer.textureRect = Rect::null();
        producer.texture = 0;
        producer.remaining = producer.consumers;
    }
    size_t passBytes = 0;
    const int rootIndex = static_cast<int>(producers.size()) - 1;
    producers.back().required = tile;
    for (int i = rootIndex; i >= 0; --i) {
        Producer& producer = producers[static_cast<size_t>(i)];
        if (producer.kind != Producer::Kind::Pass || producer.required.isNull())
            continue;
        Rect rect;
        if (i == rootIndex) {
            rect = tile;
        } else {
            rect = roundOut(producer.required.intersected(areaOf(*producer.node)));
            if (rect.isNull() || rect.isEmpty())
                continue;
            rect = alignTo(rect, 1 << producer.mipLevels);
        }
        if (!isFinite(rect)) {
            failure = QStringLiteral("the recipe needs an unbounded region of an intermediate image");
            return Plan::Failed;
        }
        if (rect.width() > maxTextureSize || rect.height() > maxTextureSize)
            return Plan::Split;
        passBytes += size_t(rect.width()) * size_t(rect.height()) * 16;
        if (passBytes > PassTextureBudget && i != rootIndex)
            return Plan::Split;
        producer.textureRect = rect;
        // Each member computes what the member reading it needs of it, within its own area.
        for (size_t m = 0; m < producer.members.size(); ++m) {
            Member& member = producer.members[m];
            member.rect = Rect::null();
            Rect area = rect;
            if (m > 0) {
                const Member& parent = producer.members[static_cast<size_t>(member.parent)];
                if (parent.rect.isNull())
                    continue;
                const int local = static_cast<int>(
                    std::find(parent.chains.begin(), parent.chains.end(), member.parentChain) -
                    parent.chains.begin());
                const GLSamplerChain& chain = producer.chains[static_cast<size_t>(member.parentChain)];
                const Rect roi = parent.node->roi ? parent.node->roi(local, parent.rect)
                                                  : chain.workingToSampler.map(parent.rect);
                area = roundOut(roi.intersected(areaOf(*member.node)));
                if (area.isNull() || area.isEmpty())
                    continue;
            }
            member.rect = area;
            const ImageNode& node = *member.node;
            for (size_t k = 0; k < member.chains.size(); ++k) {
                const size_t c = static_cast<size_t>(member.chains[k]);
                const int target = producer.chainProducer[c];
                if (target < 0)
                    continue;
                const GLSamplerChain& chain = producer.chains[c];
                const int samplerIndex = static_cast<int>(k);
                Rect roi = node.roi ? node.roi(samplerIndex, area) : chain.workingToSampler.map(area);
                Rect needed = propagate(chain, roi);
                if (needed.isNull())
                    continue;
                Producer& input = producers[static_cast<size_t>(target)];
                input.required = input.required.united(needed);
            }
        }
    }
    // A source read in parts must have this tile's part fit one texture. A strong reduction reads a
    // wide footprint for each output pixel, so the tile is halved along the axis that overflows
    // until it does.
    for (const Producer& producer : producers) {
        if (producer.kind != Producer::Kind::Source || producer.required.isNull() ||
            !uploadsRegions(producer))
            continue;
        const Rect region = sourceRegion(producer);
        if (region.isNull())
            continue;
        if (region.width() > maxTextureSize || region.height() > maxTextureSize) {
            splitAxis = region.width() > maxTextureSize ? Axis::X : Axis::Y;
            return Plan::Split;
        }
    }
    return Plan::Ready;
}

bool GLRenderer::Private::runPass(Producer& producer, bool isRoot)
{
    const ImageNode& node = *producer.node;
    const Rect rect = producer.textureRect;
    const int width = int(rect.width()), height = int(rect.height());
    QString error;
    const bool fused = producer.members.size() > 1;
    Program* prog = fused ? fusedProgram(producer, &error) : program(*node.kernel, producer.chains, &error);
    if (!prog) {
        failure = QStringLiteral("kernel '%1' of %2 does not compile: %3")
                      .arg(node.kernel->name, node.kernel->sourceName, error);
        return false;
    }
    // A kept result is drawn into its part of the whole result's texture, rows running downward.
    const bool resident = isRoot && residentTexture;
    const int ox = resident ? int(rect.minX() - residentRect.minX()) : 0;
    const int oy = resident ? int(residentRect.maxY() - rect.maxY()) : 0;
    if (resident) {
        producer.pool = PooledTexture();
        producer.pooled = false;
        producer.texture = residentTexture;
    } else {
        producer.pool = isRoot ? acquire(width, height, 1, rootFormat)
                               : acquire(width, height, producer.mipLevels + 1, passFormat);
        producer.pooled = true;
        producer.texture = producer.pool.id;
    }
    producer.flipped = false;

    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, producer.texture, 0);
    glViewport(ox, oy, width, height);

    // Only pixels centred inside the node's domain and extent are computed; the rest stay transparent.
    // The quad's edges fall between pixels, so no rasterization rule decides which edge pixels run.
    Rect area = pixelsCentredIn(areaOf(node)).intersected(rect);
    if (area.isNull() || !area.contains(rect)) {
        // Only the part this pass uses: a pooled texture may be larger.
        glEnable(GL_SCISSOR_TEST);
        glScissor(ox, oy, width, height);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
    }
    if (!area.isNull() && !area.isEmpty()) {
        glUseProgram(prog->id);
        glBindVertexArray(vertexArray);
        // The final tile is drawn upside down, so that its rows read back top-down like a bitmap's.
        const double y0 = 2.0 * (area.minY() - rect.minY()) / height - 1.0;
        const double y1 = 2.0 * (area.maxY() - rect.minY()) / height - 1.0;
        const float quad[4] = {
            float(2.0 * (area.minX() - rect.minX()) / width - 1.0), float(isRoot ? -y0 : y0),
            float(2.0 * (area.maxX() - rect.minX()) / width - 1.0), float(isRoot ? -y1 : y1)};
        glUniform4fv(prog->location(QStringLiteral("_pf_quad")), 1, quad);
        // Window coordinates include the viewport's offset.
        const float destination[3] = {float(rect.minX() - ox), isRoot ? -1.0f : 1.0f,
                                      float(isRoot ? rect.maxY() + oy : rect.minY())};
        glUniform3fv(prog->location(QStringLiteral("_pf_destination")), 1, destination);

        float m[9];
        for (size_t c = 0; c < producer.chains.size(); ++c) {
            const GLSamplerChain& chain = producer.chains[c];
            const int i = static_cast<int>(c);
            toMat3(chain.workingToSampler, m);
            glUniformMatrix3fv(prog->location(GLProgramBuilder::uniformName("w2s", i)), 1, GL_FALSE, m);
            const Rect e = chain.samplerExtent;
            float extent[4] = {0, 0, 0, 0};
            if (e.isInfinite()) {
                extent[0] = extent[1] = -1e30f;
                extent[2] = extent[3] = 2e30f;
            } else if (!e.isNull()) {
                extent[0] = float(e.minX());
                extent[1] = float(e.minY());
                extent[2] = float(e.width());
                extent[3] = float(e.height());
            }
            glUniform4fv(prog->location(GLProgramBuilder::uniformName("extent", i)), 1, extent);
            for (size_t k = 0; k < chain.stages.size(); ++k) {
                const GLChainStage& stage = chain.stages[k];
                if (!stage.identityMap) {
                    toMat3(stage.map, m);
                    glUniformMatrix3fv(prog->location(GLProgramBuilder::uniformName("stageMap", i, int(k))),
                                       1, GL_FALSE, m);
                }
                float r[4];
                if (stage.op == GLChainStage::Op::Crop) {
                    r[0] = float(stage.rect.minX());
                    r[1] = float(stage.rect.minY());
                    r[2] = float(stage.rect.maxX());
                    r[3] = float(stage.rect.maxY());
                } else {
                    // Edge pixel centres; a rectangle thinner than a pixel clamps to its middle.
                    const double x0 = stage.rect.minX() + 0.5, x1 = stage.rect.maxX() - 0.5;
                    const double y0 = stage.rect.minY() + 0.5, y1 = stage.rect.maxY() - 0.5;
                    r[0] = float(x0 <= x1 ? x0 : stage.rect.midX());
                    r[2] = float(x0 <= x1 ? x1 : stage.rect.midX());
                    r[1] = float(y0 <= y1 ? y0 : stage.rect.midY());
                    r[3] = float(y0 <= y1 ? y1 : stage.rect.midY());
                }
                glUniform4fv(prog->location(GLProgramBuilder::uniformName("stageRect", i, int(k))), 1, r);
            }
            if (chain.fusedMember >= 0) {
                // Read where it is computed: only where the member's own pass would have pixels.
                const Member& member = producer.members[static_cast<size_t>(chain.fusedMember)];
                const Rect a = pixelsCentredIn(areaOf(*member.node));
                float bounds[4] = {0, 0, 0, 0};
                if (!a.isNull() && a.isInfinite()) {
                    bounds[0] = bounds[1] = -1e30f;
                    bounds[2] = bounds[3] = 1e30f;
                } else if (!a.isNull()) {
                    bounds[0] = float(a.minX());
                    bounds[1] = float(a.minY());
                    bounds[2] = float(a.maxX());
                    bounds[3] = float(a.maxY());
                }
                glUniform4fv(prog->location(QStringLiteral("_pf_area%1").arg(chain.fusedMember)), 1, bounds);
                continue;
            }
            if (chain.terminal == GLSamplerChain::Terminal::Constant) {
                glUniform4fv(prog->location(GLProgramBuilder::uniformName("constant", i)), 1,
                             chain.constant.data());
            } else if (chain.terminal == GLSamplerChain::Terminal::Texture) {
                const Producer& input = producers[static_cast<size_t>(producer.chainProducer[c])];
                glActiveTexture(GL_TEXTURE0 + GLenum(i));
                const int level = levelFor(chain.scale);
                // Into texel units of the input's texture (its rows run downward for uploaded pixels).
                AffineTransform toTexture;
                GLint size[2] = {1, 1};
                if (input.texture) {
                    glBindTexture(GL_TEXTURE_2D, input.texture);
                    const Rect t = input.textureRect;
                    toTexture.d = input.flipped ? -1.0 : 1.0;
                    toTexture.tx = -t.minX();
                    toTexture.ty = input.flipped ? t.maxY() : -t.minY();
                    size[0] = GLint(t.width());
                    size[1] = GLint(t.height());
                } else {
                    glBindTexture(GL_TEXTURE_2D, emptyTexture);
                }
                glUniform2iv(prog->location(GLProgramBuilder::uniformName("size", i)), 1, size);
                const bool flipped = input.texture && input.flipped;
                const float rounding[4] = {1.0f, flipped ? -1.0f : 1.0f, 0.0f, flipped ? -1.0f : 0.0f};
                glUniform4fv(prog->location(GLProgramBuilder::uniformName("round", i)), 1, rounding);
                glBindSampler(GLuint(i),
                              samplerObjects[(chain.nearest ? 1 : 0) + (level > 0 && input.texture ? 2 : 0)]);
                glUniform1i(prog->location(GLProgramBuilder::uniformName("texture", i)), i);
                toMat3(chain.finalMap.concatenated(toTexture), m);
                glUniformMatrix3fv(prog->location(GLProgramBuilder::uniformName("textureMap", i)), 1,
                                   GL_FALSE, m);
                const float lod = level > 0 ? float(std::log2(chain.scale)) : 0.0f;
                glUniform1f(prog->location(GLProgramBuilder::uniformName("lod", i)), lod);
            }
        }
        for (size_t m = 0; m < producer.members.size(); ++m) {
            const ImageNode& member = *producer.members[m].node;
            for (size_t a = 0; a < member.arguments.size(); ++a) {
                const auto* values = std::get_if<std::vector<float>>(&member.arguments[a]);
                if (!values)
                    continue;
                const GLint location = prog->location(fused ? QStringLiteral("_pf_m%1arg%2").arg(m).arg(a)
                                                            : QStringLiteral("_pf_arg%1").arg(a));
                switch (values->size()) {
                case 1:
                    glUniform1fv(location, 1, values->data());
                    break;
                case 2:
                    glUniform2fv(location, 1, values->data());
                    break;
                case 3:
                    glUniform3fv(location, 1, values->data());
                    break;
                default:
                    glUniform4fv(location, 1, values->data());
                    break;
                }
            }
        }
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        RenderStatistics::countPass();
        for (size_t c = 0; c < producer.chains.size(); ++c)
            glBindSampler(GLuint(c), 0);
    }
    if (producer.mipLevels > 0 && !isRoot) {
        glBindTexture(GL_TEXTURE_2D, producer.texture);
        glGenerateMipmap(GL_TEXTURE_2D);
    }
    const GLenum status = glGetError();
    if (status != GL_NO_ERROR) {
        failure =
            QStringLiteral("OpenGL error 0x%1 in kernel '%2'").arg(status, 0, 16).arg(node.kernel->name);
        return false;
    }
    return true;
}

void GLRenderer::Private::releaseTile()
{
    for (Producer& producer : producers) {
        if (producer.pooled)
            release(producer.pool);
        else if (producer.pool.id)
            glDeleteTextures(1, &producer.pool.id);
        producer.pool = PooledTexture();
        producer.pooled = false;
        producer.texture = 0;
    }
}

bool GLRenderer::Private::renderTile(const Rect& tile, const Target& target, const Rect& whole)
{
    const Plan plan = planTile(tile);
    if (plan == Plan::Failed)
        return false;
    if (plan == Plan::Split) {
        // Too much for one pass: split the tile and try each half.
        const bool splitX = splitAxis == Axis::Longer ? tile.width() >= tile.height() : splitAxis == Axis::X;
        const bool tooSmall = splitAxis == Axis::Longer ? tile.width() <= 64 && tile.height() <= 64
                                                        : (splitX ? tile.width() : tile.height()) <= 1;
        if (tooSmall) {
            failure =
                splitAxis == Axis::Longer
                    ? QStringLiteral("an intermediate image is too large to render even for a small tile")
                    : QStringLiteral("a single pixel reads more of a source than fits a texture");
            return false;
        }
        const double half = std::floor((splitX ? tile.width() : tile.height()) / 2);
        const Rect a = splitX ? Rect(tile.minX(), tile.minY(), half, tile.height())
                              : Rect(tile.minX(), tile.minY(), tile.width(), half);
        const Rect b = splitX ? Rect(tile.minX() + half, tile.minY(), tile.width() - half, tile.height())
                              : Rect(tile.minX(), tile.minY() + half, tile.width(), tile.height() - half);
        return renderTile(a, target, whole) && renderTile(b, target, whole);
    }
    bool ok = true;
    const size_t rootIndex = producers.size() - 1;
    for (size_t i = 0; ok && i < producers.size(); ++i) {
        Producer& producer = producers[i];
        if (producer.kind == Producer::Kind::Source) {
            ok = prepareSource(producer);
            continue;
        }
        if (producer.textureRect.isNull())
            continue;
        ok = runPass(producer, i == rootIndex);
        // Inputs nobody else needs in this tile go back to the pool at once.
        for (int input : producer.chainProducer) {
            if (input < 0)
                continue;
            Producer& used = producers[static_cast<size_t>(input)];
            if (--used.remaining == 0 && used.pooled) {
                release(used.pool);
                used.pool = PooledTexture();
                used.pooled = false;
                used.texture = 0;
            }
        }
    }
    if (ok) {
        const Producer& root = producers[rootIndex];
        const int w = int(tile.width()), h = int(tile.height());
        const int x = int(tile.minX() - whole.minX());
        const int row = int(whole.maxY() - tile.maxY());
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, root.texture, 0);
        // Where the tile lies in the texture: its own, or its part of a kept result.
        const int rx = residentTexture ? x : 0, ry = residentTexture ? row : 0;
        if (target.kind == Target::Kind::Sink) {
            try {
                readback.resize(size_t(w) * size_t(h) * 4);
            } catch (const std::bad_alloc&) {
                failure = QStringLiteral("out of memory for a tile");
                releaseTile();
                return false;
            }
            glPixelStorei(GL_PACK_ROW_LENGTH, 0);
            glReadPixels(rx, ry, w, h, GL_RGBA, GL_FLOAT, readback.data());
        } else {
            // Straight into the caller's rows.
            const bool bytes = target.kind == Target::Kind::Bytes;
            const size_t pixelBytes = bytes ? 4 : 16;
            glPixelStorei(GL_PACK_ROW_LENGTH, GLint(target.bytesPerRow / pixelBytes));
            glReadPixels(rx, ry, w, h, GL_RGBA, bytes ? GL_UNSIGNED_BYTE : GL_FLOAT,
                         target.data + target.bytesPerRow * size_t(row) + size_t(x) * pixelBytes);
            glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        }
        const GLenum status = glGetError();
        if (status != GL_NO_ERROR) {
            failure = QStringLiteral("reading a tile back failed (OpenGL error 0x%1)").arg(status, 0, 16);
            ok = false;
        } else if (target.kind == Target::Kind::Sink) {
            target.sink(x, row, w, h, readback.data());
        }
    }
    releaseTile();
    return ok;
}

GLRenderer::GLRenderer() : d(std::make_unique<Private>()) {}

GLRenderer::~GLRenderer() = default;

bool GLRenderer::render(const ImageNodePtr& root, const Rect& rect, const Target& target,
                        QString* errorMessage)
{
    d->producers.clear();
    d->producerOf.clear();
    d->synthetic.clear();
    d->copyOf.clear();
    d->failure.clear();
    d->dropDeadSources();

    d->rootFormat = target.kind == Target::Kind::Bytes ? GL_RGBA8 : d->passFormat;
    // A result handed on as a source is drawn into a texture of its whole size, kept as that source's.
    const Bitmap& keep = target.resident;
    const size_t keptBytes = size_t(rect.width()) * size_t(rect.height()) * 4;
    const bool keepResult = target.kind == Target::Kind::Bytes && !keep.isNull() &&
                            keep.format() == Bitmap::Format::RGBA8 && keep.width() == int(rect.width()) &&
                            keep.height() == int(rect.height()) && rect.width() <= d->maxTextureSize &&
                            rect.height() <= d->maxTextureSize && keptBytes <= d->sourceBudget / 2;
    if (keepResult) {
        d->residentTexture =
            d->trimSources(d->sourceBudget - keptBytes, keep.width(), keep.height(), GL_RGBA8);
        if (!d->residentTexture) {
            glGenTextures(1, &d->residentTexture);
            glBindTexture(GL_TEXTURE_2D, d->residentTexture);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, keep.width(), keep.height(), 0, GL_RGBA,
                         GL_UNSIGNED_BYTE, nullptr);
        }
        glBindTexture(GL_TEXTURE_2D, d->residentTexture);
        setSwizzle(uploadFormat(Bitmap::Format::RGBA8));
        d->residentRect = rect;
    }
    // The last pass draws the tiles; a kernel whose pixels come from the CPU is a source, read by a copy.
    ImageNodePtr top = root;
    if (top->kind != ImageNode::Kind::Kernel || top->computed)
        top = d->copyNode(top);
    d->countReaders(top);
    d->producerFor(top);
    d->countConsumers();
    d->chooseRegionSources(keepResult ? keptBytes : 0);

    bool ok = true;
    // As few tiles as the limit allows, of equal size: 6000 pixels are three tiles of 2000, not two of
    // 2048 and a narrow one, so that a tile's intermediates, with the margin their reads need, still
    // fit the pool's 2048-pixel textures instead of taking the next size up.
    auto even = [&](double length) {
        const double count = std::ceil(length / d->maxTile);
        return count > 1 ? std::ceil(length / count) : double(d->maxTile);
    };
    const double tileWidth = even(rect.width()), tileHeight = even(rect.height());
    for (double y = rect.minY(); ok && y < rect.maxY(); y += tileHeight) {
        for (double x = rect.minX(); ok && x < rect.maxX(); x += tileWidth) {
            const Rect piece(x, y, std::min(tileWidth, rect.maxX() - x),
                             std::min(tileHeight, rect.maxY() - y));
            ok = d->renderTile(piece, target, rect);
        }
    }
    if (keepResult) {
        if (ok) {
            auto existing = d->sources.find(keep.identity());
            if (existing != d->sources.end()) {
                d->sourceBytes -= existing->second.bytes;
                glDeleteTextures(1, &existing->second.id);
                d->sources.erase(existing);
            }
            SourceTexture source;
            source.id = d->residentTexture;
            source.internal = GL_RGBA8;
            source.width = keep.width();
            source.height = keep.height();
            source.bytes = keptBytes;
            source.pixels = keep.lifetime();
            source.lastUse = ++d->useClock;
            d->sources.emplace(keep.identity(), std::move(source));
            d->sourceBytes += keptBytes;
        } else {
            glDeleteTextures(1, &d->residentTexture);
        }
        d->residentTexture = 0;
        d->residentRect = Rect::null();
    }
    if (!ok && errorMessage)
        *errorMessage = d->failure;
    // A full-size render leaves tile-sized buffers behind; an idle context should not hold them.
    d->trimPool(d->idlePoolBudget);
    std::vector<float>().swap(d->readback);
    d->producers.clear();
    d->producerOf.clear();
    d->synthetic.clear();
    d->copyOf.clear();
    d->readers.clear();
    return ok;
}

bool GLRenderer::compile(const KernelData& kernel, QString* errorMessage)
{
    std::vector<GLSamplerChain> chains(static_cast<size_t>(kernel.samplerCount()));
    for (GLSamplerChain& chain : chains)
        chain.terminal = GLSamplerChain::Terminal::Texture;
    return d->program(kernel, chains, errorMessage) != nullptr;
}

void GLRenderer::clearCaches()
{
    for (auto& [key, source] : d->sources)
        glDeleteTextures(1, &source.id);
    d->sources.clear();
    d->sourceBytes = 0;
    for (const PooledTexture& texture : d->pool)
        glDeleteTextures(1, &texture.id);
    d->pool.clear();
    d->poolBytes = 0;
}

void GLRenderer::setMaximumTileSize(int pixels)
{
    d->maxTile = std::clamp(pixels, 16, std::min(2048, d->maxTextureSize));
}

size_t GLRenderer::cachedSourceBytes() const
{
    return d->sourceBytes;
}

} // namespace pf
