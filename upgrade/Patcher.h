#pragma once

#include "upgrade/UpgradePlan.h"

#include <cstdint>
#include <functional>
#include <memory>

class CCodeplug;

// Applies a patch group to the radio: checks bytes of its status replies, reads codeplug
// blocks, changes bits of single bytes in them and writes the blocks back, one entry after
// another with a progress step each and the Cancel button tested after each; resets the radio
// at the end.
class CPatcher {
public:
    // The codeplug layout: 2 the pointer-table layout, 3 the fixed-address layout, any other
    // value the block model.
    explicit CPatcher(int codeplugType);
    CPatcher(const CPatcher&) = delete;
    CPatcher& operator=(const CPatcher&) = delete;
    virtual ~CPatcher();

    // The codeplug image text and the two-character radio code (fixed-address layout). The
    // text must outlive the patcher.
    void SetImage(const char* imageText, const char* radioCode);
    // Runs the entries up to the end entry. False when the codeplug cannot be accessed, the
    // buffer cannot be had, a verify entry fails, the user cancels or an error is raised.
    bool UpdateRadio(const PatchEntries& entries, int port, uint8_t echoMode, int baud);
    // Called after each entry's progress step (the engine's time left counts them).
    void SetStepHook(std::function<void()> hook) { m_stepHook = std::move(hook); }

    static constexpr uint32_t kBlockBufferSize = 2048;
    static constexpr uint32_t kReplyBufferSize = 30;

private:
    // Runs the entries; false when the run must end unsuccessfully (logged).
    bool RunEntries(const PatchEntries& entries, uint8_t* block, uint32_t count);

    // The progress step of an entry done.
    void StepDone();

    std::function<void()> m_stepHook;
    uint8_t m_lastStatusId = 255;
    std::unique_ptr<CCodeplug> m_codeplug;
};
