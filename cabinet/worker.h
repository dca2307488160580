// A background thread for a decoder: it runs the decoder's step while the step finds work, and
// waits for a notification otherwise. Work comes every few tens of microseconds while a folder is
// decoded, so both sides spin a little before they sleep: a wake-up from sleep would cost about
// as long as the work itself.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "decoder_memory.h"

namespace cabinet {

class Worker
{
public:
    // Does one piece of work; false when there was none.
    using Step = bool (*)(void* arg);

    // A worker whose thread is running `step(arg)`, its record from `mem`; nullptr when the
    // machine has one processor, the memory cannot be had or no thread can be started.
    static Worker* create(const DecoderMemory& mem, Step step, void* arg);
    // Stops and joins the thread, then gives the record back to `mem`; nullptr is left alone.
    static void destroy(Worker* worker, const DecoderMemory& mem);

    // There may be work: the thread tries its step again.
    void notify();

    Worker(Step step, void* arg) : m_step(step), m_arg(arg) {}
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

private:
    void run();

    Step m_step;
    void* m_arg;
    std::atomic<unsigned> m_notices{0};
    std::atomic<bool> m_sleeping{false};
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
};

// Returns once done() answers true: spins for a while, then yields between tries.
void waitUntil(bool (*done)(const void* arg), const void* arg);

} // namespace cabinet
