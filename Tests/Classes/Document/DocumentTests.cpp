#include "Classes/Document/GMDocumentArchive.h"
#include "Classes/Document/GMDocumentPackage.h"
#include "Classes/ToolObjects/GMFileUtilities.h"
#include "Classes/ToolObjects/OVBrushFramework/GMBrushPath.h"
#include "DocumentTestSupport.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/Image/ImageFile.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/FilePanel.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <gtest/gtest.h>

using namespace doctest;

namespace {

// A 64 x 48 JPEG photo and a document over it with three painted layers: a wash with a colour and an
// additional picture, a grey, and a second wash.
class Documents : public GradientPhotoTest
{
protected:
    void TearDown() override
    {
        GradientPhotoTest::TearDown();
        GMDocumentPackage::setFaultInjectionForTesting({});
    }

    Opened edited(const QString& path)
    {
        Opened opened = open(m_documents, path);
        EXPECT_TRUE(opened.document) << opened.error.toStdString();
        if (!opened.document)
            return opened;
        auto chain = opened.chain();
        const pf::Size size = chain->originalImageSize();
        insertWashGreyWash(*chain);
        for (int i = 1; i <= 3; ++i)
            chain->brushPathImageAtIndex(i)->addContentContainer(
                paintedMask(size, 0.2 * i, pf::Color(0.9, 0.1, 0.1, 1)));
        for (int i = 1; i <= 3; ++i)
            chain->setSettingsForToolAtIndex(chain->photoToolAtIndex(i)->settings(), i,
                                             QStringLiteral("Change"));
        QCoreApplication::processEvents();
        return opened;
    }
};

} // namespace

TEST_F(Documents, ThreeLayersRoundTripThroughAPackage)
{
    Opened opened = edited(m_photo);
    const QString package = m_dir.filePath("three.glimora");
    const SaveResult saved = save(*opened.document, package, GMDocumentPackage::typeName, Op::SaveAs);
    ASSERT_TRUE(saved.succeeded) << saved.error.toStdString();
    EXPECT_EQ(saved.calls, 1);
    EXPECT_FALSE(opened.document->isDocumentEdited());

    const QStringList entries = QDir(package).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    EXPECT_EQ(entries, (QStringList{"QuickLook", "content", "image.jpg", "layer_1", "layer_2", "layer_3",
                                    "preview.jpg"}));
    EXPECT_EQ(bytes(package + "/image.jpg"), bytes(m_photo))
        << "the original's JPEG bytes are kept, not re-encoded";
    EXPECT_EQ(bytes(package + "/QuickLook/Thumbnail.jpg"), bytes(package + "/preview.jpg"));
    const QImage preview(package + "/preview.jpg");
    EXPECT_EQ(preview.size(), QSize(64, 48));

    Opened reopened = open(m_documents, package);
    ASSERT_TRUE(reopened.document) << reopened.error.toStdString();
    auto chain = reopened.chain();
    ASSERT_EQ(chain->numberOfTools(), 4);
    EXPECT_EQ(chain->photoToolAtIndex(1)->blueprint()->photoToolName(), "TestTint");
    EXPECT_EQ(chain->photoToolAtIndex(2)->blueprint()->photoToolName(), "TestGrey");
    EXPECT_EQ(chain->photoToolAtIndex(1)->settings().value("color").value<pf::Color>(),
              pf::Color(0.1, 0.8, 0.3, 1));
    EXPECT_DOUBLE_EQ(chain->photoToolAtIndex(2)->settings().value("intensity").toDouble(), 0.25);
    for (int i = 1; i <= 3; ++i)
        EXPECT_NEAR(maskValue(chain, i), 0.2 * i, 0.01) << "layer " << i;
    EXPECT_FALSE(chain->brushPathImageAtIndex(1)->contentContainer()->additionalImageContainer()->isEmpty());
    EXPECT_FALSE(reopened.document->undoManager()->canUndo()) << "loading is no step to undo";
    EXPECT_FALSE(reopened.document->isDocumentEdited());

    // A layer removed is gone from the next save: nothing stale stays behind.
    chain->removePhotoToolAtIndex(2);
    QCoreApplication::processEvents();
    ASSERT_TRUE(save(*reopened.document, package, GMDocumentPackage::typeName, Op::Save).succeeded);
    EXPECT_FALSE(QFileInfo::exists(package + "/layer_3"));
    EXPECT_TRUE(QFileInfo::exists(package + "/layer_2"));
}

TEST_F(Documents, AnEffectThatNoLongerExistsIsLeftOutAndTheOthersKeepTheirMasks)
{
    Opened opened = edited(m_photo);
    const QString package = m_dir.filePath("gap.glimora");
    ASSERT_TRUE(save(*opened.document, package, GMDocumentPackage::typeName, Op::SaveAs).succeeded);
    // Rename the middle effect to one no catalog knows.
    auto layers = GMDocumentPackage::readArchive(bytes(package + "/content"), nullptr);
    ASSERT_TRUE(layers);
    QVariantList content;
    for (size_t k = 0; k < layers->size(); ++k)
        content.append(QVariantMap{{"name", k == 1 ? QStringLiteral("Vanished") : (*layers)[k].name},
                                   {"values", (*layers)[k].values}});
    const auto archive = pf::KeyedArchiver::archivedData({{"content", content}});
    ASSERT_TRUE(archive);
    QFile file(package + "/content");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(*archive);
    file.close();

    pf::LogCapture log;
    Opened reopened = open(m_documents, package);
    ASSERT_TRUE(reopened.document);
    ASSERT_EQ(reopened.chain()->numberOfTools(), 3);
    EXPECT_TRUE(log.contains("failed to load Vanished"));
    EXPECT_NEAR(maskValue(reopened.chain(), 2), 0.6, 0.01) << "the third layer still reads layer_3";
}

TEST_F(Documents, DamagedAndForeignDocumentsFailCleanly)
{
    Opened opened = edited(m_photo);
    const QString good = m_dir.filePath("good.glimora");
    ASSERT_TRUE(save(*opened.document, good, GMDocumentPackage::typeName, Op::SaveAs).succeeded);
    const auto archive = [](const QVariant& root) {
        return *pf::KeyedArchiver::archivedData({{"content", root}});
    };
    const struct
    {
        const char* what;
        QByteArray content;
        const char* expected;
    } cases[] = {
        {"garbage", "not an archive at all", "damaged"},
        {"wrong root type", archive(QStringLiteral("layers")), "wrong kind"},
        {"element not a dictionary", archive(QVariantList{42}), "damaged"},
        {"values not a dictionary", archive(QVariantList{QVariantMap{{"name", "TestTint"}, {"values", 3}}}),
         "damaged"},
        {"strokes not a stroke list",
         archive(QVariantList{
             QVariantMap{{"name", "TestTint"}, {"values", QVariantMap{{"brushPathKey", QByteArray("x")}}}}}),
         "strokes"},
    };
    for (const auto& c : cases) {
        const QString copy = m_dir.filePath(QStringLiteral("bad-%1.glimora").arg(c.what).replace(' ', '-'));
        ASSERT_TRUE(QDir().mkpath(copy));
        QFile::copy(good + "/image.jpg", copy + "/image.jpg");
        QFile file(copy + "/content");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.content);
        file.close();
        Opened bad = open(m_documents, copy);
        EXPECT_FALSE(bad.document) << c.what;
        EXPECT_TRUE(bad.error.contains(c.expected)) << c.what << ": " << bad.error.toStdString();
    }
    // A missing mask folder and an unreadable original are refused, never half read.
    QDir(good + "/layer_2").removeRecursively();
    EXPECT_FALSE(open(m_documents, good).document);
    // The older single-file form.
    const QString older = m_dir.filePath("older.glimora");
    QFile file(older);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(archive(QVariantList{QByteArray("picture")}));
    file.close();
    GMDocument document;
    QString error;
    EXPECT_FALSE(document.readOwnFileFormatFromURL(older, &error));
    EXPECT_TRUE(error.contains("older version")) << error.toStdString();
}

TEST_F(Documents, OlderSettingsPaintTheirMaskAgainFromTheirStrokes)
{
    Opened opened = edited(m_photo);
    const QString package = m_dir.filePath("older.glimora");
    ASSERT_TRUE(save(*opened.document, package, GMDocumentPackage::typeName, Op::SaveAs).succeeded);
    // The first layer as an older version stored it: strokes instead of a mask folder, with brush keys.
    const GMBrushPathPtr path = strokes();
    auto entries = *GMDocumentArchive::entries(bytes(package + "/content"), nullptr);
    entries[0].values.insert("brushPathKey", QVariant::fromValue(path));
    entries[0].values.insert("brushSize", 0.3);
    entries[0].values.insert("inputMask", 1);
    entries[0].values.insert("mask", 2);
    QFile file(package + "/content");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(*GMDocumentArchive::archivedData(entries, nullptr));
    file.close();
    QDir(package + "/layer_1").removeRecursively();

    Opened reopened = open(m_documents, package);
    ASSERT_TRUE(reopened.document) << reopened.error.toStdString();
    auto chain = reopened.chain();
    ASSERT_EQ(chain->numberOfTools(), 4);
    const QVariantMap settings = chain->photoToolAtIndex(1)->settings();
    EXPECT_FALSE(settings.contains("brushPathKey") || settings.contains("brushSize") ||
                 settings.contains("inputMask") || settings.contains("mask"));
    EXPECT_TRUE(settings.contains("color")) << "the other settings stay";
    const OVContentContainerPtr mask = chain->brushPathImageAtIndex(1)->contentContainer();
    mask->flush();
    const pf::Bitmap bitmap = mask->imageContainer()->bitmap();
    ASSERT_FALSE(bitmap.isNull());
    float centre[4], corner[4];
    bitmap.pixel(bitmap.width() / 2, bitmap.height() / 2, centre);
    bitmap.pixel(1, 1, corner);
    EXPECT_GT(centre[1], 0.5f) << "the stroke is painted again";
    EXPECT_LT(corner[1], 0.1f);
    EXPECT_FALSE(reopened.document->undoManager()->canUndo());
    EXPECT_NEAR(maskValue(chain, 2), 0.4, 0.01) << "the next layer reads its own folder";
}

// Every failure of a save leaves what was there before, byte for byte.
TEST_F(Documents, AFailedSaveLeavesTheOldPackageAndTheFileIntact)
{
    Opened opened = edited(m_photo);
    const QString package = m_dir.filePath("keep.glimora");
    ASSERT_TRUE(save(*opened.document, package, GMDocumentPackage::typeName, Op::SaveTo).succeeded);
    const auto before = tree(package);
    opened.chain()->removePhotoToolAtIndex(3);
    QCoreApplication::processEvents();
    for (const char* step : {"folder", "image", "preview", "mask", "content", "swap"}) {
        GMDocumentPackage::setFaultInjectionForTesting(
            [step](const QString& s) { return s != QLatin1String(step); });
        const SaveResult result = save(*opened.document, package, GMDocumentPackage::typeName, Op::SaveTo);
        EXPECT_FALSE(result.succeeded) << step;
        EXPECT_FALSE(result.error.isEmpty()) << step;
        EXPECT_EQ(tree(package), before) << step;
        const QStringList leftovers =
            QDir(m_dir.path()).entryList({".keep.glimora.saving-*"}, QDir::Dirs | QDir::Hidden);
        EXPECT_TRUE(leftovers.isEmpty()) << step;
    }

    // A picture: a shadow copy that cannot be written (or a mask of it) leaves the file as it was.
    const QByteArray photo = bytes(m_photo);
    opened.document->setFileURL(m_photo);
    opened.document->setFileType("jpeg");
    for (const char* step : {"mask", "content"}) {
        GMDocumentPackage::setFaultInjectionForTesting(
            [step](const QString& s) { return s != QLatin1String(step); });
        const SaveResult result = save(*opened.document, m_photo, "jpeg", Op::Save);
        EXPECT_FALSE(result.succeeded) << step;
        EXPECT_EQ(bytes(m_photo), photo) << step;
    }
}

TEST_F(Documents, AutosavingAPictureWritesOnlyItsShadowCopyAndSavingWritesTheComposedPicture)
{
    Opened opened = edited(m_photo);
    const QByteArray photo = bytes(m_photo);
    ASSERT_TRUE(save(*opened.document, m_photo, "jpeg", Op::Autosave).succeeded);
    EXPECT_EQ(bytes(m_photo), photo) << "an autosave never rewrites the picture";
    const QVariantMap registry = GMFileUtilities::shadowCopyDictionary();
    const QString key = GMDocument::shadowCopyKey(m_photo);
    ASSERT_TRUE(registry.contains(key));
    const QString shadow = GMFileUtilities::applicationSupportDirectory() + "/" +
                           registry.value(key).toMap().value("filename").toString();
    EXPECT_TRUE(QFileInfo::exists(shadow + "/layer_3"));

    // Reopening shows the shadow copy's layers.
    Opened reopened = open(m_documents, m_photo);
    ASSERT_TRUE(reopened.document);
    EXPECT_EQ(reopened.chain()->numberOfTools(), 4);

    // An explicit save writes the composed picture, as JPEG under the same name.
    ASSERT_TRUE(save(*opened.document, m_photo, "jpeg", Op::Save).succeeded);
    EXPECT_NE(bytes(m_photo), photo);
    EXPECT_EQ(QImageReader::imageFormat(m_photo), "jpeg");
    EXPECT_EQ(bytes(shadow + "/image.jpg"), photo) << "the shadow copy keeps the untouched original";
    // Its edits still open with it: the recorded file state matches.
    m_alerts.clear();
    Opened again = open(m_documents, m_photo);
    ASSERT_TRUE(again.document);
    EXPECT_EQ(again.chain()->numberOfTools(), 4);
    EXPECT_TRUE(m_alerts.isEmpty());
}

TEST_F(Documents, SaveAsAndExportRegisterTheirTargetAndASymlinkFindsTheSameCopy)
{
    Opened opened = edited(m_photo);
    opened.document->setFileURL(m_photo);
    opened.document->setFileType("jpeg");
    const QString copy = m_dir.filePath("copy.png");
    ASSERT_TRUE(save(*opened.document, copy, "png", Op::SaveTo).succeeded);
    EXPECT_EQ(QImageReader::imageFormat(copy), "png");
    EXPECT_EQ(opened.document->fileURL(), m_photo) << "an export leaves the document where it was";
    EXPECT_TRUE(GMFileUtilities::shadowCopyDictionary().contains(GMDocument::shadowCopyKey(copy)));
    EXPECT_FALSE(GMFileUtilities::shadowCopyDictionary().contains(GMDocument::shadowCopyKey(m_photo)));

    // Opened through a link, the export's edits are found under its real path.
    const QString link = m_dir.filePath("link.png");
    ASSERT_TRUE(QFile::link(copy, link));
    Opened linked = open(m_documents, link);
    ASSERT_TRUE(linked.document);
    EXPECT_EQ(linked.chain()->numberOfTools(), 4);

    // An entry registered under a path as given (links unresolved) is still found.
    const QString alias = m_dir.filePath("alias.png");
    ASSERT_TRUE(QFile::link(copy, alias));
    QVariantMap registry = GMFileUtilities::shadowCopyDictionary();
    registry.insert(QFileInfo(alias).absoluteFilePath(), registry.value(GMDocument::shadowCopyKey(copy)));
    registry.remove(GMDocument::shadowCopyKey(copy));
    ASSERT_TRUE(GMFileUtilities::writeDictionaryAsShadowCopyDictionary(registry));
    Opened aliased = open(m_documents, alias);
    ASSERT_TRUE(aliased.document);
    EXPECT_EQ(aliased.chain()->numberOfTools(), 4);
}

TEST_F(Documents, AnOutsideChangeIsAskedAboutAndAMissingShadowCopyFallsBackToTheFile)
{
    Opened opened = edited(m_photo);
    ASSERT_TRUE(save(*opened.document, m_photo, "jpeg", Op::Autosave).succeeded);
    QImage changed(80, 60, QImage::Format_RGB32);
    changed.fill(Qt::blue);
    ASSERT_TRUE(changed.save(m_photo, "JPEG"));

    // Mended: the question had no answer for Escape. Escape on the real question cancels the opening:
    // nothing opens, nothing is reported as failed, and the file and its kept edits stay as they are.
    {
        const QVariantMap registry = GMFileUtilities::shadowCopyDictionary();
        QFile file(m_photo);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        file.close();
        pf::Alert::setResponder({});
        QString asked;
        QTimer escape;
        QObject::connect(&escape, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                asked = box->text();
                QTest::keyClick(box, Qt::Key_Escape);
            }
        });
        escape.start(20);
        Opened cancelled = open(m_documents, m_photo);
        escape.stop();
        pf::Alert::setResponder([this](const pf::Alert& alert) {
            m_alerts << alert.messageText;
            return pf::Alert::firstButtonReturn + m_answer;
        });
        EXPECT_TRUE(asked.contains("changed by another program")) << asked.toStdString();
        EXPECT_FALSE(cancelled.document);
        m_documents.presentError(QStringLiteral("“photo.jpg” could not be opened."), cancelled.error);
        EXPECT_TRUE(m_alerts.isEmpty()) << "a cancelled opening is no failure";
        EXPECT_EQ(GMFileUtilities::shadowCopyDictionary(), registry);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), bytes);
    }

    m_answer = 1; // the file as it is
    Opened asItIs = open(m_documents, m_photo);
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_TRUE(m_alerts.first().contains("changed by another program"));
    EXPECT_EQ(asItIs.chain()->numberOfTools(), 1);
    EXPECT_EQ(asItIs.chain()->originalImageSize(), pf::Size(80, 60));

    m_answer = 0; // the kept edits
    Opened kept = open(m_documents, m_photo);
    EXPECT_EQ(kept.chain()->numberOfTools(), 4);
    EXPECT_EQ(kept.chain()->originalImageSize(), pf::Size(64, 48));

    // The shadow folder gone: the picture opens as it is.
    const QString key = GMDocument::shadowCopyKey(m_photo);
    QDir(GMFileUtilities::applicationSupportDirectory() + "/" +
         GMFileUtilities::shadowCopyDictionary().value(key).toMap().value("filename").toString())
        .removeRecursively();
    pf::LogCapture log;
    Opened fallback = open(m_documents, m_photo);
    ASSERT_TRUE(fallback.document);
    EXPECT_EQ(fallback.chain()->numberOfTools(), 1);
    EXPECT_TRUE(log.contains("are missing"));
}

// A file changed on disk (by another program, or another instance of this one) since the document read
// or wrote it is never written over unasked: an autosave leaves it (a photo's keeps the changes in its
// shadow copy without taking the file's new state for its own), and an explicit save asks: Cancel
// leaves the file, Replace writes over it.
TEST_F(Documents, AFileChangedOnDiskIsNeverWrittenOverUnasked)
{
    struct Case
    {
        const char* what;
        QString type;
    };
    const Case cases[] = {{"a package", GMDocumentPackage::typeName}, {"a photo", "jpeg"}};
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const bool package = c.type == GMDocumentPackage::typeName;
        const QString path =
            m_dir.filePath(QStringLiteral("changed-%1.%2").arg(++number).arg(package ? "glimora" : "jpg"));
        if (package) {
            Opened source = open(m_documents, m_photo);
            ASSERT_TRUE(save(*source.document, path, c.type, Op::SaveAs).succeeded);
            source.document->close();
        } else {
            ASSERT_TRUE(QFile::copy(m_photo, path));
        }
        Opened opened = open(m_documents, path);
        ASSERT_TRUE(opened.document);
        opened.document->setFileModificationDate(opened.document->modificationDateOfFile(path));
        opened.chain()->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, 0);
        opened.chain()->brushPathImageAtIndex(1)->addContentContainer(
            paintedMask(opened.chain()->originalImageSize(), 0.9, pf::Color(0, 0, 0, 0)));
        QCoreApplication::processEvents();

        // Someone else saves it.
        {
            Opened other = open(m_documents, path);
            other.chain()->insertPhotoToolWithBlueprint(chaintest::tint(), std::nullopt, 0);
            ASSERT_TRUE(save(*other.document, path, c.type, Op::Save).succeeded);
            other.document->close();
        }
        const QString stamped = package ? path + "/content" : path;
        QFile touched(stamped);
        ASSERT_TRUE(touched.open(QIODevice::ReadWrite));
        ASSERT_TRUE(
            touched.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
        touched.close();
        ASSERT_TRUE(opened.document->fileChangedOnDisk());
        const auto onDisk = [&] {
            return package ? tree(path) : QMap<QString, QByteArray>{{"", bytes(path)}};
        };
        const auto theirs = onDisk();

        m_alerts.clear();
        const SaveResult autosaved = save(*opened.document, path, c.type, Op::Autosave);
        EXPECT_EQ(autosaved.succeeded, !package) << autosaved.error.toStdString();
        if (package) {
            EXPECT_TRUE(autosaved.error.contains("changed by another program"))
                << autosaved.error.toStdString();
        }
        EXPECT_EQ(onDisk(), theirs) << "an autosave never writes over it";
        EXPECT_TRUE(m_alerts.isEmpty());
        if (package) {
            // The timer's autosave says so once, with one piece of advice: what saving will ask.
            m_alertsWithDetail = true;
            bool done = false;
            opened.document->autosaveDocument([&](bool, const QString&) { done = true; });
            ASSERT_TRUE(spinUntil([&] { return done; }));
            ASSERT_EQ(m_alerts.size(), 1);
            EXPECT_TRUE(m_alerts[0].contains("when you save, you choose") &&
                        !m_alerts[0].contains("save them under another name"))
                << m_alerts[0].toStdString();
            m_alerts.clear();
            m_alertsWithDetail = false;
        }
        if (!package) {
            // The kept edits still know the file as this document read it: opening asks which to take.
            m_answer = 1;
            Opened again = open(m_documents, path);
            EXPECT_EQ(m_alerts.filter("changed by another program").size(), 1);
            m_alerts.clear();
        }

        int calls = 0;
        bool succeeded = true;
        m_answer = 2; // Cancel
        opened.document->saveDocument([&](bool ok, const QString&) { ++calls, succeeded = ok; });
        ASSERT_TRUE(spinUntil([&] { return calls > 0; }));
        EXPECT_FALSE(succeeded);
        ASSERT_EQ(m_alerts.filter("was changed by another program").size(), 1)
            << m_alerts.join('\n').toStdString();
        EXPECT_EQ(onDisk(), theirs) << "cancelled: left as it is";

        m_answer = 0; // Replace
        calls = 0;
        opened.document->saveDocument([&](bool ok, const QString&) { ++calls, succeeded = ok; });
        ASSERT_TRUE(spinUntil([&] { return calls > 0 && !opened.document->isSaving(); }));
        EXPECT_TRUE(succeeded);
        EXPECT_NE(onDisk(), theirs) << "replaced, as the user chose";
        EXPECT_FALSE(opened.document->fileChangedOnDisk());
        opened.document->close();
    }
}

// Kept edits know their file by its bytes too: another picture of the same size put there with the same
// time (copied keeping its time, a card holding another photo of that name) is asked about as any
// change is, and the file they were kept over opens without a question.
TEST_F(Documents, KeptEditsTellAnotherPictureOfTheSameSizeAndTime)
{
    const QString path = m_dir.filePath("same-size.jpg");
    ASSERT_TRUE(QFile::copy(m_photo, path));
    {
        Opened opened = edited(path);
        ASSERT_TRUE(opened.document);
        ASSERT_TRUE(save(*opened.document, path, "jpeg", Op::Autosave).succeeded);
        opened.document->close();
    }
    m_alerts.clear();
    {
        Opened again = open(m_documents, path);
        ASSERT_TRUE(again.document) << again.error.toStdString();
        EXPECT_TRUE(m_alerts.filter("changed by another program").isEmpty())
            << m_alerts.join('\n').toStdString();
        again.document->close();
    }
    // One byte of the picture's data changed: its size and time stay.
    const QDateTime time = QFileInfo(path).lastModified();
    QByteArray data = bytes(path);
    qsizetype at = data.size() / 2;
    while (uchar(data[at]) >= 0xF0 || uchar(data[at - 1]) == 0xFF)
        ++at;
    data[at] = char(uchar(data[at]) ^ 1);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(data), data.size());
    }
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
    }
    ASSERT_EQ(QFileInfo(path).lastModified(), time);
    m_alerts.clear();
    m_answer = 1; // the file as it is
    Opened other = open(m_documents, path);
    ASSERT_TRUE(other.document) << other.error.toStdString();
    EXPECT_EQ(m_alerts.filter("changed by another program").size(), 1) << m_alerts.join('\n').toStdString();
    EXPECT_EQ(other.chain()->numberOfTools(), 1) << "the file as it is, without the kept layers";
    other.document->close();
}

// A photo's changes kept by an autosave are not in its file: it stays marked edited, and closing asks
// whether they go into the file. Cancel keeps the window; Don't Save closes with the changes kept in the
// shadow copy and the file as it was; Save writes the file. Opened again, the photo is marked edited
// while its file lacks the kept changes, as it is after a restart (mended: it showed no mark).
TEST_F(Documents, AnAutosavedPhotoStaysEditedAndClosingAsks)
{
    struct Case
    {
        const char* what;
        int answer;
        bool closes, fileChanges;
    };
    const Case cases[] = {
        {"Cancel", 1, false, false}, {"Don't Save", 2, true, false}, {"Save", 0, true, true}};
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = m_dir.filePath(QStringLiteral("closing-%1.jpg").arg(++number));
        ASSERT_TRUE(QFile::copy(m_photo, path));
        Opened opened = edited(path);
        ASSERT_TRUE(save(*opened.document, path, "jpeg", Op::Autosave).succeeded);
        EXPECT_TRUE(opened.document->isDocumentEdited()) << "the file does not hold the changes";
        m_alerts.clear();
        m_answer = c.answer;
        std::optional<bool> mayClose;
        opened.document->canCloseDocument([&](bool answer) { mayClose = answer; });
        ASSERT_TRUE(spinUntil([&] { return mayClose.has_value() && !opened.document->isSaving(); }));
        EXPECT_EQ(m_alerts.filter("into the file").size(), 1) << m_alerts.join('\n').toStdString();
        EXPECT_EQ(*mayClose, c.closes);
        EXPECT_EQ(bytes(path) != bytes(m_photo), c.fileChanges);
        const QString key = GMDocument::shadowCopyKey(path);
        EXPECT_TRUE(QFileInfo::exists(
            GMFileUtilities::applicationSupportDirectory() + "/" +
            GMFileUtilities::shadowCopyDictionary().value(key).toMap().value("filename").toString() +
            "/layer_3"));
        opened.document->close();
        if (!c.closes)
            continue;
        QString error;
        const auto again = m_documents.openDocumentWithContentsOfURL(path, false, &error);
        ASSERT_TRUE(again) << error.toStdString();
        EXPECT_EQ(again->isDocumentEdited(), !c.fileChanges) << "marked edited while the file lacks them";
        again->close();
    }
}

// Mended: closing an edited photo with Don't Save left its window standing, unchanged and without a sign
// of work, while its changes were kept (seconds for a large photo). The window goes at once, as the
// answer is given; the changes are kept all the same, and when keeping them fails the window comes back.
TEST_F(Documents, DontSaveClosesTheWindowAtOnceAndKeepsTheChanges)
{
    struct Case
    {
        const char* what;
        bool keepingFails;
    };
    int number = 0;
    for (const Case& c : {Case{"kept", false}, Case{"keeping fails", true}}) {
        SCOPED_TRACE(c.what);
        const QString path = m_dir.filePath(QStringLiteral("dont-save-%1.jpg").arg(++number));
        ASSERT_TRUE(QFile::copy(m_photo, path));
        Opened opened = edited(path);
        ASSERT_TRUE(save(*opened.document, path, "jpeg", Op::Autosave).succeeded);
        opened.chain()->removePhotoToolAtIndex(3); // a change not kept yet
        QCoreApplication::processEvents();
        ASSERT_TRUE(opened.document->hasUnautosavedChanges());
        // The document's window, as a person sees it.
        pf::Window shownWindow(pf::Rect(100, 100, 400, 300));
        pf::Window* window = &shownWindow;
        opened.document->setWindow(window);
        window->setReleasedWhenClosed(false);
        window->show();
        GMDocumentPackage::setFaultInjectionForTesting(
            [&](const QString& step) { return !(c.keepingFails && step == "content"); });
        m_alerts.clear();
        pf::Alert::setResponder([&](const pf::Alert& alert) {
            m_alerts << alert.messageText;
            // "Don't Save" is the third button of the question; any other alert is acknowledged.
            return pf::Alert::firstButtonReturn + (alert.messageText.contains("into the file") ? 2 : 0);
        });
        window->performClose();
        // Answered: the window is gone while its changes are still being kept.
        EXPECT_FALSE(window->isVisible());
        EXPECT_TRUE(opened.document->isSaving());
        ASSERT_TRUE(spinUntil([&] { return !opened.document->isSaving(); }));
        QCoreApplication::processEvents();
        GMDocumentPackage::setFaultInjectionForTesting({});
        if (c.keepingFails) {
            EXPECT_TRUE(window->isVisible()) << "the window comes back when its changes could not be kept";
            EXPECT_EQ(m_alerts.filter("its window stays open").size(), 1)
                << m_alerts.join('\n').toStdString();
            opened.document->close();
        } else {
            EXPECT_FALSE(window->isVisible());
            EXPECT_FALSE(opened.document->hasUnautosavedChanges()) << "the changes are kept";
            EXPECT_FALSE(opened.document->window()) << "and the document closed";
        }
    }
}

// Quitting with two photos whose changes are not in their files asks once, in plain words. Mended: Save
// there, refused over a read-only photo and that refusal answered Cancel, quit all the same (while
// closing its window kept the window); now the application stays, the changes kept.
TEST_F(Documents, QuittingAsksOnceAndACancelledSaveKeepsTheApplication)
{
    std::vector<Opened> photos;
    QStringList paths;
    for (const char* name : {"quit-a.jpg", "quit-b.jpg"}) {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(QFile::copy(m_photo, path));
        photos.push_back(edited(path));
        ASSERT_TRUE(save(*photos.back().document, path, "jpeg", Op::Autosave).succeeded);
        m_documents.addDocument(photos.back().document);
        paths << path;
    }
    // The second one cannot be written.
    ASSERT_TRUE(QFile::setPermissions(paths[1], QFileDevice::ReadOwner | QFileDevice::ReadUser));
    const QByteArray before = bytes(paths[1]);
    struct Case
    {
        const char* what;
        QString refusalAnswer; // to the read-only photo's "cannot be saved over"
        bool quits;
    };
    const Case cases[] = {{"Save, then Cancel over the read-only photo", QStringLiteral("Cancel"), false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QStringList asked;
        pf::Alert::setResponder([&](const pf::Alert& alert) {
            asked << alert.messageText;
            const QString answer =
                alert.messageText.contains("cannot be saved over") ? c.refusalAnswer : QStringLiteral("Save");
            return pf::Alert::firstButtonReturn +
                   int(std::max<qsizetype>(0, alert.buttons().indexOf(answer)));
        });
        std::optional<bool> quits;
        m_documents.reviewUnsavedDocumentsAndQuit([&](bool answer) { quits = answer; });
        ASSERT_TRUE(spinUntil([&] {
            return quits.has_value() && !photos[0].document->isSaving() && !photos[1].document->isSaving();
        }));
        EXPECT_EQ(*quits, c.quits);
        ASSERT_FALSE(asked.isEmpty());
        EXPECT_EQ(asked.first(), QStringLiteral("Do you want to save the changes into these 2 files?"));
        EXPECT_EQ(asked.filter("cannot be saved over").size(), 1) << asked.join('\n').toStdString();
        EXPECT_EQ(bytes(paths[1]), before) << "the read-only photo is left as it is";
        EXPECT_NE(bytes(paths[0]), bytes(m_photo)) << "the other one was saved";
    }
    QFile::setPermissions(paths[1], QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    for (Opened& photo : photos) {
        m_documents.removeDocument(photo.document.get());
        photo.document->close();
    }
}

// Saving into a folder that does not exist asks first; Cancel makes nothing.
TEST_F(Documents, SavingIntoAFolderThatDoesNotExistAsksFirst)
{
    Opened opened = edited(m_photo);
    const QString target = m_dir.filePath("new/sub/copy.jpg");
    pf::FilePanel::setResponder([&](const pf::FilePanel&) { return QStringList{target}; });
    for (const int answer : {1, 0}) {
        SCOPED_TRACE(answer);
        m_alerts.clear();
        m_answer = answer;
        int calls = 0;
        opened.document->saveDocumentAs([&](bool, const QString&) { ++calls; });
        ASSERT_TRUE(spinUntil([&] { return calls > 0 && !opened.document->isSaving(); }));
        EXPECT_EQ(m_alerts.filter("does not exist").size(), 1) << m_alerts.join('\n').toStdString();
        EXPECT_EQ(QFileInfo::exists(target), answer == 0);
        EXPECT_EQ(QFileInfo::exists(m_dir.filePath("new")), answer == 0);
    }
    pf::FilePanel::setResponder({});
}

TEST_F(Documents, RevertReadsWhatReopeningReadsAndForgetsUndo)
{
    Opened opened = edited(m_photo);
    opened.document->setFileURL(m_photo);
    opened.document->setFileType("jpeg");
    ASSERT_TRUE(save(*opened.document, m_photo, "jpeg", Op::Autosave).succeeded);
    opened.chain()->removePhotoToolAtIndex(1);
    QCoreApplication::processEvents();
    ASSERT_EQ(opened.chain()->numberOfTools(), 3);
    m_answer = 0;
    opened.document->revertDocumentToSaved();
    spinUntil(
        [&] { return opened.document->pendingLayerCount() == 0 && opened.chain()->numberOfTools() == 4; },
        5000);
    EXPECT_EQ(opened.chain()->numberOfTools(), 4) << "the shadow copy's layers, not the bare picture";
    EXPECT_FALSE(opened.document->undoManager()->canUndo());
    EXPECT_FALSE(opened.document->isDocumentEdited());
}

TEST_F(Documents, LayersReadBeforeTheWindowExistsWaitForIt)
{
    Opened opened = edited(m_photo);
    const QString package = m_dir.filePath("later.glimora");
    ASSERT_TRUE(save(*opened.document, package, GMDocumentPackage::typeName, Op::SaveAs).succeeded);
    auto document = std::make_shared<GMDocument>();
    QString error;
    ASSERT_TRUE(document->readFromURL(package, GMDocumentPackage::typeName, &error));
    for (int turn = 0; turn < 20; ++turn)
        QCoreApplication::processEvents();
    EXPECT_EQ(document->pendingLayerCount(), 3);
    EXPECT_FALSE(
        save(*document, m_dir.filePath("early.glimora"), GMDocumentPackage::typeName, Op::SaveTo).succeeded)
        << "a save before the layers are in would lose them";
    auto controller = std::make_shared<GMPreviewWindowController>(false);
    document->setWindowController(controller);
    ASSERT_TRUE(spinUntil([&] { return document->pendingLayerCount() == 0; }));
    EXPECT_EQ(controller->toolChain()->numberOfTools(), 4);
}

TEST_F(Documents, EveryCallGetsItsOwnCompletionInOrder)
{
    Opened opened = edited(m_photo);
    QStringList order;
    for (const char* name : {"a.glimora", "b.png", "c.glimora"}) {
        const QString path = m_dir.filePath(name);
        const QString type = QString(name).endsWith(".png") ? "png" : GMDocumentPackage::typeName;
        opened.document->saveToURL(path, type, Op::SaveTo, [&order, name](bool ok, const QString&) {
            order << QStringLiteral("%1:%2").arg(name).arg(ok);
        });
    }
    spinUntil([&] { return order.size() == 3; });
    for (int turn = 0; turn < 10; ++turn)
        QCoreApplication::processEvents();
    EXPECT_EQ(order, (QStringList{"a.glimora:1", "b.png:1", "c.glimora:1"}));
    EXPECT_TRUE(opened.controller->activities().isEmpty()) << "every busy message is taken down";
}

TEST_F(Documents, AFailedSaveOnCloseKeepsTheDocumentOpenAndSaysSo)
{
    Opened opened = edited(m_photo);
    opened.document->setFileURL(m_dir.filePath("close.glimora"));
    opened.document->setFileType(GMDocumentPackage::typeName);
    GMDocumentPackage::setFaultInjectionForTesting([](const QString& s) { return s != "swap"; });
    std::optional<bool> mayClose;
    opened.document->canCloseDocument([&](bool answer) { mayClose = answer; });
    spinUntil([&] { return mayClose.has_value(); });
    ASSERT_TRUE(mayClose.has_value());
    EXPECT_FALSE(*mayClose);
    ASSERT_FALSE(m_alerts.isEmpty());
    EXPECT_TRUE(m_alerts.last().contains("stays open"));

    GMDocumentPackage::setFaultInjectionForTesting({});
    mayClose.reset();
    opened.document->canCloseDocument([&](bool answer) { mayClose = answer; });
    spinUntil([&] { return mayClose.has_value(); });
    EXPECT_TRUE(mayClose.value_or(false));
    EXPECT_TRUE(QFileInfo(opened.document->fileURL()).isDir());
}

TEST_F(Documents, SavingInPlaceKeepsTheFilesFormatOrAsksForANewName)
{
    const struct
    {
        const char* name;
        const char* format;
        bool inPlace;
    } cases[] = {{"scan.tiff", "tiff", true}, {"shot.bmp", "bmp", true}, {"anim.gif", nullptr, false}};
    for (const auto& c : cases) {
        QImage image(32, 24, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        const QString path = m_dir.filePath(c.name);
        if (c.inPlace) {
            ASSERT_TRUE(image.save(path)) << c.name;
        } else { // nothing here writes GIF: a one-pixel one
            QFile gif(path);
            ASSERT_TRUE(gif.open(QIODevice::WriteOnly));
            gif.write(QByteArray::fromHex(
                "47494638396101000100800000000000ffffff21f90401000000002c00000000010001000002024401003b"));
        }
        Opened opened = open(m_documents, path);
        ASSERT_TRUE(opened.document) << c.name;
        EXPECT_EQ(opened.document->canSaveInPlace(), c.inPlace) << c.name;
        if (!c.inPlace)
            continue;
        ASSERT_TRUE(save(*opened.document, path, opened.document->fileType(), Op::Save).succeeded) << c.name;
        EXPECT_EQ(QImageReader::imageFormat(path), c.format) << c.name;
    }
}

TEST_F(Documents, AStrokeStoredJustBeforeASaveIsInItAndSurvivesUndoAndRedo)
{
    // Brush-up only queues the stroke's pixels; a save begun in the same turn must still hold it.
    Opened opened = edited(m_photo);
    auto chain = opened.chain();
    const auto mask = chain->brushPathImageAtIndex(1);
    const auto valueAt = [](const OVContentContainerPtr& container, double x, double y) {
        const auto pixel = pf::RenderContext::shared()->render(
            container->imageContainer()->image(), pf::Rect(x, y, 1, 1), pf::Bitmap::Format::Grayf);
        float value = -1;
        if (pixel)
            std::memcpy(&value, pixel->data(), sizeof value);
        return value;
    };
    // White over the upper right quarter, handed over at a quarter of the layer's resolution.
    auto stroke = std::make_shared<OVContentContainer>(
        std::make_shared<OVImageContainer>(
            pf::Image::constantColor(pf::Color(1, 1, 1, 1)).imageByCroppingToRect(pf::Rect(0, 0, 8, 6)),
            true),
        std::make_shared<OVImageContainer>());
    const QString package = m_dir.filePath("stroked.glimora");
    const QString checks[] = {"stored", "undone", "redone"};
    for (const QString& check : checks) {
        if (check == "stored")
            mask->addContentContainerWithRect(stroke, pf::Rect(0.5, 0.5, 0.5, 0.5));
        else if (check == "undone")
            opened.document->undoManager()->undo();
        else
            opened.document->undoManager()->redo();
        ASSERT_TRUE(save(*opened.document, package, GMDocumentPackage::typeName, Op::SaveTo).succeeded);
        const float upperRight = check == "undone" ? 0.2f : 1.0f;
        EXPECT_NEAR(valueAt(mask->contentContainer(), 48, 36), upperRight, 0.01) << check.toStdString();
        Opened reopened = open(m_documents, package);
        ASSERT_TRUE(reopened.document) << reopened.error.toStdString();
        const auto saved = reopened.chain()->brushPathImageAtIndex(1)->contentContainer();
        EXPECT_NEAR(valueAt(saved, 48, 36), upperRight, 0.01) << check.toStdString();
        EXPECT_NEAR(valueAt(saved, 16, 12), 0.2f, 0.01) << check.toStdString();
    }
}

// Mended: a photo closed with Don't Save stayed an open document while its changes were kept (its window
// already gone): a quit in that time asked about it again and Save wrote the retouched picture into its
// file (and, the save refused while it closed, the application stayed without a word); opening it again
// showed its window, which then went with the close. A closing photo is no open document: a quit neither
// asks about it nor writes it and ends once it has closed; opening it again keeps it open, with the
// changes just kept; when its changes cannot be kept, its window comes back, saying so, and the quit stays.
TEST_F(Documents, AClosingPhotoIsNoLongerOpenToQuittingOrOpening)
{
    struct Case
    {
        const char* what;
        bool otherEdited; // a second photo with changes not in its file
        bool keepingFails;
        bool reopen; // opened again instead of quitting
    };
    const Case cases[] = {
        {"quit, Save", false, false, false},
        {"quit with another edited photo, Save", true, false, false},
        {"quit, the changes cannot be kept", false, true, false},
        {"opened again", false, false, true},
        {"opened again, the changes cannot be kept", false, true, true},
    };
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = m_dir.filePath(QStringLiteral("closing-%1.jpg").arg(++number));
        const QString otherPath = m_dir.filePath(QStringLiteral("other-%1.jpg").arg(number));
        ASSERT_TRUE(QFile::copy(m_photo, path));
        ASSERT_TRUE(QFile::copy(m_photo, otherPath));
        Opened opened = edited(path);
        ASSERT_TRUE(save(*opened.document, path, "jpeg", Op::Autosave).succeeded);
        m_documents.addDocument(opened.document);
        opened.chain()->removePhotoToolAtIndex(3); // a change not kept yet
        Opened other = c.otherEdited ? edited(otherPath) : open(m_documents, otherPath);
        ASSERT_TRUE(other.document);
        m_documents.addDocument(other.document);
        QCoreApplication::processEvents();
        pf::Window shownWindow(pf::Rect(100, 100, 400, 300)), otherWindow(pf::Rect(140, 140, 400, 300));
        for (pf::Window* window : {&shownWindow, &otherWindow})
            window->setReleasedWhenClosed(false);
        opened.document->setWindow(&shownWindow);
        other.document->setWindow(&otherWindow);
        shownWindow.show();
        otherWindow.show();
        const QByteArray before = bytes(path), otherBefore = bytes(otherPath);
        GMDocumentPackage::setFaultInjectionForTesting(
            [&](const QString& step) { return !(c.keepingFails && step == "content"); });
        QStringList asked;
        pf::Alert::setResponder([&](const pf::Alert& alert) {
            asked << alert.messageText;
            // Don't Save when closing; Save when quitting; any other alert acknowledged.
            if (alert.messageText.contains("into the file") && asked.size() == 1)
                return pf::Alert::firstButtonReturn + 2;
            return pf::Alert::firstButtonReturn +
                   int(std::max<qsizetype>(0, alert.buttons().indexOf("Save")));
        });
        shownWindow.performClose();
        ASSERT_FALSE(shownWindow.isVisible());
        ASSERT_TRUE(opened.document->isSaving()) << "the changes are being kept";
        std::optional<bool> quits;
        if (c.reopen) {
            QString error;
            EXPECT_EQ(m_documents.openDocumentWithContentsOfURL(path, true, &error), opened.document)
                << error.toStdString();
            EXPECT_TRUE(shownWindow.isVisible()) << "its window is back at once";
        } else {
            m_documents.reviewUnsavedDocumentsAndQuit([&](bool answer) { quits = answer; });
        }
        ASSERT_TRUE(spinUntil([&] {
            return !opened.document->isSaving() && !other.document->isSaving() &&
                   (c.reopen || quits.has_value());
        }));
        QCoreApplication::processEvents();
        GMDocumentPackage::setFaultInjectionForTesting({});
        const QString told = asked.join('\n');
        EXPECT_TRUE(bytes(path) == before) << "the photo answered Don't Save was written";
        EXPECT_EQ(asked.filter("into the file").size(), c.otherEdited ? 2 : 1) << told.toStdString();
        // Nothing else asked or told but the failure to keep the changes, once (and the note shown the
        // first time a photo is saved over, whichever test saves first).
        EXPECT_EQ(asked.size() - asked.filter("now holds your retouched picture").size(),
                  1 + int(c.otherEdited) + int(c.keepingFails))
            << told.toStdString();
        if (c.otherEdited) {
            EXPECT_EQ(asked.value(1).toStdString(),
                      QStringLiteral("Do you want to save the changes to “other-%1.jpg” into the file?")
                          .arg(number)
                          .toStdString());
        }
        EXPECT_EQ(bytes(otherPath) != otherBefore, c.otherEdited && !c.reopen) << "the other photo was saved";
        const bool stillOpen = c.reopen || c.keepingFails;
        EXPECT_EQ(m_documents.documentForURL(path) == opened.document, stillOpen);
        EXPECT_EQ(shownWindow.isVisible(), stillOpen);
        EXPECT_FALSE(opened.document->isClosing());
        EXPECT_EQ(asked.filter("its window stays open").size(), c.keepingFails && !c.reopen ? 1 : 0)
            << told.toStdString();
        // Opened again, a failure to keep the changes is the autosave's to tell, once.
        EXPECT_EQ(asked.filter("could not be saved automatically").size(), c.keepingFails && c.reopen ? 1 : 0)
            << told.toStdString();
        if (!c.reopen) {
            EXPECT_EQ(*quits, !c.keepingFails) << told.toStdString();
        }
        if (stillOpen) {
            EXPECT_TRUE(opened.document->isDocumentEdited()) << "its file does not hold the kept changes";
            EXPECT_EQ(opened.document->hasUnautosavedChanges(), c.keepingFails);
            EXPECT_EQ(opened.chain()->numberOfTools(), 3) << "as it was when the close began";
            if (c.reopen) {
                // And it closes again as any open photo does.
                asked.clear();
                shownWindow.performClose();
                ASSERT_TRUE(
                    spinUntil([&] { return !opened.document->isSaving() && !opened.document->isClosing(); }));
                EXPECT_EQ(asked.filter("into the file").size(), 1) << asked.join('\n').toStdString();
                EXPECT_FALSE(m_documents.documentForURL(path));
            }
        }
        for (const auto& document :
             std::vector<std::shared_ptr<pf::Document>>{opened.document, other.document})
            if (m_documents.documentForURL(document->fileURL()) == document) {
                m_documents.removeDocument(document.get());
                document->close();
            }
        pf::Alert::setResponder([this](const pf::Alert& alert) {
            m_alerts << alert.messageText;
            return pf::Alert::firstButtonReturn + m_answer;
        });
    }
}

// Mended: quitting with Don't Save while the changes of a photo could not be kept (a full disk) told so
// while every window was put away, and brought the windows back only after a second alert. The windows
// are back when the user is told, once; Don't Quit keeps them.
TEST_F(Documents, QuittingTellsOfChangesThatCannotBeKeptWithTheWindowsBack)
{
    std::vector<Opened> photos;
    std::vector<std::unique_ptr<pf::Window>> windows;
    for (const char* name : {"full-a.jpg", "full-b.jpg"}) {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(QFile::copy(m_photo, path));
        photos.push_back(edited(path));
        ASSERT_TRUE(photos.back().document);
        m_documents.addDocument(photos.back().document);
        windows.push_back(
            std::make_unique<pf::Window>(pf::Rect(100, 100 + 40 * int(windows.size()), 400, 300)));
        windows.back()->setReleasedWhenClosed(false);
        photos.back().document->setWindow(windows.back().get());
        windows.back()->show();
    }
    // The disk takes no more: no changes can be kept.
    GMDocumentPackage::setFaultInjectionForTesting([](const QString& step) { return step != "content"; });
    QStringList told;
    pf::Alert::setResponder([&](const pf::Alert& alert) {
        const bool shown =
            std::all_of(windows.begin(), windows.end(), [](const auto& w) { return w->isVisible(); });
        told << alert.messageText + (shown ? " (windows shown)" : " (windows put away)");
        // Don't Save to the question; Don't Quit to the failure.
        return pf::Alert::firstButtonReturn + (alert.messageText.contains("into these") ? 2 : 0);
    });
    std::optional<bool> quits;
    m_documents.reviewUnsavedDocumentsAndQuit([&](bool answer) { quits = answer; });
    ASSERT_TRUE(spinUntil([&] {
        return quits.has_value() && !photos[0].document->isSaving() && !photos[1].document->isSaving();
    }));
    GMDocumentPackage::setFaultInjectionForTesting({});
    EXPECT_EQ(told.join('\n').toStdString(),
              "Do you want to save the changes into these 2 files? (windows shown)\n"
              "Some documents could not be saved. (windows shown)");
    EXPECT_FALSE(*quits);
    for (const auto& window : windows)
        EXPECT_TRUE(window->isVisible());
    for (Opened& photo : photos) {
        m_documents.removeDocument(photo.document.get());
        photo.document->close();
    }
}
