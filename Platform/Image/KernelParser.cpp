#include "Platform/Image/KernelParser.h"

#include <QHash>

namespace pf {

namespace {

struct Token
{
    enum Kind
    {
        Identifier,
        Punctuation,
        Other
    } kind;
    QString text;
    int begin; // offset in the text
    int line;
};

bool isIdentifierStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool isIdentifierPart(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// Splits the text into identifiers and punctuation, skipping comments and preprocessor lines.
std::vector<Token> tokenize(const QString& text)
{
    std::vector<Token> tokens;
    int line = 1;
    const int n = static_cast<int>(text.size());
    bool lineStart = true;
    for (int i = 0; i < n;) {
        const QChar c = text[i];
        if (c == QLatin1Char('\n')) {
            ++line;
            ++i;
            lineStart = true;
            continue;
        }
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (c == QLatin1Char('/') && i + 1 < n && text[i + 1] == QLatin1Char('/')) {
            while (i < n && text[i] != QLatin1Char('\n'))
                ++i;
            continue;
        }
        if (c == QLatin1Char('/') && i + 1 < n && text[i + 1] == QLatin1Char('*')) {
            i += 2;
            while (i < n && !(text[i] == QLatin1Char('*') && i + 1 < n && text[i + 1] == QLatin1Char('/'))) {
                if (text[i] == QLatin1Char('\n'))
                    ++line;
                ++i;
            }
            i = std::min(i + 2, n);
            continue;
        }
        if (c == QLatin1Char('#') && lineStart) {
            // Preprocessor line (with continuations): its words are still renamed below, but it
            // declares no kernel.
            const int begin = i;
            while (i < n && text[i] != QLatin1Char('\n')) {
                if (text[i] == QLatin1Char('\\') && i + 1 < n && text[i + 1] == QLatin1Char('\n')) {
                    ++line;
                    i += 2;
                    continue;
                }
                if (isIdentifierStart(text[i])) {
                    const int start = i;
                    while (i < n && isIdentifierPart(text[i]))
                        ++i;
                    tokens.push_back({Token::Other, text.mid(start, i - start), start, line});
                    continue;
                }
                ++i;
            }
            Q_UNUSED(begin);
            continue;
        }
        lineStart = false;
        if (isIdentifierStart(c)) {
            const int start = i;
            while (i < n && isIdentifierPart(text[i]))
                ++i;
            tokens.push_back({Token::Identifier, text.mid(start, i - start), start, line});
            continue;
        }
        if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && text[i + 1].isDigit())) {
            while (i < n && (isIdentifierPart(text[i]) || text[i] == QLatin1Char('.')))
                ++i;
            continue;
        }
        tokens.push_back({Token::Punctuation, QString(c), i, line});
        ++i;
    }
    return tokens;
}

std::optional<Kernel::ParameterType> parameterType(const QString& word)
{
    static const QHash<QString, Kernel::ParameterType> types{
        {QStringLiteral("sampler"), Kernel::ParameterType::Sampler},
        {QStringLiteral("float"), Kernel::ParameterType::Float},
        {QStringLiteral("vec2"), Kernel::ParameterType::Vec2},
        {QStringLiteral("vec3"), Kernel::ParameterType::Vec3},
        {QStringLiteral("vec4"), Kernel::ParameterType::Vec4},
        {QStringLiteral("__color"), Kernel::ParameterType::Color},
    };
    auto it = types.find(word);
    if (it == types.end())
        return std::nullopt;
    return *it;
}

bool isQualifier(const QString& word)
{
    return word == QLatin1String("const") || word == QLatin1String("in") || word == QLatin1String("highp") ||
           word == QLatin1String("mediump") || word == QLatin1String("lowp");
}

} // namespace

std::optional<KernelParser::Result> KernelParser::parse(const QString& text, QString* errorMessage)
{
    auto fail = [&](int line, const QString& message) -> std::optional<Result> {
        if (errorMessage)
            *errorMessage = QStringLiteral("line %1: %2").arg(line).arg(message);
        return std::nullopt;
    };

    const std::vector<Token> tokens = tokenize(text);
    Result result;

    // Words of the kernel language that the shading language lacks or reserves, rewritten in place.
    struct Replacement
    {
        int begin;
        int length;
        QString with;
    };
    std::vector<Replacement> replacements;

    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& token = tokens[i];
        if (token.kind == Token::Punctuation)
            continue;
        if (token.text == QLatin1String("sampler"))
            replacements.push_back({token.begin, 7, QStringLiteral("_pf_Sampler")});
        else if (token.text == QLatin1String("__color"))
            replacements.push_back({token.begin, 7, QStringLiteral("vec4")});
        else if (token.text == QLatin1String("sample")) {
            // The commonest read, a sampler at the pixel being computed, gets a call of its own: where
            // that lands on a pixel centre, the engine reads one texel instead of blending four.
            auto is = [&](size_t k, const char* text) {
                return k < tokens.size() && tokens[k].line == token.line &&
                       tokens[k].text == QLatin1String(text);
            };
            const size_t k = i;
            if (token.kind == Token::Identifier && is(k + 1, "(") && k + 2 < tokens.size() &&
                tokens[k + 2].kind == Token::Identifier && is(k + 3, ",") && is(k + 4, "samplerCoord") &&
                is(k + 5, "(") && k + 6 < tokens.size() && tokens[k + 6].text == tokens[k + 2].text &&
                is(k + 7, ")") && is(k + 8, ")")) {
                const int end = tokens[k + 8].begin + 1;
                replacements.push_back({token.begin, end - token.begin,
                                        QStringLiteral("_pf_sampleHere(%1)").arg(tokens[k + 2].text)});
                i += 8;
                continue;
            }
            replacements.push_back({token.begin, 6, QStringLiteral("_pf_sample")});
        }
        if (token.kind != Token::Identifier || token.text != QLatin1String("kernel"))
            continue;

        replacements.push_back({token.begin, 6, QString()});
        // kernel vec4 name ( parameters )
        if (i + 3 >= tokens.size() || tokens[i + 1].text != QLatin1String("vec4") ||
            tokens[i + 2].kind != Token::Identifier || tokens[i + 3].text != QLatin1String("("))
            return fail(token.line, QStringLiteral("a kernel must be declared as 'kernel vec4 name(...)'"));
        Declaration declaration;
        declaration.name = tokens[i + 2].text;
        declaration.line = token.line;
        size_t j = i + 4;
        std::vector<QString> words;
        // Empty when the parameter in `words` is one a kernel takes; otherwise what is wrong with it.
        auto finishParameter = [&]() -> QString {
            const QString accepted = QStringLiteral("a kernel's parameters are sampler, float, vec2, vec3, "
                                                    "vec4 or __color");
            if (words.empty())
                return QStringLiteral("kernel '%1' has an empty parameter").arg(declaration.name);
            size_t k = 0;
            while (k < words.size() && isQualifier(words[k]))
                ++k;
            if (words.size() - k != 2)
                return QStringLiteral("kernel '%1': the parameter '%2' is not a type and a name; %3")
                    .arg(declaration.name, words.back(), accepted);
            auto type = parameterType(words[k]);
            if (!type)
                return QStringLiteral("kernel '%1': the parameter '%2' is of type '%3'; %4")
                    .arg(declaration.name, words[k + 1], words[k], accepted);
            declaration.parameters.push_back({*type, words[k + 1]});
            words.clear();
            return QString();
        };
        for (; j < tokens.size() && tokens[j].text != QLatin1String(")"); ++j) {
            if (tokens[j].text == QLatin1String(",")) {
                const QString problem = finishParameter();
                if (!problem.isEmpty())
                    return fail(tokens[j].line, problem);
                continue;
            }
            if (tokens[j].kind != Token::Identifier)
                return fail(tokens[j].line, QStringLiteral("unexpected '%1' in the parameters of kernel '%2'")
                                                .arg(tokens[j].text, declaration.name));
            words.push_back(tokens[j].text);
        }
        if (j >= tokens.size())
            return fail(token.line,
                        QStringLiteral("the parameters of kernel '%1' are not closed").arg(declaration.name));
        if (!words.empty() && !(words.size() == 1 && words[0] == QLatin1String("void"))) {
            const QString problem = finishParameter();
            if (!problem.isEmpty())
                return fail(tokens[j].line, problem);
        }
        for (const Declaration& other : result.kernels) {
            if (other.name == declaration.name)
                return fail(token.line,
                            QStringLiteral("kernel '%1' is declared twice").arg(declaration.name));
        }
        result.kernels.push_back(std::move(declaration));
    }

    QString program = text;
    for (auto it = replacements.rbegin(); it != replacements.rend(); ++it)
        program.replace(it->begin, it->length, it->with);
    result.program = program;
    return result;
}

} // namespace pf
