#pragma once

#include <functional>
#include <type_traits>
#include <utility>

#include <gtest/gtest.h>

#include "console/access/Task.h"
#include "support/WaitFor.h"

namespace hlv::test {

// Runs the event loop, as the window's own loop would, until a step of the window has come
// to its end (every server it asked has answered); returns its outcome. A step that does
// not end within the time fails the test and is let go.
template <typename T> T settle(Task<T>&& step, int timeoutMs = 20000)
{
    Task<T> held = std::move(step);
    const bool ended = waitFor([&held] { return held.done(); }, timeoutMs);
    EXPECT_TRUE(ended) << "a step of the window did not come to its end";
    if constexpr (!std::is_void_v<T>) {
        return ended ? held.result() : T{};
    }
}

// A handler of a window as a call that runs it to its end, whether it is a plain method or
// a step: for tables of handlers of both kinds.
template <typename W, typename R> std::function<void(W&)> toEnd(R (W::*handler)())
{
    return [handler](W& w) {
        if constexpr (std::is_void_v<R>) {
            (w.*handler)();
        } else {
            settle((w.*handler)());
        }
    };
}

} // namespace hlv::test
