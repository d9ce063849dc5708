#include "sim/ScriptedPeer.h"

#include "link/VeskMessage.h"

std::size_t CScriptedPeer::CompleteLength(const std::vector<uint8_t>& bytes)
{
    if (bytes.empty())
        return 0;
    if (bytes[0] == 0x55)
        return bytes.size() >= 2 ? 2 : 0;
    if (CVeskMessage::IsLongForm(bytes[0]) && bytes.size() < 4)
        return 0;
    return CVeskMessage::FrameLengthOf(bytes.data());
}

void CScriptedPeer::OnHostByte(uint8_t byte, const LineSettings& sentWith)
{
    m_pending.push_back(byte);
    std::size_t length = CompleteLength(m_pending);
    if (length == 0 || m_pending.size() < length)
        return;
    Request request{m_pending, m_wire.Now()};
    m_pending.clear();
    m_requests.push_back(request);
    Answer(request, sentWith);
}

void CScriptedPeer::Answer(const Request& request, const LineSettings& sentWith)
{
    Response response;
    if (!m_script.empty()) {
        response = std::move(m_script.front());
        m_script.pop_front();
    } else if (m_handler) {
        response = m_handler(request);
    } else {
        return;
    }
    LineSettings settings = response.sentWith.baud > 0 ? response.sentWith : sentWith;
    double time = m_wire.Now() + response.ackDelay;
    if (response.ack) {
        uint8_t ack = *response.ack;
        time = m_wire.SendToHost(&ack, 1, settings, time);
    }
    if (!response.reply.empty())
        m_wire.SendToHost(response.reply.data(), response.reply.size(), settings, time + response.replyDelay);
}

CScriptedPeer::Response CScriptedPeer::Ack(uint8_t ack)
{
    Response response;
    response.ack = ack;
    return response;
}

CScriptedPeer::Response CScriptedPeer::Reply(uint8_t opcode, const std::vector<uint8_t>& data, uint8_t ack)
{
    Response response = Ack(ack);
    response.reply = Frame(opcode, data);
    return response;
}

CScriptedPeer::Response CScriptedPeer::Silence()
{
    Response response;
    response.ack.reset();
    return response;
}

std::vector<uint8_t> CScriptedPeer::Frame(uint8_t opcode, const std::vector<uint8_t>& data, bool forceLong)
{
    CVeskMessage message;
    message.Build(opcode, data.data(), static_cast<uint16_t>(data.size()), forceLong ? 2 : 0);
    return {message.GetFrame(), message.GetFrame() + message.GetFrameLength()};
}
