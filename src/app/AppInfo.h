#pragma once
// Program identity shown in captions, About and --version.
namespace tolvan::app {
inline constexpr const char* kAppTitle = "Tolvan";
inline constexpr const char* kWindowCaption = "Tolvan(tm) 2.31";
}  // namespace tolvan::app
