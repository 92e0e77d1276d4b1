#pragma once

#include "MyCom.h"
#include "MessageLoop.h"
#include "MsgPayload.h"

#include <gtest/gtest.h>

#include <deque>
#include <mutex>
#include <vector>

// What the worker's two listeners received, in the order it was delivered,
// and the questions it asked, in their place among them.
struct Event
{
    enum Source { fromMain, fromPage, fromDialogs } source;
    int id = 0, type = 0, value = 0;
    bool hasData = false;
    juce::String text;      // log lines; the message of a question
    DeviceInfo info {};     // NOTIFY_DEVICE_INFO
};

// Posted by ScriptedDialogs from the worker thread as it is asked, so that the
// question takes its place among the records the worker posts.
struct QuestionRecord : public juce::Message
{
    explicit QuestionRecord (const juce::String& m) : message (m) {}
    juce::String message;
};

class EventLog
{
public:
    void add (const Event& e) { events.push_back (e); }
    const std::vector<Event>& all() const { return events; }
    void clear() { events.clear(); }

    // Log lines of the given kinds (all but the frame dumps when empty).
    std::vector<juce::String> lines (std::initializer_list<int> kinds = {}) const;
    juce::String firstLine (int kind) const;   // empty when there is none
    std::vector<int> notices() const;   // the page's MSG_NOTIFY types
    int count (Event::Source source, int id, int type) const;
    bool hasLine (const juce::String& text) const;
    int countLines (const juce::String& text) const;
    // Questions asked before the nth line that equals text.
    int questionsBefore (const juce::String& text, int occurrence) const;
    juce::String describe() const;

private:
    std::vector<Event> events;
};

class RecordingListener : public juce::MessageListener
{
public:
    RecordingListener (EventLog& logToUse, Event::Source sourceToUse) : log (logToUse), source (sourceToUse) {}
    void handleMessage (const juce::Message& message) override;

private:
    EventLog& log;
    Event::Source source;
};

// Answers the worker's questions from a script and records what was asked.
class ScriptedDialogs : public WorkerDialogs
{
public:
    struct Asked { juce::String title, message; juce::StringArray buttons; };

    // Where each question is also posted as a QuestionRecord; set before the worker starts.
    explicit ScriptedDialogs (juce::MessageListener& recorderToUse) : recorder (recorderToUse) {}

    void answer (int result) { const std::lock_guard<std::mutex> g (lock); answers.push_back (result); }
    std::vector<Asked> asked() const { const std::lock_guard<std::mutex> g (lock); return questions; }
    std::vector<Asked> warnings() const { const std::lock_guard<std::mutex> g (lock); return warningBoxes; }

    bool askOkCancel (const juce::String& title, const juce::String& message,
                      const juce::String& b1, const juce::String& b2) override;
    int askYesNoCancel (const juce::String& title, const juce::String& message,
                        const juce::String& b1, const juce::String& b2, const juce::String& b3) override;
    void showWarning (const juce::String& title, const juce::String& message, const juce::String& button) override;
    void dismissAll() override {}

private:
    int next (Asked a);

    juce::MessageListener& recorder;
    mutable std::mutex lock;
    std::deque<int> answers;   // unanswered questions are cancelled
    std::vector<Asked> questions, warningBoxes;
};

// A worker with recording listeners, driven by the page's jobs.
class WorkerFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    void postJob (MyMsg* msg) { worker->postMessage (msg); }
    // What the page posts at Start: path, the file's bytes, then the port.
    void start (const juce::File& firmware, const juce::String& portName, int baud = 115200);
    // Start in its two halves, for a file that changes after the page read it.
    void postFile (const juce::File& firmware);
    void postPortOpen (const juce::String& portName, int baud = 115200);
    void stop() { postJob (payload::makePortClose()); }

    bool waitFor (const std::function<bool()>& condition, int timeoutMs = 20000)
    {
        return runMessagesUntil (condition, timeoutMs);
    }
    bool waitForLine (const juce::String& text, int occurrences = 1, int timeoutMs = 20000)
    {
        return waitFor ([&] { return log.countLines (text) >= occurrences; }, timeoutMs);
    }
    bool waitForNotice (int type, int occurrences = 1, int timeoutMs = 20000)
    {
        return waitFor ([&] { return log.count (Event::fromPage, MSG_NOTIFY, type) >= occurrences; }, timeoutMs);
    }

    // Wait for as many log lines (all but the frame dumps) or page notices as
    // expected holds, counted from the first one (...Are) or from the first
    // that equals expected.front() (...FromAre), then compare that many. What
    // the worker posts later does not count, and nothing on its way is raced:
    // assert a sequence through these rather than after waiting for an event.
    ::testing::AssertionResult linesAre (const std::vector<juce::String>& expected, int timeoutMs = 20000);
    ::testing::AssertionResult linesFromAre (const std::vector<juce::String>& expected, int timeoutMs = 20000);
    ::testing::AssertionResult noticesAre (const std::vector<int>& expected, int timeoutMs = 20000);
    ::testing::AssertionResult noticesFromAre (const std::vector<int>& expected, int timeoutMs = 20000);

    EventLog log;
    RecordingListener mainListener { log, Event::fromMain };
    RecordingListener pageListener { log, Event::fromPage };
    RecordingListener questionListener { log, Event::fromDialogs };
    ScriptedDialogs* dialogs = nullptr;
    std::unique_ptr<MyCom> worker;
};
