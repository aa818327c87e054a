#pragma once

#include <mutex>

// The once-only guard: `block` runs exactly once per token, and every caller
// returns after it has finished, however many threads ask at once.
using dispatch_once_t = std::once_flag;

template<class F>
void dispatch_once(dispatch_once_t* token, F&& block)
{
    std::call_once(*token, std::forward<F>(block));
}
