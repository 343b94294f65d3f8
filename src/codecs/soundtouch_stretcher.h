#pragma once
// The time stretcher over SoundTouch: tempo and pitch changed independently of each other,
// on float frames.

#include <memory>

#include "audio/time_stretcher.h"

namespace vendrel {

[[nodiscard]] std::unique_ptr<TimeStretcher> makeSoundTouchStretcher();
// For SoundEngine::setTimeStretcherFactory.
[[nodiscard]] TimeStretcherFactory soundTouchStretcherFactory();

} // namespace vendrel
