// The global allocation functions of the test program, replaced so that one
// chosen allocation fails: a memory limit cannot be used under the address
// sanitizer, which reserves far more address space than it uses.
#include "oom/allocation_faults.h"

#include <cstdlib>
#include <new>

namespace {

bool counting = false;
std::size_t counted = 0;
std::size_t failing = 0;
bool fired = false;

bool fails() {
    if (!counting) return false;
    if (++counted != failing) return false;
    fired = true;
    return true;
}

void* allocate(std::size_t size) {
    void* p = fails() ? nullptr : std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}

void* allocateNothrow(std::size_t size) noexcept { return fails() ? nullptr : std::malloc(size ? size : 1); }

void* allocateAligned(std::size_t size, std::align_val_t align) {
    const std::size_t a = static_cast<std::size_t>(align);
    void* p = fails() ? nullptr : std::aligned_alloc(a, (size + a - 1) / a * a);
    if (!p) throw std::bad_alloc();
    return p;
}

}  // namespace

std::size_t allocationsCounted() { return counted; }

void armAllocationFault(std::size_t n) {
    counted = 0;
    failing = n;
    fired = false;
    counting = true;
}

bool disarmAllocationFault() {
    counting = false;
    return fired;
}

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocateNothrow(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocateNothrow(size); }
void* operator new(std::size_t size, std::align_val_t a) { return allocateAligned(size, a); }
void* operator new[](std::size_t size, std::align_val_t a) { return allocateAligned(size, a); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
