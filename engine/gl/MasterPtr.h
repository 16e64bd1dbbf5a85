// MasterPtr: the owning pointer through which a long-lived GPU object (the chart's mesh) is held by
// the one place that keeps it alive. Whoever draws it keeps plain non-owning pointers obtained
// with get(), valid while the master lives. A single owner, so it is the engine's UniquePtr.
#pragma once

#include "engine/core/UniquePtr.h"

namespace orvex {

template <typename T>
using MasterPtr = UniquePtr<T>;

} // namespace orvex
