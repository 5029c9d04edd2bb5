#pragma once

#include "Platform/UI/AnimationTimingFunction.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace pf {

// Groups changes to layers: whether they animate, for how long, with what pacing, and what runs once
// their animations are over. Transactions nest; a setting made in an inner transaction holds until it
// commits, and an unset one is looked up in the enclosing transactions. Settings made outside any
// begin()/commit() open an implicit transaction that commits on the next turn of the main loop.
// Main thread only.
class Transaction
{
public:
    // What a completion block waits for: the animations added while its transaction was open.
    struct Completion
    {
        std::function<void()> block;
        int pending = 0;
        bool committed = false;
        bool fired = false;
    };

    static void begin();
    // Ends the innermost transaction. Its completion block runs on the main loop once every animation
    // added while it was open (nested transactions included) has ended or was removed, or on the next
    // turn when there were none. A commit without a begin is reported and ignored.
    static void commit();

    static bool disableActions();
    static void setDisableActions(bool disable);
    // Seconds; Animation::kDefaultDuration when no enclosing transaction sets one.
    static double animationDuration();
    static void setAnimationDuration(double seconds);
    // Unset: linear.
    static std::optional<AnimationTimingFunction> animationTimingFunction();
    static void setAnimationTimingFunction(std::optional<AnimationTimingFunction> function);
    static void setCompletionBlock(std::function<void()> block);

    // Holds back the completion of every open transaction for one animation added now; each must be
    // release()d when that animation ends.
    static std::vector<std::shared_ptr<Completion>> retainCompletions();
    // An animation that held `completion` back has ended.
    static void release(const std::shared_ptr<Completion>& completion);

    // Number of open transactions, the implicit one included.
    static int depth();

    // Begins on construction and commits on destruction.
    class Scope
    {
    public:
        Scope() { begin(); }
        explicit Scope(bool disableActions)
        {
            begin();
            setDisableActions(disableActions);
        }
        ~Scope() { commit(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

private:
    static void ensureOpen();
};

} // namespace pf
