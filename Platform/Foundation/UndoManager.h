#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class QObject;

namespace pf {

// Records how to reverse changes, as closures grouped into user-visible steps, and replays them.
//
// Every registration lands in the innermost open group. Undoing a step runs its closures in reverse
// order with a group open on the redo stack, so a closure that registers its own inverse makes the
// step redoable; redoing does the same towards the undo stack. A registration made outside undo and
// redo clears the redo stack.
//
// Grouping by event-loop turn (on by default): a registration made with no group open opens one,
// which is closed once control returns to the Qt event loop. The close is a queued call on the
// manager's thread, so it runs after the code currently running and after the events already queued
// at that moment. Only that automatically opened group is closed there: a group opened with
// beginUndoGrouping() stays open across turns (a drag can be one step) until its end call.
//
// Notifications go through NotificationCenter::defaultCenter() with the manager as sender.
// Belongs to the thread that created it (the main thread in the application); every call checks it.
class UndoManager
{
public:
    static constexpr const char CheckpointNotification[] = "UndoManagerCheckpoint";
    static constexpr const char DidOpenUndoGroupNotification[] = "UndoManagerDidOpenUndoGroup";
    // Posted when a top-level group holding actions is closed (while isUndoing() or isRedoing() is
    // still true for the group built by undo() or redo()).
    static constexpr const char DidCloseUndoGroupNotification[] = "UndoManagerDidCloseUndoGroup";
    static constexpr const char WillUndoChangeNotification[] = "UndoManagerWillUndoChange";
    static constexpr const char DidUndoChangeNotification[] = "UndoManagerDidUndoChange";
    static constexpr const char WillRedoChangeNotification[] = "UndoManagerWillRedoChange";
    static constexpr const char DidRedoChangeNotification[] = "UndoManagerDidRedoChange";

    UndoManager();
    ~UndoManager();
    UndoManager(const UndoManager&) = delete;
    UndoManager& operator=(const UndoManager&) = delete;

    // Records `action` in the innermost open group. Ignored while registration is disabled.
    void registerUndo(const void* target, std::function<void()> action);

    // Clears both stacks and empties the open groups (which stay open).
    void removeAllActions();
    // Removes every action of `target` from both stacks and from the open groups; groups left empty
    // disappear. Actions of `target` still waiting to run in a step being undone or redone are skipped,
    // so an object may call this from its destructor while an undo is destroying it.
    void removeAllActionsWithTarget(const void* target);

    void beginUndoGrouping();
    void endUndoGrouping();
    int groupingLevel() const;
    bool groupsByEvent() const;
    void setGroupsByEvent(bool groupsByEvent);

    // 0 means unlimited. The oldest steps beyond the limit are dropped from both stacks.
    int levelsOfUndo() const;
    void setLevelsOfUndo(int levels);

    void disableUndoRegistration();
    void enableUndoRegistration();
    bool isUndoRegistrationEnabled() const;

    bool canUndo() const;
    bool canRedo() const;
    bool isUndoing() const;
    bool isRedoing() const;

    // With grouping by event, first closes a group open at level 1. Any other open group is a
    // programmer error, as is calling these from inside an undo or redo. Nothing to do: no effect.
    void undo();
    void redo();

    // Names the open top-level group, or, when none is open, the most recent step on the undo stack.
    // The group built while undoing or redoing starts with the name of the step being replayed.
    // Ignored while registration is disabled, since nothing being recorded can be named then.
    void setActionName(const QString& name);
    QString undoActionName() const;
    QString redoActionName() const;
    // The name of the top-level group being built now (by registrations, or by undo() and redo(), whose
    // group starts with the replayed step's name); empty when no group is open.
    QString openGroupActionName() const;
    QString undoMenuItemTitle() const;
    QString redoMenuItemTitle() const;

    // Expires when the manager is destroyed, for those that hold it without owning it.
    std::weak_ptr<const void> lifetime() const { return m_lifetime; }

private:
    std::shared_ptr<const void> m_lifetime = std::make_shared<int>(0);
    struct Group;
    using Stack = std::deque<std::unique_ptr<Group>>;

    void checkThread() const;
    void replay(Stack& from, bool undoing);
    void perform(Group& group);
    void push(Stack& stack, std::unique_ptr<Group> group);
    void trim(Stack& stack) const;
    void scheduleAutomaticClose();
    void closeAutomaticGroup();
    bool openGroupsHaveActions() const;
    void post(const char* name);

    std::thread::id m_thread;
    Stack m_undoStack;
    Stack m_redoStack;
    // Innermost last. The top-level one goes to m_openTarget when closed.
    std::vector<std::unique_ptr<Group>> m_openGroups;
    Stack* m_openTarget = nullptr;
    // Steps being undone or redone (outermost first), so removeAllActionsWithTarget can reach them.
    std::vector<Group*> m_performing;
    bool m_undoing = false;
    bool m_redoing = false;
    bool m_groupsByEvent = true;
    bool m_automaticGroupOpen = false;
    bool m_closePending = false;
    int m_levels = 0;
    int m_disabled = 0;
    // Receives the queued end-of-turn close; destroying it cancels a close not yet delivered.
    std::unique_ptr<QObject> m_turnContext;
};

} // namespace pf
