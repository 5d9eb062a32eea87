// The eight toolchain members as the simulated bridges answer them.
#pragma once

#include <string>
#include <vector>

// Statuses a member reports. The window reads an exit code as a sign-extended byte, so a member
// reports status -N by exiting with 256 - N.
inline constexpr int kStatusOk = 0;
inline constexpr int kStatusUsage = -2;        // the argument line is wrong
inline constexpr int kStatusUnreachable = -3;  // no such target answers through that address
inline constexpr int kStatusSimFailure = -4;   // the bench or the Kernel folder is unusable
// program_flash.bat speaks the statuses the window explains.
inline constexpr int kFlashInvalidInput = -101;
inline constexpr int kFlashParameters = -102;
inline constexpr int kFlashPrmMissing = -103;
inline constexpr int kFlashImage = -104;
inline constexpr int kFlashFailed = -105;

// Runs the member `member` whose file lies in `kernel_dir`, with its argument words, in the
// current directory. Returns the status; messages go to stderr, progress to stdout.
int RunMember(const std::string& member, const std::string& kernel_dir,
              const std::vector<std::string>& words);

// The exit code that reports `status`.
inline int ExitCode(int status) { return status & 0xFF; }
