// Win32 worker threads for the plug-in: _beginthreadex, so that the C
// runtime's per-thread data is set up, and joined by waiting on the handle.
// Started only inside a call that draws, never while the loader lock is held.
#include <process.h>
#include <windows.h>

#include "platform/threads.h"
#include "platform/threads_internal.h"

namespace qavren::platform {
namespace {

unsigned __stdcall ThreadEntry(void* self) {
    WorkerThread::Run(self);
    return 0;
}

}  // namespace

bool WorkerThread::Start(ThreadMain main, void* context) {
    if (started_ || ShouldFailThreadStart()) return false;
    main_ = main;
    context_ = context;
    const uintptr_t thread = ::_beginthreadex(nullptr, 0, ThreadEntry, this, 0, nullptr);
    if (thread == 0) return false;
    handle_ = static_cast<uint64_t>(thread);
    started_ = true;
    return true;
}

void WorkerThread::Join() {
    if (!started_) return;
    const auto thread = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handle_));
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
    started_ = false;
}

int32_t ProcessorCount() {
    DWORD_PTR process = 0, system = 0;
    if (::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system) && process != 0) {
        int32_t count = 0;
        for (; process != 0; process &= process - 1) ++count;
        return count;
    }
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? static_cast<int32_t>(info.dwNumberOfProcessors) : 1;
}

}  // namespace qavren::platform
