#include "app/parallel_extraction.h"

#include "app/engine.h"
#include "app/unattended.h"
#include "model/records.h"
#include "model/run_context.h"
#include "platform/host.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace zarvex {
namespace {

// How often the calling thread looks at the host's stop request while it waits.
constexpr std::chrono::milliseconds kStopPoll{20};

enum class SlotState : unsigned char
{
    Pending,
    Running,
    Done,
    Failed,
    Skipped
};

class WorkerPool
{
public:
    WorkerPool(MyCObArray& list, const Settings& settings, const RunContext& run, Host& host,
               const std::string& outDir, int answer, const ExtractionPlan& plan)
        : m_List(list), m_Settings(settings), m_Run(run), m_Host(host), m_OutDir(outDir), m_Answer(answer),
          m_Plan(plan), m_HasLog(host.HasLog()), m_State(plan.outputs.size(), SlotState::Pending),
          m_Slots(plan.outputs.size()), m_Bytes(plan.outputs.size()),
          m_Owner(static_cast<std::size_t>(plan.chains), -1), m_Unstarted(plan.outputs.size())
    {
        for (std::size_t o = 0; o < m_Slots.size(); ++o)
            m_Slots[o].planned = &plan.outputs[o];
    }

    void Run(std::vector<std::unique_ptr<Engine>>& engines, const std::function<void(WorkerOutput&)>& report)
    {
        std::vector<std::thread> threads;
        // Whatever ends this call, the workers stop and are joined first.
        struct Joiner
        {
            WorkerPool& pool;
            std::vector<std::thread>& threads;
            ~Joiner()
            {
                pool.Stop();
                for (std::thread& t : threads)
                    t.join();
            }
        } joiner{*this, threads};
        for (std::size_t w = 0; w < engines.size(); ++w)
            threads.emplace_back([this, w, &engine = *engines[w]] { Work(static_cast<int>(w), engine); });
        for (std::size_t o = 0; o < m_Slots.size(); ++o) {
            const SlotState state = AwaitFinished(o);
            if (state == SlotState::Failed) break;
            if (state == SlotState::Done) report(m_Slots[o]);
            m_Slots[o].calls = {};
            std::lock_guard lock(m_Mutex);
            m_Waiting -= m_Bytes[o];
            m_Cursor = o + 1;
            m_Changed.notify_all();
        }
        std::exception_ptr error;
        {
            std::lock_guard lock(m_Mutex);
            error = m_Error;
        }
        if (error) {
            Stop();
            for (std::thread& t : threads)
                t.join();
            threads.clear();
            std::rethrow_exception(error);
        }
    }

private:
    void Stop()
    {
        std::lock_guard lock(m_Mutex);
        m_Stop.store(true, std::memory_order_relaxed);
        m_Changed.notify_all();
    }

    // Waits until output `o` is finished, or known never to start.
    SlotState AwaitFinished(std::size_t o)
    {
        std::unique_lock lock(m_Mutex);
        for (;;) {
            // As the serial run asks before every output: the host's stop request ends the run.
            if (!m_Stop.load(std::memory_order_relaxed) && m_Host.AbortRequested()) {
                m_Stop.store(true, std::memory_order_relaxed);
                m_Changed.notify_all();
            }
            if (m_State[o] == SlotState::Done || m_State[o] == SlotState::Failed) return m_State[o];
            if (m_Stop.load(std::memory_order_relaxed) && m_State[o] == SlotState::Pending) {
                m_State[o] = SlotState::Skipped;
                --m_Unstarted;
                return SlotState::Skipped;
            }
            m_Changed.wait_for(lock, kStopPoll);
        }
    }

    // The earliest output worker `w` may start now (-1: none). Called locked.
    int Pick(int w)
    {
        // Everything before the first pending output has started: not looked at again.
        m_FirstPending = std::max(m_FirstPending, m_Cursor);
        while (m_FirstPending < m_State.size() && m_State[m_FirstPending] != SlotState::Pending)
            ++m_FirstPending;
        const std::size_t end = std::min(m_State.size(), m_Cursor + kAheadOutputs);
        for (std::size_t o = m_FirstPending; o < end; ++o) {
            if (m_State[o] != SlotState::Pending) continue;
            if (o != m_Cursor && m_Waiting > kAheadBytes) return -1;
            const PlannedOutput& p = m_Plan.outputs[o];
            if (p.after >= 0 && static_cast<std::size_t>(p.after) >= m_Cursor) continue; // not reported yet
            const int owner = m_Owner[static_cast<std::size_t>(p.chain)];
            if (owner >= 0 && owner != w) continue;
            return static_cast<int>(o);
        }
        return -1;
    }

    void Work(int w, Engine& engine)
    {
        RecordingHost host(m_Stop, m_HasLog);
        RunContext run = m_Run;
        int answer = m_Answer;
        for (;;) {
            int picked = -1;
            {
                std::unique_lock lock(m_Mutex);
                m_Changed.wait(lock, [&] {
                    return m_Stop.load(std::memory_order_relaxed) || m_Unstarted == 0 ||
                           (picked = Pick(w)) >= 0;
                });
                if (m_Stop.load(std::memory_order_relaxed) || picked < 0) return;
                m_State[static_cast<std::size_t>(picked)] = SlotState::Running;
                --m_Unstarted;
                m_Owner[static_cast<std::size_t>(m_Plan.outputs[static_cast<std::size_t>(picked)].chain)] = w;
            }
            const auto o = static_cast<std::size_t>(picked);
            SlotState state = SlotState::Done;
            try {
                Extract(m_Slots[o], engine, run, host, answer);
                m_Bytes[o] = host.Bytes();
                m_Slots[o].calls = host.Take();
            } catch (...) {
                state = SlotState::Failed;
            }
            std::lock_guard lock(m_Mutex);
            if (state == SlotState::Failed) {
                if (!m_Error) m_Error = std::current_exception();
                m_Stop.store(true, std::memory_order_relaxed);
            }
            m_State[o] = state;
            m_Waiting += m_Bytes[o];
            m_Changed.notify_all();
            if (state == SlotState::Failed) return;
        }
    }

    // One output, with what the serial loop does right after it on the group.
    void Extract(WorkerOutput& slot, Engine& engine, RunContext& run, RecordingHost& host, int& answer)
    {
        const PlannedOutput& p = *slot.planned;
        slot.ran = true;
        slot.result = engine.Extract(m_List, p.group, p.part, m_OutDir, answer, m_Settings, run, host);
        CSortInfo& group = *m_List.GetAt(p.group);
        slot.counted = SettleOutputStatus(group, slot.result);
        slot.named = p.named < group.m_Named.size() ? group.m_Named[p.named] : p.part;
    }

    MyCObArray& m_List;
    const Settings& m_Settings;
    const RunContext& m_Run;
    Host& m_Host; // the calling thread's only
    const std::string& m_OutDir;
    const int m_Answer;
    const ExtractionPlan& m_Plan;
    const bool m_HasLog;

    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    // Guarded by m_Mutex (a slot's content belongs to its worker while it
    // runs and to the calling thread once it is finished).
    std::vector<SlotState> m_State;
    std::vector<WorkerOutput> m_Slots;
    std::vector<std::size_t> m_Bytes;
    std::vector<int> m_Owner; // per chain: the worker that started it
    std::size_t m_Cursor = 0; // the output to be reported next
    std::size_t m_FirstPending = 0;
    std::size_t m_Waiting = 0; // text bytes of finished outputs not yet reported
    std::size_t m_Unstarted;
    std::exception_ptr m_Error;
    std::atomic<bool> m_Stop{false};
};

} // namespace

void ExtractOnWorkers(MyCObArray& list, const Settings& settings, const RunContext& run, Host& host,
                      std::vector<std::unique_ptr<Engine>> engines, const std::string& outDir, int answer,
                      const ExtractionPlan& plan, const std::function<void(WorkerOutput&)>& report)
{
    WorkerPool pool(list, settings, run, host, outDir, answer, plan);
    pool.Run(engines, report);
}

} // namespace zarvex
