// Translates the kernel texts of the resources into C++ for the image engine's CPU path:
//
//   translate-kernels OUTPUT_FOLDER KERNEL_TEXT...
//
// Each text is taken as the application compiles it (with the shared functions it calls in front) and
// written to "Kernel_<name>.cpp"; "CpuKernelTable.cpp" lists every translated kernel under the key of
// its text. A file is rewritten only when its contents change, so that an unchanged kernel is not
// compiled again. A text the translation does not cover is reported and left to the GL path.

#include "Classes/Framework/KernelPrelude.h"
#include "Platform/Image/KernelTranslator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace {

bool writeIfChanged(const QString& path, const QString& contents)
{
    const QByteArray bytes = contents.toUtf8();
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes)
        return true;
    existing.close();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

QString identifier(const QString& name)
{
    QString out;
    for (QChar c : name)
        out += c.isLetterOrNumber() ? c : QLatin1Char('_');
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: translate-kernels OUTPUT_FOLDER KERNEL_TEXT...\n");
        return 2;
    }
    const QDir output(arguments[1]);
    QDir().mkpath(output.path());
    QString declarations, table;
    int translated = 0;
    for (int i = 2; i < arguments.size(); ++i) {
        const QString path = arguments[i];
        const QString base = QFileInfo(path).completeBaseName();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "Error: cannot read %s\n", qPrintable(path));
            return 1;
        }
        const QString text = KernelPrelude::applied(QString::fromUtf8(file.readAll()));
        const QString space = QStringLiteral("k_") + identifier(base);
        QString whyNot;
        const auto result = pf::KernelTranslator::translate(text, space, &whyNot);
        QString code = QStringLiteral("// Made by translate-kernels from %1.cikernel; do not edit.\n"
                                      "#include \"Platform/Image/KernelMath.h\"\n\n")
                           .arg(base);
        if (result) {
            code += result->code;
            const quint64 key = pf::KernelTranslator::textKey(text);
            for (const QString& kernel : result->kernels) {
                declarations +=
                    QStringLiteral("namespace pf::kl::%1 { vec4 _pf_entry_%2(const Sampler* const*, "
                                   "const float* const*); }\n")
                        .arg(space, kernel);
                table += QStringLiteral("    {0x%1ull, \"%2\", &kl::%3::_pf_entry_%2},\n")
                             .arg(key, 16, 16, QLatin1Char('0'))
                             .arg(kernel, space);
                ++translated;
            }
        } else {
            std::fprintf(stderr, "Warning: %s stays on the GL path: %s\n", qPrintable(base),
                         qPrintable(whyNot));
        }
        if (!writeIfChanged(output.filePath(QStringLiteral("Kernel_%1.cpp").arg(base)), code)) {
            std::fprintf(stderr, "Error: cannot write the translation of %s\n", qPrintable(base));
            return 1;
        }
    }
    const QString tableCode =
        QStringLiteral("// Made by translate-kernels; do not edit.\n"
                       "#include \"Platform/Image/CpuKernels.h\"\n"
                       "#include \"Platform/Image/KernelMath.h\"\n\n") +
        declarations + QStringLiteral("\nnamespace pf {\n\nconst CpuKernelEntry cpuKernelTable[] = {\n") +
        table +
        QStringLiteral("    {0, nullptr, nullptr},\n};\n"
                       "const size_t cpuKernelTableSize = %1;\n\n} // namespace pf\n")
            .arg(translated);
    if (!writeIfChanged(output.filePath(QStringLiteral("CpuKernelTable.cpp")), tableCode)) {
        std::fprintf(stderr, "Error: cannot write the kernel table\n");
        return 1;
    }
    return 0;
}
