// Drives the worker from the command line, without a window, the way the
// firmware page does: path, file contents, then the port. Prints every status
// line and ends after the given number of transfers, or when the port cannot
// be opened or is lost (both with status 1).
#include "MyCom.h"
#include "MsgPayload.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <csignal>
#include <iostream>

namespace
{
std::atomic<bool> interrupted { false };

// Questions cannot be asked here: they are answered with Cancel.
class ConsoleDialogs : public WorkerDialogs
{
public:
    bool askOkCancel (const juce::String&, const juce::String& message, const juce::String&, const juce::String&) override
    {
        std::cout << "question (answered Cancel): " << message << std::endl;
        return false;
    }

    int askYesNoCancel (const juce::String&, const juce::String& message, const juce::String&,
                        const juce::String&, const juce::String&) override
    {
        std::cout << "question (answered Cancel): " << message << std::endl;
        return 0;
    }

    void showWarning (const juce::String& title, const juce::String& message, const juce::String&) override
    {
        std::cout << "[" << title << "] " << message << std::endl;
    }

    void dismissAll() override {}
};

class Console : public juce::MessageListener
{
public:
    Console (bool dumpsToUse) : dumps (dumpsToUse) {}

    void handleMessage (const juce::Message& message) override
    {
        auto* msg = dynamic_cast<const MyMsg*> (&message);

        if (msg == nullptr || msg->id != MSG_NOTIFY)
            return;

        if (msg->type == NOTIFY_LOG && msg->data != nullptr)
        {
            const auto text = payload::readLogText (*msg);

            // A progress line per block says the same thing many times over.
            if ((! dumps && (msg->value == LOG_SEND || msg->value == LOG_RECV)) || text == lastLine)
                return;

            std::cout << juce::Time::getCurrentTime().toString (false, true, true, true) << "  " << text << std::endl;
            lastLine = text;
        }
    }

    bool dumps;
    juce::String lastLine;
};

class Page : public juce::MessageListener
{
public:
    void handleMessage (const juce::Message& message) override
    {
        auto* msg = dynamic_cast<const MyMsg*> (&message);

        if (msg == nullptr || msg->id != MSG_NOTIFY)
            return;

        DeviceInfo info;

        if (msg->type == NOTIFY_DEVICE_INFO && payload::readDeviceInfo (*msg, info))
            std::cout << "device: " << juce::String ((const char*) info.name, 8).trimCharactersAtEnd (juce::String::charToString (0))
                      << std::endl;
        else if (msg->type == NOTIFY_FINISHED)
            ++finished;
        else if (msg->type == NOTIFY_FAILED)
            ++failed;
        else if (msg->type == NOTIFY_PORT_CLOSED)
            closed = true;
    }

    int finished = 0, failed = 0;
    bool closed = false;
};

void usage()
{
    std::cerr << "usage: flintmoor-headless --port NAME --file FIRMWARE.dsb [--baud N] [--transfers N]\n"
                 "                          [--address A0|A1|A2|A3] [--dumps]\n"
                 "  NAME is the device's name under /dev, e.g. ttyUSB0 or pts/3\n";
}
}

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    juce::StringPairArray options;
    bool dumps = false;

    for (int i = 1; i < argc; ++i)
    {
        const juce::String arg (argv[i]);

        if (arg == "--dumps")
            dumps = true;
        else if (arg.startsWith ("--") && i + 1 < argc)
            options.set (arg, argv[++i]);
        else
        {
            usage();
            return 2;
        }
    }

    const auto portName = options["--port"];
    const auto path = options["--file"];
    const int baud = options.containsKey ("--baud") ? options["--baud"].getIntValue() : 115200;
    const int transfers = options.containsKey ("--transfers") ? options["--transfers"].getIntValue() : 1;
    const auto address = options.containsKey ("--address") ? options["--address"] : juce::String ("A3");
    const auto addresses = juce::String ("&*#$");
    const int addressIndex = address.getTrailingIntValue();

    if (portName.isEmpty() || path.isEmpty() || ! address.startsWith ("A") || addressIndex < 0 || addressIndex > 3)
    {
        usage();
        return 2;
    }

    DeviceAddressChar = addresses[addressIndex];

    const auto file = juce::File::getCurrentWorkingDirectory().getChildFile (path);
    juce::MemoryBlock bytes;

    if (! file.loadFileAsData (bytes))
    {
        std::cerr << "cannot read " << file.getFullPathName() << std::endl;
        return 1;
    }

    std::signal (SIGINT, [] (int) { interrupted = true; });
    std::signal (SIGTERM, [] (int) { interrupted = true; });

    Console console (dumps);
    Page page;
    auto worker = std::make_unique<MyCom> (&console, std::make_unique<ConsoleDialogs>());
    worker->setListener (LISTENER_PAGE, &page);

    worker->postMessage (payload::makeFirmwarePath (file.getFullPathName()));
    worker->postMessage (payload::makeFirmwareData (bytes.getData(), bytes.getSize()));
    worker->postMessage (payload::makePortOpen (portName, baud));

    auto* mm = juce::MessageManager::getInstance();
    bool stopping = false;

    // Ends when the port has closed, or rests closed because it could not be opened.
    while (! page.closed && worker->currentState() != ST_CLOSED)
    {
        mm->runDispatchLoopUntil (20);

        if (! stopping && (interrupted || page.finished + page.failed >= transfers))
        {
            stopping = true;
            worker->postMessage (payload::makePortClose());
        }
    }

    worker.reset();
    std::cout << "finished " << page.finished << ", failed " << page.failed << std::endl;

    // A port that closed without being asked to was lost.
    const bool lost = page.closed && ! stopping;
    return page.failed == 0 && page.finished >= transfers && ! lost ? 0 : 1;
}
