// Makes one allocation of the test process fail, counted from when it is armed.
#pragma once

#include <cstddef>

// Allocations made since counting started.
std::size_t allocationsCounted();
// Starts counting; with n > 0, allocation number n throws std::bad_alloc (or
// returns null from the nothrow forms).
void armAllocationFault(std::size_t n);
// Stops counting; whether the armed fault fired.
bool disarmAllocationFault();
