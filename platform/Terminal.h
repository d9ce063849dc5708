#pragma once

// The program's standard streams.
enum class StdStream { In, Out, Err };

// Whether the stream is a terminal (a console on Windows): a person may answer questions
// there, and progress may be drawn as a live bar.
bool IsTerminal(StdStream stream);
