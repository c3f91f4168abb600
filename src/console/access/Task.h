#pragma once

// moc cannot read the standard coroutine header; it needs nothing of it.
#ifndef Q_MOC_RUN
#include <coroutine>
#include <exception>
#include <optional>
#include <utility>
#endif

namespace hlv {

// A step of the window's work that may wait for a print server's answer: a coroutine that
// starts at once, runs on the window's thread up to its first wait (co_await of the worker's
// answer, or of another Task) and goes on from there when the answer comes, back in the
// window's event loop. No event loop is nested for the wait.
//
// A caller that needs the outcome awaits the Task; a caller that does not (a menu handler,
// a tick) lets it go with detach(), and the step frees itself when it ends. A Task that is
// still running is never destroyed by its owner going away: the worker resumes every wait
// it holds, answered or not, before it closes, so every step runs to its end.
//
// GCC 12 destroys a lambda written inside a co_await expression twice: name the lambda
// first, and await a call that takes the name.
template <typename T> class [[nodiscard]] Task;

namespace detail {

struct TaskPromiseBase
{
    std::coroutine_handle<> continuation; // the step awaiting this one
    bool detached = false;                // nobody holds the Task any more
    bool done = false;

    std::suspend_never initial_suspend() noexcept { return {}; }
    void unhandled_exception() noexcept { std::terminate(); }

    template <typename Promise> struct FinalAwaiter
    {
        bool await_ready() noexcept { return false; }
        std::coroutine_handle<> await_suspend(std::coroutine_handle<Promise> self) noexcept
        {
            TaskPromiseBase& p = self.promise();
            p.done = true;
            if (p.continuation) {
                return p.continuation;
            }
            if (p.detached) {
                self.destroy();
            }
            return std::noop_coroutine();
        }
        void await_resume() noexcept {}
    };
};

template <typename Promise> class TaskBase
{
public:
    TaskBase(TaskBase&& other) noexcept
        : m_handle(std::exchange(other.m_handle, {}))
    {}
    TaskBase& operator=(TaskBase&& other) noexcept
    {
        if (this != &other) {
            release();
            m_handle = std::exchange(other.m_handle, {});
        }
        return *this;
    }
    TaskBase(const TaskBase&) = delete;
    TaskBase& operator=(const TaskBase&) = delete;
    ~TaskBase() { release(); }

    // True once the step has run to its end.
    bool done() const { return !m_handle || m_handle.promise().done; }
    // Lets the step run on without its outcome; it frees itself when it ends.
    void detach() && { release(); }

    bool await_ready() const noexcept { return done(); }
    void await_suspend(std::coroutine_handle<> awaiting) noexcept { m_handle.promise().continuation = awaiting; }

protected:
    explicit TaskBase(std::coroutine_handle<Promise> handle)
        : m_handle(handle)
    {}

    std::coroutine_handle<Promise> m_handle;

private:
    void release()
    {
        if (!m_handle) {
            return;
        }
        if (m_handle.promise().done) {
            m_handle.destroy();
        } else {
            m_handle.promise().detached = true;
        }
        m_handle = {};
    }
};

} // namespace detail

template <typename T> struct TaskPromise;

template <typename T> class [[nodiscard]] Task : public detail::TaskBase<TaskPromise<T>>
{
public:
    using promise_type = TaskPromise<T>;

    // The outcome of a step that has ended.
    T result() const& { return *this->m_handle.promise().value; }
    T await_resume() { return std::move(*this->m_handle.promise().value); }

private:
    friend struct TaskPromise<T>;
    explicit Task(std::coroutine_handle<promise_type> handle)
        : detail::TaskBase<promise_type>(handle)
    {}
};

template <> class [[nodiscard]] Task<void> : public detail::TaskBase<TaskPromise<void>>
{
public:
    using promise_type = TaskPromise<void>;

    void await_resume() noexcept {}

private:
    friend struct TaskPromise<void>;
    explicit Task(std::coroutine_handle<promise_type> handle)
        : detail::TaskBase<promise_type>(handle)
    {}
};

template <typename T> struct TaskPromise : detail::TaskPromiseBase
{
    std::optional<T> value;
    Task<T> get_return_object() { return Task<T>(std::coroutine_handle<TaskPromise>::from_promise(*this)); }
    template <typename U> void return_value(U&& v) { value.emplace(std::forward<U>(v)); }
    FinalAwaiter<TaskPromise> final_suspend() noexcept { return {}; }
};

template <> struct TaskPromise<void> : detail::TaskPromiseBase
{
    Task<void> get_return_object() { return Task<void>(std::coroutine_handle<TaskPromise>::from_promise(*this)); }
    void return_void() noexcept {}
    FinalAwaiter<TaskPromise> final_suspend() noexcept { return {}; }
};

// A step whose outcome nobody waits for (a handler run by a signal or a tick).
template <typename T> void detach(Task<T>&& task)
{
    std::move(task).detach();
}

} // namespace hlv
