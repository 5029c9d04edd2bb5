#pragma once

#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/SteppedClock.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// A help folder of the test's own, its defaults file in it, and a clock the test steps.
class HelpFolderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        pf::UserDefaults::standard().setFileForTesting(m_folder.filePath(QStringLiteral("defaults.conf")));
        prepare();
    }
    // What the test puts in the folder and sets up around it, once the folder is there.
    virtual void prepare() {}

    // Writes `bytes` at `relative` in the folder, making its folders.
    void write(const QString& relative, const QByteArray& bytes)
    {
        const QString path = m_folder.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    pf::SteppedClock m_clock;
    QTemporaryDir m_folder;
};
