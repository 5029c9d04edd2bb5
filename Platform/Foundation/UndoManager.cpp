#include "Platform/Foundation/UndoManager.h"

#include "Platform/Foundation/Assert.h"
#include "Platform/Foundation/NotificationCenter.h"

#include <QObject>
#include <utility>

namespace pf {

// A step (top-level group) or a group nested in one. An entry is either an action or a nested group.
struct UndoManager::Group
{
    struct Entry
    {
        const void* target = nullptr;
        std::function<void()> action;
        std::unique_ptr<Group> group;
    };

    QString actionName;
    std::vector<Entry> entries;

    // Moves `target`'s actions, and nested groups left empty, into `removed`. Destroying a closure can
    // run arbitrary code (which may call back into the manager), so callers destroy `removed` only
    // once they no longer walk any group.
    void removeTarget(const void* target, std::vector<Entry>& removed)
    {
        for (auto it = entries.begin(); it != entries.end();) {
            if (it->group)
                it->group->removeTarget(target, removed);
            if (it->group ? it->group->entries.empty() : it->target == target) {
                removed.push_back(std::move(*it));
                it = entries.erase(it);
            } else {
                ++it;
            }
        }
    }

    // For a group being replayed, whose entries must keep their places: empties the actions instead.
    void cancelTarget(const void* target, std::vector<Entry>& removed)
    {
        for (Entry& entry : entries) {
            if (entry.group) {
                entry.group->cancelTarget(target, removed);
            } else if (entry.target == target && entry.action) {
                removed.push_back(Entry{target, std::exchange(entry.action, nullptr), nullptr});
            }
        }
    }

    bool hasActions() const { return !entries.empty(); }
};

namespace {
// Empties a container before its old elements are destroyed, so that code run by their destructors
// sees a consistent, empty container.
template <typename Container> void discard(Container& container)
{
    Container old = std::move(container);
    container.clear();
}
} // namespace

UndoManager::UndoManager() : m_thread(std::this_thread::get_id()), m_turnContext(std::make_unique<QObject>())
{}

UndoManager::~UndoManager()
{
    checkThread();
    m_turnContext.reset();
    m_openTarget = nullptr;
    discard(m_openGroups);
    discard(m_undoStack);
    discard(m_redoStack);
}

void UndoManager::checkThread() const
{
    PF_ASSERT(std::this_thread::get_id() == m_thread,
              "UndoManager used from a thread other than the one that created it");
}

void UndoManager::post(const char* name)
{
    NotificationCenter::defaultCenter().post(QString::fromLatin1(name), this);
}

void UndoManager::registerUndo(const void* target, std::function<void()> action)
{
    checkThread();
    PF_ASSERT(action, "registerUndo() needs an action");
    if (m_disabled > 0)
        return;
    if (m_openGroups.empty()) {
        PF_ASSERT(m_groupsByEvent, "registerUndo() with no undo group open and grouping by event off");
        beginUndoGrouping();
        m_automaticGroupOpen = true;
        scheduleAutomaticClose();
    }
    if (!m_undoing && !m_redoing)
        discard(m_redoStack);
    m_openGroups.back()->entries.push_back(Group::Entry{target, std::move(action), nullptr});
}

void UndoManager::removeAllActions()
{
    checkThread();
    std::vector<std::vector<Group::Entry>> removed;
    for (auto& group : m_openGroups)
        removed.push_back(std::exchange(group->entries, {}));
    discard(m_undoStack);
    discard(m_redoStack);
}

void UndoManager::removeAllActionsWithTarget(const void* target)
{
    checkThread();
    std::vector<Group::Entry> removed;
    std::vector<std::unique_ptr<Group>> emptied;
    for (Stack* stack : {&m_undoStack, &m_redoStack}) {
        for (auto it = stack->begin(); it != stack->end();) {
            (*it)->removeTarget(target, removed);
            if ((*it)->hasActions()) {
                ++it;
            } else {
                emptied.push_back(std::move(*it));
                it = stack->erase(it);
            }
        }
    }
    for (auto& group : m_openGroups)
        group->removeTarget(target, removed);
    for (Group* group : m_performing)
        group->cancelTarget(target, removed);
}

void UndoManager::beginUndoGrouping()
{
    checkThread();
    if (m_openGroups.empty())
        m_openTarget = m_undoing ? &m_redoStack : &m_undoStack;
    m_openGroups.push_back(std::make_unique<Group>());
    post(CheckpointNotification);
    post(DidOpenUndoGroupNotification);
}

void UndoManager::endUndoGrouping()
{
    checkThread();
    PF_ASSERT(!m_openGroups.empty(), "endUndoGrouping() with no undo group open");
    std::unique_ptr<Group> group = std::move(m_openGroups.back());
    m_openGroups.pop_back();

    if (!m_openGroups.empty()) {
        if (group->hasActions())
            m_openGroups.back()->entries.push_back(Group::Entry{nullptr, nullptr, std::move(group)});
        // The end of the turn may have passed while this inner group was open.
        if (m_automaticGroupOpen && m_openGroups.size() == 1)
            scheduleAutomaticClose();
        post(CheckpointNotification);
        return;
    }

    m_automaticGroupOpen = false;
    Stack* target = std::exchange(m_openTarget, nullptr);
    const bool pushed = group->hasActions();
    if (pushed)
        push(*target, std::move(group));
    post(CheckpointNotification);
    if (pushed)
        post(DidCloseUndoGroupNotification);
}

int UndoManager::groupingLevel() const
{
    checkThread();
    return static_cast<int>(m_openGroups.size());
}

bool UndoManager::groupsByEvent() const
{
    checkThread();
    return m_groupsByEvent;
}

void UndoManager::setGroupsByEvent(bool groupsByEvent)
{
    checkThread();
    m_groupsByEvent = groupsByEvent;
}

int UndoManager::levelsOfUndo() const
{
    checkThread();
    return m_levels;
}

void UndoManager::setLevelsOfUndo(int levels)
{
    checkThread();
    PF_ASSERT(levels >= 0, "setLevelsOfUndo() needs a count of 0 (unlimited) or more");
    m_levels = levels;
    trim(m_undoStack);
    trim(m_redoStack);
}

void UndoManager::push(Stack& stack, std::unique_ptr<Group> group)
{
    stack.push_back(std::move(group));
    trim(stack);
}

void UndoManager::trim(Stack& stack) const
{
    while (m_levels > 0 && stack.size() > static_cast<std::size_t>(m_levels)) {
        std::unique_ptr<Group> oldest = std::move(stack.front());
        stack.pop_front();
    }
}

void UndoManager::disableUndoRegistration()
{
    checkThread();
    ++m_disabled;
}

void UndoManager::enableUndoRegistration()
{
    checkThread();
    PF_ASSERT(m_disabled > 0, "enableUndoRegistration() without a matching disableUndoRegistration()");
    --m_disabled;
}

bool UndoManager::isUndoRegistrationEnabled() const
{
    checkThread();
    return m_disabled == 0;
}

bool UndoManager::openGroupsHaveActions() const
{
    for (const auto& group : m_openGroups) {
        if (group->hasActions())
            return true;
    }
    return false;
}

bool UndoManager::canUndo() const
{
    checkThread();
    return !m_undoStack.empty() || (m_openTarget == &m_undoStack && openGroupsHaveActions());
}

bool UndoManager::canRedo() const
{
    checkThread();
    return !m_redoStack.empty();
}

bool UndoManager::isUndoing() const
{
    checkThread();
    return m_undoing;
}

bool UndoManager::isRedoing() const
{
    checkThread();
    return m_redoing;
}

void UndoManager::undo()
{
    replay(m_undoStack, true);
}

void UndoManager::redo()
{
    replay(m_redoStack, false);
}

// Runs the most recent step of `from` with a group open on the opposite stack, which collects the
// inverse actions the step registers while it runs. A group left open by the event loop turn is
// closed first, as the user's step ends where the undo begins.
void UndoManager::replay(Stack& from, bool undoing)
{
    checkThread();
    PF_ASSERT(!m_undoing && !m_redoing,
              undoing ? "undo() called while undoing or redoing" : "redo() called while undoing or redoing");
    if (m_groupsByEvent && m_openGroups.size() == 1)
        endUndoGrouping();
    PF_ASSERT(m_openGroups.empty(),
              undoing ? "undo() called with an undo group open" : "redo() called with an undo group open");
    if (from.empty())
        return;
    post(undoing ? WillUndoChangeNotification : WillRedoChangeNotification);
    if (from.empty())
        return;
    std::unique_ptr<Group> step = std::move(from.back());
    from.pop_back();

    bool& flag = undoing ? m_undoing : m_redoing;
    flag = true;
    beginUndoGrouping();
    m_openGroups.front()->actionName = step->actionName;
    m_performing.push_back(step.get());
    perform(*step);
    m_performing.pop_back();
    PF_ASSERT(m_openGroups.size() == 1, "an undo action left an undo group open or closed one too many");
    endUndoGrouping();
    flag = false;
    post(undoing ? DidUndoChangeNotification : DidRedoChangeNotification);
}

void UndoManager::perform(Group& group)
{
    // Entries keep their places while a group runs (removal only empties actions), so indices hold.
    for (std::size_t i = group.entries.size(); i-- > 0;) {
        Group::Entry& entry = group.entries[i];
        if (entry.group) {
            perform(*entry.group);
        } else if (entry.action) {
            // Taken out first: the action may remove its own target's actions while it runs.
            const std::function<void()> action = std::exchange(entry.action, nullptr);
            action();
        }
    }
}

void UndoManager::scheduleAutomaticClose()
{
    if (m_closePending)
        return;
    m_closePending = true;
    QMetaObject::invokeMethod(
        m_turnContext.get(), [this] { closeAutomaticGroup(); }, Qt::QueuedConnection);
}

void UndoManager::closeAutomaticGroup()
{
    m_closePending = false;
    // With inner groups still open, endUndoGrouping() reschedules when they close.
    if (m_automaticGroupOpen && m_openGroups.size() == 1)
        endUndoGrouping();
}

void UndoManager::setActionName(const QString& name)
{
    checkThread();
    if (m_disabled > 0)
        return;
    if (!m_openGroups.empty())
        m_openGroups.front()->actionName = name;
    else if (!m_undoStack.empty())
        m_undoStack.back()->actionName = name;
}

QString UndoManager::undoActionName() const
{
    checkThread();
    if (m_openTarget == &m_undoStack && openGroupsHaveActions())
        return m_openGroups.front()->actionName;
    return m_undoStack.empty() ? QString() : m_undoStack.back()->actionName;
}

QString UndoManager::redoActionName() const
{
    checkThread();
    return m_redoStack.empty() ? QString() : m_redoStack.back()->actionName;
}

QString UndoManager::openGroupActionName() const
{
    checkThread();
    return m_openGroups.empty() ? QString() : m_openGroups.front()->actionName;
}

QString UndoManager::undoMenuItemTitle() const
{
    const QString name = undoActionName();
    return name.isEmpty() ? QStringLiteral("Undo") : QStringLiteral("Undo ") + name;
}

QString UndoManager::redoMenuItemTitle() const
{
    const QString name = redoActionName();
    return name.isEmpty() ? QStringLiteral("Redo") : QStringLiteral("Redo ") + name;
}

} // namespace pf
