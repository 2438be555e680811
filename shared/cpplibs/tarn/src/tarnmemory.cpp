// The global allocation operators. Every allocation failure of the process surfaces as a
// Tarn::MemoryException, after the module object has had its chance to free memory.

#include <cstdlib>
#include <new>

#include "tarnexception.h"
#include "tarnmoduleimpl.h"

namespace
{
    // Constant-initialised: it exists before any other static object can allocate, and throwing a
    // copy of it takes nothing from the heap that has just run out.
    const Tarn::MemoryException PreallocatedMemoryException;

    void* Allocate(std::size_t size)
    {
        if (size == 0)
        {
            size = 1;
        }
        for (;;)
        {
            void* block = std::malloc(size);
            if (block != nullptr)
            {
                return block;
            }
            Tarn::ModuleImpl* module = Tarn::ModuleImpl::GetModule();
            if (module == nullptr || !module->OnOutOfMemory())
            {
                // NOLINTNEXTLINE(cert-err09-cpp,cert-err61-cpp): a copy of the one made at load, see above
                throw PreallocatedMemoryException;
            }
        }
    }
}

void* operator new(std::size_t size)
{
    return Allocate(size);
}

void* operator new[](std::size_t size)
{
    return Allocate(size);
}

void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete[](void* block) noexcept
{
    std::free(block);
}

// The compiler calls the sized forms when it knows the size; the heap does not need it.
void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept
{
    std::free(block);
}
