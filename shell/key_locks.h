#pragma once

#include <optional>

// The keyboard's lock states where the platform tells them.
enum class KeyLock { Caps, Num, Scroll };
std::optional<bool> keyLockState(KeyLock lock);
