#pragma once
// The one point every job of the data object passes on its way from the GUI
// thread to the data thread and back. ThreadSanitizer does not see how Qt
// orders a queued signal after what its sender did (Qt's mutexes are built
// on futexes); it does see one atomic count of the jobs handed over and
// not yet answered:
//
//   GUI thread                          data thread
//   writes the job's inputs
//   handOver(send): counts the job up
//     (release), sends the request      takeUp(): acquire
//                                       works
//                                       answer(send): counts the job down
//                                         (release), sends the answer
//   takeAnswer(): acquire
//   reads the results
//
// A count, so that a job slot called directly, with no job handed over,
// leaves it alone. The request and the answer are sent inside handOver and
// answer: what Qt allocates there to post them (the event, its arguments,
// the receiving thread's event list when it must grow, as when the answer
// of one job and the hand-over of the next follow each other closely) is
// handled and freed by Qt in the other thread. tests/tsan.supp names these
// two frames for that reason. wait() on a thread that has ended already
// orders nothing that ThreadSanitizer sees, so the thread's end is handed
// over too.
#include <atomic>
#include <functional>

class DataThreadHandoff
{
public:
    // GUI thread: hands a job over, then sends its request (send emits the
    // request signal and does nothing else).
    void handOver(const std::function<void()> &send)
    {
        pending.fetch_add(1, std::memory_order_release);
        if (send)
            send();
    }

    // Data thread, when a job starts.
    void takeUp() { jobTakenUp = pending.load(std::memory_order_acquire) > 0; }

    // Data thread, once the job's work is done: answers the job taken up,
    // then sends the answer (send emits the answer signal and does nothing
    // else).
    void answer(const std::function<void()> &send)
    {
        if (jobTakenUp) {
            jobTakenUp = false;
            pending.fetch_sub(1, std::memory_order_release);
        }
        if (send)
            send();
    }

    // Data thread, during a job: posts to the GUI thread what is not the
    // job's answer (the installation warning's box). It orders nothing of
    // ours; Qt's handling of the posted event is named in tests/tsan.supp
    // by this frame, as for the answer.
    static void post(const std::function<void()> &send)
    {
        if (send)
            send();
    }

    // GUI thread, when a job's answer arrives.
    void takeAnswer() const { pending.load(std::memory_order_acquire); }

    // No job handed over is without its answer: the GUI thread may call the
    // data object.
    bool idle() const { return pending.load(std::memory_order_acquire) == 0; }

    // Data thread, as it ends (QThread::finished, connected directly): what
    // Qt keeps for the thread (the stack of its event loops, its storage),
    // which the thread object frees after wait(), is handed over as well.
    void threadEnds() { pending.fetch_add(0, std::memory_order_release); }

    // GUI thread, once wait() has seen the data thread end.
    void takeThreadEnd() const { pending.load(std::memory_order_acquire); }

private:
    // Jobs handed over and not yet answered.
    std::atomic<int> pending{0};
    // The running job was handed over (data thread only).
    bool jobTakenUp = false;
};
