#pragma once

#include "errors/Error.h"

#include <string>
#include <utility>

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

// The code and text of the CCommError a call raises ({-1, ""} when it raises none).
template <typename F>
std::pair<int, std::string> CommError(F&& call)
{
    try {
        call();
    } catch (const CCommError& e) {
        return {e.GetCode(), e.GetText()};
    }
    return {-1, ""};
}
