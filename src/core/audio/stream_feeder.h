#pragma once
// Keeps every playing stream's ring filled: reads its source, stretches the frames when the
// stream's tempo or tempo pitch is not neutral, and writes them ahead of the voice. It also
// carries out what the voice passes on (moves in the source, looping) and frees a stream once
// its voice has let go of it. Decoding, web reads and stretching all happen here, never on the
// output thread.
//
// In the program it runs on its own thread (start/stop). Tests call pump() instead, between
// rendered blocks, so that what they hear does not depend on timing.
//
// Streams go through the stretcher only while their tempo or pitch is not neutral (and from
// then until the next move in the source): most streams are music at their own speed, which
// then plays exactly as decoded, without the stretcher's delay and cost.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/stream_source.h"
#include "audio/stream_state.h"
#include "audio/time_stretcher.h"

namespace vendrel {

class StreamFeeder {
public:
    StreamFeeder();
    StreamFeeder(const StreamFeeder&) = delete;
    StreamFeeder& operator=(const StreamFeeder&) = delete;
    // Stops the thread and frees every stream: the mixer must no longer render by then.
    ~StreamFeeder();

    // Before the first stream; without a factory tempo and tempo pitch have no effect.
    void setTimeStretcherFactory(TimeStretcherFactory factory);

    // Any thread: takes over a stream whose state was already given to the mixer (or marked
    // released). Its channels and rate come from the state.
    void add(std::unique_ptr<StreamState> state, std::unique_ptr<StreamSource> source);

    // The feeder's own thread. start after the output runs, stop before it closes.
    void start();
    void stop();

    // One pass over every stream: the thread's work, or a test's with no thread running.
    void pump();
    // The streams still held (the pumping thread only).
    [[nodiscard]] std::size_t streamCount() const { return streams_.size(); }

private:
    struct Fed;

    void run();
    void takeNewStreams();
    void feed(Fed& stream);
    void serveSeek(Fed& stream);
    [[nodiscard]] bool restartForLoop(Fed& stream);
    void applySettings(Fed& stream);
    [[nodiscard]] bool produce(Fed& stream, std::size_t frames);
    [[nodiscard]] std::size_t readSource(Fed& stream, std::size_t frames);

    TimeStretcherFactory stretcherFactory_;
    std::vector<std::unique_ptr<Fed>> streams_; // the pumping thread's

    std::mutex lock_; // held only to hand streams over and to wake the thread
    std::condition_variable wake_;
    std::vector<std::unique_ptr<Fed>> incoming_;
    bool isStopRequested_ = false;
    std::thread thread_;
};

} // namespace vendrel
