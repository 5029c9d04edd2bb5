// What must never cost a user's work: saves of several documents at once, damaged packages, layers of
// effects this version does not know, a working area removed under the application, and the small
// gaps around them.
#include "Classes/Document/GMDocumentPackage.h"
#include "Classes/Document/OVBundleManager.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "DocumentTestSupport.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Image/ImageFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

using namespace doctest;

namespace {

// A copy with files of their own (a saved package links its masks to the working area's snapshots).
void copyTree(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + path.mid(from.size());
        if (it.fileInfo().isDir())
            QDir().mkpath(target);
        else
            QFile::copy(path, target);
    }
}

QStringList hiddenEntries(const QString& folder)
{
    return QDir(folder)
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
        .filter(QRegularExpression("^\\."));
}

// A picture's pixels, for comparing two masks exactly.
QByteArray pixels(const OVImageContainerPtr& picture)
{
    const pf::Bitmap bitmap = picture ? picture->bitmap() : pf::Bitmap();
    if (bitmap.isNull())
        return {};
    return QByteArray::number(bitmap.width()) + 'x' + QByteArray::number(bitmap.height()) +
           QByteArray(reinterpret_cast<const char*>(bitmap.data()), qsizetype(bitmap.byteCount()));
}

struct LayerState
{
    QString name;
    QVariantMap values;
    QByteArray mask;
    QByteArray additional;
};

std::vector<LayerState> layersOf(const std::shared_ptr<PhotoToolChain>& chain)
{
    std::vector<LayerState> layers;
    for (int i = 1; i < chain->numberOfTools(); ++i) {
        const auto container = chain->brushPathImageAtIndex(i)->contentContainer();
        layers.push_back({chain->photoToolAtIndex(i)->blueprint()->photoToolName(),
                          chain->photoToolAtIndex(i)->savedSettingsState(),
                          pixels(container->imageContainer()),
                          pixels(container->additionalImageContainer())});
    }
    return layers;
}

// A mask of noise (so that damage anywhere in its picture shows) and a colour picture.
OVContentContainerPtr noiseMask(const pf::Size& size, quint32 seed)
{
    QRandomGenerator random(seed);
    pf::Bitmap noise(int(size.width), int(size.height), pf::Bitmap::Format::RGBA8);
    uint8_t* data = noise.mutableData();
    for (size_t i = 0; i < noise.byteCount(); i += 4) {
        const auto value = uint8_t(random.bounded(256));
        data[i] = data[i + 1] = data[i + 2] = value;
        data[i + 3] = 255;
    }
    const pf::Rect rect(0, 0, size.width, size.height);
    auto mask = std::make_shared<OVImageContainer>(pf::Image::fromBitmap(noise), true);
    auto additional = std::make_shared<OVImageContainer>(
        pf::Image::constantColor(pf::Color(0.2, 0.4, 0.8, 1)).imageByCroppingToRect(rect), false);
    return std::make_shared<OVContentContainer>(mask, additional);
}

QByteArray expectedPixels(const pf::Size& size, quint32 seed)
{
    const auto container = noiseMask(size, seed);
    container->flush();
    return pixels(container->imageContainer());
}

class DocumentSafety : public GradientPhotoTest
{
protected:
    DocumentSafety() { m_alertsWithDetail = true; }
    void TearDown() override
    {
        GradientPhotoTest::TearDown();
        GMDocument::setBlueprintCatalog(&catalog());
    }

    // A document over the photo with a wash, a grey and a second wash, each painted with noise.
    Opened painted()
    {
        Opened opened = open(m_documents, m_photo);
        EXPECT_TRUE(opened.document) << opened.error.toStdString();
        auto chain = opened.chain();
        const pf::Size size = chain->originalImageSize();
        insertWashGreyWash(*chain);
        for (int i = 1; i <= 3; ++i)
            chain->brushPathImageAtIndex(i)->addContentContainer(noiseMask(size, quint32(i)));
        QCoreApplication::processEvents();
        return opened;
    }

    // That document saved as the package `name` in the test's folder, and closed; its path.
    QString paintedPackage(const QString& name)
    {
        Opened opened = painted();
        const QString package = m_dir.filePath(name);
        EXPECT_TRUE(save(*opened.document, package, GMDocumentPackage::typeName, Op::SaveAs).succeeded);
        opened.document->close();
        return package;
    }
};

} // namespace

// Saves of different documents run at once; each removes only its own leftovers, never the folder
// another save is writing, however alike the names.
TEST_F(DocumentSafety, DocumentsSavedAtOnceWithAlikeNamesBothReopen)
{
    const QString shared(70, u'p');
    const struct
    {
        QString first, second;
    } pairs[] = {
        {shared + "-one.glimora", shared + "-two.glimora"},
        {"photo*.glimora", "photo1.glimora"},
        {"photo[1].glimora", "photo1.glimora"},
    };
    const pf::Size size(16, 12);
    const auto contentsFor = [&](int round, const QString& name) {
        GMDocumentPackage::Contents contents;
        contents.originalJPEG = bytes(m_photo);
        GMDocumentPackage::Layer layer;
        layer.name = name;
        layer.values = {{"intensity", round / 100.0}};
        layer.container = noiseMask(size, quint32(round));
        layer.maskSize = size;
        contents.layers.push_back(layer);
        return contents;
    };
    for (const auto& pair : pairs) {
        const QString folder = m_dir.filePath(QString::number(qHash(pair.first)));
        QDir().mkpath(folder);
        const QString first = folder + u'/' + pair.first, second = folder + u'/' + pair.second;
        for (int round = 0; round < 20; ++round) {
            const auto a = contentsFor(round, "A"), b = contentsFor(round, "B");
            bool okA = false, okB = false;
            QString errorA, errorB;
            std::thread other([&] { okB = GMDocumentPackage::write(b, second, &errorB); });
            // Now one, now the other begins first and clears its leftovers while the other writes.
            std::this_thread::sleep_for(std::chrono::milliseconds(round % 4));
            okA = GMDocumentPackage::write(a, first, &errorA);
            other.join();
            ASSERT_TRUE(okA) << errorA.toStdString();
            ASSERT_TRUE(okB) << errorB.toStdString();
            for (const auto& [path, name] : {std::pair{first, "A"}, std::pair{second, "B"}}) {
                QString error;
                const auto read = GMDocumentPackage::read(path, &error);
                ASSERT_TRUE(read) << path.toStdString() << " round " << round << ": " << error.toStdString();
                ASSERT_EQ(read->layers.size(), 1u);
                EXPECT_EQ(read->layers[0].name, name);
                EXPECT_EQ(read->layers[0].values.value("intensity").toDouble(), round / 100.0);
                EXPECT_TRUE(QFileInfo::exists(path + "/layer_1/imageContainer/image.png"))
                    << path.toStdString() << " round " << round;
            }
        }
        EXPECT_EQ(hiddenEntries(folder), QStringList()) << "no leftover of " << pair.first.toStdString();
    }
}

// A save killed before its swap leaves a hidden folder: the next open (or save) of that document
// removes it, also for a name holding pattern characters, and leaves another name's alone.
TEST_F(DocumentSafety, OpeningRemovesOnlyItsOwnLeftovers)
{
    Opened opened = painted();
    for (const QString& name :
         QStringList{"photo [1].glimora", "photo*.glimora", QString(240, u'n') + ".glimora"}) {
        const QString folder = m_dir.filePath(QString::number(qHash(name)));
        QDir().mkpath(folder);
        const QString package = folder + u'/' + name;
        ASSERT_TRUE(save(*opened.document, package, GMDocumentPackage::typeName, Op::SaveTo).succeeded);
        const QString own = folder + u'/' + pf::FileSystem::helperPrefix(name, "saving") + "abcdEFGH12";
        const QString other =
            folder + u'/' + pf::FileSystem::helperPrefix("photo1.glimora", "saving") + "abcdEFGH12";
        QDir().mkpath(own + "/layer_1");
        QDir().mkpath(other + "/layer_1");
        ASSERT_TRUE(QFileInfo(own).isDir()) << "the helper name fits the file system";
        Opened again = open(m_documents, package);
        ASSERT_TRUE(again.document) << again.error.toStdString();
        EXPECT_FALSE(QFileInfo::exists(own)) << name.toStdString();
        EXPECT_TRUE(QFileInfo::exists(other)) << name.toStdString();
    }
}

// Each file of a saved package deleted, emptied, cut in half or with one byte flipped: the document is
// refused with a message, or opens with every mask as it was except those it names; the files of
// those survive a later save byte for byte.
TEST_F(DocumentSafety, DamagedPackagesAreRefusedOrNameTheirDamagedLayers)
{
    Opened opened = painted();
    const QString base = m_dir.filePath("base.glimora");
    ASSERT_TRUE(save(*opened.document, base, GMDocumentPackage::typeName, Op::SaveAs).succeeded);
    const QString pristine = m_dir.filePath("pristine.glimora");
    copyTree(base, pristine);
    const auto reference = layersOf(open(m_documents, pristine).chain());
    ASSERT_EQ(reference.size(), 3u);
    ASSERT_FALSE(reference[0].mask.isEmpty());

    enum Damage
    {
        Deleted,
        Emptied,
        Halved,
        Flipped,
        Resized // a picture of another size in its place
    };
    // The layers' folders are alike: the first one's files stand for all.
    QStringList files = tree(pristine).keys();
    files.removeIf(
        [](const QString& file) { return file.startsWith("/layer_") && !file.startsWith("/layer_1/"); });
    int number = 0, refused = 0, named = 0;
    for (const QString& file : files) {
        for (const Damage damage : {Deleted, Emptied, Halved, Flipped, Resized}) {
            if (damage == Resized && !file.endsWith("/imageContainer/image.png"))
                continue;
            const QString package = m_dir.filePath(QStringLiteral("case-%1.glimora").arg(++number));
            copyTree(pristine, package);
            const QString target = package + file;
            QByteArray data = bytes(target);
            const std::string what = file.toStdString() + " damage " + std::to_string(damage);
            if (damage == Deleted) {
                QFile::remove(target);
            } else {
                if (damage == Emptied)
                    data.clear();
                else if (damage == Halved)
                    data.truncate(data.size() / 2);
                else if (damage == Flipped)
                    data[data.size() / 2] = char(data[data.size() / 2] ^ 0x10);
                else
                    data = pf::ImageFile::encodePNG(pf::Bitmap(20, 10, pf::Bitmap::Format::Gray16), 16);
                QFile out(target);
                ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
                out.write(data);
            }
            m_alerts.clear();
            Opened damaged = open(m_documents, package);
            if (!damaged.document) {
                EXPECT_FALSE(damaged.error.isEmpty()) << what;
                ++refused;
                continue;
            }
            const auto layers = layersOf(damaged.chain());
            ASSERT_EQ(layers.size(), reference.size()) << what;
            std::vector<int> reported;
            const QString told = m_alerts.join(u'\n');
            for (size_t i = 0; i < layers.size(); ++i) {
                const bool same =
                    layers[i].mask == reference[i].mask && layers[i].additional == reference[i].additional;
                const bool named = told.contains(QStringLiteral("(layer %1)").arg(i + 1));
                if (named)
                    reported.push_back(int(i + 1));
                EXPECT_TRUE(same || named) << what << ": layer " << i + 1 << " changed without a word";
            }
            if (reported.empty())
                continue;
            ++named;
            std::map<int, QMap<QString, QByteArray>> kept;
            for (const int k : reported)
                kept[k] = tree(package + QStringLiteral("/layer_%1").arg(k));
            // Another change, then an autosave: what could not be read is still there as it was.
            auto chain = damaged.chain();
            chain->setSettingsForToolAtIndex(QVariantMap{{"intensity", 0.75}}, 2, QStringLiteral("Change"));
            const SaveResult autosaved =
                save(*damaged.document, package, GMDocumentPackage::typeName, Op::Autosave);
            ASSERT_TRUE(autosaved.succeeded) << what << ": " << autosaved.error.toStdString();
            for (const int k : reported)
                EXPECT_EQ(tree(package + QStringLiteral("/layer_%1").arg(k)), kept[k])
                    << what << " layer " << k;
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(named, 0);
}

// A mask whose size is not its photo's (a description claiming 60000 x 60000 over 64 x 48, a layer
// folder that is a link to an unrelated folder) is named as damaged and kept aside as it is: the layer
// gets an empty mask of the photo's size, which takes the user's strokes and saves them.
TEST_F(DocumentSafety, AMaskOfAnotherSizeThanItsPhotoIsKeptAsideAndTheLayerGetsAnEmptyOne)
{
    const QString base = paintedPackage("base.glimora");
    const QString unrelated = m_dir.filePath("unrelated");
    QDir().mkpath(unrelated);
    ASSERT_TRUE(pf::FileSystem::writeFileAtomically(unrelated + "/notes.txt", "mine"));
    struct Case
    {
        const char* what;
        std::function<void(const QString& package)> damage;
    };
    const Case cases[] = {
        {"a description claiming 60000 x 60000",
         [](const QString& package) {
             const auto claim = pf::PropertyList::toData(QVariantMap{{"width", 60000.0}, {"height", 60000.0}},
                                                         pf::PropertyList::Format::Xml, nullptr);
             ASSERT_TRUE(pf::FileSystem::writeFileAtomically(package + "/layer_1/content", *claim));
         }},
        {"a link to an unrelated folder",
         [&](const QString& package) {
             QDir(package + "/layer_1").removeRecursively();
             ASSERT_TRUE(QFile::link(unrelated, package + "/layer_1"));
         }},
    };
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString package = m_dir.filePath(QStringLiteral("case-%1.glimora").arg(++number));
        copyTree(base, package);
        c.damage(package);
        m_alerts.clear();
        Opened damaged = open(m_documents, package);
        ASSERT_TRUE(damaged.document) << damaged.error.toStdString();
        EXPECT_EQ(m_alerts.filter("(layer 1)").size(), 1) << m_alerts.join('\n').toStdString();
        const auto chain = damaged.chain();
        const pf::Size size = chain->originalImageSize();
        ASSERT_EQ(chain->brushPathImageAtIndex(1)->size(), size);
        chain->brushPathImageAtIndex(1)->addContentContainer(noiseMask(size, 7));
        const SaveResult saved = save(*damaged.document, package, GMDocumentPackage::typeName, Op::Save);
        ASSERT_TRUE(saved.succeeded) << saved.error.toStdString();
        EXPECT_EQ(layersOf(open(m_documents, package).chain())[0].mask, expectedPixels(size, 7));
        EXPECT_EQ(tree(unrelated).keys(), QStringList{"/notes.txt"}) << "nothing written where the link led";
    }
}

// A package whose lossless original ("image.png") does not decode opens from its JPEG with a message
// naming the damage, and every save carries the damaged file as it is: never a silent fall back to the
// lossy copy that the next save would make the only one.
TEST_F(DocumentSafety, ADamagedLosslessOriginalIsToldAndKeptAsItIs)
{
    const QString png = m_dir.filePath("photo.png");
    QImage image(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            image.setPixel(x, y, qRgb(40 + x * 3, 60 + y * 2, (x * y) % 256));
    ASSERT_TRUE(image.save(png, "PNG"));
    Opened opened = open(m_documents, png);
    ASSERT_TRUE(opened.document);
    opened.chain()->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, 0);
    const QString pristine = m_dir.filePath("pristine.glimora");
    ASSERT_TRUE(save(*opened.document, pristine, GMDocumentPackage::typeName, Op::SaveAs).succeeded);
    const QByteArray original = bytes(pristine + "/image.png");
    ASSERT_EQ(original, bytes(png));

    struct Case
    {
        const char* what;
        std::function<QByteArray(QByteArray)> damage;
    };
    const Case cases[] = {
        {"a byte flipped in the pixels",
         [](QByteArray d) { return d[d.size() / 2] = char(d[d.size() / 2] ^ 0x10), d; }},
        {"a byte flipped in the header", [](QByteArray d) { return d[17] = char(d[17] ^ 0x10), d; }},
        {"cut in half", [](QByteArray d) { return d.left(d.size() / 2); }},
        {"emptied", [](const QByteArray&) { return QByteArray(); }},
    };
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString package = m_dir.filePath(QStringLiteral("damaged-%1.glimora").arg(++number));
        copyTree(pristine, package);
        const QByteArray damaged = c.damage(original);
        ASSERT_TRUE(pf::ImageFile::readData(damaged).isNull()) << "the damage keeps it from decoding";
        {
            QFile out(package + "/image.png");
            ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(damaged);
        }
        m_alerts.clear();
        Opened reopened = open(m_documents, package);
        ASSERT_TRUE(reopened.document) << reopened.error.toStdString();
        EXPECT_EQ(reopened.chain()->numberOfTools(), 2);
        ASSERT_EQ(m_alerts.filter("is damaged").size(), 1) << m_alerts.join('\n').toStdString();
        EXPECT_TRUE(m_alerts.filter("is damaged").first().contains("image.png"));

        // An autosave and a save both carry it as it is, beside the JPEG.
        reopened.chain()->setSettingsForToolAtIndex(QVariantMap{{"intensity", 0.75}}, 1,
                                                    QStringLiteral("Change"));
        ASSERT_TRUE(save(*reopened.document, package, GMDocumentPackage::typeName, Op::Autosave).succeeded);
        EXPECT_TRUE(QFileInfo::exists(package + "/image.png"));
        EXPECT_EQ(bytes(package + "/image.png"), damaged);
        const QString elsewhere = m_dir.filePath(QStringLiteral("saved-%1.glimora").arg(number));
        ASSERT_TRUE(save(*reopened.document, elsewhere, GMDocumentPackage::typeName, Op::SaveAs).succeeded);
        EXPECT_TRUE(QFileInfo::exists(elsewhere + "/image.png"));
        EXPECT_EQ(bytes(elsewhere + "/image.png"), damaged);
        EXPECT_FALSE(bytes(elsewhere + "/image.jpg").isEmpty());
        reopened.document->close();
    }
}

// What the user put into a package (a note, a layer folder no layer names) goes on with every save as it
// was; one whose name a save now writes itself is kept beside it.
TEST_F(DocumentSafety, FilesTheUserPutIntoAPackageAreCarriedByEverySave)
{
    Opened opened = painted();
    const QString package = m_dir.filePath("notes.glimora");
    ASSERT_TRUE(save(*opened.document, package, GMDocumentPackage::typeName, Op::SaveAs).succeeded);
    opened.document->close();
    QDir().mkpath(package + "/layer_9/imageContainer");
    QDir().mkpath(package + "/layer_4");
    for (const auto& [file, text] :
         {std::pair{"/notes.txt", "Window light, 1/60"}, std::pair{"/layer_9/content", "old"},
          std::pair{"/layer_9/imageContainer/image.png", "pixels"}, std::pair{"/layer_4/mine.txt", "mine"}}) {
        QFile out(package + file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(text);
    }
    const auto theirs = [&](const QString& root) {
        QMap<QString, QByteArray> files = tree(root);
        files.removeIf([](auto it) {
            return !it.key().startsWith("/notes") && !it.key().startsWith("/layer_9") &&
                   !it.key().startsWith("/layer_4");
        });
        return files;
    };
    const auto before = theirs(package);
    ASSERT_EQ(before.size(), 4);

    Opened reopened = open(m_documents, package);
    ASSERT_TRUE(reopened.document);
    reopened.chain()->setSettingsForToolAtIndex(QVariantMap{{"intensity", 0.75}}, 2,
                                                QStringLiteral("Change"));
    ASSERT_TRUE(save(*reopened.document, package, GMDocumentPackage::typeName, Op::Autosave).succeeded);
    EXPECT_EQ(theirs(package).value("/notes.txt"), before.value("/notes.txt"));
    EXPECT_EQ(theirs(package).value("/layer_9/imageContainer/image.png"),
              before.value("/layer_9/imageContainer/image.png"));
    // A fourth layer takes "layer_4": the user's folder of that name stays beside it.
    reopened.chain()->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, 3);
    const QString elsewhere = m_dir.filePath("elsewhere.glimora");
    ASSERT_TRUE(save(*reopened.document, elsewhere, GMDocumentPackage::typeName, Op::SaveAs).succeeded);
    EXPECT_EQ(bytes(elsewhere + "/notes.txt"), before.value("/notes.txt"));
    EXPECT_EQ(bytes(elsewhere + "/layer_9/content"), before.value("/layer_9/content"));
    EXPECT_EQ(bytes(elsewhere + "/layer_4.kept/mine.txt"), before.value("/layer_4/mine.txt"));
    EXPECT_TRUE(QFileInfo::exists(elsewhere + "/layer_4/content")) << "the new layer's own mask";
    EXPECT_EQ(open(m_documents, elsewhere).chain()->numberOfTools(), 5);
}

// A layer folder that is a link to a damaged mask folder elsewhere is named once when the document opens;
// the saves carry a copy of that mask's files, and the rest of the document saves.
TEST_F(DocumentSafety, ALayerLinkedToADamagedFolderElsewhereLetsTheDocumentSave)
{
    const QString package = paintedPackage("linked.glimora");
    const QString outside = m_dir.filePath("outside-mask");
    copyTree(package + "/layer_2", outside);
    QFile::resize(outside + "/imageContainer/image.png", 40); // damaged
    const auto damaged = tree(outside);
    QDir(package + "/layer_2").removeRecursively();
    ASSERT_TRUE(QFile::link(outside, package + "/layer_2"));

    m_alerts.clear();
    Opened reopened = open(m_documents, package);
    ASSERT_TRUE(reopened.document) << reopened.error.toStdString();
    EXPECT_EQ(m_alerts.filter("(layer 2)").size(), 1) << m_alerts.join('\n').toStdString();
    reopened.chain()->setSettingsForToolAtIndex(QVariantMap{{"intensity", 0.75}}, 2,
                                                QStringLiteral("Change"));
    for (int round = 0; round < 2; ++round) {
        const SaveResult saved = save(*reopened.document, package, GMDocumentPackage::typeName, Op::Autosave);
        ASSERT_TRUE(saved.succeeded) << saved.error.toStdString();
    }
    EXPECT_FALSE(QFileInfo(package + "/layer_2").isSymLink());
    EXPECT_EQ(tree(package + "/layer_2"), damaged) << "the damaged mask goes on as it was";
    EXPECT_EQ(tree(outside), damaged) << "nothing is written where the link led";
}

// Painting on a layer whose mask could not be read replaces the kept folder, as the user chose.
TEST_F(DocumentSafety, PaintingOnAnUnreadLayerReplacesItsKeptFolder)
{
    Opened opened = painted();
    const QString package = m_dir.filePath("paint.glimora");
    ASSERT_TRUE(save(*opened.document, package, GMDocumentPackage::typeName, Op::SaveAs).succeeded);
    const QString copy = m_dir.filePath("copy.glimora");
    copyTree(package, copy);
    QFile::resize(copy + "/layer_2/imageContainer/image.png", 20);
    Opened damaged = open(m_documents, copy);
    ASSERT_TRUE(damaged.document);
    const pf::Size size = damaged.chain()->originalImageSize();
    damaged.chain()->brushPathImageAtIndex(2)->addContentContainer(noiseMask(size, 99));
    ASSERT_TRUE(save(*damaged.document, copy, GMDocumentPackage::typeName, Op::Save).succeeded);
    Opened reopened = open(m_documents, copy);
    ASSERT_TRUE(reopened.document);
    EXPECT_EQ(layersOf(reopened.chain())[1].mask, expectedPixels(size, 99));
}

// A layer of an effect this version does not know stays out of the chain, is told once, and goes on
// unchanged at its place through saves, back to a version that knows it.
TEST_F(DocumentSafety, AnUnknownEffectsLayerSurvivesSavesAndComesBack)
{
    Opened opened = painted();
    const QString package = m_dir.filePath("unknown.glimora");
    ASSERT_TRUE(save(*opened.document, package, GMDocumentPackage::typeName, Op::SaveAs).succeeded);
    const auto reference = layersOf(open(m_documents, package).chain());

    GMBlueprintCatalog older; // a version without the wash
    older.registerBlueprint(catalog().blueprintDictionaryWithName("TestGrey"));
    GMDocument::setBlueprintCatalog(&older);
    m_alerts.clear();
    Opened partial = open(m_documents, package);
    ASSERT_TRUE(partial.document) << partial.error.toStdString();
    ASSERT_EQ(partial.chain()->numberOfTools(), 2);
    EXPECT_EQ(m_alerts.size(), 1);
    EXPECT_TRUE(m_alerts.value(0).contains("TestTint")) << m_alerts.join(u'\n').toStdString();
    const pf::Size size = partial.chain()->originalImageSize();
    for (int round = 0; round < 2; ++round) {
        partial.chain()->brushPathImageAtIndex(1)->addContentContainer(noiseMask(size, quint32(50 + round)));
        ASSERT_TRUE(save(*partial.document, package, GMDocumentPackage::typeName, Op::Save).succeeded);
    }

    GMDocument::setBlueprintCatalog(&catalog());
    Opened whole = open(m_documents, package);
    ASSERT_TRUE(whole.document);
    const auto layers = layersOf(whole.chain());
    ASSERT_EQ(layers.size(), 3u);
    for (const size_t i : {size_t(0), size_t(2)}) {
        EXPECT_EQ(layers[i].name, "TestTint");
        EXPECT_EQ(layers[i].values, reference[i].values) << i;
        EXPECT_EQ(layers[i].mask, reference[i].mask) << i;
        EXPECT_EQ(layers[i].additional, reference[i].additional) << i;
    }
    EXPECT_EQ(layers[1].mask, expectedPixels(size, 51));
}

// The snapshot folders a save links are gone (the working area removed under the application): the
// masks are written from memory, never left out.
TEST_F(DocumentSafety, SavingAfterTheWorkingAreaWasRemovedKeepsEveryMask)
{
    Opened opened = painted();
    OVBrushPathImage::waitForPendingWrites();
    for (int i = 1; i < opened.chain()->numberOfTools(); ++i)
        opened.chain()->brushPathImageAtIndex(i)->contentContainer()->flush();
    const auto before = layersOf(opened.chain());
    ASSERT_FALSE(before[0].mask.isEmpty());
    ASSERT_TRUE(QDir(OVBrushPathImage::cacheFolder()).removeRecursively());
    const QString package = m_dir.filePath("nocache.glimora");
    const SaveResult saved = save(*opened.document, package, GMDocumentPackage::typeName, Op::SaveAs);
    ASSERT_TRUE(saved.succeeded) << saved.error.toStdString();
    Opened reopened = open(m_documents, package);
    ASSERT_TRUE(reopened.document);
    const auto after = layersOf(reopened.chain());
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].mask, before[i].mask) << i;
        EXPECT_EQ(after[i].additional, before[i].additional) << i;
    }
}

// Settings are checked when read: out of range clamped, of the wrong type the default.
TEST_F(DocumentSafety, SettingsOutOfRangeOrOfTheWrongTypeAreMendedOnReading)
{
    const auto grey = chaintest::grey();
    const auto tint = chaintest::tint();
    const QVariant greyDefault = grey->defaultValueForInputKey("intensity");
    const struct
    {
        std::shared_ptr<GMEffectBlueprint> blueprint;
        QString key;
        QVariant stored;
        QVariant read;
    } cases[] = {
        {grey, "intensity", 7.5, 1.0},
        {grey, "intensity", -3, 0.0},
        {grey, "intensity", 0.4, 0.4},
        {grey, "intensity", QStringLiteral("0.4"), greyDefault},
        {grey, "intensity", QVariantList{1, 2}, greyDefault},
        {grey, "intensity", std::nan(""), greyDefault},
        {tint, "color", 3, tint->defaultValueForInputKey("color")},
    };
    for (const auto& c : cases) {
        const QVariant read =
            GMDocument::checkedSettings(*c.blueprint, {{c.key, c.stored}}, "layer").value(c.key);
        EXPECT_EQ(read.metaType(), c.read.metaType()) << c.key.toStdString() << " " << c.stored.typeName();
        if (c.read.metaType() == QMetaType::fromType<double>()) {
            EXPECT_EQ(read.toDouble(), c.read.toDouble()) << c.stored.toString().toStdString();
        }
    }
}

// A package opened through a symbolic link is saved in the folder it leads to; the link stays.
TEST_F(DocumentSafety, APackageOpenedThroughALinkIsSavedInPlace)
{
    Opened opened = painted();
    const QString real = m_dir.filePath("real.glimora");
    ASSERT_TRUE(save(*opened.document, real, GMDocumentPackage::typeName, Op::SaveAs).succeeded);
    const QString link = m_dir.filePath("link.glimora");
    ASSERT_TRUE(QFile::link(real, link));
    QString error;
    auto document = m_documents.openDocumentWithContentsOfURL(link, false, &error);
    ASSERT_TRUE(document) << error.toStdString();
    auto gm = std::static_pointer_cast<GMDocument>(document);
    auto controller = std::make_shared<GMPreviewWindowController>(false);
    gm->setWindowController(controller);
    spinUntil([&] { return gm->pendingLayerCount() == 0; });
    controller->toolChain()->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, 3);
    const SaveResult saved = save(*gm, gm->fileURL(), GMDocumentPackage::typeName, Op::Save);
    EXPECT_TRUE(saved.succeeded) << saved.error.toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(real + "/layer_4"));
    gm->close();
}

TEST(UniqueFileNames, NamesHoldingPercentSignsKeepThem)
{
    QTemporaryDir dir;
    const struct
    {
        QString name;
        QString unique;
    } cases[] = {{"50%2 off.txt", "50%2 off 1.txt"}, {"%1%2", "%1%2 1"}, {"a%L1.jpg", "a%L1 1.jpg"}};
    for (const auto& c : cases) {
        QFile(dir.filePath(c.name)).open(QIODevice::WriteOnly);
        EXPECT_EQ(QFileInfo(OVBundleManager::uniqueFileURL(c.name, dir.path())).fileName(), c.unique);
    }
}
