#pragma once

// A few megabytes put by while memory is plentiful, and given back the moment an allocation
// fails, so that the window can still paint and report while a pass holds nearly all the memory
// there is: a std::bad_alloc thrown out of Qt's painting would end the program. The window's
// first failure frees the reserve and the allocation is tried again; a failure without one, or on
// another thread, throws.

// Puts the reserve by and makes operator new fall back on it on the calling thread, the
// window's. Once, at start.
void keepMemoryReserve();
// Puts the reserve by again if it was given back and there is room now: after a job has ended
// and freed what it held. Nothing where keepMemoryReserve() was not called, as in tests.
void renewMemoryReserve() noexcept;
