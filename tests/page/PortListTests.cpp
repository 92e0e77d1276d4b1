// The Linux port list: hardware ttys from sysfs and /dev links to pseudo-terminals.
#include "MessageLoop.h"
#include "PortList.h"
#include "PtyLink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

namespace
{
    bool listed (const juce::String& name)
    {
        const auto ports = platform::listSerialPorts();
        return std::find (ports.begin(), ports.end(), name.toStdString()) != ports.end();
    }
}

TEST (PortList, TakesOnlyTtyLinksToPseudoTerminals)
{
    Pty pty;
    ASSERT_TRUE (pty.slavePath().startsWith ("/dev/pts/"));

    struct Case { const char* prefix; juce::String target; bool expected; };
    const Case cases[] =
    {
        { "ttyFMtest", pty.slavePath(), true },            // as socat makes it
        { "ttyFMtest", "/dev/null", false },               // a character device, but no terminal
        { "ttyFMtest", "/dev/pts/ptmx", false },           // the multiplexer, no terminal of its own
        { "ttyFMtest", "/dev/pts/flintmoor-gone", false }, // dangling
        { "cuaFMtest", pty.slavePath(), false },           // not named tty*
    };

    for (const auto& c : cases)
    {
        DevLink link (c.prefix, "kind", c.target);
        ASSERT_TRUE (link.ok()) << "cannot create /dev/" << link.name();
        EXPECT_EQ (listed (link.name()), c.expected) << c.prefix << " -> " << c.target;
    }
}

TEST (PortList, LeavesOutVirtualTerminals)
{
    for (auto name : { "tty", "tty0", "tty1", "console", "ptmx" })
        EXPECT_FALSE (listed (name)) << name;
}

TEST (PortList, StableOrderAtMostSixteen)
{
    // Named to sort after the links of other tests running at the same time.
    Pty pty;
    std::vector<std::unique_ptr<DevLink>> links;

    for (int i = 0; i < 20; ++i)
        links.push_back (std::make_unique<DevLink> ("ttyZZcap", juce::String (i), pty.slavePath()));

    // Other tests add and remove links meanwhile: two listings in a row agree
    // once the others hold still for a moment.
    std::vector<std::string> first;
    EXPECT_TRUE (waitUntil ([&] { first = platform::listSerialPorts(); return platform::listSerialPorts() == first; }, 20000));
    EXPECT_EQ (first.size(), 16u);

    // Ours come in numeric order (_2 before _10, not _0, _1, _10, ...), and
    // the cut keeps the first.
    std::vector<std::string> ours;

    for (const auto& name : first)
        if (juce::String (name).startsWith ("ttyZZcap" + juce::String ((int) getpid()) + "_"))
            ours.push_back (name);

    // Links of other runs may come first; three of ours show the order.
    ASSERT_GE (ours.size(), 3u);

    for (size_t i = 0; i < ours.size(); ++i)
        EXPECT_EQ (ours[i], links[i]->name().toStdString());
}
