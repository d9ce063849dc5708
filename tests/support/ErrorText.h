#pragma once

#include "errors/Error.h"

#include <string>

// The text of the error a call raises ("" when it raises none).
template <typename F>
std::string ErrorText(F&& call)
{
    try {
        call();
    } catch (const CError& e) {
        return e.GetText();
    }
    return "";
}
