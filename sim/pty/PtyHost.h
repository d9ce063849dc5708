#pragma once

#include "sim/InterfaceBox.h"
#include "sim/model/SimRadio.h"
#include "sim/pty/PtyWire.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct PtyHostOptions {
    std::string profile;              // JSON profile file
    std::string link;                 // where the program's end of the line is published
    bool replaceLink = false;         // replace a link already at `link`
    std::string dumpDir;              // trace and memory written here at the end ("" none)
    std::vector<std::string> faults;  // fault specs
    bool autoBootstrap = true;        // enter bootstrap mode when the program sets 2400 Bd
};

// The simulated radio behind its interface box on a pseudo-terminal: what `tessarin sim`
// runs. Construction loads the profile, parses the faults and publishes the link (raising
// CGenError code 3 with what is wrong); Run() serves the program until told to stop.
class CPtyHost {
public:
    explicit CPtyHost(const PtyHostOptions& options);

    CPtyWire& Wire() { return m_wire; }
    // Only from the loop's thread (or when it is not running).
    CSimRadio& Radio() { return *m_radio; }
    // Runs until `keepRunning` returns false (asked at least every 20 ms).
    void Run(const std::function<bool()>& keepRunning) { m_wire.Run(keepRunning); }
    // The technician's power cycle, into bootstrap mode or a plain one (the radio starts what
    // its memory holds, as at power-on); safe from any thread.
    void RequestPowerCycle(bool bootstrap);
    // Writes the trace and memory dumps when a dump directory was given.
    void Finish();

private:
    PtyHostOptions m_options;
    CPtyWire m_wire;
    std::unique_ptr<CSimRadio> m_radio;
    std::unique_ptr<CInterfaceBox> m_box;
};
