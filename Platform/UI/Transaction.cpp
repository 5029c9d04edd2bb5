#include "Platform/UI/Transaction.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/MainThread.h"
#include "Platform/UI/Animation.h"

#include <QString>

namespace pf {

namespace {

struct Level
{
    std::optional<bool> disableActions;
    std::optional<double> duration;
    std::optional<std::optional<AnimationTimingFunction>> timingFunction;
    std::shared_ptr<Transaction::Completion> completion = std::make_shared<Transaction::Completion>();
    bool implicit = false;
};

std::vector<Level>& levels()
{
    static std::vector<Level> stack;
    return stack;
}

void fire(const std::shared_ptr<Transaction::Completion>& completion)
{
    if (completion->fired || !completion->committed || completion->pending > 0)
        return;
    completion->fired = true;
    if (completion->block)
        runOnMain([block = std::move(completion->block)] { block(); });
}

template <typename T> std::optional<T> lookUp(std::optional<T> Level::*member)
{
    const std::vector<Level>& stack = levels();
    for (auto it = stack.rbegin(); it != stack.rend(); ++it)
        if ((*it).*member)
            return (*it).*member;
    return std::nullopt;
}

void commitLevel()
{
    Level level = std::move(levels().back());
    levels().pop_back();
    level.completion->committed = true;
    fire(level.completion);
}

} // namespace

void Transaction::begin()
{
    levels().push_back(Level{});
}

void Transaction::commit()
{
    std::vector<Level>& stack = levels();
    if (stack.empty() || stack.back().implicit) {
        warning(QStringLiteral("a layer transaction was committed without having begun"));
        return;
    }
    commitLevel();
}

void Transaction::ensureOpen()
{
    if (!levels().empty())
        return;
    Level level;
    level.implicit = true;
    levels().push_back(std::move(level));
    // The implicit transaction ends when control returns to the main loop, after the code that opened it.
    runOnMain([] {
        std::vector<Level>& stack = levels();
        if (!stack.empty() && stack.front().implicit) {
            if (stack.size() > 1)
                warning(QStringLiteral(
                            "%1 layer transaction(s) still open at the end of an event; committing them")
                            .arg(stack.size() - 1));
            while (!stack.empty())
                commitLevel();
        }
    });
}

bool Transaction::disableActions()
{
    return lookUp(&Level::disableActions).value_or(false);
}

void Transaction::setDisableActions(bool disable)
{
    ensureOpen();
    levels().back().disableActions = disable;
}

double Transaction::animationDuration()
{
    return lookUp(&Level::duration).value_or(Animation::kDefaultDuration);
}

void Transaction::setAnimationDuration(double seconds)
{
    ensureOpen();
    levels().back().duration = seconds;
}

std::optional<AnimationTimingFunction> Transaction::animationTimingFunction()
{
    return lookUp(&Level::timingFunction).value_or(std::nullopt);
}

void Transaction::setAnimationTimingFunction(std::optional<AnimationTimingFunction> function)
{
    ensureOpen();
    levels().back().timingFunction = function;
}

void Transaction::setCompletionBlock(std::function<void()> block)
{
    ensureOpen();
    levels().back().completion->block = std::move(block);
}

std::vector<std::shared_ptr<Transaction::Completion>> Transaction::retainCompletions()
{
    std::vector<std::shared_ptr<Completion>> result;
    for (const Level& level : levels()) {
        ++level.completion->pending;
        result.push_back(level.completion);
    }
    return result;
}

void Transaction::release(const std::shared_ptr<Completion>& completion)
{
    if (completion->pending > 0)
        --completion->pending;
    fire(completion);
}

int Transaction::depth()
{
    return static_cast<int>(levels().size());
}

} // namespace pf
