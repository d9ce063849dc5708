#pragma once

#include "sim/InterfaceBox.h"
#include "sim/SimPlatform.h"
#include "sim/model/SimRadio.h"

#include <memory>

// A simulated radio behind its interface box, wired to the simulated platform's port: what a
// test needs to talk to the model in-process on the virtual clock.
class CSimRadioRig {
public:
    CSimRadioRig(CSimPlatform& platform, RadioProfile profile);
    CSimRadioRig(const CSimRadioRig&) = delete;
    CSimRadioRig& operator=(const CSimRadioRig&) = delete;

    CSimRadio& Radio() { return *m_radio; }
    CInterfaceBox& Box() { return *m_box; }

private:
    std::unique_ptr<CSimRadio> m_radio;
    std::unique_ptr<CInterfaceBox> m_box;
};
