#include "Classes/Frames/OVFrameCatalog.h"

#include "Classes/Frames/OVTextureCatalog.h"
#include "Classes/Framework/BundleORVExtension.h"
#include "Classes/Framework/StringORVExtension.h"
#include "Classes/Framework/Toolkit/OVLocalizeHelper.h"
#include "Classes/Framework/Toolkit/UndoManagerORVExtension.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/Timer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QTimer>
#include <algorithm>

namespace {

const double SaveDelay = 30.0;

void sortByDisplayText(QStringList& entries)
{
    std::stable_sort(entries.begin(), entries.end(), [](const QString& a, const QString& b) {
        return OVLocalizeHelper::localizedString(a) < OVLocalizeHelper::localizedString(b);
    });
}

// The files of a folder of the frames bundle, sorted by name so that the first match is the same on
// every machine.
QStringList filesIn(const QString& folder, const QStringList& filters = {})
{
    const QDir dir(QDir(OVFrameCatalog::framesBundlePath()).filePath(folder));
    QStringList paths;
    for (const QString& entry : dir.entryList(filters, QDir::Files, QDir::Name))
        paths << dir.filePath(entry);
    return paths;
}

} // namespace

OVFrameCatalog::OVFrameCatalog(const QString& bundlePath, const QString& infoFileURL)
    : m_infoFileURL(infoFileURL), m_bundlePath(bundlePath), m_quitContext(std::make_unique<QObject>())
{
    if (QCoreApplication* app = QCoreApplication::instance())
        QObject::connect(app, &QCoreApplication::aboutToQuit, m_quitContext.get(),
                         [this] { applicationWillQuit(); });
    load();
}

OVFrameCatalog::~OVFrameCatalog()
{
    if (m_saveTimer)
        m_saveTimer->invalidate();
    if (m_undoManager)
        m_undoManager->removeAllActionsWithTarget(this);
}

QString OVFrameCatalog::framesBundlePath()
{
    return pf::Bundle::main().pathForResource(QStringLiteral("Frames"), QStringLiteral("bundle"));
}

QString OVFrameCatalog::userFramesPath()
{
    return QDir(pf::FileSystem::applicationSupportDirectory()).filePath(QStringLiteral("UserFrames.plist"));
}

OVFrameCatalog& OVFrameCatalog::sharedFrameCatalog()
{
    // Lives for the whole process: its frames' release timers must not outlive the clock at exit.
    static OVFrameCatalog* catalog = new OVFrameCatalog(framesBundlePath(), QString());
    return *catalog;
}

OVFrameCatalog& OVFrameCatalog::sharedUserFrameCatalog()
{
    static OVFrameCatalog* catalog = [] {
        auto* user = new OVFrameCatalog(framesBundlePath(), userFramesPath());
        user->setPeerCatalog(&sharedFrameCatalog());
        return user;
    }();
    return *catalog;
}

void OVFrameCatalog::load()
{
    QString path = m_infoFileURL;
    if (path.isEmpty())
        path = QDir(m_bundlePath).filePath(QStringLiteral("Info.plist"));
    QVariantMap frames;
    const QFileInfo info(path);
    if (info.isDir() && editable()) {
        // Nothing could ever be saved there: the frames made now would be lost at quit, unsaid.
        pf::warning(QStringLiteral("Could not read the frames of '%1': it is a folder").arg(path));
        keepUnreadFile(QStringLiteral("it is a folder, not a file"));
    } else if (info.exists() && !info.isDir()) {
        QString error;
        const auto list = pf::PropertyList::fromFile(path, &error);
        if (list && list->metaType() != QMetaType::fromType<QVariantMap>())
            error = QStringLiteral("it holds no dictionary of frames");
        if (!list || !error.isEmpty()) {
            pf::warning(QStringLiteral("Could not read the frames of '%1': %2").arg(path, error));
            if (editable())
                keepUnreadFile(error);
        } else {
            frames = list->toMap();
        }
    }
    // An entry that is no frame's dictionary is no frame: shown, it would be a nameless one, and the next
    // save would write it over. The frames that read load; the file as it was is kept beside.
    QStringList notFrames;
    for (auto it = frames.begin(); it != frames.end();) {
        if (it.value().metaType() == QMetaType::fromType<QVariantMap>()) {
            ++it;
            continue;
        }
        notFrames.append(it.key());
        it = frames.erase(it);
    }
    if (!notFrames.isEmpty()) {
        const QString error =
            QStringLiteral("its entries %1 are no frames").arg(notFrames.join(QStringLiteral(", ")));
        pf::warning(QStringLiteral("Could not read all the frames of '%1': %2").arg(path, error));
        if (editable())
            keepUnreadFile(error, true);
    }
    for (auto it = frames.cbegin(); it != frames.cend(); ++it) {
        const QVariantMap dictionary = it.value().toMap();
        auto frame = std::make_shared<OVFrameDescription>(dictionary, m_bundlePath, editable());
        QString name;
        if (editable())
            name = pf::localized(dictionary.value(QStringLiteral("Name")).toString());
        else if (dictionary.contains(QStringLiteral("Name")))
            name = dictionary.value(QStringLiteral("Name")).toString();
        else
            name = pf::localized(it.key());
        frame->setName(name);
        OVLocalizeHelper::setLocalizedString(name, it.key());
        m_frameDescriptions.insert(it.key(), frame);
        m_frameIDForName.insert(name, it.key());
        observeFrame(it.key(), frame);
    }
    m_frameIDs = frames.keys();
    const QString mainResources = QDir(pf::Bundle::main().resourcePath()).absolutePath() + QLatin1Char('/');
    if (m_infoFileURL.isEmpty() || QFileInfo(m_infoFileURL).absoluteFilePath().startsWith(mainResources))
        m_frameIDs << QStringLiteral("Leather -") << QStringLiteral("Metal -") << QStringLiteral("Paper -")
                   << QStringLiteral("Wood -");
    sortFrameNames();
}

QString OVFrameCatalog::keepUnreadFile(const QString& error, bool partly)
{
    QString kept = m_infoFileURL + QStringLiteral(".damaged");
    for (int number = 2; QFileInfo::exists(kept) || QFileInfo(kept).isSymLink(); ++number)
        kept = m_infoFileURL + QStringLiteral(".damaged-%1").arg(number);
    const QFileInfo file(m_infoFileURL);
    // A file partly read is copied (its readable frames are saved anew in its place), else keptAside.
    const bool keptAside = (file.isFile() || (file.isDir() && !partly)) && !file.isSymLink() &&
                           (partly ? QFile::copy(m_infoFileURL, kept) : QFile::rename(m_infoFileURL, kept));
    m_unreadFileStays = !keptAside;
    if (keptAside)
        pf::warning(QStringLiteral("The user frames file '%1' is kept as '%2'").arg(m_infoFileURL, kept));
    pf::Alert alert;
    alert.messageText = partly ? QStringLiteral("Some of your picture frames could not be read.")
                               : QStringLiteral("Your picture frames could not be read.");
    alert.informativeText =
        keptAside && partly
            ? QStringLiteral(
                  "The file that holds them (%1) is damaged: %2. A copy of it as it was is kept as "
                  "“%3”, so that these can still be repaired; your other frames are here as before.")
                  .arg(QDir::toNativeSeparators(m_infoFileURL), error, QFileInfo(kept).fileName())
        : keptAside
            ? QStringLiteral(
                  "The file that holds them (%1) is damaged: %2. It is kept as “%3”, so that it can "
                  "still be repaired; the frames you make from now on go into a new file.")
                  .arg(QDir::toNativeSeparators(m_infoFileURL), error, QFileInfo(kept).fileName())
            : QStringLiteral("The file that holds them (%1) is damaged: %2. It is left as it is, so that it "
                             "can still be repaired; until it is, the frames you make are not saved.")
                  .arg(QDir::toNativeSeparators(m_infoFileURL), error);
    alert.addButton(QStringLiteral("OK"));
    // The catalog is made where a frame is first needed: told once the event loop turns.
    QTimer::singleShot(0, m_quitContext.get(), [alert] { alert.runModal(); });
    return keptAside ? kept : QString();
}

void OVFrameCatalog::observeFrame(const QString& frameID, const OVFrameDescriptionPtr& frame)
{
    m_frameObservers[frameID] = pf::NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("FrameChanged"), frame.get(),
        [this](const pf::Notification&) { saveCatalogInstantly(false); });
}

void OVFrameCatalog::post(const QString& name, const QVariantMap& userInfo)
{
    pf::NotificationCenter::defaultCenter().post(name, this, userInfo);
}

void OVFrameCatalog::registerUndo(const QString& selector, std::function<void()> action)
{
    if (!m_undoManager)
        return;
    std::weak_ptr<const void> alive = m_alive;
    UndoManagerORVExtension::registerUndoWithTarget(*m_undoManager, this, selector, [alive, action] {
        if (!alive.expired())
            action();
    });
}

void OVFrameCatalog::setUndoManager(pf::UndoManager* manager)
{
    if (m_undoManager && m_undoManager != manager)
        m_undoManager->removeAllActionsWithTarget(this);
    m_undoManager = manager;
}

void OVFrameCatalog::sortFrameNames()
{
    sortByDisplayText(m_frameIDs);
}

OVFrameDescriptionPtr OVFrameCatalog::frameWithName(const QString& name) const
{
    if (auto frame = m_frameDescriptions.value(name))
        return frame;
    const QString frameID = m_frameIDForName.value(name);
    return frameID.isEmpty() ? nullptr : m_frameDescriptions.value(frameID);
}

void OVFrameCatalog::addFrame(const OVFrameDescriptionPtr& frame, const QString& frameID)
{
    if (!frame || frameID.isEmpty())
        return;
    registerUndo(QStringLiteral("removeFrameName:"), [this, frameID] { removeFrameName(frameID); });
    frame->setUndoManager(m_undoManager);
    OVLocalizeHelper::setLocalizedString(frame->name(), frameID);
    m_frameDescriptions.insert(frameID, frame);
    m_frameIDForName.insert(frame->name(), frameID);
    if (!m_frameIDs.contains(frameID))
        m_frameIDs.append(frameID);
    sortFrameNames();
    post(QStringLiteral("OVFrameCatalogChanged"));
    post(QStringLiteral("OVFrameAdded"));
    observeFrame(frameID, frame);
    // The file must learn of the new frame even when it is never edited.
    saveCatalogInstantly(false);
}

QString OVFrameCatalog::addFrame(const OVFrameDescriptionPtr& frame)
{
    const QString frameID = nextFrameID();
    addFrame(frame, frameID);
    return frameID;
}

bool OVFrameCatalog::renameFrameID(const QString& key, const QString& newName)
{
    QString frameID = key;
    OVFrameDescriptionPtr frame = m_frameDescriptions.value(frameID);
    if (!frame) {
        frameID = m_frameIDForName.value(key);
        frame = frameID.isEmpty() ? nullptr : m_frameDescriptions.value(frameID);
    }
    if (!editable() || !frame || newName.trimmed().isEmpty() || m_frameIDForName.contains(newName) ||
        (m_peer && m_peer->m_frameIDForName.contains(newName)))
        return false;
    const QString oldName = frame->name();
    m_frameIDForName.remove(oldName);
    OVLocalizeHelper::setLocalizedString(newName, frameID);
    m_frameIDForName.insert(newName, frameID);
    frame->setName(newName);
    sortFrameNames();
    registerUndo(QStringLiteral("undoRenameWithDescription:"),
                 [this, frameID, oldName] { renameFrameID(frameID, oldName); });
    post(QStringLiteral("OVFrameCatalogChanged"));
    post(QStringLiteral("OVFrameNameChanged"),
         {{QStringLiteral("Name"), newName}, {QStringLiteral("ID"), frameID}});
    saveCatalogInstantly(false);
    return true;
}

void OVFrameCatalog::removeFrameAtIndex(int index)
{
    if (!editable() || index < 0 || index >= m_frameIDs.size())
        return;
    const QString frameID = m_frameIDs[index];
    const OVFrameDescriptionPtr frame = m_frameDescriptions.value(frameID);
    if (!frame)
        return;
    registerUndo(QStringLiteral("undoRemoveFrame:"), [this, frame, frameID] { addFrame(frame, frameID); });
    m_frameObservers.erase(frameID);
    m_frameIDForName.remove(frame->name());
    m_frameDescriptions.remove(frameID);
    m_frameIDs.removeAt(index);
    post(QStringLiteral("OVFrameCatalogChanged"));
    post(QStringLiteral("OVFrameRemoved"));
    saveCatalogInstantly(false);
}

void OVFrameCatalog::removeFrameName(const QString& key)
{
    qsizetype index = m_frameIDs.indexOf(key);
    if (index < 0)
        index = m_frameIDs.indexOf(m_frameIDForName.value(key));
    if (index >= 0)
        removeFrameAtIndex(int(index));
}

void OVFrameCatalog::saveCatalogInstantly(bool now)
{
    if (m_infoFileURL.isEmpty())
        return;
    if (now) {
        saveCatalogTimed();
        return;
    }
    m_savePending = true;
    if (m_saveTimer && m_saveTimer->isValid())
        return;
    m_saveTimer = pf::Timer::scheduled(SaveDelay, false, [this](pf::Timer&) { saveCatalogTimed(); });
}

void OVFrameCatalog::saveCatalogTimed()
{
    if (m_saveTimer) {
        m_saveTimer->invalidate();
        m_saveTimer.reset();
    }
    if (m_unreadFileStays) {
        pf::warning(
            QStringLiteral("The user frames are not saved: '%1' could not be read and is left as it is")
                .arg(m_infoFileURL));
        return;
    }
    QVariantMap frames;
    for (auto it = m_frameDescriptions.cbegin(); it != m_frameDescriptions.cend(); ++it)
        frames.insert(it.key(), it.value()->saveDictionary());
    QString error;
    const auto data = pf::PropertyList::toData(frames, pf::PropertyList::Format::Xml, &error);
    if (data && QDir().mkpath(QFileInfo(m_infoFileURL).path()) &&
        pf::FileSystem::writeFileAtomically(m_infoFileURL, *data, &error)) {
        m_savePending = false;
        return;
    }
    // The frames stay in memory; the next change, the next timer or quitting tries again.
    pf::warning(QStringLiteral("Could not save the user frames to '%1': %2").arg(m_infoFileURL, error));
    m_savePending = true;
    m_saveTimer = pf::Timer::scheduled(SaveDelay, false, [this](pf::Timer&) { saveCatalogTimed(); });
}

void OVFrameCatalog::applicationWillQuit()
{
    if (m_savePending)
        saveCatalogInstantly(true);
}

OVFrameDescriptionPtr OVFrameCatalog::frameWithNameInCatalogs(const QString& name)
{
    if (auto frame = sharedUserFrameCatalog().frameWithName(name))
        return frame;
    if (auto frame = sharedFrameCatalog().frameWithName(name))
        return frame;
    return defaultFrame();
}

const OVFrameDescriptionPtr& OVFrameCatalog::defaultFrame()
{
    static const OVFrameDescriptionPtr frame = std::make_shared<OVFrameDescription>(
        QVariantMap{{QStringLiteral("Texture"), QStringLiteral("Plain Color")},
                    {QStringLiteral("Texture.Color"), QStringLiteral("1.0 1.0 1.0 1.0")}},
        framesBundlePath(), false);
    return frame;
}

QStringList OVFrameCatalog::allFrameNames()
{
    QStringList names{QStringLiteral("Plain Frame")};
    const QStringList& user = sharedUserFrameCatalog().frameIDs();
    if (!user.isEmpty())
        names << QStringLiteral("-") << user;
    names << QStringLiteral("-") << sharedFrameCatalog().frameIDs();
    return names;
}

QVariantMap OVFrameCatalog::shadeSettingsForFile(const QString& path)
{
    const OVResourceInfo info = ORVExtension::resourceInfo(path);
    const QString options = info.options().value_or(QString());
    const QStringList fields = options.isEmpty() ? QStringList() : options.split(QLatin1Char('-'));
    auto number = [&](int i, double fallback) {
        bool ok = false;
        const double value = i < fields.size() ? fields[i].toDouble(&ok) : fallback;
        return ok ? value : fallback;
    };
    QVariantMap settings{{QStringLiteral("url"), path},
                         {QStringLiteral("width"), number(0, 256.0)},
                         {QStringLiteral("corner"), number(1, 0.0)},
                         {QStringLiteral("repeat.x"), qint64(number(2, 0))},
                         {QStringLiteral("repeat.y"), qint64(number(3, 0))}};
    for (int i = 4; i < fields.size(); ++i) {
        const QString field = fields[i];
        if (field.startsWith(QLatin1Char('I')))
            settings.insert(QStringLiteral("internal"), QStringLiteral("FRM-%1#").arg(field));
        else if (field.startsWith(QLatin1Char('E')))
            settings.insert(QStringLiteral("external"), QStringLiteral("FRM-%1#").arg(field));
        // The blend mode the shade is drawn for, which a new shade of the builder starts with.
        else if (field.startsWith(QLatin1String("B#")) && field.size() > 2)
            settings.insert(QStringLiteral("blend"), field.mid(2));
    }
    return settings;
}

namespace {

struct ShadeInformation
{
    QStringList names;
    QHash<QString, QVariantMap> settings;
};

const ShadeInformation& shadeInformation()
{
    static const ShadeInformation information = [] {
        ShadeInformation result;
        for (const QString& path : filesIn(ORVExtension::directoryForResourceType(QStringLiteral("FRM-S")),
                                           {QStringLiteral("*.png")})) {
            const OVResourceInfo info = ORVExtension::resourceInfo(path);
            const QString idName = ORVExtension::resourceIDNameFor(info);
            OVTextureCatalog::registerDisplayText(idName, info.name());
            result.settings.insert(idName, OVFrameCatalog::shadeSettingsForFile(path));
            result.names << idName;
        }
        result.names << QStringLiteral("External -") << QStringLiteral("Internal -")
                     << QStringLiteral("Overlay -") << QStringLiteral("Join -");
        sortByDisplayText(result.names);
        return result;
    }();
    return information;
}

} // namespace

const QStringList& OVFrameCatalog::sharedShadeNames()
{
    return shadeInformation().names;
}

const QHash<QString, QVariantMap>& OVFrameCatalog::sharedShadeSettings()
{
    return shadeInformation().settings;
}

int OVFrameCatalog::indexOfShade(const QString& name)
{
    return int(sharedShadeNames().indexOf(name));
}

QStringList OVFrameCatalog::listForItemsOfType(const QString& resourceType)
{
    QStringList names;
    for (const QString& path : filesIn(ORVExtension::directoryForResourceType(resourceType))) {
        const OVResourceInfo info = ORVExtension::resourceInfo(path);
        const QString idName = ORVExtension::resourceIDNameFor(info);
        OVTextureCatalog::registerDisplayText(idName, info.name());
        names << idName;
    }
    names.removeDuplicates();
    sortByDisplayText(names);
    return names;
}

const QStringList& OVFrameCatalog::sharedExternalMaskNames()
{
    static const QStringList names = listForItemsOfType(QStringLiteral("FRM-E"));
    return names;
}

const QStringList& OVFrameCatalog::sharedInternalMaskNames()
{
    static const QStringList names = [] {
        QStringList list = listForItemsOfType(QStringLiteral("FRM-I"));
        const QString automatic = QStringLiteral("FRM-I#000#Internal-Auto");
        list.removeAll(automatic);
        list.prepend(automatic);
        return list;
    }();
    return names;
}

QString OVFrameCatalog::nextFrameID()
{
    pf::UserDefaults& defaults = pf::UserDefaults::standard();
    qint64 index = defaults.integerForKey(QStringLiteral("CurrentFrameIndex"));
    QString frameID;
    // A user file from elsewhere (or a reset default) may already hold the next numbers.
    do {
        ++index;
        frameID = QStringLiteral("FRM-U#%1#").arg(index, 3, 10, QLatin1Char('0'));
    } while (sharedUserFrameCatalog().frameWithName(frameID));
    defaults.setInteger(QStringLiteral("CurrentFrameIndex"), index);
    return frameID;
}
