#include "sim/model/SimRig.h"

CSimRadioRig::CSimRadioRig(CSimPlatform& platform, RadioProfile profile)
{
    CSimSerial& wire = platform.Serial();
    // The radio powers on as it is made, so the line's clock must run first.
    wire.Attach(&platform.Clock(), nullptr);
    bool echo = profile.echo;
    m_radio = std::make_unique<CSimRadio>(wire, std::move(profile));
    m_box = std::make_unique<CInterfaceBox>(wire, *m_radio, echo);
    m_radio->SetInterfaceBox(m_box.get());
    platform.AttachPeer(m_box.get());
}
