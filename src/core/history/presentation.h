#pragma once
// The presentation: what the player hears and sees of each kind of history line. Every line
// carries a channel (0 to 31); the channel says when the line is spoken and whether that
// interrupts, when the server's sounds for it play, whether it is shown, and its colour and
// style. A view is a named set of channels; the current view filters the review, copying and
// saving. Owned by the GUI thread; the flags are also published for the threads that play
// sounds.

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vendrel {

namespace channel_flag {
inline constexpr std::uint32_t kSpeakInForeground = 1;
inline constexpr std::uint32_t kSpeakInBackground = 2;
inline constexpr std::uint32_t kInterrupt = 4;
inline constexpr std::uint32_t kSoundsInForeground = 8;
// Also lets the server's flash request flash the inactive main window.
inline constexpr std::uint32_t kSoundsInBackground = 16;
inline constexpr std::uint32_t kHidden = 32; // spoken only
} // namespace channel_flag

// Channel numbers are the low five bits of a channel word.
inline constexpr std::size_t kMaxChannels = 32;
inline constexpr std::size_t kMaxViews = 32;

struct Channel {
    std::uint32_t flags = 0;
    std::uint32_t effects =
        0; // text_effect bits: bold, italic, underline, strikeout, default colour
    std::uint32_t colour = 0; // 0x00BBGGRR
    std::u16string name;
};

struct View {
    std::uint32_t mask = 0; // bit n: channel n belongs to the view
    std::u16string name;
};

// The channels' flags for any thread: the sound engine asks on the thread that plays.
class ChannelFlagsSnapshot {
public:
    // GUI thread.
    void publish(const std::vector<Channel>& channels);
    // Any thread. Nothing for a channel beyond the table.
    [[nodiscard]] std::optional<std::uint32_t> flags(int channel) const;

private:
    std::array<std::atomic<std::uint32_t>, kMaxChannels> flags_{};
    std::atomic<std::size_t> count_{0};
};

struct Presentation {
    std::vector<Channel> channels;
    std::vector<std::uint32_t> customColours;
    std::vector<View> views;
    std::int32_t currentView = 0;
    ChannelFlagsSnapshot published;

    // After every change of the channels' flags.
    void publishFlags() { published.publish(channels); }
    // Nothing for a channel beyond the table.
    [[nodiscard]] const Channel* channel(std::int32_t index) const;
    [[nodiscard]] std::optional<std::uint32_t> customColour(std::int64_t index) const;
    // Whether a line on this channel belongs to the current view (no view: none does).
    [[nodiscard]] bool isInCurrentView(std::int32_t channel) const;
};

// The system's window colour is dark when its weighted brightness is at most 0.55.
[[nodiscard]] bool isDarkBackground(std::uint32_t windowColour);

} // namespace vendrel
