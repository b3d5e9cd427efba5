#include "runtime/core/memoryreserve.h"

#include <cstdlib>
#include <new>
#include <thread>
#include <utility>

namespace {

constexpr std::size_t reserveBytes = std::size_t(16) << 20;
// Both touched on the window's thread only.
void *reserve = nullptr;
std::thread::id windowThread;

void giveBack()
{
    // Only for the window's thread: a job whose allocation fails reports it, and ends, which
    // frees what it held.
    if (std::this_thread::get_id() == windowThread && reserve) {
        std::free(std::exchange(reserve, nullptr));
        return; // operator new tries again
    }
    throw std::bad_alloc();
}

} // namespace

void renewMemoryReserve() noexcept
{
    // Not written: what runs short first is address space (a limit such as ulimit -v), and its
    // pages would cost the start their faults.
    if (!reserve && std::this_thread::get_id() == windowThread)
        reserve = std::malloc(reserveBytes);
}

void keepMemoryReserve()
{
    windowThread = std::this_thread::get_id();
    renewMemoryReserve();
    std::set_new_handler(giveBack);
}
