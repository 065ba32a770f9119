#pragma once
// Program identity shown in captions, About and --version.
namespace tolvan::app {
inline constexpr const char* kAppTitle = "Tolvan";
inline constexpr const char* kWindowCaption = "Tolvan(tm) 2.31";
// The desktop entry and AppStream id (dist/<id>.desktop).
inline constexpr const char* kDesktopFileId = "example.quendel.Tolvan";
}  // namespace tolvan::app
