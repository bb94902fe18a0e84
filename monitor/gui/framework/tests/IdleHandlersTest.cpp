// The idle handlers of a thread: run in the order added, a handler that an
// earlier one removes is skipped, one added during a run waits for the next.
#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <utility>
#include <vector>

#include "IdleHandlers.h"

namespace {

enum class FirstDoes { Nothing, RemoveSecond, AddThird, RemoveItself };

struct Case {
    const char* name;
    FirstDoes firstDoes;  // in the first run only
    std::vector<int> firstRun, secondRun;
};

const Case kCases[] = {
    {"nothing else", FirstDoes::Nothing, {1, 2}, {1, 2}},
    {"removes the second", FirstDoes::RemoveSecond, {1}, {1}},
    {"adds a third", FirstDoes::AddThird, {1, 2}, {1, 2, 3}},
    {"removes itself", FirstDoes::RemoveItself, {1, 2}, {2}},
};

class Recorder : public CIdleHandler {
public:
    Recorder(int id, std::vector<int>* log) : id_(id), log_(log) {}
    void OnIdle() override
    {
        log_->push_back(id_);
        if (action)
            std::exchange(action, nullptr)();
    }
    std::function<void()> action;

private:
    int id_;
    std::vector<int>* log_;
};

TEST(IdleHandlers, EachRunTakesTheHandlersRegisteredWhenItReachesThem)
{
    for (const Case& c : kCases) {
        std::vector<int> firstRun, secondRun;
        // A thread of its own: the handlers of this one (frames of other tests) stay out.
        std::thread([&] {
            std::vector<int> log;
            Recorder first(1, &log), second(2, &log), third(3, &log);
            AddIdleHandler(&first);
            AddIdleHandler(&second);
            switch (c.firstDoes) {
            case FirstDoes::Nothing:
                break;
            case FirstDoes::RemoveSecond:
                first.action = [&] { RemoveIdleHandler(&second); };
                break;
            case FirstDoes::AddThird:
                first.action = [&] { AddIdleHandler(&third); };
                break;
            case FirstDoes::RemoveItself:
                first.action = [&] { RemoveIdleHandler(&first); };
                break;
            }
            RunIdleHandlers();
            firstRun = std::exchange(log, {});
            RunIdleHandlers();
            secondRun = log;
            for (Recorder* r : {&first, &second, &third})
                RemoveIdleHandler(r);
        }).join();
        EXPECT_EQ(firstRun, c.firstRun) << c.name;
        EXPECT_EQ(secondRun, c.secondRun) << c.name;
    }
}

}  // namespace
