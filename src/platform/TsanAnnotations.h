#pragma once

// ThreadSanitizer sees the locks of our own code and of the C library, but not those inside
// Qt (not instrumented; its mutexes wait on futexes directly). Where our code hands data to
// another thread through Qt (a queued event, a thread's start or end), the two sides say so
// here on an address both know, so that TSan counts what came before the hand-off as done
// before what comes after it. In a build without TSan these are nothing.

#if defined(__SANITIZE_THREAD__)
#define HLV_TSAN_ENABLED 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define HLV_TSAN_ENABLED 1
#endif
#endif

#include <type_traits>
#include <utility>

#if defined(HLV_TSAN_ENABLED)
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

namespace hlv::tsan {

// The sending side: everything this thread did so far is handed on with `addr`.
inline void release(const void* addr)
{
#if defined(HLV_TSAN_ENABLED)
    __tsan_release(const_cast<void*>(addr));
#else
    static_cast<void>(addr);
#endif
}

// The receiving side: what the sender did before its release on `addr` is seen as done.
inline void acquire(const void* addr)
{
#if defined(HLV_TSAN_ENABLED)
    __tsan_acquire(const_cast<void*>(addr));
#else
    static_cast<void>(addr);
#endif
}

// A function given to an object of another thread as a queued call
// (QMetaObject::invokeMethod(object, handedOver(f), Qt::QueuedConnection) and the like). Qt
// posts it, runs it on the object's thread, and frees it on whichever thread lets go of it
// last, all under locks TSan does not see. The function says so itself, on its own address:
// what its thread did up to its making comes before its run, and its run before its end
// (a caller that waits for the run, as a blocking call does, reads what it wrote after that).
template <class F> class HandedOver
{
public:
    explicit HandedOver(F f)
        : m_f(std::move(f))
    {
        release(this);
    }
    HandedOver(HandedOver&& other) noexcept(std::is_nothrow_move_constructible_v<F>)
        : m_f((acquire(&other), std::move(other.m_f)))
    {
        release(this);
    }
    HandedOver(const HandedOver&) = delete;
    HandedOver& operator=(const HandedOver&) = delete;
    HandedOver& operator=(HandedOver&&) = delete;
    ~HandedOver() { acquire(this); }

    decltype(auto) operator()()
    {
        acquire(this);
        const Ran ran{this};
        return m_f();
    }

private:
    struct Ran
    {
        const void* at;
        ~Ran() { release(at); }
    };
    F m_f;
};

template <class F> HandedOver<std::decay_t<F>> handedOver(F&& f)
{
    return HandedOver<std::decay_t<F>>(std::forward<F>(f));
}

} // namespace hlv::tsan
