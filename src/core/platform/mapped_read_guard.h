#pragma once

namespace linesift {

// Runs fn(ctx) and returns true, or returns false when fn touched a page of a
// mapped file that no longer exists (SIGBUS: another program truncated the
// file while it was mapped). fn must not own resources on its stack: the
// unwinding after a fault skips destructors. Safe to use on several threads.
bool RunGuardedAgainstBusError(void (*fn)(void*), void* ctx);

// The same for a callable; the callable's captures must not own resources.
template <typename F>
bool RunGuarded(F& f) {
    return RunGuardedAgainstBusError([](void* p) { (*static_cast<F*>(p))(); }, &f);
}

}  // namespace linesift
