#pragma once
// Exit statuses of quorvant-convert, as scripts see them.

namespace quorvant::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // a file could not be loaded, converted or written
inline constexpr int kExitUsage = 2;   // the command line itself is wrong

}  // namespace quorvant::cli
