#pragma once

#include <string>

namespace tabulon {

inline constexpr const char *kDisplayName = "Tabulon";
// "0.1.0", as the build names it.
const char *ApplicationVersion();

// Derives the application title from the display name: cut at the last
// blank until at most 40 characters remain. A name without a blank is kept.
std::string DeriveApplicationTitle(const std::string &displayName);
void SetApplicationTitle();
// The caption of every message box shown without a caption of its own.
const std::string &ApplicationTitle();

} // namespace tabulon
