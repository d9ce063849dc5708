#include "upgrade/RadioIdentityRead.h"

#include "link/VeskBroker.h"

#include <cstring>
#include <vector>

namespace {

constexpr uint8_t kModelSelector = 0;
constexpr uint8_t kRadioCodeSelector = 4;
constexpr uint8_t kSerialSelector = 11;
constexpr unsigned kModelBufferSize = 525;
constexpr unsigned kSerialBufferSize = 11;
constexpr unsigned kReplySize = 256;

}  // namespace

std::string CutText(const char* buffer, std::size_t size, std::size_t limit)
{
    std::size_t n = 0;
    while (n < size && n < limit && buffer[n] != '\0' && buffer[n] != ' ')
        ++n;
    return std::string(buffer, n);
}

RadioIdentity RequestRadioIdentity(CVeskBroker& broker)
{
    std::vector<char> model(kModelBufferSize, 0);
    broker.RadioStatusRequest(kModelSelector, model.data(), kModelBufferSize);
    std::vector<char> serial(kSerialBufferSize, 0);
    broker.RadioStatusRequest(kSerialSelector, serial.data(), kSerialBufferSize);
    // Asked as verification asks it; the code is its first two characters.
    std::vector<char> code(kReplySize, 0);
    broker.RadioStatusRequest(kRadioCodeSelector, code.data(), kReplySize);
    RadioIdentity identity;
    identity.modelText = CutText(model.data(), model.size(), kModelBufferSize - 1);
    identity.serial = CutText(serial.data(), serial.size(), kSerialBufferSize - 1);
    identity.radioCode = std::string(code.data(), strnlen(code.data(), 2));
    return identity;
}
