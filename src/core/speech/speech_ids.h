#pragma once
// Value identifiers of the speech bridge. Players' config.ini files and the login record carry
// these numbers, so they never change.

#include <cstdint>

namespace vendrel::speech_id {

// Choice families: getValue(base) is the current index, setValue(base, i) selects entry i and
// getString(base + i) names entry i.
inline constexpr std::int32_t kEngine = 0x40000;
inline constexpr std::int32_t kSubEngine = 0x30000;
inline constexpr std::int32_t kLanguage = 0x20000;
inline constexpr std::int32_t kVoice = 0x10000;
// Entries a family can name: getString(base + i) with i at or past this is never an entry.
inline constexpr std::int32_t kFamilySize = 0x10000;

// Numeric parameters: base is the value, base + 1 the maximum, base + 2 the minimum, base + 3
// non-zero when the engine in use has the parameter.
inline constexpr std::int32_t kVolume = 0;
inline constexpr std::int32_t kRate = 4;
inline constexpr std::int32_t kPitch = 8;
inline constexpr std::int32_t kInflexion = 12;
inline constexpr std::int32_t kMaximumOffset = 1;
inline constexpr std::int32_t kMinimumOffset = 2;
inline constexpr std::int32_t kSupportedOffset = 3;

// 1: keep to the engine the player chose; 0: follow whichever screen reader runs.
inline constexpr std::int32_t kEngineChosen = 0xFFFF;

// Engine indexes. Every index here is an engine the bridge really drives; 3 to 5 are free and
// name nothing, so an engine list is read over all indexes up to kLastEngine.
inline constexpr std::int32_t kAutomaticEngine = -1;
inline constexpr std::int32_t kJawsEngine = 0;
inline constexpr std::int32_t kNotificationEngine = 1; // UI Automation: Narrator and others
inline constexpr std::int32_t kNvdaEngine = 2;
inline constexpr std::int32_t kSapiEngine = 6;
inline constexpr std::int32_t kLastEngine = 6;

} // namespace vendrel::speech_id
