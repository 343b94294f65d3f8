#pragma once
// The Windows virtual-key codes the client's own key handling names.

namespace vendrel {

inline constexpr int kVkTab = 9;
inline constexpr int kVkReturn = 13;
inline constexpr int kVkEscape = 27;
inline constexpr int kVkSpace = 32;
inline constexpr int kVkPageUp = 33;
inline constexpr int kVkPageDown = 34;
inline constexpr int kVkEnd = 35;
inline constexpr int kVkHome = 36;
inline constexpr int kVkLeft = 37;
inline constexpr int kVkUp = 38;
inline constexpr int kVkRight = 39;
inline constexpr int kVkDown = 40;
inline constexpr int kVkDelete = 46;
inline constexpr int kVkApps = 93;

} // namespace vendrel
