#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

// One message box (or the flash rate question) as the technician saw and answered it.
struct ShownMessage {
    std::string caption;
    std::string text;
    std::string answer;  // "OK", "Cancel", the flash rate chosen, or "closed"
};

// What a front end's UI services showed during a run, in order: the command line's summary and
// the journal of presses take their messages from here. Safe to use from the worker that runs
// a press while another thread reads it.
class CShownMessages {
public:
    void Record(std::string caption, std::string text, std::string answer);
    // A message box's answer in words, from its style and the button pressed.
    void RecordBox(const std::string& caption, const std::string& text, unsigned style, int answer);
    std::vector<ShownMessage> All() const;
    std::size_t Count() const;
    // The messages recorded since Count() was `count`.
    std::vector<ShownMessage> Since(std::size_t count) const;

private:
    mutable std::mutex m_mutex;
    std::vector<ShownMessage> m_shown;
};
