#pragma once

#include "upgrade/CarryOver.h"

#include <string>

class CCodeplug;

// Writing a saved record back into a radio outside an upgrade (`tessarin carryover restore`),
// with the restore half of the engine's codeplug programming. The codeplug's link must be
// open on the radio, which runs its application.
class CCarryOverRestore {
public:
    // Takes the record's product line as the process's own (the layout's rules depend on it).
    CCarryOverRestore(CCodeplug& codeplug, const CarryOverRecord& record);

    // Checks that the radio's codeplug has the layout the record was saved from and holds
    // every block and entry the restore writes; raises CGenError 3 saying what differs.
    // Returns a line describing what was found.
    std::string CheckRadioLayout();
    // Writes the record's data into the radio and reads it back.
    void Restore();

private:
    CCodeplug& m_codeplug;
    const CarryOverRecord& m_record;
    std::string m_imageText;  // fixed-address layout: the radio's codeplug as image text
};
