#include "Platform/Image/Kernel.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Size.h"
#include "Platform/Image/BuiltinFilterSupport.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/ImageNode.h"
#include "Platform/Image/KernelData.h"
#include "Platform/Image/KernelParser.h"
#include "Platform/Image/KernelTranslator.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/Image/Sampler.h"
#include "Platform/Image/Vector.h"

#include "Engine/Engine.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <mutex>

namespace pf {

namespace {

std::optional<Rect> rectFromVariant(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<Rect>())
        return value.value<Rect>();
    if (value.metaType() == QMetaType::fromType<FilterShape>())
        return value.value<FilterShape>().extent();
    if (value.metaType() == QMetaType::fromType<Vector>()) {
        const Vector v = value.value<Vector>();
        if (v.count() == 4)
            return v.rect();
        return std::nullopt;
    }
    if (value.metaType() == QMetaType::fromType<QVariantList>()) {
        const QVariantList list = value.toList();
        if (list.size() != 4)
            return std::nullopt;
        double n[4];
        for (int i = 0; i < 4; ++i) {
            bool ok = false;
            n[i] = list[i].toDouble(&ok);
            if (!ok)
                return std::nullopt;
        }
        return Rect(n[0], n[1], n[2], n[3]);
    }
    return std::nullopt;
}

// The engine's own names in a compiler message, put back into the kernel language's words.
QString inAuthorsWords(QString message)
{
    static const std::pair<QRegularExpression, QString> renames[] = {
        {QRegularExpression(QStringLiteral("\\b_pf_sample\\b")), QStringLiteral("sample")},
        {QRegularExpression(QStringLiteral("\\b_pf_sampleHere\\b")), QStringLiteral("sample")},
        {QRegularExpression(QStringLiteral("\\b_pf_Sampler\\b")), QStringLiteral("sampler")},
        {QRegularExpression(QStringLiteral("\\b_pf_dc\\b")), QStringLiteral("destCoord()")},
        // Anything else of the engine's: the author never wrote it, so it cannot help them.
        {QRegularExpression(QStringLiteral("\\b_pf_\\w+")), QStringLiteral("(engine code)")},
    };
    for (const auto& [pattern, word] : renames)
        message.replace(pattern, word);
    return message;
}

// The compiler's messages in the author's terms: "line 12: ..." for each message. Lines past the
// author's text are the engine's (a text that ends early, say inside an unclosed function, has its
// errors found there): they are reported at the text's last line.
QString describeCompilerLog(const QString& log, int textLines)
{
    // Never destroyed: a worker thread may compile a text while the program exits.
    static const auto* location =
        new QRegularExpression(QStringLiteral("^\\s*\\d+:(\\d+)\\(\\d+\\):\\s*(.*)$"));
    QStringList messages;
    // Warnings about the engine's own code would bury the error that matters: only errors are told.
    const bool anyError = log.contains(QLatin1String("error:"));
    for (const QString& line : log.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (anyError && !line.contains(QLatin1String("error:")))
            continue;
        const auto match = location->match(line);
        QString message;
        if (!match.hasMatch()) {
            message = inAuthorsWords(line.trimmed());
        } else if (const int number = match.captured(1).toInt(); number >= 1 && number <= textLines) {
            message = QStringLiteral("line %1: %2").arg(number).arg(inAuthorsWords(match.captured(2)));
        } else {
            message = QStringLiteral("line %1 (the end of the text; is something left open?): %2")
                          .arg(textLines)
                          .arg(inAuthorsWords(match.captured(2)));
        }
        if (!messages.contains(message))
            messages << message;
    }
    return messages.join(QStringLiteral("; "));
}

std::mutex& cacheMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Never destroyed: a thread still compiling while the process exits (a render left running, a
// background preview) would otherwise insert into the cache as the exit frees it.
QHash<QString, std::vector<std::shared_ptr<const KernelData>>>& textCache()
{
    static auto* cache = new QHash<QString, std::vector<std::shared_ptr<const KernelData>>>;
    return *cache;
}

} // namespace

bool ApplyOptions::setDefinition(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<Sampler>()) {
        definition = value.value<Sampler>().definition().extent();
        return true;
    }
    if (value.metaType() == QMetaType::fromType<Image>()) {
        definition = value.value<Image>().definition().extent();
        return true;
    }
    auto rect = rectFromVariant(value);
    if (!rect)
        return false;
    definition = *rect;
    return true;
}

bool ApplyOptions::setExtent(const QVariant& value)
{
    auto rect = rectFromVariant(value);
    if (!rect)
        return false;
    extent = *rect;
    return true;
}

const Kernel& Kernel::copy()
{
    // Never destroyed: renders and filters on other threads may still use it while the program exits.
    static const Kernel& kernel = *new Kernel(builtin::kernelNamed(
        QString::fromUtf8(kernelTexts::Engine::ResampleOntoPixels), QStringLiteral("resampleOntoPixels")));
    return kernel;
}

std::vector<Kernel> Kernel::kernelsWithString(const QString& text, const QString& sourceName)
{
    const QString name = sourceName.isEmpty() ? QStringLiteral("kernel text") : sourceName;
    {
        std::lock_guard lock(cacheMutex());
        auto it = textCache().find(text);
        if (it != textCache().end()) {
            std::vector<Kernel> kernels;
            for (const auto& data : *it)
                kernels.push_back(Kernel(data));
            return kernels;
        }
    }

    QString parseError;
    auto parsed = KernelParser::parse(text, &parseError);
    if (!parsed) {
        pf::error(QStringLiteral("%1 does not compile: %2").arg(name, parseError));
        return {};
    }
    static std::atomic<quint64> nextId{1};
    auto program = std::make_shared<const QString>(parsed->program);
    auto topLevel = std::make_shared<const QStringList>(parsed->topLevelNames);
    const quint64 textKey = KernelTranslator::textKey(text);
    std::vector<std::shared_ptr<const KernelData>> datas;
    for (const KernelParser::Declaration& declaration : parsed->kernels) {
        auto data = std::make_shared<KernelData>();
        data->name = declaration.name;
        data->parameters = declaration.parameters;
        data->program = program;
        data->sourceName = name;
        data->id = nextId++;
        data->readOnlyHere = declaration.readOnlyHere;
        data->reach = declaration.reach;
        data->topLevelNames = topLevel;
        data->sharesPrograms = !parsed->hasPreprocessorLines;
        const CpuKernel translated = CpuKernels::find(textKey, declaration.name);
        data->cpu = translated.entry;
        data->cpuRow = translated.row;
        data->cpuRows = translated.rows;
        data->cpuNative = translated.native;
        QString compileError;
        if (!RenderContext::checkKernel(*data, &compileError)) {
            const int textLines =
                int(text.count(QLatin1Char('\n'))) + (text.endsWith(QLatin1Char('\n')) ? 0 : 1);
            pf::error(QStringLiteral("%1 does not compile: %2")
                          .arg(name, describeCompilerLog(compileError, std::max(1, textLines))));
            return {};
        }
        datas.push_back(data);
    }

    std::lock_guard lock(cacheMutex());
    auto& cached = textCache()[text];
    if (cached.empty())
        cached = datas; // a text compiled on two threads at once keeps the first result
    std::vector<Kernel> kernels;
    for (const auto& data : cached)
        kernels.push_back(Kernel(data));
    return kernels;
}

QString Kernel::name() const
{
    return m_data ? m_data->name : QString();
}

const std::vector<Kernel::Parameter>& Kernel::parameters() const
{
    static const std::vector<Parameter> none;
    return m_data ? m_data->parameters : none;
}

Image Kernel::apply(const QVariantList& arguments, const ApplyOptions& options) const
{
    if (!m_data) {
        pf::warning(QStringLiteral("a null kernel cannot be applied"));
        return Image();
    }
    const auto& parameters = m_data->parameters;
    auto mismatch = [&](size_t index, const QString& problem) {
        const QString parameter =
            index < parameters.size() ? parameters[index].name : QStringLiteral("(extra)");
        pf::warning(QStringLiteral("kernel '%1': argument %2 ('%3') %4")
                        .arg(m_data->name)
                        .arg(index + 1)
                        .arg(parameter, problem));
        return Image();
    };
    if (static_cast<size_t>(arguments.size()) < parameters.size())
        return mismatch(static_cast<size_t>(arguments.size()), QStringLiteral("is missing"));
    if (static_cast<size_t>(arguments.size()) > parameters.size())
        return mismatch(parameters.size(), QStringLiteral("has no parameter"));

    auto node = std::make_shared<ImageNode>();
    node->kind = ImageNode::Kind::Kernel;
    node->kernel = m_data;
    Rect samplerDomains = Rect::null();
    bool anySampler = false;

    for (size_t i = 0; i < parameters.size(); ++i) {
        const QVariant& value = arguments[static_cast<qsizetype>(i)];
        const QMetaType type = value.metaType();
        switch (parameters[i].type) {
        case ParameterType::Sampler: {
            Sampler sampler;
            if (type == QMetaType::fromType<Sampler>())
                sampler = value.value<Sampler>();
            else if (type == QMetaType::fromType<Image>())
                sampler = Sampler(value.value<Image>());
            else
                return mismatch(i, QStringLiteral("is not an image"));
            SamplerBinding binding;
            binding.image = sampler.image().isNull() ? Image::emptyImage().node() : sampler.image().node();
            binding.nearest = sampler.filterMode() == Sampler::FilterMode::Nearest;
            binding.clamp = sampler.wrapMode() == Sampler::WrapMode::Clamp;
            binding.matrix = sampler.matrix();
            anySampler = true;
            samplerDomains = samplerDomains.united(sampler.definition().extent());
            node->arguments.emplace_back(std::move(binding));
            break;
        }
        case ParameterType::Float: {
            bool ok = false;
            double number = 0;
            if (type.id() == QMetaType::Bool) {
                number = value.toBool() ? 1.0 : 0.0;
                ok = true;
            } else if (type.id() == QMetaType::Double || type.id() == QMetaType::Float ||
                       type.id() == QMetaType::Int || type.id() == QMetaType::LongLong ||
                       type.id() == QMetaType::UInt || type.id() == QMetaType::ULongLong) {
                number = value.toDouble(&ok);
            }
            if (!ok)
                return mismatch(i, QStringLiteral("is not a number"));
            node->arguments.emplace_back(std::vector<float>{float(number)});
            break;
        }
        case ParameterType::Vec2:
        case ParameterType::Vec3:
        case ParameterType::Vec4: {
            const size_t n = parameters[i].type == ParameterType::Vec2   ? 2
                             : parameters[i].type == ParameterType::Vec3 ? 3
                                                                         : 4;
            std::vector<double> components;
            if (type == QMetaType::fromType<Vector>())
                components = value.value<Vector>().values();
            else if (type == QMetaType::fromType<Point>() && n == 2)
                components = {value.value<Point>().x, value.value<Point>().y};
            else if (type == QMetaType::fromType<Size>() && n == 2)
                components = {value.value<Size>().width, value.value<Size>().height};
            else if (type == QMetaType::fromType<Rect>() && n == 4)
                components = Vector::fromRect(value.value<Rect>()).values();
            else if (type == QMetaType::fromType<Color>() && n == 4) {
                const Color c = value.value<Color>();
                components = {c.red(), c.green(), c.blue(), c.alpha()};
            }
            if (components.size() != n)
                return mismatch(i, QStringLiteral("is not a vector of %1 numbers").arg(n));
            node->arguments.emplace_back(std::vector<float>(components.begin(), components.end()));
            break;
        }
        case ParameterType::Color: {
            Color color;
            if (type == QMetaType::fromType<Color>()) {
                color = value.value<Color>();
            } else if (type == QMetaType::fromType<Vector>() && value.value<Vector>().count() == 4) {
                const Vector v = value.value<Vector>();
                color = Color(v.x(), v.y(), v.z(), v.w());
            } else {
                return mismatch(i, QStringLiteral("is not a colour"));
            }
            const Color p = color.premultiplied();
            node->arguments.emplace_back(
                std::vector<float>{float(p.red()), float(p.green()), float(p.blue()), float(p.alpha())});
            break;
        }
        }
    }

    node->domain =
        options.definition ? *options.definition : (anySampler ? samplerDomains : Rect::infinite());
    node->extent = options.extent ? *options.extent : node->domain;
    node->roi = options.regionOfInterest;
    if (node->domain.isNull() || node->extent.isNull() || node->domain.isEmpty() || node->extent.isEmpty()) {
        // Nothing can be drawn, but the image keeps the extent it was given.
        auto empty = std::make_shared<ImageNode>();
        empty->extent = node->extent;
        empty->domain = Rect::null();
        return Image(empty);
    }
    return Image(node);
}

} // namespace pf
