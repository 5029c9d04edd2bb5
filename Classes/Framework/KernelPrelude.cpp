#include "Classes/Framework/KernelPrelude.h"

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileRead.h"
#include "Platform/Foundation/Log.h"

#include <QRegularExpression>
#include <QSet>
#include <vector>

namespace {

struct SharedFunction
{
    QString name;
    QString code; // on one line, without comments
    QSet<QString> calls;
};

// The text without its comments; line breaks stay where they were.
QString withoutComments(const QString& text)
{
    QString out;
    out.reserve(text.size());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const bool slash = text[i] == u'/' && i + 1 < size;
        if (slash && text[i + 1] == u'/') {
            while (i < size && text[i] != u'\n')
                ++i;
            if (i < size)
                out += u'\n';
        } else if (slash && text[i + 1] == u'*') {
            for (i += 2; i < size && !(text[i] == u'*' && i + 1 < size && text[i + 1] == u'/'); ++i)
                if (text[i] == u'\n')
                    out += u'\n';
            ++i;
            out += u' ';
        } else {
            out += text[i];
        }
    }
    return out;
}

// Every name followed by an opening parenthesis: the functions a piece of code calls (and type
// constructors, which match no shared function).
QSet<QString> calledNames(const QString& code)
{
    // Never destroyed: worker threads (renders, strokes, openings) may still use it while the program exits.
    static const QRegularExpression& call =
        *new QRegularExpression(QStringLiteral("\\b([A-Za-z_][A-Za-z0-9_]*)\\s*\\("));
    QSet<QString> names;
    for (auto it = call.globalMatch(code); it.hasNext();)
        names.insert(it.next().captured(1));
    return names;
}

// The header of the text's own definition of the function ("float lum(vec3 c)"), or nothing.
QString ownDefinition(const QString& code, const QString& name)
{
    const QRegularExpression definition(
        QStringLiteral("\\b(?:void|bool|int|float|[biu]?vec[234]|mat[234])\\s+%1\\s*\\([^)]*\\)").arg(name));
    return definition.match(code).captured(0).simplified();
}

std::vector<SharedFunction> parse(const QString& text, const QString& path)
{
    // Never destroyed: worker threads (renders, strokes, openings) may still use it while the program exits.
    static const QRegularExpression& nameBeforeParenthesis =
        *new QRegularExpression(QStringLiteral("([A-Za-z_][A-Za-z0-9_]*)\\s*\\("));
    const QString code = withoutComments(text);
    std::vector<SharedFunction> functions;
    qsizetype i = 0;
    while (true) {
        while (i < code.size() && code[i].isSpace())
            ++i;
        if (i >= code.size())
            break;
        const qsizetype open = code.indexOf(u'{', i);
        const qsizetype semicolon = code.indexOf(u';', i);
        const auto name = nameBeforeParenthesis.match(code.mid(i, open - i));
        if (code[i] == u'#' || open < 0 || (semicolon >= 0 && semicolon < open) || !name.hasMatch()) {
            pf::error(QStringLiteral("The shared kernel file %1 holds something other than functions; the "
                                     "rest of it is ignored")
                          .arg(path));
            break;
        }
        qsizetype close = open;
        for (int depth = 0; close < code.size(); ++close) {
            depth += code[close] == u'{' ? 1 : code[close] == u'}' ? -1 : 0;
            if (depth == 0)
                break;
        }
        if (close >= code.size()) {
            pf::error(QStringLiteral("The shared kernel file %1 ends inside a function").arg(path));
            break;
        }
        functions.push_back({name.captured(1), code.mid(i, close + 1 - i).simplified(),
                             calledNames(code.mid(open, close - open))});
        i = close + 1;
    }
    return functions;
}

const std::vector<SharedFunction>& sharedFunctions()
{
    // Never destroyed: worker threads (renders, strokes, openings) may still use it while the program exits.
    static const std::vector<SharedFunction>& functions = *[] {
        std::vector<SharedFunction> all;
        const QStringList paths = pf::Bundle::main().pathsForResourcesOfType(
            QStringLiteral("cikernel"), QStringLiteral("Kernels/Shared"));
        for (const QString& path : paths) {
            const std::optional<QByteArray> bytes = pf::FileRead::bytes(path);
            if (!bytes) {
                pf::error(QStringLiteral("The shared kernel file %1 cannot be read").arg(path));
                continue;
            }
            for (SharedFunction& function : parse(QString::fromUtf8(*bytes), path))
                all.push_back(std::move(function));
        }
        return new std::vector<SharedFunction>(std::move(all));
    }();
    return functions;
}

// Where the text's code starts: the first line that is neither a preprocessor line (or its
// continuation) nor begins inside a block comment. -1 when there is none.
qsizetype firstLineOfCode(const QString& text)
{
    bool inBlock = false, continued = false;
    for (qsizetype start = 0; start <= text.size();) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0)
            end = text.size();
        const QStringView line = QStringView(text).mid(start, end - start);
        const bool startsInBlock = inBlock;
        for (qsizetype i = 0; i + 1 < line.size(); ++i) {
            if (inBlock) {
                if (line[i] == u'*' && line[i + 1] == u'/') {
                    inBlock = false;
                    ++i;
                }
            } else if (line[i] == u'/' && line[i + 1] == u'/') {
                break;
            } else if (line[i] == u'/' && line[i + 1] == u'*') {
                inBlock = true;
                ++i;
            }
        }
        const bool preprocessor = continued || (!startsInBlock && line.trimmed().startsWith(u'#'));
        continued = preprocessor && line.trimmed().endsWith(u'\\');
        if (!startsInBlock && !preprocessor)
            return start;
        start = end + 1;
    }
    return -1;
}

// Whether a needed shared function calls the function the declaration declares.
bool calledByAny(const std::vector<SharedFunction>& shared, const QSet<QString>& needed,
                 const QString& declaration)
{
    const QString name = declaration.section(u'(', 0, 0).section(u' ', -1);
    for (const SharedFunction& function : shared)
        if (needed.contains(function.name) && function.calls.contains(name))
            return true;
    return false;
}

} // namespace

QString KernelPrelude::applied(const QString& text)
{
    const std::vector<SharedFunction>& shared = sharedFunctions();
    if (shared.empty())
        return text;
    const QString code = withoutComments(text);
    QSet<QString> wanted = calledNames(code);
    QSet<QString> needed;
    QStringList ownFirst; // declarations of the text's own functions that shared ones call
    for (bool grew = true; grew;) {
        grew = false;
        for (const SharedFunction& function : shared) {
            if (!wanted.contains(function.name) || needed.contains(function.name))
                continue;
            const QString own = ownDefinition(code, function.name);
            if (!own.isEmpty()) {
                if (!ownFirst.contains(own + u';'))
                    ownFirst.append(own + u';');
                continue;
            }
            needed.insert(function.name);
            wanted.unite(function.calls);
            grew = true;
        }
    }
    const qsizetype at = firstLineOfCode(text);
    if (needed.isEmpty() || at < 0)
        return text;
    QString prelude;
    for (const QString& declaration : ownFirst)
        if (calledByAny(shared, needed, declaration))
            prelude += declaration + u' ';
    for (const SharedFunction& function : shared)
        if (needed.contains(function.name))
            prelude += function.code + u' ';
    return QString(text).insert(at, prelude);
}

QStringList KernelPrelude::functionNames()
{
    QStringList names;
    for (const SharedFunction& function : sharedFunctions())
        names.append(function.name);
    return names;
}
