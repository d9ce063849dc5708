#pragma once

#include "codeplug/Codeplug.h"
#include "authoring/CodeplugBuilder.h"
#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "errors/Log.h"
#include "tests/support/ErrorText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// An image built from a description and loaded into a codeplug object.
inline std::vector<uint8_t> BuildImage(const std::string& description)
{
    return CCodeplugBuilder().Build(description);
}

inline void LoadImage(CCodeplug& codeplug, const std::vector<uint8_t>& image)
{
    codeplug.SetImage(image.data(), static_cast<uint32_t>(image.size()));
}

inline std::vector<uint8_t> ImageOf(const CCodeplug& codeplug)
{
    const ImageBuffer& image = codeplug.GetImage();
    return std::vector<uint8_t>(image.data, image.data + codeplug.GetImageSize());
}

inline uint8_t Sum(const std::vector<uint8_t>& bytes, uint32_t from, uint32_t to)
{
    uint8_t sum = 0;
    for (uint32_t a = from; a <= to; ++a)
        sum = static_cast<uint8_t>(sum + bytes[a]);
    return sum;
}

// The addresses at which two images differ.
inline std::vector<uint32_t> Differences(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    std::vector<uint32_t> out;
    for (uint32_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i])
            out.push_back(i);
    return out;
}

// The ADK frame every block-model test image shares: region 1 below 0x40, region 2 below
// 0x80, region 3 from 0x80 to 0x3FF with its checksum there; vector table at 0x92.
inline const char* kAdkFrame = R"(
size 1024
adk p1=0x40 p2=0x80 l2=0x37F p3=0x90 flag=1 word9=0x1234 word4=0x5678
)";
