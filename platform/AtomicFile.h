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

void WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t mode = FileMode::kShared);

// The temporary names the writer uses for `path` begin with this prefix (for tests and for
// tidying after a crash): ".<file name>.tmp-" in the same folder.
std::string AtomicTempPrefix(const std::string& path);
