// Writes firmware of several sizes into the simulated device and prints how
// long the transfers take, against the wire time of what crossed the line.
// Not a test: it prints figures, and judges nothing.
#include "DsbFile.h"
#include "MsgPayload.h"
#include "MyCom.h"
#include "SimDeviceProcess.h"
#include "TempFolder.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdio>

namespace
{
struct Outcome : public juce::MessageListener
{
    void handleMessage (const juce::Message& m) override
    {
        if (auto* msg = dynamic_cast<const MyMsg*> (&m))
            if (msg->id == MSG_NOTIFY && (msg->type == NOTIFY_FINISHED || msg->type == NOTIFY_FAILED))
                result = msg->type;
    }

    int result = -1;
};

struct Quiet : public juce::MessageListener
{
    void handleMessage (const juce::Message&) override {}
};

struct NoQuestions : public WorkerDialogs
{
    bool askOkCancel (const juce::String&, const juce::String&, const juce::String&, const juce::String&) override { return false; }
    int askYesNoCancel (const juce::String&, const juce::String&, const juce::String&, const juce::String&, const juce::String&) override { return 0; }
    void showWarning (const juce::String&, const juce::String&, const juce::String&) override {}
    void dismissAll() override {}
};

struct Figures
{
    bool ok = false;
    int exchanges = 0;
    double totalMs = 0, meanMs = 0, worstMs = 0, wireMs = 0;
};

double fieldOf (const juce::String& event, const juce::String& key)
{
    return event.fromFirstOccurrenceOf (" " + key + "=", false, false).upToFirstOccurrenceOf (" ", false, false).getDoubleValue();
}

Figures run (size_t fileBytes, int baud, const TempFolder& folder)
{
    juce::StringArray options { "--name", "BENCH001", "--timestamps" };
    if (baud > 0)
        options.addArray ({ "--baud", juce::String (baud) });

    SimDeviceProcess device (options);
    Figures f;

    if (! device.isRunning())
        return f;

    const auto bytes = dsb::makeFile ("BENCH001", dsb::randomImage (fileBytes - dsb::headerSize, (std::uint32_t) fileBytes));
    const auto file = folder / ("bench-" + juce::String ((int) fileBytes) + ".dsb");
    file.replaceWithData (bytes.data(), bytes.size());

    Quiet mainListener;
    Outcome page;
    auto worker = std::make_unique<MyCom> (&mainListener, std::make_unique<NoQuestions>());
    worker->setListener (LISTENER_PAGE, &page);
    worker->postMessage (payload::makeFirmwarePath (file.getFullPathName()));
    worker->postMessage (payload::makeFirmwareData (bytes.data(), bytes.size()));
    worker->postMessage (payload::makePortOpen (device.hostPath().fromFirstOccurrenceOf ("/dev/", false, false), baud > 0 ? baud : 115200));

    while (page.result < 0)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (20);

    device.waitForEvent ("done device=1", 5000);
    worker.reset();

    // Exchange k takes from the device's receipt of command k to that of command k + 1.
    std::vector<double> times;
    const double charMs = baud > 0 ? 10000.0 / baud : 0.0;

    for (const auto& e : device.events())
    {
        if (! e.startsWith ("command device=1"))
            continue;

        times.push_back (fieldOf (e, "t"));
        const int hostFrame = 2 * (7 + (int) fieldOf (e, "count")) + 9;
        const int reply = e.contains ("sub=f7") ? 19 : 11;
        f.wireMs += (hostFrame + reply) * charMs;
    }

    f.ok = page.result == NOTIFY_FINISHED;
    f.exchanges = (int) times.size();

    for (size_t i = 1; i < times.size(); ++i)
        f.worstMs = juce::jmax (f.worstMs, times[i] - times[i - 1]);

    if (times.size() > 1)
    {
        f.totalMs = times.back() - times.front();
        f.meanMs = f.totalMs / (double) (times.size() - 1);
        // The last exchange, the verify, is not in the span: add its wire time back out.
        f.wireMs -= (2 * 7 + 9 + 19) * charMs;
    }

    return f;
}
}

int main()
{
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    DeviceAddressChar = '$';
    TempFolder folder;

    const int rates[] = { 0, 115200, 921600 };
    const size_t sizes[] = { 4 * 1024, 64 * 1024, 1024 * 1024 };

    std::printf ("%-8s %9s %9s %10s %11s %10s %10s %10s %7s\n",
                 "baud", "file", "exchanges", "total s", "blocks/s", "mean ms", "worst ms", "wire s", "ratio");

    for (const int baud : rates)
    {
        for (const auto size : sizes)
        {
            const auto f = run (size, baud, folder);
            const auto blocks = (double) ((size - dsb::headerSize + 63) / 64);
            std::printf ("%-8s %8zuK %9d %10.3f %11.0f %10.3f %10.3f %10.3f %7s%s\n",
                         baud > 0 ? juce::String (baud).toRawUTF8() : "unpaced", size / 1024, f.exchanges,
                         f.totalMs / 1000.0, blocks * 1000.0 / f.totalMs, f.meanMs, f.worstMs, f.wireMs / 1000.0,
                         baud > 0 ? juce::String (f.totalMs / f.wireMs, 3).toRawUTF8() : "-",
                         f.ok ? "" : "  (transfer failed)");
            std::fflush (stdout);
        }
    }

    return 0;
}
