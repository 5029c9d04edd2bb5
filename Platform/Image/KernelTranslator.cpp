#include "Platform/Image/KernelTranslator.h"

#include <QCryptographicHash>
#include <QSet>
#include <cstring>
#include <vector>

namespace pf {

namespace {

bool isIdentifierStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool isIdentifierPart(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// Words of C++ that the kernel language leaves free as names.
const QSet<QString>& cppWords()
{
    // Never destroyed: a worker thread may translate a text while the program exits.
    static const auto* words = new QSet<QString>{
        QStringLiteral("auto"),      QStringLiteral("catch"),     QStringLiteral("char"),
        QStringLiteral("class"),     QStringLiteral("delete"),    QStringLiteral("double"),
        QStringLiteral("explicit"),  QStringLiteral("extern"),    QStringLiteral("friend"),
        QStringLiteral("goto"),      QStringLiteral("long"),      QStringLiteral("mutable"),
        QStringLiteral("namespace"), QStringLiteral("new"),       QStringLiteral("operator"),
        QStringLiteral("private"),   QStringLiteral("protected"), QStringLiteral("public"),
        QStringLiteral("register"),  QStringLiteral("short"),     QStringLiteral("signed"),
        QStringLiteral("static"),    QStringLiteral("template"),  QStringLiteral("this"),
        QStringLiteral("throw"),     QStringLiteral("try"),       QStringLiteral("typedef"),
        QStringLiteral("typename"),  QStringLiteral("union"),     QStringLiteral("unsigned"),
        QStringLiteral("using"),     QStringLiteral("virtual"),   QStringLiteral("and"),
        QStringLiteral("or"),        QStringLiteral("not"),       QStringLiteral("xor"),
        QStringLiteral("each"),      QStringLiteral("size"),      QStringLiteral("Sampler"),
    };
    return *words;
}

bool isTypeWord(const QString& word)
{
    return word == QLatin1String("float") || word == QLatin1String("int") || word == QLatin1String("bool") ||
           word == QLatin1String("vec2") || word == QLatin1String("vec3") || word == QLatin1String("vec4");
}

// The component indices of a swizzle ("rgb" -> 0, 1, 2), or nothing when the word is not one.
std::optional<std::vector<int>> swizzle(const QString& word)
{
    static const char* sets[] = {"xyzw", "rgba", "stpq"};
    if (word.isEmpty() || word.size() > 4)
        return std::nullopt;
    for (const char* set : sets) {
        std::vector<int> indices;
        for (QChar c : word) {
            const char* at = c.unicode() < 128 ? std::strchr(set, char(c.unicode())) : nullptr;
            if (!at || !*at)
                break;
            indices.push_back(int(at - set));
        }
        if (indices.size() == size_t(word.size()))
            return indices;
    }
    return std::nullopt;
}

} // namespace

quint64 KernelTranslator::textKey(const QString& text)
{
    const QByteArray digest = QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1);
    quint64 key = 0;
    for (int i = 0; i < 8; ++i)
        key = (key << 8) | quint8(digest[i]);
    return key;
}

std::optional<KernelTranslator::Result>
KernelTranslator::translate(const QString& text, const QString& namespaceName, QString* whyNot)
{
    auto refuse = [&](const QString& reason) -> std::optional<Result> {
        if (whyNot)
            *whyNot = reason;
        return std::nullopt;
    };
    QString parseError;
    const auto parsed = KernelParser::parse(text, &parseError);
    if (!parsed)
        return refuse(parseError);
    if (parsed->hasPreprocessorLines)
        return refuse(QStringLiteral("the text has preprocessor lines"));

    QString out;
    out.reserve(text.size() * 5 / 4);
    const qsizetype n = text.size();
    std::vector<bool> parentheses; // true: an array constructor's, closed with a brace
    QChar last;                    // the last character of code written, spaces aside
    bool reference = false;        // after `out` or `inout`: the next type is a reference
    auto put = [&](const QString& s) {
        out += s;
        for (qsizetype k = s.size() - 1; k >= 0; --k)
            if (!s[k].isSpace()) {
                last = s[k];
                break;
            }
    };
    for (qsizetype i = 0; i < n;) {
        const QChar c = text[i];
        if (c == QLatin1Char('/') && i + 1 < n && text[i + 1] == QLatin1Char('/')) {
            const qsizetype end = text.indexOf(QLatin1Char('\n'), i);
            const qsizetype stop = end < 0 ? n : end;
            out += text.mid(i, stop - i);
            i = stop;
            continue;
        }
        if (c == QLatin1Char('/') && i + 1 < n && text[i + 1] == QLatin1Char('*')) {
            const qsizetype end = text.indexOf(QStringLiteral("*/"), i + 2);
            const qsizetype stop = end < 0 ? n : end + 2;
            out += text.mid(i, stop - i);
            i = stop;
            continue;
        }
        if (c.isSpace()) {
            out += c;
            ++i;
            continue;
        }
        if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && text[i + 1].isDigit())) {
            qsizetype j = i;
            bool isFloat = false;
            if (c == QLatin1Char('0') && j + 1 < n &&
                (text[j + 1] == QLatin1Char('x') || text[j + 1] == QLatin1Char('X'))) {
                j += 2;
                while (j < n && text[j].isLetterOrNumber())
                    ++j;
            } else {
                while (j < n && text[j].isDigit())
                    ++j;
                if (j < n && text[j] == QLatin1Char('.')) {
                    isFloat = true;
                    ++j;
                    while (j < n && text[j].isDigit())
                        ++j;
                }
                if (j < n && (text[j] == QLatin1Char('e') || text[j] == QLatin1Char('E'))) {
                    qsizetype k = j + 1;
                    if (k < n && (text[k] == QLatin1Char('+') || text[k] == QLatin1Char('-')))
                        ++k;
                    if (k < n && text[k].isDigit()) {
                        isFloat = true;
                        j = k;
                        while (j < n && text[j].isDigit())
                            ++j;
                    }
                }
            }
            QString number = text.mid(i, j - i);
            if (j < n && (text[j] == QLatin1Char('f') || text[j] == QLatin1Char('F'))) {
                number += QLatin1Char('f');
                ++j;
            } else if (j < n && (text[j] == QLatin1Char('u') || text[j] == QLatin1Char('U'))) {
                ++j;
            } else if (isFloat) {
                number += QLatin1Char('f');
            }
            put(number);
            i = j;
            continue;
        }
        if (isIdentifierStart(c)) {
            qsizetype j = i;
            while (j < n && isIdentifierPart(text[j]))
                ++j;
            const QString word = text.mid(i, j - i);
            i = j;
            if (last == QLatin1Char('.')) {
                const auto indices = swizzle(word);
                if (!indices)
                    return refuse(QStringLiteral("'.%1' is not a swizzle").arg(word));
                if (indices->size() == 1) {
                    put(QString(QLatin1Char("xyzw"[(*indices)[0]])));
                    continue;
                }
                // Written to when an assignment follows.
                qsizetype k = i;
                while (k < n && text[k].isSpace())
                    ++k;
                const bool assigned = (k < n && text[k] == QLatin1Char('=') &&
                                       !(k + 1 < n && text[k + 1] == QLatin1Char('='))) ||
                                      (k + 1 < n && QStringLiteral("+-*/").contains(text[k]) &&
                                       text[k + 1] == QLatin1Char('='));
                QStringList list;
                for (int index : *indices)
                    list << QString::number(index);
                put(QStringLiteral("%1<%2>()")
                        .arg(assigned ? QStringLiteral("swzRef") : QStringLiteral("swz"),
                             list.join(QLatin1Char(','))));
                continue;
            }
            if (word == QLatin1String("kernel") || word == QLatin1String("in") ||
                word == QLatin1String("highp") || word == QLatin1String("mediump") ||
                word == QLatin1String("lowp"))
                continue;
            if (word == QLatin1String("out") || word == QLatin1String("inout")) {
                reference = true;
                continue;
            }
            if (word == QLatin1String("sampler")) {
                put(QStringLiteral("const Sampler&"));
                continue;
            }
            const QString type = word == QLatin1String("__color") ? QStringLiteral("vec4") : word;
            if (isTypeWord(type)) {
                // An array constructor, `float[](...)` or `float[3](...)`: a brace list.
                qsizetype k = i;
                while (k < n && text[k].isSpace())
                    ++k;
                if (k < n && text[k] == QLatin1Char('[')) {
                    qsizetype close = text.indexOf(QLatin1Char(']'), k);
                    qsizetype open = close < 0 ? -1 : close + 1;
                    while (open >= 0 && open < n && text[open].isSpace())
                        ++open;
                    if (open >= 0 && open < n && text[open] == QLatin1Char('(')) {
                        put(QStringLiteral("{"));
                        parentheses.push_back(true);
                        i = open + 1;
                        continue;
                    }
                }
                put(reference ? type + QLatin1Char('&') : type);
                reference = false;
                continue;
            }
            put(cppWords().contains(word) ? word + QLatin1Char('_') : word);
            continue;
        }
        if (c == QLatin1Char('(')) {
            parentheses.push_back(false);
            put(QStringLiteral("("));
        } else if (c == QLatin1Char(')')) {
            const bool brace = !parentheses.empty() && parentheses.back();
            if (!parentheses.empty())
                parentheses.pop_back();
            put(brace ? QStringLiteral("}") : QStringLiteral(")"));
        } else {
            put(QString(c));
        }
        ++i;
    }

    Result result;
    result.code = QStringLiteral("namespace pf::kl::%1 {\n").arg(namespaceName) + out + QStringLiteral("\n");
    for (const KernelParser::Declaration& kernel : parsed->kernels) {
        QStringList arguments;
        int sampler = 0;
        for (size_t p = 0; p < kernel.parameters.size(); ++p) {
            const QString v = QStringLiteral("v[%1]").arg(p);
            switch (kernel.parameters[p].type) {
            case Kernel::ParameterType::Sampler:
                arguments << QStringLiteral("*s[%1]").arg(sampler++);
                break;
            case Kernel::ParameterType::Float:
                arguments << v + QStringLiteral("[0]");
                break;
            case Kernel::ParameterType::Vec2:
                arguments << QStringLiteral("vec2(%1[0], %1[1])").arg(v);
                break;
            case Kernel::ParameterType::Vec3:
                arguments << QStringLiteral("vec3(%1[0], %1[1], %1[2])").arg(v);
                break;
            case Kernel::ParameterType::Vec4:
            case Kernel::ParameterType::Color:
                arguments << QStringLiteral("vec4(%1[0], %1[1], %1[2], %1[3])").arg(v);
                break;
            }
        }
        result.code += QStringLiteral("vec4 _pf_entry_%1(const Sampler* const* s, const float* const* v)\n"
                                      "{\n    (void)s;\n    (void)v;\n    return %1(%2);\n}\n")
                           .arg(kernel.name, arguments.join(QStringLiteral(", ")));
        // A row at a time: the kernel's body is inlined into the loop, with no call per pixel.
        result.code += QStringLiteral("[[gnu::flatten]] void _pf_row_%1(const Sampler* const* s, const "
                                      "float* const* v, int x0, int n, "
                                      "float y, float* out)\n"
                                      "{\n    (void)s;\n    (void)v;\n"
                                      "    for (int i = 0; i < n; ++i, out += 4) {\n"
                                      "        currentDestination = vec2(float(x0 + i) + 0.5f, y);\n"
                                      "        _pf_store(out, %1(%2));\n    }\n}\n")
                           .arg(kernel.name, arguments.join(QStringLiteral(", ")));
        result.kernels << kernel.name;
    }
    result.code += QStringLiteral("} // namespace pf::kl::%1\n").arg(namespaceName);

    // The text again, over row samplers, for the kernels that read every sampler only where they are.
    const bool usesDestination = text.contains(QLatin1String("destCoord"));
    QString rows;
    for (const KernelParser::Declaration& kernel : parsed->kernels) {
        QStringList locals, arguments, setUp, advance;
        int sampler = 0;
        bool eligible = true;
        for (size_t p = 0; p < kernel.parameters.size(); ++p) {
            const QString v = QStringLiteral("v[%1]").arg(p);
            const QString local = QStringLiteral("a%1").arg(p);
            switch (kernel.parameters[p].type) {
            case Kernel::ParameterType::Sampler: {
                // Read at fixed offsets: its rows, each as wide as the row computed and the reach
                // either side, lie one above the other.
                const bool near = p < kernel.reach.size() && kernel.reach[p].fixed;
                eligible = eligible && ((p < kernel.readOnlyHere.size() && kernel.readOnlyHere[p]) || near);
                const QString stride = near ? QStringLiteral(", std::ptrdiff_t(n + %1) * 4")
                                                  .arg(kernel.reach[p].left + kernel.reach[p].right)
                                            : QString();
                setUp << QStringLiteral("    Sampler %1{r[%2], e[%2]%3};\n")
                             .arg(local)
                             .arg(sampler++)
                             .arg(stride);
                advance << QStringLiteral("%1.p += 4;").arg(local);
                break;
            }
            case Kernel::ParameterType::Float:
                setUp << QStringLiteral("    const float %1 = %2[0];\n").arg(local, v);
                break;
            case Kernel::ParameterType::Vec2:
                setUp << QStringLiteral("    const vec2 %1(%2[0], %2[1]);\n").arg(local, v);
                break;
            case Kernel::ParameterType::Vec3:
                setUp << QStringLiteral("    const vec3 %1(%2[0], %2[1], %2[2]);\n").arg(local, v);
                break;
            case Kernel::ParameterType::Vec4:
            case Kernel::ParameterType::Color:
                setUp << QStringLiteral("    const vec4 %1(%2[0], %2[1], %2[2], %2[3]);\n").arg(local, v);
                break;
            }
            arguments << local;
        }
        if (!eligible || sampler == 0)
            continue;
        rows +=
            QStringLiteral("[[gnu::flatten]] void _pf_rows_%1(const float* const* r, const vec4* e, const "
                           "float* const* v, "
                           "int x0, int n, float y, float* __restrict out)\n{\n"
                           "    (void)r;\n    (void)e;\n    (void)v;\n    (void)x0;\n    (void)y;\n")
                .arg(kernel.name) +
            setUp.join(QString()) + QStringLiteral("    for (int i = 0; i < n; ++i, out += 4) {\n") +
            (usesDestination ? QStringLiteral("        currentDestination = vec2(float(x0 + i) + 0.5f, y);\n")
                             : QString()) +
            QStringLiteral("        _pf_store(out, %1(%2));\n        %3\n    }\n}\n")
                .arg(kernel.name, arguments.join(QStringLiteral(", ")), advance.join(QLatin1Char(' ')));
        result.rowKernels << kernel.name;
    }
    if (!rows.isEmpty())
        result.code +=
            QStringLiteral("namespace pf::kl::%1::_pf_rows {\nusing Sampler = ::pf::kl::RowSampler;\n")
                .arg(namespaceName) +
            out + QStringLiteral("\n") + rows +
            QStringLiteral("} // namespace pf::kl::%1::_pf_rows\n").arg(namespaceName);
    return result;
}

} // namespace pf
