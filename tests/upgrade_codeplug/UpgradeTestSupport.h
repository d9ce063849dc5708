#pragma once

#include "codeplug/Codeplug.h"
#include "errors/Error.h"
#include "files/SRecord.h"
#include "sim/SimPlatform.h"
#include "sim/model/SimRig.h"
#include "tests/support/ErrorText.h"
#include "tests/support/FlashImage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// The text of a file ("" when it cannot be read).
inline std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// One of the layout images of kits/layouts.
inline std::vector<uint8_t> LayoutImage(const std::string& name)
{
    return SRecordBytes(ReadText(std::string(TESSARIN_LAYOUTS_DIR) + "/" + name + ".s19"));
}

