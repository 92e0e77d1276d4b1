#include "PtyPeer.h"

#include "Bridge.h"

// Under Wine the far end is the line bridge's raw line on the mapped COM port.
struct PtyPeer::Line
{
    RemoteLine remote;
};

PtyPeer::PtyPeer() : line (std::make_unique<Line>()), name (bridge::portName())
{
}

PtyPeer::~PtyPeer() = default;

std::string PtyPeer::read (int timeoutMs)
{
    // The first byte may take the whole wait; what follows it is already there.
    auto bytes = line->remote.read (1, timeoutMs);

    if (! bytes.empty())
    {
        const auto more = line->remote.read (4096, 5);
        bytes.insert (bytes.end(), more.begin(), more.end());
    }

    std::string result (bytes.begin(), bytes.end());
    seen += result;
    return result;
}

void PtyPeer::write (const std::string& bytes)
{
    line->remote.write (std::vector<unsigned char> (bytes.begin(), bytes.end()));
}
