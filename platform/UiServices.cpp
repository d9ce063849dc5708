#include "platform/UiServices.h"

#include <cstdio>

int CHeadlessUi::MessageBox(const std::string& text, const std::string& caption, unsigned style)
{
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    return (style & MB_OKCANCEL) ? IDCANCEL : IDOK;
}

intptr_t CHeadlessUi::SendMainFrameMessage(unsigned, uintptr_t, intptr_t) { return 0; }

void CHeadlessUi::Quit(int) {}

namespace {
std::unique_ptr<CUiServices>& UiInstance()
{
    static std::unique_ptr<CUiServices> instance;
    return instance;
}
} // namespace

CUiServices& Ui()
{
    auto& instance = UiInstance();
    if (!instance)
        instance = std::make_unique<CHeadlessUi>();
    return *instance;
}

std::unique_ptr<CUiServices> InstallUi(std::unique_ptr<CUiServices> ui)
{
    auto previous = std::move(UiInstance());
    UiInstance() = std::move(ui);
    return previous;
}
