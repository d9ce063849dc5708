#pragma once

#include "upgrade/CarryOver.h"

#include <string>

class CCodeplug;

// What a person does with a record that is kept: press Program again on its radio with its kit,
// and, when it holds the radio's own data, the restore command that gives back only that data.
// One sentence or two, naming the kit and the file.
std::string CarryOverAdvice(const CarryOverRecord& record);

// Writing a saved record back into a radio outside an upgrade (`tessarin carryover restore`),
// with the restore half of the engine's codeplug programming. The codeplug's link must be
// open on the radio, which runs its application.
//
// A record goes only into the radio it was saved from, only when that radio holds the codeplug
// image its data was carried into: the checks run in this order before anything is written,
// and each raises CGenError 3 saying why the record is refused and what to do; nothing is
// written to the radio by any of them.
class CCarryOverRestore {
public:
    // Takes the record's product line as the process's own (the layout's rules depend on it).
    CCarryOverRestore(CCodeplug& codeplug, const CarryOverRecord& record);

    // Refuses a record that would write nothing (no codeplug mode, no saved data) or that does
    // not name its radio and the image its data was carried into (a record of format 1).
    static void CheckRecord(const CarryOverRecord& record);
    // Checks the radio on the port before anything is written: its identity (as
    // RequestRadioIdentity reads it) must be the record's, its codeplug over the record's
    // region must be the image the record's data was carried into (by fingerprint), and its
    // codeplug must have the layout the record was saved from with every block and entry the
    // restore writes. Returns what was found, for the person at the bench.
    std::string Check(const RadioIdentity& radio);
    // The last of those checks alone.
    std::string CheckRadioLayout();
    // Writes the record's data into the radio and reads it back; raises when it does not read
    // back as written.
    void Restore();

private:
    void CheckIdentity(const RadioIdentity& radio) const;
    std::string CheckImage();

    CCodeplug& m_codeplug;
    const CarryOverRecord& m_record;
    std::string m_imageText;  // fixed-address layout: the radio's codeplug as image text
};
