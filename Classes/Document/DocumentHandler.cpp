#include "Classes/Document/DocumentHandler.h"

#include "Classes/Document/GMDocument.h"
#include "Classes/Document/GMDocumentPackage.h"
#include "Classes/Document/GMGridViewController.h"
#include "Classes/Document/GMLinks.h"
#include "Classes/Document/OVRateUsController.h"
#include "Classes/ToolObjects/GMFileUtilities.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/Window.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QLocale>

namespace {

const QString keepCountKey = QStringLiteral("KeepCount");
const QString keepSpanKey = QStringLiteral("KeepSpan");

int clampedIndex(qint64 index)
{
    return int(std::clamp<qint64>(index, 0, 5));
}

QString typeDisplayName(const QByteArray& format)
{
    return QString::fromLatin1(format).toUpper() + QStringLiteral(" image");
}

} // namespace

DocumentHandler::DocumentHandler()
{
    registerType({GMDocumentPackage::typeName,
                  pf::localized(QStringLiteral("Glimora Document")),
                  {GMDocumentPackage::extension},
                  true,
                  true});
    registerType({QStringLiteral("jpeg"), QStringLiteral("JPEG image"), {"jpg", "jpeg"}, false, true});
    registerType({QStringLiteral("png"), QStringLiteral("PNG image"), {"png"}, false, true});
    // Every other picture Qt reads opens; it is saved in its own format where Qt writes that.
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        if (format == "jpeg" || format == "jpg" || format == "png" || typeNamed(QString::fromLatin1(format)))
            continue;
        QStringList extensions{QString::fromLatin1(format)};
        if (format == "tiff")
            extensions.append(QStringLiteral("tif"));
        registerType({QString::fromLatin1(format), typeDisplayName(format), extensions, false, false});
    }

    pf::UserDefaults& defaults = pf::UserDefaults::standard();
    defaults.registerDefaults({{keepCountKey, 2}, {keepSpanKey, 5}});
    m_shadowKeepCount = clampedIndex(defaults.integerForKey(keepCountKey));
    m_shadowKeepSpan = clampedIndex(defaults.integerForKey(keepSpanKey));
    setAutosavingDelay(300);
}

DocumentHandler::~DocumentHandler() = default;

std::shared_ptr<pf::Document> DocumentHandler::makeDocument(const QString&)
{
    return std::make_shared<GMDocument>();
}

QString DocumentHandler::defaultType() const
{
    return GMDocumentPackage::typeName;
}

void DocumentHandler::awakeFromNib()
{
    if (m_welcome)
        return;
    m_welcome = std::make_unique<GMWelcomeWindow>(this, this);
    m_welcome->grid()->setDelegate(this);
    setupHistoryView();
    checkAndShowWarning();
}

void DocumentHandler::checkAndShowWarning()
{
    if (!m_welcome)
        return;
    if (!m_graphicsSet) {
        m_graphics = OVGraphicsInfo::current();
        m_graphicsSet = true;
    }
    const OVGraphicsInfo::Warning warning = m_graphics.warning();
    if (warning == OVGraphicsInfo::Warning::None)
        return;
    const QString text = OVGraphicsInfo::warningText(warning);
    pf::Timer::scheduled(
        0.1, false,
        [this, text](pf::Timer&) {
            if (m_welcome)
                m_welcome->showWarning(text);
        },
        m_welcome->window());
}

void DocumentHandler::displayWelcomeScreen()
{
    awakeFromNib();
    setupHistoryView();
    m_welcome->window()->makeKeyAndOrderFront();
    m_welcome->window()->activateWindow();
}

void DocumentHandler::hideWelcomeScreen()
{
    if (m_welcome && m_welcome->window())
        m_welcome->window()->orderOut();
}

void DocumentHandler::newDocument()
{
    displayWelcomeScreen();
}

std::shared_ptr<pf::Document>
DocumentHandler::openDocumentWithContentsOfURL(const QString& path, bool display, QString* errorMessage)
{
    auto document = pf::DocumentController::openDocumentWithContentsOfURL(path, display, errorMessage);
    if (document && display)
        hideWelcomeScreen();
    return document;
}

std::shared_ptr<pf::Document> DocumentHandler::openUntitledDocumentAndDisplay(bool, QString*)
{
    // A new document is chosen in the welcome window, never made empty.
    displayWelcomeScreen();
    return nullptr;
}

std::shared_ptr<pf::Document> DocumentHandler::reopenDocument(const QString& path,
                                                              const QString& contentsPath, bool display,
                                                              QString* errorMessage)
{
    auto document = pf::DocumentController::reopenDocument(path, contentsPath, display, errorMessage);
    if (document) {
        m_reopenedDocuments = true;
        hideWelcomeScreen();
    }
    return document;
}

std::shared_ptr<pf::Document> DocumentHandler::openSample(const QString& path)
{
    auto document = std::make_shared<GMDocument>();
    document->setDocumentController(this);
    QString error;
    if (!document->readSampleImage(path, &error)) {
        presentError(
            QStringLiteral("The sample “%1” could not be opened.").arg(QFileInfo(path).completeBaseName()),
            error);
        return nullptr;
    }
    document->setFileType(GMDocumentPackage::typeName);
    addDocument(document);
    hideWelcomeScreen();
    document->showWindows();
    return document;
}

std::shared_ptr<pf::Document> DocumentHandler::showSample(const QString& path)
{
    const QString sample = QFileInfo(path).absoluteFilePath();
    // A draft closing already (saved under a name as it closes) is no longer the sample's.
    for (const std::shared_ptr<pf::Document>& document : documents())
        if (!document->isClosing() && document->fileURL().isEmpty() && !document->sourceURL().isEmpty() &&
            QFileInfo(document->sourceURL()).absoluteFilePath() == sample) {
            hideWelcomeScreen();
            document->showWindows();
            return document;
        }
    return openSample(path);
}

void DocumentHandler::clearRecentDocuments()
{
    pf::DocumentController::clearRecentDocuments();
    if (m_welcome)
        m_welcome->setRecentItems({});
}

QList<GMWelcomeWindow::Item> DocumentHandler::recentItems() const
{
    const QVariantMap registry = GMFileUtilities::shadowCopyDictionary();
    QList<GMWelcomeWindow::Item> items;
    for (const QString& path : recentDocumentURLs()) {
        const QString key = GMDocument::shadowCopyKey(path);
        const QVariantMap entry = registry.value(registry.contains(key) ? key : path).toMap();
        // Only what this application kept edits of.
        if (entry.isEmpty())
            continue;
        const QDateTime time = entry.value(QStringLiteral("modification_time")).toDateTime().toLocalTime();
        GMWelcomeWindow::Item item;
        // The name and the date of the last save, set apart so they do not read as one; a file that
        // cannot be found says so (its edits are kept for when it is back).
        item.title =
            QFileInfo::exists(path)
                ? QStringLiteral("%1 \u2014 %2")
                      .arg(QFileInfo(path).completeBaseName(), QLocale().toString(time, QLocale::ShortFormat))
                : QStringLiteral("%1 (missing)").arg(QFileInfo(path).completeBaseName());
        const QString filename = entry.value(QStringLiteral("filename")).toString();
        if (GMFileUtilities::isShadowCopyFilename(filename))
            item.picturePath = GMFileUtilities::applicationSupportDirectory() + u'/' + filename +
                               QStringLiteral("/preview.jpg");
        item.context = path;
        item.sortTag = time;
        items.append(item);
    }
    return items;
}

QList<GMWelcomeWindow::Item> DocumentHandler::sampleItems() const
{
    QList<GMWelcomeWindow::Item> items;
    const QStringList files =
        pf::Bundle::main().pathsForResourcesOfType(QStringLiteral("jpg"), QStringLiteral("Samples"));
    double tag = 3;
    QString plain;
    for (const QString& file : files) {
        const QString name = QFileInfo(file).completeBaseName();
        if (name == QLatin1String("TestPerson")) {
            plain = file;
            continue;
        }
        if (!name.startsWith(QLatin1String("TestPerson_")))
            continue;
        items.append({QString(), file, file, tag--});
    }
    if (!plain.isEmpty())
        items.append({QString(), plain, plain, 1});
    const QVariantMap titles = [] {
        const QString path = pf::Bundle::main().pathForResource(
            QStringLiteral("Samples"), QStringLiteral("plist"), QStringLiteral("Samples"));
        QString error;
        const auto value = path.isEmpty() ? std::nullopt : pf::PropertyList::fromFile(path, &error);
        return value ? value->toMap() : QVariantMap();
    }();
    for (GMWelcomeWindow::Item& item : items) {
        const QString name = QFileInfo(item.context).completeBaseName();
        item.title = pf::localized(titles.value(name, name).toString());
    }
    return items;
}

void DocumentHandler::setupHistoryView()
{
    checkPhysicalFiles();
    // A save killed half-way leaves a hidden copy beside its package (or shadow copy), which only the
    // next open or save of that document would remove: the recent documents' go now.
    const QVariantMap registry = GMFileUtilities::shadowCopyDictionary();
    for (const QString& path : recentDocumentURLs()) {
        if (QFileInfo(path).isDir() || QFileInfo(path).suffix() == GMDocumentPackage::extension)
            GMDocumentPackage::clearLeftovers(path);
        const QString key = GMDocument::shadowCopyKey(path);
        const QString filename = registry.value(registry.contains(key) ? key : path)
                                     .toMap()
                                     .value(QStringLiteral("filename"))
                                     .toString();
        if (GMFileUtilities::isShadowCopyFilename(filename))
            GMDocumentPackage::clearLeftovers(GMFileUtilities::applicationSupportDirectory() + u'/' +
                                              filename);
    }
    if (!m_welcome)
        return;
    m_welcome->setRecentItems(recentItems());
    m_welcome->setSampleItems(sampleItems());
    m_welcome->updateLinks();
}

void DocumentHandler::showHelp()
{
    awakeFromNib();
    if (!m_welcome->showTutorial(pf::Window::keyWindow()))
        presentError(QStringLiteral("The Quick Tutorial could not be opened."),
                     QStringLiteral("Its document is missing from the application's resources."));
}

void DocumentHandler::gridViewExecuteItemWithContext(GMGridViewController*, const QVariant& item)
{
    const QString context = item.toString();
    const QStringList roots = pf::Bundle::main().resourcePaths();
    for (const QString& root : roots) {
        if (context.startsWith(QDir(root).absolutePath() + u'/')) {
            openSample(context);
            return;
        }
    }
    if (!QFileInfo::exists(context)) {
        // Renamed, moved or deleted: its kept edits wait for it at that path.
        presentError(QStringLiteral("“%1” cannot be found.").arg(QFileInfo(context).fileName()),
                     QStringLiteral("It was renamed, moved or deleted. Its kept edits are still here: put it "
                                    "back at “%1” to open it with them, or remove its picture here to delete "
                                    "them.")
                         .arg(QDir::toNativeSeparators(context)));
        return;
    }
    QString error;
    if (!openDocumentWithContentsOfURL(context, true, &error))
        presentError(QStringLiteral("“%1” could not be opened.").arg(QFileInfo(context).fileName()), error);
}

bool DocumentHandler::gridViewRemoveItemWithContext(GMGridViewController*, const QVariant& item)
{
    const QString context = item.toString();
    pf::Alert alert;
    alert.messageText = QStringLiteral("Remove the kept edits of “%1”?").arg(QFileInfo(context).fileName());
    alert.informativeText = QStringLiteral("The layers and masks you made for this picture are deleted and "
                                           "cannot be brought back. The picture file itself is not changed.");
    alert.addButton(QStringLiteral("Remove"));
    alert.addButton(QStringLiteral("Cancel"), pf::Alert::Role::Cancel);
    if (alert.runModal() != pf::Alert::firstButtonReturn)
        return false;
    const QVariantMap registry = GMFileUtilities::shadowCopyDictionary();
    const QString key = GMDocument::shadowCopyKey(context);
    const QString entry = registry.contains(key) ? key : context;
    removeShadowCopyWithPath(entry);
    return !GMFileUtilities::shadowCopyDictionary().contains(entry);
}

void DocumentHandler::welcomeWindowOpenLink(const QString& key)
{
    if (GMLinks::open(key) && key == QLatin1String("ProductPage"))
        OVRateUsController::userDidRate();
}

void DocumentHandler::droppedUrl(const QString& path)
{
    QString error;
    if (!openDocumentWithContentsOfURL(path, true, &error))
        presentError(QStringLiteral("“%1” could not be opened.").arg(QFileInfo(path).fileName()), error);
}

void DocumentHandler::welcomeWindowDidClose()
{
    if (documents().empty() && m_nothingLeft && !m_quitting)
        pf::Timer::afterThisEvent(m_nothingLeft);
}

void DocumentHandler::removeDocument(pf::Document* document)
{
    pf::DocumentController::removeDocument(document);
    if (documents().empty() && m_welcome && !m_quitting)
        pf::Timer::afterThisEvent(
            [this] {
                if (documents().empty() && !m_quitting)
                    displayWelcomeScreen();
            },
            m_welcome->window());
}

void DocumentHandler::removeShadowCopyWithPath(const QString& path)
{
    GMFileUtilities::removeShadowCopyWithPath(path);
    if (!m_welcome)
        return;
    // The tile's context is the path the document was opened by, which may be a link to the registry's
    // key (or the key itself, when it was registered unresolved); a link whose picture is gone still
    // names it.
    const QString key = GMDocument::shadowCopyKey(path);
    for (const QString& context : m_welcome->itemContexts()) {
        const QFileInfo info(context);
        if (context == path || GMDocument::shadowCopyKey(context) == key ||
            (info.isSymLink() && GMDocument::shadowCopyKey(info.symLinkTarget()) == key))
            m_welcome->removeItemWithContext(context);
    }
}

QStringList DocumentHandler::openDocumentKeys() const
{
    QStringList keys;
    for (const auto& document : documents()) {
        if (!document->fileURL().isEmpty())
            keys << GMDocument::shadowCopyKey(document->fileURL())
                 << QFileInfo(document->fileURL()).absoluteFilePath();
    }
    return keys;
}

QStringList DocumentHandler::physicallyGoneShadowCopies() const
{
    const QString folder = GMFileUtilities::applicationSupportDirectory();
    if (folder.isEmpty())
        return {};
    const QVariantMap registry = GMFileUtilities::shadowCopyDictionary();
    const QStringList open = openDocumentKeys();
    QStringList gone;
    for (auto it = registry.begin(); it != registry.end(); ++it) {
        if (open.contains(it.key()))
            continue;
        // Only an entry whose copy is gone holds nothing: a copy whose picture cannot be found (renamed,
        // moved, deleted, on a volume not mounted) still holds the user's edits, which come back when the
        // picture is at its path again. Only the retention rules or the user remove it, each asking.
        const QString filename = it.value().toMap().value(QStringLiteral("filename")).toString();
        if (!GMFileUtilities::isShadowCopyFilename(filename)) {
            gone.append(it.key());
            continue;
        }
        // A save killed between moving the copy aside and moving its new one in leaves the copy beside
        // its place: it is put back (and the killed save's leftovers go) before the copy counts as gone.
        const QString copy = folder + u'/' + filename;
        if (!QFileInfo::exists(copy))
            GMDocumentPackage::clearLeftovers(copy);
        if (!QFileInfo::exists(copy))
            gone.append(it.key());
    }
    return gone;
}

void DocumentHandler::checkPhysicalFiles()
{
    for (const QString& path : physicallyGoneShadowCopies())
        removeShadowCopyWithPath(path);
}

void DocumentHandler::setShadowKeepSpan(int index)
{
    m_shadowKeepSpan = clampedIndex(index);
    pf::UserDefaults::standard().setInteger(keepSpanKey, m_shadowKeepSpan);
    checkShadowKeepSpan();
}

void DocumentHandler::setShadowKeepCount(int index)
{
    m_shadowKeepCount = clampedIndex(index);
    pf::UserDefaults::standard().setInteger(keepCountKey, m_shadowKeepCount);
    checkShadowKeepCount();
}

QStringList DocumentHandler::shadowCopiesExpired(int index, const QDateTime& now,
                                                 const QStringList& skip) const
{
    const qint64 span = keepSpans[clampedIndex(index)];
    if (span < 0)
        return {};
    const QVariantMap registry = GMFileUtilities::shadowCopyDictionary();
    const QStringList open = openDocumentKeys();
    QStringList expired;
    for (auto it = registry.begin(); it != registry.end(); ++it) {
        const QVariantMap entry = it.value().toMap();
        if (entry.value(QStringLiteral("pinned")).toBool() || open.contains(it.key()) ||
            skip.contains(it.key()))
            continue;
        if (entry.value(QStringLiteral("modification_time")).toDateTime().addSecs(span) < now)
            expired.append(it.key());
    }
    return expired;
}

QStringList DocumentHandler::shadowCopiesBeyondCount(int index, const QStringList& skip) const
{
    const qint64 count = keepCounts[clampedIndex(index)];
    if (count < 0)
        return {};
    const QVariantMap registry = GMFileUtilities::shadowCopyDictionary();
    const QStringList open = openDocumentKeys();
    struct Candidate
    {
        QString path;
        QDateTime time;
    };
    std::vector<Candidate> candidates;
    qint64 kept = 0;
    for (auto it = registry.begin(); it != registry.end(); ++it) {
        const QVariantMap entry = it.value().toMap();
        if (entry.value(QStringLiteral("pinned")).toBool() || skip.contains(it.key()))
            continue;
        ++kept;
        if (!open.contains(it.key()))
            candidates.push_back({it.key(), entry.value(QStringLiteral("modification_time")).toDateTime()});
    }
    // The oldest go first; open documents count but stay.
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.time < b.time; });
    QStringList beyond;
    for (const Candidate& candidate : candidates) {
        if (kept <= count)
            break;
        beyond.append(candidate.path);
        --kept;
    }
    return beyond;
}

QStringList DocumentHandler::shadowCopiesPurgedBySpan(int index, const QDateTime& now) const
{
    if (keepSpans[clampedIndex(index)] < 0)
        return {};
    const QStringList gone = physicallyGoneShadowCopies();
    return gone + shadowCopiesExpired(index, now, gone);
}

QStringList DocumentHandler::shadowCopiesPurgedByCount(int index) const
{
    if (keepCounts[clampedIndex(index)] < 0)
        return {};
    const QStringList gone = physicallyGoneShadowCopies();
    return gone + shadowCopiesBeyondCount(index, gone);
}

void DocumentHandler::checkShadowKeepSpan(const QDateTime& now)
{
    if (keepSpans[m_shadowKeepSpan] < 0)
        return;
    checkPhysicalFiles();
    for (const QString& path : shadowCopiesExpired(m_shadowKeepSpan, now, {}))
        removeShadowCopyWithPath(path);
}

void DocumentHandler::checkShadowKeepCount()
{
    if (keepCounts[m_shadowKeepCount] < 0)
        return;
    checkPhysicalFiles();
    for (const QString& path : shadowCopiesBeyondCount(m_shadowKeepCount, {}))
        removeShadowCopyWithPath(path);
}
