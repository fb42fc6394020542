#pragma once
// The lock keys' states, where the platform tells them (X11); nothing elsewhere.
#include <optional>

namespace KeyStates {
struct Locks {
    bool capsLock = false;
    bool numLock = false;
};
std::optional<Locks> query();
}  // namespace KeyStates
