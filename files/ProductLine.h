#pragma once

#include <string_view>

// One row of the product line table; the product line number is the row's id.
struct ProductLineRow {
    int id;
    const char* name;
    int titleString;        // names the main window
    int secondTitleString;  // names the about box
    int bitmap;             // start picture resource
    int bitmapWidth;
    int bitmapHeight;
};

constexpr int kProductLineCount = 14;
// Row 13 ("UNMATCHED") stands for any name that matches no other row.
constexpr int kUnmatchedProductLine = 13;

extern const ProductLineRow ProductLineTable[kProductLineCount];

// The number of the first row (from id 0) whose name equals `name`; 13 when none of rows 0 to 12
// does. Names compare exactly, case included.
int ProductLineNumberForName(std::string_view name);
// The text of a title string of the table: 153 and 156 "Radio Flashix", 154 and 157
// "Radio Refurbix"; empty for any other id.
const char* ProductLineTitleText(int stringId);
// True for the product lines with a recovery mode (11 and 12).
bool HasRecoveryMode(int productLine);

// Product line resolution at start: reads "patcher.dat" in the current directory and sets
// `number` from its PRODUCT_LINE block. When the file cannot be opened or loaded, `number`
// keeps its value and the result is false.
bool ResolveProductLine(int& number);
