#include "WorkerHarness.h"

#include <algorithm>
#include <cstring>
#include <functional>

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

juce::String EventLog::firstLine (int kind) const
{
    const auto all = lines ({ kind });
    return all.empty() ? juce::String() : all.front();
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

int EventLog::questionsBefore (const juce::String& text, int occurrence) const
{
    int questions = 0, seen = 0;

    for (const auto& e : events)
    {
        if (e.source == Event::fromDialogs)
            ++questions;
        else if (e.source == Event::fromMain && e.id == MSG_NOTIFY && e.type == NOTIFY_LOG && e.text == text
                 && ++seen == occurrence)
            break;
    }

    return questions;
}

juce::String EventLog::describe() const
{
    juce::String s;

    for (const auto& e : events)
    {
        if (e.source == Event::fromDialogs)
        {
            s << "  asked: " << e.text << "\n";
        }
        else if (e.source == Event::fromMain && e.type == NOTIFY_LOG && e.id == MSG_NOTIFY)
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
    if (auto* question = dynamic_cast<const QuestionRecord*> (&message))
    {
        Event e;
        e.source = source;
        e.text = question->message;
        log.add (e);
        return;
    }

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
    recorder.postMessage (new QuestionRecord (a.message));
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
    auto d = std::make_unique<ScriptedDialogs> (questionListener);
    dialogs = d.get();
    worker = std::make_unique<MyCom> (&mainListener, std::move (d));
    worker->setListener (LISTENER_PAGE, &pageListener);
}

void WorkerFixture::TearDown()
{
    if (worker != nullptr)
    {
        // The worker gives its thread 1 s to end, which a sanitizer build on a
        // busy machine can overrun in the middle of a search or a transfer:
        // bring it to rest first (the quitting tests show quitting mid-way).
        // postLog answers -1 once the test has stopped the worker itself.
        if (dialogs != nullptr && worker->postLog (LOG_INFO, {}) == 0)
        {
            postJob (payload::makeCancel());
            stop();
            EXPECT_TRUE (waitFor ([&] { const auto s = worker->currentState(); return s == ST_CLOSED || s == ST_IDLE; }, 60000))
                << "the worker did not come to rest: state " << worker->currentState();
        }

        EXPECT_TRUE (worker->stopWorker()) << "the worker thread had to be killed";
    }

    worker.reset();
    runMessagesFor (5);   // let records for the gone worker be dropped
}

void WorkerFixture::start (const juce::File& firmware, const juce::String& portName, int baud)
{
    postFile (firmware);
    postPortOpen (portName, baud);
}

void WorkerFixture::postFile (const juce::File& firmware)
{
    juce::MemoryBlock bytes;
    firmware.loadFileAsData (bytes);
    postJob (payload::makeFirmwarePath (firmware.getFullPathName()));
    postJob (payload::makeFirmwareData (bytes.getData(), bytes.getSize()));
}

void WorkerFixture::postPortOpen (const juce::String& portName, int baud)
{
    postJob (payload::makePortOpen (portName, baud));
}

namespace
{
    // The first expected.size() elements of all, from its start or from the
    // first element equal to expected.front(); fewer while they have not come.
    template <typename T>
    std::vector<T> window (const std::vector<T>& all, const std::vector<T>& expected, bool fromFirstExpected)
    {
        auto begin = all.begin();

        if (fromFirstExpected && ! expected.empty())
            begin = std::find (all.begin(), all.end(), expected.front());

        const auto n = juce::jmin (expected.size(), (size_t) std::distance (begin, all.end()));
        return { begin, begin + (std::ptrdiff_t) n };
    }

    template <typename T>
    ::testing::AssertionResult awaitSequence (const std::function<std::vector<T>()>& read, const std::vector<T>& expected,
                                              bool fromFirstExpected, int timeoutMs, const EventLog& log)
    {
        runMessagesUntil ([&] { return window (read(), expected, fromFirstExpected).size() >= expected.size(); }, timeoutMs);
        const auto got = window (read(), expected, fromFirstExpected);

        if (got == expected)
            return ::testing::AssertionSuccess();

        return ::testing::AssertionFailure() << "got " << ::testing::PrintToString (got)
                                             << "\nexpected " << ::testing::PrintToString (expected)
                                             << "\nall that came:\n" << log.describe();
    }
}

::testing::AssertionResult WorkerFixture::linesAre (const std::vector<juce::String>& expected, int timeoutMs)
{
    return awaitSequence<juce::String> ([this] { return log.lines(); }, expected, false, timeoutMs, log);
}

::testing::AssertionResult WorkerFixture::linesFromAre (const std::vector<juce::String>& expected, int timeoutMs)
{
    return awaitSequence<juce::String> ([this] { return log.lines(); }, expected, true, timeoutMs, log);
}

::testing::AssertionResult WorkerFixture::noticesAre (const std::vector<int>& expected, int timeoutMs)
{
    return awaitSequence<int> ([this] { return log.notices(); }, expected, false, timeoutMs, log);
}

::testing::AssertionResult WorkerFixture::noticesFromAre (const std::vector<int>& expected, int timeoutMs)
{
    return awaitSequence<int> ([this] { return log.notices(); }, expected, true, timeoutMs, log);
}
