#pragma once

// Between the stop requests' state (StopRequest.cpp) and the system's way of delivering them
// (signals on Linux, console control events on Windows).

// Takes a stop request as the system delivered it: may run in a signal handler.
void TakeStopRequest(int cause);
// Forgets an earlier stop when the handlers are installed.
void ForgetStopRequest();
// Writes `text` to standard error; safe in a signal handler.
void SayOnStop(const char* text);
