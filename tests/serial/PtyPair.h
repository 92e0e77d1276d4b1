#pragma once

#include <string>
#include <vector>

// A pseudo-terminal for the port tests: the test plays the far end on the
// master, the port under test opens slavePath.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();

    const std::string& slavePath() const { return slave; }

    void writeMaster (const std::vector<unsigned char>& bytes);

    // Reads from the master until count bytes came or the time ran out.
    std::vector<unsigned char> readMaster (size_t count, int timeoutMs = 20000);

    // The far end hangs up.
    void closeMaster();

private:
    int master = -1;
    std::string slave;
};
