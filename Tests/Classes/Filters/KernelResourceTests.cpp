#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Kernel.h"

#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>

// Every kernel text the application ships must compile: a broken kernel fails here, naming the file,
// the line and the compiler's message, instead of silently leaving an effect without its filter.
TEST(KernelResources, EveryKernelTextCompiles)
{
    const QString root = pf::Bundle::main().resourcePath();
    ASSERT_FALSE(root.isEmpty());
    QDirIterator it(root, {QStringLiteral("*.cikernel")}, QDir::Files, QDirIterator::Subdirectories);
    int count = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        pf::LogCapture capture;
        const auto kernels = pf::Kernel::kernelsWithString(QString::fromUtf8(file.readAll()), it.fileName());
        EXPECT_FALSE(kernels.empty())
            << path.toStdString() << ": " << capture.lines().join("\n").toStdString();
        ++count;
    }
    EXPECT_GT(count, 0);
}
