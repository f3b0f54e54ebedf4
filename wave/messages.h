#pragma once
// How the library reports what a user must be told. The windows show
// message boxes; the command-line tool prints to stderr.

#include <string>

namespace quorvant {

enum class MessageIcon { Warning, Information, Error };

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void showMessage(MessageIcon icon, const std::string& text) = 0;
    // Called by the main window's load just before the samples are read.
    virtual void readingStarted() {}
};

namespace texts {
inline constexpr const char* kReadError = "The error occurred by the file reading.";
inline constexpr const char* kFourBit = "The 4bit format file doesn't open out.";
inline constexpr const char* kFloatNotice =
    "It is 32 bit floating type. It converts it into the integer type.";
inline constexpr const char* kOutOfMemory = "There is not enough memory to read the file.";
inline constexpr const char* kEngineFailure = "An exception error.";
std::string NotWave(const std::string& path);
}  // namespace texts

}  // namespace quorvant
