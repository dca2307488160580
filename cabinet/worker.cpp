#include "worker.h"

#include <chrono>
#include <new>

#if defined(_WIN32)
#include <windows.h>
#elif defined(__linux__)
#include <sched.h>
#endif

namespace cabinet {
namespace {

// How long a thread spins before it sleeps (the worker) or before a waiting caller stops counting.
// The spin is a plain loop: under a hypervisor a loop of pause instructions makes the processor
// give up its time slice, which costs more than the spin saves. It yields every few microseconds,
// so that two threads that share one processor hand it to each other.
constexpr auto kSpinTime = std::chrono::microseconds(1000);
constexpr unsigned kChecksPerYield = 2048;

// Spins until `done` answers true or the spin time has passed; answers the last `done`.
template <class Done>
bool spinUntil(Done done)
{
    const auto until = std::chrono::steady_clock::now() + kSpinTime;
    for (;;) {
        for (unsigned i = 0; i < kChecksPerYield; ++i)
            if (done())
                return true;
        std::this_thread::yield();
        if (std::chrono::steady_clock::now() >= until)
            return done();
    }
}

// The processors this process may run on: a second thread only helps when there are two.
unsigned usableProcessors()
{
#if defined(_WIN32)
    DWORD_PTR process = 0, system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) {
        unsigned n = 0;
        for (; process != 0; process &= process - 1)
            ++n;
        return n;
    }
#elif defined(__linux__)
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return static_cast<unsigned>(CPU_COUNT(&set));
#endif
    return std::thread::hardware_concurrency();
}

} // namespace

Worker* Worker::create(const DecoderMemory& mem, Step step, void* arg)
{
    if (usableProcessors() < 2)
        return nullptr;
    void* raw = mem.alloc(mem.ctx, sizeof(Worker));
    if (!raw)
        return nullptr;
    auto* w = new (raw) Worker(step, arg);
    try {
        w->m_thread = std::thread(&Worker::run, w);
    } catch (...) { // no thread (system_error) or no memory for its state (bad_alloc)
        w->~Worker();
        mem.release(mem.ctx, raw);
        return nullptr;
    }
    return w;
}

void Worker::destroy(Worker* worker, const DecoderMemory& mem)
{
    if (!worker)
        return;
    {
        std::lock_guard<std::mutex> lock(worker->m_mutex);
        worker->m_stop.store(true);
    }
    worker->m_wake.notify_one();
    worker->m_thread.join();
    worker->~Worker();
    mem.release(mem.ctx, worker);
}

void Worker::notify()
{
    m_notices.fetch_add(1);
    if (m_sleeping.load()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
        }
        m_wake.notify_one();
    }
}

void Worker::run()
{
    while (!m_stop.load(std::memory_order_relaxed)) {
        // A notice after this point makes the wait below end at once.
        const unsigned seen = m_notices.load();
        if (m_step(m_arg))
            continue;
        const auto noticed = [this, seen] {
            return m_notices.load(std::memory_order_relaxed) != seen || m_stop.load();
        };
        if (spinUntil(noticed))
            continue;
        std::unique_lock<std::mutex> lock(m_mutex);
        m_sleeping.store(true);
        m_wake.wait(lock, [this, seen] { return m_notices.load() != seen || m_stop.load(); });
        m_sleeping.store(false);
    }
}

void waitUntil(bool (*done)(const void* arg), const void* arg)
{
    // A caller waits for one frame's work at most: it never sleeps, it spins and yields.
    while (!spinUntil([done, arg] { return done(arg); }))
        continue;
}

} // namespace cabinet
