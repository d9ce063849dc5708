#pragma once

#include <string>
#include <string_view>

#include <sys/types.h>

// The one way this program writes a whole file. The bytes go to a new temporary file in the
// destination's folder, made under an unpredictable name with exclusive creation (so nothing
// planted there, link or file, is ever followed or reused), synced, and renamed over the
// destination; the folder is synced so the rename survives a power cut. Readers see the old
// file or the new one, never half of either. On failure the temporary file is removed, the
// destination is as it was, and a CGenError (code 3) names the file and the system's reason.
namespace FileMode {
// Files anyone may read (images, dumps, kits); the user's umask still narrows it.
inline constexpr mode_t kShared = 0644;
// Plaintext, keys and settings: the user only.
inline constexpr mode_t kPrivate = 0600;
} // namespace FileMode

// How the new file's mode comes about: as a new file's (the user's umask narrows it), or
// exactly as given (a file replaced keeps the mode it had).
enum class FileModeRule { NarrowedByUmask, Exact };

// SIGINT, SIGTERM and SIGHUP are held back in the calling thread while it writes, so that a
// stop never leaves the temporary file behind: they take effect once the file is in place.
void WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t mode = FileMode::kShared,
                         FileModeRule rule = FileModeRule::NarrowedByUmask);

// The temporary names the writer uses for `path` begin with this prefix (for tests and for
// tidying after a crash): ".<file name>.tmp-" in the same folder.
std::string AtomicTempPrefix(const std::string& path);
