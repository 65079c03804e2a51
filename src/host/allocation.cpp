// The module's own allocation functions. The C++ runtime linked into the
// module would otherwise bring its exception support with it (its
// non-throwing new is built on the throwing one), and with it a buffer that
// it allocates at load and never releases at unload.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size == 0 ? 1 : size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size == 0 ? 1 : size); }
// The plain forms release what the non-throwing forms allocated; the module
// has no throwing new to pair them with, on purpose.
void operator delete(void* p) noexcept { std::free(p); }    // NOLINT(cert-dcl54-cpp)
void operator delete[](void* p) noexcept { std::free(p); }  // NOLINT(cert-dcl54-cpp)
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
