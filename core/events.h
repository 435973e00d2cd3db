// Pointer, key and drag values as the handlers see them, decoded by the shell.
#pragma once

namespace pagerift {

enum MouseButtons : int { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };

// The keys the window answers to; the shell passes on no others.
enum class Key { Return, Space, Help };

// The states a drag-over notification carries, with the toolkit's codes.
enum class DragState { Enter = 0, Leave = 1, Over = 2 };

constexpr unsigned kDropEffectNone = 0;
constexpr unsigned kDropEffectCopy = 1;

}  // namespace pagerift
