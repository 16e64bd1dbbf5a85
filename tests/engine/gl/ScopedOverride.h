// ScopedOverride: sets a process-wide value (a gl:: capability flag, a limit, an entry point) for
// one test and puts the old value back when the test's scope ends, even when it fails.
#pragma once

template <typename T>
class ScopedOverride {
public:
    ScopedOverride(T& slot, T value) : slot(slot), saved(slot) { slot = value; }
    ~ScopedOverride() { slot = saved; }
    ScopedOverride(const ScopedOverride&) = delete;
    ScopedOverride& operator=(const ScopedOverride&) = delete;

private:
    T& slot;
    T saved;
};
