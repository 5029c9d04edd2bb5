#include "Platform/Image/KernelParser.h"

#include <QHash>
#include <algorithm>
#include <cstdlib>

namespace pf {

namespace {

struct Token
{
    enum Kind
    {
        Identifier,
        Punctuation,
        Number,
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
            const int start = i;
            while (i < n && (isIdentifierPart(text[i]) || text[i] == QLatin1Char('.')))
                ++i;
            tokens.push_back({Token::Number, text.mid(start, i - start), start, line});
            continue;
        }
        tokens.push_back({Token::Punctuation, QString(c), i, line});
        ++i;
    }
    return tokens;
}

std::optional<Kernel::ParameterType> parameterType(const QString& word)
{
    // Never destroyed: a thread still compiling as the program exits reads it after static
    // destructors have run.
    static const auto& types = *new QHash<QString, Kernel::ParameterType>{
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

bool isPunctuation(const Token& token, char c)
{
    return token.kind == Token::Punctuation && token.text == QLatin1Char(c);
}

// The token that closes the body opening at token `body` (the tokens' end if it is never closed).
size_t bodyEnd(const std::vector<Token>& tokens, size_t body)
{
    size_t end = body;
    for (int depth = 0; end < tokens.size(); ++end) {
        depth += isPunctuation(tokens[end], '{') ? 1 : isPunctuation(tokens[end], '}') ? -1 : 0;
        if (depth == 0)
            break;
    }
    return end;
}

// For each parameter of a kernel whose body opens at token `body`: whether it is a sampler read only at
// the pixel being computed. Any other use (a read elsewhere, its coordinates, handing it to a function)
// means the kernel needs its pixels around the one it computes.
std::vector<bool> readsOnlyHere(const std::vector<Token>& tokens, size_t body,
                                const KernelParser::Declaration& declaration,
                                const std::vector<bool>& readHere)
{
    std::vector<bool> only(declaration.parameters.size(), false);
    if (body >= tokens.size())
        return only;
    const size_t end = bodyEnd(tokens, body);
    auto isWord = [&](size_t k, const char* word) {
        return k < tokens.size() && tokens[k].text == QLatin1String(word);
    };
    for (size_t p = 0; p < declaration.parameters.size(); ++p) {
        if (declaration.parameters[p].type != Kernel::ParameterType::Sampler)
            continue;
        const QString& name = declaration.parameters[p].name;
        bool ok = true;
        for (size_t k = body; ok && k < end && k < tokens.size(); ++k) {
            if (tokens[k].kind != Token::Identifier || tokens[k].text != name || readHere[k])
                continue;
            if (k > 0 && isPunctuation(tokens[k - 1], '.'))
                continue;
            // Its extent is a number the same everywhere.
            const bool extent = k >= 2 && isPunctuation(tokens[k - 1], '(') && k + 1 < tokens.size() &&
                                isPunctuation(tokens[k + 1], ')') &&
                                (isWord(k - 2, "samplerExtent") || isWord(k - 2, "samplerOrigin") ||
                                 isWord(k - 2, "samplerSize"));
            ok = extent;
        }
        only[p] = ok;
    }
    return only;
}

// A whole number of pixels written as a literal ("1.0", "-2", "0."), within `limit` either way.
std::optional<int> wholeLiteral(const std::vector<Token>& tokens, size_t& k, int limit)
{
    bool negative = false;
    if (k < tokens.size() && isPunctuation(tokens[k], '-')) {
        negative = true;
        ++k;
    }
    if (k >= tokens.size() || tokens[k].kind != Token::Number)
        return std::nullopt;
    QString text = tokens[k].text;
    if (text.endsWith(QLatin1Char('f')) || text.endsWith(QLatin1Char('F')))
        text.chop(1);
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    const QString whole = point < 0 ? text : text.left(point);
    const QString fraction = point < 0 ? QString() : text.mid(point + 1);
    if (whole.size() > 3 || (whole.isEmpty() && fraction.isEmpty()) ||
        std::any_of(whole.begin(), whole.end(), [](QChar c) { return !c.isDigit(); }) ||
        std::any_of(fraction.begin(), fraction.end(), [](QChar c) { return c != QLatin1Char('0'); }))
        return std::nullopt;
    const int value = whole.isEmpty() ? 0 : whole.toInt();
    if (value > limit)
        return std::nullopt;
    ++k;
    return negative ? -value : value;
}

// The token that ends the statement starting at token k (its last token): a block, a loop or `if` with
// its statement (and `else`), or what runs to the next `;`.
size_t statementEnd(const std::vector<Token>& tokens, size_t k, size_t end)
{
    if (k >= end)
        return end;
    if (isPunctuation(tokens[k], '{'))
        return std::min(bodyEnd(tokens, k), end);
    const bool control = tokens[k].kind == Token::Identifier &&
                         (tokens[k].text == QLatin1String("for") ||
                          tokens[k].text == QLatin1String("while") || tokens[k].text == QLatin1String("if"));
    if (control && k + 1 < end && isPunctuation(tokens[k + 1], '(')) {
        size_t j = k + 1;
        for (int depth = 0; j < end; ++j) {
            depth += isPunctuation(tokens[j], '(') ? 1 : isPunctuation(tokens[j], ')') ? -1 : 0;
            if (depth == 0)
                break;
        }
        size_t last = statementEnd(tokens, j + 1, end);
        if (tokens[k].text == QLatin1String("if") && last + 1 < end &&
            tokens[last + 1].kind == Token::Identifier && tokens[last + 1].text == QLatin1String("else"))
            last = statementEnd(tokens, last + 2, end);
        return last;
    }
    for (int depth = 0; k < end; ++k) {
        if (isPunctuation(tokens[k], '(') || isPunctuation(tokens[k], '{'))
            ++depth;
        else if (isPunctuation(tokens[k], ')') || isPunctuation(tokens[k], '}'))
            --depth;
        else if (depth == 0 && isPunctuation(tokens[k], ';'))
            return k;
    }
    return end;
}

// A counting loop of a kernel body: `for (int i = A; i <= B; ++i)` (or `<`, or counting down with `>`,
// `>=`; `i++`, `i += 1`; more conditions after `&&`), with whole numbers A and B: in tokens [first,
// last] (its header and statement) its counter takes the values [low, high] only, since nothing in it
// assigns the counter.
struct CountingLoop
{
    QString counter;
    int low = 0, high = 0;
    size_t first = 0, last = 0;
};

std::vector<CountingLoop> countingLoops(const std::vector<Token>& tokens, size_t body, size_t end)
{
    std::vector<CountingLoop> loops;
    const auto punct = [&](size_t k, char c) { return k < end && isPunctuation(tokens[k], c); };
    const auto word = [&](size_t k, const QString& text) {
        return k < end && tokens[k].kind == Token::Identifier && tokens[k].text == text;
    };
    // An integer literal, with its sign.
    const auto integer = [&](size_t& k) -> std::optional<int> {
        const bool negative = punct(k, '-');
        const size_t at = k + (negative ? 1 : 0);
        if (at >= end || tokens[at].kind != Token::Number)
            return std::nullopt;
        bool ok = false;
        const int value = tokens[at].text.toInt(&ok);
        if (!ok || std::abs(value) > 1000)
            return std::nullopt;
        k = at + 1;
        return negative ? -value : value;
    };
    for (size_t k = body; k < end; ++k) {
        if (!word(k, QStringLiteral("for")) || !punct(k + 1, '(') || !word(k + 2, QStringLiteral("int")) ||
            k + 3 >= end || tokens[k + 3].kind != Token::Identifier || !punct(k + 4, '='))
            continue;
        const QString name = tokens[k + 3].text;
        size_t j = k + 5;
        const auto start = integer(j);
        if (!start || !punct(j, ';') || !word(j + 1, name))
            continue;
        j += 2;
        // The comparison, then `;` or `&&` and more.
        const bool less = punct(j, '<'), greater = punct(j, '>');
        if (!less && !greater)
            continue;
        const bool orEqual = punct(j + 1, '=');
        j += orEqual ? 2 : 1;
        const auto bound = integer(j);
        if (!bound || !(punct(j, ';') || (punct(j, '&') && punct(j + 1, '&'))))
            continue;
        while (j < end && !punct(j, ';'))
            ++j;
        // The step, by one towards the bound.
        ++j;
        int step = 0;
        if (punct(j, '+') && punct(j + 1, '+') && word(j + 2, name))
            step = 1, j += 3;
        else if (punct(j, '-') && punct(j + 1, '-') && word(j + 2, name))
            step = -1, j += 3;
        else if (word(j, name) && punct(j + 1, '+') && punct(j + 2, '+'))
            step = 1, j += 3;
        else if (word(j, name) && punct(j + 1, '-') && punct(j + 2, '-'))
            step = -1, j += 3;
        else if (word(j, name) && (punct(j + 1, '+') || punct(j + 1, '-')) && punct(j + 2, '=') &&
                 j + 3 < end && tokens[j + 3].text == QLatin1String("1"))
            step = punct(j + 1, '+') ? 1 : -1, j += 4;
        if (step == 0 || !punct(j, ')') || (step > 0) != less)
            continue;
        CountingLoop loop;
        loop.counter = name;
        loop.low = step > 0 ? *start : *bound + (orEqual ? 0 : 1);
        loop.high = step > 0 ? *bound - (orEqual ? 0 : 1) : *start;
        loop.first = k;
        loop.last = statementEnd(tokens, j + 1, end);
        if (loop.low > loop.high || loop.last >= end)
            continue;
        // Nothing in the statement may assign the counter (a declaration of another of its name
        // included).
        bool assigned = false;
        for (size_t i = j + 1; !assigned && i <= loop.last; ++i) {
            if (!word(i, name) || (i > 0 && isPunctuation(tokens[i - 1], '.')))
                continue;
            const auto twice = [&](size_t a, size_t b) {
                return (punct(a, '+') && punct(b, '+')) || (punct(a, '-') && punct(b, '-'));
            };
            const bool stepped = (i >= 2 && twice(i - 2, i - 1)) || twice(i + 1, i + 2);
            const bool assignment = punct(i + 1, '=') && !punct(i + 2, '=');
            const bool compound =
                (punct(i + 1, '+') || punct(i + 1, '-') || punct(i + 1, '*') || punct(i + 1, '/')) &&
                punct(i + 2, '=');
            assigned = stepped || assignment || compound;
        }
        if (!assigned)
            loops.push_back(loop);
    }
    return loops;
}

// For each sampler of a kernel whose body spans tokens [body, end): how far around the pixel computed it
// is read, where every read is at a fixed whole-pixel offset from it: `sample(s, samplerCoord(s) +
// vec2(1.0, 0.0))`, or through a coordinate taken once, `vec2 p = samplerCoord(s);` with `p` used only
// in `sample(s, p)` and `sample(s, p - vec2(0.0, 1.0))`. Such reads are rows of pixels around the
// pixel's own. Samplers read only at the pixel itself, or any other way, get no reach.
std::vector<KernelParser::Reach> fixedReaches(const std::vector<Token>& tokens, size_t body,
                                              const KernelParser::Declaration& declaration,
                                              const std::vector<bool>& readHere)
{
    constexpr int limit = 4; // farther reads are rare and would make the rows many
    std::vector<KernelParser::Reach> reaches(declaration.parameters.size());
    if (body >= tokens.size())
        return reaches;
    const size_t end = bodyEnd(tokens, body);
    auto isWord = [&](size_t k, const char* word) {
        return k < tokens.size() && tokens[k].kind == Token::Identifier &&
               tokens[k].text == QLatin1String(word);
    };
    auto isName = [&](size_t k, const QString& name) {
        return k < tokens.size() && tokens[k].kind == Token::Identifier && tokens[k].text == name &&
               !(k > 0 && isPunctuation(tokens[k - 1], '.'));
    };
    // `samplerCoord ( name )` at k.
    auto coordinate = [&](size_t k, const QString& name) {
        return isWord(k, "samplerCoord") && k + 3 < tokens.size() && isPunctuation(tokens[k + 1], '(') &&
               isName(k + 2, name) && isPunctuation(tokens[k + 3], ')');
    };
    // The counting loops of the body: an offset may be their counters (`vec2(float(dx), float(dy))`).
    const std::vector<CountingLoop> loops = countingLoops(tokens, body, end);
    // The values a component of an offset at token j takes (a read at token `at`): a whole literal, or
    // the counter of the innermost counting loop around the read, as it is or made a float. Moves j past
    // it.
    using Range = std::pair<int, int>;
    auto component = [&](size_t& j, size_t at) -> std::optional<Range> {
        if (const auto v = wholeLiteral(tokens, j, limit))
            return Range(*v, *v);
        size_t n = j;
        const bool converted =
            isWord(n, "float") && n + 1 < tokens.size() && isPunctuation(tokens[n + 1], '(');
        if (converted)
            n += 2;
        if (n >= tokens.size() || tokens[n].kind != Token::Identifier)
            return std::nullopt;
        const CountingLoop* found = nullptr;
        for (const CountingLoop& loop : loops)
            if (loop.counter == tokens[n].text && loop.first < at && at <= loop.last &&
                (!found || loop.first > found->first))
                found = &loop;
        if (!found || std::max(-found->low, found->high) > limit)
            return std::nullopt;
        ++n;
        if (converted) {
            if (n >= tokens.size() || !isPunctuation(tokens[n], ')'))
                return std::nullopt;
            ++n;
        }
        j = n;
        return Range(found->low, found->high);
    };
    // What follows the point of a read at k: `)`, or `+ vec2 ( a , b ) )` / `- vec2 ...`. Moves k to the
    // read's closing parenthesis. The offsets' least and greatest values across, then up.
    auto offset = [&](size_t& k) -> std::optional<std::pair<Range, Range>> {
        const size_t at = k;
        if (k < tokens.size() && isPunctuation(tokens[k], ')'))
            return std::make_pair(Range(0, 0), Range(0, 0));
        if (k >= tokens.size() || !(isPunctuation(tokens[k], '+') || isPunctuation(tokens[k], '-')))
            return std::nullopt;
        const bool negative = isPunctuation(tokens[k], '-');
        size_t j = k + 1;
        if (!isWord(j, "vec2") || j + 1 >= tokens.size() || !isPunctuation(tokens[j + 1], '('))
            return std::nullopt;
        j += 2;
        const auto x = component(j, at);
        if (!x || j >= tokens.size() || !isPunctuation(tokens[j], ','))
            return std::nullopt;
        ++j;
        const auto y = component(j, at);
        if (!y || j + 1 >= tokens.size() || !isPunctuation(tokens[j], ')') ||
            !isPunctuation(tokens[j + 1], ')'))
            return std::nullopt;
        k = j + 1;
        const auto signed_ = [negative](Range r) { return negative ? Range(-r.second, -r.first) : r; };
        return std::make_pair(signed_(*x), signed_(*y));
    };
    for (size_t p = 0; p < declaration.parameters.size(); ++p) {
        if (declaration.parameters[p].type != Kernel::ParameterType::Sampler ||
            (p < declaration.readOnlyHere.size() && declaration.readOnlyHere[p]))
            continue;
        const QString& name = declaration.parameters[p].name;
        KernelParser::Reach reach;
        std::vector<bool> accounted(tokens.size(), false);
        // The coordinates taken once: `vec2 q = samplerCoord ( name ) ;`.
        QStringList points;
        for (size_t k = body; k + 7 < end; ++k)
            if (isWord(k, "vec2") && tokens[k + 1].kind == Token::Identifier &&
                isPunctuation(tokens[k + 2], '=') && coordinate(k + 3, name) &&
                isPunctuation(tokens[k + 7], ';')) {
                points << tokens[k + 1].text;
                accounted[k + 1] = accounted[k + 5] = true;
            }
        auto widen = [&](std::pair<Range, Range> d) {
            reach.left = std::max(reach.left, -d.first.first);
            reach.right = std::max(reach.right, d.first.second);
            reach.down = std::max(reach.down, -d.second.first);
            reach.up = std::max(reach.up, d.second.second);
        };
        bool ok = true;
        // Every read: `sample ( name , <point> <offset> )`.
        for (size_t k = body; ok && k + 4 < end; ++k) {
            if (!(isWord(k, "sample") && isPunctuation(tokens[k + 1], '(') && isName(k + 2, name) &&
                  isPunctuation(tokens[k + 3], ',')))
                continue;
            size_t j = k + 4;
            if (coordinate(j, name)) {
                accounted[j + 2] = true;
                j += 4;
            } else if (isName(j, tokens[j].text) && points.contains(tokens[j].text)) {
                accounted[j] = true;
                ++j;
            } else {
                ok = false;
                break;
            }
            const auto d = offset(j);
            if (!d || j >= end) {
                ok = false;
                break;
            }
            accounted[k + 2] = true;
            widen(*d);
        }
        // Nothing else may use the sampler (its extent aside) or the coordinates taken once.
        for (size_t k = body; ok && k < end; ++k) {
            if (accounted[k] || readHere[k] ||
                !(isName(k, name) || (isName(k, tokens[k].text) && points.contains(tokens[k].text))))
                continue;
            const bool extent = tokens[k].text == name && k >= 2 && isPunctuation(tokens[k - 1], '(') &&
                                k + 1 < tokens.size() && isPunctuation(tokens[k + 1], ')') &&
                                (isWord(k - 2, "samplerExtent") || isWord(k - 2, "samplerOrigin") ||
                                 isWord(k - 2, "samplerSize"));
            ok = extent;
        }
        reach.fixed = ok;
        if (ok)
            reaches[p] = reach;
    }
    return reaches;
}

// Names declared outside every function and parameter list: a word after a type, followed by a
// parameter list, an initialiser, an array size or the end of the declaration.
QStringList topLevelNames(const std::vector<Token>& tokens)
{
    QStringList names;
    int braces = 0, parentheses = 0;
    for (size_t k = 0; k < tokens.size(); ++k) {
        const Token& token = tokens[k];
        if (token.kind == Token::Punctuation) {
            braces += token.text == QLatin1Char('{') ? 1 : token.text == QLatin1Char('}') ? -1 : 0;
            parentheses += token.text == QLatin1Char('(') ? 1 : token.text == QLatin1Char(')') ? -1 : 0;
            continue;
        }
        if (braces != 0 || parentheses != 0 || token.kind != Token::Identifier || k == 0 ||
            tokens[k - 1].kind != Token::Identifier || k + 1 >= tokens.size())
            continue;
        const Token& next = tokens[k + 1];
        if (next.kind == Token::Punctuation &&
            (next.text == QLatin1Char('(') || next.text == QLatin1Char('=') ||
             next.text == QLatin1Char('[') || next.text == QLatin1Char(';') ||
             next.text == QLatin1Char(',')) &&
            !names.contains(token.text))
            names << token.text;
    }
    return names;
}

} // namespace

const QStringList& KernelParser::samplerBuiltins()
{
    // Never destroyed, as the parameter types are: parsing may go on while the program exits.
    static const auto& names = *new QStringList{
        QStringLiteral("_pf_sample"),       QStringLiteral("_pf_sampleHere"), QStringLiteral("samplerCoord"),
        QStringLiteral("samplerTransform"), QStringLiteral("samplerExtent"),  QStringLiteral("samplerOrigin"),
        QStringLiteral("samplerSize")};
    return names;
}

QString KernelParser::renamed(const QString& program, const QStringList& names, const QString& prefix)
{
    const std::vector<Token> tokens = tokenize(program);
    QString out = program;
    for (auto it = tokens.rbegin(); it != tokens.rend(); ++it) {
        if (it->kind != Token::Identifier ||
            !(names.contains(it->text) || samplerBuiltins().contains(it->text)))
            continue;
        // A field of a value (`c.r`) is never one of the names.
        const auto previous = std::next(it);
        if (previous != tokens.rend() && isPunctuation(*previous, '.'))
            continue;
        out.insert(it->begin, prefix);
    }
    return out;
}

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
    // Tokens of sampler names inside a read at the pixel being computed, and where each kernel's body
    // begins (its opening brace).
    std::vector<bool> readHere(tokens.size(), false);
    std::vector<size_t> bodies;

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
                readHere[k + 2] = readHere[k + 6] = true;
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
        bodies.push_back(j + 1 < tokens.size() && tokens[j + 1].text == QLatin1String("{") ? j + 1
                                                                                           : tokens.size());
    }

    for (size_t k = 0; k < result.kernels.size(); ++k) {
        result.kernels[k].readOnlyHere = readsOnlyHere(tokens, bodies[k], result.kernels[k], readHere);
        result.kernels[k].reach = fixedReaches(tokens, bodies[k], result.kernels[k], readHere);
    }
    result.topLevelNames = topLevelNames(tokens);
    result.hasPreprocessorLines = std::any_of(tokens.begin(), tokens.end(),
                                              [](const Token& token) { return token.kind == Token::Other; });

    QString program = text;
    for (auto it = replacements.rbegin(); it != replacements.rend(); ++it)
        program.replace(it->begin, it->length, it->with);
    result.program = program;
    return result;
}

} // namespace pf
