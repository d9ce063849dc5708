#include "app/ShownMessages.h"

#include "platform/UiServices.h"

void CShownMessages::Record(std::string caption, std::string text, std::string answer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_shown.push_back({std::move(caption), std::move(text), std::move(answer)});
}

void CShownMessages::RecordBox(const std::string& caption, const std::string& text, unsigned style, int answer)
{
    const bool question = (style & 0x0F) == MB_OKCANCEL;
    Record(caption, text, question && answer != IDOK ? "Cancel" : "OK");
}

std::vector<ShownMessage> CShownMessages::All() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_shown;
}

std::size_t CShownMessages::Count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_shown.size();
}

std::vector<ShownMessage> CShownMessages::Since(std::size_t count) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (count >= m_shown.size())
        return {};
    return {m_shown.begin() + static_cast<std::ptrdiff_t>(count), m_shown.end()};
}
