#include "codeplug/FixedLayout.h"

namespace fixedlayout {

void FixChecksum(uint8_t* block, std::size_t size)
{
    if (size == 0)
        return;
    uint8_t sum = 0;
    for (std::size_t i = 0; i + 1 < size; ++i)
        sum = static_cast<uint8_t>(sum + block[i]);
    block[size - 1] = static_cast<uint8_t>(kSum - sum);
}

}  // namespace fixedlayout
