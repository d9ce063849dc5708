#include "files/ProductLine.h"

#include "files/FileManager.h"

#include <string>

const ProductLineRow ProductLineTable[kProductLineCount] = {
    {0, "TAMBER", 153, 156, 229, 446, 317},
    {1, "QUELLO2", 154, 157, 160, 446, 317},
    {2, "QUELLO3", 154, 157, 160, 446, 317},
    {3, "VORNE", 154, 157, 160, 446, 317},
    {4, "DORVAL", 153, 156, 228, 480, 360},
    {5, "PILLAN", 154, 157, 160, 446, 317},
    {6, "RUDOXA", 154, 157, 160, 446, 317},
    {7, "SIVEN", 154, 157, 160, 446, 317},
    {8, "BRANTO", 154, 157, 160, 446, 317},
    {9, "DORVAL_QUELLO", 153, 156, 228, 480, 360},
    {10, "MOVAR_X", 154, 157, 160, 446, 317},
    {11, "LINDOR", 154, 157, 160, 446, 317},
    {12, "MOVAR_F", 154, 157, 229, 446, 317},
    {13, "UNMATCHED", 154, 157, 160, 446, 317},
};

int ProductLineNumberForName(std::string_view name)
{
    for (int id = 0; id < kUnmatchedProductLine; ++id)
        if (name == ProductLineTable[id].name)
            return id;
    return kUnmatchedProductLine;
}

const char* ProductLineTitleText(int stringId)
{
    switch (stringId) {
    case 153:
    case 156: return "Radio Flashix";
    case 154:
    case 157: return "Radio Refurbix";
    default: return "";
    }
}

bool HasRecoveryMode(int productLine) { return productLine == 11 || productLine == 12; }

bool ResolveProductLine(int& number)
{
    FileManager config;
    if (!config.Open() || !config.Load())
        return false;
    std::string name;
    config.GetProductLine(name);
    number = ProductLineNumberForName(name);
    return true;
}
