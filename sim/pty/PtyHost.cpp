#include "sim/pty/PtyHost.h"

#include "sim/model/FaultPlan.h"
#include "sim/model/RadioProfile.h"

CPtyHost::CPtyHost(const PtyHostOptions& options) : m_options(options)
{
    RadioProfile profile = LoadRadioProfile(options.profile);
    std::vector<FaultRule> faults;
    for (const std::string& spec : options.faults)
        faults.push_back(ParseFaultSpec(spec));
    bool echo = profile.echo;
    m_radio = std::make_unique<CSimRadio>(m_wire, std::move(profile));
    m_box = std::make_unique<CInterfaceBox>(m_wire, *m_radio, echo);
    m_radio->SetInterfaceBox(m_box.get());
    m_radio->SetAutoBootstrap(options.autoBootstrap);
    for (const FaultRule& rule : faults)
        m_radio->AddFault(rule);
    m_wire.SetPeer(m_box.get());
    m_wire.Publish(options.link, options.replaceLink);
}

void CPtyHost::RequestPowerCycle(bool bootstrap)
{
    m_wire.Post([this, bootstrap] { m_radio->PowerCycle(bootstrap); });
}

void CPtyHost::Finish()
{
    if (!m_options.dumpDir.empty())
        m_radio->WriteDumps(m_options.dumpDir);
}
