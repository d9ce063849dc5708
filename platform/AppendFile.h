#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A file that only ever grows by whole lines, shared by several processes (the journal of
// presses). Each line goes to the end of the file in one write on a descriptor opened for
// appending, so lines appended at the same time by several processes never interleave and
// nothing already in the file is rewritten.
//
// The file is opened without following a link and without blocking, created with mode 0600,
// and used only when it is a regular file of this user: a link, a FIFO or another user's file
// planted under its name is refused. A failure raises CGenError 3 naming the file and the
// reason; the file is then as it was, or holds the whole line.
void AppendLine(const std::string& path, std::string_view line);

// Reads such a file whole as untrusted input: never through a link, never blocking, only a
// regular file of this user of at most `maxBytes` bytes. A missing file reads as empty
// (`exists` false). Raises CGenError 3 naming the file and what is wrong.
std::string ReadOwnFile(const std::string& path, std::size_t maxBytes, bool* exists = nullptr);
