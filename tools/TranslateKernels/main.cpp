// Translates kernel texts into C++ for the image engine's CPU path:
//
//   translate-kernels OUTPUT_FOLDER KERNEL_TEXT...
//   translate-kernels --embedded SET OUTPUT_FOLDER KERNEL_TEXT...
//
// The first form is for the texts of the resources: each is taken as the application compiles it (with
// the shared functions it calls in front) and written to "Kernel_<name>.cpp"; "CpuKernelTable.cpp" lists
// every translated kernel under the key of its text.
//
// The second is for texts that a program compiles as they are (the engine's own kernels, a test's):
// "SET.h" declares each text as `pf::kernelTexts::SET::<name>`, and "SET.cpp" holds the texts and
// adds their translations to the engine's when the program starts, so the program's code and the
// translation can never read different texts.
//
// A file is rewritten only when its contents change, so that an unchanged kernel is not compiled again.
// A text the translation does not cover is reported and left to the GL path.

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
    QStringList arguments = app.arguments();
    QString set;
    if (arguments.size() > 2 && arguments[1] == QLatin1String("--embedded")) {
        set = identifier(arguments[2]);
        arguments.remove(1, 2);
    }
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: translate-kernels [--embedded SET] OUTPUT_FOLDER KERNEL_TEXT...\n");
        return 2;
    }
    const bool embedded = !set.isEmpty();
    const QDir output(arguments[1]);
    QDir().mkpath(output.path());
    QString declarations, table, texts, textDeclarations;
    int translated = 0;
    for (int i = 2; i < arguments.size(); ++i) {
        const QString path = arguments[i];
        const QString base = QFileInfo(path).completeBaseName();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "Error: cannot read %s\n", qPrintable(path));
            return 1;
        }
        const QString raw = QString::fromUtf8(file.readAll());
        const QString text = embedded ? raw : KernelPrelude::applied(raw);
        if (embedded) {
            if (text.contains(QLatin1String(")pf_kernel\""))) {
                std::fprintf(stderr, "Error: %s cannot be embedded\n", qPrintable(path));
                return 1;
            }
            textDeclarations += QStringLiteral("extern const char %1[];\n").arg(identifier(base));
            texts +=
                QStringLiteral("extern const char %1[];\nconst char %1[] = R\"pf_kernel(%2)pf_kernel\";\n")
                    .arg(identifier(base), text);
        }
        const QString space =
            QStringLiteral("k_") + (embedded ? set + QLatin1Char('_') : QString()) + identifier(base);
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
                    QStringLiteral("namespace pf::kl::%1 {\nvec4 _pf_entry_%2(const Sampler* const*, const "
                                   "float* const*);\nvoid _pf_row_%2(const Sampler* const*, const float* "
                                   "const*, int, int, float, float*);\n}\n")
                        .arg(space, kernel);
                const bool rows = result->rowKernels.contains(kernel);
                if (rows)
                    declarations +=
                        QStringLiteral("namespace pf::kl::%1::_pf_rows {\nvoid _pf_rows_%2(const "
                                       "float* const*, const vec4*, const float* const*, int, int, "
                                       "float, float*);\n}\n")
                            .arg(space, kernel);
                table +=
                    QStringLiteral("    {0x%1ull, \"%2\", &kl::%3::_pf_entry_%2, &kl::%3::_pf_row_%2, %4},\n")
                        .arg(key, 16, 16, QLatin1Char('0'))
                        .arg(kernel, space,
                             rows ? QStringLiteral("&kl::%1::_pf_rows::_pf_rows_%2").arg(space, kernel)
                                  : QStringLiteral("nullptr"));
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
    const QString header = QStringLiteral("// Made by translate-kernels; do not edit.\n"
                                          "#include \"Platform/Image/CpuKernels.h\"\n"
                                          "#include \"Platform/Image/KernelMath.h\"\n\n") +
                           declarations;
    QString tableCode;
    if (embedded) {
        tableCode = header + QStringLiteral("\nnamespace pf::kernelTexts::%1 {\n").arg(set) + texts +
                    QStringLiteral("} // namespace pf::kernelTexts::%1\n\nnamespace {\n\n"
                                   "const pf::CpuKernelEntry table[] = {\n")
                        .arg(set);
        tableCode += QString(table).replace(QLatin1String("&kl::"), QLatin1String("&pf::kl::")) +
                     QStringLiteral("    {0, nullptr, nullptr, nullptr, nullptr},\n};\n"
                                    "const bool added = (pf::CpuKernels::addTable(table), true);\n\n"
                                    "} // namespace\n");
        const QString textHeader =
            QStringLiteral("// Made by translate-kernels; do not edit.\n#pragma once\n\n"
                           "namespace pf::kernelTexts::%1 {\n")
                .arg(set) +
            textDeclarations + QStringLiteral("} // namespace pf::kernelTexts::%1\n").arg(set);
        if (!writeIfChanged(output.filePath(set + QStringLiteral(".h")), textHeader)) {
            std::fprintf(stderr, "Error: cannot write the texts' header\n");
            return 1;
        }
    } else {
        tableCode = header +
                    QStringLiteral("\nnamespace pf {\n\nconst CpuKernelEntry cpuKernelTable[] = {\n") +
                    table +
                    QStringLiteral("    {0, nullptr, nullptr, nullptr, nullptr},\n};\n"
                                   "const size_t cpuKernelTableSize = %1;\n\n} // namespace pf\n")
                        .arg(translated);
    }
    const QString tableFile = embedded ? set + QStringLiteral(".cpp") : QStringLiteral("CpuKernelTable.cpp");
    if (!writeIfChanged(output.filePath(tableFile), tableCode)) {
        std::fprintf(stderr, "Error: cannot write the kernel table\n");
        return 1;
    }
    return 0;
}
