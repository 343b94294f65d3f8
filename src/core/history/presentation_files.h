#pragma once
// The presentation's files, one pair per server of the list ("views<N>.ini" and
// "channels<N>.ini" in the user folder), and the built-in presets that replace them when they
// are missing or unusable. Every call runs on the GUI thread.

#include <cstddef>
#include <cstdint>

namespace vendrel {

struct AppState;

// Fills the views, or the channels and custom colours, from server n's file; a missing or
// empty file (or, for the channels, one without custom colours) is replaced by the presets of
// the server's protocol and written back. At most kMaxChannels channels and kMaxViews views
// are read, whatever the file holds.
void loadViews(AppState& state, std::size_t server);
void loadChannels(AppState& state, std::size_t server);
// Written atomically; false (and a debug-log line) when the file could not be written.
bool saveViews(AppState& state, std::size_t server);
bool saveChannels(AppState& state, std::size_t server);

// The built-in presets of a protocol; a protocol without presets gets those of the built-in
// server's protocol, so that no line is ever left without a channel.
void loadDefaultViews(AppState& state, std::int32_t protocol);
void loadDefaultChannels(AppState& state, std::int32_t protocol, bool isDark);

// Both files of the server, views first, as the connection dialog loads them.
void loadServerPresentation(AppState& state, std::size_t server);

} // namespace vendrel
