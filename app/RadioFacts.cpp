#include "app/RadioFacts.h"

#include "app/UpgradeForm.h"
#include "upgrade/RadioUpgrade.h"

#include <nlohmann/json.hpp>

using json = nlohmann::json;

json RadioFactsJson(const CUpgradeForm& form, const std::string& firmwareFile)
{
    const RadioIdentity& radio = form.Identity();
    if (!radio.Known())
        return nullptr;
    auto textOrNull = [](const std::string& text) { return text.empty() ? json(nullptr) : json(text); };
    int kilobytes = FlashKilobytesOf(firmwareFile);
    return json{{"model", radio.modelText},
                {"serial", radio.serial},
                {"radioCode", radio.radioCode},
                {"version", textOrNull(form.RadioVersion())},
                {"release", textOrNull(form.RadioRelease())},
                {"level", form.RadioLevel() < 0 ? json(nullptr) : json(form.RadioLevel())},
                {"codeplugLayout", form.CodeplugType()},
                {"flashKilobytes", kilobytes == 0 ? json(nullptr) : json(kilobytes)}};
}
