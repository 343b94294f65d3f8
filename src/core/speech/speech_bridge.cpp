#include "speech/speech_bridge.h"

#include <algorithm>
#include <utility>

#include "app/debug_log.h"
#include "speech/speech_ids.h"
#include "text/utf.h"

namespace vendrel {
namespace {

constexpr std::int32_t kNumericIds = 16; // four parameters of four identifiers each

std::optional<SpeechChoice> familyOf(std::int32_t base) {
    switch (base) {
    case speech_id::kSubEngine:
        return SpeechChoice::SubEngine;
    case speech_id::kLanguage:
        return SpeechChoice::Language;
    case speech_id::kVoice:
        return SpeechChoice::Voice;
    default:
        return std::nullopt;
    }
}

SpeechParameter parameterOf(std::int32_t id) {
    return static_cast<SpeechParameter>(id / 4);
}

} // namespace

SpeechBridge::SpeechBridge(std::vector<std::unique_ptr<SpeechBackend>> backends,
                           SpeechBridgeHooks hooks)
    : backends_(std::move(backends)), hooks_(std::move(hooks)) {}

SpeechBridge::~SpeechBridge() {
    stop();
}

void SpeechBridge::openTranscript(const std::string& path) {
    std::lock_guard lock(mutex_);
    transcript_.open(path);
}

void SpeechBridge::start() {
    std::lock_guard lock(mutex_);
    if (phase_ != Phase::NotStarted) {
        return;
    }
    phase_ = Phase::Running;
    thread_ = std::thread([this] { run(); });
}

void SpeechBridge::stop() {
    {
        std::lock_guard lock(mutex_);
        if (phase_ != Phase::Running) {
            phase_ = Phase::Stopped;
            return;
        }
        phase_ = Phase::Stopped;
    }
    wake_.notify_all();
    thread_.join();
}

void SpeechBridge::speechSay(const std::u16string& text, bool interrupt) {
    std::lock_guard lock(mutex_);
    // Recorded here, under the lock that orders the queue, so the transcript keeps call order.
    transcript_.record(SpeechKind::Say, text, interrupt);
    if (interrupt) {
        // The engine would cut these off the moment they began; not handing them over at all
        // keeps a burst of interrupting texts from stuttering.
        std::erase_if(queue_,
                      [](const Request& r) { return !r.question && r.kind == SpeechKind::Say; });
    }
    enqueue(Request{SpeechKind::Say, text, interrupt, {}, nullptr});
}

void SpeechBridge::brailleDisplay(const std::u16string& text) {
    std::lock_guard lock(mutex_);
    transcript_.record(SpeechKind::Braille, text, false);
    enqueue(Request{SpeechKind::Braille, text, false, {}, nullptr});
}

// Called with the lock held.
void SpeechBridge::enqueue(Request request) {
    if (phase_ == Phase::Stopped) {
        return;
    }
    queue_.push_back(std::move(request));
    wake_.notify_one();
}

void SpeechBridge::ask(const std::function<void()>& question) {
    std::unique_lock lock(mutex_);
    if (phase_ != Phase::Running) {
        return;
    }
    bool isAnswered = false;
    queue_.push_back(Request{SpeechKind::Say, {}, false, question, &isAnswered});
    wake_.notify_one();
    answered_.wait(lock, [&] { return isAnswered; });
}

std::int32_t SpeechBridge::speechGetValue(std::int32_t id) {
    std::int32_t value = id == speech_id::kEngine ? -1 : 0;
    ask([&] { value = getValue(id); });
    return value;
}

void SpeechBridge::speechSetValue(std::int32_t id, std::int32_t value) {
    ask([&] { setValue(id, value); });
}

std::optional<std::u16string> SpeechBridge::speechGetString(std::int32_t id) {
    std::optional<std::u16string> text;
    ask([&] { text = getString(id); });
    return text;
}

std::optional<std::string> SpeechBridge::jfwGetUserSettingsDirectory() {
    std::optional<std::string> folder;
    ask([&] {
        for (const auto& backend : backends_) {
            if (auto found = backend->userSettingsFolder()) {
                folder = std::move(found);
                return;
            }
        }
    });
    return folder;
}

SpeechDiagnosis SpeechBridge::diagnose() {
    SpeechDiagnosis diagnosis;
    ask([&] {
        const SpeechBackend* chosen = byIndex(selectedEngine_);
        for (const auto& backend : backends_) {
            diagnosis.backends.push_back({backend->name(), backend->isScreenReader(),
                                          backend.get() == chosen, backend->status()});
        }
        // The output of the next text: the first in line that is up and has nothing wrong.
        for (const SpeechBackend* backend : candidates()) {
            const auto at = std::find_if(backends_.begin(), backends_.end(),
                                         [&](const auto& owned) { return owned.get() == backend; });
            const SpeechBackendStatus& status =
                diagnosis.backends[static_cast<std::size_t>(at - backends_.begin())].status;
            if (status.isFound && status.problem == SpeechProblem::None) {
                diagnosis.output = backend->name();
                break;
            }
        }
    });
    return diagnosis;
}

void SpeechBridge::run() {
    if (hooks_.threadStarted) {
        hooks_.threadStarted();
    }
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return !queue_.empty() || phase_ == Phase::Stopped; });
        if (queue_.empty()) {
            break;
        }
        Request request = std::move(queue_.front());
        queue_.pop_front();
        // Questions are still answered while stopping, as their callers wait for them.
        const bool isWanted = request.question || phase_ != Phase::Stopped;
        lock.unlock();
        if (request.question) {
            request.question();
        } else if (isWanted && request.kind == SpeechKind::Say) {
            speak(request.text, request.interrupt);
        } else if (isWanted) {
            braille(request.text);
        }
        lock.lock();
        if (request.answered) {
            *request.answered = true;
            answered_.notify_all();
        }
    }
    lock.unlock();
    for (const auto& backend : backends_) {
        backend->reset();
    }
    if (hooks_.threadEnding) {
        hooks_.threadEnding();
    }
}

void SpeechBridge::speak(const std::u16string& text, bool interrupt) {
    SpeechSwitch change{.previous = speaker_,
                        .chosen = byIndex(selectedEngine_),
                        .isFirstText = isFirstText_,
                        .isChoiceChanged = selectedEngine_ != engineAtLastText_,
                        .passed = {}};
    for (SpeechBackend* backend : candidates()) {
        if (!backend->isAvailable()) {
            change.passed.push_back({backend, false});
            continue;
        }
        change.next = backend;
        if (speakThrough(*backend, text, interrupt, change)) {
            settle(change);
            return;
        }
        // Dropped: the next back-end says the same text, and this one starts afresh later.
        backend->reset();
        change.passed.push_back({backend, true});
    }
    change.next = nullptr;
    settle(change);
}

// The announcement goes first, through the output it names, and the text follows it queued so
// that it cannot cut the announcement off. A back-end that refuses either has failed.
bool SpeechBridge::speakThrough(SpeechBackend& backend, const std::u16string& text, bool interrupt,
                                const SpeechSwitch& change) {
    if (hooks_.messages == nullptr || !isAnnounced(change)) {
        return backend.speak(text, interrupt);
    }
    const std::u16string announcement = announcementText(change, *hooks_.messages);
    if (!backend.speak(announcement, interrupt)) {
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        transcript_.record(SpeechKind::Say, announcement, interrupt);
    }
    return backend.speak(text, false);
}

void SpeechBridge::braille(const std::u16string& text) {
    for (SpeechBackend* backend : candidates()) {
        if (!backend->canBraille() || !backend->isAvailable()) {
            continue;
        }
        if (backend->braille(text)) {
            return;
        }
        backend->reset();
    }
}

void SpeechBridge::settle(const SpeechSwitch& change) {
    if (hooks_.log != nullptr && isLogged(change)) {
        const std::string name = change.next ? toNarrow(change.next->name()) : "none";
        hooks_.log->line("Speech output: ", name + " (" + switchReason(change) + ")");
    }
    speaker_ = change.next;
    isFirstText_ = false;
    engineAtLastText_ = selectedEngine_;
}

std::vector<SpeechBackend*> SpeechBridge::candidates() const {
    std::vector<SpeechBackend*> order;
    order.reserve(backends_.size());
    SpeechBackend* chosen = byIndex(selectedEngine_);
    if (chosen != nullptr) {
        order.push_back(chosen);
    }
    for (const auto& backend : backends_) {
        if (backend.get() != chosen) {
            order.push_back(backend.get());
        }
    }
    return order;
}

SpeechBackend* SpeechBridge::byIndex(std::int32_t index) const {
    for (const auto& backend : backends_) {
        if (index >= 0 && backend->engineIndex() == index) {
            return backend.get();
        }
    }
    return nullptr;
}

SpeechBackend* SpeechBridge::inUse() const {
    for (SpeechBackend* backend : candidates()) {
        if (backend->isAvailable()) {
            return backend;
        }
    }
    return nullptr;
}

// Settings belong to the engine the player chose even while it is not running, so command 1008
// can look at the system voice's list before anything has been spoken with it.
SpeechBackend* SpeechBridge::valueBackend() const {
    SpeechBackend* chosen = byIndex(selectedEngine_);
    return chosen != nullptr ? chosen : inUse();
}

std::int32_t SpeechBridge::getValue(std::int32_t id) const {
    if (id == speech_id::kEngine) {
        const SpeechBackend* backend = inUse();
        return backend != nullptr ? backend->engineIndex() : -1;
    }
    if (id == speech_id::kEngineChosen) {
        return selectedEngine_ >= 0 ? 1 : 0;
    }
    SpeechBackend* backend = valueBackend();
    if (backend == nullptr) {
        return 0;
    }
    if (const auto family = familyOf(id)) {
        return backend->choice(*family);
    }
    if (id < 0 || id >= kNumericIds) {
        return 0;
    }
    const auto range = backend->parameter(parameterOf(id));
    switch (id % 4) {
    case 0:
        return range ? range->value : 0;
    case speech_id::kMaximumOffset:
        return range ? range->maximum : 0;
    case speech_id::kMinimumOffset:
        return range ? range->minimum : 0;
    default:
        return range ? 1 : 0;
    }
}

void SpeechBridge::setValue(std::int32_t id, std::int32_t value) {
    if (id == speech_id::kEngine) {
        selectedEngine_ = std::max(value, speech_id::kAutomaticEngine);
        return;
    }
    if (id == speech_id::kEngineChosen) {
        if (value == 0) {
            selectedEngine_ = speech_id::kAutomaticEngine;
        }
        return;
    }
    SpeechBackend* backend = valueBackend();
    if (backend == nullptr) {
        return;
    }
    if (const auto family = familyOf(id)) {
        backend->select(*family, value);
    } else if (id >= 0 && id < kNumericIds && id % 4 == 0) {
        backend->setParameter(parameterOf(id), value);
    }
}

std::optional<std::u16string> SpeechBridge::getString(std::int32_t id) const {
    const std::int32_t base = id - id % speech_id::kFamilySize;
    const std::int32_t index = id % speech_id::kFamilySize;
    if (id < speech_id::kVoice || base > speech_id::kEngine) {
        return std::nullopt;
    }
    if (base == speech_id::kEngine) {
        const SpeechBackend* backend = byIndex(index);
        return backend != nullptr ? std::optional(backend->name()) : std::nullopt;
    }
    SpeechBackend* backend = valueBackend();
    if (backend == nullptr) {
        return std::nullopt;
    }
    const auto names = backend->choices(*familyOf(base));
    if (static_cast<std::size_t>(index) >= names.size()) {
        return std::nullopt;
    }
    return names[static_cast<std::size_t>(index)];
}

} // namespace vendrel
