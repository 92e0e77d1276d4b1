#include "MyCom.h"

#include "DeviceProtocol.h"
#include "MsgPayload.h"

#include <cstring>

namespace
{
    constexpr std::uint32_t maxBlocks = 0xFFFF;   // the block count travels as 16 bits
    constexpr int headerStageBytes = 256;
    constexpr std::uint32_t sumChunkBytes = 4096;

    // Up to 8 bytes shown as 8-bit characters, up to the first zero byte.
    juce::String eightBitText (const std::uint8_t* bytes)
    {
        juce::String text;

        for (int i = 0; i < 8 && bytes[i] != 0; ++i)
            text += juce::String::charToString ((juce::juce_wchar) bytes[i]);

        return text;
    }

    std::uint32_t readBigEndian32 (const std::uint8_t* b)
    {
        return ((std::uint32_t) b[0] << 24) | ((std::uint32_t) b[1] << 16) | ((std::uint32_t) b[2] << 8) | b[3];
    }

    std::uint32_t readLittleEndian32 (const std::uint8_t* b)
    {
        return ((std::uint32_t) b[3] << 24) | ((std::uint32_t) b[2] << 16) | ((std::uint32_t) b[1] << 8) | b[0];
    }
}

int MyCom::downloadFirmware (const DownloadRequest& job)
{
    // The path is taken once, here: a Stop may forget it while we run.
    juce::String path;
    {
        const juce::ScopedLock sl (jobLock);

        if (job.pathBytes < 1 || job.pathBytes > maxTransferPathBytes)
        {
            postLog (LOG_ERROR, juce::translate ("Firmware file path error!"));
            return -4;
        }

        path = payload::readUtf16 (job.path, (size_t) job.pathBytes);
    }

    // Load.
    const auto file = juce::File::getCurrentWorkingDirectory().getChildFile (path);
    juce::MemoryBlock fileData;
    juce::String fileNameText;
    const bool exists = file.exists();
    bool loaded = false;

    if (exists)
    {
        loaded = file.loadFileAsData (fileData);

        if (! loaded)
            postLog (LOG_ERROR, juce::translate ("Loading firmware file fail!"));

        fileNameText = file.getFileName() + "  ";
    }

    // Choose the data.
    juce::MemoryBlock data;
    const auto snapshot = copySnapshot();

    if (! exists || ! loaded)
    {
        const auto question = exists ? "The file read fail,Are you sure to load original file?"
                                     : "The file does not exist,Do you want to apply original file?";

        if (! dialogs->askOkCancel (juce::translate ("Tips"), juce::translate (question),
                                    juce::translate ("loading original file"), juce::translate ("Cancel")))
            return -5;

        data = snapshot;
    }
    else if (fileData == snapshot)
    {
        data = std::move (fileData);
    }
    else
    {
        const int answer = dialogs->askYesNoCancel (juce::translate ("Tips"),
                                                    juce::translate ("The file has been changed,Do you want to apply new file?"),
                                                    juce::translate ("loading new file"),
                                                    juce::translate ("loading original file"),
                                                    juce::translate ("Cancel"));
        if (answer == 1)
            data = std::move (fileData);
        else if (answer == 2)
            data = snapshot;
        else
            return -5;
    }

    const auto* bytes = static_cast<const std::uint8_t*> (data.getData());
    const auto size = (std::uint32_t) data.getSize();

    // Stage the header; bytes a short file lacks count as zeros.
    std::memset (block, 0, headerStageBytes);
    if (size > 0)
        std::memcpy (block, bytes, juce::jmin<std::uint32_t> (size, headerStageBytes));

    // Tag.
    if (std::memcmp (block + 4, deviceInfo.name, firmwareTagBytes) != 0)
    {
        postLog (LOG_ERROR, juce::translate ("Firmware tag error!") + "  MCU:" + eightBitText (deviceInfo.name)
                                + "   File:" + eightBitText (block + 4));
        return -2;
    }

    // Checksum over everything after the first four bytes.
    const std::uint32_t expected = readBigEndian32 (block);
    std::uint32_t computed = 0;

    for (std::uint32_t pos = 4; pos < size; pos += sumChunkBytes)
    {
        // A large file sums slowly under load; a quit should not wait for it.
        if (shouldStop())
            return -5;

        const auto chunk = juce::jmin (sumChunkBytes, size - pos);
        std::memcpy (block, bytes + pos, chunk);

        for (std::uint32_t i = 0; i < chunk; ++i)
            computed += block[i];
    }

    if (expected != computed)
    {
        postLog (LOG_ERROR, juce::translate ("Firmware file cs error!")
                                + juce::String::formatted (" :%x,%x.", (unsigned int) expected, (unsigned int) computed));
        return -3;
    }

    // A count that does not fit 16 bits would wrap on the wire: at 65536 the
    // device would be asked to verify 0 blocks.
    const std::uint32_t imageBytes = size > firmwareHeaderBytes ? size - firmwareHeaderBytes : 0;
    const std::uint32_t blockCount = (imageBytes + firmwareBlockBytes - 1) / firmwareBlockBytes;

    if (blockCount > maxBlocks)
    {
        postLog (LOG_ERROR, "Firmware file too large!" + juce::String::formatted (" :%u blocks.", (unsigned int) blockCount));
        return -6;
    }

    // Start.
    downloading = 1;
    postLog (LOG_BEGIN, juce::translate ("Start firmware download") + "...");

    std::uint32_t verifySum = 0;
    std::uint32_t blocks = 0;
    std::uint32_t offset = firmwareHeaderBytes;

    bool answered = sendSubCommand (DL_BEGIN, beginParameter, 0)
                     && sendSubCommand (DL_PREPARE, 0, 0);

    while (answered && offset < size)
    {
        const auto n = juce::jmin<std::uint32_t> (size - offset, firmwareBlockBytes);
        std::memset (block, 0, firmwareBlockBytes);
        std::memcpy (block, bytes + offset, n);

        for (int i = 0; i < firmwareBlockBytes; ++i)
            verifySum += block[i];

        if (downloading == 0)
        {
            postLog (LOG_DONE, juce::translate ("Firmware cancel!"));
            return -5;
        }

        if (! (sendSubCommand (DL_WRITE, (int) blocks, firmwareBlockBytes) && sendSubCommand (DL_COMMIT, 0, 0)))
            break;

        offset += n;
        ++blocks;

        postLog (LOG_INFO, fileNameText + juce::translate ("Firmware download")
                             + juce::String::formatted (" :%d%%.", (int) (offset * 100u / size)));
    }

    const bool complete = answered && offset == size;
    const bool endAnswered = complete
                              && sendSubCommand (DL_WRITE, 0, 0)
                              && sendSubCommand (DL_COMMIT, 0, 0);

    postLog (LOG_INFO, "Firmware Verify ...");

    bool success = endAnswered;

    if (endAnswered && blocks > 0)
    {
        success = sendSubCommand (DL_VERIFY, (int) blocks, 0)
                   && readLittleEndian32 (reply->bytes + 2) == verifySum;
    }

    if (success)
    {
        postLog (LOG_DONE, juce::translate ("Firmware download finish!"));
        postStatus (LISTENER_PAGE, NOTIFY_FINISHED, nullptr);
    }
    else
    {
        postLog (LOG_FAIL, juce::translate ("Firmware download fail!"));
        postStatus (LISTENER_PAGE, NOTIFY_FAILED, nullptr);
    }

    return 0;
}
