#pragma once
// A job: a list of steps run one after another. Each step returns how many milliseconds to wait
// before the next one, so whoever runs the job decides how to wait: the agent's window thread
// with a timer (its message loop keeps running), a tool or a test by sleeping or by noting it.
#include <deque>
#include <functional>
#include <utility>

namespace qelt {

class Job {
public:
    using Step = std::function<unsigned()>;

    Job& Then(Step step)
    {
        m_steps.push_back(std::move(step));
        return *this;
    }
    Job& Then(Job&& other)
    {
        for (Step& step : other.m_steps)
            m_steps.push_back(std::move(step));
        other.m_steps.clear();
        return *this;
    }
    // Puts other's steps before the remaining ones (a step may do this while it runs).
    void Prepend(Job&& other)
    {
        m_steps.insert(m_steps.begin(), std::make_move_iterator(other.m_steps.begin()),
                       std::make_move_iterator(other.m_steps.end()));
        other.m_steps.clear();
    }
    bool Done() const { return m_steps.empty(); }
    void Clear() { m_steps.clear(); }

    // Runs the next step; returns the pause it asks for before the one after it.
    unsigned RunNext()
    {
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        return step();
    }

    // Runs every step on the calling thread; pause(ms) is called for each pause above zero.
    template <typename PauseFn>
    void RunToEnd(PauseFn&& pause)
    {
        while (!Done()) {
            if (const unsigned ms = RunNext())
                pause(ms);
        }
    }

private:
    std::deque<Step> m_steps;
};

} // namespace qelt
