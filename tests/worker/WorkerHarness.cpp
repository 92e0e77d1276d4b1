#include "WorkerHarness.h"

#include <cstring>

std::vector<juce::String> EventLog::lines (std::initializer_list<int> kinds) const
{
    std::vector<juce::String> result;

    for (const auto& e : events)
    {
        if (e.source != Event::fromMain || e.id != MSG_NOTIFY || e.type != NOTIFY_LOG)
            continue;

        const bool wanted = kinds.size() == 0 ? (e.value != LOG_SEND && e.value != LOG_RECV)
                                              : std::find (kinds.begin(), kinds.end(), e.value) != kinds.end();
        if (wanted)
            result.push_back (e.text);
    }

    return result;
}

std::vector<int> EventLog::notices() const
{
    std::vector<int> result;

    for (const auto& e : events)
        if (e.source == Event::fromPage && e.id == MSG_NOTIFY)
            result.push_back (e.type);

    return result;
}

int EventLog::count (Event::Source source, int id, int type) const
{
    return (int) std::count_if (events.begin(), events.end(), [&] (const Event& e)
    {
        return e.source == source && e.id == id && e.type == type;
    });
}

bool EventLog::hasLine (const juce::String& text) const
{
    return countLines (text) > 0;
}

int EventLog::countLines (const juce::String& text) const
{
    const auto all = lines ({ LOG_INFO, LOG_BEGIN, LOG_FAIL, LOG_DONE, LOG_ERROR, LOG_SEND, LOG_RECV });
    return (int) std::count (all.begin(), all.end(), text);
}

juce::String EventLog::describe() const
{
    juce::String s;

    for (const auto& e : events)
    {
        if (e.source == Event::fromMain && e.type == NOTIFY_LOG && e.id == MSG_NOTIFY)
        {
            if (e.value != LOG_SEND && e.value != LOG_RECV)
                s << "  log " << e.value << ": " << e.text << "\n";
        }
        else
        {
            s << "  " << (e.source == Event::fromMain ? "main" : "page") << " id " << juce::String::toHexString (e.id)
              << " type " << e.type << "\n";
        }
    }

    return s;
}

void RecordingListener::handleMessage (const juce::Message& message)
{
    auto* msg = dynamic_cast<const MyMsg*> (&message);
    ASSERT_NE (msg, nullptr);

    Event e;
    e.source = source;
    e.id = msg->id;
    e.type = msg->type;
    e.value = msg->value;
    e.hasData = msg->data != nullptr;

    if (source == Event::fromMain && msg->id == MSG_NOTIFY && msg->type == NOTIFY_LOG)
    {
        EXPECT_EQ (msg->dataSize, (size_t) payload::logBufferBytes);
        e.text = payload::readLogText (*msg);
    }

    if (source == Event::fromPage && msg->id == MSG_NOTIFY && msg->type == NOTIFY_DEVICE_INFO)
    {
        EXPECT_TRUE (payload::readDeviceInfo (*msg, e.info));
    }

    log.add (e);
}

int ScriptedDialogs::next (Asked a)
{
    const std::lock_guard<std::mutex> g (lock);
    questions.push_back (a);

    if (answers.empty())
        return 0;

    const int result = answers.front();
    answers.pop_front();
    return result;
}

bool ScriptedDialogs::askOkCancel (const juce::String& title, const juce::String& message,
                                   const juce::String& b1, const juce::String& b2)
{
    return next ({ title, message, juce::StringArray { b1, b2 } }) != 0;
}

int ScriptedDialogs::askYesNoCancel (const juce::String& title, const juce::String& message,
                                     const juce::String& b1, const juce::String& b2, const juce::String& b3)
{
    return next ({ title, message, juce::StringArray { b1, b2, b3 } });
}

void ScriptedDialogs::showWarning (const juce::String& title, const juce::String& message, const juce::String& button)
{
    const std::lock_guard<std::mutex> g (lock);
    warningBoxes.push_back ({ title, message, juce::StringArray { button } });
}

void WorkerFixture::SetUp()
{
    DeviceAddressChar = '$';
    auto d = std::make_unique<ScriptedDialogs>();
    dialogs = d.get();
    worker = std::make_unique<MyCom> (&mainListener, std::move (d));
    worker->setListener (LISTENER_PAGE, &pageListener);
}

void WorkerFixture::TearDown()
{
    if (worker != nullptr)
    {
        EXPECT_TRUE (worker->stopWorker()) << "the worker thread had to be killed";
    }

    worker.reset();
    runMessagesFor (5);   // let records for the gone worker be dropped
}

void WorkerFixture::start (const juce::File& firmware, const juce::String& portName, int baud)
{
    juce::MemoryBlock bytes;
    firmware.loadFileAsData (bytes);
    postJob (payload::makeFirmwarePath (firmware.getFullPathName()));
    postJob (payload::makeFirmwareData (bytes.getData(), bytes.getSize()));
    postJob (payload::makePortOpen (portName, baud));
}
