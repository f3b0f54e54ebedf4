#pragma once
// The application title: the caption of the batch window and of every
// message box the tool shows.

namespace quorvant {

inline constexpr const char* AppTitle = "Quorvant";

}  // namespace quorvant
