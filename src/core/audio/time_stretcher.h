#pragma once
// Changes the tempo of a stream without changing its pitch, and its pitch without changing
// its tempo. Frames go in at the source's rate and come out at the same rate. The stream
// feeder thread owns each stretcher.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace vendrel {

class TimeStretcher {
public:
    virtual ~TimeStretcher() = default;

    // Before the first frame; channels 1 or 2.
    virtual void configure(std::uint32_t channels, std::uint32_t rate) = 0;
    // 1 plays at the source's own speed, 1.5 half as fast again, 0.5 at half speed.
    virtual void setTempo(double ratio) = 0;
    // Semitones up (positive) or down; 0 keeps the source's pitch.
    virtual void setPitchSemitones(double semitones) = 0;
    // Interleaved frames in; they come out of receive, some later than others.
    virtual void put(const float* frames, std::size_t count) = 0;
    // Up to count frames out; 0 when more input is needed.
    [[nodiscard]] virtual std::size_t receive(float* frames, std::size_t count) = 0;
    // At the end of the source: lets the frames still held inside come out.
    virtual void flush() = 0;
    // After a seek: drops everything held inside.
    virtual void clear() = 0;
};

using TimeStretcherFactory = std::function<std::unique_ptr<TimeStretcher>()>;

} // namespace vendrel
